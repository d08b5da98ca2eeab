// A scenario configuration: its tree, the scenario's product, application and mode, and its hosts
// by index. Callers use the one class; its code lives in files by concern, each marked below where
// its members begin:
//   scenario_conf.cpp          the configuration itself: made, emptied, compared, its basics read,
//                              an object replaced by its default (xmc/object_defaults.h)
//   scenario_data.cpp          scenario, host and group fields by table index
//   field_paths.cpp            any field by its path
//   host_tree_build.cpp        the host tree, the hosts by number, their root directories
//   scenario_groups.cpp        the group's entries for its scenarios
//   scenario_file.cpp          reading a scenario file or text, writing it back under its lock
//   scenario_object_confs.cpp  the object configurations of the external content
//   scenario_services.cpp      the watched services
//   network_mappings.cpp       the virtual network mappings
//   scenario_validation.cpp    the consistency check and the validity check item by item
//   scenario_rules.cpp         the validity rules across the scenario and its hosts
// scenario_items.h holds the item lookups these files share.
#ifndef STATS_MNG_XMC_SCENARIO_CONF_H
#define STATS_MNG_XMC_SCENARIO_CONF_H

#include "file/writer_lock.h"
#include "platform/thl/thl_locks.h"
#include "platform/trc/zqtr.h"
#include "xmc/host_index_tree.h"
#include "xmc/xmc_conf.h"
#include "xmc/conf_tables.h"
#include "xmc/xmc_enum.h"
#include "xmc/xmc_value.h"

#include <cstdint>
#include <string>
#include <vector>

struct number_range_s;

// A service the scenario watches: its name, and how it is watched (the scenario's defaults unless
// the entry says otherwise).
struct service_entry_s {
  std::string name;
  uint32_t check_interval_s = 0;
  uint32_t start_timeout_s = 0;
  uint32_t stop_timeout_s = 0;
  uint32_t attempts = 0;
};

// One virtual network mapping of a scenario's switchover: the fields in their fixed order, each a
// text or, for a list field, its entries.
struct vm_network_mapping_s {
  enum field_e {
    VIRTUAL_MACHINE_UUID,
    VLAN_ID,
    CHANGE_VLAN_ID,
    MASTER_VIRTUAL_NETWORK_NAME,
    MASTER_VIRTUAL_NETWORK_UUID,
    REPLICA_VIRTUAL_NETWORK_NAME,
    REPLICA_VIRTUAL_NETWORK_UUID,
    APPLY_SOURCE_ADAPTER_SETTING,
    USE_DHCP,
    WINS_PRIMARY,
    WINS_SECONDARY,
    IPS,
    SUBNETS,
    GATEWAYS,
    DNS,
    MAC_ADDRESS,
    CLOUD_SECURITY_GROUP,
    CLOUD_PRIVATE_IP_ADDR,
    CLOUD_PUBLIC_IP_ADDR_AUTO_ASSIGN,
    CLOUD_PUBLIC_IP_ADDR,
    FIELD_COUNT
  };
  static const char* const labels[FIELD_COUNT];
  // The field a label names, letter case ignored; FIELD_COUNT for none.
  static field_e field_of(const char* label);

  std::string text[FIELD_COUNT];
  std::vector<std::string> entries[FIELD_COUNT];
};

class scenario_conf_c : public xmc_conf_c {
 public:
  explicit scenario_conf_c(uint32_t id = 0);
  ~scenario_conf_c() override;

  // The host number that stands for the manager: the scenario-level copies of the host fields
  // flagged in host_data_table.
  static constexpr uint64_t k_manager = 0xFFFFFFFEu;

  // ---- the configuration itself (scenario_conf.cpp)

  // Whether the tree and its root exist; otherwise "XMC tree is missing" is traced and, with a
  // value, its lookup status is 1 and its error text says so.
  bool _check_mixed_tree(xmc_value_c* value) const;

  // Deletes the tree and puts a new empty one in its place; the hosts, their root directories,
  // the services and the object configurations made from the old tree go with it.
  void new_tree() override;
  // Whether other is the same scenario: equal ids (reader lock).
  bool same_scenario(const scenario_conf_c& other);
  // Replaces one object by the generic configurator's default for its tag (scenario objects, tags
  // 1 to 16, without a host; host objects, tags from 18, with one). False, traced, when refused.
  bool reload_object(uint32_t tag, uint64_t host);

  // ---- fields by table index (scenario_data.cpp) and by path (field_paths.cpp)

  // Scenario fields by scenario_data_table index (reader lock). A field that cannot be read has
  // lookup status 1 and an error text. A list field fills the value's entries.
  xmc_value_c& get_scenario_data(uint32_t index, xmc_value_c& value);
  // Writes a field (writer lock); a fixed field only with force. The text must fit the field's type;
  // a list field takes the value's entries, each fitting the list's entry type. False, traced, when
  // refused.
  bool set_scenario_data(uint32_t index, xmc_value_c& value, bool force);
  // The same for the first field whose "Object.Label" equals path, letter case ignored.
  bool set_scenario_data_by_path(const char* path, xmc_value_c& value, bool force);
  // Any field by its path, as the tables name it ("Switchover.FromMasterPingIP") or as a finding
  // names it: an object's label, then the labels of the titles and data items down to the field,
  // each found in depth ("Switchover.SendPing.FromMasterPingIP"; titles may be left out), or
  // "status"/"id" for the object's own attribute. A label may take "#N" to name the N-th (from 0)
  // object of that label below the host ("RootDir#1.Path": root directory entry 1). host 0 is
  // the scenario, other numbers as for host fields. A table field reads and writes as its indexed
  // form does (fixed fields need force); any other field the path names is read and written as
  // the item it is, its text fitting the item's type. Reader lock, writer lock.
  xmc_value_c& get_data_by_path(const char* path, uint64_t host, xmc_value_c& value);
  bool set_data_by_path(const char* path, uint64_t host, xmc_value_c& value, bool force);
  // Host fields by host_data_table index and host number (1 the master, k_manager the manager).
  xmc_value_c& get_host_data(uint32_t index, uint64_t host, xmc_value_c& value);
  xmc_value_c& get_host_data_by_path(const char* path, uint64_t host, xmc_value_c& value);
  bool set_host_data(uint32_t index, uint64_t host, xmc_value_c& value);
  // Every host in host-tree order: the master too when the field's object lies under
  // CommonHostProps, otherwise the replicas; stops at the first refusal. True without hosts.
  bool set_host_data_all(uint32_t index, xmc_value_c& value);
  // Group fields by group_data_table index (group lock, taken after the scenario lock: the group
  // lies in the same tree, so a group reader holds the scenario lock as reader and a group writer
  // as writer, and a load or a scenario writer never changes the tree under a group reader).
  xmc_value_c& get_group_data(uint32_t index, xmc_value_c& value);
  bool set_group_data(uint32_t index, xmc_value_c& value, bool force);

  // ---- the group's entries for its scenarios (scenario_groups.cpp)

  // A field of the ScenarioInfo entry of the group's ScenarioList whose ScenarioID is scenario_id;
  // index names the field in scenario_info_data_table. Group lock.
  xmc_value_c& get_scenario_in_group(uint64_t scenario_id, uint32_t index, xmc_value_c& value);
  bool set_scenario_in_group(uint64_t scenario_id, uint32_t index, xmc_value_c& value, bool force);
  // The host numbered host (its Index) in that scenario's HostList: its Role with role, otherwise
  // its Host name.
  xmc_value_c& get_host_in_group(uint64_t scenario_id, uint64_t host, bool role, xmc_value_c& value);

  // ---- the checks (scenario_validation.cpp; the rule groups and the root directories:
  // scenario_rules.cpp)

  // Whether the tree is well formed: every data item carries the attributes it must and no others,
  // every object its label and id, and each external content item makes an object configuration
  // that is itself consistent. Findings go to the collector (and the trace). Reader lock.
  bool check_consistency(xmc_validity_c* validity, const xml_item_c* item = nullptr) override;
  // Whether the settings make sense: mode, product and application set, every value fitting its
  // type and limits, mandatory lists filled, and the rules across the scenario and its hosts.
  // Findings go to the collector in the order the rules run. Reader lock.
  bool check_xmc_validity(xmc_validity_c* validity, const xml_item_c* item = nullptr) override;
  // The checks of one item; descend is cleared when its children are not to be checked.
  bool _check_general_validity(xmc_validity_c* validity, xmc_item_c* item, bool& descend);
  // Whether a data item's check_if condition holds (true without one).
  bool _check_if_holds(const xmc_item_c* item) const;
  // The rule groups; each adds its findings and is false after any.
  bool _check_uniqueue_fields(xmc_validity_c* validity, uint64_t host);
  bool _check_compress_attributes(xmc_validity_c* validity, uint64_t host);
  bool _check_specific_features(xmc_validity_c* validity, uint64_t host);
  bool _check_networkmapping(xmc_validity_c* validity, uint64_t host);
  bool _check_ar_networkmapping(xmc_validity_c* validity, uint64_t host);
  // The root directories of the hosts against each other and the master's; with paths_required an
  // empty path is a finding too.
  bool _check_array_root_dirs(xmc_validity_c* validity, bool paths_required);

  // ---- scenario files (scenario_file.cpp)

  // Reads a scenario file: an XML document whose root element is the Scenario object, or a
  // ConfigDataHolder holding one. Sets mode, product, application and Assured Recovery from the
  // Scenario's items (a text that is no item of its enumeration leaves the field unset) and builds
  // the hosts and their root directories. False, with reason filled, for a file that cannot be
  // read, is no such document or holds no Scenario; the configuration is then left as it was.
  // With bytes, the file's bytes as they were read go there.
  bool load_file(const char* path, utl_stream_c* reason, std::string* bytes = nullptr);
  // The same from a file's bytes already read; name names them in messages.
  bool load_content(const std::string& content, const char* name, utl_stream_c* reason);
  static constexpr uint64_t k_max_file_size = 16u << 20;
  // The same from a text in memory.
  bool load_text(const char* text, utl_stream_c* reason);
  // Writes the tree back in one step (the new contents beside the old file, then one rename), under
  // the file's writer lock (file/writer_lock.h). The file keeps its mode, owner and links (the file a
  // link leads to is replaced). A file this configuration was loaded from is written only while it
  // still holds what was loaded: a change another writer made since is never written over (false,
  // with the reason in reason and the trace log; load again and repeat the change).
  bool save_file(const char* path, utl_stream_c* reason = nullptr);
  // The same with the file's new text given (null: the tree's, as save_file writes it).
  bool save_text(const char* path, const char* text, size_t length, utl_stream_c* reason = nullptr);
  // Holds the writer lock of the file at path (where its links lead) until release_file or the
  // configuration's end, so that a load, a change and a save are one change no other writer comes
  // between; waits up to wait_ms for another writer. False with the reason when it cannot be had.
  bool hold_file(const char* path, utl_stream_c* reason, unsigned wait_ms = file_writer_lock_c::k_default_wait_ms);
  void release_file() { m_file_lock.release(); }
  // After hold_file failed: whether another writer kept the lock for all of the wait (a file whose
  // lock cannot be made, a link that leads nowhere, is not kept by anybody).
  bool file_kept_by_another() const { return m_file_lock.kept_by_another(); }

  // ---- object configurations (scenario_object_confs.cpp)

  // The object configuration of the content child of the scenario's External object whose id is
  // k_db_object_id (reader lock), made on first use; null, traced, when there is none. The
  // configuration keeps what it makes until the next load_file or its own end.
  conf_c* get_generic_object();
  // The object configuration for an external content item, by the item's id: the one kept, or a
  // new one from the creator registered for the id. Null for id 0 or when nothing creates one.
  conf_c* _get_generic_object(const xml_item_c* item);
  conf_c* _new_generic_object();
  uint64_t object_conf_count();
  static constexpr uint32_t k_db_object_id = 6799;

  // ---- virtual network mappings (network_mappings.cpp)

  // Virtual network mappings of the switchover (switchover true) or of the recovery test, from
  // the list in host's ReplNode when it has one, otherwise from the scenario's. Appends one entry
  // per mapping; false, traced, when the scenario has no such list.
  bool get_hyper_v_vm_network_mapping_list(std::vector<vm_network_mapping_s>& out, bool switchover, uint64_t host);

  // ---- watched services (scenario_services.cpp)

  // The services the scenario watches (from its ListMonitorServices, filled when a file is loaded).
  std::vector<service_entry_s> services();
  uint64_t _build_services();
  // How a service is watched unless its entry says otherwise: check interval, start and stop
  // timeouts (seconds) and attempts.
  static constexpr uint32_t k_service_defaults[4] = {30, 120, 120, 3};

  // ---- the hosts (host_tree_build.cpp)

  // Rebuilds the host tree from the ReplNode objects below scenario_item (the tree's root when
  // null), each by the Index of its CommonHostProps and below the host of its enclosing ReplNode.
  // A ReplNode that cannot be placed exactly (no Index, an Index outside 1 to k_max_host or
  // repeating another's, the master's Index inside another host, a replica inside no placed host)
  // is left out and recorded (host_tree().lost(), traced); the validity check reports each.
  // Returns the number of hosts placed, the master included.
  uint64_t _build_host_tree(xmc_item_c* scenario_item = nullptr);

  // The node of a host for a lookup (the caller holds the scenario lock, or the configuration is
  // its own): null, with "Unable to find host node with index N" and why in why, when no placed
  // host has the number, when a host the build left out states it too (the number names no single
  // host), or when the tree was replaced or had items removed since the hosts were read.
  host_index_node_s* find_host(uint64_t host, utl_stream_c* why) const;
  // Whether the host tree was built from the tree as it stands.
  bool _host_tree_current() const;
  // Adds a finding (code 36, host 0, path ReplNode.CommonHostProps.Index, the Index as value, the
  // reason as text) for each ReplNode the build left out, and one when the hosts were read from a
  // tree that has been replaced since. False after any.
  bool _check_host_tree(xmc_validity_c* validity) const;

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
  // Where a field lives: its object, and its data item (null for the object's status or id).
  struct field_s {
    xmc_item_c* object = nullptr;
    xmc_item_c* item = nullptr;
    const char* attribute = nullptr;  // "status", "id" or "val"
  };
  // The field of a table entry below start: the first object of the owner's label in depth (start
  // itself included; never inside another host), then the field below it.
  static bool _find_field(xmc_item_c* start, const data_table_entry_s& entry, field_s& field);
  static void _read_field(const field_s& field, xmc_value_c& value);
  enum data_kind_e { SCENARIO_DATA, HOST_DATA, GROUP_DATA };
  // Writes the value into a found field; false, traced, when it does not fit.
  bool _write_field(const field_s& field, const data_table_entry_s& entry, xmc_value_c& value, data_kind_e kind);
  bool _write_field_traced(const field_s& field, const data_table_entry_s& entry, xmc_value_c& value, zqtr_entry_c& tr);
  // A list field takes the entries as its children; unchecked skips the entry type test.
  bool _recive_array_chars(xmc_item_c* item, xmc_value_c& value, bool unchecked);
  // The ScenarioInfo entry of the group whose ScenarioID is scenario_id; null, with the value's
  // lookup error, when absent.
  xmc_item_c* _scenario_info(uint64_t scenario_id, xmc_value_c* value);
  // Under the group's read locks: the value reset, the scenario's entry found (or the value's
  // lookup error), then read(entry).
  template <typename F>
  xmc_value_c& _read_in_group(uint64_t scenario_id, xmc_value_c& value, F read);
  // A scenario or host field that reads "True"; the hosts that have a ReplNode, in host-tree order.
  bool _scenario_flag(uint32_t index);
  bool _host_flag(uint32_t index, uint64_t host);
  std::vector<uint64_t> _hosts() const;
  // The host of a finding's item: as host_of_item, but 0 inside a host the tree leaves out.
  uint64_t _host_of_item(const xml_item_c* item) const override;
  // Whether text may become the Index of host: the master keeps 1, another host a number no
  // other host of the file states; false, traced, when not.
  bool _check_index_write(uint64_t host, const char* text, zqtr_entry_c& tr) const;
  // The item a path names below start (see get_data_by_path): field.item a data item, or the
  // object with field.attribute "status"/"id"; an object named last leaves field.item null and
  // field.attribute null. False when nothing is so named.
  static bool _find_path(xmc_item_c* start, const char* path, field_s& field);
  // What a path names for a host (0 the scenario; the caller holds a lock): a table field (index
  // set), an item no table names (field set), an object, nothing, or a host that cannot be had
  // (why says which).
  enum path_named_e { NAMES_NOTHING, NAMES_NO_HOST, NAMES_TABLE_FIELD, NAMES_ITEM, NAMES_OBJECT };
  path_named_e _resolve_path(const char* path, uint64_t host, long& index, field_s& field, utl_stream_c& why);
  // Whether text fits a ranged Number field (any text when range is null); false, traced, when not.
  static bool _number_in_range(const number_range_s* range, const char* text, zqtr_entry_c& tr);
  // Refreshes mode, product, application and Assured Recovery from the scenario's items.
  void _read_basics();
  std::string _scenario_name();
  // Takes a read document's Scenario (the root, or held by a ConfigDataHolder root); path names it
  // in messages.
  bool _load_document(class xml_document_c& doc, const char* path, utl_stream_c* reason);
  xmc_value_c& _get_data(const data_table_entry_s* table, size_t count, uint32_t index, xmc_value_c& value);
  bool _set_data(const data_table_entry_s* table, size_t count, uint32_t index, xmc_value_c& value, bool force,
                 data_kind_e kind, zqtr_entry_c& tr);
  bool _set_host_data(uint32_t index, uint64_t host, xmc_value_c& value);
  // Where a host field is searched from: the host's ReplNode, or the tree's root for the manager
  // (flagged fields only).
  enum host_start_e { HOST_FOUND, HOST_IRRELEVANT, HOST_MISSING };
  host_start_e _host_start(const data_table_entry_s& entry, uint64_t host, xmc_item_c*& start,
                           utl_stream_c* why = nullptr) const;

  uint32_t m_config_mode = CONFIG_MODE_REGULAR;
  uint32_t m_product = PRODUCT_NONE;
  uint32_t m_application = APPLICATION_NONE;
  bool m_assured_recovery = false;
  host_index_tree_c* m_host_tree;
  // The tree the hosts were read from and its count of deletions then.
  const mixed_xmc_xml_tree_c* m_hosts_of_tree = nullptr;
  uint64_t m_hosts_generation = 0;
  single_writer_multi_reader_c m_scenario_lock;
  bool m_lock_choice = false;
  single_writer_multi_reader_c m_group_lock;
  // One object configuration per external content id in use; its lock is taken inside the others.
  ptr_list_ct<conf_c> m_object_confs;
  thl_crit_section_c m_object_confs_lock;
  ptr_list_ct<service_entry_s> m_services;
  uint32_t m_service_defaults[4];
  // The file the tree was loaded from (links followed) and what it held then.
  utl_stream_c m_loaded_file;
  uint64_t m_loaded_fingerprint = 0;
  file_writer_lock_c m_file_lock;
  utl_stream_c m_locked_file;
};

#endif
