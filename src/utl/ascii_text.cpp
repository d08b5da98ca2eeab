#include "utl/ascii_text.h"

namespace utl_n {

int ascii_compare_nocase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

int ascii_compare_nocase(const char* a, const char* b) { return ascii_compare_nocase(a, b, static_cast<size_t>(-1)); }

}  // namespace utl_n
