// What the validity check of a scenario configuration and its rules across the scenario and its
// hosts both read: the table indexes of the fields the rules look at, and a field's "True".
#ifndef STATS_MNG_XMC_SCENARIO_RULE_FIELDS_H
#define STATS_MNG_XMC_SCENARIO_RULE_FIELDS_H

#include "utl/utl.h"
#include "xmc/conf_tables.h"

#include <cstdint>

namespace scenario_rules_n {

inline bool is_true(const char* text) { return text != nullptr && utl_n::ascii_compare_nocase(text, "True") == 0; }

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

// The indexes, looked up on first use.
const indexes_s& fields();

}  // namespace scenario_rules_n

#endif
