#include "utl/time_span.h"

int64_t date_time_c::convert_filetime_to_time_t(const FILETIME* file_time) {
  if (file_time == nullptr) return 0;
  uint64_t ticks = (static_cast<uint64_t>(file_time->dwHighDateTime) << 32) | file_time->dwLowDateTime;
  return static_cast<int64_t>((ticks - 116444736000000000ull) / 10000000ull);
}
