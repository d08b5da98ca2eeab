// The two checks of a scenario configuration: whether its tree is well formed, and whether its
// settings make sense item by item (values, limits, lists); the rules across the scenario and its
// hosts that the second check runs are in scenario_rules.cpp.
#include "xmc/scenario_conf.h"

#include "xmc/number_ranges.h"
#include "xmc/scenario_rule_fields.h"

#include "file/path_n.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "utl/utl.h"
#include "utl/value.h"

#include <cstring>
#include <string>
#include <vector>

using scenario_rules_n::fields;
using scenario_rules_n::indexes_s;
using scenario_rules_n::is_true;

namespace {

const char* k_file = "scenario_validation";

bool same_text(const char* a, const char* b) { return a != nullptr && b != nullptr && std::strcmp(a, b) == 0; }
bool is_false(const char* text) { return text != nullptr && utl_n::ascii_compare_nocase(text, "False") == 0; }

// The nearest enclosing object labelled Scenario or ReplNode.
xmc_item_c* condition_scope(const xmc_item_c* item) {
  for (generic_node_c* p = item->parent; p != nullptr; p = p->parent) {
    xmc_item_c* typed = xmc_item_c::cast(p);
    const char* label = xmc_item_c::attr_text(typed, "label");
    if (typed != nullptr && typed->is_object() && (same_text(label, "Scenario") || same_text(label, "ReplNode"))) {
      return typed;
    }
  }
  return nullptr;
}

// The first object so labelled below start, not entering data items, external objects or another
// host's ReplNode.
xmc_item_c* find_scoped_object(xmc_item_c* start, const char* label) {
  for (xml_item_c* child = start->first_item(); child != nullptr; child = child->next_item()) {
    xmc_item_c* typed = xmc_item_c::cast(child);
    if (typed == nullptr || typed->is_data()) continue;
    const char* own = xmc_item_c::attr_text(typed, "label");
    if (typed->is_object() && same_text(own, label)) return typed;
    if (typed->is_external() || (typed->is_object() && same_text(own, "ReplNode"))) continue;
    xmc_item_c* below = find_scoped_object(typed, label);
    if (below != nullptr) return below;
  }
  return nullptr;
}

// Each finding of the collector from first on, one text a line, in one trace record.
void trace_findings(zqtr_entry_c& tr, xmc_validity_c& validity, uint64_t first) {
  if (validity.count() <= first) return;
  utl_stream_c text;
  validity.to_text(text, first, "");
  tr.print(ZQTR_FAIL, __LINE__, "%s\n", text.c_str());
}

}  // namespace

// ---- reading fields for the rules

bool scenario_conf_c::_scenario_flag(uint32_t index) {
  xmc_value_c value;
  get_scenario_data(index, value);
  return value.lookup_status() == 0 && is_true(value.as_string());
}

bool scenario_conf_c::_host_flag(uint32_t index, uint64_t host) {
  xmc_value_c value;
  get_host_data(index, host, value);
  return value.lookup_status() == 0 && is_true(value.as_string());
}

// ---- consistency

bool scenario_conf_c::check_consistency(xmc_validity_c* validity, const xml_item_c* item) {
  (void)item;
  ZQTR_SCOPE(tr, "scenario_conf_c::check_consistency", k_file);
  multi_reader_lock_c lock(m_scenario_lock);
  if (!_check_mixed_tree(nullptr)) return false;
  xmc_validity_c own;
  xmc_validity_c& findings = validity != nullptr ? *validity : own;
  const uint64_t first = findings.count();
  bool ok = true;
  xmc_item_c* root = m_tree->root;
  for (xml_item_c* at = root; at != nullptr; at = xmc_item_c::walk_next(at, root, xmc_item_c::enters(at))) {
    xmc_item_c* typed = xmc_item_c::cast(at);
    if (typed == nullptr) continue;
    if (typed->is_data()) {
      // The attribute check traces what is wrong ("Superfluous attribute ..."); the pass reports
      // the item once, with code 1 (the validity pass reports each attribute).
      data_content_s found;
      if (!_check_data_content(nullptr, typed, true, found)) {
        _add_finding(&findings, typed, 1, nullptr);
        ok = false;
      }
    } else if (typed->is_external() && m_application != APPLICATION_HYPER_V) {
      // (A Hyper-V scenario's external content is its list of virtual machines, which the validity
      // check reads as such: it holds no object configurations.)
      for (xml_item_c* child = typed->first_item(); child != nullptr; child = child->next_item()) {
        utl_stream_c path;
        conf_c* object = _get_generic_object(child);
        if (object == nullptr) {
          tr.print(ZQTR_FAIL, __LINE__, "Unable to create external object for node %s\n", item_path(child, path));
          ok = false;
        } else if (!object->check_consistency(&findings, child)) {
          tr.print(ZQTR_FAIL, __LINE__, "Found inconsistent external object of node %s\n", item_path(child, path));
          ok = false;
        }
      }
    } else if (typed->is_object()) {
      uint32_t id = 0;
      _check_object_content_get_name(typed, &findings, id, ok);
    }
  }
  if (findings.count() > first) ok = false;
  trace_findings(tr, findings, first);
  return ok;
}

// ---- validity

bool scenario_conf_c::check_xmc_validity(xmc_validity_c* validity, const xml_item_c* item) {
  (void)item;
  ZQTR_SCOPE(tr, "scenario_conf_c::check_xmc_validity", k_file);
  multi_reader_lock_c lock(m_scenario_lock);
  xmc_validity_c own;
  xmc_validity_c& findings = validity != nullptr ? *validity : own;
  bool ok = true;
  const struct {
    bool unset;
    const char* path;
  } basics[] = {{m_config_mode >= CONFIG_MODE_NONE, "Scenario.ConfigMode"},
                {m_product >= PRODUCT_NONE, "Scenario.Product"},
                {m_application >= APPLICATION_NONE, "Scenario.Application"}};
  for (const auto& basic : basics) {
    if (!basic.unset) continue;
    _add_path_finding(&findings, 0, ch_data_s::k_no_entry, 3, basic.path, nullptr);
    ok = false;
  }
  if (m_tree == nullptr || m_tree->root == nullptr || m_tree->root->first_item() == nullptr) {
    _add_path_finding(&findings, 0, ch_data_s::k_no_entry, 0, "Scenario", nullptr);
    return false;
  }
  xmc_item_c* root = m_tree->root;
  for (xml_item_c* at = root->first_item(); at != nullptr;) {
    xmc_item_c* typed = xmc_item_c::cast(at);
    bool descend = true;
    if (typed != nullptr && !_check_general_validity(&findings, typed, descend)) ok = false;
    at = xmc_item_c::walk_next(at, root, descend && xmc_item_c::enters(at));
  }
  // A host the tree could not place is a finding; the rules below see the placed hosts only.
  if (!_check_host_tree(&findings)) ok = false;
  if (!_host_tree_current()) return false;
  const bool has_hosts = m_host_tree->master()->repl_node != nullptr || m_host_tree->host_count() > 0;
  if (!has_hosts && m_config_mode != CONFIG_MODE_ASSESSMENT) {
    _add_path_finding(&findings, 2, ch_data_s::k_no_entry, 3, "Scenario.ReplNode", nullptr);
    return false;
  }
  if (!_check_array_root_dirs(&findings, true)) ok = false;
  if (!_check_compress_attributes(&findings, 0)) ok = false;
  if (!_check_uniqueue_fields(&findings, 0)) ok = false;
  if (!_check_specific_features(&findings, 0)) ok = false;
  return ok;
}

bool scenario_conf_c::_check_if_holds(const xmc_item_c* item) const {
  const char* check_if = xmc_item_c::attr_text(item, "check_if");
  const char* is_equal = xmc_item_c::attr_text(item, "is_equal");
  const char* dot = check_if == nullptr ? nullptr : std::strchr(check_if, '.');
  if (is_equal == nullptr || dot == nullptr) return true;
  xmc_item_c* scope = condition_scope(item);
  if (scope == nullptr) return true;
  const std::string object_label(check_if, static_cast<size_t>(dot - check_if));
  xmc_item_c* object = same_text(xmc_item_c::attr_text(scope, "label"), object_label.c_str())
                           ? scope
                           : find_scoped_object(scope, object_label.c_str());
  const char* val = xmc_item_c::attr_text(object == nullptr ? nullptr : find_data(object, dot + 1), "val");
  if (val == nullptr) return true;
  value_c value;
  value.set_text(val);
  return value.equals_text(is_equal);
}

bool scenario_conf_c::_check_general_validity(xmc_validity_c* validity, xmc_item_c* item, bool& descend) {
  ZQTR_SCOPE(tr, "scenario_conf_c::_check_general_validity", k_file);
  descend = true;
  const bool hyper_v = m_application == APPLICATION_HYPER_V;
  const bool full_system = m_application == APPLICATION_FULL_SYSTEM;
  if (item->is_external()) {
    if (!hyper_v) {
      bool ok = true;
      for (xml_item_c* child = item->first_item(); child != nullptr; child = child->next_item()) {
        utl_stream_c path;
        conf_c* object = _get_generic_object(child);
        if (object == nullptr) {
          tr.print(ZQTR_FAIL, __LINE__, "Unable to create external object for node %s\n", item_path(child, path));
          ok = false;
        } else if (!object->check_xmc_validity(validity, child)) {
          tr.print(ZQTR_FAIL, __LINE__, "Found invalid external object of node %s\n", item_path(child, path));
          ok = false;
        }
      }
      return ok;
    }
    // The virtual machines: the children of the first child of the first child of the first child.
    xml_item_c* list = item->first_item();
    for (int depth = 0; depth < 2 && list != nullptr; ++depth) list = list->first_item();
    for (xml_item_c* machine = list == nullptr ? nullptr : list->first_item(); machine != nullptr;
         machine = machine->next_item()) {
      const char* name = xmc_item_c::attr_text(machine, "fqn_name");
      if (!is_true(xmc_item_c::attr_text(machine, "checked")) || (name != nullptr && name[0] != '\0')) continue;
      xmc_item_c* field = nullptr;
      for (xml_item_c* at = m_tree->root; at != nullptr && field == nullptr;
           at = xmc_item_c::walk_next(at, m_tree->root, xmc_item_c::enters(at))) {
        xmc_item_c* typed = xmc_item_c::cast(at);
        if (typed != nullptr && typed->is_data() && same_text(xmc_item_c::attr_text(typed, "label"), "VirtualMachineFQName")) {
          field = typed;
        }
      }
      if (field != nullptr) {
        _add_finding(validity, field, 12, "fqn_name");
      } else {
        _add_path_finding(validity, 0, ch_data_s::k_no_entry, 12, "VirtualMachineFQName", "fqn_name");
      }
      descend = false;
      return false;
    }
    return true;
  }
  if (item->is_object()) {
    if (item->attr_count() == 0) return true;
    // Its label and id: an empty or unknown attribute, no label, a label without id are findings.
    bool ok = true;
    uint32_t id = 0;
    _check_object_content_get_name(item, validity, id, ok);
    if (is_false(xmc_item_c::attr_text(item, "status"))) descend = false;
    const char* label = xmc_item_c::attr_text(item, "label");
    if ((hyper_v || full_system) && label != nullptr && utl_n::ascii_compare_nocase(label, "VirtualNetworkMapping") == 0) {
      descend = false;
    }
    return ok;
  }
  if (!item->is_data()) return true;

  data_content_s found;
  if (!_check_data_content(validity, item, false, found)) return false;
  const char* val = found.val == nullptr ? "" : found.val;
  bool ok = true;
  if (!found.has_check_if || _check_if_holds(item)) {
    const uint32_t type = item->value_type();
    uint32_t code = 0;
    const char* shown = val;
    if (!xmc_enum_c::data_fits_type(val, type, item->enum_index(), item)) {
      code = 12;
    } else if (found.check_kids_if_val != nullptr &&
               !xmc_enum_c::data_fits_type(found.check_kids_if_val, type, item->enum_index(), item)) {
      code = 12;
      shown = found.check_kids_if_val;
    } else if (type == TYPE_NUMBER && found.has_min_max) {
      int64_t number = 0;
      int64_t limit = 0;
      mix_n::parse_formatted_integer_string(val, number);
      // A text of 2^63 or more reads as a negative number; it is above every maximum, below no
      // minimum.
      const char* first = val;
      while (*first == ' ' || *first == '\t') ++first;
      const bool huge = number < 0 && *first != '-';
      const char* minimum = xmc_item_c::attr_text(item, "minimum");
      const char* maximum = xmc_item_c::attr_text(item, "maximum");
      if ((!huge && minimum != nullptr && mix_n::parse_formatted_integer_string(minimum, limit) && number < limit) ||
          (maximum != nullptr && mix_n::parse_formatted_integer_string(maximum, limit) && (huge || number > limit))) {
        code = 24;
      }
    }
    // A field that names something of a fixed width holds only what fits it.
    const number_range_s* range = type == TYPE_NUMBER && code == 0 ? number_ranges_n::of_item(item) : nullptr;
    if (range != nullptr && val[0] != '\0' && !number_ranges_n::fits(*range, val)) code = 24;
    if (code == 0 && type == TYPE_MULTI_ENTRY && found.mandatory && item->first_item() == nullptr &&
        !(full_system && same_text(found.label, "VirtualMachineIPOnReplicainDNS"))) {
      code = 2;
      shown = nullptr;
    }
    if (code == 0 && val[0] == '\0' && (found.mandatory || (type != TYPE_TEXT && type != TYPE_DEF_FULL_PATH))) {
      code = 5;
      shown = nullptr;  // the value is empty: there is none to show
    }
    if (code != 0) {
      _add_finding(validity, item, code, shown != nullptr && shown[0] != '\0' ? shown : nullptr);
      ok = false;
    }
  }
  if (found.check_kids_if_val != nullptr && std::strcmp(val, found.check_kids_if_val) != 0) descend = false;
  return ok;
}
