// The tool's shown forms of texts it did not write: the escaped name gives every name back and keeps
// distinct names distinct; the terminal form holds no control character; widths count columns.
#include "shown_text.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

namespace {

using stats_mng_tool_n::display_width;
using stats_mng_tool_n::escaped_name;
using stats_mng_tool_n::printable;
using stats_mng_tool_n::unescaped_name;

bool has_control_or_stray_byte(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

TEST(shown_text, escaped_names_come_back_and_stay_distinct) {
  struct row_s {
    std::string name, shown;
  } rows[] = {
      {"plain", "plain"},
      {"a\xFE", "a\\xFE"},
      {"a\\xFE", "a\\\\xFE"},  // a name that reads like an escape is not one
      {"a\\", "a\\\\"},
      {"tab\there", "tab\\x09here"},
      {"\x7F", "\\x7F"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},  // UTF-8 as it is
      {"\xE9t\xE9", "\\xE9t\\xE9"},                  // Latin-1 bytes are no UTF-8
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},           // a surrogate's encoding
      {"\xC0\xAF", "\\xC0\\xAF"},                    // an overlong '/'
      {"\xF0\x9F\x98", "\\xF0\\x9F\\x98"},           // a cut four-byte character
      {std::string("nul\0in", 6), "nul\\x00in"},
      {"c1\xC2\x85", "c1\\xC2\\x85"},                     // a C1 control (next line)
      {"rlo\xE2\x80\xAEtxt", "rlo\\xE2\\x80\\xAEtxt"},  // a right-to-left override
      {"x ", "x\\x20"},                                  // a space at the end reads as the table's gap
      {" x", "\\x20x"},
      {"a b", "a b"},
  };
  std::set<std::string> shown;
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.shown);
    EXPECT_EQ(escaped_name(row.name), row.shown);
    std::string back;
    ASSERT_TRUE(unescaped_name(row.shown, back));
    EXPECT_EQ(back, row.name);
    EXPECT_TRUE(shown.insert(row.shown).second);
  }
}

TEST(shown_text, every_byte_string_survives_the_escaped_form) {
  std::mt19937 random(7);
  std::set<std::string> names, shown;
  for (int i = 0; i < 20000; ++i) {
    std::string name(random() % 6, '\0');
    // Mostly the bytes that matter: backslash, 'x', hex digits, controls and high bytes.
    const char pool[] = {'\\', 'x', 'F', 'e', '0', '\x01', '\n', '\x7F', '\x80', '\xC3', '\xA9', '\xFF', 'a'};
    for (char& c : name) c = random() % 4 == 0 ? static_cast<char>(random() % 256) : pool[random() % sizeof pool];
    const std::string escaped = escaped_name(name);
    std::string back;
    ASSERT_TRUE(unescaped_name(escaped, back)) << escaped;
    ASSERT_EQ(back, name) << escaped;
    ASSERT_FALSE(has_control_or_stray_byte(escaped)) << escaped;
    if (names.insert(name).second) {
      ASSERT_TRUE(shown.insert(escaped).second) << escaped;
    }
  }
}

TEST(shown_text, forms_that_are_no_escaped_name_are_refused) {
  for (const char* text : {"\\", "a\\b", "\\x", "\\xF", "\\xG0"}) {
    SCOPED_TRACE(text);
    std::string back;
    EXPECT_FALSE(unescaped_name(text, back));
  }
}

TEST(shown_text, the_terminal_form_keeps_backslashes_and_escapes_controls) {
  EXPECT_EQ(printable("C:\\Data\\s1"), "C:\\Data\\s1");
  EXPECT_EQ(printable("a\x1B[31mred"), "a\\x1B[31mred");
  EXPECT_EQ(printable("line\nbreak\r"), "line\\x0Abreak\\x0D");
  EXPECT_EQ(printable("caf\xE9"), "caf\\xE9");
  EXPECT_EQ(printable("\xE4\xB8\xAD"), "\xE4\xB8\xAD");
}

TEST(shown_text, display_width_counts_terminal_columns) {
  struct row_s {
    const char* text;
    size_t width;
  } rows[] = {
      {"", 0},
      {"plain", 5},
      {"\xC3\xA9t\xC3\xA9", 3},               // two-byte letters: one column each
      {"e\xCC\x81", 1},                       // e and a combining acute
      {"\xE4\xB8\xAD\xE6\x96\x87", 4},        // two CJK characters
      {"\xF0\x9F\x98\x80", 2},                // an emoji
      {"\xEF\xBD\x86", 2},                    // a full-width letter
      {"\xE2\x80\x8B", 0},                    // a zero-width space
      {"\xFE", 1},                            // a stray byte: one replacement character
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(display_width(row.text), row.width);
  }
}

}  // namespace
