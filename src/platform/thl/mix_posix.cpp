#include "platform/thl/mix.h"

#include <time.h>

namespace mix_n {

bool localtime_r(time_t value, struct tm* calendar) {
  return calendar != nullptr && ::localtime_r(&value, calendar) != nullptr;
}

}  // namespace mix_n
