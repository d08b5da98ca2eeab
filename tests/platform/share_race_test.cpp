// Share modes between processes racing for one file: writers that share reading only, an open that
// shares nothing, readers that share everything and probes that share reading only, all opening
// and closing at once. The writers count in the file itself (read, add one, write back while
// holding it): a lost count means two writers were let in together; a probe sees the count change
// under it only if a writer stood beside it. Either would break the Windows rule.
#include "platform/win32/win32_api.h"

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace test_support_n;

namespace {

constexpr int k_attempts = 400;

struct role_s {
  const char* name;
  DWORD access;
  DWORD share;
  bool counts;  // adds one to the file's count while it holds it
};

const role_s k_roles[] = {
    {"writer", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, true},
    {"exclusive", GENERIC_READ | GENERIC_WRITE, 0, true},
    {"reader", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false},
    {"probe", GENERIC_READ, FILE_SHARE_READ, false},
};

bool read_count(HANDLE h, long& count) {
  char text[16] = {};
  DWORD got = 0;
  if (SetFilePointer(h, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
  if (!ReadFile(h, text, 8, &got, nullptr) || got != 8) return false;
  count = std::strtol(text, nullptr, 10);
  return true;
}

bool write_count(HANDLE h, long count) {
  char text[32];
  std::snprintf(text, sizeof text, "%08ld", count % 100000000);
  DWORD put = 0;
  if (SetFilePointer(h, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
  return WriteFile(h, text, 8, &put, nullptr) && put == 8;
}

}  // namespace

// args: file, role index, result file, go file. Writes "successes refusals violations".
TEST_CHILD_ROLE(share_racer) {
  if (args.size() != 4) return 2;
  const role_s& role = k_roles[std::atoi(args[1].c_str())];
  write_text_file(args[2] + ".ready", "");
  if (!wait_for_file(args[3])) return 3;
  long successes = 0, refusals = 0, violations = 0;
  // At least k_attempts, and on until this role has got in a few times (for at most 20 seconds).
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (int attempt = 0; attempt < k_attempts || (successes < 20 && std::chrono::steady_clock::now() < give_up);
       ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
    HANDLE h = CreateFileW(wide(args[0]).c_str(), role.access, role.share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() != ERROR_SHARING_VIOLATION) return 4;
      ++refusals;
      continue;
    }
    long count = 0, again = 0;
    if (!read_count(h, count)) return 5;
    std::this_thread::yield();
    if (role.counts) {
      if (!write_count(h, count + 1)) return 6;
    } else if (role.share == FILE_SHARE_READ) {
      // Nobody may write beside an open that does not share writing.
      std::this_thread::yield();
      if (!read_count(h, again)) return 5;
      if (again != count) ++violations;
    }
    CloseHandle(h);
    ++successes;
  }
  write_text_file(args[2], std::to_string(successes) + " " + std::to_string(refusals) + " " +
                               std::to_string(violations));
  return 0;
}

TEST(share_race_test, racing_processes_keep_the_windows_rule) {
  temp_dir_c dir;
  const std::string file = dir.file("race.bin");
  write_text_file(file, "00000000");
  const std::string go = dir.file("go");
  // Two of each role, started together.
  std::vector<std::unique_ptr<child_process_c>> children;
  std::vector<std::string> results;
  for (int copy = 0; copy < 2; ++copy) {
    for (size_t r = 0; r < sizeof k_roles / sizeof k_roles[0]; ++r) {
      results.push_back(dir.file(std::string(k_roles[r].name) + std::to_string(copy)));
      children.emplace_back(new child_process_c("share_racer", {file, std::to_string(r), results.back(), go}));
      ASSERT_TRUE(children.back()->started());
    }
  }
  for (const std::string& result : results) ASSERT_TRUE(wait_for_file(result + ".ready"));
  write_text_file(go, "");
  for (auto& child : children) EXPECT_EQ(child->wait(), 0);

  long counted = 0, all_refusals = 0;
  for (size_t i = 0; i < results.size(); ++i) {
    const role_s& role = k_roles[i % (sizeof k_roles / sizeof k_roles[0])];
    SCOPED_TRACE(results[i]);
    long successes = -1, refusals = -1, violations = -1;
    ASSERT_EQ(std::sscanf(read_text_file(results[i]).c_str(), "%ld %ld %ld", &successes, &refusals, &violations), 3);
    EXPECT_GE(successes + refusals, k_attempts);
    EXPECT_GE(successes, 20) << "every open gets in at times";
    EXPECT_EQ(violations, 0) << "a writer stood beside an open that does not share writing";
    if (role.counts) counted += successes;
    all_refusals += refusals;
  }
  long count = 0;
  HANDLE h = CreateFileW(wide(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(read_count(h, count));
  CloseHandle(h);
  EXPECT_EQ(count, counted) << "two writers were let in together";
  EXPECT_GT(all_refusals, 0) << "the opens never met: the race was not run";
}

// A probe (reading, sharing reading) stands; writers that share reading try again and again, and
// so do more probes. Every writer must be refused (the probe does not share writing) and no probe
// ever (probes share with probes): a writer's refused attempt must never refuse a probe beside it.
TEST(share_race_test, refused_writers_never_refuse_probes) {
  temp_dir_c dir;
  const std::string file = dir.file("lock");
  write_text_file(file, "");
  const std::wstring name = wide(file);
  HANDLE standing = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(standing, INVALID_HANDLE_VALUE);
  std::atomic<bool> stop{false};
  std::atomic<long> writers_in{0}, probes_refused{0}, probes_in{0}, other_errors{0};
  auto writer = [&] {
    while (!stop) {
      HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        ++writers_in;
        CloseHandle(h);
      } else if (GetLastError() != ERROR_SHARING_VIOLATION) {
        ++other_errors;
      }
    }
  };
  auto probe = [&] {
    while (!stop) {
      HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        ++probes_in;
        CloseHandle(h);
      } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
        ++probes_refused;
      } else {
        ++other_errors;
      }
    }
  };
  std::vector<std::thread> threads;
  threads.emplace_back(writer);
  threads.emplace_back(writer);
  threads.emplace_back(probe);
  threads.emplace_back(probe);
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  stop = true;
  for (auto& t : threads) t.join();
  CloseHandle(standing);
  EXPECT_EQ(writers_in.load(), 0) << "a writer stood beside a probe that does not share writing";
  EXPECT_EQ(probes_refused.load(), 0) << "a probe was refused with only probes standing";
  EXPECT_EQ(other_errors.load(), 0);
  EXPECT_GT(probes_in.load(), 0);
}
