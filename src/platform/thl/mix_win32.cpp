#include "platform/thl/mix.h"

#include <time.h>

namespace mix_n {

bool localtime_r(time_t value, struct tm* calendar) {
  return calendar != nullptr && ::localtime_s(calendar, &value) == 0;
}

}  // namespace mix_n
