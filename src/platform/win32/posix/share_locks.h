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

// The share rule of Windows, on the data and delete rights (RIGHT_*): an open asking `rights` and
// sharing `shared` may stand beside an open that holds `held_rights` sharing `held_shared` when each
// shares all the other asks. An open that asks for none of the rights (attributes only) is never
// refused and refuses nobody.
constexpr bool may_open_beside(unsigned rights, unsigned shared, unsigned held_rights, unsigned held_shared) {
  return rights == 0 || held_rights == 0 || ((rights & ~held_shared) == 0 && (held_rights & ~shared) == 0);
}

// The rule as the lock bytes carry it (bit i stands for byte BASE + i): an open holds the bytes of
// what it has (1, 2, 3) and of what it does not share (4, 5, 6), and is refused when another open
// holds any byte of its conflicts: "does not share" of each right it asks, "has" of each right it
// does not share. may_open_beside holds exactly when the two sets do not meet.
unsigned held_bytes(unsigned rights, unsigned shared);
unsigned conflict_bytes(unsigned rights, unsigned shared);

// Takes the hold of an open descriptor for the rights it asks and the rights it shares:
// ERROR_SUCCESS, or ERROR_SHARING_VIOLATION when another open conflicts (nothing is then held).
// A file system that cannot lock is let through unchecked, and that is logged once per file system.
// The gate is always let go before the answer, never left to a close: a process that forks while
// it holds a descriptor shares its locks with the child, and a gate held so would keep every other
// open of the file out for as long as the child lives.
DWORD take(int fd, unsigned rights, unsigned shared, const std::string& native);

// What take would answer, without taking anything: the conflicts are looked for under the gate,
// so only opens that stand are seen, and nobody is refused by the look.
DWORD look(int fd, unsigned rights, unsigned shared, const std::string& native);

// True when another open holds the file with data or delete access.
bool held_by_others(int fd);

// The volume lock of a volume image: byte BASE + 16, held by at most one open file description
// (duplicates of a handle share it). ERROR_SUCCESS, or ERROR_ACCESS_DENIED while another holds it.
DWORD lock_volume(int fd);
void unlock_volume(int fd);

}  // namespace share_locks_n

#endif
