#include "platform/win32/posix/system_calls.h"

#include <cstdio>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace posix_calls_n {

namespace {

int real_open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int real_lock(int fd, int command, struct flock* record) { return ::fcntl(fd, command, record); }
int real_stat(const char* path, struct stat* st) { return ::stat(path, st); }
int real_lstat(const char* path, struct stat* st) { return ::lstat(path, st); }
int real_fstat(int fd, struct stat* st) { return ::fstat(fd, st); }
int real_rename_noreplace(const char* from, const char* to) {
  return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
}

const table_s k_real = {real_open, ::close,     ::read,   ::pread,   ::write,
                        ::pwrite,  ::lseek,     real_stat, real_lstat, real_fstat,
                        ::access,  ::flock,     real_lock, ::ftruncate, ::fsync,
                        ::rename,  real_rename_noreplace, ::unlink, ::mkdir, ::rmdir};

}  // namespace

namespace detail {
std::atomic<const table_s*> g_current{&k_real};
}

const table_s& real_calls() { return k_real; }

const table_s* install_calls(const table_s* table) {
  return detail::g_current.exchange(table != nullptr ? table : &k_real, std::memory_order_acq_rel);
}

}  // namespace posix_calls_n
