// What the scenario configuration tests share: a scenario made from the configurator's default, and
// the table index of a field's path.
#ifndef STATS_MNG_TESTS_XMC_DEFAULT_SCENARIO_H
#define STATS_MNG_TESTS_XMC_DEFAULT_SCENARIO_H

#include "xmc/conf_tables.h"
#include "xmc/generic_conf.h"
#include "xmc/scenario_conf.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace xmc_test_n {

// The configurator's default scenario (Ha, FileServer): the master's ReplNode with the replica's
// nested in it, its host tree and root directories built.
inline std::unique_ptr<scenario_conf_c> make_scenario(uint32_t id = 1000) {
  auto conf = std::make_unique<scenario_conf_c>(id);
  conf->tree()->attach(generic_conf_instance->new_default_object(TAG_SCENARIO, PRODUCT_HA, 0, false), nullptr, true);
  conf->set_product(PRODUCT_HA);
  conf->set_application(0);
  conf->_build_host_tree();
  conf->_build_root_dirs();
  return conf;
}

// The index of a scenario field's or a host field's path in its table (a failure when it has none).
inline uint32_t scenario_field(const char* path) {
  const long index = conf_tables_n::index_of_path(scenario_data_table, k_scenario_data_count, path);
  EXPECT_GE(index, 0) << path;
  return static_cast<uint32_t>(index);
}

inline uint32_t host_field(const char* path) {
  const long index = conf_tables_n::index_of_path(host_data_table, k_host_data_count, path);
  EXPECT_GE(index, 0) << path;
  return static_cast<uint32_t>(index);
}

}  // namespace xmc_test_n

#endif
