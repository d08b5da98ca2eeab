// What a handle opened by name is: a file where a file is expected, or something else (a pipe, a
// console or another character device) that must not be read or held as one.
#ifndef STATS_MNG_FILE_OPENED_KIND_H
#define STATS_MNG_FILE_OPENED_KIND_H

#include "platform/win32/win32_api.h"

namespace opened_kind_n {

// True when the handle is a file, directory or volume on a disk. On Windows a pipe or a character
// device reached through a name (under Wine also a FIFO or a device file of the host) is not; on
// POSIX the platform layer refuses those at the open already, so this asks nothing there.
bool is_disk(HANDLE handle);

// Closes a handle that is no disk file and says so: INVALID_HANDLE_VALUE with ERROR_NOT_SUPPORTED,
// the answer an open of such a name gives on POSIX. A disk file's handle is returned as it is.
HANDLE refuse_unless_disk(HANDLE handle);

// After a handle opened by that name was closed: whether the name is still a disk file, false with
// the last error set (ERROR_NOT_SUPPORTED for a pipe, device or directory, the lookup's own error
// otherwise). For a check that must not hold the file open while it asks. On POSIX the open was
// refused already, so this asks nothing there.
bool names_a_disk_file(const wchar_t* wide_path);

}  // namespace opened_kind_n

#endif
