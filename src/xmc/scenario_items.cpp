#include "xmc/scenario_items.h"

#include "platform/thl/mix.h"
#include "xmc/xmc_conf.h"

namespace scenario_items_n {

xmc_item_c* find_host_object(xmc_item_c* start, const char* label) {
  for (xml_item_c* child = start->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* typed = xmc_item_c::cast(child);
    if (typed == nullptr || typed->is_data()) continue;
    if (typed->is_object() && same_text(xmc_item_c::attr_text(typed, "label"), label)) return typed;
    if (typed->is_external() || is_repl_node(typed)) continue;
    xmc_item_c* below = find_host_object(typed, label);
    if (below != nullptr) return below;
  }
  return nullptr;
}

bool data_number(const xml_item_c* item, const char* label, uint64_t& number) {
  const char* text = xmc_item_c::attr_text(xmc_conf_c::find_data(item, label), "val");
  int64_t n = 0;
  if (text == nullptr || !mix_n::parse_formatted_integer_string(text, n) || n < 0) return false;
  number = static_cast<uint64_t>(n);
  return true;
}

}  // namespace scenario_items_n
