#include "xmc/generic_conf.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "utl/utl.h"
#include "xmc/generic_template.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <string>
#include <vector>

generic_conf_c* generic_conf_instance = nullptr;

namespace {

const char* k_file = "generic_conf";
const char* k_tag_table = "object_tag_table";

bool same(const char* a, const char* b) { return a != nullptr && b != nullptr && utl_n::same_text(a, b); }

bool is_named(const xml_item_c* item, const char* name) { return item != nullptr && same(item->name(), name); }

uint32_t unsigned_of(const char* text) {
  int64_t n = 0;
  if (text == nullptr || !mix_n::parse_formatted_integer_string(text, n) || n < 0 || n > 0xFFFFFFFFLL) return 0;
  return static_cast<uint32_t>(n);
}

// The positions of a tag table's labelled entries sorted by label (equal labels by position): equal
// labels stand next to each other, and a label is found by a binary search instead of a walk over
// the whole table for each of the template's objects.
class tags_by_label_c {
 public:
  tags_by_label_c(const object_tag_s* table, size_t count) : m_table(table) {
    m_order.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      if (table[i].label != nullptr) m_order.push_back(static_cast<uint32_t>(i));
    }
    std::sort(m_order.begin(), m_order.end(), [table](uint32_t a, uint32_t b) {
      const int order = std::strcmp(table[a].label, table[b].label);
      return order != 0 ? order < 0 : a < b;
    });
  }
  // Every pair of entries with the same label, ordered by their first position, then their second.
  std::vector<std::pair<uint32_t, uint32_t>> same_labels() const {
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    for (size_t first = 0; first < m_order.size();) {
      size_t end = first + 1;
      while (end < m_order.size() && same(m_table[m_order[first]].label, m_table[m_order[end]].label)) ++end;
      for (size_t i = first; i < end; ++i) {
        for (size_t j = i + 1; j < end; ++j) pairs.emplace_back(m_order[i], m_order[j]);
      }
      first = end;
    }
    std::sort(pairs.begin(), pairs.end());
    return pairs;
  }
  // The first position of label in the table; -1 for none or null.
  long find(const char* label) const {
    if (label == nullptr) return -1;
    auto at = std::lower_bound(m_order.begin(), m_order.end(), label,
                               [this](uint32_t entry, const char* text) { return std::strcmp(m_table[entry].label, text) < 0; });
    return at != m_order.end() && same(m_table[*at].label, label) ? static_cast<long>(*at) : -1;
  }

 private:
  const object_tag_s* m_table;
  std::vector<uint32_t> m_order;
};

bool is_inside(const generic_node_c* node, const generic_node_c* ancestor) {
  for (; node != nullptr; node = node->parent) {
    if (node == ancestor) return true;
  }
  return false;
}

// The texts of the enumerations the defaults refer to ("" for an index past the last item).
struct defaults_s {
  const char* product;
  const char* application;
  bool assured_recovery;
};

bool case_applies(const char* variable, const char* value, const defaults_s& d) {
  if (same(variable, "Application")) return same(value, d.application);
  if (same(variable, "Product")) return same(value, d.product);
  if (same(variable, "AssuredRecovery")) {
    return d.assured_recovery ? same(value, mix_n::True) : same(value, mix_n::False);
  }
  return false;
}

bool marker_matches(const char* label, const char* value, const defaults_s& d) {
  // An application matches anywhere in the list ("HyperV, FullSystem"), and no application (the
  // empty text) matches every list.
  if (same(label, "Application")) return std::strstr(value, d.application) != nullptr;
  return case_applies(label, value, d);
}

}  // namespace

generic_conf_c::generic_conf_c() = default;

generic_conf_c::~generic_conf_c() = default;

generic_conf_c* generic_conf_c::build(const char* template_text) {
  ZQTR_SCOPE(tr, "generic_conf_builder_c::generic_conf_builder_c", k_file);
  generic_conf_c* conf = nullptr;
  bool built = false;
  try {
    conf = new generic_conf_c;
    built = conf->_fill_content(template_text);
  } catch (...) {
    // Loading the library goes on without a configurator, whatever stopped it (memory).
    built = false;
  }
  if (built) {
    tr.print(ZQTR_PROGRESS, __LINE__, "O.K. Generic Coonfigurator is successfully built up\n");
    return conf;
  }
  tr.print(ZQTR_FAIL, __LINE__, "Fatal error, unable to create instance of Generic Coonfigurator\n");
  delete conf;
  return nullptr;
}

bool generic_conf_c::_fill_content(const char* template_text) {
  ZQTR_SCOPE(tr, "generic_conf_c::_fill_content", k_file);
  new_tree();
  // The host tree pointed into the old tree.
  m_host_tree->remove_all_but_root();
  m_objects = m_enums = m_scenario = m_group = m_scenario_info = nullptr;
  m_xmc_version = m_group_version = 0;
  // The embedded template is read where it stands, without a copy. The template's items and their thousands of attributes are made in the configurator's own
  // arena (edits afterwards take from the heap); a second fill leaves the first one's there until
  // the configurator goes.
  m_tree->read_into(&template_arena);
  const bool loaded = m_tree->load_from_str(template_text != nullptr ? template_text : generic_template_text);
  m_tree->read_into(nullptr);
  if (!loaded || m_tree->root == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to load generic xml file\n");
    return false;
  }
  xmc_item_c* root = m_tree->root;
  auto remember = [&](xmc_item_c*& slot, xmc_item_c* item, const char* what) {
    if (slot == nullptr) {
      slot = item;
    } else {
      tr.print(ZQTR_FAIL, __LINE__, "Found superfluous XMC entry for %s\n", what);
    }
  };
  auto read_version = [&](uint32_t& slot, xmc_item_c* item, const char* what) {
    if (slot != 0) {
      tr.print(ZQTR_FAIL, __LINE__, "Found superfluous XMC entry for %s\n", what);
      return;
    }
    const char* val = xmc_item_c::attr_text(item, "val");
    if (val == nullptr) {
      tr.print(ZQTR_FAIL, __LINE__, "Found invalid XMC entry for %s\n", what);
      return;
    }
    slot = unsigned_of(val);
  };
  for (xml_item_c* at = root->first_item(); at != nullptr; at = xmc_item_c::walk_next(at, root, xmc_item_c::enters(at))) {
    xmc_item_c* item = xmc_item_c::cast(at);
    if (item == nullptr) continue;
    const char* label = xmc_item_c::attr_text(item, "label");
    if (is_named(item, "definitions") || is_named(item, "commnent")) continue;
    if (is_named(item, "objects")) {
      remember(m_objects, item, "objects");
    } else if (is_named(item, "enums")) {
      remember(m_enums, item, "enums");
    } else if (same(label, "Scenario")) {
      remember(m_scenario, item, "Scenario");
    } else if (same(label, "Group")) {
      remember(m_group, item, "Group");
    } else if (same(label, "XMC_VersionNumber")) {
      read_version(m_xmc_version, item, "XMC_VersionNumber");
    } else if (same(label, "Group_VersionNumber")) {
      read_version(m_group_version, item, "Group_VersionNumber");
    } else if (same(label, "ScenarioInfo")) {
      remember(m_scenario_info, item, "ScenarioInfo");
    } else if (item->attr_count() == 0) {
      tr.print(ZQTR_FAIL, __LINE__, "Found empty XMC entry %s\n", item->name() == nullptr ? "" : item->name());
    }
  }
  if (m_objects == nullptr) tr.print(ZQTR_FAIL, __LINE__, "\nSource file doesn't include \"objects\" entry\n");
  if (m_enums == nullptr) tr.print(ZQTR_FAIL, __LINE__, "\nSource file doesn't include \"enums\" entry\n");
  const struct {
    const xmc_item_c* item;
    const char* name;
  } wanted[] = {{m_scenario, "Scenario"}, {m_group, "Group"}, {m_scenario_info, "ScenarioInfo"}};
  for (const auto& w : wanted) {
    if (w.item == nullptr) tr.print(ZQTR_FAIL, __LINE__, "\nSource file doesn't include \"%s\" entry\n", w.name);
  }
  if (m_xmc_version == 0) {
    tr.print(ZQTR_FAIL, __LINE__, "\nSource file doesn't include \"%s\" entry\n", "XMC_VersionNumber");
  }
  if (m_enums == nullptr) return false;
  if (!_check_array_enums()) return false;
  if (!_check_tables_consistentcy()) return false;

  if (_build_host_tree(m_scenario) < 2) {
    tr.print(ZQTR_FAIL, __LINE__, "\nUnable to find nodes \"%s\" in generic xml file having prop. \"%s\"\n\n", "ReplNode",
             "Index");
  } else {
    _build_root_dirs();
    xmc_validity_c validity;
    if (_check_root_dirs(validity)) return true;
    utl_stream_c findings;
    validity.to_text(findings, 0, "\n");
    tr.print(ZQTR_FAIL, __LINE__, "%s\n", findings.c_str());
  }
  tr.print(ZQTR_FAIL, __LINE__, "\nContent of generic xml file is found to be inconsistent\n\n");
  return false;
}

bool generic_conf_c::_check_root_dirs(xmc_validity_c& validity) {
  // The template's root directories have no paths yet: only their number, ids and kinds are checked.
  return _check_array_root_dirs(&validity, false);
}

bool generic_conf_c::_check_array_enums() {
  ZQTR_SCOPE(tr, "generic_conf_c::_check_array_enums", k_file);
  if (m_enums == nullptr) return false;
  bool ok = true;
  unsigned long number = 0;
  for (xml_item_c* child = m_enums->first_item(); child != nullptr; child = child->next_item(), ++number) {
    const char* label = xmc_item_c::attr_text(child, "label");
    const char* val = xmc_item_c::attr_text(child, "val");
    if (label == nullptr || label[0] == '\0') {
      tr.print(ZQTR_FAIL, __LINE__, "Found unnamed enumerator #%lu\n", number);
      ok = false;
    } else if (val == nullptr || val[0] == '\0') {
      tr.print(ZQTR_FAIL, __LINE__, "Enumerator #%lu \"%s\" misses list items\n", number, label);
      ok = false;
    }
    const char* name = label == nullptr ? "" : label;
    const uint32_t index = xmc_enum_c::enum_index(name);
    if (index == ENUM_NONE) {
      tr.print(ZQTR_FAIL, __LINE__, "Enumerator #%lu \"%s\" is undefined in the code\n", number, name);
      ok = false;
      continue;
    }
    if (val == nullptr) val = "";
    std::vector<std::string> tokens;
    std::string token;
    for (const char* p = val;; ++p) {
      if (*p == '\0' || *p == ',' || *p == ' ' || *p == '\t') {
        if (!token.empty()) tokens.push_back(token);
        token.clear();
        if (*p == '\0') break;
      } else {
        token += *p;
      }
    }
    const unsigned long expected = xmc_enum_c::item_count(index);
    if (tokens.size() != expected) {
      tr.print(ZQTR_FAIL, __LINE__, "Enumerator #%lu \"%s\" has different number items (%lu) from the code (%lu)\n",
               number, label, static_cast<unsigned long>(tokens.size()), expected);
      ok = false;
    }
    for (size_t i = 0; i < tokens.size(); ++i) {
      const long position = xmc_enum_c::position_of(index, tokens[i].c_str());
      if (position < 0) {
        tr.print(ZQTR_FAIL, __LINE__, "Item %s of enumerator #%lu \"%s\" is undefined in the code\n", tokens[i].c_str(),
                 number, label);
        ok = false;
      } else if (static_cast<size_t>(position) != i) {
        tr.print(ZQTR_FAIL, __LINE__, "Item %s of enumerator #%lu \"%s\" has wrong position %lu, in the code is %lu\n",
                 tokens[i].c_str(), number, label, static_cast<unsigned long>(i), static_cast<unsigned long>(position));
        ok = false;
      }
    }
  }
  if (number != xmc_enum_c::k_count) {
    tr.print(ZQTR_FAIL, __LINE__, "Set of enumerator has different number items (%lu) from those in the code (%u)\n",
             number, static_cast<unsigned>(xmc_enum_c::k_count));
  }
  return ok;
}

bool generic_conf_c::_check_tables_consistentcy() {
  ZQTR_SCOPE(tr, "generic_conf_c::_check_tables_consistentcy", k_file);
  const bool tags_ok = _check_object_tag_table();
  const bool tables_ok = _check_scen_data_tables();
  bool data_ok = true;
  xmc_item_c* root = m_tree->root;
  if (root == nullptr) return false;
  for (xml_item_c* at = root->first_item(); at != nullptr; at = xmc_item_c::walk_next(at, root, xmc_item_c::enters(at))) {
    const xmc_item_c* item = xmc_item_c::cast(at);
    if (item == nullptr || !item->is_data()) continue;
    data_content_s found;
    if (!_check_data_content(nullptr, item, true, found) || found.label == nullptr || found.label[0] == '\0') {
      data_ok = false;
    }
  }
  return tags_ok && tables_ok && data_ok;
}

bool generic_conf_c::_check_object_tag_table(const object_tag_s* table, size_t count) {
  ZQTR_SCOPE(tr, "generic_conf_c::_check_object_tag_table", k_file);
  bool ok = true;
  const tags_by_label_c tags(table, count);
  // The compiled table's own rules were checked when it was compiled (conf_tables.cpp); another
  // table (a test's altered copy) is checked here.
  if (table != object_tag_table || count != k_object_tag_count) {
    for (const auto& pair : tags.same_labels()) {
      tr.print(ZQTR_FAIL, __LINE__, "Error, Same name \"%s\" entries #%d and #%d found in \"%s\"\n",
               table[pair.first].label, static_cast<int>(pair.first), static_cast<int>(pair.second), k_tag_table);
      ok = false;
    }
    for (size_t i = 0; i < count; ++i) {
      if (table[i].index != i) {
        tr.print(ZQTR_FAIL, __LINE__, "Invalid first element in \"%s\", entry #%d\n", k_tag_table, static_cast<int>(i));
        ok = false;
      }
      if (i != TAG_SCENARIO && i != TAG_GROUP && table[i].parent >= i) {
        tr.print(ZQTR_FAIL, __LINE__, "Invalid Papa element in \"%s\", entry #%d\n", k_tag_table, static_cast<int>(i));
        ok = false;
      }
    }
  }
  if (!ok) return false;

  xmc_item_c* root = m_tree->root;
  if (root == nullptr) return false;
  // One list of findings for every object, emptied after each (an object without findings costs
  // no list of its own).
  xmc_validity_c findings;
  for (xml_item_c* at = root->first_item(); at != nullptr; at = xmc_item_c::walk_next(at, root, xmc_item_c::enters(at))) {
    const xmc_item_c* item = xmc_item_c::cast(at);
    if (item == nullptr || !item->is_object()) continue;
    uint32_t id = 0;
    bool content_ok = true;
    const char* label = _check_object_content_get_name(item, &findings, id, content_ok);
    if (findings.count() > 0) {
      utl_stream_c text;
      tr.print(ZQTR_FAIL, __LINE__, "%s\n", findings.to_text(text));
      findings.delete_all();
    }
    if (label == nullptr || label[0] == '\0') {
      ok = false;
      continue;
    }
    const xmc_item_c* papa = xmc_item_c::parent_object(item);
    if (papa == nullptr) {
      tr.print(ZQTR_FAIL, __LINE__, "No Papa object of \"%s\" is found in \"%s\"\n", label, k_tag_table);
      ok = false;
      continue;
    }
    const char* papa_label = xmc_item_c::attr_text(papa, "label");
    if (papa_label == nullptr || papa_label[0] == '\0') {
      ok = false;
      continue;
    }
    // Definitions, Scenario and Group stand at the top.
    if (same(papa_label, "ConfigDataHolder")) continue;
    const long tag = tags.find(label);
    if (tag < 0) {
      tr.print(ZQTR_FAIL, __LINE__, "Invalid object item \"%s\", not found in \"%s\"\n", label, k_tag_table);
      ok = false;
      continue;
    }
    if (id == 0) {
      tr.print(ZQTR_FAIL, __LINE__, "Invalid ID string of \"%s\" \n", label);
      ok = false;
      continue;
    }
    if (table[tag].id != 0 && table[tag].id != id) {
      tr.print(ZQTR_FAIL, __LINE__, "Invalid ID %u  of object item \"%s\", not found in \"%s\"\n", id, label, k_tag_table);
      ok = false;
      continue;
    }
    const long papa_tag = tags.find(papa_label);
    if (papa_tag < 0) {
      tr.print(ZQTR_FAIL, __LINE__, "Invalid Papa object \"%s\" of \"%s\", not found in \"%s\"\n", papa_label, label,
               k_tag_table);
      ok = false;
      continue;
    }
    if (static_cast<uint32_t>(papa_tag) == table[tag].parent) continue;
    // Hosts nest in hosts, host properties in host properties, and the manager's report and
    // notification settings stand in the scenario itself as well as in a host.
    const bool nested = (same(label, "ReplNode") && same(papa_label, "ReplNode")) ||
                        (same(label, "HostProps") && same(papa_label, "HostProps"));
    const bool managed = (same(label, "Report") || same(label, "EventNotification")) && same(papa_label, "Scenario") &&
                         item->parent != nullptr && is_named(item->parent_item(), "title") &&
                         same(xmc_item_c::attr_text(item->parent_item(), "label"), "ManagerData");
    if (nested || managed) continue;
    tr.print(ZQTR_FAIL, __LINE__, "Inconsistent Papa object \"%s\" of \"%s\", found in \"%s\"\n", papa_label, label,
             k_tag_table);
    ok = false;
  }
  return ok;
}

bool generic_conf_c::_check_scen_data_tables(const data_table_entry_s* scenario, size_t scenario_count,
                                             const data_table_entry_s* host, size_t host_count) {
  ZQTR_SCOPE(tr, "generic_conf_c::_check_scen_data_tables", k_file);
  const struct {
    const data_table_entry_s* table;
    size_t count;
    const char* name;
  } tables[] = {{scenario, scenario_count, "scenario_data_table"}, {host, host_count, "host_data_table"}};
  for (const auto& t : tables) {
    for (size_t i = 0; i < t.count; ++i) {
      if (t.table[i].index != i) {
        tr.print(ZQTR_FAIL, __LINE__, "Invalid first element in \"%s\", entry #%d\n", t.name, static_cast<int>(i));
        return false;
      }
    }
  }
  return true;
}

xmc_item_c* generic_conf_c::new_default_object(uint32_t tag, uint32_t product, uint32_t application,
                                               bool assured_recovery) const {
  if (tag >= k_object_tag_count) return nullptr;
  const xmc_item_c* source = nullptr;
  if (tag == TAG_SCENARIO) {
    source = m_scenario;
  } else if (tag == TAG_REPL_NODE) {
    source = m_host_tree->master()->repl_node;
  } else if (tag == TAG_ROOT_DIR) {
    source = find_object(m_host_tree->master()->repl_node, "RootDir");
  } else if (m_objects != nullptr) {
    for (xml_item_c* child = m_objects->first_item(); child != nullptr && source == nullptr; child = child->next_item()) {
      const char* id = xmc_item_c::attr_text(child, "id");
      const xmc_item_c* typed = xmc_item_c::cast(child);
      if (typed != nullptr && id != nullptr && unsigned_of(id) == object_tag_table[tag].id && id[0] != '\0') {
        source = typed;
      }
    }
  }
  if (source == nullptr) return nullptr;
  xmc_item_c* copy = new (std::nothrow) xmc_item_c(*source, true);
  if (copy == nullptr) return nullptr;
  // Several tags share one definition (every script is a Script): the copy takes the tag's own
  // label, or an object reloaded from it would lose its name.
  const char* label = xmc_item_c::attr_text(copy, "label");
  if (copy->is_object() && label != nullptr && !same(label, object_tag_table[tag].label)) {
    copy->set_attr("label", object_tag_table[tag].label);
  }
  _set_appl_prod_defaults(copy, product, application, assured_recovery);
  _remove_irrelevant_items(copy, product, application, assured_recovery);
  return copy;
}

void generic_conf_c::_set_appl_prod_defaults(xmc_item_c* item, uint32_t product, uint32_t application,
                                             bool assured_recovery) const {
  ZQTR_SCOPE(tr, "generic_conf_c::_set_appl_prod_defaults", k_file);
  if (item == nullptr) return;
  const defaults_s d{xmc_enum_c::item_text(ENUM_PRODUCT, product), xmc_enum_c::item_text(ENUM_APPLICATION, application),
                     assured_recovery};
  std::vector<xml_item_c*> removed;
  // A row is not entered: whatever it holds goes with it.
  auto enters = [](const xml_item_c* at) { return xmc_item_c::enters(at) && !is_named(at, "switch_to_set_default"); };
  for (xml_item_c* at = item; at != nullptr; at = xmc_item_c::walk_next(at, item, enters(at))) {
    xmc_item_c* typed = xmc_item_c::cast(at);
    if (typed == nullptr) continue;
    const char* label = xmc_item_c::attr_text(typed, "label");
    if (typed->is_data() && label != nullptr && same(xmc_item_c::attr_text(typed, "val"), "variable")) {
      if (same(label, "Application")) {
        typed->set_attr("val", d.application);
      } else if (same(label, "Product")) {
        typed->set_attr("val", d.product);
      } else if (same(label, "AssuredRecovery")) {
        typed->set_attr("val", assured_recovery ? mix_n::True : mix_n::False);
      }
      continue;
    }
    if (!is_named(typed, "switch_to_set_default")) continue;
    removed.push_back(typed);
    const char* variable = xmc_item_c::attr_text(typed, "variable");
    const char* value_case = xmc_item_c::attr_text(typed, "case");
    const char* val = xmc_item_c::attr_text(typed, "val");
    if (variable == nullptr || value_case == nullptr || val == nullptr) continue;
    if (!case_applies(variable, value_case, d)) continue;
    xmc_item_c* papa = xmc_item_c::cast(typed->parent);
    if (papa != nullptr && papa->is_data()) {
      papa->set_attr("val", val);
    } else if (papa != nullptr && papa->is_object() && same(xmc_item_c::attr_text(typed, "type"), "Bool") &&
               papa->find_attr("status") != nullptr) {
      papa->set_attr("status", val);
    } else {
      utl_stream_c path;
      tr.print(ZQTR_FAIL, __LINE__, "Unable to apply \"%s\" to %s\n", "switch_to_set_default",
               typed->parent == nullptr ? "" : item_path(static_cast<xml_item_c*>(typed->parent), path));
    }
  }
  for (xml_item_c* row : removed) {
    if (row == item) continue;
    row->unlink();
    delete row;
  }
}

void generic_conf_c::_remove_irrelevant_items(xmc_item_c* item, uint32_t product, uint32_t application,
                                              bool assured_recovery) const {
  ZQTR_SCOPE(tr, "generic_conf_c::_remove_irrelevant_items", k_file);
  if (item == nullptr) return;
  const defaults_s d{xmc_enum_c::item_text(ENUM_PRODUCT, product), xmc_enum_c::item_text(ENUM_APPLICATION, application),
                     assured_recovery};
  std::vector<xml_item_c*> condemned;
  for (xml_item_c* at = item; at != nullptr;) {
    const bool relevant = is_named(at, "relevant");
    const char* label = xmc_item_c::attr_text(at, "label");
    const char* val = xmc_item_c::attr_text(at, "val");
    if ((!relevant && !is_named(at, "irrelevant")) || label == nullptr || val == nullptr) {
      at = xmc_item_c::walk_next(at, item, xmc_item_c::enters(at));
      continue;
    }
    const bool matches = marker_matches(label, val, d);
    xml_item_c* doomed = relevant != matches && at->parent != nullptr && is_inside(at, item) && at != item
                             ? at->parent_item()
                             : at;
    // What is condemned goes with everything below it, including items condemned before.
    for (size_t i = 0; i < condemned.size();) {
      if (condemned[i] != doomed && is_inside(condemned[i], doomed)) {
        condemned.erase(condemned.begin() + static_cast<long>(i));
      } else {
        ++i;
      }
    }
    doomed->delete_children();
    condemned.push_back(doomed);
    at = xmc_item_c::walk_next(doomed, item, false);
  }
  for (xml_item_c* gone : condemned) {
    if (gone == item) continue;
    gone->unlink();
    delete gone;
  }
}

generic_conf_builder_c::generic_conf_builder_c() {
  generic_conf_instance = generic_conf_c::build();
  object_defaults_n::set_source(generic_conf_instance);
}

generic_conf_builder_c::~generic_conf_builder_c() {
  object_defaults_n::set_source(nullptr);
  delete generic_conf_instance;
  generic_conf_instance = nullptr;
}
