// The services a scenario watches, read from its ListMonitorServices when a file is loaded.
#include "xmc/scenario_conf.h"

#include "xmc/scenario_items.h"

#include <vector>

using scenario_items_n::data_number;
using scenario_items_n::same_text;

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
