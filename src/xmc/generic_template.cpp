#include "xmc/generic_template.h"

#include "utl/utl_stream.h"

const char* generic_template_n::join(utl_stream_c& out) {
  out._add_memory(k_reserved);
  for (const char* const* line = generic_template_lines; (*line)[0] != '\0'; ++line) {
    out << *line << '\n';
  }
  return out.c_str();
}
