// How the tool shows texts it did not write itself (directory names, field values, the library's
// reasons): on a terminal, in a table, in JSON and in the metrics format.
#ifndef STATS_MNG_TOOLS_SHOWN_TEXT_H
#define STATS_MNG_TOOLS_SHOWN_TEXT_H

#include <cstddef>
#include <streambuf>
#include <string>

namespace stats_mng_tool_n {

// A text for a terminal: UTF-8 characters as they are; a byte that is no part of one, and each byte
// of a control character (C0 0x00-0x1F, 0x7F, C1 U+0080-U+009F) or of a character that turns the
// direction of the text (U+202A-U+202E, U+2066-U+2069), as \xHH (two capital hex digits).
// Backslashes stay as they are, so a Windows path reads as itself; the result is for reading, not
// for taking back.
std::string printable(const std::string& text);

// A name in a reversible form that is valid UTF-8 with no control character: what printable shows,
// with every backslash doubled and a space at either end as \x20. Distinct names stay distinct, and the name comes back by reading
// \\ as one backslash and \xHH as the byte HH. The listings show directory names so.
std::string escaped_name(const std::string& name);
// The name an escaped_name stands for; false when text is no such form.
bool unescaped_name(const std::string& text, std::string& name);

// Passes text on to another buffer a line at a time, each line in its printable form (the line
// ends themselves kept): what the library or a file says reaches a terminal without a control
// character. A line not ended yet is passed on when the buffer goes.
class printable_lines_c : public std::streambuf {
 public:
  explicit printable_lines_c(std::streambuf* target) : m_target(target) {}
  ~printable_lines_c() override;
  printable_lines_c(const printable_lines_c&) = delete;
  printable_lines_c& operator=(const printable_lines_c&) = delete;

 protected:
  int overflow(int c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  std::streambuf* m_target;
  std::string m_line;
};

// The columns a terminal gives a UTF-8 text: 2 for the wide characters of East Asian scripts and
// emoji, 0 for combining marks and zero-width characters, 1 for the rest.
size_t display_width(const std::string& text);

}  // namespace stats_mng_tool_n

#endif
