// Writers of one state or statistics file in several processes at once: each change is made under the
// file's writer lock, so none is lost; a writer that cannot have the lock in time fails and says
// which file; a holder that dies delays nobody.
#include "file/writer_lock.h"
#include "stats_mng/stats_saver.h"

#include "platform/win32/win32_api.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace test_support_n;

namespace {

const char* k_prefix = ".mw_zq_prefix";
constexpr int k_processes = 8;
constexpr int k_rounds = 50;

// The statistics file's host element of one host, recorded round after round.
TEST_CHILD_ROLE(statistics_recorder) {
  if (args.size() != 3) return 2;
  const uint64_t host = std::stoull(args[1]);
  const int rounds = std::stoi(args[2]);
  stats_saver_c saver(nullptr, 7, args[0].c_str(), k_prefix, "", false);
  for (int round = 0; round < rounds; ++round) {
    if (!saver.set_sync_state(host, round % 2 == 0, round)) return 3;
  }
  return 0;
}

// An engine and an operator's tool on one scenario: a sync record, then a state, round after round;
// a file says when it is done.
TEST_CHILD_ROLE(state_recorder) {
  if (args.size() != 4) return 2;
  const int process = std::stoi(args[1]);
  const int rounds = std::stoi(args[2]);
  stats_saver_ex_c saver(nullptr, 1, args[0].c_str(), k_prefix, "shared", false);
  // The end is always written, so that the parent's watch ends whatever happened here.
  int result = 0;
  for (int round = 0; round < rounds && result == 0; ++round) {
    if (!saver.set_sync_state(1, true, process * 1000 + round)) result = 3;
    if (result == 0 && !saver.set_state(1, round % 2 == 0)) result = 4;
  }
  write_text_file(args[3], result == 0 ? "done" : "failed");
  return result;
}

// Holds the writer lock of a file until killed (or a minute passes).
TEST_CHILD_ROLE(writer_lock_holder) {
  if (args.size() != 2) return 2;
  file_writer_lock_c lock;
  if (!lock.acquire(args[0].c_str(), 0)) return 3;
  write_text_file(args[1], "holding");
  std::this_thread::sleep_for(std::chrono::seconds(60));
  return 0;
}

class state_writers_test : public temp_dir_test {
 protected:
  std::string scenario() {
    const std::string dir = m_dir.file("Scen");
    CreateDirectoryW(wide(dir).c_str(), nullptr);
    return dir;
  }
  // Starts one child per process in the role and checks that each ends well.
  static void run_all(const char* role, const std::string& dir, int rounds) {
    std::vector<std::unique_ptr<child_process_c>> children;
    for (int p = 1; p <= k_processes; ++p) {
      children.emplace_back(new child_process_c(role, {dir, std::to_string(p), std::to_string(rounds)}));
      ASSERT_TRUE(children.back()->started());
    }
    for (size_t i = 0; i < children.size(); ++i) EXPECT_EQ(children[i]->wait(), 0) << "process " << i + 1;
  }
  // What the state directory holds beside the files, once every writer is done: nothing.
  static std::vector<std::string> leftovers(const std::string& state_dir, const std::set<std::string>& expected) {
    std::vector<std::string> found;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(wide(state_dir + "/*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
      std::string name;
      for (const wchar_t* c = entry.cFileName; *c != 0; ++c) name += static_cast<char>(*c);
      if (name != "." && name != ".." && expected.count(name) == 0) found.push_back(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
  }
  trace_reset_c m_trace;
};

TEST_F(state_writers_test, processes_recording_their_hosts_in_one_statistics_file_lose_none) {
  const std::string dir = scenario();
  run_all("statistics_recorder", dir, k_rounds);
  const std::string text = read_text_file(dir + "/" + k_prefix + "/7_stats.xml");
  for (int host = 1; host <= k_processes; ++host) {
    SCOPED_TRACE(host);
    // Round 49 was each host's last: IsSyncReplicated false.
    EXPECT_NE(text.find("<host HostIndex=\"" + std::to_string(host) +
                        "\" IsSyncReplicated=\"False\" IsSyncReplicatedTime=\"" + std::to_string(k_rounds - 1) + "\"/>"),
              std::string::npos)
        << text;
  }
  EXPECT_EQ(leftovers(dir + "/" + k_prefix, {"7_stats.xml"}), std::vector<std::string>());
}

TEST_F(state_writers_test, processes_recording_state_and_sync_of_one_scenario_lose_no_sync_record) {
  const std::string dir = scenario();
  std::vector<std::unique_ptr<child_process_c>> children;
  for (int p = 1; p <= k_processes; ++p) {
    children.emplace_back(new child_process_c(
        "state_recorder", {dir, std::to_string(p), std::to_string(k_rounds), m_dir.file("done" + std::to_string(p))}));
    ASSERT_TRUE(children.back()->started());
  }
  // Each process's sync records only grow, so the file shows each process's rounds in order; a round
  // older than one already seen is a sync record brought back by a state written over a newer one
  // it had not read.
  const std::string state_file = dir + "/" + k_prefix + "/stats.xml";
  const std::regex time_pattern("IsSyncReplicatedTime=\"([0-9]+)\"");
  std::vector<int> seen(k_processes + 1, -1);
  std::vector<std::string> regressions;
  // (A guard against a child that dies without its end file, not a measure: far beyond any run.)
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(3);
  for (bool done = false; !done;) {
    done = true;
    for (int p = 1; p <= k_processes; ++p) done = done && file_exists(m_dir.file("done" + std::to_string(p)));
    if (std::chrono::steady_clock::now() > give_up) {
      ADD_FAILURE() << "the writers did not all end";
      for (auto& child : children) child->kill();
      break;
    }
    const std::string text = read_text_file(state_file);
    std::smatch time;
    if (!std::regex_search(text, time, time_pattern)) continue;
    const int recorded = std::stoi(time[1].str());
    const int process = recorded / 1000, round = recorded % 1000;
    if (process < 1 || process > k_processes) continue;
    if (round < seen[process] && regressions.size() < 5) {
      regressions.push_back("process " + std::to_string(process) + ": round " + std::to_string(round) + " after " +
                            std::to_string(seen[process]));
    }
    seen[process] = std::max(seen[process], round);
  }
  for (size_t i = 0; i < children.size(); ++i) EXPECT_EQ(children[i]->wait(), 0) << "process " << i + 1;
  EXPECT_EQ(regressions, std::vector<std::string>());
  const std::string text = read_text_file(state_file);
  std::smatch time;
  ASSERT_TRUE(std::regex_search(text, time, time_pattern)) << text;
  EXPECT_EQ(std::stoi(time[1].str()) % 1000, k_rounds - 1) << text;  // the last sync record is a last round
  EXPECT_NE(text.find("IsSyncReplicated=\"True\""), std::string::npos) << text;
  EXPECT_EQ(leftovers(dir + "/" + k_prefix, {"stats.xml"}), std::vector<std::string>());
}

TEST_F(state_writers_test, a_writer_that_cannot_have_the_lock_in_time_fails_naming_the_file) {
  const std::string file = m_dir.file("data.xml");
  child_process_c holder("writer_lock_holder", {file, m_dir.file("holding")});
  ASSERT_TRUE(holder.started());
  ASSERT_TRUE(wait_for_file(m_dir.file("holding")));
  file_writer_lock_c lock;
  utl_stream_c reason;
  zqtr_capture_c capture(ZQTR_FAIL);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(lock.acquire(file.c_str(), 300, &reason));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));  // it waited
  EXPECT_NE(std::string(reason.c_str()).find("another writer of " + file + " held its lock " + file + ".lock"),
            std::string::npos)
      << reason.c_str();
  ASSERT_EQ(capture.texts().size(), 1u);
  EXPECT_EQ(capture.texts()[0], std::string("Unable to take the writer lock: ") + reason.c_str());
  holder.kill();
  holder.wait();
}

TEST_F(state_writers_test, a_killed_holder_delays_nobody_beyond_the_wait) {
  const std::string dir = scenario();
  stats_saver_ex_c saver(nullptr, 1, dir.c_str(), k_prefix, "", false);
  ASSERT_TRUE(saver.set_state(1, true));  // the state directory exists
  const std::string state_file = dir + "/" + k_prefix + "/stats.xml";
  child_process_c holder("writer_lock_holder", {state_file, m_dir.file("holding")});
  ASSERT_TRUE(holder.started());
  ASSERT_TRUE(wait_for_file(m_dir.file("holding")));
  file_writer_lock_c probe;
  EXPECT_FALSE(probe.acquire(state_file.c_str(), 0));  // held
  holder.kill();
  holder.wait();
  // The system let go of the dead holder's lock: the next writer gets it.
  EXPECT_TRUE(saver.set_state(1, false));
  EXPECT_NE(read_text_file(state_file).find("State=\"Stop\""), std::string::npos);
}

TEST_F(state_writers_test, a_thread_waits_for_another_threads_change_and_then_makes_its_own) {
  const std::string file = m_dir.file("data.xml");
  file_writer_lock_c first;
  ASSERT_TRUE(first.acquire(file.c_str(), 0));
  EXPECT_TRUE(file_exists(file + ".lock"));
  bool second_held = false;
  std::thread second([&] {
    file_writer_lock_c lock;
    second_held = lock.acquire(file.c_str(), 5000);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  first.release();
  second.join();
  EXPECT_TRUE(second_held);
  // The lock file goes with its last holder.
  EXPECT_FALSE(file_exists(file + ".lock"));
}

TEST_F(state_writers_test, the_lock_of_a_file_in_a_missing_directory_is_refused_at_once_without_a_failure_record) {
  file_writer_lock_c lock;
  utl_stream_c reason;
  zqtr_capture_c capture(ZQTR_FAIL);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(lock.acquire(m_dir.file("missing/data.xml").c_str(), 5000, &reason));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));  // no wait for a missing directory
  EXPECT_NE(std::string(reason.c_str()).find("cannot be made"), std::string::npos) << reason.c_str();
  EXPECT_TRUE(capture.texts().empty());  // its caller decides (a state directory is made then)
}

}  // namespace
