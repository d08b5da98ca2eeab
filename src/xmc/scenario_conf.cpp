#include "xmc/scenario_conf.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"

#include <cstring>

namespace {

const char* k_file = "scenario_conf";

bool is_repl_node(const xmc_item_c* item) {
  const char* label = item == nullptr ? nullptr : xmc_item_c::attr_text(item, "label");
  return item != nullptr && item->is_object() && label != nullptr && std::strcmp(label, "ReplNode") == 0;
}

// The host index a ReplNode states: the Index of its CommonHostProps; 0 when it has none.
uint64_t stated_index(const xmc_item_c* repl_node) {
  const xmc_item_c* props = nullptr;
  for (xml_item_c* child = repl_node->first_item(); child != nullptr && props == nullptr; child = child->next_item()) {
    const xmc_item_c* typed = xmc_item_c::cast(child);
    const char* label = xmc_item_c::attr_text(typed, "label");
    if (typed != nullptr && typed->is_object() && label != nullptr && std::strcmp(label, "CommonHostProps") == 0) {
      props = typed;
    }
  }
  const char* text = xmc_item_c::attr_text(xmc_conf_c::find_data(props, "Index"), "val");
  int64_t n = 0;
  if (text == nullptr || !mix_n::parse_formatted_integer_string(text, n) || n <= 0) return 0;
  return static_cast<uint64_t>(n);
}

}  // namespace

scenario_conf_c::scenario_conf_c(uint32_t id) : xmc_conf_c(id), m_host_tree(new host_index_tree_c) {}

scenario_conf_c::~scenario_conf_c() { delete m_host_tree; }

uint64_t scenario_conf_c::_build_host_tree(xmc_item_c* scenario_item) {
  ZQTR_SCOPE(tr, "scenario_conf_c::_build_host_tree", k_file);
  m_host_tree->remove_all_but_root();
  xmc_item_c* start = scenario_item != nullptr ? scenario_item : m_tree->root;
  if (start == nullptr) return 0;
  uint64_t found = 0;
  // Pre-order over the configuration items, never into an external object's content.
  for (xml_item_c* at = start; at != nullptr;) {
    xmc_item_c* item = xmc_item_c::cast(at);
    if (is_repl_node(item)) {
      utl_stream_c path;
      const uint64_t index = stated_index(item);
      if (index == 0) {
        tr.print(ZQTR_FAIL, __LINE__, "Unable to find property \"%s\" for node %s\n", "Index", item_path(item, path));
      } else if (index == host_index_tree_c::k_master) {
        if (m_host_tree->master()->repl_node == nullptr) {
          m_host_tree->master()->repl_node = item;
          ++found;
        }
      } else {
        xmc_item_c* papa = nullptr;
        for (generic_node_c* p = item->parent; p != nullptr && papa == nullptr; p = p->parent) {
          if (is_repl_node(xmc_item_c::cast(p))) papa = xmc_item_c::cast(p);
        }
        const uint64_t papa_index = papa == nullptr ? 0 : stated_index(papa);
        if (papa == nullptr) {
          tr.print(ZQTR_FAIL, __LINE__, "Unable to find Papa for \"%s\", node %s\n", "ReplNode", item_path(item, path));
        } else if (m_host_tree->insert_host(index, papa_index, item) == nullptr) {
          tr.print(ZQTR_FAIL, __LINE__, "Unable to find next Papa for \"%s\", node %s\n", "ReplNode",
                   item_path(item, path));
        } else {
          ++found;
        }
      }
    }
    at = xmc_item_c::walk_next(at, start, xmc_item_c::enters(at));
  }
  return found;
}

uint64_t scenario_conf_c::_build_root_dirs() {
  uint64_t total = 0;
  for (uint64_t index = host_index_tree_c::k_master; index != 0; index = m_host_tree->next_host_index(index)) {
    host_index_node_s* node = m_host_tree->find(index);
    node->root_dirs.delete_all();
    xmc_item_c* props = nullptr;
    for (xml_item_c* child = node->repl_node == nullptr ? nullptr : node->repl_node->first_item(); child != nullptr;
         child = child->next_item()) {
      xmc_item_c* typed = xmc_item_c::cast(child);
      const char* label = xmc_item_c::attr_text(typed, "label");
      if (props == nullptr && typed != nullptr && typed->is_object() && label != nullptr &&
          std::strcmp(label, "CommonHostProps") == 0) {
        props = typed;
      }
    }
    if (props == nullptr) continue;
    // The host's own RootDir objects: below its properties, never in another host.
    for (xml_item_c* at = props->first_item(); at != nullptr;) {
      xmc_item_c* item = xmc_item_c::cast(at);
      const char* label = xmc_item_c::attr_text(item, "label");
      const bool root_dir = item != nullptr && item->is_object() && label != nullptr && std::strcmp(label, "RootDir") == 0;
      if (root_dir) {
        node->root_dirs.append(new xmc_root_dir_c(item));
        ++total;
      }
      at = xmc_item_c::walk_next(at, props, !root_dir && !is_repl_node(item) && xmc_item_c::enters(at));
    }
  }
  return total;
}
