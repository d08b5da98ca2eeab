// A group's entries for its scenarios: the ScenarioInfo of a scenario in the group's ScenarioList,
// its fields, and the hosts of its HostList, under the group's locks.
#include "xmc/scenario_conf.h"

#include "platform/trc/zqtr.h"
#include "xmc/scenario_items.h"

using scenario_items_n::data_number;
using scenario_items_n::find_host_object;
using scenario_items_n::same_text;

namespace {

const char* k_file = "scenario_conf";

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
