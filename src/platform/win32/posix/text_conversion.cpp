// UTF-8 to and from wchar_t (UTF-32 here), and lower-casing, with the Windows contracts.
#include "platform/win32/win32_api.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr uint32_t k_replacement = 0xFFFD;

bool is_continuation(unsigned char b, unsigned char low = 0x80, unsigned char high = 0xBF) {
  return b >= low && b <= high;
}

// Decodes one code point at s[i] (of n bytes). An ill-formed sequence yields U+FFFD and consumes
// its longest well-formed start (at least one byte), as the Unicode practice for replacement says.
uint32_t decode(const unsigned char* s, size_t n, size_t& i, bool& valid) {
  const unsigned char b0 = s[i];
  valid = true;
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  size_t need;
  unsigned char low = 0x80, high = 0xBF;
  uint32_t cp;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    ++i;
    valid = false;
    return k_replacement;
  }
  size_t j = i + 1;
  for (size_t k = 0; k < need; ++k, ++j) {
    bool ok = j < n && (k == 0 ? is_continuation(s[j], low, high) : is_continuation(s[j]));
    if (!ok) {
      i = j;
      valid = false;
      return k_replacement;
    }
    cp = (cp << 6) | (s[j] & 0x3F);
  }
  i = j;
  return cp;
}

size_t encode(uint32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

struct lower_range_s {
  uint32_t first;
  uint32_t last;
  int32_t delta;
  uint32_t step;
};

const lower_range_s k_lower[] = {
#include "platform/win32/posix/unicode_lower_table.inc"
};

uint32_t to_lower(uint32_t cp) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
  size_t lo = 0, hi = sizeof k_lower / sizeof k_lower[0];
  while (lo < hi) {  // the first range whose last is not below cp
    size_t mid = (lo + hi) / 2;
    if (k_lower[mid].last < cp) lo = mid + 1; else hi = mid;
  }
  if (lo < sizeof k_lower / sizeof k_lower[0]) {
    const lower_range_s& r = k_lower[lo];
    if (cp >= r.first && (cp - r.first) % r.step == 0) return static_cast<uint32_t>(static_cast<int32_t>(cp) + r.delta);
  }
  return cp;
}

// Puts one unit at target[at] when there is a target (a length above 0): false, with
// ERROR_INSUFFICIENT_BUFFER, when it has no room for it.
template <typename unit_t>
bool put_unit(unit_t* target, int target_length, size_t at, unit_t unit) {
  if (target_length <= 0) return true;
  if (at >= static_cast<size_t>(target_length)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  target[at] = unit;
  return true;
}

bool known_code_page(UINT code_page) { return code_page == CP_UTF8 || code_page == CP_ACP; }

}  // namespace

extern "C" {

int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR source, int source_length, LPWSTR target,
                        int target_length) {
  if (!known_code_page(code_page) || (flags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0 || source == nullptr ||
      source_length == 0 || source_length < -1 || target_length < 0 || (target == nullptr && target_length > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t n = source_length == -1 ? std::strlen(source) + 1 : static_cast<size_t>(source_length);
  const unsigned char* s = reinterpret_cast<const unsigned char*>(source);
  size_t count = 0;
  for (size_t i = 0; i < n;) {
    bool valid;
    uint32_t cp = decode(s, n, i, valid);
    if (!valid && (flags & MB_ERR_INVALID_CHARS)) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    if (!put_unit(target, target_length, count, static_cast<wchar_t>(cp))) return 0;
    ++count;
  }
  if (count > 0x7FFFFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return static_cast<int>(count);
}

int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR source, int source_length, LPSTR target,
                        int target_length, LPCSTR default_char, LPBOOL used_default_char) {
  if (!known_code_page(code_page) || (flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0 || source == nullptr ||
      source_length == 0 || source_length < -1 || target_length < 0 || (target == nullptr && target_length > 0) ||
      default_char != nullptr || used_default_char != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t n = source_length == -1 ? std::wcslen(source) + 1 : static_cast<size_t>(source_length);
  size_t bytes = 0;
  for (size_t i = 0; i < n; ++i) {
    uint32_t cp = static_cast<uint32_t>(source[i]);
    if (cp < 0x80) {  // ASCII, most of every path: one byte as it is
      if (!put_unit(target, target_length, bytes, static_cast<char>(cp))) return 0;
      ++bytes;
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && static_cast<uint32_t>(source[i + 1]) >= 0xDC00 &&
        static_cast<uint32_t>(source[i + 1]) <= 0xDFFF) {
      // A surrogate pair, as UTF-16 text carries it.
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint32_t>(source[i + 1]) - 0xDC00);
      ++i;
    } else if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
      if (flags & WC_ERR_INVALID_CHARS) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      cp = k_replacement;
    }
    char piece[4];
    size_t len = encode(cp, piece);
    if (target_length > 0) {
      if (bytes + len > static_cast<size_t>(target_length)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
      }
      std::memcpy(target + bytes, piece, len);
    }
    bytes += len;
  }
  if (bytes > 0x7FFFFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return static_cast<int>(bytes);
}

LPWSTR CharLowerW(LPWSTR text) {
  if ((reinterpret_cast<uintptr_t>(text) >> 16) == 0) {
    return reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(to_lower(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text)))));
  }
  for (wchar_t* p = text; *p != L'\0'; ++p) *p = static_cast<wchar_t>(to_lower(static_cast<uint32_t>(*p)));
  return text;
}

}  // extern "C"
