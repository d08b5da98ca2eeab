#include "stats_mng/stats_mng.h"

#include "platform/trc/zqtr.h"
#include "support/dynamic_library.h"
#include "support/temp_dir.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

using namespace test_support_n;

namespace {

class set_trc_file_log_path_test : public temp_dir_test {
 protected:
  trace_reset_c m_reset;
};

// The directory as a caller may write it: backslashes and a trailing separator.
std::string windows_style(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out + "\\";
}

TEST_F(set_trc_file_log_path_test, null_arguments_still_succeed) {
  EXPECT_TRUE(set_trc_file_log_path(nullptr, nullptr));
  EXPECT_TRUE(zqtr_log_file_path().empty());
  EXPECT_TRUE(set_trc_file_log_path("", ""));
  EXPECT_TRUE(zqtr_log_file_path().empty());
}

TEST_F(set_trc_file_log_path_test, the_log_directory_is_normalised_first) {
  EXPECT_TRUE(set_trc_file_log_path(nullptr, windows_style(m_dir.path() + "/logs/./today").c_str()));
  EXPECT_EQ(zqtr_log_file_path(), m_dir.path() + "/logs/today/stats_mng.log");
}

TEST_F(set_trc_file_log_path_test, reads_the_settings_file_again) {
  std::string settings = m_dir.file("trace.ini");
  write_text_file(settings, "levels = fail\nmax_size = 4K\nkeep = 1\n");
  EXPECT_TRUE(set_trc_file_log_path(windows_style(settings).c_str(), m_dir.path().c_str()));
  zqtr_settings_s now = zqtr_current_settings();
  EXPECT_EQ(now.levels, static_cast<unsigned>(ZQTR_FAIL));
  EXPECT_EQ(now.max_size, 4096u);
  EXPECT_EQ(now.keep, 1u);
}

TEST_F(set_trc_file_log_path_test, an_unusable_directory_does_not_change_the_answer) {
  write_text_file(m_dir.file("blocker"), "x");
  EXPECT_TRUE(set_trc_file_log_path(nullptr, (m_dir.path() + "/blocker/logs").c_str()));
  EXPECT_TRUE(zqtr_log_file_path().empty());
}

// A foreign caller loads the built library and finds the export by its plain name.
TEST_F(set_trc_file_log_path_test, the_shared_library_exports_it_by_name) {
  dynamic_library_c library(STATS_MNG_SHARED_LIBRARY);
  ASSERT_TRUE(library.loaded()) << library.error();
  using export_f = bool (*)(const char*, const char*);
  auto set_path = reinterpret_cast<export_f>(library.symbol("set_trc_file_log_path"));
  ASSERT_NE(set_path, nullptr);
  EXPECT_EQ(library.symbol("_ZN6path_n17standard_dir_pathEPKcPcb"), nullptr);
  EXPECT_EQ(library.symbol("zqtr_reparse_file"), nullptr);

  // The library's own trace component reports the bad value into the log it was given.
  std::string settings = m_dir.file("trace.ini");
  write_text_file(settings, "levels = sometimes\n");
  std::string logs = m_dir.path() + "/library logs";
  EXPECT_TRUE(set_path(settings.c_str(), logs.c_str()));
  std::string log = read_text_file(logs + "/stats_mng.log");
  EXPECT_NE(log.find("Trace settings line 1: invalid value [sometimes] for levels. Ignored"), std::string::npos)
      << log;
  // What the library said while it loaded comes first: the configurator's verdict.
  EXPECT_NE(log.find("O.K. Generic Coonfigurator is successfully built up"), std::string::npos) << log;
  EXPECT_LT(log.find("Generic Coonfigurator"), log.find("Trace settings line 1")) << log;
  EXPECT_TRUE(set_path(nullptr, nullptr));
}

}  // namespace
