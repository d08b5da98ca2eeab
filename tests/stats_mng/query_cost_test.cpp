// What a query costs, counted rather than timed: the heap allocations each export makes (every
// target) and the system calls it makes through the platform layer (POSIX), against budgets a
// little above today's figures, so that a change that makes the queries dearer shows here.
#include "stats_mng/stats_mng.h"
#include "stats_mng/stats_saver.h"
#include "stats_mng/stats_saver_lock.h"

#include "platform/win32/win32_api.h"
#include "xmc/generic_conf.h"
#include "support/temp_dir.h"
#include "support/test_files.h"
#include "support/trace_capture.h"
#ifndef _WIN32
#include "support/system_call_faults.h"
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

// The allocations of this test program, counted while a case asks for it.
namespace {
std::atomic<bool> g_counting{false};
std::atomic<unsigned> g_allocations{0};

void* counted_allocation(size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace

void* operator new(size_t size) { return counted_allocation(size); }
void* operator new[](size_t size) { return counted_allocation(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return counted_allocation(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

using namespace test_support_n;

namespace {

class query_cost_test : public temp_dir_test {
 protected:
  void SetUp() override {
    // A scenario below another, both with a state file, and the lock file an engine leaves.
    m_scenario = m_dir.file("Scen");
    CreateDirectoryW(wide(m_scenario).c_str(), nullptr);
    ASSERT_TRUE(stats_saver_ex_c(nullptr, 7, m_scenario.c_str(), ".mw_zq_prefix", "S", false).set_sync_state(1, true, 200));
    ASSERT_TRUE(stats_saver_ex_c(nullptr, 1, m_dir.path().c_str(), ".mw_zq_prefix", "P", false).set_sync_state(1, false, 100));
    stats_saver_lock_c engine(m_scenario.c_str());
    ASSERT_TRUE(engine.lock(true));
  }

  struct query_s {
    const char* name;
    bool (*ask)(const std::string& dir);
    unsigned most_allocations;
    unsigned most_system_calls;
  };
  static const query_s* queries(size_t& count);

  std::string m_scenario;
  trace_reset_c m_trace;
};

bool ask_state(const std::string& dir) {
  unsigned index = 99;
  return get_scenario_state_index(dir.c_str(), &index) && index == STATE_RUNNING;
}
bool ask_synced(const std::string& dir) { return is_sync_replicated(dir.c_str()); }
bool ask_engine(const std::string& dir) { return !is_engine_active_for_scenario(dir.c_str()); }

// Today's figures: natively 2, 2 and 1 allocations (the POSIX layer's path made native per open);
// the Windows build none at all: the state files' bytes are read into the stack and scanned in
// place, and every path is made there. 18, 18 and 7 system calls (POSIX): per state file the look
// at what the name is, the open, the look at what it opened, the share-mode check (the gate, take,
// look, the gate let go), one read that brings less than it asked, and the close (the own file's
// look answers for the directory); for the engine the probe's look at the name, open, look at what
// it opened, the gate, a look for a holder that refuses a reader (taking nothing), the gate let go
// and the close.
#ifdef _WIN32
constexpr unsigned k_state_allocations = 0, k_engine_allocations = 0;
#else
constexpr unsigned k_state_allocations = 2, k_engine_allocations = 1;
#endif
const query_cost_test::query_s* query_cost_test::queries(size_t& count) {
  static const query_s k_queries[] = {
      {"get_scenario_state_index", ask_state, k_state_allocations, 18},
      {"is_sync_replicated", ask_synced, k_state_allocations, 18},
      {"is_engine_active_for_scenario", ask_engine, k_engine_allocations, 7},
  };
  count = sizeof k_queries / sizeof k_queries[0];
  return k_queries;
}

TEST_F(query_cost_test, allocations_per_query) {
  // The counter counts (a query may well allocate nothing).
  g_allocations = 0;
  g_counting = true;
  delete new int(1);
  g_counting = false;
  ASSERT_EQ(g_allocations.load(), 1u);
  size_t count = 0;
  const query_s* all = queries(count);
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(all[i].name);
    ASSERT_TRUE(all[i].ask(m_scenario));  // once before: what is made once per process is not counted
    g_allocations = 0;
    g_counting = true;
    const bool answered = all[i].ask(m_scenario);
    g_counting = false;
    EXPECT_TRUE(answered);
    const unsigned made = g_allocations.load();
    EXPECT_LE(made, all[i].most_allocations);
    std::printf("%s: %u allocations\n", all[i].name, made);
  }
}

// What a caller pays before its first query: the configurator built while the library loads. Its
// template's items, their attribute lists and their attributes (1,178 items, 3,583 attributes) are
// made in the configurator's own arena, so the build makes fewer heap allocations than the template
// has items; so are the texts longer than a value keeps inside. Today's figure: 134 (459 while
// those texts had buffers of their own, 616 while the object check made a list of findings for
// each object, 6,557 with each item, list and attribute its own): the host and root-directory
// trees, the checks' findings, the arena's blocks.
TEST(configurator_build_cost_test, allocations_of_a_build) {
  ASSERT_NE(generic_conf_instance, nullptr);  // once before: what is made once per process is not counted
  g_allocations = 0;
  g_counting = true;
  generic_conf_c* conf = generic_conf_c::build();
  g_counting = false;
  ASSERT_NE(conf, nullptr);
  const unsigned made = g_allocations.load();
  size_t items = 0, attributes = 0;
  for (xml_item_c* at = conf->tree()->root; at != nullptr; at = xmc_item_c::walk_next(at, conf->tree()->root, true)) {
    ++items;
    attributes += at->attr_count();
  }
  delete conf;
  EXPECT_GT(items, 1000u);
  EXPECT_GT(attributes, 3000u);
  EXPECT_LT(made, items);
  EXPECT_LE(made, 150u);
  std::printf("configurator build: %u allocations for %zu items and %zu attributes\n", made, items, attributes);
}

#ifndef _WIN32
TEST_F(query_cost_test, system_calls_per_query) {
  size_t count = 0;
  const query_s* all = queries(count);
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(all[i].name);
    ASSERT_TRUE(all[i].ask(m_scenario));
    scoped_faults_c counter;
    EXPECT_TRUE(all[i].ask(m_scenario));
    EXPECT_LE(counter.total(), all[i].most_system_calls) << counter.summary();
    std::printf("%s: %u system calls (%s)\n", all[i].name, counter.total(), counter.summary().c_str());
  }
}
#endif

}  // namespace
