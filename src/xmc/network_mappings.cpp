// The virtual network mappings of a scenario's switchover and of its recovery test.
#include "xmc/scenario_conf.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "utl/utl.h"
#include "xmc/scenario_items.h"

#include <vector>

using scenario_items_n::is_repl_node;
using scenario_items_n::same_text;

namespace {

const char* k_file = "scenario_conf";

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
