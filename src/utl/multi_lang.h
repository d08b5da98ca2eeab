// UTF-8 inside the library, UTF-16 (wchar_t) at the Windows calls.
#ifndef STATS_MNG_UTL_MULTI_LANG_H
#define STATS_MNG_UTL_MULTI_LANG_H

#include <cstddef>
#include <cstdint>

namespace multi_lang_str_n {

// Bytes the UTF-8 form of w needs, the NUL included; 0 when it has none.
int utf8lenhelper(const wchar_t* w);

// Converts w into out when *len (the room in out, in bytes) is enough; *len receives the bytes
// needed, NUL included. Without out only the size is asked for. Null w gives the empty text.
bool unicode_to_utf8(const wchar_t* w, char* out, int* len);

// The same from UTF-8, counting wide characters.
bool utf8_to_unicode(const char* s, wchar_t* out, int* len);

// Convert into the buffer of `units` units, terminated; the buffer, or null when the conversion
// failed or did not fit (the buffer is then empty).
char* wide_to_utf8(const wchar_t* source, char* buffer, size_t units);
wchar_t* utf8_to_wide(const char* source, wchar_t* buffer, size_t units);

// True when s (null counts as empty) is well-formed UTF-8: no stray continuation byte, no overlong
// form, no surrogate, nothing past U+10FFFF (so never the bytes 0xC0, 0xC1 or 0xF5 to 0xFF).
bool is_valid_utf8(const char* s);
// The length (1 to 4) of the well-formed UTF-8 character at p, reading at most available bytes and
// none past the first that does not fit; 0 for none there (a stray byte, an overlong form, a
// surrogate, past U+10FFFF, cut short). Its code point goes to *code when code is not null.
size_t utf8_character(const unsigned char* p, size_t available, uint32_t* code);

}  // namespace multi_lang_str_n

// Holds the result of one conversion each way for as long as it lives.
class basis_multi_lang_c {
 public:
  basis_multi_lang_c() = default;
  virtual ~basis_multi_lang_c();
  basis_multi_lang_c(const basis_multi_lang_c&) = delete;
  basis_multi_lang_c& operator=(const basis_multi_lang_c&) = delete;

  // The converted text, held by this object until the next conversion the same way; null when
  // the text cannot be converted.
  const char* to_utf8(const wchar_t* text);
  const wchar_t* to_unicode(const char* text);

 private:
  wchar_t* m_unicode = nullptr;
  char* m_utf8 = nullptr;
};

#endif
