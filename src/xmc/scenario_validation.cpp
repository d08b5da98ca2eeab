// The two checks of a scenario configuration: whether its tree is well formed, and whether its
// settings make sense (values, limits, lists, and the rules across the scenario and its hosts).
#include "xmc/scenario_conf.h"

#include "xmc/number_ranges.h"

#include "file/path_n.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "utl/utl.h"
#include "utl/value.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* k_file = "scenario_validation";

bool same_text(const char* a, const char* b) { return a != nullptr && b != nullptr && std::strcmp(a, b) == 0; }
bool is_true(const char* text) { return text != nullptr && utl_n::ascii_compare_nocase(text, "True") == 0; }
bool is_false(const char* text) { return text != nullptr && utl_n::ascii_compare_nocase(text, "False") == 0; }

// Table indexes of the fields the rules read, looked up once by their "Object.Label" names.
struct field_indexes_s {
  uint32_t scenario(const char* path) const {
    return static_cast<uint32_t>(conf_tables_n::index_of_path(scenario_data_table, k_scenario_data_count, path));
  }
  uint32_t host(const char* path) const {
    return static_cast<uint32_t>(conf_tables_n::index_of_path(host_data_table, k_host_data_count, path));
  }
};

struct indexes_s {
  field_indexes_s f;
  const uint32_t is_cdp_scenario = f.scenario("Scenario.IsCDPScenario");
  const uint32_t veldra_integrated = f.scenario("Scenario.VeldraIntegrated");
  const uint32_t registry_synchronization = f.scenario("Scenario.RegistrySynchronization");
  const uint32_t heartbeat_timeout = f.scenario("Switchover.HeartbeatTimeout");
  const uint32_t is_alive_timeout = f.scenario("Switchover.IsAliveTimeout");
  const uint32_t replication_mode = f.scenario("Scenario.ReplicationMode");
  const uint32_t system_state_protection = f.scenario("Scenario.SystemStateProtection");
  const uint32_t automatic = f.scenario("Switchover.Automatic");
  const uint32_t build_shares = f.scenario("Scenario.BuildShares");
  const uint32_t ip = f.host("CommonHostProps.IP");
  const uint32_t compress = f.host("CommonHostProps.Compress");
  const uint32_t registry_32 = f.host("ListRegistryPaths_32.RegistryPaths");
  const uint32_t registry_64 = f.host("ListRegistryPaths_64.RegistryPaths");
  const uint32_t data_rewind = f.host("SpecificReplicaProps.DataRewind");
  const uint32_t cdp_host = f.host("SpecificReplicaProps.CDPHost");
  const uint32_t failover_host = f.host("SpecificReplicaProps.FailoverHost");
  const uint32_t retain_system_state = f.host("SpecificReplicaProps.RetainSystemState");
  const uint32_t virtual_platform_type = f.host("SpecificReplicaProps.VirtualPlatformType");
  const uint32_t ar_status = f.host("AssuredRecoveryObj.status");
  const uint32_t ar_shadow_copy = f.host("AssuredRecoveryObj.ShadowCopy");
  const uint32_t scheduler_ar = f.host("SchedulerAR.status");
  const uint32_t suspend_status = f.host("Suspend.status");
  const uint32_t suspend_shadow_copy = f.host("Suspend.OffLineShadowCopy");
  const uint32_t suspend_scheduler = f.host("SuspendScheduler.status");
  const uint32_t trigger_file = f.host("TriggerFile.status");
  const uint32_t trigger_script = f.host("TrigFileScript.status");
};

const indexes_s& fields() {
  static const indexes_s indexes;
  return indexes;
}

// The nearest enclosing object labelled Scenario or ReplNode.
xmc_item_c* condition_scope(const xmc_item_c* item) {
  for (generic_node_c* p = item->parent; p != nullptr; p = p->parent) {
    xmc_item_c* typed = xmc_item_c::cast(p);
    const char* label = xmc_item_c::attr_text(typed, "label");
    if (typed != nullptr && typed->is_object() && (same_text(label, "Scenario") || same_text(label, "ReplNode"))) {
      return typed;
    }
  }
  return nullptr;
}

// The first object so labelled below start, not entering data items, external objects or another
// host's ReplNode.
xmc_item_c* find_scoped_object(xmc_item_c* start, const char* label) {
  for (xml_item_c* child = start->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* typed = xmc_item_c::cast(child);
    if (typed == nullptr || typed->is_data()) continue;
    const char* own = xmc_item_c::attr_text(typed, "label");
    if (typed->is_object() && same_text(own, label)) return typed;
    if (typed->is_external() || (typed->is_object() && same_text(own, "ReplNode"))) continue;
    xmc_item_c* below = find_scoped_object(typed, label);
    if (below != nullptr) return below;
  }
  return nullptr;
}

// A network path (two separators first) that is not a volume device path (\\?\Volume{...}).
bool is_network_path(const char* path) {
  auto separator = [](char c) { return c == '/' || c == '\\'; };
  if (path == nullptr || !separator(path[0]) || !separator(path[1])) return false;
  const bool volume = std::strlen(path) >= 48 && (path[2] == '?' || path[2] == '.') && separator(path[3]) &&
                      utl_n::ascii_compare_nocase(path + 4, "Volume", 6) == 0;
  return !volume;
}

// Each finding of the collector from first on, one text a line, in one trace record.
void trace_findings(zqtr_entry_c& tr, xmc_validity_c& validity, uint64_t first) {
  if (validity.count() <= first) return;
  utl_stream_c text;
  validity.to_text(text, first, "");
  tr.print(ZQTR_FAIL, __LINE__, "%s\n", text.c_str());
}

}  // namespace

// ---- reading fields for the rules

bool scenario_conf_c::_scenario_flag(uint32_t index) {
  xmc_value_c value;
  get_scenario_data(index, value);
  return value.lookup_status() == 0 && is_true(value.as_string());
}

bool scenario_conf_c::_host_flag(uint32_t index, uint64_t host) {
  xmc_value_c value;
  get_host_data(index, host, value);
  return value.lookup_status() == 0 && is_true(value.as_string());
}

// ---- consistency

bool scenario_conf_c::check_consistency(xmc_validity_c* validity, const xml_item_c* item) {
  (void)item;
  ZQTR_SCOPE(tr, "scenario_conf_c::check_consistency", k_file);
  multi_reader_lock_c lock(m_scenario_lock);
  if (!_check_mixed_tree(nullptr)) return false;
  xmc_validity_c own;
  xmc_validity_c& findings = validity != nullptr ? *validity : own;
  const uint64_t first = findings.count();
  bool ok = true;
  xmc_item_c* root = m_tree->root;
  for (xml_item_c* at = root; at != nullptr; at = xmc_item_c::walk_next(at, root, xmc_item_c::enters(at))) {
    xmc_item_c* typed = xmc_item_c::cast(at);
    if (typed == nullptr) continue;
    if (typed->is_data()) {
      // The attribute check traces what is wrong ("Superfluous attribute ..."); the pass reports
      // the item once, with code 1 (the validity pass reports each attribute).
      data_content_s found;
      if (!_check_data_content(nullptr, typed, true, found)) {
        _add_finding(&findings, typed, 1, nullptr);
        ok = false;
      }
    } else if (typed->is_external() && m_application != APPLICATION_HYPER_V) {
      // (A Hyper-V scenario's external content is its list of virtual machines, which the validity
      // check reads as such: it holds no object configurations.)
      for (xml_item_c* child = typed->first_item(); child != nullptr; child = child->next_item()) {
        utl_stream_c path;
        conf_c* object = _get_generic_object(child);
        if (object == nullptr) {
          tr.print(ZQTR_FAIL, __LINE__, "Unable to create external object for node %s\n", item_path(child, path));
          ok = false;
        } else if (!object->check_consistency(&findings, child)) {
          tr.print(ZQTR_FAIL, __LINE__, "Found inconsistent external object of node %s\n", item_path(child, path));
          ok = false;
        }
      }
    } else if (typed->is_object()) {
      uint32_t id = 0;
      _check_object_content_get_name(typed, &findings, id, ok);
    }
  }
  if (findings.count() > first) ok = false;
  trace_findings(tr, findings, first);
  return ok;
}

// ---- validity

bool scenario_conf_c::check_xmc_validity(xmc_validity_c* validity, const xml_item_c* item) {
  (void)item;
  ZQTR_SCOPE(tr, "scenario_conf_c::check_xmc_validity", k_file);
  multi_reader_lock_c lock(m_scenario_lock);
  xmc_validity_c own;
  xmc_validity_c& findings = validity != nullptr ? *validity : own;
  bool ok = true;
  const struct {
    bool unset;
    const char* path;
  } basics[] = {{m_config_mode >= CONFIG_MODE_NONE, "Scenario.ConfigMode"},
                {m_product >= PRODUCT_NONE, "Scenario.Product"},
                {m_application >= APPLICATION_NONE, "Scenario.Application"}};
  for (const auto& basic : basics) {
    if (!basic.unset) continue;
    _add_path_finding(&findings, 0, ch_data_s::k_no_entry, 3, basic.path, nullptr);
    ok = false;
  }
  if (m_tree == nullptr || m_tree->root == nullptr || m_tree->root->first_item() == nullptr) {
    _add_path_finding(&findings, 0, ch_data_s::k_no_entry, 0, "Scenario", nullptr);
    return false;
  }
  xmc_item_c* root = m_tree->root;
  for (xml_item_c* at = root->first_item(); at != nullptr;) {
    xmc_item_c* typed = xmc_item_c::cast(at);
    bool descend = true;
    if (typed != nullptr && !_check_general_validity(&findings, typed, descend)) ok = false;
    at = xmc_item_c::walk_next(at, root, descend && xmc_item_c::enters(at));
  }
  // A host the tree could not place is a finding; the rules below see the placed hosts only.
  if (!_check_host_tree(&findings)) ok = false;
  if (!_host_tree_current()) return false;
  const bool has_hosts = m_host_tree->master()->repl_node != nullptr || m_host_tree->host_count() > 0;
  if (!has_hosts && m_config_mode != CONFIG_MODE_ASSESSMENT) {
    _add_path_finding(&findings, 2, ch_data_s::k_no_entry, 3, "Scenario.ReplNode", nullptr);
    return false;
  }
  if (!_check_array_root_dirs(&findings, true)) ok = false;
  if (!_check_compress_attributes(&findings, 0)) ok = false;
  if (!_check_uniqueue_fields(&findings, 0)) ok = false;
  if (!_check_specific_features(&findings, 0)) ok = false;
  return ok;
}

bool scenario_conf_c::_check_if_holds(const xmc_item_c* item) const {
  const char* check_if = xmc_item_c::attr_text(item, "check_if");
  const char* is_equal = xmc_item_c::attr_text(item, "is_equal");
  const char* dot = check_if == nullptr ? nullptr : std::strchr(check_if, '.');
  if (is_equal == nullptr || dot == nullptr) return true;
  xmc_item_c* scope = condition_scope(item);
  if (scope == nullptr) return true;
  const std::string object_label(check_if, static_cast<size_t>(dot - check_if));
  xmc_item_c* object = same_text(xmc_item_c::attr_text(scope, "label"), object_label.c_str())
                           ? scope
                           : find_scoped_object(scope, object_label.c_str());
  const char* val = xmc_item_c::attr_text(object == nullptr ? nullptr : find_data(object, dot + 1), "val");
  if (val == nullptr) return true;
  value_c value;
  value.set_text(val);
  return value.equals_text(is_equal);
}

bool scenario_conf_c::_check_general_validity(xmc_validity_c* validity, xmc_item_c* item, bool& descend) {
  ZQTR_SCOPE(tr, "scenario_conf_c::_check_general_validity", k_file);
  descend = true;
  const bool hyper_v = m_application == APPLICATION_HYPER_V;
  const bool full_system = m_application == APPLICATION_FULL_SYSTEM;
  if (item->is_external()) {
    if (!hyper_v) {
      bool ok = true;
      for (xml_item_c* child = item->first_item(); child != nullptr; child = child->next_item()) {
        utl_stream_c path;
        conf_c* object = _get_generic_object(child);
        if (object == nullptr) {
          tr.print(ZQTR_FAIL, __LINE__, "Unable to create external object for node %s\n", item_path(child, path));
          ok = false;
        } else if (!object->check_xmc_validity(validity, child)) {
          tr.print(ZQTR_FAIL, __LINE__, "Found invalid external object of node %s\n", item_path(child, path));
          ok = false;
        }
      }
      return ok;
    }
    // The virtual machines: the children of the first child of the first child of the first child.
    xml_item_c* list = item->first_item();
    for (int depth = 0; depth < 2 && list != nullptr; ++depth) list = list->first_item();
    for (xml_item_c* machine = list == nullptr ? nullptr : list->first_item(); machine != nullptr;
         machine = machine->next_item()) {
      const char* name = xmc_item_c::attr_text(machine, "fqn_name");
      if (!is_true(xmc_item_c::attr_text(machine, "checked")) || (name != nullptr && name[0] != '\0')) continue;
      xmc_item_c* field = nullptr;
      for (xml_item_c* at = m_tree->root; at != nullptr && field == nullptr;
           at = xmc_item_c::walk_next(at, m_tree->root, xmc_item_c::enters(at))) {
        xmc_item_c* typed = xmc_item_c::cast(at);
        if (typed != nullptr && typed->is_data() && same_text(xmc_item_c::attr_text(typed, "label"), "VirtualMachineFQName")) {
          field = typed;
        }
      }
      if (field != nullptr) {
        _add_finding(validity, field, 12, "fqn_name");
      } else {
        _add_path_finding(validity, 0, ch_data_s::k_no_entry, 12, "VirtualMachineFQName", "fqn_name");
      }
      descend = false;
      return false;
    }
    return true;
  }
  if (item->is_object()) {
    if (item->attr_count() == 0) return true;
    // Its label and id: an empty or unknown attribute, no label, a label without id are findings.
    bool ok = true;
    uint32_t id = 0;
    _check_object_content_get_name(item, validity, id, ok);
    if (is_false(xmc_item_c::attr_text(item, "status"))) descend = false;
    const char* label = xmc_item_c::attr_text(item, "label");
    if ((hyper_v || full_system) && label != nullptr && utl_n::ascii_compare_nocase(label, "VirtualNetworkMapping") == 0) {
      descend = false;
    }
    return ok;
  }
  if (!item->is_data()) return true;

  data_content_s found;
  if (!_check_data_content(validity, item, false, found)) return false;
  const char* val = found.val == nullptr ? "" : found.val;
  bool ok = true;
  if (!found.has_check_if || _check_if_holds(item)) {
    const uint32_t type = item->value_type();
    uint32_t code = 0;
    const char* shown = val;
    if (!xmc_enum_c::data_fits_type(val, type, item->enum_index(), item)) {
      code = 12;
    } else if (found.check_kids_if_val != nullptr &&
               !xmc_enum_c::data_fits_type(found.check_kids_if_val, type, item->enum_index(), item)) {
      code = 12;
      shown = found.check_kids_if_val;
    } else if (type == TYPE_NUMBER && found.has_min_max) {
      int64_t number = 0;
      int64_t limit = 0;
      mix_n::parse_formatted_integer_string(val, number);
      // A text of 2^63 or more reads as a negative number; it is above every maximum, below no
      // minimum.
      const char* first = val;
      while (*first == ' ' || *first == '\t') ++first;
      const bool huge = number < 0 && *first != '-';
      const char* minimum = xmc_item_c::attr_text(item, "minimum");
      const char* maximum = xmc_item_c::attr_text(item, "maximum");
      if ((!huge && minimum != nullptr && mix_n::parse_formatted_integer_string(minimum, limit) && number < limit) ||
          (maximum != nullptr && mix_n::parse_formatted_integer_string(maximum, limit) && (huge || number > limit))) {
        code = 24;
      }
    }
    // A field that names something of a fixed width holds only what fits it.
    const number_range_s* range = type == TYPE_NUMBER && code == 0 ? number_ranges_n::of_item(item) : nullptr;
    if (range != nullptr && val[0] != '\0' && !number_ranges_n::fits(*range, val)) code = 24;
    if (code == 0 && type == TYPE_MULTI_ENTRY && found.mandatory && item->first_item() == nullptr &&
        !(full_system && same_text(found.label, "VirtualMachineIPOnReplicainDNS"))) {
      code = 2;
      shown = nullptr;
    }
    if (code == 0 && val[0] == '\0' && (found.mandatory || (type != TYPE_TEXT && type != TYPE_DEF_FULL_PATH))) {
      code = 5;
      shown = nullptr;  // the value is empty: there is none to show
    }
    if (code != 0) {
      _add_finding(validity, item, code, shown != nullptr && shown[0] != '\0' ? shown : nullptr);
      ok = false;
    }
  }
  if (found.check_kids_if_val != nullptr && std::strcmp(val, found.check_kids_if_val) != 0) descend = false;
  return ok;
}

// ---- rules across the hosts

bool scenario_conf_c::_check_uniqueue_fields(xmc_validity_c* validity, uint64_t host) {
  (void)host;
  ZQTR_SCOPE(tr, "scenario_conf_c::_check_uniqueue_fields", k_file);
  const indexes_s& f = fields();
  const std::vector<uint64_t> hosts = _hosts();
  struct marked_s {
    uint64_t host;
    uint32_t field;
  };
  auto marked = [&](std::initializer_list<uint32_t> which) {
    std::vector<marked_s> out;
    for (uint32_t field : which) {
      for (uint64_t h : hosts) {
        if (_host_flag(field, h)) out.push_back({h, field});
      }
    }
    return out;
  };
  bool ok = true;
  auto each = [&](const std::vector<marked_s>& list, uint32_t code) {
    for (const marked_s& m : list) _add_host_finding(validity, m.field, m.host, code, mix_n::True);
    ok = false;
  };
  const std::vector<marked_s> recovery = marked({f.ar_status, f.suspend_status});
  if (recovery.size() >= 2) each(recovery, 21);
  if (_scenario_flag(f.veldra_integrated)) {
    const std::vector<marked_s> shadow = marked({f.ar_shadow_copy, f.suspend_shadow_copy});
    if (shadow.size() >= 2) each(shadow, 21);
  }
  const std::vector<marked_s> cdp = marked({f.cdp_host});
  const bool cdp_scenario = _scenario_flag(f.is_cdp_scenario);
  if (cdp.size() >= 2) {
    each(cdp, cdp_scenario ? 22 : 4);
  } else if (cdp.size() == 1 && !cdp_scenario) {
    each(cdp, 4);
  }
  const std::vector<marked_s> failover = marked({f.failover_host});
  if (failover.size() >= 2) each(failover, 22);
  if (!ok) tr.print(ZQTR_FAIL, __LINE__, "%s\n", "Hosts share a setting only one of them may have");
  return ok;
}

bool scenario_conf_c::_check_compress_attributes(xmc_validity_c* validity, uint64_t host) {
  (void)host;
  ZQTR_SCOPE(tr, "scenario_conf_c::_check_compress_attributes", k_file);
  const uint32_t index = fields().compress;
  std::vector<const generic_node_c*> compressing;
  bool ok = true;
  for (uint64_t h : _hosts()) {
    xmc_value_c value;
    get_host_data(index, h, value);
    if (value.lookup_status() != 0) continue;
    const host_index_node_s* node = m_host_tree->find(h);
    if (is_true(value.as_string())) {
      compressing.push_back(node);
      continue;
    }
    bool below_compressing = false;
    for (const generic_node_c* p = node->parent; p != nullptr && !below_compressing; p = p->parent) {
      for (const generic_node_c* c : compressing) below_compressing = below_compressing || c == p;
    }
    if (below_compressing) {
      tr.print(ZQTR_FAIL, __LINE__, "Host #%lu, %s\n", static_cast<unsigned long>(h),
               "does not compress although a host it replicates from does");
      _add_host_finding(validity, index, h, 20, value.as_string());
      ok = false;
    }
  }
  return ok;
}

bool scenario_conf_c::_check_specific_features(xmc_validity_c* validity, uint64_t host) {
  (void)host;
  ZQTR_SCOPE(tr, "scenario_conf_c::_check_specific_features", k_file);
  const indexes_s& f = fields();
  const std::vector<uint64_t> hosts = _hosts();
  bool ok = true;

  if (_scenario_flag(f.is_cdp_scenario) && get_generic_object() == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Cdp scenario is missing corresponding DB object\n");
    _add_path_finding(validity, 0, ch_data_s::k_no_entry, 3, "External", nullptr);
    ok = false;
  }

  if (m_product == PRODUCT_HA) {
    xmc_value_c heartbeat, alive;
    get_scenario_data(f.heartbeat_timeout, heartbeat);
    get_scenario_data(f.is_alive_timeout, alive);
    if (heartbeat.lookup_status() == 0 && alive.lookup_status() == 0) {
      const uint64_t beat = heartbeat.as_unsigned_int();
      const bool beat_read = heartbeat.error_text()[0] == '\0';
      const uint64_t limit = alive.as_unsigned_int();
      const bool limit_read = alive.error_text()[0] == '\0';
      // A timeout that is no 32-bit number has its own finding (its type); no ratio is made up.
      if (beat_read && limit_read && 3 * beat > limit) {
        tr.print(ZQTR_FAIL, __LINE__, "%s\n", "Value of HeartbeatTimeout surpasses permitted limit 1/3 * IsAliveTimeout");
        _add_scenario_finding(validity, f.heartbeat_timeout, 25, heartbeat.as_string());
        ok = false;
      }
    }
  }

  if (_scenario_flag(f.registry_synchronization)) {
    auto entries = [&](uint32_t index, uint64_t h) {
      xmc_value_c value;
      get_host_data(index, h, value);
      return value.lookup_status() == 0 && value.entries() != nullptr ? value.entries()->count() : 0;
    };
    const size_t master_32 = entries(f.registry_32, host_index_tree_c::k_master);
    const size_t master_64 = entries(f.registry_64, host_index_tree_c::k_master);
    if (master_32 == 0 && master_64 == 0) {
      tr.print(ZQTR_FAIL, __LINE__, "%s\n",
               "The list of Registry Keys is empty, while RegistrySynchronization parameter is True");
      _add_host_finding(validity, f.registry_32, host_index_tree_c::k_master, 32, nullptr);
      ok = false;
    } else {
      for (uint64_t h : hosts) {
        if (h == host_index_tree_c::k_master) continue;
        if (entries(f.registry_32, h) != master_32 || entries(f.registry_64, h) != master_64) {
          tr.print(ZQTR_FAIL, __LINE__, "Host #%lu, %s\n", static_cast<unsigned long>(h),
                   "Number of Registry Keys on Master and Replica differ");
          _add_host_finding(validity, f.registry_32, h, 29, nullptr);
          ok = false;
        }
      }
    }
  }

  xmc_value_c mode;
  get_scenario_data(f.replication_mode, mode);
  if (mode.lookup_status() == 0 && utl_n::ascii_compare_nocase(mode.as_string(), "Scheduling") == 0) {
    const struct {
      uint32_t index;
      const char* name;
      uint32_t code;
    } scheduled[] = {{f.data_rewind, "DataRewind", 26}, {f.suspend_scheduler, "SuspendScheduler", 28},
                     {f.scheduler_ar, "SchedulerAR", 28}};
    for (uint64_t h : hosts) {
      for (const auto& rule : scheduled) {
        if (!_host_flag(rule.index, h)) continue;
        tr.print(ZQTR_FAIL, __LINE__, "Host #%lu, property %s must be set Off if %s is set as %s\n",
                 static_cast<unsigned long>(h), rule.name, "ReplicationMode", "Scheduling");
        _add_host_finding(validity, rule.index, h, rule.code, mix_n::True);
        ok = false;
      }
    }
  }

  for (uint64_t h : hosts) {
    if (_host_flag(f.trigger_file, h) && !_host_flag(f.trigger_script, h)) {
      tr.print(ZQTR_FAIL, __LINE__, "Host #%lu, use of Trigger File requires corresponding Script to be set On\n",
               static_cast<unsigned long>(h));
      _add_host_finding(validity, f.trigger_script, h, 27, nullptr);
      ok = false;
    }
  }

  if (m_product == PRODUCT_HA && m_application == APPLICATION_HYPER_V) {
    if (!_check_networkmapping(validity, 0)) ok = false;
  } else if (m_product == PRODUCT_HA && m_application == APPLICATION_FULL_SYSTEM) {
    for (uint64_t h : hosts) {
      if (h != host_index_tree_c::k_master && !_check_networkmapping(validity, h)) ok = false;
    }
  }
  for (uint64_t h : hosts) {
    if (h != host_index_tree_c::k_master && !_check_ar_networkmapping(validity, h)) ok = false;
  }

  if (m_config_mode != CONFIG_MODE_ASSESSMENT && _scenario_flag(f.system_state_protection)) {
    bool retained = false;
    for (uint64_t h : hosts) retained = retained || (h != host_index_tree_c::k_master && _host_flag(f.retain_system_state, h));
    if (!retained) {
      tr.print(ZQTR_FAIL, __LINE__,
               "System state snapshot is created, but there are no replicas retain system state snapshots\n");
      _add_path_finding(validity, 0, ch_data_s::k_no_entry, 31, "SystemStateProtection", nullptr);
      ok = false;
    }
  }

  // Share management: a file server whose switchover manages the shares needs the shares
  // synchronised, or the replica has none to bring up.
  if (m_application == APPLICATION_FILE_SERVER && _scenario_flag(f.automatic)) {
    xmc_value_c shares;
    get_scenario_data(f.build_shares, shares);
    if (shares.lookup_status() == 0 && !is_true(shares.as_string())) {
      tr.print(ZQTR_FAIL, __LINE__, "%s\n",
               "Field Share Management tobe On requires Synchronize Windows Shares field tobe On as well");
      _add_scenario_finding(validity, f.build_shares, 23, shares.as_string());
      ok = false;
    }
  }
  return ok;
}

bool scenario_conf_c::_check_networkmapping(xmc_validity_c* validity, uint64_t host) {
  ZQTR_SCOPE(tr, "scenario_conf_c::_check_networkmapping", k_file);
  std::vector<vm_network_mapping_s> mappings;
  if (!get_hyper_v_vm_network_mapping_list(mappings, true, host)) return true;
  auto assigned = [](const vm_network_mapping_s& m) {
    return !m.text[vm_network_mapping_s::REPLICA_VIRTUAL_NETWORK_NAME].empty() ||
           !m.text[vm_network_mapping_s::REPLICA_VIRTUAL_NETWORK_UUID].empty();
  };
  if (m_application == APPLICATION_HYPER_V) {
    for (const vm_network_mapping_s& m : mappings) {
      if (!m.text[vm_network_mapping_s::REPLICA_VIRTUAL_NETWORK_NAME].empty() &&
          !m.text[vm_network_mapping_s::REPLICA_VIRTUAL_NETWORK_UUID].empty()) {
        continue;
      }
      tr.print(ZQTR_FAIL, __LINE__, "Hyper-V HA scenario has unassigned virtual network mapping\n");
      _add_path_finding(validity, 0, ch_data_s::k_no_entry, 30, "Switchover.VirtualNetworkMappingsEdit", nullptr);
      return false;
    }
    return true;
  }
  for (const vm_network_mapping_s& m : mappings) {
    if (assigned(m)) return true;
  }
  tr.print(ZQTR_FAIL, __LINE__, "P2V HA scenario has unassigned virtual network mapping\n");
  _add_path_finding(validity, host, ch_data_s::k_no_entry, 34,
                    "SpecificReplicaProps.VirtualMachine.VirtualNetworkMappingsEditSwitchover", nullptr);
  return false;
}

bool scenario_conf_c::_check_ar_networkmapping(xmc_validity_c* validity, uint64_t host) {
  ZQTR_SCOPE(tr, "scenario_conf_c::_check_ar_networkmapping", k_file);
  if (m_application != APPLICATION_FULL_SYSTEM || !m_assured_recovery) return true;
  xmc_value_c platform;
  get_host_data(fields().virtual_platform_type, host, platform);
  const char* name = platform.lookup_status() == 0 ? platform.as_string() : "";
  const bool cloud = utl_n::ascii_compare_nocase(name, "Azure") == 0 ||
                     (m_product == PRODUCT_DR && utl_n::ascii_compare_nocase(name, "EC2") == 0);
  if (!cloud) return true;
  std::vector<vm_network_mapping_s> mappings;
  if (!get_hyper_v_vm_network_mapping_list(mappings, false, host)) return true;
  for (const vm_network_mapping_s& m : mappings) {
    if (!m.text[vm_network_mapping_s::REPLICA_VIRTUAL_NETWORK_UUID].empty()) return true;
  }
  tr.print(ZQTR_FAIL, __LINE__, "P2V scenario with AR has unassigned AR virtual network mapping\n");
  _add_path_finding(validity, host, ch_data_s::k_no_entry, 34,
                    "SpecificReplicaProps.VirtualMachine.VirtualNetworkMappingsEdit", nullptr);
  return false;
}

// ---- root directories

bool scenario_conf_c::_check_array_root_dirs(xmc_validity_c* validity, bool paths_required) {
  ZQTR_SCOPE(tr, "scenario_conf_c::_check_array_root_dirs", k_file);
  const uint64_t first = validity == nullptr ? 0 : validity->count();
  bool ok = true;
  auto add = [&](uint64_t host, uint64_t entry, uint32_t code, const char* path, const char* value) {
    _add_path_finding(validity, host, entry, code, path, value);
    ok = false;
  };
  auto filled = [](const root_dir_c* dir) { return dir->path() != nullptr && dir->path()[0] != '\0'; };
  host_index_node_s* master = m_host_tree->master();
  array_ct<root_dir_c>& master_dirs = master->root_dirs;

  if (master_dirs.count() == 0) add(host_index_tree_c::k_master, 0, 3, "RootDir", nullptr);
  if (paths_required) {
    for (size_t i = 0; i < master_dirs.count(); ++i) {
      if (!filled(master_dirs.at(i))) add(host_index_tree_c::k_master, i, 3, "RootDir", nullptr);
    }
  }
  const std::vector<uint64_t> hosts = _hosts();
  for (uint64_t h : hosts) {
    if (h == host_index_tree_c::k_master) continue;
    array_ct<root_dir_c>& dirs = m_host_tree->find(h)->root_dirs;
    if (dirs.count() == 0) {
      add(h, 0, 3, "RootDir", nullptr);
    } else if (dirs.count() != master_dirs.count()) {
      add(h, 0, 14, "ReplNode", nullptr);
    } else {
      for (size_t i = 0; i < dirs.count(); ++i) {
        if (dirs.at(i)->id != master_dirs.at(i)->id) add(h, i, 15, "RootDir", nullptr);
        if (dirs.at(i)->auto_created != master_dirs.at(i)->auto_created) add(h, i, 17, "RootDir", nullptr);
        if (paths_required && !filled(dirs.at(i))) add(h, i, 3, "RootDir", nullptr);
      }
    }
  }

  xmc_value_c mode;
  get_scenario_data(fields().replication_mode, mode);
  const bool scheduling = mode.lookup_status() == 0 && utl_n::ascii_compare_nocase(mode.as_string(), "Scheduling") == 0;
  if (!scheduling) {
    for (size_t i = 0; i < master_dirs.count(); ++i) {
      if (!is_network_path(master_dirs.at(i)->path())) continue;
      add(host_index_tree_c::k_master, i, 33, "RootDir", master_dirs.at(i)->path());
      break;
    }
  }
  for (uint64_t h : hosts) {
    if (!_host_flag(fields().ar_status, h)) continue;
    array_ct<root_dir_c>& dirs = m_host_tree->find(h)->root_dirs;
    for (size_t i = 0; i < dirs.count(); ++i) {
      if (is_network_path(dirs.at(i)->path())) add(h, i, 33, "RootDir", dirs.at(i)->path());
    }
  }

  std::vector<char> drive(PATH_BUFFER_SIZE);
  for (uint64_t h : hosts) {
    array_ct<root_dir_c>& dirs = m_host_tree->find(h)->root_dirs;
    for (size_t i = 0; dirs.count() > 1 && i < dirs.count(); ++i) {
      const root_dir_c* earlier = dirs.at(i);
      if (!filled(earlier)) continue;
      bool case_sensitive = false;
      drive[0] = '\0';
      if (!path_n::drive_name_from_path(earlier->path(), drive.data())) {
        tr.print(ZQTR_NOTICE, __LINE__, "root dir %s is case sensitive \n", earlier->path());
        case_sensitive = true;
      }
      for (size_t j = i + 1; j < dirs.count(); ++j) {
        const root_dir_c* later = dirs.at(j);
        if (!filled(later)) continue;
        if (path_n::is_file_in_dir(earlier->path(), later->path(), case_sensitive, true) ||
            path_n::is_file_in_dir(later->path(), earlier->path(), case_sensitive, true)) {
          add(h, j, 18, "RootDir", later->path());
        } else if (earlier->id == later->id) {
          add(h, j, 16, "RootDir", later->path());
        }
      }
    }
  }

  const uint32_t ip_index = fields().ip;
  for (size_t a = 0; a < hosts.size(); ++a) {
    xmc_value_c first_ip;
    get_host_data(ip_index, hosts[a], first_ip);
    const uint64_t first_address = first_ip.as_unsigned_int();
    if (first_ip.lookup_status() != 0 || first_ip.error_text()[0] != '\0' || first_address == 0) continue;
    for (size_t b = a + 1; b < hosts.size(); ++b) {
      xmc_value_c second_ip;
      get_host_data(ip_index, hosts[b], second_ip);
      const uint64_t second_address = second_ip.as_unsigned_int();
      if (second_ip.lookup_status() != 0 || second_ip.error_text()[0] != '\0' || second_address != first_address) {
        continue;
      }
      array_ct<root_dir_c>& first_dirs = m_host_tree->find(hosts[a])->root_dirs;
      array_ct<root_dir_c>& second_dirs = m_host_tree->find(hosts[b])->root_dirs;
      for (size_t j = 0; j < second_dirs.count(); ++j) {
        const root_dir_c* later = second_dirs.at(j);
        if (!filled(later)) continue;
        for (size_t i = 0; i < first_dirs.count(); ++i) {
          const root_dir_c* earlier = first_dirs.at(i);
          if (!filled(earlier)) continue;
          if (path_n::is_file_in_dir(earlier->path(), later->path(), false, true) ||
              path_n::is_file_in_dir(later->path(), earlier->path(), false, true)) {
            add(hosts[b], j, 13, "RootDir", later->path());
            break;
          }
        }
      }
    }
  }
  if (validity != nullptr && validity->count() > first) ok = false;
  return ok;
}
