#include "platform/trc/zqtr_settings.h"

#include <gtest/gtest.h>

namespace {

TEST(zqtr_settings, level_masks) {
  struct row_s {
    const char* text;
    bool ok;
    unsigned levels;
  } rows[] = {
      {"4", true, 4},
      {"0xCD", true, 0xCD},
      {" 255 ", true, 255},
      {"256", false, 0},
      {"-1", false, 0},
      {"fail", true, ZQTR_FAIL},
      {"FAIL|Problem", true, ZQTR_FAIL | ZQTR_PROBLEM},
      {"notice, fs + info", true, ZQTR_NOTICE | ZQTR_FS | ZQTR_PROGRESS},
      {"all", true, 0xFF},
      {"none", true, 0},
      {"scope|detail", true, ZQTR_SCOPE | ZQTR_DETAIL},
      {"fail|", false, 0},
      {"loud", false, 0},
      {"", false, 0},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.text);
    unsigned levels = 0x5A5A;
    EXPECT_EQ(zqtr_settings_n::parse_levels(row.text, levels), row.ok);
    EXPECT_EQ(levels, row.ok ? row.levels : 0x5A5Au);
  }
}

TEST(zqtr_settings, sizes) {
  struct row_s {
    const char* text;
    bool ok;
    uint64_t size;
  } rows[] = {
      {"0", true, 0},
      {"1000", true, 1000},
      {"64K", true, 65536},
      {"64 kib", true, 65536},
      {"10M", true, 10485760},
      {"2GB", true, 2147483648ull},
      {"1T", false, 0},
      {"K", false, 0},
      {"-5", false, 0},
      {"99999999999999999999", false, 0},
      {"17179869184G", false, 0},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.text);
    uint64_t size = 77;
    EXPECT_EQ(zqtr_settings_n::parse_size(row.text, size), row.ok);
    EXPECT_EQ(size, row.ok ? row.size : 77u);
  }
}

TEST(zqtr_settings, absent_keys_keep_their_defaults) {
  zqtr_settings_s s;
  s.levels = 0;
  s.keep = 9;
  std::vector<std::string> problems;
  zqtr_settings_n::parse("max_size = 2K\n", s, problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(s.max_size, 2048u);
  EXPECT_EQ(s.levels, ZQTR_DEFAULT_LEVELS);
  EXPECT_EQ(s.keep, ZQTR_DEFAULT_KEEP);
}

TEST(zqtr_settings, the_longest_scope_prefix_wins) {
  zqtr_settings_s s;
  std::vector<std::string> problems;
  zqtr_settings_n::parse("levels = fail\nLEVELS.path_n:: = all\nlevels.path_n::standard = none\n", s, problems);
  ASSERT_TRUE(problems.empty());
  struct row_s {
    const char* scope;
    unsigned levels;
  } rows[] = {
      {"path_n::standard_dir_path", 0},
      {"path_n::_normalize_path", 0xFF},
      {"PATH_N::_normalize_path", ZQTR_FAIL},
      {"utl_stream_c::trim", ZQTR_FAIL},
      {nullptr, ZQTR_FAIL},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.scope ? row.scope : "(null)");
    EXPECT_EQ(zqtr_settings_n::levels_for(s, row.scope), row.levels);
  }
}

}  // namespace
