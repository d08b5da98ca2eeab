// The three query exports against the system calls the same work needs at the least, side by side:
// - is_engine_active_for_scenario: the bare floor (stat of the scenario and state directories, open
//   of the lock file, one lock test, close), and the older, fuller one: the lock file opened and
//   closed as reader and as writer with the whole share-mode check of the lock protocol;
// - get_scenario_state_index and is_sync_replicated: stat of the directory, then open, read and
//   close of both state files (the scenario's own and its parent directory's); and that floor with
//   the least share-mode check per file (a read registered, a denying holder looked for).
// And a state write (load, change, replace) beside the writer lock it now runs under, taken and let
// go alone: what the lock adds to each write.
#include "file/writer_lock.h"
#include "stats_mng/stats_mng.h"
#include "stats_mng/stats_saver.h"
#include "stats_mng/stats_saver_lock.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr off_t k_base = static_cast<off_t>(1) << 62;

class scenario_c {
 public:
  scenario_c() {
    if (mkdtemp(m_dir) == nullptr) return;
    m_lock = std::string(m_dir) + "/.mw_zq_prefix/state.lock";
    {
      stats_saver_lock_c prepare(m_dir);
      prepare.lock(true);  // creates the lock file
    }
    m_child = std::string(m_dir) + "/7";
    ::mkdir(m_child.c_str(), 0755);
    stats_saver_ex_c own(nullptr, 7, m_child.c_str(), ".mw_zq_prefix", "bench", false);
    own.set_sync_state(1, true, 200);
    stats_saver_ex_c parent(nullptr, 1, m_dir, ".mw_zq_prefix", "bench", false);
    parent.set_sync_state(1, false, 100);
  }
  ~scenario_c() {
    std::remove((m_child + "/.mw_zq_prefix/stats.xml").c_str());
    ::rmdir((m_child + "/.mw_zq_prefix").c_str());
    ::rmdir(m_child.c_str());
    std::remove((std::string(m_dir) + "/.mw_zq_prefix/stats.xml").c_str());
    std::remove(m_lock.c_str());
    ::rmdir((std::string(m_dir) + "/.mw_zq_prefix").c_str());
    ::rmdir(m_dir);
  }
  const char* dir() const { return m_dir; }
  std::string state_dir() const { return std::string(m_dir) + "/.mw_zq_prefix"; }
  const std::string& lock() const { return m_lock; }
  // A scenario below this one: its own state file and the parent's.
  const std::string& child() const { return m_child; }
  std::string child_state() const { return m_child + "/.mw_zq_prefix/stats.xml"; }
  std::string parent_state() const { return std::string(m_dir) + "/.mw_zq_prefix/stats.xml"; }

 private:
  char m_dir[32] = "/tmp/engine_bench_XXXXXX";
  std::string m_lock;
  std::string m_child;
};

// Read locks on [BASE+first, BASE+first+count).
bool take(int fd, int first, int count) {
  struct flock fl = {};
  fl.l_type = F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = k_base + first;
  fl.l_len = count;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// True when nobody else holds a lock in [BASE+first, BASE+first+count).
bool free_of_others(int fd, int first, int count) {
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = k_base + first;
  fl.l_len = count;
  return ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type == F_UNLCK;
}

bool floor_open(const std::string& path, bool writer) {
  int fd = ::open(path.c_str(), (writer ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (writer) {
    // has read + write (1..2), does not share write + delete (5..6); nobody may deny read or
    // write (4..5) nor hold write or delete (2..3).
    ok = ok && take(fd, 1, 2) && take(fd, 5, 2) && free_of_others(fd, 4, 2) && free_of_others(fd, 2, 2);
  } else {
    ok = ok && take(fd, 1, 1) && free_of_others(fd, 4, 1);
  }
  ::flock(fd, LOCK_UN);
  if (ok && writer) ok = ::ftruncate(fd, 0) == 0;
  ::close(fd);
  return ok;
}

void BM_engine_question_syscall_floor(benchmark::State& state) {
  scenario_c scenario;
  for (auto _ : state) {
    struct stat st;
    bool ok = ::stat(scenario.dir(), &st) == 0 && ::stat(scenario.state_dir().c_str(), &st) == 0 &&
              ::access(scenario.lock().c_str(), F_OK) == 0 && floor_open(scenario.lock(), false) &&
              floor_open(scenario.lock(), true);
    benchmark::DoNotOptimize(ok);
  }
}
BENCHMARK(BM_engine_question_syscall_floor);

// The bare minimum of the engine question: stat of the scenario and state directories, open of the
// lock file, one lock test, close.
void BM_engine_question_bare_floor(benchmark::State& state) {
  scenario_c scenario;
  for (auto _ : state) {
    struct stat st;
    bool ok = ::stat(scenario.dir(), &st) == 0 && ::stat(scenario.state_dir().c_str(), &st) == 0;
    int fd = ok ? ::open(scenario.lock().c_str(), O_RDONLY | O_CLOEXEC) : -1;
    ok = fd >= 0 && free_of_others(fd, 2, 3);
    if (fd >= 0) ::close(fd);
    benchmark::DoNotOptimize(ok);
  }
}
BENCHMARK(BM_engine_question_bare_floor);

void BM_is_engine_active_for_scenario(benchmark::State& state) {
  scenario_c scenario;
  for (auto _ : state) {
    bool active = is_engine_active_for_scenario(scenario.dir());
    if (active) {
      state.SkipWithError("nobody holds the scenario, yet it was reported active");
      break;
    }
    benchmark::DoNotOptimize(active);
  }
}
BENCHMARK(BM_is_engine_active_for_scenario);

bool read_whole(const std::string& path, char* buffer, size_t size) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ssize_t n = ::read(fd, buffer, size);
  ::close(fd);
  return n > 0;
}

void BM_state_query_syscall_floor(benchmark::State& state) {
  scenario_c scenario;
  char buffer[4096];
  for (auto _ : state) {
    struct stat st;
    bool ok = ::stat(scenario.child().c_str(), &st) == 0 && read_whole(scenario.child_state(), buffer, sizeof buffer) &&
              read_whole(scenario.parent_state(), buffer, sizeof buffer);
    benchmark::DoNotOptimize(ok);
  }
}
BENCHMARK(BM_state_query_syscall_floor);

// The least a reader that honours share modes can do more than the floor: per state file, register
// its read and test for a holder that denies reading (no gate, no look at the file's kind first).
bool read_whole_share_checked(const std::string& path, char* buffer, size_t size) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = take(fd, 1, 1) && free_of_others(fd, 4, 1);
  ok = ok && ::read(fd, buffer, size) > 0;
  ::close(fd);
  return ok;
}

void BM_state_query_share_check_floor(benchmark::State& state) {
  scenario_c scenario;
  char buffer[4096];
  for (auto _ : state) {
    struct stat st;
    bool ok = ::stat(scenario.child().c_str(), &st) == 0 &&
              read_whole_share_checked(scenario.child_state(), buffer, sizeof buffer) &&
              read_whole_share_checked(scenario.parent_state(), buffer, sizeof buffer);
    benchmark::DoNotOptimize(ok);
  }
}
BENCHMARK(BM_state_query_share_check_floor);

void BM_get_scenario_state_index(benchmark::State& state) {
  scenario_c scenario;
  for (auto _ : state) {
    unsigned index = 99;
    if (!get_scenario_state_index(scenario.child().c_str(), &index) || index != 0) {
      state.SkipWithError("the recorded state was not read");
      break;
    }
  }
}
BENCHMARK(BM_get_scenario_state_index);

void BM_is_sync_replicated(benchmark::State& state) {
  scenario_c scenario;
  for (auto _ : state) {
    if (!is_sync_replicated(scenario.child().c_str())) {
      state.SkipWithError("the recorded value was not read");
      break;
    }
  }
}
BENCHMARK(BM_is_sync_replicated);

}  // namespace

// A state write as an engine makes it: the writer lock, the load, the change and the replacement.
void BM_state_write(benchmark::State& state) {
  scenario_c scenario;
  stats_saver_ex_c saver(nullptr, 7, scenario.child().c_str(), ".mw_zq_prefix", "bench", false);
  bool running = false;
  for (auto _ : state) {
    running = !running;
    if (!saver.set_state(1, running)) state.SkipWithError("the state write failed");
  }
}
BENCHMARK(BM_state_write);

// The writer lock alone, taken and let go (made and removed: it is deleted on close).
void BM_writer_lock_take_and_release(benchmark::State& state) {
  scenario_c scenario;
  const std::string file = scenario.child_state();
  for (auto _ : state) {
    file_writer_lock_c lock;
    if (!lock.acquire(file.c_str(), 0)) state.SkipWithError("the lock was refused");
  }
}
BENCHMARK(BM_writer_lock_take_and_release);

BENCHMARK_MAIN();
