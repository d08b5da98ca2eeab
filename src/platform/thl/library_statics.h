// The objects built when a process loads the library, in declaration order, and destroyed in
// reverse order when it unloads it. They live in one unit (stats_mng/library_statics.cpp) so that
// the order is fixed; this header sits at the bottom layer so that every layer may reach them
// without including anything above itself.
#ifndef STATS_MNG_PLATFORM_THL_LIBRARY_STATICS_H
#define STATS_MNG_PLATFORM_THL_LIBRARY_STATICS_H

#include "platform/thl/thl_locks.h"

class sys_info_c;
namespace win32 {
class critical_section;
}

namespace library_statics_n {

// Open file handles of the process: +1 per handle opened or duplicated, -1 per handle closed.
thl_ref_counter_c& handle_counter();

// The seven critical sections of the common code.
enum crit_section_e {
  CS_COMMON_0 = 0,
  CS_COMMON_1,
  CS_COMMON_2,
  CS_COMMON_3,
  CS_COMMON_4,
  CS_DRIVE_INFO,   // the drive-information cache
  CS_STATE_FILES,  // writing of state files
  CS_COUNT
};
thl_crit_section_c& crit_section(crit_section_e which);

// The two Windows critical sections of the common code (0 and 1).
win32::critical_section& win32_section(int which);
// The host facts, or null when they could not be allocated.
sys_info_c* sys_info();

}  // namespace library_statics_n

#endif
