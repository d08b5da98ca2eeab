// How the POSIX layer finds the file a Windows path names: "\\?\" is dropped, '\' is a
// separator, a drive letter or UNC share resolves through the drive map, a path that begins with a
// separator is a path of this system.
#ifndef STATS_MNG_PLATFORM_WIN32_POSIX_POSIX_PATHS_H
#define STATS_MNG_PLATFORM_WIN32_POSIX_POSIX_PATHS_H

#include "platform/win32/win32_api.h"

#include <ctime>
#include <string>

namespace posix_paths_n {

struct resolved_s {
  enum kind_e { NATIVE, DRIVE, UNC } kind = NATIVE;
  std::string native;        // the path of this system
  std::string root_native;   // DRIVE, UNC: the directory the drive or share maps to
  std::string root_windows;  // DRIVE: "C:"; UNC: "\\server\share"
  bool prefixed = false;     // the path began with "\\?\"
};

// ERROR_SUCCESS, or the Windows error for a path that names nothing reachable.
DWORD resolve(LPCWSTR path, resolved_s& out);
DWORD resolve_utf8(const std::string& path, resolved_s& out);

std::string narrow(LPCWSTR text);
std::wstring widen(const std::string& text);

// The Windows error for a failed operation on a native path: ERROR_FILE_NOT_FOUND when the
// parent directory exists, else ERROR_PATH_NOT_FOUND; other errno values map as usual.
DWORD error_for_missing(const std::string& native, int error_number);
DWORD error_from_errno(int error_number);

// A POSIX time as a Windows file time (100 ns units since 1601).
FILETIME to_filetime(const struct timespec& time);

}  // namespace posix_paths_n

#endif
