// The system calls the POSIX layer makes, through one table. The layer calls `sys_calls()`; the table
// is the C library's unless a test installs another (to count the calls an operation makes, or to
// make one fail the way a full disk, a file system without locks or an interrupted call would).
#ifndef STATS_MNG_PLATFORM_WIN32_POSIX_SYSTEM_CALLS_H
#define STATS_MNG_PLATFORM_WIN32_POSIX_SYSTEM_CALLS_H

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace posix_calls_n {

struct table_s {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  ssize_t (*read)(int fd, void* buffer, size_t size);
  ssize_t (*pread)(int fd, void* buffer, size_t size, off_t offset);
  ssize_t (*write)(int fd, const void* buffer, size_t size);
  ssize_t (*pwrite)(int fd, const void* buffer, size_t size, off_t offset);
  off_t (*lseek)(int fd, off_t offset, int whence);
  int (*stat)(const char* path, struct stat* st);
  int (*lstat)(const char* path, struct stat* st);
  int (*fstat)(int fd, struct stat* st);
  int (*access)(const char* path, int mode);
  int (*flock)(int fd, int operation);
  // fcntl with a lock record: F_OFD_SETLK, F_OFD_GETLK.
  int (*lock)(int fd, int command, struct flock* record);
  int (*ftruncate)(int fd, off_t length);
  int (*fsync)(int fd);
  int (*rename)(const char* from, const char* to);
  // A rename that refuses to replace an existing target (EEXIST).
  int (*rename_noreplace)(const char* from, const char* to);
  int (*unlink)(const char* path);
  int (*mkdir)(const char* path, mode_t mode);
  int (*rmdir)(const char* path);
};

// The C library's calls.
const table_s& real_calls();

namespace detail {
extern std::atomic<const table_s*> g_current;
}

// The table in use.
inline const table_s& sys_calls() { return *detail::g_current.load(std::memory_order_acquire); }

// Puts `table` in use (the C library's for null) and returns the table it replaced. For tests: the
// table must outlive its use, and no other thread may be in the layer while it changes.
const table_s* install_calls(const table_s* table);

}  // namespace posix_calls_n

#endif
