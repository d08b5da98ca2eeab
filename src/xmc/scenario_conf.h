// A scenario configuration: its tree, the scenario's product, application and mode, and its hosts
// by index.
#ifndef STATS_MNG_XMC_SCENARIO_CONF_H
#define STATS_MNG_XMC_SCENARIO_CONF_H

#include "platform/thl/thl_locks.h"
#include "xmc/host_index_tree.h"
#include "xmc/xmc_conf.h"
#include "xmc/xmc_enum.h"

#include <cstdint>

class scenario_conf_c : public xmc_conf_c {
 public:
  explicit scenario_conf_c(uint32_t id = 0);
  ~scenario_conf_c() override;

  // Rebuilds the host tree from the ReplNode objects below scenario_item (the tree's root when
  // null), each by the Index of its CommonHostProps and below the host of its enclosing ReplNode.
  // Returns the number of hosts found, the master included.
  uint64_t _build_host_tree(xmc_item_c* scenario_item = nullptr);

  // Fills each host's root directories from the RootDir objects of its CommonHostProps (in
  // document order, bound to the tree). Returns the number read.
  uint64_t _build_root_dirs();

  host_index_tree_c& host_tree() { return *m_host_tree; }
  uint32_t config_mode() const { return m_config_mode; }
  uint32_t product() const { return m_product; }
  uint32_t application() const { return m_application; }
  bool assured_recovery() const { return m_assured_recovery; }
  void set_config_mode(uint32_t mode) { m_config_mode = mode; }
  void set_product(uint32_t product) { m_product = product; }
  void set_application(uint32_t application) { m_application = application; }
  void set_assured_recovery(bool on) { m_assured_recovery = on; }

  single_writer_multi_reader_c& scenario_lock() { return m_scenario_lock; }
  single_writer_multi_reader_c& group_lock() { return m_group_lock; }

 protected:
  uint32_t m_config_mode = CONFIG_MODE_REGULAR;
  uint32_t m_product = PRODUCT_NONE;
  uint32_t m_application = APPLICATION_NONE;
  bool m_assured_recovery = false;
  host_index_tree_c* m_host_tree;
  single_writer_multi_reader_c m_scenario_lock;
  bool m_lock_choice = false;
  single_writer_multi_reader_c m_group_lock;
};

#endif
