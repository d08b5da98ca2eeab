// String chores, error texts, number splitting and two disk queries.
#ifndef STATS_MNG_UTL_UTL_H
#define STATS_MNG_UTL_UTL_H

#include "utl/ascii_text.h"

#include <cstddef>
#include <cstdint>

class utl_stream_c;

namespace utl_n {

// Bytes allocated for a copy of n bytes: n + 1, or with size_class the smallest of 16, 32, 64,
// 256 and 1024 that holds n + 1 (n + 1 itself above 1024).
size_t str_allocation_size(size_t n, bool size_class);

// Equal texts (neither null). Compared in place, without a call: the texts are names a few bytes
// long looked up by the thousand while a configuration is read and checked, and most that differ
// differ in their first byte.
inline bool same_text(const char* a, const char* b) {
  for (; *a == *b; ++a, ++b) {
    if (*a == '\0') return true;
  }
  return false;
}

// A copy the caller frees with delete[]; null for null s.
char* str_copy(const char* s, bool size_class = false);
// Replaces an owned string by a copy of s (null for null s), freeing the old one.
void str_replace(char*& field, const char* s);
char* str_strncopy(const char* s, size_t n, bool size_class);

void set_last_error(unsigned error);

// Appends the system's text for the error (the last error when error < 1) without its line end,
// then "(error)". Returns out's text.
const char* get_error_text(utl_stream_c& out, int error);

uint64_t i32x32to64(uint32_t low, uint32_t high);
void i64to32x32(uint64_t value, uint32_t& low, uint32_t& high);

// Dotted IPv4 text as a number, first part most significant: four parts below 256, then the end
// or one blank (whatever follows it); 0 when it is not one (and for 0.0.0.0).
uint32_t string_to_ip(const char* s);
// Reads four dotted parts "%u.%u.%u.%u" as the C library's %u reads each (blanks, a sign, decimal
// digits), the same on every target: a part too big for 32 bits, or negative, reads as
// 4294967295. end receives where reading stopped. False when four parts cannot be read.
bool scan_dotted_quad(const char* text, uint32_t parts[4], const char** end);

// The total bytes of the volume holding path.
bool get_disk_total_size(const char* path, uint64_t* total);
// Bytes per cluster and per sector of the volume holding path (sector may be null).
bool get_cluster_size(const char* path, unsigned* cluster, unsigned* sector);

// 0 when b begins with a, letter case ignored (Unicode); 0 as well when either is null.
int utf8_prefix_strnicmp(const char* a, const char* b);
// ascii_compare_nocase: utl/ascii_text.h.

// Case-insensitive comparison of wide texts: -1, 0 or 1.
int uni_stricmp(const wchar_t* a, const wchar_t* b);

}  // namespace utl_n

#endif
