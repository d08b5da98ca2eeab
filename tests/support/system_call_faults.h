// The POSIX layer's system calls under a test's control: every call counted, chosen calls failing
// with a chosen error (a number of times, after a number of successes), reads and writes cut short.
// One scoped_faults_c at a time; it puts the C library's calls back when it ends.
#ifndef STATS_MNG_TESTS_SUPPORT_SYSTEM_CALL_FAULTS_H
#define STATS_MNG_TESTS_SUPPORT_SYSTEM_CALL_FAULTS_H

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace test_support_n {

enum class call_e {
  open, close, read, pread, write, pwrite, lseek, stat, lstat, fstat, access, flock, lock, ftruncate, fsync,
  rename, rename_noreplace, unlink, mkdir, rmdir, count_
};

const char* call_name(call_e call);

struct fault_s {
  call_e call;
  int error = 0;             // errno of the failure (0: the call is not failed, only cut short)
  int times = -1;            // how many calls fail (-1: all)
  int after = 0;             // successes let through first
  size_t most_bytes = 0;     // read, pread, write, pwrite: at most this many bytes per call (0: no limit)
};

class scoped_faults_c {
 public:
  explicit scoped_faults_c(std::vector<fault_s> faults = {});
  ~scoped_faults_c();
  scoped_faults_c(const scoped_faults_c&) = delete;
  scoped_faults_c& operator=(const scoped_faults_c&) = delete;

  unsigned calls(call_e call) const { return m_calls[static_cast<size_t>(call)].load(); }
  unsigned failed(call_e call) const { return m_failed[static_cast<size_t>(call)].load(); }
  unsigned total() const;
  // The counts as text ("open 2, fstat 2, ..."), for failure messages.
  std::string summary() const;
  void reset_counts();

  // For the wrappers: the errno a call is to fail with (0: let it through), counting it.
  int decide(call_e call);
  size_t limit(call_e call, size_t size) const;

 private:
  std::vector<fault_s> m_faults;
  std::vector<std::atomic<int>> m_seen;  // per fault: calls it has looked at
  std::atomic<unsigned> m_calls[static_cast<size_t>(call_e::count_)] = {};
  std::atomic<unsigned> m_failed[static_cast<size_t>(call_e::count_)] = {};
};

}  // namespace test_support_n

#endif
