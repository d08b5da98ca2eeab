// The configuration template embedded in the library: its lines in order (generated at build time
// from generic_template.xml), ending with an empty text.
#ifndef STATS_MNG_XMC_GENERIC_TEMPLATE_H
#define STATS_MNG_XMC_GENERIC_TEMPLATE_H

#include <cstddef>

class utl_stream_c;

extern const size_t generic_template_line_count;
// Bytes of the joined text (the lines and their line feeds).
extern const size_t generic_template_length;
extern const char* const generic_template_lines[];

namespace generic_template_n {
// Bytes reserved for the joined text before the first line is appended.
constexpr size_t k_reserved = 11776;
// The template text: every line followed by a line feed, in table order. Appended to out.
const char* join(utl_stream_c& out);
}  // namespace generic_template_n

#endif
