#include "utl/multi_lang.h"

#include "platform/trc/zqtr.h"
#include "platform/win32/win32_api.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// The text of w for a trace line, whatever it holds.
std::string printable(const wchar_t* w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n < 1) return std::string("?");
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

}  // namespace

namespace multi_lang_str_n {

int utf8lenhelper(const wchar_t* w) {
  if (w == nullptr) return 0;
  return WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
}

bool unicode_to_utf8(const wchar_t* w, char* out, int* len) {
  ZQTR_SCOPE(tr, "multi_lang_str_n::unicode_to_utf8", "common1/utl/multi_lang");
  if (len == nullptr) return false;
  if (w == nullptr) {
    if (out != nullptr) out[0] = '\0';
    *len = 0;
    return true;
  }
  int needed = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  bool ok = true;
  if (needed < 1) {
    tr.print(4, __LINE__, "Fail to convert from UNICODE to UTF-8, unic : %s,  %d\n", printable(w).c_str(),
             static_cast<int>(GetLastError()));
    ok = false;
  } else if (out != nullptr) {
    if (*len >= needed) {
      WideCharToMultiByte(CP_UTF8, 0, w, -1, out, needed, nullptr, nullptr);
    } else {
      tr.print(4, __LINE__, "Fail to convert from UNICODE to UTF-8, unic : %s, short buffer %d < %d\n",
               printable(w).c_str(), *len, needed);
      ok = false;
    }
  }
  *len = needed;
  return ok;
}

bool utf8_to_unicode(const char* s, wchar_t* out, int* len) {
  ZQTR_SCOPE(tr, "multi_lang_str_n::utf8_to_unicode", "common1/utl/multi_lang");
  if (len == nullptr) return false;
  if (s == nullptr) {
    if (out != nullptr) out[0] = L'\0';
    *len = 0;
    return true;
  }
  int needed = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  bool ok = true;
  if (needed < 1) {
    tr.print(4, __LINE__, "Fail to convert from UTF-8 to UNICODE %d\n", static_cast<int>(GetLastError()));
    ok = false;
  } else if (out != nullptr) {
    if (*len >= needed) {
      MultiByteToWideChar(CP_UTF8, 0, s, -1, out, needed);
    } else {
      tr.print(4, __LINE__, "Fail to convert from UTF-8 to UNICODE, short buffer len %d < required len %d\n", *len,
               needed);
      tr.print(4, __LINE__, "UTF-8 buffer length=%ld, buffer=%s\n", static_cast<long>(std::strlen(s)), s);
      ok = false;
    }
  }
  *len = needed;
  return ok;
}

char* wide_to_utf8(const wchar_t* source, char* buffer, size_t units) {
  if (buffer == nullptr || units == 0) return nullptr;
  buffer[0] = '\0';
  if (source == nullptr) return nullptr;
  int room = units > INT_MAX ? INT_MAX : static_cast<int>(units);
  if (WideCharToMultiByte(CP_UTF8, 0, source, -1, buffer, room, nullptr, nullptr) < 1) {
    buffer[0] = '\0';
    return nullptr;
  }
  return buffer;
}

wchar_t* utf8_to_wide(const char* source, wchar_t* buffer, size_t units) {
  if (buffer == nullptr || units == 0) return nullptr;
  buffer[0] = L'\0';
  if (source == nullptr) return nullptr;
  int room = units > INT_MAX ? INT_MAX : static_cast<int>(units);
  if (MultiByteToWideChar(CP_UTF8, 0, source, -1, buffer, room) < 1) {
    buffer[0] = L'\0';
    return nullptr;
  }
  return buffer;
}

size_t utf8_character(const unsigned char* p, size_t available, uint32_t* code) {
  if (available == 0) return 0;
  const unsigned char c = *p;
  if (c < 0x80) {
    if (code != nullptr) *code = c;
    return 1;
  }
  size_t more = 0;
  unsigned low = 0x80, high = 0xBF;  // the range of the first continuation byte
  uint32_t value = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    more = 1;
    value = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    more = 2;
    value = c & 0x0F;
    if (c == 0xE0) low = 0xA0;   // no overlong form
    if (c == 0xED) high = 0x9F;  // no surrogate
  } else if (c >= 0xF0 && c <= 0xF4) {
    more = 3;
    value = c & 0x07;
    if (c == 0xF0) low = 0x90;   // no overlong form
    if (c == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (available < more + 1) return 0;
  for (size_t i = 1; i <= more; ++i) {
    if (p[i] < (i == 1 ? low : 0x80) || p[i] > (i == 1 ? high : 0xBF)) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  if (code != nullptr) *code = value;
  return more + 1;
}

bool is_valid_utf8(const char* s) {
  if (s == nullptr) return true;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  // At most four bytes are looked at, none past the first that does not fit (the end's zero never does).
  while (*p != 0) {
    const size_t length = utf8_character(p, 4, nullptr);
    if (length == 0) return false;
    p += length;
  }
  return true;
}

}  // namespace multi_lang_str_n

basis_multi_lang_c::~basis_multi_lang_c() {
  delete[] m_unicode;
  delete[] m_utf8;
}

const char* basis_multi_lang_c::to_utf8(const wchar_t* text) {
  delete[] m_utf8;
  m_utf8 = nullptr;
  if (text == nullptr) return nullptr;
  int needed = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (needed < 1) return nullptr;
  m_utf8 = new char[static_cast<size_t>(needed) + 1];
  std::memset(m_utf8, 0, static_cast<size_t>(needed) + 1);
  WideCharToMultiByte(CP_UTF8, 0, text, -1, m_utf8, needed, nullptr, nullptr);
  return m_utf8;
}

const wchar_t* basis_multi_lang_c::to_unicode(const char* text) {
  delete[] m_unicode;
  m_unicode = nullptr;
  if (text == nullptr) return nullptr;
  int needed = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (needed < 1) return nullptr;
  m_unicode = new wchar_t[static_cast<size_t>(needed) + 1];
  std::wmemset(m_unicode, 0, static_cast<size_t>(needed) + 1);
  MultiByteToWideChar(CP_UTF8, 0, text, -1, m_unicode, needed);
  return m_unicode;
}
