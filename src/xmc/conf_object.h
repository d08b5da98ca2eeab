// Object configurations: the content of a scenario's external object, one class per content id,
// made by creators that the library registers while it loads.
#ifndef STATS_MNG_XMC_CONF_OBJECT_H
#define STATS_MNG_XMC_CONF_OBJECT_H

#include "platform/thl/thl_locks.h"
#include "utl/array.h"
#include "xmc/conf.h"

#include <cstdint>

class xml_item_c;

// Makes the object configuration of one content id from its item.
class conf_object_creator_c {
 public:
  explicit conf_object_creator_c(uint32_t object_id) : m_object_id(object_id) {}
  virtual ~conf_object_creator_c() = default;
  conf_object_creator_c(const conf_object_creator_c&) = delete;
  conf_object_creator_c& operator=(const conf_object_creator_c&) = delete;

  // A new configuration the caller owns, or null when the item cannot make one.
  virtual conf_c* create(const xml_item_c* item) = 0;
  uint32_t object_id() const { return m_object_id; }

 private:
  uint32_t m_object_id;
};

// The process-wide list of creators. Creators are library objects that outlive every lookup; the
// registry does not own them.
class conf_object_registry_c {
 public:
  conf_object_registry_c() = default;
  ~conf_object_registry_c() { m_creators.clear(); }
  conf_object_registry_c(const conf_object_registry_c&) = delete;
  conf_object_registry_c& operator=(const conf_object_registry_c&) = delete;

  // The library's registry, made by its first user (the first creator to register).
  static conf_object_registry_c& instance();

  // Appends the creator unless one for the same id is registered already (then false: the first
  // stays).
  bool add(conf_object_creator_c* creator);
  // Takes a creator out again; false when it was not registered.
  bool remove(conf_object_creator_c* creator);
  // Asks the first creator for the id; null when there is none or it makes nothing.
  conf_c* create(uint32_t object_id, const xml_item_c* item);
  bool has_creator(uint32_t object_id);
  // The creator registered for the id; null for none.
  conf_object_creator_c* creator(uint32_t object_id);

 private:
  conf_object_creator_c* _find(uint32_t object_id);

  thl_crit_section_c m_lock;
  ptr_list_ct<conf_object_creator_c> m_creators;
};

#endif
