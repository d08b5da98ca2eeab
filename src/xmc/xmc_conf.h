// A configuration that owns a configuration tree; the attribute checks of its data and object
// items; and the findings of a validity check, collected for a user interface to show per host and
// per field.
#ifndef STATS_MNG_XMC_XMC_CONF_H
#define STATS_MNG_XMC_XMC_CONF_H

#include "utl/array.h"
#include "utl/utl_stream.h"
#include "xmc/conf.h"
#include "xmc/xmc_item.h"

#include <cstdint>

// One finding.
struct ch_data_s {
  static constexpr uint64_t k_no_entry = ~static_cast<uint64_t>(0);

  uint64_t host = 0;  // 0 the scenario as a whole, 1 the master, 2 and up another host by index
  uint64_t entry = k_no_entry;  // position inside a list (a root directory), or none
  uint32_t code = 0;
  utl_stream_c path;   // dotted labels of the field
  utl_stream_c value;  // empty when not given
  utl_stream_c text;   // free text, used with code 36

  // The finding as one line: host, entry, path and value, then what is wrong, from the message
  // store's texts; appended to out.
  const char* to_text(utl_stream_c& out) const;
};

// The findings in the order added; owns them.
class xmc_validity_c {
 public:
  xmc_validity_c() = default;
  virtual ~xmc_validity_c();
  xmc_validity_c(const xmc_validity_c&) = delete;
  xmc_validity_c& operator=(const xmc_validity_c&) = delete;

  // Takes the finding over; returns it.
  ch_data_s* add(ch_data_s* finding);
  ch_data_s* add(uint64_t host, uint64_t entry, uint32_t code, const char* path, const char* value,
                 const char* text = nullptr);
  uint64_t count() const { return m_findings.count(); }
  ptr_list_ct<ch_data_s>& findings() { return m_findings; }
  // The i-th finding (0 first); null past the last.
  ch_data_s* at(uint64_t index);
  // The text of every finding from the first'th on, each followed by separator.
  const char* to_text(utl_stream_c& out, uint64_t first = 0, const char* separator = "");
  void delete_all() { m_findings.delete_all(); }

 private:
  ptr_list_ct<ch_data_s> m_findings;
};

// What the attribute check of a data item found; texts point into the item.
struct data_content_s {
  const char* label = nullptr;
  const char* val = nullptr;
  const char* check_kids_if_val = nullptr;
  bool mandatory = false;
  bool prompted = false;
  bool has_check_if = false;
  bool has_min_max = false;
};

class xmc_conf_c : public conf_c {
 public:
  explicit xmc_conf_c(uint32_t id = 0);
  ~xmc_conf_c() override;

  // name.label of the item, then " => " and name.label of each ancestor up to the root:
  // data.HeartbeatTimeout => title.is_alive => object.Switchover. Appended to out.
  virtual const char* item_path(const xml_item_c* item, utl_stream_c& out) const;
  // Deletes the tree and puts a new empty one in its place.
  virtual void new_tree();
  // Equal ids and equal trees.
  virtual bool same_configuration(const xmc_conf_c& other) const;

  mixed_xmc_xml_tree_c* tree() const { return m_tree; }

  // Checks the attributes of a data item: no empty attribute but "val", each known attribute
  // once and no other, label, val and type present. Each finding goes to the collector, or to the
  // trace without one; false after any. Both modes (strict or not) apply every rule.
  bool _check_data_content(xmc_validity_c* validity, const xmc_item_c* item, bool strict, data_content_s& found) const;
  // Reads the label (the result, null when absent) and id of an object item, adding a finding for
  // an empty or unknown attribute, a missing label or id, or no attributes at all; ok is cleared
  // after any finding.
  const char* _check_object_content_get_name(const xmc_item_c* item, xmc_validity_c* validity, uint32_t& id,
                                             bool& ok) const;

  // Findings. For an item: the path runs from the nearest enclosing object to the item, the host
  // is the Index of the enclosing ReplNode (0 outside hosts), the entry the position of the
  // enclosing RootDir among its parent's RootDir objects.
  ch_data_s* _add_finding(xmc_validity_c* validity, const xml_item_c* item, uint32_t code, const char* value) const;
  // For a field of scenario_data_table: the path is the owning object's label, ".", the field's.
  ch_data_s* _add_scenario_finding(xmc_validity_c* validity, uint32_t index, uint32_t code, const char* value) const;
  // For a field of host_data_table of a host.
  ch_data_s* _add_host_finding(xmc_validity_c* validity, uint32_t index, uint64_t host, uint32_t code,
                               const char* value) const;
  // With everything given.
  ch_data_s* _add_path_finding(xmc_validity_c* validity, uint64_t host, uint64_t entry, uint32_t code,
                               const char* path, const char* value, const char* text = nullptr) const;

  // The host number of an item: the Index of its enclosing ReplNode's CommonHostProps; 0 outside.
  static uint64_t host_of_item(const xml_item_c* item);
  // The host a finding of the item names (host_of_item unless the configuration knows better).
  virtual uint64_t _host_of_item(const xml_item_c* item) const { return host_of_item(item); }
  // The position of the item's enclosing RootDir among its parent's RootDir objects; none outside.
  static uint64_t entry_of_item(const xml_item_c* item);
  // The dotted labels from the nearest enclosing object down to the item, appended to out.
  static const char* field_path(const xml_item_c* item, utl_stream_c& out);
  // The first data item so labelled below the item, in depth, not entering objects; or null.
  static xmc_item_c* find_data(const xml_item_c* start, const char* label);
  // The first object or external object so labelled below the item, in depth (not entering data
  // items); or null.
  static xmc_item_c* find_object(const xml_item_c* start, const char* label);

 protected:
  mixed_xmc_xml_tree_c* m_tree;
};

#endif
