// Windows share modes between open files, here and in other processes, with open-file-description
// locks on reserved bytes far beyond any data (the protocol is in the README):
//   BASE + 1, 2, 3: "has read / write / delete access"; BASE + 4, 5, 6: "does not share read /
//   write / delete"; BASE = 2^62. Each open takes read locks on its bytes under a short exclusive
//   flock gate and verifies that no other open holds a conflicting byte. A closed (or killed)
//   holder releases everything.
#ifndef STATS_MNG_PLATFORM_WIN32_POSIX_SHARE_LOCKS_H
#define STATS_MNG_PLATFORM_WIN32_POSIX_SHARE_LOCKS_H

#include "platform/win32/win32_api.h"

#include <string>

namespace share_locks_n {

constexpr unsigned RIGHT_READ = 1, RIGHT_WRITE = 2, RIGHT_DELETE = 4;

// An access mask with its generic rights expanded to the specific ones.
DWORD expand_access(DWORD access);
// The data and delete rights in an access mask (generic rights expanded first).
unsigned rights_of(DWORD access);
unsigned shared_of(DWORD share);

// Takes the hold of an open descriptor for the rights it asks and the rights it shares:
// ERROR_SUCCESS, or ERROR_SHARING_VIOLATION when another open conflicts (nothing is then held).
// A file system that cannot lock is let through unchecked, and that is logged once per file system.
DWORD take(int fd, unsigned rights, unsigned shared, const std::string& native);

// True when another open holds the file with data or delete access.
bool held_by_others(int fd);

// The volume lock of a volume image: byte BASE + 16, held by at most one open file description
// (duplicates of a handle share it). ERROR_SUCCESS, or ERROR_ACCESS_DENIED while another holds it.
DWORD lock_volume(int fd);
void unlock_volume(int fd);

}  // namespace share_locks_n

#endif
