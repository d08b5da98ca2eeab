// The path language of a scenario configuration's fields: the short form the tables name
// ("Switchover.FromMasterPingIP") and the form a finding names ("Switchover.SendPing.FromMasterPingIP",
// "RootDir.Path" with its entry), both read and written through the same operations.
#include "xmc/scenario_conf.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "xml/xml_doc.h"
#include "xmc/number_ranges.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* k_file = "field_paths";

bool has_label(const xml_item_c* item, const std::string& label) {
  const char* own = xmc_item_c::attr_text(item, "label");
  return own != nullptr && label == own;
}

const char* host_text(uint64_t host, utl_stream_c& out) {
  if (host == scenario_conf_c::k_manager) return "Manager";
  if (host == host_index_tree_c::k_master) return "Master";
  out << "Replica #" << static_cast<unsigned long long>(host);
  return out.c_str();
}

bool is_repl_node(const xmc_item_c* item) { return item != nullptr && item->is_object() && has_label(item, "ReplNode"); }

// One label of a path, with the number of the match it takes (0 the first).
struct segment_s {
  std::string label;
  uint64_t nth = 0;
};

bool split(const char* path, std::vector<segment_s>& out) {
  if (path == nullptr || path[0] == '\0') return false;
  std::string text = path;
  size_t begin = 0;
  while (true) {
    const size_t dot = text.find('.', begin);
    std::string part = text.substr(begin, dot == std::string::npos ? std::string::npos : dot - begin);
    segment_s segment;
    const size_t hash = part.find('#');
    if (hash != std::string::npos) {
      const std::string digits = part.substr(hash + 1);
      if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
      segment.nth = std::stoull(digits);
      part.erase(hash);
    }
    if (part.empty()) return false;
    segment.label = part;
    out.push_back(segment);
    if (dot == std::string::npos) return true;
    begin = dot + 1;
  }
}

// The nth item below start (pre-order) that carries the label and is one of the kinds wanted; a
// walk that never enters external content or another host, and enters an object only when told.
xmc_item_c* nth_below(xmc_item_c* start, const segment_s& segment, bool objects_only, bool enter_objects) {
  uint64_t seen = 0;
  for (xml_item_c* at = start->first_item(); at != nullptr;) {
    xmc_item_c* item = xmc_item_c::cast(at);
    bool enter = item != nullptr && !item->is_external() && !is_repl_node(item);
    if (item != nullptr && (!objects_only || item->is_object()) && item->kind() != xmc_item_c::OTHER &&
        has_label(item, segment.label)) {
      if (seen++ == segment.nth) return item;
    }
    if (item != nullptr && item->is_object() && !enter_objects) enter = false;
    at = xmc_item_c::walk_next(at, start, enter);
  }
  return nullptr;
}

}  // namespace

bool scenario_conf_c::_find_path(xmc_item_c* start, const char* path, field_s& field) {
  field = field_s();
  std::vector<segment_s> segments;
  if (start == nullptr || !split(path, segments)) return false;
  // The first label names an object: the start itself, or one below it in depth.
  xmc_item_c* at = nullptr;
  if (segments[0].nth == 0 && start->is_object() && has_label(start, segments[0].label)) {
    at = start;
  } else {
    at = nth_below(start, segments[0], true, true);
  }
  if (at == nullptr) {
    // A path may also begin with a data item's own label (a finding outside any object).
    at = nth_below(start, segments[0], false, false);
    if (at == nullptr || !at->is_data()) return false;
  }
  for (size_t i = 1; i < segments.size(); ++i) {
    const bool last = i + 1 == segments.size();
    if (last && at->is_object() && segments[i].nth == 0 &&
        (segments[i].label == "status" || segments[i].label == "id")) {
      field.object = at;
      field.attribute = segments[i].label == "status" ? "status" : "id";
      return at->find_attr(field.attribute) != nullptr;
    }
    // Titles and data items down to the field, never through another object.
    at = nth_below(at, segments[i], false, false);
    if (at == nullptr) return false;
  }
  field.object = xmc_item_c::parent_object(at);
  if (at->is_data()) {
    field.item = at;
    field.attribute = "val";
    return at->find_attr("val") != nullptr;
  }
  // An object or a title: named, but no field.
  field.object = at;
  return true;
}

scenario_conf_c::path_named_e scenario_conf_c::_resolve_path(const char* path, uint64_t host, long& index,
                                                            field_s& field, utl_stream_c& why) {
  const bool scenario = host == 0;
  const data_table_entry_s* table = scenario ? scenario_data_table : host_data_table;
  const size_t count = scenario ? k_scenario_data_count : k_host_data_count;
  field = field_s();
  index = conf_tables_n::index_of_path(table, count, path);
  if (index >= 0) return NAMES_TABLE_FIELD;
  xmc_item_c* start = m_tree->root;
  if (!scenario && host != k_manager) {
    host_index_node_s* node = find_host(host, &why);
    if (node == nullptr) return NAMES_NO_HOST;
    start = node->repl_node;
  }
  if (!_find_path(start, path, field)) {
    why << '\x01' << "Unable to find field \"" << (path == nullptr ? "" : path) << "\"";
    if (!scenario) {
      utl_stream_c who;
      why << ", host " << host_text(host, who);
    }
    return NAMES_NOTHING;
  }
  if (field.attribute == nullptr) {
    why << '\x01' << "\"" << path << "\" names an object, not a field";
    return NAMES_OBJECT;
  }
  // The item of a table field is read and written as the table has it (fixed fields, the manager).
  for (size_t i = 0; i < count; ++i) {
    field_s entry_field;
    xmc_item_c* entry_start = start;
    if (!scenario && _host_start(table[i], host, entry_start) != HOST_FOUND) continue;
    if (_find_field(entry_start, table[i], entry_field) && entry_field.item == field.item &&
        entry_field.object == field.object && std::strcmp(entry_field.attribute, field.attribute) == 0) {
      index = static_cast<long>(i);
      return NAMES_TABLE_FIELD;
    }
  }
  if (host == k_manager) {
    why << '\x01' << "Field \"" << path << "\" is irrelevant for Manager Data";
    return NAMES_OBJECT;
  }
  return NAMES_ITEM;
}

xmc_value_c& scenario_conf_c::get_data_by_path(const char* path, uint64_t host, xmc_value_c& value) {
  long index = -1;
  {
    multi_reader_lock_c lock(m_scenario_lock);
    value.reset();
    if (!_check_mixed_tree(&value)) return value;
    field_s field;
    utl_stream_c why;
    switch (_resolve_path(path, host, index, field, why)) {
      case NAMES_TABLE_FIELD: break;
      case NAMES_ITEM:
        _read_field(field, value);
        return value;
      default:
        value.set_lookup_status(1);
        value.error_stream() << '\x01' << why;
        return value;
    }
  }
  return host == 0 ? get_scenario_data(static_cast<uint32_t>(index), value)
                   : get_host_data(static_cast<uint32_t>(index), host, value);
}

bool scenario_conf_c::set_data_by_path(const char* path, uint64_t host, xmc_value_c& value, bool force) {
  ZQTR_SCOPE(tr, "scenario_conf_c::set_data_by_path", k_file);
  long index = -1;
  {
    single_writer_lock_c lock(m_scenario_lock);
    if (!lock.held() || !_check_mixed_tree(nullptr)) return false;
    field_s field;
    utl_stream_c why;
    switch (_resolve_path(path, host, index, field, why)) {
      case NAMES_TABLE_FIELD: break;
      case NAMES_ITEM: {
        // A host's number is written only as its host's field, where it is checked against the
        // other hosts' (the scenario's path to the master's Index would skip that).
        const number_range_s* range = number_ranges_n::of_item(field.item);
        if (range != nullptr && std::strcmp(range->label, "Index") == 0) {
          tr.print(ZQTR_FAIL, __LINE__, "Unable to set \"%s\", a host's Index is written as CommonHostProps.Index of its host\n",
                   path);
          return false;
        }
        // An item no table names: written as the item it is.
        if (field.item != nullptr && field.item->value_type() == TYPE_MULTI_ENTRY) {
          if (!_recive_array_chars(field.item, value, false)) return false;
        } else {
          const std::string text = value.as_string();
          if (!xml_document_c::is_storable_text(text.c_str())) {
            tr.print(ZQTR_FAIL, __LINE__, "Unable to set \"%s\", the text holds a byte 0xFF or a line end\n", path);
            return false;
          }
          const bool fits = field.item != nullptr
                                ? xmc_enum_c::data_fits_type(text.c_str(), field.item->value_type(),
                                                             field.item->enum_index(), field.item)
                                : xmc_enum_c::data_fits_type(
                                      text.c_str(), std::strcmp(field.attribute, "status") == 0 ? TYPE_BOOL : TYPE_NUMBER,
                                      ENUM_NONE, nullptr);
          if (!fits) {
            tr.print(ZQTR_FAIL, __LINE__, "Unable to set \"%s\" = \"%s\", type doesn't fit\n", path, text.c_str());
            return false;
          }
          if (!_number_in_range(number_ranges_n::of_item(field.item), text.c_str(), tr)) return false;
          (field.item != nullptr ? field.item : field.object)->set_attr(field.attribute, text.c_str());
        }
        // What the configuration read from its items follows them.
        _read_basics();
        _build_root_dirs();
        return true;
      }
      default:
        tr.print(ZQTR_FAIL, __LINE__, "%s\n", why.c_str());
        return false;
    }
  }
  // Host fields are never fixed.
  return host == 0 ? set_scenario_data(static_cast<uint32_t>(index), value, force)
                   : set_host_data(static_cast<uint32_t>(index), host, value);
}

bool scenario_conf_c::set_scenario_data_by_path(const char* path, xmc_value_c& value, bool force) {
  long index = -1;
  {
    multi_reader_lock_c lock(m_scenario_lock);
    field_s field;
    utl_stream_c why;
    if (!_check_mixed_tree(nullptr) || _resolve_path(path, 0, index, field, why) != NAMES_TABLE_FIELD) return false;
  }
  return set_scenario_data(static_cast<uint32_t>(index), value, force);
}

xmc_value_c& scenario_conf_c::get_host_data_by_path(const char* path, uint64_t host, xmc_value_c& value) {
  long index = -1;
  {
    multi_reader_lock_c lock(m_scenario_lock);
    value.reset();
    if (!_check_mixed_tree(&value)) return value;
    field_s field;
    utl_stream_c why;
    const path_named_e named = _resolve_path(path, host == 0 ? host_index_tree_c::k_master : host, index, field, why);
    if (named != NAMES_TABLE_FIELD) {
      // The table form only: any other path is no node with that property, unless the host is missing.
      value.set_lookup_status(1);
      if (named == NAMES_NO_HOST) {
        value.error_stream() << '\x01' << why;
      } else {
        value.error_stream() << '\x01' << "Unable to find node with property " << (path == nullptr ? "" : path);
      }
      return value;
    }
  }
  return get_host_data(static_cast<uint32_t>(index), host, value);
}

bool scenario_conf_c::_number_in_range(const number_range_s* range, const char* text, zqtr_entry_c& tr) {
  if (range == nullptr || number_ranges_n::fits(*range, text)) return true;
  char rule[128];
  tr.print(ZQTR_FAIL, __LINE__, "Unable to set \"%s.%s\" = \"%s\", %s\n", range->object, range->label, text,
           number_ranges_n::rule(*range, rule, sizeof rule));
  return false;
}
