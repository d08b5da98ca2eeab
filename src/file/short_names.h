// Short (8.3) names, where the platform has them: a new file whose name would resolve to another
// entry's short name gets that entry moved aside while it is made. Path-level only: it stands below
// the open primitive (zq_io), which uses it, and needs nothing of the file objects.
#ifndef STATS_MNG_FILE_SHORT_NAMES_H
#define STATS_MNG_FILE_SHORT_NAMES_H

#include "platform/win32/win32_api.h"

// While it lives, the entry whose short name a new path would resolve to is moved aside.
struct reserve_short_path_name_s {
  reserve_short_path_name_s(const char* path, DWORD disposition, HANDLE transaction);
  ~reserve_short_path_name_s();
  reserve_short_path_name_s(const reserve_short_path_name_s&) = delete;
  reserve_short_path_name_s& operator=(const reserve_short_path_name_s&) = delete;

  wchar_t* long_path = nullptr;  // the entry moved aside
  wchar_t* temp_path = nullptr;  // where it went
  bool moved = false;
  HANDLE transaction = nullptr;

  // The highest number tried for a temporary name.
  static constexpr unsigned k_max_temp_number = 99999999u;
};

#endif
