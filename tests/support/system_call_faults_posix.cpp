#include "support/system_call_faults.h"

#include "platform/win32/posix/system_calls.h"

#include <cerrno>

namespace test_support_n {

namespace {

scoped_faults_c* g_active = nullptr;

const posix_calls_n::table_s& real() { return posix_calls_n::real_calls(); }

// Fails the call (errno set, -1 returned) when a fault says so.
#define STATS_MNG_FAULT(call)                       \
  do {                                              \
    const int error = g_active->decide(call);       \
    if (error != 0) {                               \
      errno = error;                                \
      return -1;                                    \
    }                                               \
  } while (false)

int f_open(const char* p, int f, mode_t m) { STATS_MNG_FAULT(call_e::open); return real().open(p, f, m); }
int f_close(int fd) { STATS_MNG_FAULT(call_e::close); return real().close(fd); }
ssize_t f_read(int fd, void* b, size_t n) {
  STATS_MNG_FAULT(call_e::read);
  return real().read(fd, b, g_active->limit(call_e::read, n));
}
ssize_t f_pread(int fd, void* b, size_t n, off_t o) {
  STATS_MNG_FAULT(call_e::pread);
  return real().pread(fd, b, g_active->limit(call_e::pread, n), o);
}
ssize_t f_write(int fd, const void* b, size_t n) {
  STATS_MNG_FAULT(call_e::write);
  return real().write(fd, b, g_active->limit(call_e::write, n));
}
ssize_t f_pwrite(int fd, const void* b, size_t n, off_t o) {
  STATS_MNG_FAULT(call_e::pwrite);
  return real().pwrite(fd, b, g_active->limit(call_e::pwrite, n), o);
}
off_t f_lseek(int fd, off_t o, int w) { STATS_MNG_FAULT(call_e::lseek); return real().lseek(fd, o, w); }
int f_stat(const char* p, struct stat* s) { STATS_MNG_FAULT(call_e::stat); return real().stat(p, s); }
int f_lstat(const char* p, struct stat* s) { STATS_MNG_FAULT(call_e::lstat); return real().lstat(p, s); }
int f_fstat(int fd, struct stat* s) { STATS_MNG_FAULT(call_e::fstat); return real().fstat(fd, s); }
int f_access(const char* p, int m) { STATS_MNG_FAULT(call_e::access); return real().access(p, m); }
int f_flock(int fd, int op) { STATS_MNG_FAULT(call_e::flock); return real().flock(fd, op); }
int f_lock(int fd, int c, struct flock* r) { STATS_MNG_FAULT(call_e::lock); return real().lock(fd, c, r); }
int f_ftruncate(int fd, off_t l) { STATS_MNG_FAULT(call_e::ftruncate); return real().ftruncate(fd, l); }
int f_fsync(int fd) { STATS_MNG_FAULT(call_e::fsync); return real().fsync(fd); }
int f_rename(const char* a, const char* b) { STATS_MNG_FAULT(call_e::rename); return real().rename(a, b); }
int f_rename_noreplace(const char* a, const char* b) {
  STATS_MNG_FAULT(call_e::rename_noreplace);
  return real().rename_noreplace(a, b);
}
int f_unlink(const char* p) { STATS_MNG_FAULT(call_e::unlink); return real().unlink(p); }
int f_mkdir(const char* p, mode_t m) { STATS_MNG_FAULT(call_e::mkdir); return real().mkdir(p, m); }
int f_rmdir(const char* p) { STATS_MNG_FAULT(call_e::rmdir); return real().rmdir(p); }

#undef STATS_MNG_FAULT

const posix_calls_n::table_s k_faulty = {f_open,  f_close,  f_read,  f_pread,  f_write, f_pwrite, f_lseek,
                                         f_stat,  f_lstat,  f_fstat, f_access, f_flock, f_lock,   f_ftruncate,
                                         f_fsync, f_rename, f_rename_noreplace,     f_unlink, f_mkdir, f_rmdir};

const char* const k_names[] = {"open",  "close",     "read",  "pread",  "write",  "pwrite", "lseek",
                               "stat",  "lstat",     "fstat", "access", "flock",  "lock",   "ftruncate",
                               "fsync", "rename",    "rename_noreplace", "unlink", "mkdir", "rmdir"};
static_assert(sizeof k_names / sizeof k_names[0] == static_cast<size_t>(call_e::count_), "a name per call");

}  // namespace

const char* call_name(call_e call) { return k_names[static_cast<size_t>(call)]; }

scoped_faults_c::scoped_faults_c(std::vector<fault_s> faults) : m_faults(std::move(faults)), m_seen(m_faults.size()) {
  g_active = this;
  posix_calls_n::install_calls(&k_faulty);
}

scoped_faults_c::~scoped_faults_c() {
  posix_calls_n::install_calls(nullptr);
  g_active = nullptr;
}

unsigned scoped_faults_c::total() const {
  unsigned sum = 0;
  for (const auto& count : m_calls) sum += count.load();
  return sum;
}

std::string scoped_faults_c::summary() const {
  std::string text;
  for (size_t i = 0; i < static_cast<size_t>(call_e::count_); ++i) {
    if (m_calls[i].load() == 0) continue;
    if (!text.empty()) text += ", ";
    text += std::string(k_names[i]) + " " + std::to_string(m_calls[i].load());
  }
  return text.empty() ? "no calls" : text;
}

void scoped_faults_c::reset_counts() {
  for (auto& count : m_calls) count = 0;
  for (auto& count : m_failed) count = 0;
}

int scoped_faults_c::decide(call_e call) {
  ++m_calls[static_cast<size_t>(call)];
  for (size_t i = 0; i < m_faults.size(); ++i) {
    const fault_s& fault = m_faults[i];
    if (fault.call != call || fault.error == 0) continue;
    const int seen = m_seen[i]++;
    if (seen < fault.after) continue;
    if (fault.times >= 0 && seen - fault.after >= fault.times) continue;
    ++m_failed[static_cast<size_t>(call)];
    return fault.error;
  }
  return 0;
}

size_t scoped_faults_c::limit(call_e call, size_t size) const {
  for (const fault_s& fault : m_faults) {
    if (fault.call == call && fault.most_bytes != 0 && size > fault.most_bytes) size = fault.most_bytes;
  }
  return size;
}

}  // namespace test_support_n
