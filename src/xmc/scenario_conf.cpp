#include "xmc/scenario_conf.h"

#include "xmc/number_ranges.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "file/file_manipulation.h"
#include "file/file_prop.h"
#include "utl/multi_lang.h"
#include "utl/utl.h"
#include "xmc/conf_object.h"
#include "xmc/object_defaults.h"
#include "xml/xml_doc.h"

#include <cstring>
#include <string>

namespace {

const char* k_file = "scenario_conf";

bool is_repl_node(const xmc_item_c* item) {
  const char* label = item == nullptr ? nullptr : xmc_item_c::attr_text(item, "label");
  return item != nullptr && item->is_object() && label != nullptr && std::strcmp(label, "ReplNode") == 0;
}

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

// ---- data access

namespace {

bool same_text(const char* a, const char* b) { return a != nullptr && b != nullptr && std::strcmp(a, b) == 0; }

// The first object so labelled below start in depth, not entering data items, external objects or
// another host's ReplNode.
xmc_item_c* find_host_object(xmc_item_c* start, const char* label) {
  for (xml_item_c* child = start->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* typed = xmc_item_c::cast(child);
    if (typed == nullptr || typed->is_data()) continue;
    if (typed->is_object() && same_text(xmc_item_c::attr_text(typed, "label"), label)) return typed;
    if (typed->is_external() || is_repl_node(typed)) continue;
    xmc_item_c* below = find_host_object(typed, label);
    if (below != nullptr) return below;
  }
  return nullptr;
}

// The static name of a type or enumeration text (value types point at static texts); null for an
// object id or an unknown text.
const char* static_type_name(const char* text) {
  uint32_t enum_index = ENUM_NONE;
  const uint32_t type = xmc_enum_c::value_type(text, &enum_index);
  if (type == TYPE_ENUM && enum_index < ENUM_NONE) return xmc_enum_c::enum_name(enum_index);
  return type < TYPE_NONE ? xmc_enum_c::type_name(type) : nullptr;
}

const char* host_text(uint64_t host, utl_stream_c& out) {
  if (host == scenario_conf_c::k_manager) return "Manager";
  if (host == host_index_tree_c::k_master) return "Master";
  out << "Replica #" << static_cast<unsigned long long>(host);
  return out.c_str();
}

}  // namespace

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

bool scenario_conf_c::_find_field(xmc_item_c* start, const data_table_entry_s& entry, field_s& field) {
  field = field_s();
  if (start == nullptr || entry.object_tag >= k_object_tag_count) return false;
  const char* owner = object_tag_table[entry.object_tag].label;
  xmc_item_c* object = start->is_object() && same_text(xmc_item_c::attr_text(start, "label"), owner)
                           ? start
                           : find_host_object(start, owner);
  if (object == nullptr) return false;
  field.object = object;
  if (std::strcmp(entry.label, "status") == 0 || std::strcmp(entry.label, "id") == 0) {
    field.attribute = entry.label;
    return object->find_attr(entry.label) != nullptr;
  }
  field.item = find_data(object, entry.label);
  field.attribute = "val";
  return field.item != nullptr && field.item->find_attr("val") != nullptr;
}

void scenario_conf_c::_read_field(const field_s& field, xmc_value_c& value) {
  if (field.item == nullptr) {
    value.set_text(xmc_item_c::attr_text(field.object, field.attribute));
    value.set_type_name(std::strcmp(field.attribute, "status") == 0 ? xmc_enum_c::type_name(TYPE_BOOL)
                                                                     : xmc_enum_c::type_name(TYPE_NUMBER));
  } else if (field.item->value_type() == TYPE_MULTI_ENTRY) {
    value.reset();
    xmc_string_array_c& entries = value.make_entries();
    entries.clear();
    for (xml_item_c* child = field.item->first_item(); child != nullptr; child = child->next_item()) {
      const xmc_item_c* typed = xmc_item_c::cast(child);
      const char* val = xmc_item_c::attr_text(typed, "val");
      if (typed != nullptr && typed->is_data() && val != nullptr) entries.add(val);
    }
    // The entry type is the item's val: a type or enumeration name, or the id of the entries'
    // object (which the value keeps a copy of).
    const char* entry_type = xmc_item_c::attr_text(field.item, "val");
    const char* known = static_type_name(entry_type);
    if (known != nullptr) {
      value.set_type_name(known);
    } else {
      value.set_type_name_copy(entry_type);
    }
  } else {
    value.set_text(xmc_item_c::attr_text(field.item, "val"));
    value.set_type_name(field.item->value_type() == TYPE_ENUM ? xmc_enum_c::enum_name(field.item->enum_index())
                                                              : static_type_name(xmc_item_c::attr_text(field.item, "type")));
  }
  value.set_lookup_status(0);
}

xmc_value_c& scenario_conf_c::_get_data(const data_table_entry_s* table, size_t count, uint32_t index,
                                        xmc_value_c& value) {
  value.reset();
  if (!_check_mixed_tree(&value)) return value;
  field_s field;
  if (index >= count || !_find_field(m_tree->root, table[index], field)) {
    value.set_lookup_status(1);
    const char* label = index < count ? table[index].label : "";
    value.error_stream() << '\x01';
    if (label[0] == '\0') {
      value.error_stream() << "Lookup Error";
    } else {
      value.error_stream() << "Unable to find node with property " << label;
    }
    return value;
  }
  _read_field(field, value);
  return value;
}

xmc_value_c& scenario_conf_c::get_scenario_data(uint32_t index, xmc_value_c& value) {
  multi_reader_lock_c lock(m_scenario_lock);
  return _get_data(scenario_data_table, k_scenario_data_count, index, value);
}

xmc_value_c& scenario_conf_c::get_group_data(uint32_t index, xmc_value_c& value) {
  // The tree's shape is the scenario lock's to guard: a reader of the group holds it as reader.
  multi_reader_lock_c tree_lock(m_scenario_lock);
  multi_reader_lock_c lock(m_group_lock);
  return _get_data(group_data_table, k_group_data_count, index, value);
}

scenario_conf_c::host_start_e scenario_conf_c::_host_start(const data_table_entry_s& entry, uint64_t host,
                                                           xmc_item_c*& start, utl_stream_c* why) const {
  start = nullptr;
  if (host == k_manager) {
    // The manager has the scenario-level copies of the flagged fields only.
    if (entry.flag == 0) return HOST_IRRELEVANT;
    start = m_tree->root;
    return HOST_FOUND;
  }
  host_index_node_s* node = find_host(host, why);
  start = node == nullptr ? nullptr : node->repl_node;
  return start == nullptr ? HOST_MISSING : HOST_FOUND;
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

xmc_value_c& scenario_conf_c::get_host_data(uint32_t index, uint64_t host, xmc_value_c& value) {
  multi_reader_lock_c lock(m_scenario_lock);
  value.reset();
  if (!_check_mixed_tree(&value)) return value;
  if (index >= k_host_data_count) {
    value.set_lookup_status(1);
    value.error_stream() << '\x01' << "Lookup Error";
    return value;
  }
  const data_table_entry_s& entry = host_data_table[index];
  const char* owner = object_tag_table[entry.object_tag].label;
  xmc_item_c* start = nullptr;
  utl_stream_c why;
  switch (_host_start(entry, host, start, &why)) {
    case HOST_IRRELEVANT:
      value.set_lookup_status(1);
      value.error_stream() << '\x01' << "Node \"" << owner << "\" with property \"" << entry.label
                           << "\" is irrelevant for Manager Data";
      return value;
    case HOST_MISSING:
      value.set_lookup_status(1);
      value.error_stream() << '\x01' << why;
      return value;
    case HOST_FOUND: break;
  }
  field_s field;
  if (!_find_field(start, entry, field)) {
    utl_stream_c who;
    value.set_lookup_status(1);
    value.error_stream() << '\x01' << "Unable to find node \"" << owner << "\" with property \"" << entry.label << "\""
                         << ", host " << host_text(host, who);
    return value;
  }
  _read_field(field, value);
  return value;
}

bool scenario_conf_c::_recive_array_chars(xmc_item_c* item, xmc_value_c& value, bool unchecked) {
  ZQTR_SCOPE(tr, "scenario_conf_c::_recive_array_chars", k_file);
  const xmc_string_array_c* entries = value.entries();
  if (entries == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to set list strings, input is invalid\n");
    return false;
  }
  const char* entry_type = xmc_item_c::attr_text(item, "val");
  uint32_t enum_index = ENUM_NONE;
  const uint32_t type = xmc_enum_c::value_type(entry_type, &enum_index);
  for (size_t i = 0; i < entries->count(); ++i) {
    // Checked or not, an entry the file cannot keep would make the whole file unreadable (or no
    // XML another reader takes).
    if (const char* fault = xml_document_c::text_fault(entries->at(i), true)) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to set list strings of \"%s\", an entry %s\n",
               xmc_item_c::attr_text(item, "label") == nullptr ? "" : xmc_item_c::attr_text(item, "label"), fault);
      return false;
    }
  }
  if (!unchecked) {
    for (size_t i = 0; i < entries->count(); ++i) {
      if (!xmc_enum_c::data_fits_type(entries->at(i), type, enum_index, item)) {
        tr.print(ZQTR_FAIL, __LINE__, "Unable to set list strings, value \"%s\" doesn't fit type\n", entries->at(i));
        return false;
      }
    }
  }
  item->delete_children();
  const char* label = xmc_item_c::attr_text(item, "label");
  const std::string label_text = label == nullptr ? "" : label;
  const std::string type_text = entry_type == nullptr ? "" : entry_type;
  for (size_t i = 0; i < entries->count(); ++i) {
    xmc_item_c* child = xmc_item_c::add_xmc_child("data", item);
    child->set_attr("label", label_text.c_str());
    child->set_attr("val", entries->at(i));
    child->set_attr("type", type_text.c_str());
  }
  return true;
}

bool scenario_conf_c::_write_field(const field_s& field, const data_table_entry_s& entry, xmc_value_c& value,
                                   data_kind_e kind) {
  // Each kind of field writes under its own scope (a scope's name is a literal: its settings are
  // cached per call site).
  switch (kind) {
    case SCENARIO_DATA: {
      ZQTR_SCOPE(tr, "scenario_conf_c::_set_scenario_data", k_file);
      return _write_field_traced(field, entry, value, tr);
    }
    case HOST_DATA: {
      ZQTR_SCOPE(tr, "scenario_conf_c::_set_host_data", k_file);
      return _write_field_traced(field, entry, value, tr);
    }
    default: {
      ZQTR_SCOPE(tr, "scenario_conf_c::_set_group_data", k_file);
      return _write_field_traced(field, entry, value, tr);
    }
  }
}

bool scenario_conf_c::_write_field_traced(const field_s& field, const data_table_entry_s& entry, xmc_value_c& value,
                                          zqtr_entry_c& tr) {
  if (field.item != nullptr && field.item->value_type() == TYPE_MULTI_ENTRY) {
    return _recive_array_chars(field.item, value, false);
  }
  const std::string text = value.as_string();
  if (const char* fault = xml_document_c::text_fault(text.c_str(), true)) {
    // A byte 0xFF would end the file for its reader, a line end would read back as a blank, and
    // another control character or bytes that are no UTF-8 make a file no other XML reader takes.
    tr.print(ZQTR_FAIL, __LINE__, "Unable to set \"%s.%s\", the text %s\n", object_tag_table[entry.object_tag].label,
             entry.label, fault);
    return false;
  }
  bool fits = false;
  if (field.item == nullptr) {
    fits = xmc_enum_c::data_fits_type(text.c_str(), std::strcmp(field.attribute, "status") == 0 ? TYPE_BOOL : TYPE_NUMBER,
                                      ENUM_NONE, nullptr);
  } else {
    fits = xmc_enum_c::data_fits_type(text.c_str(), field.item->value_type(), field.item->enum_index(), field.item);
  }
  if (!fits) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to set \"%s.%s\" = \"%s\", type doesn't fit\n",
             object_tag_table[entry.object_tag].label, entry.label, text.c_str());
    return false;
  }
  if (!_number_in_range(number_ranges_n::of(object_tag_table[entry.object_tag].label, entry.label), text.c_str(), tr)) {
    return false;
  }
  (field.item != nullptr ? field.item : field.object)->set_attr(field.attribute, text.c_str());
  return true;
}

bool scenario_conf_c::_set_data(const data_table_entry_s* table, size_t count, uint32_t index, xmc_value_c& value,
                                bool force, data_kind_e kind, zqtr_entry_c& tr) {
  if (index >= count || !_check_mixed_tree(nullptr)) return false;
  const data_table_entry_s& entry = table[index];
  const char* owner = object_tag_table[entry.object_tag].label;
  if (!force && entry.flag != 0) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to reset fixed property \"%s.%s\"\n", owner, entry.label);
    return false;
  }
  field_s field;
  if (!_find_field(m_tree->root, entry, field)) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to find node \"%s\" with property \"%s\"\n", owner, entry.label);
    return false;
  }
  return _write_field(field, entry, value, kind);
}

bool scenario_conf_c::set_scenario_data(uint32_t index, xmc_value_c& value, bool force) {
  single_writer_lock_c lock(m_scenario_lock);
  if (!lock.held()) return false;
  ZQTR_SCOPE(tr, "scenario_conf_c::set_scenario_data", k_file);
  return _set_data(scenario_data_table, k_scenario_data_count, index, value, force, SCENARIO_DATA, tr);
}

bool scenario_conf_c::set_group_data(uint32_t index, xmc_value_c& value, bool force) {
  // A group writer may change the tree's shape (a list's children): scenario readers wait.
  single_writer_lock_c tree_lock(m_scenario_lock);
  single_writer_lock_c lock(m_group_lock);
  if (!tree_lock.held() || !lock.held()) return false;
  ZQTR_SCOPE(tr, "scenario_conf_c::set_group_data", k_file);
  return _set_data(group_data_table, k_group_data_count, index, value, force, GROUP_DATA, tr);
}

bool scenario_conf_c::_set_host_data(uint32_t index, uint64_t host, xmc_value_c& value) {
  ZQTR_SCOPE(tr, "scenario_conf_c::set_host_data", k_file);
  if (index >= k_host_data_count || !_check_mixed_tree(nullptr)) return false;
  const data_table_entry_s& entry = host_data_table[index];
  const char* owner = object_tag_table[entry.object_tag].label;
  xmc_item_c* start = nullptr;
  utl_stream_c why;
  switch (_host_start(entry, host, start, &why)) {
    case HOST_IRRELEVANT:
      tr.print(ZQTR_FAIL, __LINE__, "Node \"%s\"  with property \"%s\"  is irrelevant for Manager Data\n", owner,
               entry.label);
      return false;
    case HOST_MISSING:
      tr.print(ZQTR_FAIL, __LINE__, "%s\n", why.c_str());
      return false;
    case HOST_FOUND: break;
  }
  field_s field;
  if (!_find_field(start, entry, field)) {
    if (host == k_manager || host == host_index_tree_c::k_master) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to find node \"%s\" with property \"%s\", host %s\n", owner, entry.label,
               host == k_manager ? "Manager" : "Master");
    } else {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to find node \"%s\" with property \"%s\", Replica #%ld\n", owner,
               entry.label, static_cast<long>(host));
    }
    return false;
  }
  const bool index_field = entry.object_tag == TAG_COMMON_HOST_PROPS && std::strcmp(entry.label, "Index") == 0;
  if (index_field && !_check_index_write(host, value.as_string(), tr)) return false;
  if (!_write_field(field, entry, value, HOST_DATA)) return false;
  if (index_field) {
    // The host keeps its place in the tree under its new number.
    int64_t n = 0;
    mix_n::parse_formatted_integer_string(value.as_string(), n);
    host_index_node_s* node = find_host(host, nullptr);
    if (node != nullptr) node->host_index = static_cast<uint64_t>(n);
  }
  return true;
}

bool scenario_conf_c::set_host_data(uint32_t index, uint64_t host, xmc_value_c& value) {
  single_writer_lock_c lock(m_scenario_lock);
  if (!lock.held()) return false;
  return _set_host_data(index, host, value);
}

bool scenario_conf_c::set_host_data_all(uint32_t index, xmc_value_c& value) {
  single_writer_lock_c lock(m_scenario_lock);
  if (!lock.held() || index >= k_host_data_count) return false;
  // The master has the fields of its CommonHostProps; the rest belong to replicas.
  bool master_too = false;
  for (uint32_t tag = host_data_table[index].object_tag; tag != TAG_SCENARIO && tag != TAG_GROUP;
       tag = object_tag_table[tag].parent) {
    if (tag == TAG_COMMON_HOST_PROPS) master_too = true;
  }
  for (uint64_t host : _hosts()) {
    if (host == host_index_tree_c::k_master && !master_too) continue;
    if (!_set_host_data(index, host, value)) return false;
  }
  return true;
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

// ---- scenario files

bool scenario_conf_c::load_text(const char* text, utl_stream_c* reason) {
  ZQTR_SCOPE(tr, "scenario_conf_c::load_text", k_file);
  xml_document_c doc;
  if (text == nullptr || !doc.load_from_str(text) || doc.root() == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to load scenario text, %s\n", "it cannot be read as an XML document");
    if (reason != nullptr) *reason << '\x01' << "it cannot be read as an XML document";
    return false;
  }
  return _load_document(doc, "the text", reason);
}

bool scenario_conf_c::_load_document(xml_document_c& doc, const char* path, utl_stream_c* reason) {
  ZQTR_SCOPE(tr, "scenario_conf_c::_load_document", k_file);
  auto refuse = [&](const char* why) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to load scenario file %s, %s\n", path, why);
    if (reason != nullptr) *reason << '\x01' << why;
    return false;
  };
  mixed_xmc_xml_tree_c* tree = new mixed_xmc_xml_tree_c;
  tree->from_document(doc);
  xmc_item_c* scenario = tree->root;
  if (scenario != nullptr && !(scenario->is_object() && same_text(xmc_item_c::attr_text(scenario, "label"), "Scenario"))) {
    scenario = same_text(xmc_item_c::attr_text(scenario, "label"), "ConfigDataHolder")
                   ? find_object(scenario, "Scenario")
                   : nullptr;
    if (scenario != nullptr) {
      // The Scenario becomes the root; what held it goes.
      tree->detach(scenario);
      tree->clear();
      tree->attach(scenario, nullptr, true);
    }
  }
  if (scenario == nullptr) {
    delete tree;
    return refuse("it holds no Scenario object");
  }
  single_writer_lock_c lock(m_scenario_lock);
  if (!lock.held()) {
    delete tree;
    return refuse("the configuration is being read by this thread");
  }
  m_host_tree->remove_all_but_root();
  delete m_tree;
  m_tree = tree;
  _read_basics();
  _build_host_tree();
  _build_root_dirs();
  _build_services();
  {
    // What was made from the previous tree's external content does not describe this one.
    thl_lock_c list_lock(m_object_confs_lock);
    m_object_confs.delete_all();
  }
  tr.print(ZQTR_PROGRESS, __LINE__, "Scenario file %s loaded\n", path);
  return true;
}

// ---- the group's entries for its scenarios

namespace {

// The value of a data item below item (not entering objects) read as a whole number; false when
// absent or not a number.
bool data_number(const xml_item_c* item, const char* label, uint64_t& number) {
  const char* text = xmc_item_c::attr_text(xmc_conf_c::find_data(item, label), "val");
  int64_t n = 0;
  if (text == nullptr || !mix_n::parse_formatted_integer_string(text, n) || n < 0) return false;
  number = static_cast<uint64_t>(n);
  return true;
}

// The object children of a list (MultiEntry) data item whose number field equals number.
xmc_item_c* list_entry(xmc_item_c* list, const char* entry_label, const char* number_label, uint64_t number) {
  for (xml_item_c* child = list == nullptr ? nullptr : list->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* typed = xmc_item_c::cast(child);
    uint64_t stated = 0;
    if (typed != nullptr && typed->is_object() && same_text(xmc_item_c::attr_text(typed, "label"), entry_label) &&
        data_number(typed, number_label, stated) && stated == number) {
      return typed;
    }
  }
  return nullptr;
}

}  // namespace

xmc_item_c* scenario_conf_c::_scenario_info(uint64_t scenario_id, xmc_value_c* value) {
  xmc_item_c* root = m_tree->root;
  xmc_item_c* group = same_text(xmc_item_c::attr_text(root, "label"), "Group") ? root : find_host_object(root, "Group");
  xmc_item_c* info = list_entry(group == nullptr ? nullptr : find_data(group, "ScenarioList"), "ScenarioInfo",
                                "ScenarioID", scenario_id);
  if (info == nullptr && value != nullptr) {
    value->set_lookup_status(1);
    value->error_stream() << '\x01' << "Unable to find scenario " << static_cast<unsigned long long>(scenario_id)
                          << " in the group's ScenarioList";
  }
  return info;
}

template <typename F>
xmc_value_c& scenario_conf_c::_read_in_group(uint64_t scenario_id, xmc_value_c& value, F read) {
  // The tree's shape is the scenario lock's to guard: a reader of the group holds it as reader.
  multi_reader_lock_c tree_lock(m_scenario_lock);
  multi_reader_lock_c lock(m_group_lock);
  value.reset();
  if (!_check_mixed_tree(&value)) return value;
  xmc_item_c* info = _scenario_info(scenario_id, &value);
  if (info != nullptr) read(info);
  return value;
}

xmc_value_c& scenario_conf_c::get_scenario_in_group(uint64_t scenario_id, uint32_t index, xmc_value_c& value) {
  return _read_in_group(scenario_id, value, [&](xmc_item_c* info) {
    field_s field;
    if (index < k_scenario_info_data_count && _find_field(info, scenario_info_data_table[index], field)) {
      _read_field(field, value);
      return;
    }
    value.set_lookup_status(1);
    value.error_stream() << '\x01';
    if (index >= k_scenario_info_data_count) {
      value.error_stream() << "Lookup Error";
    } else {
      value.error_stream() << "Unable to find node with property " << scenario_info_data_table[index].label;
    }
  });
}

bool scenario_conf_c::set_scenario_in_group(uint64_t scenario_id, uint32_t index, xmc_value_c& value, bool force) {
  // A group writer may change the tree's shape (a list's children): scenario readers wait.
  single_writer_lock_c tree_lock(m_scenario_lock);
  single_writer_lock_c lock(m_group_lock);
  if (!tree_lock.held() || !lock.held() || index >= k_scenario_info_data_count || !_check_mixed_tree(nullptr)) {
    return false;
  }
  ZQTR_SCOPE(tr, "scenario_conf_c::set_scenario_in_group", k_file);
  const data_table_entry_s& entry = scenario_info_data_table[index];
  if (!force && entry.flag != 0) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to reset fixed property \"%s.%s\"\n", "ScenarioInfo", entry.label);
    return false;
  }
  xmc_item_c* info = _scenario_info(scenario_id, nullptr);
  field_s field;
  if (info == nullptr || !_find_field(info, entry, field)) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to find node \"%s\" with property \"%s\", scenario %llu\n", "ScenarioInfo",
             entry.label, static_cast<unsigned long long>(scenario_id));
    return false;
  }
  return _write_field(field, entry, value, GROUP_DATA);
}

xmc_value_c& scenario_conf_c::get_host_in_group(uint64_t scenario_id, uint64_t host, bool role, xmc_value_c& value) {
  return _read_in_group(scenario_id, value, [&](xmc_item_c* info) {
    field_s field;
    field.object = list_entry(find_data(info, "HostList"), "HostProps", "Index", host);
    field.item = field.object == nullptr ? nullptr : find_data(field.object, role ? "Role" : "Host");
    field.attribute = "val";
    if (field.item != nullptr && field.item->find_attr("val") != nullptr) {
      _read_field(field, value);
      return;
    }
    value.set_lookup_status(1);
    value.error_stream() << '\x01' << "Unable to find node \"HostProps\" with property \"" << (role ? "Role" : "Host")
                         << "\", host " << static_cast<unsigned long long>(host) << " of scenario "
                         << static_cast<unsigned long long>(scenario_id);
  });
}

// ---- object configurations

std::string scenario_conf_c::_scenario_name() {
  const char* name = xmc_item_c::attr_text(find_data(m_tree == nullptr ? nullptr : m_tree->root, "ScenarioName"), "val");
  return name == nullptr || name[0] == '\0' ? "UnKnown" : name;
}

uint64_t scenario_conf_c::object_conf_count() {
  thl_lock_c lock(m_object_confs_lock);
  return m_object_confs.count();
}

conf_c* scenario_conf_c::_get_generic_object(const xml_item_c* item) {
  const char* id_text = item == nullptr ? nullptr : xmc_item_c::attr_text(item, "id");
  int64_t id = 0;
  if (id_text == nullptr || !mix_n::parse_formatted_integer_string(id_text, id) || id <= 0 || id > UINT32_MAX) {
    return nullptr;
  }
  thl_lock_c lock(m_object_confs_lock);
  for (ptr_list_element_c* at = m_object_confs.list()->first_element(); at != nullptr; at = at->next) {
    conf_c* kept = static_cast<conf_c*>(at->data);
    if (kept->id() == static_cast<uint32_t>(id)) return kept;
  }
  conf_c* made = conf_object_registry_c::instance().create(static_cast<uint32_t>(id), item);
  if (made == nullptr) {
    ZQTR_SCOPE(tr, "scenario_conf_c::_get_generic_object", k_file);
    const char* label = xmc_item_c::attr_text(item, "label");
    tr.print(ZQTR_FAIL, __LINE__, "Fabric returned zero for object with id=%u in \"%s\", Scenario name %s\n",
             static_cast<uint32_t>(id), label == nullptr ? "" : label, _scenario_name().c_str());
    return nullptr;
  }
  made->set_id(static_cast<uint32_t>(id));
  m_object_confs.append(made);
  return made;
}

conf_c* scenario_conf_c::get_generic_object() {
  multi_reader_lock_c lock(m_scenario_lock);
  {
    thl_lock_c list_lock(m_object_confs_lock);
    for (ptr_list_element_c* at = m_object_confs.list()->first_element(); at != nullptr; at = at->next) {
      conf_c* kept = static_cast<conf_c*>(at->data);
      if (kept->id() == k_db_object_id) return kept;
    }
  }
  return _new_generic_object();
}

conf_c* scenario_conf_c::_new_generic_object() {
  ZQTR_SCOPE(tr, "scenario_conf_c::_new_generic_object", k_file);
  if (!_check_mixed_tree(nullptr)) return nullptr;
  xmc_item_c* root = m_tree->root;
  xmc_item_c* external = same_text(xmc_item_c::attr_text(root, "label"), "External") ? root : find_host_object(root, "External");
  const xml_item_c* content = nullptr;
  for (xml_item_c* child = external == nullptr ? nullptr : external->first_item(); child != nullptr && content == nullptr;
       child = child->next_item()) {
    if (same_text(xmc_item_c::attr_text(child, "id"), "6799")) content = child;
  }
  if (content == nullptr) {
    tr.print(ZQTR_DETAIL, __LINE__, "Unable to find object %s with ID=%u in \"%s\"\n", "External", k_db_object_id,
             _scenario_name().c_str());
    return nullptr;
  }
  conf_c* made = conf_object_registry_c::instance().create(k_db_object_id, content);
  if (made == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Fabric returned zero for object with id=%u in \"%s\", Scenario name %s\n",
             k_db_object_id, "External", _scenario_name().c_str());
    return nullptr;
  }
  made->set_id(k_db_object_id);
  thl_lock_c list_lock(m_object_confs_lock);
  // Another reader may have made it meanwhile: keep the first.
  for (ptr_list_element_c* at = m_object_confs.list()->first_element(); at != nullptr; at = at->next) {
    conf_c* kept = static_cast<conf_c*>(at->data);
    if (kept->id() == k_db_object_id) {
      delete made;
      return kept;
    }
  }
  m_object_confs.append(made);
  return made;
}

// ---- services

uint64_t scenario_conf_c::_build_services() {
  m_services.delete_all();
  xmc_item_c* root = m_tree == nullptr ? nullptr : m_tree->root;
  xmc_item_c* list = find_data(root, "ListMonitorServices");
  for (xml_item_c* child = list == nullptr ? nullptr : list->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* typed = xmc_item_c::cast(child);
    if (typed == nullptr || !typed->is_object() || !same_text(xmc_item_c::attr_text(typed, "label"), "MonitorService")) {
      continue;
    }
    const char* name = xmc_item_c::attr_text(find_data(typed, "ServiceName"), "val");
    if (name == nullptr || name[0] == '\0') continue;
    service_entry_s* entry = new service_entry_s;
    entry->name = name;
    uint32_t* slots[4] = {&entry->check_interval_s, &entry->start_timeout_s, &entry->stop_timeout_s, &entry->attempts};
    const char* labels[4] = {"CheckInterval", "StartTimeout", "StopTimeout", "Attempts"};
    for (size_t i = 0; i < 4; ++i) {
      uint64_t stated = 0;
      *slots[i] = data_number(typed, labels[i], stated) && stated <= UINT32_MAX ? static_cast<uint32_t>(stated)
                                                                                 : m_service_defaults[i];
    }
    m_services.append(entry);
  }
  return m_services.count();
}

std::vector<service_entry_s> scenario_conf_c::services() {
  multi_reader_lock_c lock(m_scenario_lock);
  std::vector<service_entry_s> out;
  for (ptr_list_element_c* at = m_services.list()->first_element(); at != nullptr; at = at->next) {
    out.push_back(*static_cast<service_entry_s*>(at->data));
  }
  return out;
}

// ---- virtual network mappings

const char* const vm_network_mapping_s::labels[FIELD_COUNT] = {
    "VirtualMachineUUID",        "VLANid",          "ChangeVLANid", "MasterVirtualNetworkName",
    "MasterVirtualNetworkUUID",  "ReplicaVirtualNetworkName",       "ReplicaVirtualNetworkUUID",
    "ApplySourceAdapterSetting", "UseDHCP",         "WinsPrimary",  "WinsSecondary",
    "IPs",                       "Subnets",         "Gateways",     "DNS",
    "MacAddress",                "CloudSecurityGroup",              "CloudPrivateIPAddr",
    "CloudPublicIPAddrAutoAssign", "CloudPublicIPAddr"};

vm_network_mapping_s::field_e vm_network_mapping_s::field_of(const char* label) {
  for (size_t i = 0; label != nullptr && i < FIELD_COUNT; ++i) {
    if (utl_n::ascii_compare_nocase(label, labels[i]) == 0) return static_cast<field_e>(i);
  }
  return FIELD_COUNT;
}

namespace {

// The first data item so labelled below start in document order, entering objects but never
// another host's ReplNode or an external object's content.
xmc_item_c* find_data_in_depth(xmc_item_c* start, const char* label) {
  for (xml_item_c* child = start->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* typed = xmc_item_c::cast(child);
    if (typed == nullptr || typed->is_external() || is_repl_node(typed)) continue;
    if (typed->is_data() && same_text(xmc_item_c::attr_text(typed, "label"), label)) return typed;
    xmc_item_c* below = find_data_in_depth(typed, label);
    if (below != nullptr) return below;
  }
  return nullptr;
}

}  // namespace

bool scenario_conf_c::get_hyper_v_vm_network_mapping_list(std::vector<vm_network_mapping_s>& out, bool switchover,
                                                          uint64_t host) {
  ZQTR_SCOPE(tr, "scenario_conf_c::get_hyper_v_vm_network_mapping_list", k_file);
  multi_reader_lock_c lock(m_scenario_lock);
  const char* location = switchover ? "ListVirtualNetworkMappingsSwitchover" : "ListVirtualNetworkMappings";
  tr.print(ZQTR_PROGRESS, __LINE__, "AR Testing switchover is %d, network mapping location is %s\n",
           switchover ? 1 : 0, location);
  if (!_check_mixed_tree(nullptr)) return false;
  xmc_item_c* list = nullptr;
  host_index_node_s* node = host == 0 ? nullptr : find_host(host, nullptr);
  if (node != nullptr && node->repl_node != nullptr) list = find_data_in_depth(node->repl_node, location);
  if (list == nullptr) list = find_data_in_depth(m_tree->root, location);
  if (list == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Failed to find Network Mapping list in scernario\n");
    return false;
  }
  for (xml_item_c* child = list->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* mapping = xmc_item_c::cast(child);
    if (mapping == nullptr || !mapping->is_object()) continue;
    const char* id_text = xmc_item_c::attr_text(mapping, "id");
    int64_t id = 0;
    if (id_text == nullptr || !mix_n::parse_formatted_integer_string(id_text, id)) {
      tr.print(ZQTR_FAIL, __LINE__, "Mapping has invalid ID\n");
      continue;
    }
    if (id != 4450) {
      tr.print(ZQTR_FAIL, __LINE__, "Unexpected ID %d\n", static_cast<int>(id));
      continue;
    }
    vm_network_mapping_s entry;
    for (xml_item_c* field_item = mapping->first_item(); field_item != nullptr; field_item = field_item->next_item()) {
      xmc_item_c* data = xmc_item_c::cast(field_item);
      const char* label = xmc_item_c::attr_text(data, "label");
      if (data == nullptr || !data->is_data()) {
        // Only data items carry a mapping's fields.
        tr.print(ZQTR_PROBLEM, __LINE__, "Invalid Lable [%s]. Ignored\n", label == nullptr ? "" : label);
        continue;
      }
      const char* val = xmc_item_c::attr_text(data, "val");
      if (label == nullptr || label[0] == '\0' || val == nullptr) {
        tr.print(ZQTR_PROBLEM, __LINE__, "Invalid lable or value for item\n");
        continue;
      }
      const vm_network_mapping_s::field_e field = vm_network_mapping_s::field_of(label);
      if (field == vm_network_mapping_s::FIELD_COUNT) {
        tr.print(ZQTR_PROBLEM, __LINE__, "Invalid label [%s]. Ignored\n", label);
        continue;
      }
      if (data->value_type() == TYPE_MULTI_ENTRY) {
        for (xml_item_c* e = data->first_item(); e != nullptr; e = e->next_item()) {
          const char* entry_val = xmc_item_c::attr_text(xmc_item_c::cast(e), "val");
          if (entry_val != nullptr) entry.entries[field].push_back(entry_val);
        }
      } else {
        entry.text[field] = val;
      }
    }
    out.push_back(std::move(entry));
  }
  return true;
}
