#include "utl/multi_lang.h"
#include "utl/time_span.h"
#include "utl/shared_texts.h"
#include "utl/utl.h"
#include "utl/utl_stream.h"
#include "utl/win_internals.h"

#include "platform/trc/zqtr.h"
#include "platform/win32/win32_api.h"
#include "support/temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

using namespace test_support_n;

namespace {

TEST(utl_n, copies_are_allocated_in_size_classes) {
  struct row_s {
    size_t length;
    bool size_class;
    size_t allocated;
  } rows[] = {
      {0, true, 16},     {15, true, 16},    {16, true, 32},   {31, true, 32},   {32, true, 64},
      {63, true, 64},    {64, true, 256},   {255, true, 256}, {256, true, 1024}, {1023, true, 1024},
      {1024, true, 1025}, {2000, true, 2001}, {15, false, 16}, {16, false, 17},  {2000, false, 2001},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(std::to_string(row.length) + (row.size_class ? " in classes" : ""));
    EXPECT_EQ(utl_n::str_allocation_size(row.length, row.size_class), row.allocated);
    std::string text(row.length, 'q');
    char* copy = utl_n::str_copy(text.c_str(), row.size_class);
    EXPECT_EQ(std::string(copy), text);
    delete[] copy;
  }
  EXPECT_EQ(utl_n::str_copy(nullptr), nullptr);
  char* part = utl_n::str_strncopy("abcdef", 3, false);
  EXPECT_STREQ(part, "abc");
  delete[] part;
}

TEST(utl_n, dotted_ip_texts) {
  struct row_s {
    const char* text;
    uint32_t ip;
  } rows[] = {
      {"10.1.2.3", (10u << 24) | (1u << 16) | (2u << 8) | 3u},
      {"10.1.2.3 ", (10u << 24) | (1u << 16) | (2u << 8) | 3u},
      {"10.1.2.3\n", (10u << 24) | (1u << 16) | (2u << 8) | 3u},
      {"255.255.255.255", 0xFFFFFFFFu},
      {"0.0.0.0", 0},
      {"10.1.2.3x", 0},
      {"10.1.2", 0},
      {"256.1.1.1", 0},
      {"1.2.3.256", 0},
      {"-1.2.3.4", 0},
      {"4294967296.0.0.1", 0},  // too big for 32 bits: refused on every target, never wrapped to 0
      {"18446744073709551617.1.1.1", 0},
      {" 10.+1.2.3", (10u << 24) | (1u << 16) | (2u << 8) | 3u},  // each part read as %u reads it
      {"10.1.2.3 trailing", (10u << 24) | (1u << 16) | (2u << 8) | 3u},
      {"", 0},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(utl_n::string_to_ip(row.text), row.ip);
  }
  EXPECT_EQ(utl_n::string_to_ip(nullptr), 0u);
}

TEST(utl_n, splitting_and_joining_64_bits) {
  uint32_t low = 0, high = 0;
  utl_n::i64to32x32(0x123456789ABCDEF0ull, low, high);
  EXPECT_EQ(low, 0x9ABCDEF0u);
  EXPECT_EQ(high, 0x12345678u);
  EXPECT_EQ(utl_n::i32x32to64(low, high), 0x123456789ABCDEF0ull);
}

// The system's own text for the error, from FormatMessageW, without its line end.
std::string system_text(DWORD error) {
  wchar_t* message = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                           nullptr, error, 0, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
  std::string out;
  for (DWORD i = 0; i < n; ++i) out += static_cast<char>(message[i]);
  if (message) LocalFree(message);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

TEST(utl_n, error_texts) {
  utl_stream_c out;
  out << "open: ";
  EXPECT_STREQ(utl_n::get_error_text(out, 5), ("open: " + system_text(5) + "(5)").c_str());
  EXPECT_FALSE(system_text(5).empty());
  utl_n::set_last_error(2);
  utl_stream_c last;
  utl_n::get_error_text(last, 0);
  EXPECT_EQ(std::string(last.c_str()), system_text(2) + "(2)");
  utl_stream_c unknown;
  EXPECT_STREQ(utl_n::get_error_text(unknown, 0x7FFF0001), "(2147418113)");
}

#if !defined(_WIN32)
// The texts of this layer are Windows' own.
TEST(utl_n, error_texts_are_the_systems_words) {
  utl_stream_c out;
  EXPECT_STREQ(utl_n::get_error_text(out, 5), "Access is denied.(5)");
  utl_stream_c sharing;
  EXPECT_STREQ(utl_n::get_error_text(sharing, 32),
               "The process cannot access the file because it is being used by another process.(32)");
}
#endif

TEST(utl_n, prefix_comparison_ignores_case) {
  struct row_s {
    const char* a;
    const char* b;
    bool prefix;
  } rows[] = {
      {"abc", "ABCdef", true},
      {"abd", "ABCdef", false},
      {"", "anything", true},
      {"C:\\Data", "c:\\data\\sub", true},
      {"\xc3\x84rger", "\xc3\xa4RGER-mehr", true},  // Ä against ä
      {"\xd0\x96", "\xd0\xb6\xd0\xb8", true},        // Ж against ж
      {"abcdef", "abc", false},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(std::string(row.a) + " / " + row.b);
    EXPECT_EQ(utl_n::utf8_prefix_strnicmp(row.a, row.b) == 0, row.prefix);
  }
  EXPECT_EQ(utl_n::utf8_prefix_strnicmp(nullptr, "x"), 0);
  EXPECT_EQ(utl_n::utf8_prefix_strnicmp("x", nullptr), 0);
  // Long texts take no fixed buffer.
  std::string long_a(100000, 'a'), long_b(100001, 'A');
  EXPECT_EQ(utl_n::utf8_prefix_strnicmp(long_a.c_str(), long_b.c_str()), 0);
}

TEST(utl_n, wide_comparison_ignores_case) {
  EXPECT_EQ(utl_n::uni_stricmp(L"Hello", L"hELLO"), 0);
  EXPECT_EQ(utl_n::uni_stricmp(L"abc", L"abd"), -1);
  EXPECT_EQ(utl_n::uni_stricmp(L"abd", L"ABC"), 1);
  EXPECT_EQ(utl_n::uni_stricmp(L"ab", L"abc"), -1);
  EXPECT_EQ(utl_n::uni_stricmp(L"\u00c4", L"\u00e4"), 0);
  EXPECT_EQ(utl_n::uni_stricmp(L"\u03a3", L"\u03c3"), 0);
}

TEST(utl_n, disk_queries) {
  temp_dir_c dir;
  uint64_t total = 0;
  ASSERT_TRUE(utl_n::get_disk_total_size(dir.path().c_str(), &total));
  EXPECT_GT(total, 0u);
  unsigned cluster = 0, sector = 0;
  ASSERT_TRUE(utl_n::get_cluster_size(dir.path().c_str(), &cluster, &sector));
  EXPECT_GE(sector, 512u);
  EXPECT_EQ(cluster % sector, 0u);
  EXPECT_TRUE(utl_n::get_cluster_size(dir.path().c_str(), &cluster, nullptr));
  EXPECT_FALSE(utl_n::get_disk_total_size(nullptr, &total));
  EXPECT_EQ(total, 0u);
  EXPECT_FALSE(utl_n::get_cluster_size((dir.path() + "/missing/deeper").c_str(), &cluster, &sector));
  EXPECT_EQ(cluster, 0u);
}

TEST(multi_lang, unicode_to_utf8) {
  int len = 0;
  EXPECT_TRUE(multi_lang_str_n::unicode_to_utf8(L"h\u00e9", nullptr, &len));
  EXPECT_EQ(len, 4);
  EXPECT_EQ(multi_lang_str_n::utf8lenhelper(L"h\u00e9"), 4);
  char out[8];
  len = sizeof out;
  ASSERT_TRUE(multi_lang_str_n::unicode_to_utf8(L"h\u00e9", out, &len));
  EXPECT_STREQ(out, "h\xc3\xa9");
  EXPECT_EQ(len, 4);

  zqtr_capture_c capture(ZQTR_FAIL);
  char small[3];
  len = sizeof small;
  EXPECT_FALSE(multi_lang_str_n::unicode_to_utf8(L"h\u00e9", small, &len));
  EXPECT_EQ(len, 4);  // the size needed, even so
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Fail to convert from UNICODE to UTF-8, unic : h\xc3\xa9, short buffer 3 < 4"));

  len = 99;
  out[0] = 'x';
  EXPECT_TRUE(multi_lang_str_n::unicode_to_utf8(nullptr, out, &len));
  EXPECT_EQ(len, 0);
  EXPECT_EQ(out[0], '\0');
}

TEST(multi_lang, utf8_to_unicode) {
  int len = 0;
  EXPECT_TRUE(multi_lang_str_n::utf8_to_unicode("h\xc3\xa9", nullptr, &len));
  EXPECT_EQ(len, 3);
  wchar_t out[8];
  len = 8;
  ASSERT_TRUE(multi_lang_str_n::utf8_to_unicode("h\xc3\xa9", out, &len));
  EXPECT_EQ(std::wstring(out), L"h\u00e9");

  zqtr_capture_c capture(ZQTR_FAIL);
  wchar_t small[2];
  len = 2;
  EXPECT_FALSE(multi_lang_str_n::utf8_to_unicode("h\xc3\xa9", small, &len));
  EXPECT_EQ(len, 3);
  EXPECT_EQ(capture.texts(), (std::vector<std::string>{
                                 "Fail to convert from UTF-8 to UNICODE, short buffer len 2 < required len 3",
                                 "UTF-8 buffer length=3, buffer=h\xc3\xa9"}));
}

TEST(multi_lang, holder_conversions) {
  basis_multi_lang_c holder;
  EXPECT_STREQ(holder.to_utf8(L"\u00c4pfel"), "\xc3\x84pfel");
  EXPECT_EQ(std::wstring(holder.to_unicode("\xc3\x84pfel")), L"\u00c4pfel");
  EXPECT_EQ(holder.to_utf8(nullptr), nullptr);
  EXPECT_EQ(holder.to_unicode(nullptr), nullptr);
  EXPECT_STREQ(holder.to_utf8(L""), "");
  char narrow[4];
  EXPECT_EQ(multi_lang_str_n::wide_to_utf8(L"toolong", narrow, sizeof narrow), nullptr);
  EXPECT_STREQ(narrow, "");  // never a partial result
  wchar_t wide[8];
  EXPECT_EQ(multi_lang_str_n::utf8_to_wide("ok", wide, 8), wide);
  EXPECT_EQ(std::wstring(wide), L"ok");
}

TEST(date_time, file_times) {
  struct row_s {
    uint64_t ticks;
    int64_t seconds;
  } rows[] = {
      {116444736000000000ull, 0},
      {116444736000000000ull + 10000000ull, 1},
      {116444736000000000ull + 17649792000000000ull, 1764979200},  // 2025-12-06
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.ticks);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(row.ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(row.ticks >> 32);
    EXPECT_EQ(date_time_c::convert_filetime_to_time_t(&ft), row.seconds);
  }
}

// Our own calendar against known dates, at the edges of months, leap days and the years it writes.
TEST(date_time, iso_dates_from_the_year_1_to_9999) {
  struct row_s {
    int64_t seconds;
    const char* date;  // nullptr: outside what the form writes
  };
  const row_s rows[] = {
      {0, "1970-01-01T00:00:00Z"},
      {-1, "1969-12-31T23:59:59Z"},
      {951782400, "2000-02-29T00:00:00Z"},   // a leap day of a year divisible by 400
      {4107542399, "2100-02-28T23:59:59Z"},  // 2100 has no leap day
      {4107542400, "2100-03-01T00:00:00Z"},
      {1798761599, "2026-12-31T23:59:59Z"},
      {32503680000, "3000-01-01T00:00:00Z"},  // where a runtime's conversion stops on one system
      {33000000000, "3015-09-24T10:40:00Z"},
      {253402300799, "9999-12-31T23:59:59Z"},
      {253402300800, nullptr},  // the year 10000 has no four-digit form
      {-62135596800, "0001-01-01T00:00:00Z"},
      {-62135596801, nullptr},
      {INT64_MAX, nullptr},
      {INT64_MIN, nullptr},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.seconds);
    char text[21];
    std::memset(text, 'x', sizeof text);
    const bool written = date_time_c::iso_utc_date(row.seconds, text);
    EXPECT_EQ(written, row.date != nullptr);
    EXPECT_STREQ(text, row.date != nullptr ? row.date : "");
  }
}

TEST(win_internals, compression_information_of_a_file) {
  if (running_under_wine()) GTEST_SKIP() << "Wine does not implement FileCompressionInformation";
  temp_dir_c dir;
  std::string path = dir.file("data.bin");
  write_text_file(path, std::string(10000, 'd'));
  HANDLE h = open_test_file(path);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  unsigned char info[16];
  std::memset(info, 0xEE, sizeof info);
  ASSERT_TRUE(win_internals_n::query_info_file(h, info));
  int64_t compressed = 0;
  std::memcpy(&compressed, info, sizeof compressed);
  EXPECT_GE(compressed, 10000);
  EXPECT_LT(compressed, 1 << 20);
  CloseHandle(h);
  EXPECT_FALSE(win_internals_n::query_info_file(nullptr, info));
  EXPECT_FALSE(win_internals_n::query_info_file(INVALID_HANDLE_VALUE, info));
}

// A shared table finds every entry itself (not a copy), among entries that begin alike, and nothing
// for texts that only begin or end like one; a table too large for its index is searched in order.
TEST(shared_texts, entries_are_found_by_their_first_byte_then_whole) {
  static const char* const small[] = {"check_if", "case", "check_kids_if_val", "", "c", "val", "variable"};
  std::vector<std::string> many_texts;
  for (int i = 0; i < 300; ++i) many_texts.push_back("t" + std::to_string(i));
  many_texts.push_back("check_if");
  std::vector<const char*> many;
  for (const std::string& t : many_texts) many.push_back(t.c_str());
  struct table_s {
    const char* const* texts;
    size_t count;
  } tables[] = {{small, sizeof small / sizeof small[0]}, {many.data(), many.size()}};
  for (const table_s& table : tables) {
    SCOPED_TRACE(table.count);
    shared_texts_c shared;
    shared.set(table.texts, table.count);
    for (size_t i = 0; i < table.count; ++i) EXPECT_EQ(shared.find(table.texts[i]), table.texts[i]);
    for (const char* absent : {"check", "check_if_", "cas", "va", "x", "t300"}) EXPECT_EQ(shared.find(absent), nullptr) << absent;
    const std::string copy = "check_if";
    EXPECT_EQ(shared.find(copy.c_str()), table.count == 7 ? small[0] : many.back());
    bool was_shared = true;
    const char* own = shared.share_or_copy("not there", was_shared);
    EXPECT_FALSE(was_shared);
    EXPECT_STREQ(own, "not there");
    delete[] own;
  }
  shared_texts_c empty;
  empty.set(nullptr, 5);
  EXPECT_EQ(empty.find("check_if"), nullptr);
}

}  // namespace
