#include "xmc/conf_object.h"

conf_object_creator_c* conf_object_registry_c::_find(uint32_t object_id) {
  for (ptr_list_element_c* at = m_creators.list()->first_element(); at != nullptr; at = at->next) {
    conf_object_creator_c* creator = static_cast<conf_object_creator_c*>(at->data);
    if (creator->object_id() == object_id) return creator;
  }
  return nullptr;
}

bool conf_object_registry_c::add(conf_object_creator_c* creator) {
  if (creator == nullptr) return false;
  thl_lock_c lock(m_lock);
  if (_find(creator->object_id()) != nullptr) return false;
  return m_creators.append(creator);
}

bool conf_object_registry_c::remove(conf_object_creator_c* creator) {
  thl_lock_c lock(m_lock);
  if (creator == nullptr || m_creators.find_data(creator) == nullptr) return false;
  m_creators.remove_current(creator);  // gives the data after it, not whether it was removed
  return true;
}

bool conf_object_registry_c::has_creator(uint32_t object_id) { return creator(object_id) != nullptr; }

conf_object_creator_c* conf_object_registry_c::creator(uint32_t object_id) {
  thl_lock_c lock(m_lock);
  return _find(object_id);
}

conf_c* conf_object_registry_c::create(uint32_t object_id, const xml_item_c* item) {
  // Held while the creator works: a creator taken out meanwhile is not used after it went.
  thl_lock_c lock(m_lock);
  conf_object_creator_c* creator = _find(object_id);
  return creator == nullptr ? nullptr : creator->create(item);
}
