// Listing every scenario below a directory (stats-mng list): the directory walk alone, the walk with
// every scenario's questions answered, and the floor of those answers (per scenario: open, read and
// close the state file, open and close the lock file), bare and with the least share-mode check a
// reader makes (the state file's read registered and a denying holder looked for, the lock file
// looked at for a writer), for 100 to 10,000 scenarios. Compare them with
// --benchmark_repetitions=N --benchmark_enable_random_interleaving=true: medians of interleaved runs.
#include "stats_mng/scenario_list.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// One temporary tree per count, made once and removed at exit.
struct trees_s {
  std::map<int, std::string> roots;
  ~trees_s() {
    for (const auto& r : roots) {
      std::error_code ec;
      fs::remove_all(fs::path(r.second).parent_path(), ec);
    }
  }
} g_trees;

const std::string& tree_of(int count) {
  auto known = g_trees.roots.find(count);
  if (known != g_trees.roots.end()) return known->second;
  char pattern[] = "/tmp/list_bench_XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr) std::abort();
  const std::string root = std::string(made) + "/scenarios";
  for (int i = 0; i < count; ++i) {
    const std::string state = root + "/scenario_" + std::to_string(i) + "/.mw_zq_prefix";
    fs::create_directories(state);
    std::ofstream(state + "/stats.xml")
        << "<?xml version=\"1.0\"?>\n<Statistics>\n\t<Scenario HostIndex=\"1\" ScenarioID=\"" << i
        << "\" ScenarioName=\"s\" IsSyncReplicated=\"True\" State=\"Running\" IsSyncReplicatedTime=\"1700000000\"/>\n"
        << "</Statistics>\n";
    if (i % 2 == 0) std::ofstream(state + "/state.lock");
  }
  return g_trees.roots[count] = root;
}

std::vector<std::string> scenarios_below(const std::string& root) {
  scenario_lister_c lister;
  std::vector<std::string> found;
  std::string error;
  lister.find(root, 1, found, error);
  return found;
}

void BM_walk(benchmark::State& state) {
  const std::string& root = tree_of(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const std::vector<std::string> found = scenarios_below(root);
    if (found.size() != static_cast<size_t>(state.range(0))) state.SkipWithError("wrong count");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_list(benchmark::State& state) {
  const std::string& root = tree_of(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    scenario_lister_c lister;
    for (const std::string& dir : scenarios_below(root)) {
      scenario_report_s report = lister.read(dir);
      if (!report.read || report.state_index != STATE_RUNNING) state.SkipWithError("not read");
      benchmark::DoNotOptimize(report);
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same answers with the fewest system calls: the walk, then per scenario the state file read
// whole and the lock file opened and closed where there is one.
void BM_floor(benchmark::State& state) {
  const std::string& root = tree_of(static_cast<int>(state.range(0)));
  char buffer[4096];
  for (auto _ : state) {
    for (const std::string& dir : scenarios_below(root)) {
      const std::string state_dir = dir + "/.mw_zq_prefix";
      int fd = ::open((state_dir + "/stats.xml").c_str(), O_RDONLY);
      if (fd >= 0) {
        benchmark::DoNotOptimize(::read(fd, buffer, sizeof buffer));
        ::close(fd);
      }
      fd = ::open((state_dir + "/state.lock").c_str(), O_RDONLY);
      if (fd >= 0) ::close(fd);
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A lock of the reserved bytes far beyond any data the share modes are kept in (2^62 + first, count
// bytes): taken as a reader (take) or looked for in other opens (held_elsewhere).
constexpr off_t k_share_base = static_cast<off_t>(1) << 62;
bool share_lock(int fd, int command, short type, int first, int count, short* found = nullptr) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = k_share_base + first;
  fl.l_len = count;
  const bool ok = ::fcntl(fd, command, &fl) == 0;
  if (found != nullptr) *found = fl.l_type;
  return ok;
}
bool held_elsewhere(int fd, int first, int count) {
  short found = F_UNLCK;
  return share_lock(fd, F_OFD_GETLK, F_WRLCK, first, count, &found) && found != F_UNLCK;
}

// The floor with the share-mode check: per scenario the state file opened, its read registered
// (has read, 1) and a holder that does not share reading (4) looked for, read and closed; the lock
// file opened and looked at for a holder with write access (2), closed.
void BM_floor_share_checked(benchmark::State& state) {
  const std::string& root = tree_of(static_cast<int>(state.range(0)));
  char buffer[4096];
  for (auto _ : state) {
    for (const std::string& dir : scenarios_below(root)) {
      const std::string state_dir = dir + "/.mw_zq_prefix";
      int fd = ::open((state_dir + "/stats.xml").c_str(), O_RDONLY | O_CLOEXEC);
      if (fd >= 0) {
        const bool ok = share_lock(fd, F_OFD_SETLK, F_RDLCK, 1, 1) && !held_elsewhere(fd, 4, 1);
        if (ok) benchmark::DoNotOptimize(::read(fd, buffer, sizeof buffer));
        ::close(fd);
      }
      fd = ::open((state_dir + "/state.lock").c_str(), O_RDONLY | O_CLOEXEC);
      if (fd >= 0) {
        benchmark::DoNotOptimize(held_elsewhere(fd, 2, 1));
        ::close(fd);
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_floor_share_checked)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_walk)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_floor)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_list)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
