#include "xmc/xmc_conf.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "utl/message.h"
#include "utl/utl.h"
#include "xmc/conf_tables.h"

#include <cstdio>
#include <cstring>

namespace {

const char* k_file = "xmc_conf";

bool same(const char* a, const char* b) { return a != nullptr && b != nullptr && std::strcmp(a, b) == 0; }

// A label's text, or the item's name when it has none.
const char* label_or_name(const xml_item_c* item) {
  const char* label = xmc_item_c::attr_text(item, "label");
  if (label != nullptr) return label;
  return item->name() == nullptr ? "" : item->name();
}

const char* const k_data_attributes[] = {"label",   "val",     "type",   "mandatory", "prompted", "check_kids_if_val",
                                         "check_if", "minimum", "maximum", "to_keep",  "is_equal"};
constexpr size_t k_data_attribute_count = sizeof k_data_attributes / sizeof k_data_attributes[0];

// The position of an attribute name among the data attributes (the table's count for none); only
// the entries that begin with its first byte are compared.
size_t data_attribute_of(const char* name) {
  for (size_t k = 0; k < k_data_attribute_count; ++k) {
    if (k_data_attributes[k][0] == name[0] && utl_n::same_text(name, k_data_attributes[k])) return k;
  }
  return k_data_attribute_count;
}

// Appends the message store's text of id (the lookup itself empties what it writes to).
void append_message(const char* id, utl_stream_c& out) {
  utl_stream_c text;
  message_store_c::_find_message(id, text);
  out << text;
}

}  // namespace

const char* ch_data_s::to_text(utl_stream_c& out) const {
  if (host == 0) {
    append_message("IG01373", out);
  } else if (host == 1) {
    append_message("IG00221", out);
  } else {
    append_message("IG00222", out);
    out << " #" << static_cast<unsigned long long>(host);
  }
  out << ", ";
  if (entry != k_no_entry) {
    append_message("IG01374", out);
    out << " #" << static_cast<unsigned long long>(entry) << ", ";
  }
  out << path;
  if (value.length() > 0) out << "=>" << value;
  out << ", ";
  if (code == 36) {
    out << text;
  } else {
    char id[24];
    std::snprintf(id, sizeof id, "CV0%d", static_cast<int>(1348 + code));
    append_message(id, out);
  }
  out << '\n';
  return out.c_str();
}

xmc_validity_c::~xmc_validity_c() { m_findings.delete_all(); }

ch_data_s* xmc_validity_c::add(ch_data_s* finding) {
  if (finding != nullptr) m_findings.append(finding);
  return finding;
}

ch_data_s* xmc_validity_c::add(uint64_t host, uint64_t entry, uint32_t code, const char* path, const char* value,
                               const char* text) {
  ch_data_s* finding = new ch_data_s;
  finding->host = host;
  finding->entry = entry;
  finding->code = code;
  if (path != nullptr) finding->path << path;
  if (value != nullptr) finding->value << value;
  if (text != nullptr) finding->text << text;
  return add(finding);
}

ch_data_s* xmc_validity_c::at(uint64_t index) {
  uint64_t i = 0;
  for (ch_data_s* finding = m_findings.first(); finding != nullptr; finding = m_findings.next(finding), ++i) {
    if (i == index) return finding;
  }
  return nullptr;
}

const char* xmc_validity_c::to_text(utl_stream_c& out, uint64_t first, const char* separator) {
  uint64_t i = 0;
  for (ch_data_s* finding = m_findings.first(); finding != nullptr; finding = m_findings.next(finding), ++i) {
    if (i < first) continue;
    finding->to_text(out);
    out << (separator == nullptr ? "" : separator);
  }
  return out.c_str();
}

xmc_conf_c::xmc_conf_c(uint32_t id) : conf_c(id), m_tree(new mixed_xmc_xml_tree_c) {}

xmc_conf_c::~xmc_conf_c() { delete m_tree; }

const char* xmc_conf_c::item_path(const xml_item_c* item, utl_stream_c& out) const {
  bool first = true;
  for (const generic_node_c* n = item; n != nullptr; n = n->parent) {
    const xml_item_c* at = static_cast<const xml_item_c*>(n);
    const char* label = xmc_item_c::attr_text(at, "label");
    if (!first) out << " => ";
    out << (at->name() == nullptr ? "" : at->name()) << "." << (label == nullptr ? "" : label);
    first = false;
  }
  return out.c_str();
}

void xmc_conf_c::new_tree() {
  delete m_tree;
  m_tree = new mixed_xmc_xml_tree_c;
}

bool xmc_conf_c::same_configuration(const xmc_conf_c& other) const {
  if (this == &other) return true;
  return id() == other.id() && m_tree->is_equal(*other.m_tree);
}

bool xmc_conf_c::_check_data_content(xmc_validity_c* validity, const xmc_item_c* item, bool strict,
                                     data_content_s& found) const {
  ZQTR_SCOPE_ON_DEMAND(tr, "xmc_conf_c::_check_data_content", k_file);
  (void)strict;
  found = data_content_s();
  if (item == nullptr) return false;
  utl_stream_c path{utl_stream_c::NO_BUFFER};  // made only for a message
  auto item_path_text = [&]() -> const char* {
    if (path.length() == 0) item_path(item, path);
    return path.c_str();
  };
  if (item->attr_count() == 0) {
    if (validity != nullptr) {
      _add_finding(validity, item, 0, nullptr);
    } else {
      tr().print(ZQTR_FAIL, __LINE__, "Empty data item \"%s\"\n", item_path_text());
    }
    return false;
  }
  bool ok = true;
  bool seen[k_data_attribute_count] = {};
  for (size_t i = 0; i < item->attr_count(); ++i) {
    labeled_value_c* attribute = item->get_attr(i);
    const char* name = attribute->label() == nullptr ? "" : attribute->label();
    const char* value = attribute->as_string();
    if (value[0] == '\0' && std::strcmp(name, "val") != 0) {
      ok = false;
      if (validity != nullptr) {
        _add_finding(validity, item, 5, name);
      } else {
        tr().print(ZQTR_FAIL, __LINE__, "Empty attribute \"%s\" of data item \"%s\"\n", name, item_path_text());
      }
    }
    const size_t known = data_attribute_of(name);
    if (known == k_data_attribute_count || seen[known]) {
      ok = false;
      if (validity != nullptr) {
        _add_finding(validity, item, 6, name);
      } else {
        tr().print(ZQTR_FAIL, __LINE__, "Superfluous attribute \"%s = %s\" of data item \"%s\"\n", name, value,
                 item_path_text());
      }
      continue;
    }
    seen[known] = true;
    switch (known) {
      case 0: found.label = value; break;
      case 1: found.val = value; break;
      case 3: found.mandatory = std::strcmp(value, mix_n::True) == 0; break;
      case 4: found.prompted = std::strcmp(value, mix_n::True) == 0; break;
      case 5: found.check_kids_if_val = value; break;
      case 6: found.has_check_if = true; break;
      case 7:
      case 8: found.has_min_max = true; break;
      default: break;
    }
  }
  struct missing_s {
    size_t attribute;
    uint32_t code;
    const char* message;
  };
  static const missing_s k_missing[] = {{0, 9, "Unnamed data item \"%s\"\n"},
                                        {1, 10, "Data item missing value \"%s\"\n"},
                                        {2, 11, "Data item missing type \"%s\"\n"}};
  for (const missing_s& m : k_missing) {
    if (seen[m.attribute]) continue;
    ok = false;
    if (validity != nullptr) {
      _add_finding(validity, item, m.code, nullptr);
    } else {
      tr().print(ZQTR_FAIL, __LINE__, m.message, item_path_text());
    }
  }
  return ok;
}

const char* xmc_conf_c::_check_object_content_get_name(const xmc_item_c* item, xmc_validity_c* validity, uint32_t& id,
                                                       bool& ok) const {
  ZQTR_SCOPE_ON_DEMAND(tr, "xmc_conf_c::_check_object_content_get_name", k_file);
  id = 0;
  if (item == nullptr) {
    ok = false;
    return nullptr;
  }
  utl_stream_c path{utl_stream_c::NO_BUFFER};  // made only for a message
  auto report = [&](uint32_t code, const char* value, const char* message) {
    ok = false;
    if (validity != nullptr) {
      _add_finding(validity, item, code, value);
      return;
    }
    if (path.length() == 0) item_path(item, path);
    tr().print(ZQTR_FAIL, __LINE__, message, value == nullptr ? "" : value, path.c_str());
  };
  if (item->attr_count() == 0) {
    report(0, nullptr, "Empty object item%s \"%s\"\n");
    return nullptr;
  }
  const char* label = nullptr;
  bool has_id = false;
  for (size_t i = 0; i < item->attr_count(); ++i) {
    labeled_value_c* attribute = item->get_attr(i);
    const char* name = attribute->label() == nullptr ? "" : attribute->label();
    const char* value = attribute->as_string();
    if (value[0] == '\0') report(5, name, "Empty attribute \"%s\" of object item \"%s\"\n");
    if (std::strcmp(name, "label") == 0) {
      label = value;
    } else if (std::strcmp(name, "id") == 0) {
      int64_t n = 0;
      if (mix_n::parse_formatted_integer_string(value, n) && n >= 0 && n <= 0xFFFFFFFFLL) {
        id = static_cast<uint32_t>(n);
      }
      has_id = true;
    } else if (std::strcmp(name, "status") != 0 && std::strcmp(name, "prompted") != 0 &&
               std::strcmp(name, "to_keep") != 0 && std::strcmp(name, "external") != 0) {
      report(6, name, "Superfluous attribute \"%s\" of object item \"%s\"\n");
    }
  }
  // Codes 7 and 8 are for attributes that are absent; an empty one was reported above.
  if (label == nullptr) {
    report(7, nullptr, "Unnamed object item%s \"%s\"\n");
  } else if (!has_id) {
    report(8, nullptr, "Object item without id%s \"%s\"\n");
  }
  return label;
}

uint64_t xmc_conf_c::host_of_item(const xml_item_c* item) {
  for (const generic_node_c* n = item; n != nullptr; n = n->parent) {
    const xmc_item_c* typed = xmc_item_c::cast(const_cast<generic_node_c*>(n));
    if (typed == nullptr || !typed->is_object() || !same(xmc_item_c::attr_text(typed, "label"), "ReplNode")) continue;
    for (xml_item_c* child = typed->first_item(); child != nullptr; child = child->next_item()) {
      const xmc_item_c* props = xmc_item_c::cast(child);
      if (props == nullptr || !props->is_object() || !same(xmc_item_c::attr_text(props, "label"), "CommonHostProps")) {
        continue;
      }
      const char* index = xmc_item_c::attr_text(find_data(props, "Index"), "val");
      int64_t n = 0;
      if (index != nullptr && mix_n::parse_formatted_integer_string(index, n) && n > 0) return static_cast<uint64_t>(n);
      return 0;
    }
    return 0;
  }
  return 0;
}

uint64_t xmc_conf_c::entry_of_item(const xml_item_c* item) {
  for (const generic_node_c* n = item; n != nullptr; n = n->parent) {
    const xmc_item_c* typed = xmc_item_c::cast(const_cast<generic_node_c*>(n));
    if (typed == nullptr || !typed->is_object() || !same(xmc_item_c::attr_text(typed, "label"), "RootDir")) continue;
    if (typed->parent == nullptr) return 0;
    uint64_t position = 0;
    for (generic_node_c* sibling = typed->parent->first_child; sibling != typed; sibling = sibling->next) {
      const xmc_item_c* other = xmc_item_c::cast(sibling);
      if (other != nullptr && other->is_object() && same(xmc_item_c::attr_text(other, "label"), "RootDir")) {
        ++position;
      }
    }
    return position;
  }
  return ch_data_s::k_no_entry;
}

const char* xmc_conf_c::field_path(const xml_item_c* item, utl_stream_c& out) {
  if (item == nullptr) return out.c_str();
  // The chain up to (and with) the nearest enclosing object, written top down.
  const xml_item_c* chain[64];
  size_t n = 0;
  for (const generic_node_c* p = item; p != nullptr && n < 64; p = p->parent) {
    const xml_item_c* at = static_cast<const xml_item_c*>(p);
    chain[n++] = at;
    const xmc_item_c* typed = xmc_item_c::cast(const_cast<generic_node_c*>(p));
    if (p != item && typed != nullptr && typed->is_object()) break;
  }
  // Titles only group: the path names the object and the data items.
  bool first = true;
  for (size_t i = n; i > 0; --i) {
    const xmc_item_c* typed = xmc_item_c::cast(const_cast<xml_item_c*>(chain[i - 1]));
    if (typed != nullptr && typed->kind() == xmc_item_c::TITLE) continue;
    if (!first) out << ".";
    out << label_or_name(chain[i - 1]);
    first = false;
  }
  return out.c_str();
}

xmc_item_c* xmc_conf_c::find_data(const xml_item_c* start, const char* label) {
  if (start == nullptr || label == nullptr) return nullptr;
  for (xml_item_c* child = start->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* typed = xmc_item_c::cast(child);
    if (typed == nullptr || typed->is_object()) continue;
    if (typed->is_data() && same(xmc_item_c::attr_text(typed, "label"), label)) return typed;
    xmc_item_c* below = find_data(typed, label);
    if (below != nullptr) return below;
  }
  return nullptr;
}

xmc_item_c* xmc_conf_c::find_object(const xml_item_c* start, const char* label) {
  if (start == nullptr || label == nullptr) return nullptr;
  for (xml_item_c* child = start->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* typed = xmc_item_c::cast(child);
    if (typed == nullptr || typed->is_data()) continue;
    if (typed->is_object() && same(xmc_item_c::attr_text(typed, "label"), label)) return typed;
    if (typed->is_external()) continue;
    xmc_item_c* below = find_object(typed, label);
    if (below != nullptr) return below;
  }
  return nullptr;
}

ch_data_s* xmc_conf_c::_add_finding(xmc_validity_c* validity, const xml_item_c* item, uint32_t code,
                                    const char* value) const {
  if (validity == nullptr) return nullptr;
  utl_stream_c path;
  field_path(item, path);
  return validity->add(_host_of_item(item), entry_of_item(item), code, path.c_str(), value);
}

ch_data_s* xmc_conf_c::_add_scenario_finding(xmc_validity_c* validity, uint32_t index, uint32_t code,
                                             const char* value) const {
  if (validity == nullptr || index >= k_scenario_data_count) return nullptr;
  const data_table_entry_s& entry = scenario_data_table[index];
  // The field's item, searched under its owning object, gives the path an item finding has; a
  // field the tree lacks is named as the table names it.
  const char* owner = object_tag_table[entry.object_tag].label;
  const xmc_item_c* root = m_tree->root;
  const xmc_item_c* object = root != nullptr && std::strcmp(xmc_item_c::attr_text(root, "label") == nullptr
                                                                ? ""
                                                                : xmc_item_c::attr_text(root, "label"),
                                                            owner) == 0
                                 ? root
                                 : find_object(root, owner);
  const xml_item_c* field = std::strcmp(entry.label, "status") == 0 ? nullptr : find_data(object, entry.label);
  utl_stream_c path;
  if (field != nullptr) {
    field_path(field, path);
  } else {
    path << owner << "." << entry.label;
  }
  return validity->add(0, ch_data_s::k_no_entry, code, path.c_str(), value);
}

ch_data_s* xmc_conf_c::_add_host_finding(xmc_validity_c* validity, uint32_t index, uint64_t host, uint32_t code,
                                         const char* value) const {
  if (validity == nullptr || index >= k_host_data_count) return nullptr;
  const data_table_entry_s& entry = host_data_table[index];
  utl_stream_c path;
  path << object_tag_table[entry.object_tag].label << "." << entry.label;
  return validity->add(host, ch_data_s::k_no_entry, code, path.c_str(), value);
}

ch_data_s* xmc_conf_c::_add_path_finding(xmc_validity_c* validity, uint64_t host, uint64_t entry, uint32_t code,
                                         const char* path, const char* value, const char* text) const {
  if (validity == nullptr) return nullptr;
  return validity->add(host, entry, code, path, value, text);
}
