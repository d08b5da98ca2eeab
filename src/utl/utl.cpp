#include "utl/utl.h"

#include "platform/win32/win32_api.h"
#include "utl/multi_lang.h"
#include "utl/utl_stream.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <memory>
#include <string>

namespace utl_n {

size_t str_allocation_size(size_t n, bool size_class) {
  const size_t need = n + 1;
  if (size_class) {
    for (size_t size : {16, 32, 64, 256, 1024}) {
      if (need <= size) return size;
    }
  }
  return need;
}

void str_replace(char*& field, const char* s) {
  char* copy = s == nullptr ? nullptr : str_copy(s);
  delete[] field;
  field = copy;
}

char* str_copy(const char* s, bool size_class) {
  if (s == nullptr) return nullptr;
  return str_strncopy(s, std::strlen(s), size_class);
}

char* str_strncopy(const char* s, size_t n, bool size_class) {
  if (s == nullptr) return nullptr;
  char* copy = new char[str_allocation_size(n, size_class)];
  std::memcpy(copy, s, n);
  copy[n] = '\0';
  return copy;
}

void set_last_error(unsigned error) { SetLastError(static_cast<DWORD>(error)); }

const char* get_error_text(utl_stream_c& out, int error) {
  if (error < 1) error = static_cast<int>(GetLastError());
  wchar_t* message = nullptr;
  DWORD units = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                   FORMAT_MESSAGE_FROM_SYSTEM,
                               nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
  if (units > 0 && message != nullptr) {
    int room = static_cast<int>(units) * 6;
    std::unique_ptr<char[]> text(new char[static_cast<size_t>(room)]);
    if (multi_lang_str_n::unicode_to_utf8(message, text.get(), &room)) out << text.get();
  }
  if (message != nullptr) LocalFree(message);
  for (int i = 0; i < 2; ++i) {
    if (out.ends_with("\n", true)) {
      out.remove_tail("\n");
    } else if (out.ends_with("\r", true)) {
      out.remove_tail("\r");
    }
  }
  out << "(" << error << ")";
  return out.c_str();
}

uint64_t i32x32to64(uint32_t low, uint32_t high) { return (static_cast<uint64_t>(high) << 32) | low; }

void i64to32x32(uint64_t value, uint32_t& low, uint32_t& high) {
  low = static_cast<uint32_t>(value & 0xFFFFFFFFu);
  high = static_cast<uint32_t>(value >> 32);
}

namespace {
bool is_c_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
}  // namespace

bool scan_dotted_quad(const char* text, uint32_t parts[4], const char** end) {
  if (text == nullptr) return false;
  const char* p = text;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (*p != '.') return false;
      ++p;
    }
    while (is_c_blank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    uint64_t n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
      if (n <= 0xFFFFFFFFu) n = n * 10 + static_cast<uint64_t>(*p - '0');
    }
    if (n > 0xFFFFFFFFu || (negative && n != 0)) n = 0xFFFFFFFFu;
    parts[i] = static_cast<uint32_t>(n);
  }
  if (end != nullptr) *end = p;
  return true;
}

uint32_t string_to_ip(const char* s) {
  uint32_t parts[4];
  const char* end = nullptr;
  // Read by hand rather than with sscanf: the C runtimes disagree on a %u that overflows.
  if (!scan_dotted_quad(s, parts, &end)) return 0;
  if (*end != '\0' && !is_c_blank(*end)) return 0;
  if (parts[0] > 255 || parts[1] > 255 || parts[2] > 255 || parts[3] > 255) return 0;
  return (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
}

bool get_disk_total_size(const char* path, uint64_t* total) {
  if (total != nullptr) *total = 0;
  if (path == nullptr) return false;
  basis_multi_lang_c converter;
  const wchar_t* converted = converter.to_unicode(path);
  if (converted == nullptr) return false;
  std::wstring wide(converted);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  ULARGE_INTEGER bytes;
  if (!GetDiskFreeSpaceExW(wide.c_str(), nullptr, &bytes, nullptr)) return false;
  if (total != nullptr) *total = bytes.QuadPart;
  return true;
}

bool get_cluster_size(const char* path, unsigned* cluster, unsigned* sector) {
  if (cluster != nullptr) *cluster = 0;
  if (sector != nullptr) *sector = 0;
  if (path == nullptr) return false;
  basis_multi_lang_c converter;
  const wchar_t* wide = converter.to_unicode(path);
  DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, total_clusters = 0;
  if (wide == nullptr ||
      !GetDiskFreeSpaceW(wide, &sectors_per_cluster, &bytes_per_sector, &free_clusters, &total_clusters)) {
    return false;
  }
  if (cluster != nullptr) *cluster = sectors_per_cluster * bytes_per_sector;
  if (sector != nullptr) *sector = bytes_per_sector;
  return true;
}

int utf8_prefix_strnicmp(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return 0;
  // Heap buffers of the texts' own size: no length is too long for a fixed stack buffer.
  basis_multi_lang_c wide_a, wide_b;
  const wchar_t* wa = wide_a.to_unicode(a);
  const wchar_t* wb = wide_b.to_unicode(b);
  if (wa == nullptr || wb == nullptr) {
    // Text the system cannot convert is compared byte by byte, ASCII letters without case.
    return ascii_compare_nocase(a, b, std::strlen(a));
  }
  CharLowerW(const_cast<wchar_t*>(wa));
  CharLowerW(const_cast<wchar_t*>(wb));
  int r = std::wcsncmp(wa, wb, std::wcslen(wa));
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int uni_stricmp(const wchar_t* a, const wchar_t* b) {
  std::wstring la = a ? a : L"";
  std::wstring lb = b ? b : L"";
  if (!la.empty()) CharLowerW(&la[0]);
  if (!lb.empty()) CharLowerW(&lb[0]);
  for (size_t i = 0;; ++i) {
    uint32_t ca = i < la.size() ? static_cast<uint32_t>(la[i]) : 0;
    uint32_t cb = i < lb.size() ? static_cast<uint32_t>(lb[i]) : 0;
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

}  // namespace utl_n
