// The root directories of a loaded scenario configuration as the state savers ask for them when
// they record a state in every root directory of a host.
#ifndef STATS_MNG_STATS_MNG_SCENARIO_ROOT_DIRS_H
#define STATS_MNG_STATS_MNG_SCENARIO_ROOT_DIRS_H

#include "stats_mng/stats_saver.h"
#include "xmc/scenario_conf.h"

class scenario_root_directories_c : public root_directory_source_c {
 public:
  explicit scenario_root_directories_c(scenario_conf_c& configuration) : m_configuration(configuration) {}

  // The number of root directories of the host; 0 for a host the scenario does not have.
  size_t root_directory_count(uint64_t host_index) override;
  // The path of root directory index of the host (its standard form); false when there is none or
  // its path is empty.
  bool root_directory(uint64_t host_index, size_t index, utl_stream_c& path) override;

 private:
  scenario_conf_c& m_configuration;
};

#endif
