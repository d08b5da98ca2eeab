// Where a scenario configuration takes the default of an object it reloads. The generic
// configurator is a scenario configuration itself, so a scenario configuration cannot know it: the
// configurator names itself here while it exists, and a configuration asks whoever is named.
#ifndef STATS_MNG_XMC_OBJECT_DEFAULTS_H
#define STATS_MNG_XMC_OBJECT_DEFAULTS_H

#include <cstdint>

class xmc_item_c;

class object_defaults_c {
 public:
  virtual ~object_defaults_c() = default;
  // A deep copy of the default object of a tag for that product, application and assured-recovery
  // setting, which the caller owns; null when there is none.
  virtual xmc_item_c* new_default_object(uint32_t tag, uint32_t product, uint32_t application,
                                         bool assured_recovery) const = 0;
};

namespace object_defaults_n {

// The source of defaults in force: null until one is named and after it is withdrawn.
const object_defaults_c* source();
// Names the source (null withdraws it).
void set_source(const object_defaults_c* defaults);

}  // namespace object_defaults_n

#endif
