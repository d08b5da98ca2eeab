// The state and statistics files: their paths, their exact text, the reading of the recorded state
// from a scenario's own state file and its parent directory's, and the two query exports.
#include "stats_mng/stats_mng.h"
#include "stats_mng/stats_saver.h"

#include "platform/win32/win32_api.h"
#include "support/child_process.h"
#include "support/dynamic_library.h"
#include "support/temp_dir.h"
#include "support/test_files.h"
#include "support/trace_capture.h"
#include "xml/xml_tree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace test_support_n;

namespace {

const char* k_prefix = ".mw_zq_prefix";

class stats_saver_test : public temp_dir_test {
 protected:
  std::string scenario(const std::string& relative) {
    std::string dir = m_dir.file(relative);
    std::string partial = m_dir.path();
    size_t start = 0;
    while (start <= relative.size()) {
      size_t slash = relative.find('/', start);
      partial = m_dir.file(relative.substr(0, slash));
      CreateDirectoryW(wide(partial).c_str(), nullptr);
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
    return dir;
  }
  static std::string state_file(const std::string& dir) { return dir + "/" + k_prefix + "/stats.xml"; }
  // A state file as an engine wrote it.
  void record(const std::string& dir, const std::string& element) {
    CreateDirectoryW(wide(dir + "/" + k_prefix).c_str(), nullptr);
    write_text_file(state_file(dir), "<?xml version=\"1.0\"?>\n<stats_saver>\n\t" + element + "\n</stats_saver>\n");
  }
  static bool read_state(const std::string& dir, unsigned* index, bool* synced) {
    stats_saver_ex_c saver(nullptr, 0, dir.c_str(), k_prefix, "", true);
    return saver.get_sync_state(index, synced);
  }
  trace_reset_c m_trace;
};

TEST_F(stats_saver_test, a_first_state_file_has_four_lines) {
  std::string dir = scenario("Scen");
  stats_saver_ex_c saver(nullptr, 5, dir.c_str(), k_prefix, "Scen A", false);
  ASSERT_TRUE(saver.set_state(1, true));
  EXPECT_EQ(read_text_file(state_file(dir)),
            "<?xml version=\"1.0\"?>\n"
            "<stats_saver>\n"
            "\t<Scenario HostIndex=\"1\" ScenarioID=\"5\" ScenarioName=\"Scen A\" State=\"Running\"/>\n"
            "</stats_saver>\n");
  DWORD attributes = GetFileAttributesW(wide(dir + "/" + k_prefix).c_str());
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  // Set again: the attributes stay in their places, nothing else is left in the directory.
  ASSERT_TRUE(saver.set_sync_state(1, true, 1700000000));
  EXPECT_EQ(read_text_file(state_file(dir)),
            "<?xml version=\"1.0\"?>\n"
            "<stats_saver>\n"
            "\t<Scenario HostIndex=\"1\" ScenarioID=\"5\" ScenarioName=\"Scen A\" State=\"Running\" "
            "IsSyncReplicated=\"True\" IsSyncReplicatedTime=\"1700000000\"/>\n"
            "</stats_saver>\n");
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(wide(dir + "/" + k_prefix + "/*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::vector<std::wstring> names;
  do {
    names.push_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  EXPECT_EQ(names.size(), 3u) << "., .. and stats.xml only";
}

TEST_F(stats_saver_test, a_run_asked_while_synchronising_keeps_the_sync_state) {
  std::string dir = scenario("Scen");
  stats_saver_ex_c saver(nullptr, 9, dir.c_str(), k_prefix, "", false);
  ASSERT_TRUE(saver.set_sync_state(1, false, 10));
  unsigned index = 99;
  bool synced = true;
  ASSERT_TRUE(read_state(dir, &index, &synced));
  EXPECT_EQ(index, static_cast<unsigned>(STATE_SYNC));
  EXPECT_FALSE(synced);
  zqtr_capture_c capture;
  ASSERT_TRUE(saver.set_state(1, true));
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "Not need to set the scenario state to run when in sync state sc_id(9)."));
  ASSERT_TRUE(read_state(dir, &index, &synced));
  EXPECT_EQ(index, static_cast<unsigned>(STATE_SYNC));
  ASSERT_TRUE(saver.set_state(1, false));
  ASSERT_TRUE(read_state(dir, &index, &synced));
  EXPECT_EQ(index, static_cast<unsigned>(STATE_STOP));
}

TEST_F(stats_saver_test, the_own_file_and_the_parent_file_decide_by_their_times) {
  struct read_case_s {
    const char* what;
    const char* own;     // the element of the scenario's own state file, or null for none
    const char* parent;  // the element of the parent directory's, or null
    bool read;
    unsigned index;
    bool synced;
  } cases[] = {
      {"own only", "<Scenario State=\"Running\" IsSyncReplicated=\"True\"/>", nullptr, true, 0, true},
      {"parent only, no time", nullptr, "<Scenario State=\"Stop\" IsSyncReplicated=\"False\"/>", true, 1, false},
      {"equal times: own", "<s State=\"Running\" IsSyncReplicated=\"True\" IsSyncReplicatedTime=\"5\"/>",
       "<s State=\"Stop\" IsSyncReplicated=\"False\" IsSyncReplicatedTime=\"5\"/>", true, 0, true},
      {"later parent", "<s State=\"Running\" IsSyncReplicatedTime=\"5\"/>",
       "<s State=\"sync\" IsSyncReplicated=\"true\" IsSyncReplicatedTime=\"6\"/>", true, 2, true},
      {"later own", "<s State=\"Stop\" IsSyncReplicatedTime=\"7\"/>", "<s State=\"Running\" IsSyncReplicatedTime=\"6\"/>",
       true, 1, false},
      {"unknown text", "<s State=\"Paused\"/>", nullptr, true, 3, false},
      {"no state", "<s IsSyncReplicated=\"True\"/>", nullptr, false, 3, false},
      {"unreadable own, parent read", "<s State=", "<s State=\"Stop\"/>", true, 1, false},
      {"nothing", nullptr, nullptr, false, 3, false},
  };
  int n = 0;
  for (const read_case_s& c : cases) {
    SCOPED_TRACE(c.what);
    std::string parent = scenario("case" + std::to_string(++n));
    std::string dir = scenario("case" + std::to_string(n) + "/Scen");
    if (c.own != nullptr) record(dir, c.own);
    if (c.parent != nullptr) record(parent, c.parent);
    unsigned index = 99;
    bool synced = !c.synced;
    EXPECT_EQ(read_state(dir, &index, &synced), c.read);
    EXPECT_EQ(index, c.index);
    if (c.read) {
      EXPECT_EQ(synced, c.synced);
    }
  }
}

TEST_F(stats_saver_test, what_reading_says_about_files_it_passes_over) {
  std::string dir = scenario("Scen");
  record(dir, "<Scenario State=\"Running\"/>");
  zqtr_capture_c capture;
  unsigned index = 99;
  bool synced = true;
  ASSERT_TRUE(read_state(dir, &index, &synced));
  EXPECT_FALSE(synced);
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "Fail to get the label IsSyncReplicated in the file " + state_file(dir) + "."));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "File " + m_dir.path() + "/" + k_prefix + "/stats.xml does not exist."));
  write_text_file(state_file(dir), "<?xml version=\"1.0\"?><stats_saver/>");
  EXPECT_FALSE(read_state(dir, &index, &synced));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Fail to parse file " + state_file(dir) + "."));
  write_text_file(state_file(dir), "not xml");
  EXPECT_FALSE(read_state(dir, &index, &synced));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Fail to load file " + state_file(dir) + "."));
}

TEST_F(stats_saver_test, parent_state_files_of_drives_roots_and_relative_paths) {
  struct parent_case_s {
    const char* dir;
    const char* parent;
  } cases[] = {{"C:/Scen/7", "C:/Scen/.mw_zq_prefix/stats.xml"}, {"C:\\Scen\\", "C:/.mw_zq_prefix/stats.xml"},
               {"C:", "C:/.mw_zq_prefix/stats.xml"},             {"/srv", "/.mw_zq_prefix/stats.xml"},
               {"rel", nullptr},                                   {"", nullptr}};
  for (const parent_case_s& c : cases) {
    SCOPED_TRACE(c.dir);
    stats_saver_ex_c saver(nullptr, 0, c.dir, k_prefix, "", true);
    utl_stream_c path;
    EXPECT_EQ(saver.get_parent_file_path(path), c.parent != nullptr);
    if (c.parent != nullptr) {
      EXPECT_STREQ(path.c_str(), c.parent);
    }
  }
  stats_saver_c statistics(nullptr, 42, "C:/Scen/7", k_prefix, "", false);
  utl_stream_c path;
  EXPECT_STREQ(statistics.get_file_path(path), "C:/Scen/7/.mw_zq_prefix/42_stats.xml");
  stats_saver_c nowhere(nullptr, 42, "", k_prefix, "", false);
  EXPECT_EQ(nowhere.get_file_path(path), nullptr);
}

TEST_F(stats_saver_test, a_state_element_of_another_name_is_read_and_updated_in_place) {
  std::string dir = scenario("Scen");
  CreateDirectoryW(wide(dir + "/" + k_prefix).c_str(), nullptr);
  write_text_file(state_file(dir), "<?xml version=\"1.0\"?>\n<root>\n\t<Other State=\"Stop\" Extra=\"x\"/>\n</root>\n");
  unsigned index = 99;
  bool synced = true;
  ASSERT_TRUE(read_state(dir, &index, &synced));
  EXPECT_EQ(index, static_cast<unsigned>(STATE_STOP));
  stats_saver_ex_c saver(nullptr, 3, dir.c_str(), k_prefix, "n", false);
  ASSERT_TRUE(saver.set_state(2, true));
  EXPECT_EQ(read_text_file(state_file(dir)),
            "<?xml version=\"1.0\"?>\n<root>\n\t<Other State=\"Running\" Extra=\"x\"/>\n</root>\n");
}

TEST_F(stats_saver_test, a_statistics_file_updates_only_the_matching_host) {
  std::string dir = scenario("Scen");
  stats_saver_c saver(nullptr, 7, dir.c_str(), k_prefix, "", false);
  ASSERT_TRUE(saver.set_sync_state(1, true, 100));
  ASSERT_TRUE(saver.set_sync_state(2, false, 200));
  ASSERT_TRUE(saver.set_sync_state(1, false, 300));
  EXPECT_EQ(read_text_file(dir + "/" + k_prefix + "/7_stats.xml"),
            "<?xml version=\"1.0\"?>\n"
            "<stats_saver ScenarioID=\"7\">\n"
            "\t<host HostIndex=\"1\" IsSyncReplicated=\"False\" IsSyncReplicatedTime=\"300\"/>\n"
            "\t<host HostIndex=\"2\" IsSyncReplicated=\"False\" IsSyncReplicatedTime=\"200\"/>\n"
            "</stats_saver>\n");
}

// A records file reached through a link: read through it, its other records kept, the file it leads
// to replaced and the link left a link. A link to something that is no file: refused, untouched.
TEST_F(stats_saver_test, a_records_file_behind_a_link_keeps_its_records_and_the_link) {
  const std::string dir = scenario("Scen");
  const std::string kept = scenario("Kept");
  CreateDirectoryW(wide(dir + "/" + k_prefix).c_str(), nullptr);
  write_text_file(kept + "/7_stats.xml",
                  "<?xml version=\"1.0\"?>\n<stats_saver ScenarioID=\"7\">\n"
                  "\t<host HostIndex=\"2\" IsSyncReplicated=\"True\" IsSyncReplicatedTime=\"200\"/>\n</stats_saver>\n");
  const std::string link = dir + "/" + k_prefix + "/7_stats.xml";
  if (!make_symbolic_link("../../Kept/7_stats.xml", link)) GTEST_SKIP() << "this system makes no symbolic links here";
  stats_saver_c saver(nullptr, 7, dir.c_str(), k_prefix, "", false);
  ASSERT_TRUE(saver.set_sync_state(1, false, 300));
  EXPECT_TRUE(is_symbolic_link(link));
  EXPECT_EQ(read_text_file(kept + "/7_stats.xml"),
            "<?xml version=\"1.0\"?>\n"
            "<stats_saver ScenarioID=\"7\">\n"
            "\t<host HostIndex=\"2\" IsSyncReplicated=\"True\" IsSyncReplicatedTime=\"200\"/>\n"
            "\t<host HostIndex=\"1\" IsSyncReplicated=\"False\" IsSyncReplicatedTime=\"300\"/>\n"
            "</stats_saver>\n");

  // The scenario's state file leading to a pipe: neither read (no wait) nor renamed over.
  const std::string pipe = m_dir.file("pipe");
  if (!make_fifo(pipe)) return;  // named pipes exist in the file system on POSIX only
  const std::string other = scenario("Other");
  CreateDirectoryW(wide(other + "/" + k_prefix).c_str(), nullptr);
  ASSERT_TRUE(make_symbolic_link(pipe, state_file(other)));
  zqtr_capture_c capture(ZQTR_FAIL);
  stats_saver_ex_c writer(nullptr, 1, other.c_str(), k_prefix, "", false);
  EXPECT_FALSE(writer.set_state(1, true));
  EXPECT_TRUE(is_fifo(pipe));
  EXPECT_TRUE(is_symbolic_link(state_file(other)));
  ASSERT_FALSE(capture.texts().empty());
  EXPECT_NE(capture.texts()[0].find("stats.xml: it is no regular file (a pipe or a device); nothing is written."),
            std::string::npos)
      << capture.texts()[0];
}

TEST_F(stats_saver_test, a_write_that_cannot_land_leaves_the_old_state_and_no_stray_file) {
  std::string dir = scenario("Scen");
  stats_saver_ex_c saver(nullptr, 1, dir.c_str(), k_prefix, "", false);
  ASSERT_TRUE(saver.set_state(1, true));
  const std::string before = read_text_file(state_file(dir));
  // A directory where the new file would go cannot be replaced by it.
  std::string other = scenario("Other");
  CreateDirectoryW(wide(other + "/" + k_prefix).c_str(), nullptr);
  CreateDirectoryW(wide(state_file(other)).c_str(), nullptr);
  stats_saver_ex_c blocked(nullptr, 1, other.c_str(), k_prefix, "", false);
  zqtr_capture_c capture;
  EXPECT_FALSE(blocked.set_state(1, true));
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(wide(other + "/" + k_prefix + "/*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  int entries = 0;
  do {
    ++entries;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  EXPECT_EQ(entries, 3) << "the temporary file was removed";
  EXPECT_EQ(read_text_file(state_file(dir)), before);
}

// A full disk: the write fails and says so, and the old state file is kept whole.
TEST_F(stats_saver_test, a_full_disk_fails_the_write_and_keeps_the_old_state) {
  const std::string small = m_dir.file("small");
  CreateDirectoryW(wide(small).c_str(), nullptr);
  if (!mount_small_file_system(small, 64 * 1024)) {
    GTEST_SKIP() << "no small file system of its own can be mounted here (needs a POSIX system and the right to mount)";
  }
  struct unmount_s {
    std::string dir;
    ~unmount_s() { unmount(dir); }
  } guard{small};
  const std::string dir = small + "/Scen";
  CreateDirectoryW(wide(dir).c_str(), nullptr);
  stats_saver_ex_c saver(nullptr, 1, dir.c_str(), k_prefix, "full", false);
  ASSERT_TRUE(saver.set_sync_state(1, true, 100));
  const std::string before = read_text_file(state_file(dir));
  ASSERT_FALSE(before.empty());
  // Fill the file system to its last byte.
  {
    HANDLE filler = CreateFileW(wide(small + "/filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(filler, INVALID_HANDLE_VALUE);
    std::string block(4096, 'f');
    DWORD written = 0;
    while (WriteFile(filler, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) && written > 0) {
    }
    while (WriteFile(filler, "f", 1, &written, nullptr) && written > 0) {
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    CloseHandle(filler);
  }
  zqtr_capture_c capture;
  EXPECT_FALSE(saver.set_state(1, false));
  EXPECT_EQ(read_text_file(state_file(dir)), before);
  unsigned index = 99;
  EXPECT_TRUE(get_scenario_state_index(dir.c_str(), &index));
  EXPECT_EQ(index, static_cast<unsigned>(STATE_RUNNING));
  // No temporary file left behind.
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(wide(dir + "/" + k_prefix + "/*.tmp").c_str(), &data);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

// A pipe in the place of a file the library reads or writes is refused at once, never waited on.
TEST_F(stats_saver_test, pipes_in_place_of_files_are_refused_not_waited_on) {
  const std::string parent = scenario("Parent");
  const std::string dir = scenario("Parent/Scen");
  CreateDirectoryW(wide(dir + "/" + k_prefix).c_str(), nullptr);
  CreateDirectoryW(wide(parent + "/" + k_prefix).c_str(), nullptr);
  if (!make_fifo(state_file(dir))) GTEST_SKIP() << "named pipes exist in the file system on POSIX only";
  unsigned index = 99;
  bool synced = true;
  // The own state file is a pipe; the parent's is missing.
  EXPECT_FALSE(get_scenario_state_index(dir.c_str(), &index));
  EXPECT_FALSE(is_sync_replicated(dir.c_str()));
  // The parent's state file is a pipe (which would stop every scenario below it); the own file is read.
  DeleteFileW(wide(state_file(dir)).c_str());
  record(dir, "<Scenario State=\"Stop\" IsSyncReplicated=\"True\" IsSyncReplicatedTime=\"5\"/>");
  ASSERT_TRUE(make_fifo(state_file(parent)));
  EXPECT_TRUE(read_state(dir, &index, &synced));
  EXPECT_EQ(index, static_cast<unsigned>(STATE_STOP));
  // The lock file.
  ASSERT_TRUE(make_fifo(dir + "/" + k_prefix + "/state.lock"));
  EXPECT_FALSE(is_engine_active_for_scenario(dir.c_str()));
  // A writer meets a pipe as its state file: refused.
  const std::string other = scenario("Other");
  CreateDirectoryW(wide(other + "/" + k_prefix).c_str(), nullptr);
  ASSERT_TRUE(make_fifo(state_file(other)));
  stats_saver_ex_c saver(nullptr, 1, other.c_str(), k_prefix, "", false);
  EXPECT_FALSE(saver.set_state(1, true));  // neither read nor replaced: it is somebody else's
  EXPECT_TRUE(is_fifo(state_file(other)));
  // The trace settings file and the log file.
  const std::string settings = m_dir.file("trace.ini");
  ASSERT_TRUE(make_fifo(settings));
  const std::string logs = m_dir.file("logs");
  CreateDirectoryW(wide(logs).c_str(), nullptr);
  ASSERT_TRUE(make_fifo(logs + "/stats_mng.log"));
  EXPECT_TRUE(set_trc_file_log_path(settings.c_str(), logs.c_str()));
  EXPECT_FALSE(is_engine_active_for_scenario(m_dir.file("missing").c_str()));  // traces a failure
  EXPECT_TRUE(set_trc_file_log_path(nullptr, nullptr));
}

// An engine rewriting a scenario's state file as fast as it can.
TEST_CHILD_ROLE(state_writer) {
  if (args.size() != 3) return 2;
  const int rounds = std::stoi(args[1]);
  stats_saver_ex_c saver(nullptr, 3, args[0].c_str(), k_prefix, "busy", false);
  for (int i = 0; i < rounds; ++i) {
    if (!saver.set_sync_state(1, i % 2 == 0, i)) return 3;
  }
  write_text_file(args[2], "done");
  return 0;
}

TEST_F(stats_saver_test, a_reader_never_meets_a_half_written_state_file) {
  std::string dir = scenario("Scen");
  stats_saver_ex_c first(nullptr, 3, dir.c_str(), k_prefix, "busy", false);
  ASSERT_TRUE(first.set_sync_state(1, true, 0));
  child_process_c writer("state_writer", {dir, "2000", m_dir.file("done")});
  ASSERT_TRUE(writer.started());
  int reads = 0, failures = 0;
  std::vector<std::string> first_failure;
  while (!file_exists(m_dir.file("done")) && reads < 200000) {
    unsigned index = 99;
    zqtr_capture_c capture;
    if (!get_scenario_state_index(dir.c_str(), &index) || (index != 0 && index != 2)) {
      if (failures++ == 0) first_failure = capture.texts();
    }
    ++reads;
  }
  EXPECT_EQ(first_failure, std::vector<std::string>()) << "what the first failed read said";
  EXPECT_EQ(writer.wait(), 0);
  EXPECT_EQ(failures, 0) << "of " << reads << " reads";
  EXPECT_GT(reads, 10);
}

// Several threads of one process recording at once: each load, change and write is one step, so no
// change is lost.
TEST_F(stats_saver_test, threads_recording_at_once_lose_nothing) {
  std::string dir = scenario("Scen");
  std::vector<std::thread> threads;
  for (int host = 1; host <= 8; ++host) {
    threads.emplace_back([&dir, host] {
      stats_saver_c saver(nullptr, 7, dir.c_str(), k_prefix, "", false);
      saver.set_sync_state(static_cast<uint64_t>(host), true, host * 10);
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::string text = read_text_file(dir + "/" + k_prefix + "/7_stats.xml");
  for (int host = 1; host <= 8; ++host) {
    EXPECT_NE(text.find("<host HostIndex=\"" + std::to_string(host) + "\" IsSyncReplicated=\"True\" IsSyncReplicatedTime=\"" +
                        std::to_string(host * 10) + "\"/>"),
              std::string::npos)
        << host << "\n" << text;
  }
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    stats_saver_ex_c stopper(nullptr, 1, dir.c_str(), k_prefix, "", false);
    stats_saver_ex_c syncer(nullptr, 1, dir.c_str(), k_prefix, "", false);
    std::thread a([&] { stopper.set_state(1, false); });
    std::thread b([&] { syncer.set_sync_state(1, true, 1000 + round); });
    a.join();
    b.join();
    EXPECT_NE(read_text_file(state_file(dir)).find("IsSyncReplicatedTime=\"" + std::to_string(1000 + round) + "\""),
              std::string::npos);
  }
}

// A writer reports its process id and waits for a file (or ends at once for "-").
TEST_CHILD_ROLE(pid_reporter) {
  if (args.size() != 2) return 2;
  write_text_file(args[0], std::to_string(GetCurrentProcessId()));
  for (int i = 0; args[1] != "-" && i < 3000 && !file_exists(args[1]); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

TEST_F(stats_saver_test, leftovers_of_writers_that_no_longer_run_are_removed) {
  std::string dir = scenario("Scen");
  stats_saver_ex_c saver(nullptr, 1, dir.c_str(), k_prefix, "", false);
  ASSERT_TRUE(saver.set_state(1, true));
  child_process_c ended("pid_reporter", {m_dir.file("ended.pid"), "-"});
  ASSERT_TRUE(ended.started());
  EXPECT_EQ(ended.wait(), 0);
  child_process_c running("pid_reporter", {m_dir.file("running.pid"), m_dir.file("release")});
  ASSERT_TRUE(running.started());
  ASSERT_TRUE(wait_for_file(m_dir.file("running.pid")));
  const std::string state_dir = dir + "/" + k_prefix + "/";
  const std::string dead = state_dir + "stats.xml." + read_text_file(m_dir.file("ended.pid")) + ".3.tmp";
  const std::string alive = state_dir + "stats.xml." + read_text_file(m_dir.file("running.pid")) + ".0.tmp";
  const std::string mine = state_dir + "stats.xml." + std::to_string(GetCurrentProcessId()) + ".99.tmp";
  const std::string other_names[] = {state_dir + "stats.xml.x.1.tmp", state_dir + "other.xml.4194305.1.tmp",
                                     state_dir + "stats.xml.4194305.tmp"};
  const std::string fresh = state_dir + "stats.xml." + read_text_file(m_dir.file("ended.pid")) + ".4.tmp";
  for (const std::string& path : {dead, alive, mine, fresh}) write_text_file(path, "half");
  for (const std::string& path : other_names) write_text_file(path, "keep");
  // Old enough to be leftovers, all but one (a writer on another host may still rename it).
  for (const std::string& path : {dead, alive, mine}) ASSERT_TRUE(set_file_age(path, 600));
  for (const std::string& path : other_names) ASSERT_TRUE(set_file_age(path, 600));
  zqtr_capture_c capture;
  ASSERT_TRUE(saver.set_state(1, false));
  EXPECT_FALSE(file_exists(dead));
  EXPECT_TRUE(capture.has(ZQTR_FS, "Removed " + dead + ", left by process " + read_text_file(m_dir.file("ended.pid")) +
                                       " that no longer runs"));
  EXPECT_TRUE(file_exists(alive));  // its writer may still rename it
  EXPECT_TRUE(file_exists(fresh));
  EXPECT_TRUE(file_exists(mine));
  for (const std::string& path : other_names) EXPECT_TRUE(file_exists(path)) << path;
  write_text_file(m_dir.file("release"), "");
  EXPECT_EQ(running.wait(), 0);
}

TEST_F(stats_saver_test, a_name_a_state_file_cannot_hold_is_refused) {
  std::string dir = scenario("Scen");
  const std::string names[] = {"x\xffy", "\xff", "line\nend", "cr\r"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    stats_saver_ex_c saver(nullptr, 1, dir.c_str(), k_prefix, name.c_str(), false);
    zqtr_capture_c capture;
    EXPECT_FALSE(saver.set_state(1, false));
    EXPECT_FALSE(saver.set_sync_state(1, true, 5));
    EXPECT_TRUE(capture.has(ZQTR_FAIL,
                            "The scenario name holds a byte 0xFF, a line end or another control character, which a state file cannot hold: nothing is written."));
    EXPECT_FALSE(file_exists(state_file(dir)));
  }
  // What it can hold reads back as written, UTF-8 or not (a name in a single-byte code page).
  const std::string kept[] = {"a<b>&\"c\"", "\xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac", "\xf0\x9f\x98\x80", "caf\xe9\ttab"};
  for (const std::string& name : kept) {
    SCOPED_TRACE(name);
    DeleteFileW(wide(state_file(dir)).c_str());
    stats_saver_ex_c saver(nullptr, 1, dir.c_str(), k_prefix, name.c_str(), false);
    ASSERT_TRUE(saver.set_state(1, false));
    xml_tree_c tree;
    ASSERT_TRUE(tree.load(state_file(dir).c_str()));
    ASSERT_NE(tree.root->first_item(), nullptr);
    EXPECT_STREQ(tree.root->first_item()->find_attr("ScenarioName")->as_string(), name.c_str());
    unsigned index = 99;
    EXPECT_TRUE(get_scenario_state_index(dir.c_str(), &index));
    EXPECT_EQ(index, static_cast<unsigned>(STATE_STOP));
  }
  // A file that has its element already does not take the name: nothing stands in the way.
  stats_saver_ex_c later(nullptr, 1, dir.c_str(), k_prefix, "x\xffy", false);
  EXPECT_TRUE(later.set_state(1, true));
}

// A path the exports cannot represent exactly gets no answer, never the answer for another directory.
TEST_F(stats_saver_test, paths_the_exports_cannot_represent_get_no_answer) {
  std::string first = scenario("S1");
  std::string second = scenario("s2");
  record(first, "<Scenario State=\"Stop\" IsSyncReplicated=\"True\" IsSyncReplicatedTime=\"5\"/>");
  record(second, "<Scenario State=\"Running\" IsSyncReplicated=\"True\" IsSyncReplicatedTime=\"5\"/>");
  std::string long_path = first;
  for (int i = 0; i < 2100; ++i) long_path += "/.";
  long_path += "/../s2";
  ASSERT_GT(long_path.size(), 4195u);
  unsigned index = 99;
  zqtr_capture_c capture;
  EXPECT_FALSE(get_scenario_state_index(long_path.c_str(), &index));
  EXPECT_EQ(index, static_cast<unsigned>(STATE_UNKNOWN));
  EXPECT_FALSE(is_sync_replicated(long_path.c_str()));
  EXPECT_FALSE(is_engine_active_for_scenario(long_path.c_str()));
  // Within the limit the same form answers for s2.
  std::string short_path = first + "/./../s2";
  EXPECT_TRUE(get_scenario_state_index(short_path.c_str(), &index));
  EXPECT_EQ(index, static_cast<unsigned>(STATE_RUNNING));
  // A directory named with U+FFFD is not the one a byte 0xFF would name.
  std::string replacement = scenario("u\xef\xbf\xbd");
  record(replacement, "<Scenario State=\"Sync\"/>");
  const std::string invalid = m_dir.file("u\xff");
  EXPECT_FALSE(get_scenario_state_index(invalid.c_str(), &index));
  EXPECT_FALSE(is_sync_replicated(invalid.c_str()));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Fail to use a path that is not UTF-8 text."));
  EXPECT_TRUE(get_scenario_state_index(replacement.c_str(), &index));
  EXPECT_EQ(index, static_cast<unsigned>(STATE_SYNC));
}

// A relative path names a directory below the process's current directory, as on Windows.
TEST_F(stats_saver_test, relative_paths_resolve_against_the_current_directory) {
  std::string dir = scenario("rel/Scen");
  record(dir, "<Scenario State=\"Stop\"/>");
  struct cwd_s {
    std::wstring before;
    cwd_s() {
      wchar_t buffer[4096];
      DWORD n = GetCurrentDirectoryW(4096, buffer);
      before.assign(buffer, n);
    }
    ~cwd_s() { SetCurrentDirectoryW(before.c_str()); }
  } restore;
  ASSERT_TRUE(SetCurrentDirectoryW(wide(m_dir.file("rel")).c_str()));
  const char* forms[] = {"Scen", "./Scen", "Scen/../Scen", ".\\Scen\\", "../rel/Scen", "..\\rel\\Scen"};
  for (const char* form : forms) {
    SCOPED_TRACE(form);
    unsigned index = 99;
    EXPECT_TRUE(get_scenario_state_index(form, &index));
    EXPECT_EQ(index, static_cast<unsigned>(STATE_STOP));
  }
  stats_saver_ex_c saver(nullptr, 1, "Scen", k_prefix, "", false);
  EXPECT_TRUE(saver.set_state(1, true));
  unsigned index = 99;
  EXPECT_TRUE(get_scenario_state_index(dir.c_str(), &index));
  EXPECT_EQ(index, static_cast<unsigned>(STATE_RUNNING));
  EXPECT_FALSE(file_exists("/Scen/.mw_zq_prefix/stats.xml"));
}

// Root directories of hosts, as a scenario configuration gives them.
class fake_roots_c : public root_directory_source_c {
 public:
  std::vector<std::string> roots;
  size_t root_directory_count(uint64_t) override { return roots.size(); }
  bool root_directory(uint64_t, size_t index, utl_stream_c& path) override {
    if (index >= roots.size()) return false;
    path << roots[index].c_str();
    return true;
  }
};

TEST_F(stats_saver_test, several_root_directories_are_written_in_turn) {
  fake_roots_c roots;
  roots.roots = {scenario("r1"), scenario("r2"), m_dir.file("r3-missing/deeper")};
  stats_saver_ex_c saver(&roots, 4, roots.roots[0].c_str(), k_prefix, "multi", true);
  EXPECT_TRUE(saver.set_sync_state(1, true, 50));  // the missing directory is created on the way
  for (const std::string& root : roots.roots) {
    SCOPED_TRACE(root);
    unsigned index = 99;
    bool synced = false;
    EXPECT_TRUE(read_state(root, &index, &synced));
    EXPECT_EQ(index, static_cast<unsigned>(STATE_RUNNING));
    EXPECT_TRUE(synced);
  }
  fake_roots_c none;
  stats_saver_ex_c nothing(&none, 4, roots.roots[0].c_str(), k_prefix, "", true);
  EXPECT_FALSE(nothing.set_state(1, false));  // nowhere to record is no success
}

TEST_F(stats_saver_test, the_query_exports) {
  std::string dir = scenario("Scen");
  unsigned index = 77;
  zqtr_capture_c capture;
  EXPECT_FALSE(get_scenario_state_index((m_dir.path() + "/missing\\").c_str(), &index));
  EXPECT_EQ(index, 3u);
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Fail to find the path " + m_dir.path() + "/missing."));
  EXPECT_FALSE(is_sync_replicated((m_dir.path() + "/missing").c_str()));
  EXPECT_FALSE(get_scenario_state_index(dir.c_str(), &index));  // nothing recorded
  EXPECT_EQ(index, 3u);
  stats_saver_ex_c saver(nullptr, 1, dir.c_str(), k_prefix, "", false);
  ASSERT_TRUE(saver.set_sync_state(1, true, 5));
  EXPECT_TRUE(get_scenario_state_index(dir.c_str(), &index));
  EXPECT_EQ(index, 0u);
  EXPECT_TRUE(is_sync_replicated(dir.c_str()));
  EXPECT_TRUE(get_scenario_state_index(dir.c_str(), nullptr));
}

TEST_F(stats_saver_test, the_shared_library_exports_all_four_by_name) {
#if defined(STATS_MNG_SANITIZED)
  // The calls work there too (examples/ runs them against the installed library); only LeakSanitizer's
  // own tracer faults at exit on a thread-local block of this second copy of the library.
  GTEST_SKIP() << "LeakSanitizer's tracer faults at exit on the loaded library's thread-local block";
#endif
  std::string dir = scenario("Scen");
  stats_saver_ex_c saver(nullptr, 1, dir.c_str(), k_prefix, "", false);
  ASSERT_TRUE(saver.set_sync_state(1, false, 5));
  dynamic_library_c library(STATS_MNG_SHARED_LIBRARY);
  ASSERT_TRUE(library.loaded()) << library.error();
  auto log = reinterpret_cast<bool (*)(const char*, const char*)>(library.symbol("set_trc_file_log_path"));
  auto active = reinterpret_cast<bool (*)(const char*)>(library.symbol("is_engine_active_for_scenario"));
  auto synced = reinterpret_cast<bool (*)(const char*)>(library.symbol("is_sync_replicated"));
  auto state = reinterpret_cast<bool (*)(const char*, unsigned int*)>(library.symbol("get_scenario_state_index"));
  ASSERT_TRUE(log != nullptr && active != nullptr && synced != nullptr && state != nullptr);
  EXPECT_TRUE(log(nullptr, nullptr));
  EXPECT_FALSE(active(dir.c_str()));
  EXPECT_FALSE(synced(dir.c_str()));
  unsigned index = 99;
  EXPECT_TRUE(state(dir.c_str(), &index));
  EXPECT_EQ(index, 2u);
}

}  // namespace
