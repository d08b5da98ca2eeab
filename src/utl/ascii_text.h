// Byte texts compared with ASCII letters lowered: what the text buffer and the string chores of
// utl.h both need, below either.
#ifndef STATS_MNG_UTL_ASCII_TEXT_H
#define STATS_MNG_UTL_ASCII_TEXT_H

#include <cstddef>

namespace utl_n {

// Byte texts compared with ASCII letters lowered, as _stricmp does in the "C" locale: -1, 0 or 1;
// the second form compares at most n bytes.
int ascii_compare_nocase(const char* a, const char* b);
int ascii_compare_nocase(const char* a, const char* b, size_t n);

}  // namespace utl_n

#endif
