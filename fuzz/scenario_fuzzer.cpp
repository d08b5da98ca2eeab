// Loads arbitrary documents as scenario configurations and runs both checks on them: nothing may
// crash, leak or run away, and the checks must agree with themselves.
#include "platform/trc/zqtr.h"
#include "xmc/scenario_conf.h"
#include "xmc/xmc_item.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

std::string texts(xmc_validity_c& validity) {
  utl_stream_c out;
  validity.to_text(out, 0, "|");
  return out.c_str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  scenario_conf_c conf;
  utl_stream_c reason;
  if (!conf.load_text(text.c_str(), &reason)) {
    require(reason.length() > 0);  // a refusal says why
    return 0;
  }
  xmc_validity_c consistency;
  const bool consistent = conf.check_consistency(&consistency);
  require(consistency.count() == 0 || !consistent);
  xmc_validity_c first, second;
  const bool valid = conf.check_xmc_validity(&first);
  require(first.count() == 0 || !valid);
  // The checks change nothing: a second run finds the same.
  require(conf.check_xmc_validity(&second) == valid);
  require(texts(first) == texts(second));
  // Every finding names where it is.
  for (uint64_t i = 0; i < first.count(); ++i) require(first.at(i)->path.length() > 0);
  // Every host of the file is in the host tree or reported: each ReplNode of the scenario is a
  // placed host's, or one the build left out, which the validity check names.
  uint64_t repl_nodes = 0, placed = 0, reported = 0;
  for (xml_item_c* at = conf.tree()->root; at != nullptr;
       at = xmc_item_c::walk_next(at, conf.tree()->root, xmc_item_c::enters(at))) {
    const xmc_item_c* item = xmc_item_c::cast(at);
    const char* label = xmc_item_c::attr_text(item, "label");
    if (item == nullptr || !item->is_object() || label == nullptr || std::string(label) != "ReplNode") continue;
    ++repl_nodes;
    bool found = false;
    for (uint64_t host = host_index_tree_c::k_master; host != 0 && !found;
         host = conf.host_tree().next_host_index(host)) {
      const host_index_node_s* node = conf.host_tree().find(host);
      found = node != nullptr && node->repl_node == item;
    }
    if (found) ++placed;
    require(found || conf.host_tree().lost_of(item) != nullptr);
  }
  for (uint64_t i = 0; i < first.count(); ++i) {
    if (first.at(i)->code == 36 && std::string(first.at(i)->path.c_str()) == "ReplNode.CommonHostProps.Index") ++reported;
  }
  require(placed + reported == repl_nodes);
  require(reported == conf.host_tree().lost().size());
  return 0;
}
