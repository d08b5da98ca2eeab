// A scenario configuration's fields by table index: scenario, host and group fields read and
// written, lists taken entry by entry, and a value checked against its field's type before it is
// written.
#include "xmc/scenario_conf.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "xmc/number_ranges.h"
#include "xmc/scenario_items.h"

#include <cstring>
#include <string>

using scenario_items_n::find_host_object;
using scenario_items_n::same_text;

namespace {

const char* k_file = "scenario_conf";

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
