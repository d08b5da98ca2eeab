// A scenario configuration itself: made, emptied, compared, its basics read from the tree, and an
// object replaced by its default. Where the rest of it lives: xmc/scenario_conf.h.
#include "xmc/scenario_conf.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "xmc/object_defaults.h"
#include "xmc/scenario_items.h"

using scenario_items_n::find_host_object;
using scenario_items_n::same_text;

namespace {

const char* k_file = "scenario_conf";

}  // namespace

constexpr uint32_t scenario_conf_c::k_service_defaults[4];

scenario_conf_c::scenario_conf_c(uint32_t id) : xmc_conf_c(id), m_host_tree(new host_index_tree_c) {
  for (size_t i = 0; i < 4; ++i) m_service_defaults[i] = k_service_defaults[i];
  // The empty tree has no hosts, and the host tree says so.
  m_hosts_of_tree = m_tree;
}

scenario_conf_c::~scenario_conf_c() {
  m_object_confs.delete_all();
  m_services.delete_all();
  delete m_host_tree;
}

bool scenario_conf_c::_check_mixed_tree(xmc_value_c* value) const {
  if (m_tree != nullptr && m_tree->root != nullptr) return true;
  ZQTR_SCOPE(tr, "scenario_conf_c::_check_mixed_tree", k_file);
  tr.print(ZQTR_FAIL, __LINE__, "%s\n", "XMC tree is missing");
  if (value != nullptr) {
    value->set_lookup_status(1);
    value->error_stream() << '\x01' << "XMC tree is missing";
  }
  return false;
}

void scenario_conf_c::new_tree() {
  single_writer_lock_c lock(m_scenario_lock);
  xmc_conf_c::new_tree();
  // Nothing made from the old tree may outlive it.
  _build_host_tree();
  m_services.delete_all();
  thl_lock_c list_lock(m_object_confs_lock);
  m_object_confs.delete_all();
}

bool scenario_conf_c::same_scenario(const scenario_conf_c& other) {
  multi_reader_lock_c lock(m_scenario_lock);
  return id() == other.id();
}

bool scenario_conf_c::reload_object(uint32_t tag, uint64_t host) {
  ZQTR_SCOPE(tr, "scenario_conf_c::reload_object", k_file);
  single_writer_lock_c lock(m_scenario_lock);
  if (!lock.held() || tag >= k_object_tag_count || !_check_mixed_tree(nullptr)) return false;
  const char* label = object_tag_table[tag].label;
  if (tag == TAG_SCENARIO || tag == TAG_REPL_NODE || tag == TAG_ROOT_DIR) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to reload Basic object %s with index %ld\n", label, static_cast<long>(tag));
    return false;
  }
  xmc_item_c* start = m_tree->root;
  if (tag < TAG_REPL_NODE) {
    if (host != 0) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to reload Scenario object %s with index %ld\n", label, static_cast<long>(tag));
      return false;
    }
  } else {
    if (host == 0) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to reload Host object %s, host index must be set\n", label);
      return false;
    }
    utl_stream_c why;
    host_index_node_s* node = find_host(host, &why);
    start = node == nullptr ? nullptr : node->repl_node;
    if (start == nullptr) {
      tr.print(ZQTR_FAIL, __LINE__, "%s\n", why.c_str());
      return false;
    }
  }
  xmc_item_c* old = find_host_object(start, label);
  if (old == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to find object %s with index %ld\n", label, static_cast<long>(tag));
    return false;
  }
  const object_defaults_c* defaults = object_defaults_n::source();
  xmc_item_c* fresh =
      defaults == nullptr ? nullptr : defaults->new_default_object(tag, m_product, m_application, m_assured_recovery);
  if (fresh == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to find default object %s with index %ld\n", label, static_cast<long>(tag));
    return false;
  }
  m_tree->replace(old, fresh, true);
  // Hosts and root directories may have pointed into the object replaced.
  _build_host_tree();
  _build_root_dirs();
  return true;
}

void scenario_conf_c::_read_basics() {
  const xmc_item_c* scenario = m_tree == nullptr ? nullptr : m_tree->root;
  auto position = [&](const char* label, uint32_t index, uint32_t none) {
    const long p = xmc_enum_c::position_of(index, xmc_item_c::attr_text(find_data(scenario, label), "val"));
    return p < 0 ? none : static_cast<uint32_t>(p);
  };
  m_config_mode = position("ConfigMode", ENUM_CONFIG_MODE, CONFIG_MODE_NONE);
  m_product = position("Product", ENUM_PRODUCT, PRODUCT_NONE);
  m_application = position("Application", ENUM_APPLICATION, APPLICATION_NONE);
  m_assured_recovery = same_text(xmc_item_c::attr_text(find_data(scenario, "AssuredRecovery"), "val"), mix_n::True);
}
