#include "utl/utl_stream.h"

#include "platform/trc/zqtr.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

TEST(utl_stream, a_new_buffer_is_empty_with_room_for_31_bytes) {
  utl_stream_c s;
  EXPECT_EQ(s.length(), 0u);
  EXPECT_EQ(s.capacity(), 31u);
  EXPECT_STREQ(s.c_str(), "");
  EXPECT_TRUE(s == "");
  EXPECT_TRUE(s == static_cast<const char*>(nullptr));
}

TEST(utl_stream, growth_follows_the_length) {
  struct step_s {
    size_t first, then;
    uint64_t after_first, after_then;
  } steps[] = {
      {40, 40, 41, 81},       // twice 0 is below the 41 required; twice 40 below 81
      {30, 1, 31, 60},        // 30 bytes fit the first 31; one more doubles the length
      {100, 10, 101, 200},    // length 100 doubles
      {1024, 1, 1025, 2048},  // 1024 still doubles
      {1025, 1, 1026, 2049},  // past 1024 the buffer grows by 1024
      {2000, 10, 2001, 3024},
  };
  for (const step_s& st : steps) {
    SCOPED_TRACE(std::to_string(st.first) + " then " + std::to_string(st.then));
    utl_stream_c s;
    s << std::string(st.first, 'a').c_str();
    EXPECT_EQ(s.capacity(), st.after_first);
    s << std::string(st.then, 'b').c_str();
    EXPECT_EQ(s.capacity(), st.after_then);
    EXPECT_EQ(s.length(), st.first + st.then);
    EXPECT_EQ(s.c_str()[s.length()], '\0');
  }
}

TEST(utl_stream, numbers_and_texts) {
  utl_stream_c s;
  s << static_cast<unsigned long long>(ULLONG_MAX) << "|" << static_cast<long long>(LLONG_MIN) << "|" << true << "|"
    << false << "|" << static_cast<unsigned long>(7) << "|" << 8u << "|" << static_cast<unsigned short>(65535) << "|"
    << -9L << "|" << -10 << "|" << static_cast<short>(-11) << "|" << 'c' << "|" << L"wide \u00e9" << "|"
    << static_cast<const char*>(nullptr) << static_cast<const wchar_t*>(nullptr) << "" << L"";
  EXPECT_STREQ(s.c_str(), "18446744073709551615|-9223372036854775808|True|False|7|8|65535|-9|-10|-11|c|wide \xc3\xa9|");
  utl_stream_c copy(s);
  EXPECT_TRUE(copy == s);
  copy << s;
  EXPECT_EQ(copy.length(), 2 * s.length());
}

TEST(utl_stream, double_rule) {
  struct row_s {
    double value;
    const char* text;
  } rows[] = {
      {0.25, "0.25"},         {-7.0, "-7"},          {2.5, "2.5"},
      {3.0, "3"},             {0.0, "0"},            {1.23456, "1.2346"},
      {0.00001, "0"},         {2147483646.5, "2147483646.5"},
      {2147483647.0, "2.147483647e+09"}, {-2147483647.0, "-2.147483647e+09"},
      {1e300, "1.000000000e+300"}, {-1e-300, "-0"},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.text);
    utl_stream_c s;
    s << row.value;
    EXPECT_STREQ(s.c_str(), row.text);
    EXPECT_TRUE(s.remove_tail(row.value));
    EXPECT_STREQ(s.c_str(), "");
  }
  utl_stream_c nan;
  nan << std::nan("");
  EXPECT_NE(std::string(nan.c_str()).find("nan"), std::string::npos) << nan.c_str();
}

TEST(utl_stream, char_one_empties_and_keeps_the_allocation) {
  utl_stream_c s;
  s << std::string(100, 'x').c_str();
  uint64_t capacity = s.capacity();
  s << static_cast<char>(1);
  EXPECT_EQ(s.length(), 0u);
  EXPECT_STREQ(s.c_str(), "");
  EXPECT_EQ(s.capacity(), capacity);
}

TEST(utl_stream, remove_tail) {
  utl_stream_c s;
  s << "xxabc";
  EXPECT_FALSE(s.remove_tail("abd"));
  EXPECT_FALSE(s.remove_tail("zxxabc"));
  EXPECT_STREQ(s.c_str(), "xxabc");
  EXPECT_TRUE(s.remove_tail("abc"));
  EXPECT_STREQ(s.c_str(), "xx");
  EXPECT_TRUE(s.remove_tail(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(s.remove_tail(""));
  EXPECT_TRUE(s.remove_tail(L""));
  EXPECT_STREQ(s.c_str(), "xx");

  utl_stream_c t;
  t << "ab";
  EXPECT_FALSE(t.remove_tail("abc"));
  EXPECT_STREQ(t.c_str(), "ab");

  utl_stream_c n;
  n << "id=" << -42 << 'z' << true << 17u;
  EXPECT_TRUE(n.remove_tail(17u));
  EXPECT_TRUE(n.remove_tail(true));
  EXPECT_FALSE(n.remove_tail('y'));
  EXPECT_TRUE(n.remove_tail('z'));
  EXPECT_FALSE(n.remove_tail(43));
  EXPECT_TRUE(n.remove_tail(-42));
  utl_stream_c tail;
  tail << "=";
  EXPECT_TRUE(n.remove_tail(tail));
  EXPECT_TRUE(n.remove_tail(L"id"));
  EXPECT_STREQ(n.c_str(), "");
}

TEST(utl_stream, compare_starts_and_ends) {
  utl_stream_c s;
  s << "Hello";
  struct row_s {
    const char* other;
    bool exact;
    int result;
  } rows[] = {
      {"Hello", true, 0}, {"hello", true, -1}, {"hello", false, 0}, {"HELLO!", false, -1},
      {"Hell", false, 1}, {"Help", true, -1},  {"", true, 1},       {"\xc3\xa9", true, -1},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.other);
    EXPECT_EQ(s.compare(row.other, row.exact), row.result);
  }
  EXPECT_EQ(s.compare(static_cast<const char*>(nullptr), true), 1);
  EXPECT_TRUE(s.starts_with("hel", false));
  EXPECT_FALSE(s.starts_with("hel", true));
  EXPECT_TRUE(s.ends_with("LLO", false));
  EXPECT_FALSE(s.ends_with("xHello", false));
  EXPECT_FALSE(s.starts_with(nullptr, true));
  EXPECT_TRUE(s == L"Hello");
  EXPECT_FALSE(s == "Hell");
}

// A buffer whose allocation failed: compare, c_str and == still answer, with nothing allocated.
void* always_fail(void*, size_t) { return nullptr; }

TEST(utl_stream, without_an_allocation) {
  zqtr_capture_c capture(ZQTR_FAIL);
  utl_stream_c::realloc_f previous = utl_stream_c::_set_reallocator(&always_fail);
  utl_stream_c s;
  utl_stream_c::_set_reallocator(previous);
  EXPECT_FALSE(s.has_allocation());
  EXPECT_EQ(s.compare("", true), 0);
  EXPECT_EQ(s.compare("a", true), -1);
  EXPECT_STREQ(s.c_str(), "");
  EXPECT_FALSE(s.starts_with("", true));
  EXPECT_EQ(s.find("x"), nullptr);
  ASSERT_EQ(capture.records().size(), 1u);
  EXPECT_EQ(capture.records()[0].text, "Allocate memory failed. The length of memory to allocate is 32\n");
  EXPECT_EQ(capture.records()[0].scope, "utl_stream_c::_add_memory");
  // Appending later allocates as a first allocation does.
  s << "late";
  EXPECT_STREQ(s.c_str(), "late");
}

TEST(utl_stream, a_failed_reallocation_leaves_the_text_as_it_was) {
  zqtr_capture_c capture(ZQTR_FAIL);
  utl_stream_c s;
  s << "kept";
  utl_stream_c::realloc_f previous = utl_stream_c::_set_reallocator(&always_fail);
  s << std::string(100, 'x').c_str();
  utl_stream_c::_set_reallocator(previous);
  EXPECT_STREQ(s.c_str(), "kept");
  EXPECT_EQ(s.capacity(), 31u);
  ASSERT_EQ(capture.records().size(), 1u);
  EXPECT_EQ(capture.records()[0].text, "Failed: Allocate memory failed. The length of memory to allocate is 106.\n");
  s << "!";
  EXPECT_STREQ(s.c_str(), "kept!");
}

TEST(utl_stream, trim_find_replace) {
  utl_stream_c s;
  s << " \t\r\n text \xa0\x85 \n";
  s.trim();
  // Bytes of 0x80 and above are not white space.
  EXPECT_STREQ(s.c_str(), "text \xa0\x85");
  utl_stream_c blank;
  blank << "   ";
  blank.trim();
  EXPECT_STREQ(blank.c_str(), "");

  struct row_s {
    const char* text;
    const char* what;
    const char* with;
    bool ok;
    const char* result;
  } rows[] = {
      {"cac", "a", "bb", true, "cbbc"}, {"aa", "a", "bb", true, "bba"},  {"abc", "x", "y", false, "abc"},
      {"abc", "b", nullptr, true, "ac"}, {"abc", "abc", "", true, ""},    {"abcabc", "ca", "-", true, "ab-bc"},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.text);
    utl_stream_c r;
    r << row.text;
    EXPECT_EQ(r.replace(row.what, row.with), row.ok);
    EXPECT_STREQ(r.c_str(), row.result);
  }
  utl_stream_c f;
  f << "abcabc";
  EXPECT_EQ(f.find("ca"), f.c_str() + 2);
  EXPECT_EQ(f.find(""), nullptr);
  utl_stream_c empty;
  EXPECT_EQ(empty.find(""), empty.c_str());
  EXPECT_EQ(empty.find(nullptr), empty.c_str());
}


TEST(utl_stream, appending_its_own_text_while_growing) {
  struct case_s {
    const char* name;
    void (*append)(utl_stream_c&);
  };
  const case_s cases[] = {
      {"the buffer", [](utl_stream_c& s) { s << s; }},
      {"its c_str", [](utl_stream_c& s) { s << s.c_str(); }},
      {"a tail of it", [](utl_stream_c& s) { s << (s.c_str() + 1); }},
      {"bytes of it", [](utl_stream_c& s) { s.append(s.c_str(), static_cast<size_t>(s.length())); }},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.name);
    utl_stream_c s;
    s << "0123456789abcdefghijklmnopqrstu";  // the doubled text does not fit: the append grows it
    ASSERT_LT(s.capacity(), 2 * s.length() + 1);
    std::string expected = s.c_str();
    expected += std::string(c.name) == "a tail of it" ? expected.substr(1) : expected;
    c.append(s);
    EXPECT_EQ(std::string(s.c_str()), expected);
    EXPECT_EQ(s.length(), expected.size());
  }
}

// A line and its end in one step, across the growth of the buffer: the text is every line with its
// end, in order, always ended by a zero byte.
TEST(utl_stream, a_line_and_its_end_appended_together) {
  for (size_t length : {0u, 1u, 29u, 30u, 31u, 1023u, 5000u}) {
    SCOPED_TRACE(length);
    utl_stream_c out;
    std::string expected;
    for (int i = 0; i < 5; ++i) {
      const std::string line(length, static_cast<char>('a' + i));
      ASSERT_TRUE(out.append_then(line.data(), line.size(), '\n'));
      expected += line + '\n';
      ASSERT_EQ(out.length(), expected.size());
      EXPECT_EQ(std::string(out.c_str()), expected);
    }
    EXPECT_GE(out.capacity(), out.length() + 1);
  }
}

// A released text is the caller's (freed with free); the buffer starts again without memory.
TEST(utl_stream, a_released_text_goes_to_the_caller) {
  utl_stream_c out;
  out << "some text";
  uint64_t length = 0;
  char* text = out.release(length);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(length, 9u);
  EXPECT_STREQ(text, "some text");
  std::free(text);
  EXPECT_EQ(out.length(), 0u);
  EXPECT_EQ(out.capacity(), 0u);
  EXPECT_STREQ(out.c_str(), "");
  EXPECT_EQ(out.release(length), nullptr);
  EXPECT_EQ(length, 0u);
  out << "more";
  EXPECT_STREQ(out.c_str(), "more");
}

}  // namespace
