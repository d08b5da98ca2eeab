// The rules of a scenario configuration's validity check across the scenario and its hosts: fields
// that must differ from host to host, compression, the features that exclude each other, network
// mappings, and the root directories of the hosts against each other.
#include "xmc/scenario_conf.h"

#include "file/path_n.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "utl/utl.h"
#include "utl/value.h"
#include "xmc/scenario_rule_fields.h"

#include <cstring>
#include <string>
#include <vector>

using scenario_rules_n::fields;
using scenario_rules_n::indexes_s;
using scenario_rules_n::is_true;

namespace scenario_rules_n {

const indexes_s& fields() {
  static const indexes_s indexes;
  return indexes;
}

}  // namespace scenario_rules_n

namespace {

const char* k_file = "scenario_validation";

// A network path (two separators first) that is not a volume device path (\\?\Volume{...}).
bool is_network_path(const char* path) {
  auto separator = [](char c) { return c == '/' || c == '\\'; };
  if (path == nullptr || !separator(path[0]) || !separator(path[1])) return false;
  const bool volume = std::strlen(path) >= 48 && (path[2] == '?' || path[2] == '.') && separator(path[3]) &&
                      utl_n::ascii_compare_nocase(path + 4, "Volume", 6) == 0;
  return !volume;
}

}  // namespace

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
