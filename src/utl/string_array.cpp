#include "utl/array.h"

#include "utl/utl.h"

string_array_c::string_array_c() : m_strings(new array_ct<char>) {}

string_array_c::string_array_c(const string_array_c& other) : m_strings(new array_ct<char>) {
  m_strings->reserve_exactly(other.count());
  for (size_t i = 0; i < other.count(); ++i) {
    const char* s = other.m_strings->at(i);
    if (s != nullptr) m_strings->append(utl_n::str_copy(s));
  }
}

string_array_c::~string_array_c() {
  m_strings->delete_all();
  delete m_strings;
}

void string_array_c::clear() { m_strings->delete_all(); }

const char* string_array_c::find(const char* s) const {
  long long index = index_of(s);
  return index < 0 ? nullptr : m_strings->at(static_cast<size_t>(index));
}

long long string_array_c::index_of(const char* s) const {
  if (s == nullptr) return -1;
  for (size_t i = 0; i < m_strings->count(); ++i) {
    const char* held = m_strings->at(i);
    if (held != nullptr && std::strcmp(held, s) == 0) return static_cast<long long>(i);
  }
  return -1;
}

const char* string_array_c::add(const char* s) {
  if (s == nullptr) return nullptr;
  return m_strings->append(utl_n::str_copy(s));
}

void string_array_c::adopt(char* s) { m_strings->append(s); }

char* string_array_c::take_at(size_t index) { return m_strings->remove_at(index); }

char* string_array_c::take(const char* s) {
  long long index = index_of(s);
  return index < 0 ? nullptr : take_at(static_cast<size_t>(index));
}

bool string_array_c::delete_at(size_t index) {
  char* s = take_at(index);
  if (s == nullptr) return false;
  delete[] s;
  return true;
}

bool string_array_c::erase(const char* s) {
  char* taken = take(s);
  if (taken == nullptr) return false;
  delete[] taken;
  return true;
}

bool string_array_c::is_empty() const { return m_strings->is_empty(); }

size_t string_array_c::count_of(const char* s) const {
  if (s == nullptr) return 0;
  size_t n = 0;
  for (size_t i = 0; i < m_strings->count(); ++i) {
    const char* held = m_strings->at(i);
    if (held != nullptr && std::strcmp(held, s) == 0) ++n;
  }
  return n;
}
