#include "xmc/generic_template.h"

#include "utl/utl_stream.h"

#include <cstring>

const char* generic_template_n::join(utl_stream_c& out) {
  out._add_memory(k_reserved);
  // The text outgrows the reservation: it grows once to its whole length, not a kilobyte at a time
  // (each growth may copy all that came before).
  out._add_memory(generic_template_length);
  for (const char* const* line = generic_template_lines; (*line)[0] != '\0'; ++line) {
    out.append_then(*line, std::strlen(*line), '\n');
  }
  return out.c_str();
}
