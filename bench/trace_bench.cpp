// The cost of tracing: a scope and a print on a level nobody wants, against one that is written.
#include "platform/trc/zqtr.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace {

// Counts allocations, to show that a disabled level allocates nothing.
size_t g_allocations = 0;

}  // namespace

void* operator new(size_t size) {
  ++g_allocations;
  void* p = std::malloc(size ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

int traced_operation(int value) {
  ZQTR_SCOPE(tr, "bench_n::traced_operation", "trace_bench");
  tr.print(ZQTR_DETAIL, __LINE__, "value %d of %s at %I64d\n", value, "bench", static_cast<long long>(value) * 3);
  return value + 1;
}

void BM_disabled_scope_and_print_no_log(benchmark::State& state) {
  zqtr_reset();
  size_t before = g_allocations;
  int v = 0;
  for (auto _ : state) benchmark::DoNotOptimize(v = traced_operation(v));
  state.counters["allocs/iter"] = benchmark::Counter(static_cast<double>(g_allocations - before),
                                                     benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_disabled_scope_and_print_no_log);

// A log in a temporary directory for the length of one benchmark, with the given settings.
class temporary_log_c {
 public:
  explicit temporary_log_c(const std::string& settings) {
    zqtr_reset();
    if (mkdtemp(m_dir) == nullptr) return;
    int64_t len = 0;
    zqtr_set_log_directory(nullptr, len, m_dir, "stats_mng.dll", false);
    std::string text = settings;
    len = static_cast<int64_t>(text.size());
    if (!text.empty()) zqtr_reparse_file(&text[0], len, nullptr);
    m_ok = true;
  }
  ~temporary_log_c() {
    zqtr_reset();
    if (!m_ok) return;
    std::string log = std::string(m_dir) + "/stats_mng.log";
    std::remove(log.c_str());
    std::remove(m_dir);
  }
  bool ok() const { return m_ok; }

 private:
  char m_dir[32] = "/tmp/trace_bench_XXXXXX";
  bool m_ok = false;
};

// A log directory is set, but its levels leave out the level printed.
void BM_disabled_scope_and_print_with_log(benchmark::State& state) {
  temporary_log_c log("");
  if (!log.ok()) return state.SkipWithError("no temporary directory");
  size_t before = g_allocations;
  int v = 0;
  for (auto _ : state) benchmark::DoNotOptimize(v = traced_operation(v));
  state.counters["allocs/iter"] = benchmark::Counter(static_cast<double>(g_allocations - before),
                                                     benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_disabled_scope_and_print_with_log);

// For scale: the same print written to the log.
void BM_enabled_print_to_log(benchmark::State& state) {
  temporary_log_c log("levels = detail\nmax_size = 0\n");
  if (!log.ok()) return state.SkipWithError("no temporary directory");
  int v = 0;
  for (auto _ : state) benchmark::DoNotOptimize(v = traced_operation(v));
}
BENCHMARK(BM_enabled_print_to_log);

}  // namespace

BENCHMARK_MAIN();
