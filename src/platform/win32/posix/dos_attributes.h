// Windows file attributes on POSIX: directory and reparse point from lstat, read-only from the
// owner write bit, the others (hidden, system, archive, sparse ...) in the extended attribute
// "user.DOSATTRIB" as the text "0x%x", the form Wine and Samba read.
#ifndef STATS_MNG_PLATFORM_WIN32_POSIX_DOS_ATTRIBUTES_H
#define STATS_MNG_PLATFORM_WIN32_POSIX_DOS_ATTRIBUTES_H

#include "platform/win32/win32_api.h"

#include <string>
#include <sys/stat.h>

namespace dos_attributes_n {

// The attributes kept in the extended attribute.
constexpr DWORD k_stored = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_OFFLINE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The attributes of the file at native (lst from lstat of it).
DWORD of(const std::string& native, const struct stat& lst);
// The attributes of an open descriptor (not a link itself).
DWORD of_fd(int fd, const std::string& native, const struct stat& st);

// The attributes stored for a file (0 when none are).
DWORD stored(const std::string& native);

// Stores the kept attributes; false when the file system keeps no extended attributes (or
// refuses them), with errno telling why.
bool store(const std::string& native, DWORD attributes);
bool store_fd(int fd, DWORD attributes);

// Sets the attributes of a path: read-only through the write bits, the rest stored. Returns a
// Windows error code (ERROR_SUCCESS).
DWORD set(const std::string& native, DWORD attributes);

}  // namespace dos_attributes_n

#endif
