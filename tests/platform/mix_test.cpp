#include "platform/thl/mix.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>

namespace {

TEST(mix, integer_texts) {
  struct row_s {
    const char* text;
    bool ok;
    int64_t value;
  } rows[] = {
      {"0", true, 0},
      {"42", true, 42},
      {"  -17\t", true, -17},
      {"+8", true, 8},
      {"0x1F", true, 31},
      {"0XfF", true, 255},
      {"-0x10", true, -16},
      {"9223372036854775807", true, LLONG_MAX},
      {"-9223372036854775808", true, LLONG_MIN},
      {"-9223372036854775809", false, 0},
      {"9223372036854775808", true, LLONG_MIN},  // 2^63 as its bit pattern
      {"18446744073709551615", true, -1},
      {"0xFFFFFFFFFFFFFFFF", true, -1},
      {"18446744073709551616", false, 0},
      {"0x10000000000000000", false, 0},
      {"", false, 0},
      {"   ", false, 0},
      {"-", false, 0},
      {"0x", false, 0},
      {"12a", false, 0},
      {"1 2", false, 0},
      {"0x1g", false, 0},
      {"--1", false, 0},
      {"1.5", false, 0},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.text);
    int64_t value = 12345;
    EXPECT_EQ(mix_n::parse_formatted_integer_string(row.text, value), row.ok);
    EXPECT_EQ(value, row.ok ? row.value : 12345);
  }
  int64_t value = 5;
  EXPECT_FALSE(mix_n::parse_formatted_integer_string(nullptr, value));
}

TEST(mix, bool_texts) {
  EXPECT_STREQ(mix_n::True, "True");
  EXPECT_STREQ(mix_n::False, "False");
}

TEST(mix, localtime_fills_the_calendar) {
  time_t now = time(nullptr);
  struct tm mine;
  std::memset(&mine, 0, sizeof mine);
  ASSERT_TRUE(mix_n::localtime_r(now, &mine));
  EXPECT_GE(mine.tm_year, 120);
  EXPECT_LE(mine.tm_mday, 31);
  EXPECT_GE(mine.tm_mday, 1);
  time_t back = mktime(&mine);
  EXPECT_EQ(back, now);
  EXPECT_FALSE(mix_n::localtime_r(now, nullptr));
}

TEST(mix, sleep_pauses) {
  auto start = std::chrono::steady_clock::now();
  mix_n::sleep(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

}  // namespace
