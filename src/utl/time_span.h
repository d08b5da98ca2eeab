// Times of the file system.
#ifndef STATS_MNG_UTL_TIME_SPAN_H
#define STATS_MNG_UTL_TIME_SPAN_H

#include "platform/win32/win32_api.h"

#include <cstdint>

class date_time_c {
 public:
  // Seconds since 1970-01-01 UTC of a file time (100 ns units since 1601), in unsigned 64-bit
  // arithmetic: a time before 1970 wraps.
  static int64_t convert_filetime_to_time_t(const FILETIME* file_time);
};

#endif
