// The generic configurator: the configuration every other one is measured against, built once
// while the library loads from the embedded template, checked against the compiled tables, and
// handing out defaulted copies of template objects.
#ifndef STATS_MNG_XMC_GENERIC_CONF_H
#define STATS_MNG_XMC_GENERIC_CONF_H

#include "platform/thl/bulk_arena.h"
#include "xmc/conf_tables.h"
#include "xmc/object_defaults.h"
#include "xmc/scenario_conf.h"

#include <cstddef>
#include <cstdint>

// The memory the configurator's template items and attributes are made in: a base made before the
// configuration (and its tree) and gone after it.
struct generic_conf_memory_s {
  bulk_arena_c template_arena;
};

class generic_conf_c : private generic_conf_memory_s, public scenario_conf_c, public object_defaults_c {
 public:
  generic_conf_c();
  ~generic_conf_c() override;

  // Builds a configurator from a template text (the embedded one when null), tracing the verdict
  // as the library's load does; null when the template does not pass the checks.
  static generic_conf_c* build(const char* template_text = nullptr);

  // Reads the template into the tree and runs every check; true when the configurator is usable.
  bool _fill_content(const char* template_text = nullptr);
  bool _check_array_enums();
  bool _check_tables_consistentcy();
  bool _check_object_tag_table(const object_tag_s* table = object_tag_table, size_t count = k_object_tag_count);
  bool _check_scen_data_tables(const data_table_entry_s* scenario = scenario_data_table,
                               size_t scenario_count = k_scenario_data_count,
                               const data_table_entry_s* host = host_data_table, size_t host_count = k_host_data_count);
  // The root-directory step of the build: the root-directory rules of the validity check run on
  // the template's hosts without asking for paths (their number, ids and kinds); any finding fails
  // the build.
  virtual bool _check_root_dirs(xmc_validity_c& validity);

  // A deep copy of the template object of a tag with the defaults of the product, application
  // and assured-recovery setting applied and irrelevant items removed; the caller owns it. Null
  // when the template has no such object (e.g. Group, which only exists as the group object).
  xmc_item_c* new_default_object(uint32_t tag, uint32_t product, uint32_t application,
                                 bool assured_recovery) const override;
  // Replaces "variable" values and applies the switch_to_set_default rows over the subtree; the
  // rows themselves are removed.
  void _set_appl_prod_defaults(xmc_item_c* item, uint32_t product, uint32_t application, bool assured_recovery) const;
  // Removes what relevant and irrelevant markers condemn over the subtree (never its root), and the
  // markers themselves.
  void _remove_irrelevant_items(xmc_item_c* item, uint32_t product, uint32_t application, bool assured_recovery) const;

  xmc_item_c* objects_item() const { return m_objects; }
  xmc_item_c* enums_item() const { return m_enums; }
  xmc_item_c* scenario_item() const { return m_scenario; }
  xmc_item_c* group_item() const { return m_group; }
  xmc_item_c* scenario_info_item() const { return m_scenario_info; }
  uint32_t xmc_version_number() const { return m_xmc_version; }
  uint32_t group_version_number() const { return m_group_version; }

 private:
  xmc_item_c* m_objects = nullptr;
  xmc_item_c* m_enums = nullptr;
  xmc_item_c* m_scenario = nullptr;
  uint32_t m_xmc_version = 0;
  uint32_t m_group_version = 0;
  xmc_item_c* m_group = nullptr;
  xmc_item_c* m_scenario_info = nullptr;
};

// The configurator of this process, built while the library loads; null when building failed or
// after unloading. Every user accepts null.
extern generic_conf_c* generic_conf_instance;

// A static object of the library: constructing it builds the configurator and names it the source of
// object defaults (xmc/object_defaults.h), destroying it withdraws and deletes it.
class generic_conf_builder_c {
 public:
  generic_conf_builder_c();
  ~generic_conf_builder_c();
  generic_conf_builder_c(const generic_conf_builder_c&) = delete;
  generic_conf_builder_c& operator=(const generic_conf_builder_c&) = delete;
};

#endif
