#include "platform/trc/zqtr.h"

#include "platform/win32/win32_api.h"
#include "support/temp_dir.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <unistd.h>
#endif

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

// A log directory that others may write to: whatever they put in the log's name, or in a rotated
// name, is never written through, and the writer of the trace goes on.
class zqtr_planted_test : public zqtr_test {
 protected:
  // A file outside the log directory that a planted name leads to.
  void SetUp() override { write_text_file(victim(), "precious\n"); }
  std::string victim() const { return m_dir.file("victim.txt"); }
  std::string logs() const { return m_dir.file("logs"); }
  std::string log_file() const { return logs() + "/stats_mng.log"; }

  static std::string link_text(const std::string& path) {
#if defined(_WIN32)
    return path + " is a link (a reparse point); the trace log is never written through a link";
#else
    return path + " is a symbolic link; the trace log is never written through a link";
#endif
  }

  struct planted_s {
    const char* what;
    // Puts the object in the name's place; false when this system cannot make it.
    std::function<bool(const std::string& name)> plant;
    std::function<std::string(const std::string& name)> problem;  // the reason expected
    // Checks that what the name stands for is as it was.
    std::function<void(const std::string& name)> untouched;
  };

  // Each row: a fresh log directory with the object in the log's place; the reason is known as soon
  // as the directory is set, stays the first one reported, and the records go nowhere.
  void expect_log_refused(const std::vector<planted_s>& rows) {
    for (const planted_s& row : rows) {
      SCOPED_TRACE(row.what);
      std::filesystem::remove_all(std::filesystem::u8path(logs()));
      ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(logs())));
      ASSERT_TRUE(row.plant(log_file()));
      int64_t len = 0;
      ASSERT_TRUE(zqtr_set_log_directory(nullptr, len, logs().c_str(), "stats_mng.dll", false));
      EXPECT_EQ(zqtr_log_problem(), row.problem(log_file()));
      print_at(ZQTR_FAIL, "record that must not land anywhere");
      print_at(ZQTR_PROGRESS, "and a second one");
      EXPECT_EQ(zqtr_log_problem(), row.problem(log_file()));
      row.untouched(log_file());
      EXPECT_EQ(read_text_file(victim()), "precious\n");
    }
  }

  // Fills a log of max_size 1K with keep rotated files while the object stands at rotated name
  // `slot`: only the names below it take rotated files, the object stays as it was, and the log
  // and the capture say so at every rotation.
  void expect_rotation_around(const planted_s& row, unsigned slot, unsigned keep) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(logs())));
    const std::string name = log_file() + "." + std::to_string(slot);
    ASSERT_TRUE(row.plant(name));
    int64_t len = 0;
    ASSERT_TRUE(zqtr_set_log_directory(nullptr, len, logs().c_str(), "stats_mng.dll", false));
    settings("max_size = 1K\nkeep = " + std::to_string(keep) + "\n");
    zqtr_capture_c capture(ZQTR_PROBLEM);
    for (int i = 0; i < 40; ++i) print_at(ZQTR_FAIL, (std::to_string(1000 + i) + std::string(80, 'r')).c_str());

    const unsigned kept = slot - 1;
    const std::string note = "Rotation left " + name + " alone (" + row.problem(name) + ", not a log file); " +
                             std::to_string(kept) + " of " + std::to_string(keep) + " rotated files kept";
    EXPECT_TRUE(capture.has(ZQTR_PROBLEM, note)) << (capture.texts().empty() ? "" : capture.texts()[0]);
    EXPECT_TRUE(zqtr_log_problem().empty()) << zqtr_log_problem();
    const std::string current = read_text_file(log_file());
    EXPECT_NE(current.find("PROB zqtr_rotate (zqtr:"), std::string::npos);
    EXPECT_NE(current.find(") " + note + "\n"), std::string::npos) << current;
    EXPECT_NE(current.find(" 1039rrr"), std::string::npos);
    for (unsigned i = 1; i <= keep; ++i) {
      SCOPED_TRACE(i);
      const std::string rotated = log_file() + "." + std::to_string(i);
      if (i < slot) {
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(std::filesystem::u8path(rotated))));
        EXPECT_NE(read_text_file(rotated).find("rrr\n"), std::string::npos);
      } else if (i > slot) {
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(std::filesystem::u8path(rotated))));
      }
    }
    row.untouched(name);
    EXPECT_EQ(read_text_file(victim()), "precious\n");
  }

  // What links can stand in a name's place; none where the system makes no links (the test is
  // skipped there).
  std::vector<planted_s> links() {
    std::vector<planted_s> rows;
    const std::string missing = m_dir.file("missing.txt");
    rows.push_back({"a link to a file", [this](const std::string& name) { return make_symbolic_link(victim(), name); },
                    link_text, [](const std::string& name) { EXPECT_TRUE(is_symbolic_link(name)); }});
    rows.push_back({"a dangling link", [missing](const std::string& name) { return make_symbolic_link(missing, name); },
                    link_text, [missing](const std::string& name) {
                      EXPECT_TRUE(is_symbolic_link(name));
                      EXPECT_FALSE(file_exists(missing));
                    }});
    rows.push_back({"a link to a directory",
                    [this](const std::string& name) { return make_symbolic_link(m_dir.path(), name); }, link_text,
                    [this](const std::string& name) {
                      EXPECT_TRUE(is_symbolic_link(name));
                      EXPECT_FALSE(file_exists(m_dir.file("stats_mng.log")));
                    }});
    return rows;
  }

  bool links_can_be_made() {
    const std::string probe = m_dir.file("probe-link");
    return make_symbolic_link(victim(), probe) && std::filesystem::remove(std::filesystem::u8path(probe));
  }

  static planted_s directory_row() {
    return {"a directory",
            [](const std::string& name) { return std::filesystem::create_directory(std::filesystem::u8path(name)); },
            [](const std::string& name) { return name + " is a directory, not a regular file"; },
            [](const std::string& name) {
              EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::symlink_status(std::filesystem::u8path(name))));
              EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::u8path(name)));
            }};
  }

  static planted_s fifo_row() {
    return {"a FIFO", [](const std::string& name) { return make_fifo(name); },
            [](const std::string& name) { return name + " is a FIFO, not a regular file"; },
            [](const std::string& name) {
              EXPECT_EQ(std::filesystem::symlink_status(std::filesystem::u8path(name)).type(),
                        std::filesystem::file_type::fifo);
            }};
  }
};

// The rotation notes name the kind of object where the log's own reason would.
std::string kind_for_rotation(const std::string& problem, const std::string& name) {
  std::string kind = problem.substr(name.size() + 4);  // after "<name> is "
  return kind.substr(0, kind.find_first_of(",;"));
}

TEST_F(zqtr_planted_test, a_link_in_the_logs_place_is_never_written_through) {
  if (!links_can_be_made()) {
    GTEST_SKIP() << "no symbolic links that are seen as such here (a privilege on Windows; Wine reports links "
                    "it does not make)";
  }
  expect_log_refused(links());
}

TEST_F(zqtr_planted_test, a_directory_or_a_second_name_in_the_logs_place_is_refused) {
  std::vector<planted_s> rows = {directory_row()};
  rows.push_back({"a second name of another file",
                  [this](const std::string& name) { return make_hard_link(victim(), name); },
                  [](const std::string& name) {
                    return name + " has 2 names (hard links); the trace log is written only to a file of its own";
                  },
                  [](const std::string&) {}});
  expect_log_refused(rows);
}

#if !defined(_WIN32)
TEST_F(zqtr_planted_test, a_fifo_in_the_logs_place_is_refused_without_waiting) {
  // Without a reader the open itself fails; with one it succeeds and the type refuses it.
  expect_log_refused({fifo_row()});

  int reader = ::open(log_file().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  int64_t len = 0;
  ASSERT_TRUE(zqtr_set_log_directory(nullptr, len, logs().c_str(), "stats_mng.dll", false));
  print_at(ZQTR_FAIL, "record for a reader");
  EXPECT_EQ(zqtr_log_problem(), log_file() + " is a FIFO, not a regular file");
  // Not a byte arrived: the read ends (no writer left) or finds nothing yet.
  char byte;
  EXPECT_LE(::read(reader, &byte, 1), 0);
  ::close(reader);
}
#endif

TEST_F(zqtr_planted_test, the_log_comes_back_with_a_new_directory_and_an_unusable_one_is_reported) {
  ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(logs())));
  ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(log_file())));
  int64_t len = 0;
  ASSERT_TRUE(zqtr_set_log_directory(nullptr, len, logs().c_str(), "stats_mng.dll", false));
  EXPECT_EQ(zqtr_log_problem(), log_file() + " is a directory, not a regular file");
  // A file in the directory's place: the previous log directory stays, with this reason.
  EXPECT_FALSE(zqtr_set_log_directory(nullptr, len, victim().c_str(), "stats_mng.dll", false));
  EXPECT_EQ(zqtr_log_problem(),
            victim() + " cannot be the log directory: it is not a directory and cannot be made one");
  EXPECT_EQ(read_text_file(victim()), "precious\n");
  // Setting a usable directory starts afresh.
  ASSERT_TRUE(zqtr_set_log_directory(nullptr, len, m_dir.path().c_str(), "stats_mng.dll", false));
  EXPECT_EQ(zqtr_log_problem(), "");
  print_at(ZQTR_FAIL, "written again");
  EXPECT_NE(read_text_file(m_dir.file("stats_mng.log")).find("written again"), std::string::npos);
  EXPECT_EQ(zqtr_log_problem(), "");
}

TEST_F(zqtr_planted_test, rotation_leaves_a_directory_in_a_rotated_name_alone) {
  planted_s row = directory_row();
  row.problem = [](const std::string&) { return std::string("a directory"); };
  expect_rotation_around(row, 2, 3);
}

#if !defined(_WIN32)
TEST_F(zqtr_planted_test, rotation_leaves_a_fifo_in_a_rotated_name_alone) {
  planted_s row = fifo_row();
  row.problem = [](const std::string&) { return std::string("a FIFO"); };
  expect_rotation_around(row, 1, 2);
}
#endif

TEST_F(zqtr_planted_test, rotation_leaves_a_link_in_a_rotated_name_alone) {
  if (!links_can_be_made()) {
    GTEST_SKIP() << "no symbolic links that are seen as such here (a privilege on Windows; Wine reports links "
                    "it does not make)";
  }
  const unsigned slots[] = {1, 2, 3};
  unsigned n = 0;
  for (planted_s row : links()) {
    const unsigned slot = slots[n++];
    const std::function<std::string(const std::string&)> reason = row.problem;
    row.problem = [reason](const std::string& name) { return kind_for_rotation(reason(name), name); };
    expect_rotation_around(row, slot, 3);
    std::filesystem::remove_all(std::filesystem::u8path(logs()));
    zqtr_reset();
  }
}

TEST_F(zqtr_planted_test, a_settings_file_that_is_a_link_is_not_followed) {
  if (!links_can_be_made()) {
    GTEST_SKIP() << "no symbolic links that are seen as such here (a privilege on Windows; Wine reports links "
                    "it does not make)";
  }
  use_log_dir();
  // Read through the link, the bad line would be quoted into the log.
  write_text_file(victim(), "levels = fail\nsecret line\n");
  const std::string file = m_dir.file("trace.ini");
  ASSERT_TRUE(make_symbolic_link(victim(), file));
  zqtr_capture_c capture;
  int64_t len = 0;
  EXPECT_FALSE(zqtr_reparse_file(nullptr, len, file.c_str()));
#if defined(_WIN32)
  const char* reason = "it is a link (a reparse point), which is not followed";
#else
  const char* reason = "it is a symbolic link, which is not followed";
#endif
  EXPECT_EQ(capture.texts(), std::vector<std::string>{"Unable to read the trace settings file " + file + ": " + reason});
  EXPECT_EQ(zqtr_current_settings().levels, ZQTR_DEFAULT_LEVELS);
  EXPECT_EQ(read_text_file(m_dir.file("stats_mng.log")).find("secret"), std::string::npos);
}

#if !defined(_WIN32)
TEST_F(zqtr_planted_test, a_settings_file_that_is_a_fifo_is_refused_with_its_kind) {
  const std::string file = m_dir.file("trace.ini");
  ASSERT_TRUE(make_fifo(file));
  zqtr_capture_c capture;
  int64_t len = 0;
  EXPECT_FALSE(zqtr_reparse_file(nullptr, len, file.c_str()));
  EXPECT_EQ(capture.texts(), std::vector<std::string>{"Unable to read the trace settings file " + file +
                                                      ": it is a FIFO, not a regular file"});
}
#endif

TEST_F(zqtr_test, console_answer_can_be_forced) {
  zqtr_force_console_application(1);
  EXPECT_TRUE(zqtr_is_console_application());
  zqtr_force_console_application(0);
  EXPECT_FALSE(zqtr_is_console_application());
  zqtr_force_console_application(-1);
}

}  // namespace
