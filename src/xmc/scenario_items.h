// What the parts of a scenario configuration share to find items in its tree: a label compared,
// a host's ReplNode told apart, an object found below a start without entering another host, and a
// data item read as a whole number.
#ifndef STATS_MNG_XMC_SCENARIO_ITEMS_H
#define STATS_MNG_XMC_SCENARIO_ITEMS_H

#include "xmc/xmc_item.h"

#include <cstdint>
#include <cstring>

namespace scenario_items_n {

inline bool same_text(const char* a, const char* b) { return a != nullptr && b != nullptr && std::strcmp(a, b) == 0; }

inline bool is_repl_node(const xmc_item_c* item) {
  const char* label = item == nullptr ? nullptr : xmc_item_c::attr_text(item, "label");
  return item != nullptr && item->is_object() && label != nullptr && std::strcmp(label, "ReplNode") == 0;
}

// The first object so labelled below start in depth, not entering data items, external objects or
// another host's ReplNode.
xmc_item_c* find_host_object(xmc_item_c* start, const char* label);

// The value of a data item below item (not entering objects) read as a whole number; false when
// absent or not a number.
bool data_number(const xml_item_c* item, const char* label, uint64_t& number);

}  // namespace scenario_items_n

#endif
