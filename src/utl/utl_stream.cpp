#include "utl/utl_stream.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "utl/ascii_text.h"
#include "utl/multi_lang.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

void* default_realloc(void* old, size_t size) { return std::realloc(old, size); }

utl_stream_c::realloc_f g_realloc = &default_realloc;

// Formatting goes to a fixed local field; nothing is allocated for it.
struct field_s {
  char text[40];
  size_t length;
};

template <class T>
field_s integer_field(T value) {
  field_s f;
  auto result = std::to_chars(f.text, f.text + sizeof f.text - 1, value);
  f.length = static_cast<size_t>(result.ptr - f.text);
  f.text[f.length] = '\0';
  return f;
}

// Strictly inside +-2147483647: "%.4lf" less trailing zeros and a trailing '.'; else "%15.9le".
field_s double_field(double value) {
  field_s f;
  std::memset(f.text, 0, sizeof f.text);
  if (value > -2147483647.0 && value < 2147483647.0) {
    std::snprintf(f.text, 32, "%.4lf", value);
    size_t n = std::strlen(f.text);
    while (n > 0 && f.text[n - 1] == '0') f.text[--n] = '\0';
    if (n > 0 && f.text[n - 1] == '.') f.text[--n] = '\0';
    f.length = n;
  } else if (value != value) {
    std::snprintf(f.text, 32, "%.4lf", value);  // NaN fails both comparisons
    f.length = std::strlen(f.text);
  } else {
    std::snprintf(f.text, 32, "%15.9le", value);
    f.length = std::strlen(f.text);
  }
  return f;
}

bool is_white(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

}  // namespace

utl_stream_c::realloc_f utl_stream_c::_set_reallocator(realloc_f reallocator) {
  realloc_f previous = g_realloc;
  g_realloc = reallocator ? reallocator : &default_realloc;
  return previous;
}

utl_stream_c::utl_stream_c() { _add_memory(0); }

utl_stream_c::utl_stream_c(const utl_stream_c& other) : utl_stream_c() { *this << other; }

utl_stream_c& utl_stream_c::operator=(const utl_stream_c& other) {
  if (this != &other) {
    *this << static_cast<char>(1);
    *this << other;
  }
  return *this;
}

utl_stream_c::~utl_stream_c() {
  std::free(m_buffer);
  m_buffer = nullptr;
  m_length = 0;
  m_capacity = 0;
}

bool utl_stream_c::_add_memory(uint64_t n) {
  ZQTR_SCOPE(tr, "utl_stream_c::_add_memory", "common1/utl/utl_stream");
  if (m_buffer == nullptr || m_capacity == 0) {
    uint64_t capacity = (n > 30 ? n : 30) + 1;
    char* memory = capacity < SIZE_MAX ? static_cast<char*>(g_realloc(nullptr, static_cast<size_t>(capacity + 1))) : nullptr;
    if (memory == nullptr) {
      tr.print(4, __LINE__, "Allocate memory failed. The length of memory to allocate is %ld\n",
               static_cast<long>(capacity + 1));
      return false;
    }
    m_buffer = memory;
    m_capacity = capacity;
    m_buffer[0] = '\0';
    m_length = 0;
    return true;
  }
  if (n > UINT64_MAX - m_length - 2) {
    tr.print(4, __LINE__, "Failed: Allocate memory failed. The length of memory to allocate is %ld.\n", -1L);
    return false;
  }
  const uint64_t required = m_length + n + 1;
  if (m_capacity >= required) return true;
  uint64_t capacity = m_length <= 1024 ? 2 * m_length : m_length + 1024;
  if (capacity < required) capacity = required;
  // A failed reallocation keeps the old buffer: the text stays as it was.
  char* memory = capacity < SIZE_MAX ? static_cast<char*>(g_realloc(m_buffer, static_cast<size_t>(capacity + 1))) : nullptr;
  if (memory == nullptr) {
    tr.print(4, __LINE__, "Failed: Allocate memory failed. The length of memory to allocate is %ld.\n",
             static_cast<long>(capacity + 1));
    return false;
  }
  m_buffer = memory;
  m_capacity = capacity;
  return true;
}

bool utl_stream_c::append(const char* data, size_t n) {
  if (n == 0) return true;
  // The data may be this buffer's own text (s << s, s << s.c_str()): remember where it lies, since
  // growing may move the buffer.
  const uintptr_t at = reinterpret_cast<uintptr_t>(data), start = reinterpret_cast<uintptr_t>(m_buffer);
  const bool own = m_buffer != nullptr && at >= start && at <= start + m_capacity;
  const size_t own_offset = own ? static_cast<size_t>(data - m_buffer) : 0;
  // Growth (and its trace scope) only when the text does not fit.
  if ((m_buffer == nullptr || m_capacity < m_length + n + 1 || n > m_capacity) && !_add_memory(n)) return false;
  if (own) data = m_buffer + own_offset;
  std::memmove(m_buffer + m_length, data, n);
  m_length += n;
  m_buffer[m_length] = '\0';
  return true;
}

char* utl_stream_c::release(uint64_t& length) {
  char* buffer = m_buffer;
  length = buffer != nullptr ? m_length : 0;
  m_buffer = nullptr;
  m_length = 0;
  m_capacity = 0;
  return buffer;
}

bool utl_stream_c::append_then(const char* data, size_t n, char end) {
  if ((m_buffer == nullptr || m_capacity < m_length + n + 2 || n >= m_capacity) && !_add_memory(n + 1)) return false;
  std::memcpy(m_buffer + m_length, data, n);
  m_length += n;
  m_buffer[m_length++] = end;
  m_buffer[m_length] = '\0';
  return true;
}

utl_stream_c& utl_stream_c::operator<<(unsigned long long value) {
  field_s f = integer_field(value);
  append(f.text, f.length);
  return *this;
}

utl_stream_c& utl_stream_c::operator<<(long long value) {
  field_s f = integer_field(value);
  append(f.text, f.length);
  return *this;
}

utl_stream_c& utl_stream_c::operator<<(bool value) { return *this << (value ? mix_n::True : mix_n::False); }

utl_stream_c& utl_stream_c::operator<<(double value) {
  field_s f = double_field(value);
  append(f.text, f.length);
  return *this;
}

utl_stream_c& utl_stream_c::operator<<(unsigned long value) {
  field_s f = integer_field(value);
  append(f.text, f.length);
  return *this;
}

utl_stream_c& utl_stream_c::operator<<(unsigned int value) { return *this << static_cast<unsigned long>(value); }

utl_stream_c& utl_stream_c::operator<<(unsigned short value) { return *this << static_cast<unsigned long>(value); }

utl_stream_c& utl_stream_c::operator<<(long value) {
  field_s f = integer_field(value);
  append(f.text, f.length);
  return *this;
}

utl_stream_c& utl_stream_c::operator<<(int value) { return *this << static_cast<long>(value); }

utl_stream_c& utl_stream_c::operator<<(short value) { return *this << static_cast<long>(value); }

utl_stream_c& utl_stream_c::operator<<(char value) {
  if (value == 1) {
    // Empties the buffer and keeps its allocation.
    m_length = 0;
    if (m_buffer != nullptr) m_buffer[0] = '\0';
    return *this;
  }
  append(&value, 1);
  return *this;
}

utl_stream_c& utl_stream_c::operator<<(const utl_stream_c& other) {
  if (other.m_buffer != nullptr) append(other.m_buffer, static_cast<size_t>(other.m_length));
  return *this;
}

utl_stream_c& utl_stream_c::operator<<(const wchar_t* text) {
  if (text == nullptr || *text == L'\0') return *this;
  basis_multi_lang_c converter;
  return *this << converter.to_utf8(text);
}

utl_stream_c& utl_stream_c::operator<<(const char* text) {
  if (text != nullptr && *text != '\0') append(text, std::strlen(text));
  return *this;
}

bool utl_stream_c::operator==(const utl_stream_c& other) const {
  return *this == (other.m_buffer != nullptr ? other.m_buffer : "");
}

bool utl_stream_c::operator==(const wchar_t* text) const {
  if (text == nullptr || *text == L'\0') return m_length == 0;
  basis_multi_lang_c converter;
  return *this == converter.to_utf8(text);
}

bool utl_stream_c::operator==(const char* text) const {
  if (text == nullptr || *text == '\0') return m_length == 0;
  if (m_length == 0) return false;
  size_t n = std::strlen(text);
  return n == m_length && std::memcmp(m_buffer, text, n) == 0;
}

bool utl_stream_c::_remove_tail_bytes(const char* text, size_t n) {
  if (text == nullptr || n == 0) return true;
  if (n > m_length) return false;
  if (std::memcmp(m_buffer + m_length - n, text, n) != 0) return false;
  m_length -= n;
  m_buffer[m_length] = '\0';
  return true;
}

bool utl_stream_c::remove_tail(unsigned long long value) {
  field_s f = integer_field(value);
  return _remove_tail_bytes(f.text, f.length);
}

bool utl_stream_c::remove_tail(long long value) {
  field_s f = integer_field(value);
  return _remove_tail_bytes(f.text, f.length);
}

bool utl_stream_c::remove_tail(bool value) { return remove_tail(value ? mix_n::True : mix_n::False); }

bool utl_stream_c::remove_tail(double value) {
  field_s f = double_field(value);
  return _remove_tail_bytes(f.text, f.length);
}

bool utl_stream_c::remove_tail(unsigned long value) {
  field_s f = integer_field(value);
  return _remove_tail_bytes(f.text, f.length);
}

bool utl_stream_c::remove_tail(unsigned int value) { return remove_tail(static_cast<unsigned long>(value)); }

bool utl_stream_c::remove_tail(unsigned short value) { return remove_tail(static_cast<unsigned long>(value)); }

bool utl_stream_c::remove_tail(long value) {
  field_s f = integer_field(value);
  return _remove_tail_bytes(f.text, f.length);
}

bool utl_stream_c::remove_tail(int value) { return remove_tail(static_cast<long>(value)); }

bool utl_stream_c::remove_tail(short value) { return remove_tail(static_cast<long>(value)); }

bool utl_stream_c::remove_tail(char value) { return _remove_tail_bytes(&value, value == '\0' ? 0 : 1); }

bool utl_stream_c::remove_tail(const utl_stream_c& other) {
  return other.m_buffer == nullptr || _remove_tail_bytes(other.m_buffer, static_cast<size_t>(other.m_length));
}

bool utl_stream_c::remove_tail(const wchar_t* text) {
  if (text == nullptr || *text == L'\0') return true;
  basis_multi_lang_c converter;
  return remove_tail(converter.to_utf8(text));
}

bool utl_stream_c::remove_tail(const char* text) {
  if (text == nullptr) return true;
  return _remove_tail_bytes(text, std::strlen(text));
}

int utl_stream_c::compare(const char* text, bool exact) const {
  if (m_buffer == nullptr) return (text != nullptr && *text != '\0') ? -1 : 0;
  if (text == nullptr) return m_length > 0 ? 1 : 0;
  if (exact) return sign(std::strcmp(m_buffer, text));
  size_t n = std::strlen(text);
  size_t common = n < m_length ? n : static_cast<size_t>(m_length);
  int c = utl_n::ascii_compare_nocase(m_buffer, text, common);
  if (c != 0) return c;
  return m_length == n ? 0 : (m_length < n ? -1 : 1);
}

int utl_stream_c::compare(const utl_stream_c& other, bool exact) const { return compare(other.m_buffer, exact); }

bool utl_stream_c::starts_with(const char* text, bool exact) const {
  if (m_buffer == nullptr || text == nullptr) return false;
  size_t n = std::strlen(text);
  if (n > m_length) return false;
  return exact ? std::memcmp(m_buffer, text, n) == 0 : utl_n::ascii_compare_nocase(m_buffer, text, n) == 0;
}

bool utl_stream_c::ends_with(const char* text, bool exact) const {
  if (m_buffer == nullptr || text == nullptr) return false;
  size_t n = std::strlen(text);
  if (n > m_length) return false;
  const char* tail = m_buffer + m_length - n;
  return exact ? std::memcmp(tail, text, n) == 0 : utl_n::ascii_compare_nocase(tail, text, n) == 0;
}

const char* utl_stream_c::c_str() const { return m_buffer != nullptr ? m_buffer : ""; }

void utl_stream_c::trim() {
  if (m_buffer == nullptr) return;
  while (m_length > 0 && is_white(m_buffer[m_length - 1])) m_buffer[--m_length] = '\0';
  size_t lead = 0;
  while (lead < m_length && is_white(m_buffer[lead])) ++lead;
  if (lead > 0) {
    std::memmove(m_buffer, m_buffer + lead, static_cast<size_t>(m_length - lead));
    m_length -= lead;
    m_buffer[m_length] = '\0';
  }
}

const char* utl_stream_c::find(const char* pattern) const {
  if (m_buffer == nullptr) return nullptr;
  if (pattern == nullptr || *pattern == '\0') return m_length == 0 ? m_buffer : nullptr;
  std::string_view text(m_buffer, static_cast<size_t>(m_length));
  size_t at = text.find(pattern);
  return at == std::string_view::npos ? nullptr : m_buffer + at;
}

bool utl_stream_c::replace(const char* what, const char* with) {
  const char* p = find(what);
  if (p == nullptr) return false;
  size_t offset = static_cast<size_t>(p - m_buffer);
  size_t skip = what ? std::strlen(what) : 0;
  utl_stream_c result;
  if (!result.append(m_buffer, offset)) return false;
  result << with;
  if (!result.append(m_buffer + offset + skip, static_cast<size_t>(m_length - offset - skip))) return false;
  *this << static_cast<char>(1);
  *this << result;
  return true;
}
