// Recording and reading a scenario's state when the system calls under the file layer fail: the old
// state file survives every failed write and the writer says it failed; reads cut short or
// interrupted still read the whole file.
#include "stats_mng/stats_saver.h"

#include "file/writer_lock.h"

#include "support/system_call_faults.h"
#include "support/temp_dir.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dirent.h>
#include <string>
#include <vector>

using namespace test_support_n;

namespace {

const char* k_prefix = ".mw_zq_prefix";

class state_file_faults_test : public temp_dir_test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(saver().set_sync_state(1, false, 100));
    m_before = read_text_file(state_file());
    ASSERT_NE(m_before.find("IsSyncReplicatedTime=\"100\""), std::string::npos);
  }
  stats_saver_ex_c saver() const { return stats_saver_ex_c(nullptr, 3, m_dir.path().c_str(), k_prefix, "S", false); }
  std::string state_file() const { return m_dir.path() + "/" + k_prefix + "/stats.xml"; }
  std::vector<std::string> state_dir_entries() const {
    std::vector<std::string> names;
    DIR* dir = opendir((m_dir.path() + "/" + k_prefix).c_str());
    if (dir == nullptr) return names;
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
  }
  std::string m_before;
  trace_reset_c m_trace;
};

TEST_F(state_file_faults_test, a_failed_write_keeps_the_old_file_and_reports_failure) {
  struct case_s {
    const char* what;
    std::vector<fault_s> faults;
    const char* message;  // the start of the failure traced
  };
  const case_s cases[] = {
      {"the disk full", {{call_e::write, ENOSPC}, {call_e::pwrite, ENOSPC}}, "Unable to write "},
      {"the disk full after a part", {{call_e::write, ENOSPC, -1, 1, 16}, {call_e::pwrite, ENOSPC, -1, 1, 16}},
       "Unable to write "},
      {"the device fails", {{call_e::write, EIO}, {call_e::pwrite, EIO}}, "Unable to write "},
      {"no room for the temporary file", {{call_e::open, ENOSPC}}, nullptr},
      {"the rename refused for good", {{call_e::rename, EACCES}}, "Unable to put the new content of "},
      {"the rename fails outright", {{call_e::rename, EIO}}, "Unable to put the new content of "},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    zqtr_capture_c capture;
    {
      scoped_faults_c faults(c.faults);
      EXPECT_FALSE(saver().set_sync_state(1, true, 200));
      if (c.faults[0].call == call_e::rename && c.faults[0].error == EACCES) {
        EXPECT_EQ(faults.calls(call_e::rename), 200u) << "tried again until the attempts ran out";
      }
    }
    EXPECT_EQ(read_text_file(state_file()), m_before);
    EXPECT_EQ(state_dir_entries(), std::vector<std::string>{"stats.xml"}) << "no temporary file left";
    if (c.message != nullptr) {
      bool traced = false;
      for (const std::string& text : capture.texts()) traced = traced || text.rfind(c.message, 0) == 0;
      EXPECT_TRUE(traced) << c.message;
    }
  }
}

// A rename refused for a moment (another process holding the old file) gets through on a later try.
// A writer lock's name that its last holder deleted on close between a writer's look and its open
// (the open finds no such file): the writer opens it anew instead of failing with "cannot be made"
// (a scenario file's writer, unlike a state file's, has no missing directory to make and try again).
TEST(writer_lock_faults_test, a_lock_name_gone_between_look_and_open_is_opened_anew) {
  temp_dir_c dir;
  const std::string path = dir.file("s.xml");
  write_text_file(path + ".lock", "");  // the name is there when the writer looks
  file_writer_lock_c lock;
  utl_stream_c reason;
  {
    scoped_faults_c faults({{call_e::open, ENOENT, 1}});
    EXPECT_TRUE(lock.acquire(path.c_str(), file_writer_lock_c::k_default_wait_ms, &reason)) << reason.c_str();
    EXPECT_EQ(faults.failed(call_e::open), 1u) << faults.summary();
  }
  lock.release();
  EXPECT_FALSE(file_exists(path + ".lock"));  // deleted on close as ever
}

// A lock file that cannot be made or opened for want of permission is no other writer: the writer
// gives up after a short look (a delete pending passes in a moment, permission does not) and says the
// lock cannot be made, instead of waiting out its whole wait and blaming another writer. A refusal
// for a moment, as a delete pending gives, is still waited through.
TEST(writer_lock_faults_test, permission_is_told_apart_from_another_writer) {
  temp_dir_c dir;
  const std::string path = dir.file("s.xml");
  file_writer_lock_c lock;
  {
    utl_stream_c reason;
    scoped_faults_c faults({{call_e::open, EACCES}});
    EXPECT_FALSE(lock.acquire(path.c_str(), file_writer_lock_c::k_default_wait_ms, &reason));
    const std::string text = reason.c_str();
    EXPECT_NE(text.find("cannot be made"), std::string::npos) << text;
    EXPECT_EQ(text.find("another writer"), std::string::npos) << text;
    // About 200 ms of looks (1 ms apart, then 5 ms; some 56, two opens each), not 5 s of them (over 300).
    EXPECT_LT(faults.calls(call_e::open), 200u) << faults.summary();
  }
  {
    utl_stream_c reason;
    scoped_faults_c faults({{call_e::open, EACCES, 3}});
    EXPECT_TRUE(lock.acquire(path.c_str(), file_writer_lock_c::k_default_wait_ms, &reason)) << reason.c_str();
    EXPECT_EQ(faults.failed(call_e::open), 3u) << faults.summary();
  }
  lock.release();
}

TEST_F(state_file_faults_test, a_rename_refused_for_a_moment_gets_through) {
  {
    scoped_faults_c faults({{call_e::rename, EACCES, 3}});
    EXPECT_TRUE(saver().set_sync_state(1, true, 200));
    EXPECT_EQ(faults.calls(call_e::rename), 4u);
  }
  EXPECT_NE(read_text_file(state_file()).find("IsSyncReplicatedTime=\"200\""), std::string::npos);
  EXPECT_EQ(state_dir_entries(), std::vector<std::string>{"stats.xml"});
}

TEST_F(state_file_faults_test, reads_cut_short_or_interrupted_read_the_whole_file) {
  const std::vector<fault_s> cases[] = {
      {{call_e::read, 0, -1, 0, 1}, {call_e::pread, 0, -1, 0, 1}},
      {{call_e::read, 0, -1, 0, 13}, {call_e::pread, 0, -1, 0, 13}},
      {{call_e::read, EINTR, 2}, {call_e::pread, EINTR, 2}},
      {{call_e::lock, EINTR, 1}, {call_e::flock, EINTR, 1}, {call_e::open, EINTR, 1}},
  };
  for (const auto& faults_of_case : cases) {
    SCOPED_TRACE(std::string(call_name(faults_of_case[0].call)) + (faults_of_case[0].error ? " interrupted" : " cut short"));
    scoped_faults_c faults(faults_of_case);
    unsigned index = 99;
    bool synced = true;
    int64_t time = 0;
    EXPECT_TRUE(saver().get_sync_state(&index, &synced, &time));
    EXPECT_EQ(index, static_cast<unsigned>(STATE_SYNC));
    EXPECT_FALSE(synced);
    EXPECT_EQ(time, 100);
  }
}

// A state file read in pieces of any size answers as one read whole: the file the scan takes, one it
// leaves to the full reader (a value written with a character reference), and files of 4095, 4096
// and 4097 bytes (blank lines before the end tag).
TEST_F(state_file_faults_test, a_state_file_read_in_pieces_of_any_size_answers_as_read_whole) {
  const std::string time_attribute = "IsSyncReplicatedTime=\"100\"";
  const size_t time_at = m_before.find(time_attribute);
  ASSERT_NE(time_at, std::string::npos);
  std::string referenced = m_before;
  referenced.replace(time_at, time_attribute.size(), "IsSyncReplicatedTime=\"&#49;00\"");
  const auto padded = [](std::string text, size_t total) {
    text.insert(text.rfind("</"), std::string(total - text.size(), '\n'));
    return text;
  };
  struct case_s {
    const char* what;
    std::string content;
  };
  const case_s cases[] = {
      {"as the writer wrote it", m_before},
      {"a value with a character reference", referenced},
      {"4095 bytes, taken by the scan", padded(m_before, 4095)},
      {"4096 bytes, taken by the scan", padded(m_before, 4096)},
      {"4097 bytes, taken by the scan", padded(m_before, 4097)},
      {"4095 bytes, left to the full reader", padded(referenced, 4095)},
      {"4096 bytes, left to the full reader", padded(referenced, 4096)},
      {"4097 bytes, left to the full reader", padded(referenced, 4097)},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    write_text_file(state_file(), c.content);
    const auto read_in_pieces_of = [&](size_t piece, stats_saver_ex_c::state_reading_s& reading) {
      std::vector<fault_s> cut;
      if (piece != 0) cut = {{call_e::read, 0, -1, 0, piece}, {call_e::pread, 0, -1, 0, piece}};
      scoped_faults_c faults(cut);
      return stats_saver_ex_c::read_state_file(state_file().c_str(), true, reading);
    };
    // Read whole, the writer's file and its padded copies are read as written; a value written with
    // a character reference is whatever the full reader makes of it, the same in every piece size.
    stats_saver_ex_c::state_reading_s whole;
    const stats_saver_ex_c::state_file_e whole_result = read_in_pieces_of(0, whole);
    EXPECT_EQ(whole_result, stats_saver_ex_c::STATE_FILE_READ) << c.content;
    EXPECT_EQ(whole.state_index, static_cast<unsigned>(STATE_SYNC));
    EXPECT_FALSE(whole.synced);
    if (c.content.find("&#") == std::string::npos) {
      EXPECT_EQ(whole.time, 100);
    }
    for (size_t piece : {size_t(1), size_t(2), size_t(3), size_t(7), size_t(13), size_t(64), size_t(511),
                         c.content.size() - 1, c.content.size(), size_t(4095), size_t(4096)}) {
      SCOPED_TRACE("pieces of " + std::to_string(piece));
      stats_saver_ex_c::state_reading_s reading;
      EXPECT_EQ(read_in_pieces_of(piece, reading), whole_result);
      EXPECT_EQ(reading.read, whole.read);
      EXPECT_EQ(reading.state_index, whole.state_index);
      EXPECT_EQ(reading.synced, whole.synced);
      EXPECT_EQ(reading.time, whole.time);
    }
  }
}

}  // namespace
