// Listing every scenario below a directory (stats-mng list): the directory walk alone, the walk with
// every scenario's questions answered, and the floor of those answers (per scenario: open, read and
// close the state file, open and close the lock file), for 100 to 10,000 scenarios.
#include "stats_mng/scenario_list.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
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

}  // namespace

BENCHMARK(BM_walk)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_floor)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_list)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
