#include "platform/trc/zqtr.h"

#include "platform/win32/win32_api.h"
#include "support/temp_dir.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <climits>
#include <regex>
#include <thread>

using namespace test_support_n;

namespace {

class zqtr_test : public temp_dir_test {
 protected:
  // Sends the log of module "stats_mng.dll" to the test's directory.
  std::string use_log_dir() {
    int64_t len = 0;
    EXPECT_TRUE(zqtr_set_log_directory(nullptr, len, m_dir.path().c_str(), "stats_mng.dll", false));
    return m_dir.file("stats_mng.log");
  }
  void settings(const std::string& text) {
    int64_t len = static_cast<int64_t>(text.size());
    std::string copy = text;
    EXPECT_TRUE(zqtr_reparse_file(&copy[0], len, nullptr));
  }
  std::vector<std::string> log_lines() { return split_lines(read_text_file(m_dir.file("stats_mng.log"))); }

  trace_reset_c m_reset;
};

void print_at(unsigned level, const char* text) {
  ZQTR_SCOPE(tr, "zqtr_test::print_at", "zqtr_test");
  tr.print(level, 7, "%s\n", text);
}

TEST_F(zqtr_test, capture_takes_only_the_levels_in_its_mask) {
  zqtr_capture_c capture(ZQTR_FAIL | ZQTR_PROBLEM);
  print_at(ZQTR_PROGRESS, "progress");
  print_at(ZQTR_FAIL, "failure");
  print_at(ZQTR_DETAIL, "detail");
  print_at(ZQTR_PROBLEM, "problem");
  EXPECT_EQ(capture.texts(), (std::vector<std::string>{"failure", "problem"}));
  auto records = capture.records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].scope, "zqtr_test::print_at");
  EXPECT_EQ(records[0].file, "zqtr_test");
  EXPECT_EQ(records[0].line, 7);
  EXPECT_EQ(records[0].text, "failure\n");
}

TEST_F(zqtr_test, nested_captures_restore_the_outer_one) {
  zqtr_capture_c outer;
  {
    zqtr_capture_c inner(ZQTR_FAIL);
    print_at(ZQTR_FAIL, "inner");
    EXPECT_TRUE(inner.has(ZQTR_FAIL, "inner"));
  }
  print_at(ZQTR_PROGRESS, "outer");
  EXPECT_EQ(outer.texts(), std::vector<std::string>{"outer"});
}

TEST_F(zqtr_test, nothing_is_written_before_a_directory_is_set) {
  print_at(ZQTR_FAIL, "lost");
  EXPECT_TRUE(zqtr_log_file_path().empty());
  EXPECT_FALSE(file_exists(m_dir.file("stats_mng.log")));
}

TEST_F(zqtr_test, log_line_carries_time_ids_level_scope_file_and_line) {
  std::string path = use_log_dir();
  EXPECT_EQ(zqtr_log_file_path(), path);
  {
    ZQTR_SCOPE(tr, "utl_stream_c::_add_memory", "common1/utl/utl_stream");
    tr.print(ZQTR_FAIL, 321, "Fail to allocate %d bytes\n", 42);
    tr.print_nl(ZQTR_PROGRESS, 322, "done %s", "here");
  }
  auto lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  std::regex shape(
      "^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} \\[([0-9]+):([0-9]+)\\] "
      "FAIL utl_stream_c::_add_memory \\(common1/utl/utl_stream:321\\) Fail to allocate 42 bytes$");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[0], m, shape)) << lines[0];
  EXPECT_EQ(std::stoul(m[1]), static_cast<unsigned long>(GetCurrentProcessId()));
  EXPECT_EQ(std::stoul(m[2]), static_cast<unsigned long>(GetCurrentThreadId()));
  EXPECT_NE(lines[1].find("PROG utl_stream_c::_add_memory (common1/utl/utl_stream:322) done here"), std::string::npos)
      << lines[1];
}

TEST_F(zqtr_test, inner_line_ends_stay_inside_one_record) {
  use_log_dir();
  print_at(ZQTR_FAIL, "first\nsecond\r\nthird");
  auto lines = log_lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find(") first"), std::string::npos);
  EXPECT_EQ(lines[1], "\tsecond");
  EXPECT_EQ(lines[2], "\tthird");
}

TEST_F(zqtr_test, log_file_is_named_after_the_module) {
  struct row_s {
    const char* module;
    bool per_process;
    std::string expected;
  } rows[] = {
      {"stats_mng.dll", false, "stats_mng.log"},
      {"C:\\bin\\engine.exe", false, "engine.log"},
      {"noext", false, "noext.log"},
      {"", false, "stats_mng.log"},
      {nullptr, false, "stats_mng.log"},
      {"stats_mng.dll", true, "stats_mng." + std::to_string(GetCurrentProcessId()) + ".log"},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.module ? row.module : "(null)");
    int64_t len = 0;
    ASSERT_TRUE(zqtr_set_log_directory(nullptr, len, m_dir.path().c_str(), row.module, row.per_process));
    EXPECT_EQ(zqtr_log_file_path(), m_dir.file(row.expected));
    EXPECT_EQ(len, static_cast<int64_t>(zqtr_log_file_path().size()));
  }
}

TEST_F(zqtr_test, set_log_directory_reports_the_path_into_a_bounded_buffer) {
  std::string expected = m_dir.file("stats_mng.log");
  char small[8];
  int64_t len = sizeof small;
  ASSERT_TRUE(zqtr_set_log_directory(small, len, (m_dir.path() + "/").c_str(), "stats_mng.dll", false));
  EXPECT_EQ(std::string(small), expected.substr(0, 7));
  EXPECT_EQ(len, static_cast<int64_t>(expected.size()));
  EXPECT_EQ(zqtr_log_file_path(), expected);
}

TEST_F(zqtr_test, missing_directories_are_created_and_unusable_ones_keep_the_old) {
  std::string nested = m_dir.path() + "/a/b/c";
  int64_t len = 0;
  ASSERT_TRUE(zqtr_set_log_directory(nullptr, len, nested.c_str(), "stats_mng.dll", false));
  print_at(ZQTR_FAIL, "nested");
  EXPECT_NE(read_text_file(nested + "/stats_mng.log").find("nested"), std::string::npos);

  write_text_file(m_dir.file("plain"), "a file, not a directory");
  EXPECT_FALSE(zqtr_set_log_directory(nullptr, len, m_dir.file("plain").c_str(), "stats_mng.dll", false));
  EXPECT_FALSE(zqtr_set_log_directory(nullptr, len, "", "stats_mng.dll", false));
  EXPECT_FALSE(zqtr_set_log_directory(nullptr, len, nullptr, "stats_mng.dll", false));
  EXPECT_EQ(zqtr_log_file_path(), nested + "/stats_mng.log");
}

TEST_F(zqtr_test, default_levels_leave_out_detail_and_scopes) {
  use_log_dir();
  for (unsigned level : {ZQTR_NOTICE, ZQTR_FAIL, ZQTR_PROBLEM, ZQTR_SCOPE, ZQTR_DETAIL, ZQTR_FS, ZQTR_PROGRESS}) {
    print_at(level, std::to_string(level).c_str());
  }
  auto lines = log_lines();
  std::vector<std::string> tails;
  for (const std::string& l : lines) tails.push_back(l.substr(l.rfind(' ') + 1));
  EXPECT_EQ(tails, (std::vector<std::string>{"1", "4", "8", "64", "128"}));
}

TEST_F(zqtr_test, level_mask_from_settings_filters_the_log) {
  use_log_dir();
  settings("levels = fail | detail\n");
  print_at(ZQTR_PROGRESS, "progress");
  print_at(ZQTR_FAIL, "failure");
  print_at(ZQTR_DETAIL, "detail");
  auto lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("FAIL"), std::string::npos);
  EXPECT_NE(lines[1].find("DETL"), std::string::npos);
}

TEST_F(zqtr_test, scope_levels_override_the_general_mask_and_follow_later_changes) {
  use_log_dir();
  settings("levels = none\nlevels.zqtr_test:: = 0xEF\nlevels.zqtr_test::other = fail\n");
  print_at(ZQTR_DETAIL, "chosen scope");
  {
    ZQTR_SCOPE(tr, "elsewhere::op", "x");
    tr.print(ZQTR_FAIL, 1, "silenced\n");
  }
  // The scope's cached mask follows a change of the settings.
  settings("levels = fail\n");
  print_at(ZQTR_DETAIL, "now silenced");
  print_at(ZQTR_FAIL, "still a failure");
  auto lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("chosen scope"), std::string::npos);
  EXPECT_NE(lines[1].find("still a failure"), std::string::npos);
}

TEST_F(zqtr_test, scope_entry_and_exit_are_traced_at_their_own_level) {
  zqtr_capture_c capture(ZQTR_SCOPE);
  { ZQTR_SCOPE(tr, "a::b", "f"); }
  EXPECT_EQ(capture.texts(), (std::vector<std::string>{"enter", "leave"}));
  zqtr_capture_c silent_scope(ZQTR_SCOPE);
  {
    static uint32_t w1 = 14, w2 = 0;
    zqtr_entry_c tr("a::c", "f", &w1, &w2, 1, false);
    tr.print(ZQTR_SCOPE, 1, "never\n");
  }
  EXPECT_TRUE(silent_scope.texts().empty());
}

TEST_F(zqtr_test, windows_64_bit_conversions_give_the_same_text_everywhere) {
  zqtr_capture_c capture;
  ZQTR_SCOPE(tr, "fmt", "f");
  tr.print(ZQTR_FAIL, 1, "%I64d|%I64u|%5I64d|%-4I64u|%I64x|%I32d|%%I64d|%s\n", static_cast<long long>(LLONG_MIN),
           static_cast<unsigned long long>(ULLONG_MAX), 7LL, 3ULL, 255ULL, 12, "I64");
  ASSERT_EQ(capture.texts().size(), 1u);
  EXPECT_EQ(capture.texts()[0], "-9223372036854775808|18446744073709551615|    7|3   |ff|12|%I64d|I64");
}

TEST_F(zqtr_test, a_message_that_cannot_be_rendered_is_kept_with_its_format) {
  zqtr_capture_c capture;
  ZQTR_SCOPE(tr, "fmt", "f");
  tr.print(ZQTR_FAIL, 1, "wide %ls text\n", L"\u00e9\u4e2d");
  ASSERT_EQ(capture.texts().size(), 1u);
  const std::string text = capture.texts()[0];
  // Rendered where the C library can (in its own character set), otherwise the format itself stands
  // in the log: the record is never lost.
  EXPECT_TRUE(text.rfind("wide ", 0) == 0 || text == "(unformatted) wide %ls text") << text;
}

TEST_F(zqtr_test, long_messages_are_not_cut) {
  zqtr_capture_c capture;
  std::string big(5000, 'x');
  print_at(ZQTR_FAIL, big.c_str());
  ASSERT_EQ(capture.texts().size(), 1u);
  EXPECT_EQ(capture.texts()[0], big);
}

TEST_F(zqtr_test, size_limit_rotates_into_numbered_files) {
  use_log_dir();
  settings("max_size = 1K\nkeep = 2\n");
  std::string payload(80, 'r');
  for (int i = 0; i < 60; ++i) print_at(ZQTR_FAIL, (std::to_string(1000 + i) + payload).c_str());
  const char* names[] = {"stats_mng.log", "stats_mng.log.1", "stats_mng.log.2"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    std::string content = read_text_file(m_dir.file(name));
    ASSERT_FALSE(content.empty());
    EXPECT_LE(content.size(), 1024u);
    EXPECT_EQ(content.back(), '\n');
  }
  EXPECT_FALSE(file_exists(m_dir.file("stats_mng.log.3")));
  // The newest record is last in the current file; the rotated files hold the ones before it.
  auto current = split_lines(read_text_file(m_dir.file("stats_mng.log")));
  EXPECT_NE(current.back().find("1059"), std::string::npos);
  auto older = split_lines(read_text_file(m_dir.file("stats_mng.log.1")));
  auto first_current = std::stoi(current.front().substr(current.front().rfind(' ') + 1, 4));
  auto last_older = std::stoi(older.back().substr(older.back().rfind(' ') + 1, 4));
  EXPECT_EQ(last_older + 1, first_current);
}

TEST_F(zqtr_test, keep_zero_starts_the_log_anew) {
  use_log_dir();
  settings("max_size = 512\nkeep = 0\n");
  for (int i = 0; i < 20; ++i) print_at(ZQTR_FAIL, (std::to_string(i) + std::string(60, 'k')).c_str());
  EXPECT_FALSE(file_exists(m_dir.file("stats_mng.log.1")));
  std::string content = read_text_file(m_dir.file("stats_mng.log"));
  EXPECT_LE(content.size(), 512u);
  EXPECT_NE(content.find(" 19kkk"), std::string::npos);
}

TEST_F(zqtr_test, threads_append_whole_lines) {
  use_log_dir();
  const int threads = 6, per_thread = 300;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([t] {
      for (int i = 0; i < per_thread; ++i) {
        print_at(ZQTR_FAIL, ("t" + std::to_string(t) + "-" + std::to_string(i) + "-" + std::string(100, 'z')).c_str());
      }
    });
  }
  for (auto& w : workers) w.join();
  auto lines = log_lines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(threads * per_thread));
  std::regex whole(".* t[0-9]+-[0-9]+-z{100}$");
  for (const std::string& l : lines) ASSERT_TRUE(std::regex_match(l, whole)) << l;
}

TEST_F(zqtr_test, bad_settings_are_reported_in_the_log_and_ignored) {
  use_log_dir();
  settings("levels = fail\nmax_size = lots\nkeep = 500\ncolour = blue\nnot a pair\nlevels.x = sometimes\n");
  zqtr_settings_s now = zqtr_current_settings();
  EXPECT_EQ(now.levels, static_cast<unsigned>(ZQTR_FAIL));
  EXPECT_EQ(now.max_size, ZQTR_DEFAULT_MAX_SIZE);
  EXPECT_EQ(now.keep, ZQTR_DEFAULT_KEEP);
  EXPECT_TRUE(now.scope_levels.empty());
  auto lines = log_lines();
  ASSERT_EQ(lines.size(), 4u);
  const char* expected[] = {
      "PROB zqtr_reparse_file (settings text:0) Trace settings line 2: invalid value [lots] for max_size. Ignored",
      "Trace settings line 3: invalid value [500] for keep. Ignored",
      "Trace settings line 5: [not a pair] is not \"key = value\". Ignored",
      "Trace settings line 6: invalid value [sometimes] for levels.x. Ignored",
  };
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(expected[i]);
    EXPECT_NE(lines[i].find(expected[i]), std::string::npos) << lines[i];
  }
}

TEST_F(zqtr_test, settings_are_read_from_a_file) {
  use_log_dir();
  std::string file = m_dir.file("trace.ini");
  write_text_file(file, "# trace settings\r\nlevels = 0x04\r\n; note\r\nkeep = 1\r\n");
  int64_t len = 0;
  ASSERT_TRUE(zqtr_reparse_file(nullptr, len, file.c_str()));
  EXPECT_EQ(zqtr_current_settings().levels, static_cast<unsigned>(ZQTR_FAIL));
  EXPECT_EQ(zqtr_current_settings().keep, 1u);

  zqtr_capture_c capture;
  std::string missing = m_dir.file("missing.ini");
  EXPECT_FALSE(zqtr_reparse_file(nullptr, len, missing.c_str()));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to read the trace settings file " + missing));
  EXPECT_FALSE(zqtr_reparse_file(nullptr, len, ""));
  EXPECT_FALSE(zqtr_reparse_file(nullptr, len, nullptr));
  // A failed read changes nothing.
  EXPECT_EQ(zqtr_current_settings().keep, 1u);
}

TEST_F(zqtr_test, console_answer_can_be_forced) {
  zqtr_force_console_application(1);
  EXPECT_TRUE(zqtr_is_console_application());
  zqtr_force_console_application(0);
  EXPECT_FALSE(zqtr_is_console_application());
  zqtr_force_console_application(-1);
}

}  // namespace
