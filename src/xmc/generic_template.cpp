#include "xmc/generic_template.h"

#include "utl/utl_stream.h"

#include <cstring>

const char* generic_template_n::join(utl_stream_c& out) {
  // Room for the whole text at once: it is not grown a piece at a time.
  out._add_memory(generic_template_length > k_reserved ? generic_template_length : k_reserved);
  out.append(generic_template_text, generic_template_length);
  return out.c_str();
}
