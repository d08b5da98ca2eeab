#include "platform/thl/mix.h"

#include <cerrno>
#include <signal.h>
#include <time.h>

namespace mix_n {

bool localtime_r(time_t value, struct tm* calendar) {
  return calendar != nullptr && ::localtime_r(&value, calendar) != nullptr;
}

bool process_exists(uint32_t process_id) {
  if (process_id == 0 || process_id > static_cast<uint32_t>(INT32_MAX)) return false;
  return ::kill(static_cast<pid_t>(process_id), 0) == 0 || errno == EPERM;
}

}  // namespace mix_n
