// How the tool shows texts it did not write itself (directory names, field values, the library's
// reasons): on a terminal, in a table, in JSON and in the metrics format.
#ifndef STATS_MNG_TOOLS_SHOWN_TEXT_H
#define STATS_MNG_TOOLS_SHOWN_TEXT_H

#include <cstddef>
#include <string>

namespace stats_mng_tool_n {

// A text for a terminal: UTF-8 characters as they are; a byte that is no part of one, and a control
// character (0x00-0x1F, 0x7F), as \xHH (two capital hex digits). Backslashes stay as they are, so a
// Windows path reads as itself; the result is for reading, not for taking back.
std::string printable(const std::string& text);

// A name in a reversible form that is valid UTF-8 with no control character: what printable shows,
// with every backslash doubled. Distinct names stay distinct, and the name comes back by reading
// \\ as one backslash and \xHH as the byte HH. The listings show directory names so.
std::string escaped_name(const std::string& name);
// The name an escaped_name stands for; false when text is no such form.
bool unescaped_name(const std::string& text, std::string& name);

// The columns a terminal gives a UTF-8 text: 2 for the wide characters of East Asian scripts and
// emoji, 0 for combining marks and zero-width characters, 1 for the rest.
size_t display_width(const std::string& text);

}  // namespace stats_mng_tool_n

#endif
