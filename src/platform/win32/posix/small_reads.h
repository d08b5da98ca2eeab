// A file opened, read a little or only looked at and closed again at once, the commonest open there
// is (a state file read whole, a lock file probed), without a handle: the open answers exactly as
// CreateFileW (OPEN_EXISTING, the access and share modes asked) would. POSIX only; the Windows
// build opens a handle.
#ifndef STATS_MNG_PLATFORM_WIN32_POSIX_SMALL_READS_H
#define STATS_MNG_PLATFORM_WIN32_POSIX_SMALL_READS_H

#include "platform/win32/win32_api.h"

#include <cstddef>

namespace small_reads_n {

// The descriptor of the file, or -1 with the error CreateFileW would record. Read it with read_some
// and close it with close at once.
int open(LPCWSTR path, DWORD access, DWORD share, DWORD& error);
// One read as ReadFile makes it: ERROR_SUCCESS with got (0 at the end), or the read's error.
DWORD read_some(int fd, char* buffer, size_t size, size_t& got);
// Whether an open with these modes would be let in now, as open and close would answer, but
// without a hold: the share check only looks, under the gate, so it refuses nobody meanwhile.
// Without which_missing, a missing file and a missing directory both answer ERROR_FILE_NOT_FOUND
// (the directory is not looked for).
DWORD look(LPCWSTR path, DWORD access, DWORD share, bool which_missing = true);
void close(int fd);

}  // namespace small_reads_n

#endif
