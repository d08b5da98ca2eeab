// The scenario lock: the state directory, the lock file's writer and reader opens, and the
// engine-activity question asked from another process.
#include "stats_mng/stats_saver_lock.h"
#include "stats_mng/stats_mng.h"

#include "file/file.h"
#include "platform/win32/win32_api.h"

#include "support/child_process.h"
#include "support/dynamic_library.h"
#include "support/temp_dir.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace test_support_n;

namespace {


// An engine at work: holds the scenario's writer lock until told to stop.
TEST_CHILD_ROLE(engine) {
  if (args.size() != 3) return 2;
  stats_saver_lock_c lock(args[0].c_str());
  if (!lock.lock(true)) return 4;
  write_text_file(args[1], "ready");
  for (int i = 0; i < 3000 && !file_exists(args[2]); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return 0;
}

class stats_saver_lock_test : public temp_dir_test {
 protected:
  std::string scenario() {
    std::string dir = m_dir.file("Scen");
    CreateDirectoryW(wide(dir).c_str(), nullptr);
    return dir;
  }
  std::string state_dir(const std::string& scenario) { return scenario + "/.mw_zq_prefix"; }
  std::string lock_file(const std::string& scenario) { return state_dir(scenario) + "/state.lock"; }
  trace_reset_c m_trace;
};

TEST_F(stats_saver_lock_test, paths_and_the_hidden_state_directory) {
  std::string dir = scenario();
  stats_saver_lock_c lock(dir.c_str());
  EXPECT_STREQ(lock.state_dir().c_str(), state_dir(dir).c_str());
  EXPECT_STREQ(lock.lock_file_path().c_str(), lock_file(dir).c_str());
  EXPECT_TRUE(lock.writer());
  DWORD attributes = GetFileAttributesW(wide(state_dir(dir)).c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);

  // A directory given with a trailing separator gets no doubled one.
  stats_saver_lock_c again((dir + "/").c_str());
  EXPECT_STREQ(again.state_dir().c_str(), state_dir(dir).c_str());

  // Nothing to build on: the bare lock file name.
  stats_saver_lock_c empty("");
  EXPECT_STREQ(empty.state_dir().c_str(), "");
  EXPECT_STREQ(empty.lock_file_path().c_str(), "/state.lock");
}

TEST_F(stats_saver_lock_test, a_reader_needs_the_lock_file) {
  std::string dir = scenario();
  stats_saver_lock_c lock(dir.c_str());
  zqtr_capture_c capture;
  EXPECT_FALSE(lock.lock(false));
  EXPECT_FALSE(lock.writer());
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Fail to open the lock file " + lock_file(dir) + " for reader lock."));
  EXPECT_FALSE(file_exists(lock_file(dir)));
}

TEST_F(stats_saver_lock_test, writers_exclude_writers_and_admit_readers) {
  std::string dir = scenario();
  auto first = std::make_unique<stats_saver_lock_c>(dir.c_str());
  write_text_file(lock_file(dir), "left over");
  ASSERT_TRUE(first->lock(true));
  EXPECT_EQ(read_text_file(lock_file(dir)), "");  // created or emptied

  stats_saver_lock_c second(dir.c_str());
  zqtr_capture_c capture;
  EXPECT_FALSE(second.lock(true));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Fail to open the lock file " + lock_file(dir) + " for writer lock."));
  stats_saver_lock_c reader(dir.c_str());
  EXPECT_TRUE(reader.lock(false));

  // An object never blocks itself: each lock closes the previous handle first.
  EXPECT_TRUE(first->lock(true));
  EXPECT_TRUE(first->lock(false));
  EXPECT_TRUE(second.lock(true));  // the first now only reads
  first.reset();
  EXPECT_TRUE(second.lock(true));
}

TEST_F(stats_saver_lock_test, the_question_on_a_missing_directory) {
  zqtr_capture_c capture;
  std::string missing = m_dir.file("No\\Such/./Scen/");
  EXPECT_FALSE(is_engine_active_for_scenario(missing.c_str()));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Fail to find the path " + m_dir.file("No/Such/Scen") + "."));
  EXPECT_FALSE(file_exists(m_dir.file("No")));
}

TEST_F(stats_saver_lock_test, the_question_creates_the_state_directory_but_no_lock_file) {
  std::string dir = scenario();
  zqtr_capture_c capture;
  EXPECT_FALSE(is_engine_active_for_scenario(dir.c_str()));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Locker does not exist now."));
  DWORD attributes = GetFileAttributesW(wide(state_dir(dir)).c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_FALSE(file_exists(lock_file(dir)));
}

TEST_F(stats_saver_lock_test, a_lock_file_nobody_holds_means_no_engine_and_is_left_as_it_is) {
  std::string dir = scenario();
  { stats_saver_lock_c prepare(dir.c_str()); }
  write_text_file(lock_file(dir), "stale");
  EXPECT_FALSE(is_engine_active_for_scenario(dir.c_str()));
  EXPECT_TRUE(file_exists(lock_file(dir)));
  EXPECT_EQ(read_text_file(lock_file(dir)), "stale");  // a query writes nothing
}

// Only an engine holding the lock makes the answer true: a lock file the caller may only read, or
// something else in its place, is no engine.
TEST_F(stats_saver_lock_test, what_is_no_engine) {
  std::string dir = scenario();
  { stats_saver_lock_c prepare(dir.c_str()); }
  write_text_file(lock_file(dir), "");
  ASSERT_TRUE(SetFileAttributesW(wide(lock_file(dir)).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(is_engine_active_for_scenario(dir.c_str()));
  ASSERT_TRUE(SetFileAttributesW(wide(lock_file(dir)).c_str(), FILE_ATTRIBUTE_NORMAL));
  ASSERT_TRUE(DeleteFileW(wide(lock_file(dir)).c_str()));
  ASSERT_TRUE(CreateDirectoryW(wide(lock_file(dir)).c_str(), nullptr));
  EXPECT_FALSE(is_engine_active_for_scenario(dir.c_str()));
}

TEST_F(stats_saver_lock_test, queries_never_refuse_each_other) {
  std::string dir = scenario();
  { stats_saver_lock_c prepare(dir.c_str()); }
  write_text_file(lock_file(dir), "");
  std::atomic<int> active{0}, asked{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 16; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 100; ++i) {
        if (is_engine_active_for_scenario(dir.c_str())) ++active;
        ++asked;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(asked.load(), 1600);
  EXPECT_EQ(active.load(), 0);
  // With an engine, every query sees it.
  stats_saver_lock_c engine(dir.c_str());
  ASSERT_TRUE(engine.lock(true));
  threads.clear();
  std::atomic<int> inactive{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        if (!is_engine_active_for_scenario(dir.c_str())) ++inactive;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(inactive.load(), 0);
}

// A process asking again and again until told to stop; writes how many answers were "active" and
// how many were asked.
TEST_CHILD_ROLE(querier) {
  if (args.size() != 3) return 2;
  int active = 0, asked = 0;
  write_text_file(args[1] + ".ready", "");
  while (!file_exists(args[2]) && asked < 200000) {
    if (is_engine_active_for_scenario(args[0].c_str())) ++active;
    ++asked;
  }
  write_text_file(args[1], std::to_string(active) + " " + std::to_string(asked));
  return 0;
}

TEST_F(stats_saver_lock_test, queries_from_many_processes_and_an_engine_starting_among_them) {
  std::string dir = scenario();
  { stats_saver_lock_c prepare(dir.c_str()); }
  write_text_file(lock_file(dir), "");
  // Phase one, no engine: nobody is told "active". Phase two: an engine starting and stopping
  // while the queries run always gets its lock, and is seen while it holds it.
  std::vector<std::unique_ptr<child_process_c>> queriers;
  for (int i = 0; i < 4; ++i) {
    const std::string result = m_dir.file("result" + std::to_string(i));
    queriers.push_back(std::make_unique<child_process_c>("querier", std::vector<std::string>{dir, result, m_dir.file("stop")}));
    ASSERT_TRUE(queriers.back()->started());
    ASSERT_TRUE(wait_for_file(result + ".ready"));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  write_text_file(m_dir.file("stop"), "");
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(queriers[i]->wait(), 0);
    std::string result = read_text_file(m_dir.file("result" + std::to_string(i)));
    SCOPED_TRACE(result);
    EXPECT_EQ(result.substr(0, 2), "0 ");
    EXPECT_NE(result, "0 0");
  }
  DeleteFileW(wide(m_dir.file("stop")).c_str());
  queriers.clear();
  for (int i = 0; i < 3; ++i) {
    const std::string result = m_dir.file("second" + std::to_string(i));
    queriers.push_back(std::make_unique<child_process_c>("querier", std::vector<std::string>{dir, result, m_dir.file("stop")}));
    ASSERT_TRUE(queriers.back()->started());
    ASSERT_TRUE(wait_for_file(result + ".ready"));
  }
  int granted = 0;
  for (int round = 0; round < 30; ++round) {
    stats_saver_lock_c engine(dir.c_str());
    if (engine.lock(true)) ++granted;
    EXPECT_TRUE(is_engine_active_for_scenario(dir.c_str()));
  }
  write_text_file(m_dir.file("stop"), "");
  for (auto& querier : queriers) EXPECT_EQ(querier->wait(), 0);
  EXPECT_EQ(granted, 30);
}

TEST_F(stats_saver_lock_test, an_engine_in_another_process_is_seen_until_it_ends) {
  std::string dir = scenario();
  child_process_c engine("engine", {dir, m_dir.file("ready"), m_dir.file("stop")});
  ASSERT_TRUE(engine.started());
  ASSERT_TRUE(wait_for_file(m_dir.file("ready")));
  EXPECT_TRUE(is_engine_active_for_scenario(dir.c_str()));
  // Written the way a caller may write it.
  std::string windows_form = dir;
  for (char& c : windows_form) {
    if (c == '/') c = '\\';
  }
  EXPECT_TRUE(is_engine_active_for_scenario((windows_form + "\\").c_str()));
  write_text_file(m_dir.file("stop"), "");
  EXPECT_EQ(engine.wait(), 0);
  EXPECT_FALSE(is_engine_active_for_scenario(dir.c_str()));
}

TEST_F(stats_saver_lock_test, a_killed_engine_releases_the_scenario) {
  std::string dir = scenario();
  child_process_c engine("engine", {dir, m_dir.file("ready"), m_dir.file("stop")});
  ASSERT_TRUE(engine.started());
  ASSERT_TRUE(wait_for_file(m_dir.file("ready")));
  EXPECT_TRUE(is_engine_active_for_scenario(dir.c_str()));
  engine.kill();
  engine.wait();
  EXPECT_FALSE(is_engine_active_for_scenario(dir.c_str()));
}

TEST_F(stats_saver_lock_test, the_shared_library_answers_by_name) {
  std::string dir = scenario();
  dynamic_library_c library(STATS_MNG_SHARED_LIBRARY);
  ASSERT_TRUE(library.loaded()) << library.error();
  using export_f = bool (*)(const char*);
  export_f ask = reinterpret_cast<export_f>(library.symbol("is_engine_active_for_scenario"));
  ASSERT_NE(ask, nullptr);
  child_process_c engine("engine", {dir, m_dir.file("ready"), m_dir.file("stop")});
  ASSERT_TRUE(engine.started());
  ASSERT_TRUE(wait_for_file(m_dir.file("ready")));
  EXPECT_TRUE(ask(dir.c_str()));
  write_text_file(m_dir.file("stop"), "");
  EXPECT_EQ(engine.wait(), 0);
  EXPECT_FALSE(ask(dir.c_str()));
}

}  // namespace
