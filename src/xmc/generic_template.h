// The configuration template embedded in the library: its text (generated at build time from
// generic_template.xml), every line ending with a line feed.
#ifndef STATS_MNG_XMC_GENERIC_TEMPLATE_H
#define STATS_MNG_XMC_GENERIC_TEMPLATE_H

#include <cstddef>

class utl_stream_c;

extern const size_t generic_template_line_count;
// Bytes of the text (the lines and their line feeds), the terminating zero not counted.
extern const size_t generic_template_length;
extern const char generic_template_text[];

namespace generic_template_n {
// The least room a join makes in out.
constexpr size_t k_reserved = 11776;
// The template text appended to out (a buffer the reader can take over), in one copy.
const char* join(utl_stream_c& out);
}  // namespace generic_template_n

#endif
