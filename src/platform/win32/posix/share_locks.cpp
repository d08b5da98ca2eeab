#include "platform/win32/posix/share_locks.h"

#include "platform/trc/zqtr.h"
#include "platform/win32/posix/system_calls.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

using posix_calls_n::sys_calls;

namespace share_locks_n {

namespace {

constexpr off_t k_base = static_cast<off_t>(1) << 62;
constexpr unsigned k_has = 1;  // + 0, 1, 2 for read, write, delete
constexpr unsigned k_does_not_share = 4;

void unlock_all(int fd) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = k_base + k_has;
  fl.l_len = 6;
  sys_calls().lock(fd, F_OFD_SETLK, &fl);
}

// The gate: exclusive, retried for about two seconds. Every holder keeps it for a few system calls
// only, so a gate not won by then means something is wrong; that is an error of its own, not a
// sharing violation (which would say a holder of the file refuses us).
int take_gate(int fd) {
  long waited_us = 0;
  for (int attempt = 0;; ++attempt) {
    if (sys_calls().flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
    if (errno != EWOULDBLOCK && errno != EINTR) return errno;
    if (waited_us >= 2000000) return ETIMEDOUT;
    const long pause_us = attempt < 100 ? 100 : 1000;  // 0.1 ms at first, then 1 ms
    struct timespec pause = {0, pause_us * 1000};
    ::nanosleep(&pause, nullptr);
    waited_us += pause_us;
  }
}

// The error an open reports for a gate it could not take.
DWORD gate_error(int error) { return error == ETIMEDOUT ? ERROR_TIMEOUT : ERROR_SHARING_VIOLATION; }

bool cannot_lock(int error) {
  return error == ENOLCK || error == EIO || error == ENOTSUP || error == EOPNOTSUPP || error == EINVAL ||
         error == EBADF;
}

// Files on a file system that cannot lock are opened without share checks; said once per file system.
void report_unlockable(int fd, const std::string& native, int error) {
  static std::mutex mutex;
  static std::set<dev_t> reported;
  struct stat st;
  dev_t device = sys_calls().fstat(fd, &st) == 0 ? st.st_dev : 0;
  std::lock_guard<std::mutex> guard(mutex);
  if (!reported.insert(device).second) return;
  ZQTR_SCOPE(tr, "CreateFileW", "win32_posix");
  tr.print(8, __LINE__, "Share modes are not enforced for %s: its file system cannot lock (%s)\n", native.c_str(),
           std::strerror(error));
}

}  // namespace

DWORD expand_access(DWORD access) {
  if (access & GENERIC_ALL) access |= FILE_ALL_ACCESS;
  if (access & GENERIC_READ) access |= FILE_GENERIC_READ;
  if (access & GENERIC_WRITE) access |= FILE_GENERIC_WRITE;
  if (access & GENERIC_EXECUTE) access |= FILE_GENERIC_EXECUTE;
  return access & ~static_cast<DWORD>(GENERIC_ALL | GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE);
}

unsigned rights_of(DWORD access) {
  access = expand_access(access);
  unsigned rights = 0;
  if (access & (FILE_READ_DATA | FILE_EXECUTE)) rights |= RIGHT_READ;
  if (access & (FILE_WRITE_DATA | FILE_APPEND_DATA)) rights |= RIGHT_WRITE;
  if (access & DELETE) rights |= RIGHT_DELETE;
  return rights;
}

unsigned shared_of(DWORD share) {
  unsigned shared = 0;
  if (share & FILE_SHARE_READ) shared |= RIGHT_READ;
  if (share & FILE_SHARE_WRITE) shared |= RIGHT_WRITE;
  if (share & FILE_SHARE_DELETE) shared |= RIGHT_DELETE;
  return shared;
}

namespace {

// Calls fcntl(command) with a record of `type` for each run of adjacent bytes BASE + i (bit i of
// `bytes`); stops at the first failure (returns errno) or, for F_OFD_GETLK, at the first run that
// another open holds (held becomes true).
int for_each_run(int fd, unsigned bytes, int command, short type, bool* held) {
  for (unsigned i = 1; i <= 6; ++i) {
    if (!(bytes & (1u << i))) continue;
    unsigned j = i;
    while (j + 1 <= 6 && (bytes & (1u << (j + 1)))) ++j;
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = k_base + static_cast<off_t>(i);
    fl.l_len = static_cast<off_t>(j - i + 1);
    int rc;
    do {
      rc = sys_calls().lock(fd, command, &fl);  // never waits; an interrupted call is simply asked again
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return errno;
    if (held != nullptr && fl.l_type != F_UNLCK) {
      *held = true;
      return 0;
    }
    i = j;
  }
  return 0;
}

int lock_runs(int fd, unsigned bytes) { return for_each_run(fd, bytes, F_OFD_SETLK, F_RDLCK, nullptr); }

// True when another open file description holds any of the bytes.
bool runs_held_elsewhere(int fd, unsigned bytes, int& error) {
  bool held = false;
  error = for_each_run(fd, bytes, F_OFD_GETLK, F_WRLCK, &held);
  return held;
}

}  // namespace

unsigned held_bytes(unsigned rights, unsigned shared) {
  unsigned bytes = 0;
  for (unsigned i = 0; i < 3; ++i) {
    const unsigned right = 1u << i;
    if (rights & right) bytes |= 1u << (k_has + i);
    if (!(shared & right)) bytes |= 1u << (k_does_not_share + i);
  }
  return bytes;
}

unsigned conflict_bytes(unsigned rights, unsigned shared) {
  unsigned bytes = 0;
  for (unsigned i = 0; i < 3; ++i) {
    const unsigned right = 1u << i;
    if (rights & right) bytes |= 1u << (k_does_not_share + i);  // what I ask every other open must share
    if (!(shared & right)) bytes |= 1u << (k_has + i);          // what I do not share nobody else may have
  }
  return bytes;
}

DWORD take(int fd, unsigned rights, unsigned shared, const std::string& native) {
  if (rights == 0) return ERROR_SUCCESS;  // an attributes-only open is not checked and takes nothing
  // Every open decides under the gate, taking its bytes and looking for conflicts there, so what
  // one sees is only the bytes of opens that stand. (Deciding outside it is cheaper but lets an open
  // that is about to be refused itself refuse a third that should stand.)
  int error = take_gate(fd);
  if (error != 0) {
    if (cannot_lock(error)) {
      report_unlockable(fd, native, error);
      return ERROR_SUCCESS;
    }
    return gate_error(error);
  }
  const unsigned mine = held_bytes(rights, shared);
  const unsigned conflicts = conflict_bytes(rights, shared);
  DWORD result = ERROR_SUCCESS;
  error = lock_runs(fd, mine);
  if (error == 0 && runs_held_elsewhere(fd, conflicts, error)) result = ERROR_SHARING_VIOLATION;
  if (error != 0 || result != ERROR_SUCCESS) unlock_all(fd);
  sys_calls().flock(fd, LOCK_UN);
  if (error != 0) {
    if (cannot_lock(error)) {
      report_unlockable(fd, native, error);
      return ERROR_SUCCESS;
    }
    return ERROR_SHARING_VIOLATION;
  }
  return result;
}

DWORD look(int fd, unsigned rights, unsigned shared, const std::string& native) {
  if (rights == 0) return ERROR_SUCCESS;
  int error = take_gate(fd);
  if (error == 0) {
    const bool refused = runs_held_elsewhere(fd, conflict_bytes(rights, shared), error);
    sys_calls().flock(fd, LOCK_UN);
    if (error == 0) return refused ? ERROR_SHARING_VIOLATION : ERROR_SUCCESS;
  }
  if (cannot_lock(error)) {
    report_unlockable(fd, native, error);
    return ERROR_SUCCESS;
  }
  return gate_error(error);
}

bool held_by_others(int fd) {
  int error = 0;
  return runs_held_elsewhere(fd, (1u << (k_has + 0)) | (1u << (k_has + 1)) | (1u << (k_has + 2)), error);
}

namespace {

constexpr off_t k_volume_lock = k_base + 16;

int volume_lock_call(int fd, int command, short type) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = k_volume_lock;
  fl.l_len = 1;
  if (sys_calls().lock(fd, command, &fl) != 0) return -1;
  return command == F_OFD_GETLK ? (fl.l_type == F_UNLCK ? 0 : 1) : 0;
}

}  // namespace

DWORD lock_volume(int fd) {
  if (take_gate(fd) != 0) return ERROR_ACCESS_DENIED;
  DWORD result = ERROR_SUCCESS;
  // Only read locks (a volume may be open for reading only); another holder shows in the test.
  if (volume_lock_call(fd, F_OFD_GETLK, F_WRLCK) != 0 || volume_lock_call(fd, F_OFD_SETLK, F_RDLCK) != 0) {
    result = ERROR_ACCESS_DENIED;
  }
  sys_calls().flock(fd, LOCK_UN);
  return result;
}

void unlock_volume(int fd) { volume_lock_call(fd, F_OFD_SETLK, F_UNLCK); }

}  // namespace share_locks_n
