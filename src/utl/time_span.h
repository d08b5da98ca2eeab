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

  // Seconds since 1970-01-01 UTC as an ISO 8601 date, "2026-12-06T18:00:00Z", through our own
  // calendar (no C runtime limit, the same on every system). The years it writes are 0001 to 9999
  // (seconds -62135596800 to 253402300799); false, with out empty, outside them. out holds 21 bytes.
  static constexpr int64_t k_first_iso_second = -62135596800LL;
  static constexpr int64_t k_last_iso_second = 253402300799LL;
  static bool iso_utc_date(int64_t seconds, char out[21]);
};

#endif
