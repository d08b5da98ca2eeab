#include "utl/value.h"

#include "utl/shared_texts.h"

#include "platform/thl/bulk_arena.h"
#include "platform/thl/mix.h"
#include "utl/utl.h"

#include <charconv>
#include <climits>
#include <cstring>
#include <new>

namespace {

size_t decimal_length(int64_t n, bool as_unsigned) {
  char buffer[24];
  auto r = as_unsigned ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<uint64_t>(n))
                       : std::to_chars(buffer, buffer + sizeof buffer, n);
  return static_cast<size_t>(r.ptr - buffer);
}

}  // namespace

value_c::value_c(bool b) { set_bool(b); }

value_c::value_c(const value_c& other)
    : m_number(other.m_number), m_type(other.m_type), m_error(other.m_error) {
  _store_text(other.m_text);
}

value_c& value_c::operator=(const value_c& other) {
  if (this != &other) {
    _store_text(other.m_text);
    m_number = other.m_number;
    m_type = other.m_type;
    m_error = other.m_error;
  }
  return *this;
}

value_c::~value_c() {
  if (_owns_text_buffer()) delete[] m_text;
  m_text = nullptr;
  m_capacity = 0;
}

void value_c::set_text(const char* s) {
  _store_text(s);
  // The value is now that text: a number read from an earlier text, or an earlier number or
  // boolean, must not survive it.
  m_number = 0;
  m_type = STRING;
  m_error = 0;
}

void value_c::_store_text(const char* s) {
  if (s == nullptr) {
    if (m_text != nullptr) m_text[0] = '\0';
    return;
  }
  if (s == m_text) return;
  const size_t needed = std::strlen(s) + 1;
  if (m_text == nullptr && needed <= k_inline_capacity) {
    m_text = m_inline;
    m_capacity = k_inline_capacity;
  } else if (m_text == nullptr || text_capacity() < needed) {
    // A text of 2 GiB or more is beyond any value this library keeps.
    if (needed >= k_lent_text) throw std::bad_alloc();
    char* buffer = new char[needed];
    if (_owns_text_buffer()) delete[] m_text;
    m_text = buffer;
    m_capacity = static_cast<uint32_t>(needed);
  }
  // s may lie inside the current buffer (a shorter tail of the same text): no new buffer then.
  std::memmove(m_text, s, needed);
}

void value_c::set_signed(int64_t n) {
  m_number = n;
  m_type = SIGNED;
  m_error = 0;
  _print_number();
}

void value_c::set_unsigned(uint64_t n) {
  m_number = static_cast<int64_t>(n);
  m_type = n < (static_cast<uint64_t>(1) << 63) ? SIGNED : UNSIGNED_HIGH;
  m_error = 0;
  _print_number();
}

void value_c::set_bool(bool b) {
  _store_text(b ? mix_n::True : mix_n::False);
  m_type = BOOLEAN;
  m_error = 0;
  m_number = b ? 1 : 0;
}

void value_c::_print_number() {
  char buffer[24];
  auto r = m_type == UNSIGNED_HIGH ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<uint64_t>(m_number))
                                   : std::to_chars(buffer, buffer + sizeof buffer, m_number);
  *r.ptr = '\0';
  _store_text(buffer);
}

size_t value_c::get_text_length() const {
  switch (m_type) {
    case STRING: return m_text ? std::strlen(m_text) : 0;
    case SIGNED: return decimal_length(m_number, false);
    case UNSIGNED_HIGH: return decimal_length(m_number, true);
    case BOOLEAN: return m_number > 0 ? 4 : 5;
    default: return 0;
  }
}

bool value_c::equals_text(const char* s) { return std::strcmp(as_string(), s ? s : "") == 0; }

bool value_c::_number_for_read(int64_t& n) {
  if (m_type == UNDEFINED) return false;
  if (m_type == STRING) {
    int64_t parsed = 0;
    if (m_text == nullptr || !mix_n::parse_formatted_integer_string(m_text, parsed)) {
      m_error = 1;
      return false;
    }
    m_error = 0;
    m_number = parsed;
    // A value of 2^63 or more reads as negative without a minus sign in the text.
    m_type = (parsed < 0 && std::strchr(m_text, '-') == nullptr) ? UNSIGNED_HIGH : SIGNED;
  }
  n = m_number;
  return true;
}

int64_t value_c::_in_range(int64_t low, int64_t high) {
  int64_t n = 0;
  if (!_number_for_read(n)) return 0;
  if (n < low || n > high) {
    m_error = 1;
    return 0;
  }
  m_error = 0;
  return n;
}

bool value_c::as_bool() {
  m_error = 0;
  switch (m_type) {
    case BOOLEAN: return m_number != 0;
    case STRING:
      if (m_text != nullptr && utl_n::ascii_compare_nocase(m_text, "True") == 0) {
        set_bool(true);
        return true;
      }
      if (m_text != nullptr && utl_n::ascii_compare_nocase(m_text, "False") == 0) {
        set_bool(false);
        return false;
      }
      m_error = 1;
      return false;
    case SIGNED:
      if (m_number == 1) return true;
      if (m_number != 0) m_error = 1;
      return false;
    default:
      m_error = 1;
      return false;
  }
}

char value_c::as_char() { return static_cast<char>(_in_range(-128, 127)); }
signed char value_c::as_signed_char() { return static_cast<signed char>(_in_range(-128, 127)); }
short value_c::as_short() { return static_cast<short>(_in_range(-32768, 32767)); }
unsigned short value_c::as_unsigned_short() { return static_cast<unsigned short>(_in_range(0, 65535)); }
int value_c::as_int() { return static_cast<int>(_in_range(INT32_MIN, INT32_MAX)); }
unsigned int value_c::as_unsigned_int() { return static_cast<unsigned int>(_in_range(0, UINT32_MAX)); }
long value_c::as_long() { return static_cast<long>(_in_range(INT32_MIN, INT32_MAX)); }
unsigned long value_c::as_unsigned_long() { return static_cast<unsigned long>(_in_range(0, UINT32_MAX)); }

int64_t value_c::as_int64() {
  int64_t n = 0;
  if (!_number_for_read(n)) return 0;
  if (m_type == UNSIGNED_HIGH) {
    m_error = 1;
    return 0;
  }
  m_error = 0;
  return n;
}

uint64_t value_c::as_uint64() {
  int64_t n = 0;
  if (!_number_for_read(n)) return 0;
  if (m_type == SIGNED && n < 0) {
    m_error = 1;
    return 0;
  }
  m_error = 0;
  return static_cast<uint64_t>(n);
}

const char* value_c::as_string() {
  switch (m_type) {
    case STRING: return m_text ? m_text : "";
    case SIGNED:
    case UNSIGNED_HIGH: _print_number(); return m_text;
    case BOOLEAN: return m_number ? mix_n::True : mix_n::False;
    default: m_error = 1; return "";
  }
}

void value_c::reset() {
  _store_text(nullptr);
  m_error = 1;
  m_number = 0;
  m_type = UNDEFINED;
}

labeled_value_c::labeled_value_c(const char* label, char value) : labeled_value_c(label, static_cast<long long>(value)) {}
labeled_value_c::labeled_value_c(const char* label, short value) : labeled_value_c(label, static_cast<long long>(value)) {}
labeled_value_c::labeled_value_c(const char* label, int value) : labeled_value_c(label, static_cast<long long>(value)) {}

labeled_value_c::labeled_value_c(const char* label, long long value) {
  set_label(label);
  set_signed(value);
}

labeled_value_c::labeled_value_c(const char* label, unsigned short value)
    : labeled_value_c(label, static_cast<unsigned long long>(value)) {}
labeled_value_c::labeled_value_c(const char* label, unsigned int value)
    : labeled_value_c(label, static_cast<unsigned long long>(value)) {}

labeled_value_c::labeled_value_c(const char* label, unsigned long long value) {
  set_label(label);
  set_unsigned(value);
}

labeled_value_c::labeled_value_c(const char* label, const char* value) {
  set_label(label);
  set_text(value);
  m_number = 0;
  m_type = STRING;
  m_error = 0;
}

void value_c::_store_first_text(const char* s, size_t length, bulk_arena_c& arena) {
  if (m_text != nullptr || length + 1 >= k_lent_text) {
    _store_text(s);
  } else if (length + 1 <= k_inline_capacity) {
    std::memcpy(m_inline, s, length + 1);
    m_text = m_inline;
    m_capacity = k_inline_capacity;
  } else {
    m_text = arena.copy(s, length);
    m_capacity = static_cast<uint32_t>(length + 1) | k_lent_text;
  }
}

labeled_value_c::labeled_value_c(const char* label, const char* value, bulk_arena_c& arena)
    : labeled_value_c(label, static_cast<const char*>(nullptr)) {
  if (value != nullptr) _store_first_text(value, std::strlen(value), arena);
}

labeled_value_c::labeled_value_c(const labeled_value_c& other) : value_c(other) {
  if (other.m_label_shared) {
    m_label = other.m_label;  // a table entry: no search needed
    m_label_shared = true;
  } else {
    set_label(other.m_label);
  }
}

labeled_value_c& labeled_value_c::operator=(const labeled_value_c& other) {
  if (this != &other) {
    value_c::operator=(other);
    set_label(other.m_label);
  }
  return *this;
}

namespace {

// Constant-initialised: in place before any object is built at load.
shared_texts_c g_shared_labels;

}  // namespace

const char* const* labeled_value_c::shared_labels(size_t& count) { return g_shared_labels.get(count); }

void labeled_value_c::share_labels(const char* const* labels, size_t count) { g_shared_labels.set(labels, count); }

labeled_value_c::~labeled_value_c() {
  if (!m_label_shared) delete[] m_label;
}

void labeled_value_c::set_label(const char* label) {
  bool shared = false;
  const char* copy = g_shared_labels.share_or_copy(label == nullptr ? "" : label, shared);
  if (!m_label_shared) delete[] m_label;
  m_label = copy;
  m_label_shared = shared;
}

bool labeled_value_c::as_bool() { return value_c::as_bool(); }

const char* labeled_value_c::as_string() { return value_c::as_string(); }

bool labeled_value_c::is_equal(const labeled_value_c& a, const labeled_value_c& b) {
  if (&a == &b) return true;
  if (std::strcmp(a.m_label ? a.m_label : "", b.m_label ? b.m_label : "") != 0) return false;
  if (a.m_type != UNDEFINED && b.m_type != UNDEFINED) {
    // as_string only renders: compare through copies so that a and b stay as they were.
    labeled_value_c ca(a), cb(b);
    return std::strcmp(ca.as_string(), cb.as_string()) == 0;
  }
  return a.m_type == b.m_type;
}
