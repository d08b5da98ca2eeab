// The object configurations a scenario configuration makes from its external content items, one
// per id, kept until the next load.
#include "xmc/scenario_conf.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "xmc/conf_object.h"
#include "xmc/scenario_items.h"

#include <string>

using scenario_items_n::find_host_object;
using scenario_items_n::same_text;

namespace {

const char* k_file = "scenario_conf";

}  // namespace

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
