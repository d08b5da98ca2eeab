#include "utl/time_span.h"

#include <cstring>

int64_t date_time_c::convert_filetime_to_time_t(const FILETIME* file_time) {
  if (file_time == nullptr) return 0;
  uint64_t ticks = (static_cast<uint64_t>(file_time->dwHighDateTime) << 32) | file_time->dwLowDateTime;
  return static_cast<int64_t>((ticks - 116444736000000000ull) / 10000000ull);
}

bool date_time_c::iso_utc_date(int64_t seconds, char out[21]) {
  out[0] = '\0';
  if (seconds < k_first_iso_second || seconds > k_last_iso_second) return false;
  // Days and seconds of the day, then the civil date of the day count (proleptic Gregorian: eras of
  // 400 years, each 146097 days, counted from 0000-03-01).
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t day_of_era = z - era * 146097;
  const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t shifted_month = (5 * day_of_year + 2) / 153;
  const int day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  const int month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  const int year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
  const int hour = static_cast<int>(rest / 3600), minute = static_cast<int>(rest / 60 % 60), second = static_cast<int>(rest % 60);
  auto digits = [&out](int at, int value, int count) {
    for (int i = count - 1; i >= 0; --i, value /= 10) out[at + i] = static_cast<char>('0' + value % 10);
  };
  std::memcpy(out, "0000-00-00T00:00:00Z", 21);
  digits(0, year, 4);
  digits(5, month, 2);
  digits(8, day, 2);
  digits(11, hour, 2);
  digits(14, minute, 2);
  digits(17, second, 2);
  return true;
}
