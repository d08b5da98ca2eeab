#include "utl/container.h"

#include "platform/trc/zqtr.h"
#include "utl/utl.h"

#include <cctype>
#include <cstring>

namespace {

FILE* g_print_stream = nullptr;

FILE* print_stream() { return g_print_stream != nullptr ? g_print_stream : stderr; }

void* const k_string_data = reinterpret_cast<void*>(static_cast<uintptr_t>(1));

int sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

bool same_name(const ptr_string_list_element_c* e, const char* name, size_t length, bool case_sensitive) {
  if (e->name == nullptr || e->name_length != length) return false;
  return case_sensitive ? std::memcmp(e->name, name, length) == 0 : utl_n::ascii_compare_nocase(e->name, name) == 0;
}

// The comparisons of the sort orders; unnamed elements last (ascending) or first (descending).
int compare_names(const ptr_list_element_c* a, const ptr_list_element_c* b, void* context) {
  const unsigned order = *static_cast<const unsigned*>(context);
  const char* na = static_cast<const ptr_string_list_element_c*>(a)->name;
  const char* nb = static_cast<const ptr_string_list_element_c*>(b)->name;
  const bool descending = order >= 3;
  if (na == nullptr || nb == nullptr) {
    if (na == nb) return 0;
    int unnamed_last = na == nullptr ? 1 : -1;
    return descending ? -unnamed_last : unnamed_last;
  }
  int c;
  switch (order % 3) {
    case 0: c = sign(std::strcmp(na, nb)); break;
    case 1: c = utl_n::ascii_compare_nocase(na, nb); break;
    default:
      c = utl_n::ascii_compare_nocase(na, nb);
      if (c == 0) c = sign(std::strcmp(na, nb));
      break;
  }
  return descending ? -c : c;
}

}  // namespace

ptr_string_list_element_c::~ptr_string_list_element_c() { delete[] name; }

void ptr_string_list_element_c::_set_name(const char* text, bool round) {
  if (text == nullptr) {
    delete[] name;
    name = nullptr;
    name_length = 0;
    return;
  }
  size_t length = std::strlen(text);
  if (name != nullptr && length <= name_length) {
    std::memmove(name, text, length + 1);
  } else {
    char* copy = utl_n::str_copy(text, round);
    delete[] name;
    name = copy;
  }
  name_length = length;
}

FILE* ptr_string_list_c::_set_print_stream(FILE* stream) {
  FILE* previous = g_print_stream;
  g_print_stream = stream;
  return previous;
}

ptr_string_list_c::ptr_string_list_c(bool with_lock) : ptr_list_c(with_lock) {}

ptr_string_list_c::~ptr_string_list_c() = default;

ptr_string_list_element_c* ptr_string_list_c::_new_element(const char* name, void* data) const {
  ptr_string_list_element_c* e = new ptr_string_list_element_c(data);
  if (name != nullptr) e->_set_name(name, m_round_names);
  return e;
}

ptr_list_c* ptr_string_list_c::copy() {
  ZQTR_SCOPE(tr, "ptr_string_list_c::copy", "container");
  ptr_string_list_c* result = new ptr_string_list_c(m_lock != nullptr);
  result->m_name = m_name;
  // Walked with first and next, which moves this list's current position.
  for (void* d = first(); m_current != nullptr; d = next()) result->append(_named(m_current)->name, d);
  result->m_current = nullptr;
  return result;
}

bool ptr_string_list_c::append(void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::append", "container");
  _append(_new_element(nullptr, data));
  return true;
}

bool ptr_string_list_c::insert(void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::insert", "container");
  _insert(_new_element(nullptr, data));
  return true;
}

bool ptr_string_list_c::move_before_current(const void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::move_before_current", "container");
  return ptr_list_c::move_before_current(data);
}

bool ptr_string_list_c::move_after_current(const void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::move_after_current", "container");
  return ptr_list_c::move_after_current(data);
}

bool ptr_string_list_c::insert_before_current(void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::insert_before_current", "container");
  return m_current != nullptr && _insert_before_current(_new_element(nullptr, data));
}

bool ptr_string_list_c::insert_after_current(void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::insert_after_current", "container");
  return m_current != nullptr && _insert_after_current(_new_element(nullptr, data));
}

const char* ptr_string_list_c::get_current_name(const void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::get_current_name", "container");
  if (data != nullptr) _update_current(data);
  return m_current != nullptr ? _named(m_current)->name : nullptr;
}

void ptr_string_list_c::set_name(const char* name, const void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::set_name", "container");
  if (data != nullptr) _update_current(data);
  if (m_current != nullptr) _named(m_current)->_set_name(name, m_round_names);
}

bool ptr_string_list_c::check_all_names_presence() {
  ZQTR_SCOPE(tr, "ptr_string_list_c::check_all_names_presence", "container");
  for (ptr_list_element_c* e = m_first; e != nullptr; e = e->next) {
    if (_named(e)->name == nullptr) return false;
  }
  return true;
}

const char* ptr_string_list_c::check_names_uniqueness() {
  ZQTR_SCOPE(tr, "ptr_string_list_c::check_names_uniqueness", "container");
  for (ptr_list_element_c* e = m_first; e != nullptr; e = e->next) {
    ptr_string_list_element_c* a = _named(e);
    if (a->name == nullptr) continue;
    for (ptr_list_element_c* f = e->next; f != nullptr; f = f->next) {
      if (same_name(_named(f), a->name, a->name_length, true)) return a->name;
    }
  }
  return nullptr;
}

int64_t ptr_string_list_c::get_index(const char* name) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::get_index", "container");
  const size_t length = name ? std::strlen(name) : 0;
  int64_t index = 0;
  for (ptr_list_element_c* e = m_first; e != nullptr; e = e->next, ++index) {
    ptr_string_list_element_c* n = _named(e);
    if (name == nullptr ? n->name == nullptr : same_name(n, name, length, true)) {
      m_current = e;
      return index;
    }
  }
  return -1;
}

void ptr_string_list_c::sort_by_names(unsigned order) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::sort_by_names", "container");
  if (order > 5) return;
  sort(&compare_names, &order);
}

bool ptr_string_list_c::is_sorted_by_names(unsigned order) {
  if (order > 5 || m_count < 2) return true;
  first();
  ptr_list_element_c* before = m_current;
  for (next(); m_current != nullptr; next()) {
    if (compare_names(before, m_current, &order) > 0) return false;
    before = m_current;
  }
  return true;
}

void* ptr_string_list_c::find(const char* name, bool case_sensitive) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::find", "container");
  if (name == nullptr) return nullptr;
  const size_t length = std::strlen(name);
  if (m_current != nullptr && same_name(_named(m_current), name, length, case_sensitive)) return m_current->data;
  for (ptr_list_element_c* e = m_first; e != nullptr; e = e->next) {
    if (same_name(_named(e), name, length, case_sensitive)) {
      m_current = e;
      return e->data;
    }
  }
  return nullptr;
}

void* ptr_string_list_c::lookup(const char* name, bool case_sensitive) const {
  if (name == nullptr) return nullptr;
  const size_t length = std::strlen(name);
  for (const ptr_list_element_c* e = m_first; e != nullptr; e = e->next) {
    if (same_name(_named(const_cast<ptr_list_element_c*>(e)), name, length, case_sensitive)) return e->data;
  }
  return nullptr;
}

bool ptr_string_list_c::append(const char* name, void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::append", "container");
  _append(_new_element(name, data));
  return true;
}

bool ptr_string_list_c::insert(const char* name, void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::insert", "container");
  _insert(_new_element(name, data));
  return true;
}

// Moves the element named `name` directly before (after) the current one, which stays current.
bool ptr_string_list_c::_move_named(const char* name, bool before) {
  ptr_list_element_c* c = m_current;
  if (c == nullptr) return false;
  find(name, true);
  ptr_list_element_c* e = m_current;
  m_current = c;
  if (e == nullptr || e == c || (before ? c->prev == e : c->next == e)) return false;
  _unlink(e);
  if (before) _link_before(e, c); else _link_after(e, c);
  m_current = c;
  return true;
}

bool ptr_string_list_c::move_before_current(const char* name) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::move_before_current", "container");
  return _move_named(name, true);
}

bool ptr_string_list_c::move_after_current(const char* name) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::move_after_current", "container");
  return _move_named(name, false);
}

bool ptr_string_list_c::insert_before_current(const char* name, void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::insert_before_current", "container");
  return m_current != nullptr && _insert_before_current(_new_element(name, data));
}

bool ptr_string_list_c::insert_after_current(const char* name, void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::insert_after_current", "container");
  return m_current != nullptr && _insert_after_current(_new_element(name, data));
}

int64_t ptr_string_list_c::print_names() {
  ZQTR_SCOPE(tr, "ptr_string_list_c::print_names", "container");
  FILE* out = print_stream();
  long printed = 0;
  for (ptr_list_element_c* e = m_first; e != nullptr; e = e->next) {
    const char* name = _named(e)->name;
    std::fprintf(out, "\t%3ld:  %s\n", ++printed, name ? name : "No Name Found");
  }
  if (static_cast<long>(m_count) != printed) {
    std::fprintf(out, "\tList Error: num %ld != %ld\n", static_cast<long>(m_count), printed);
  }
  std::fflush(out);
  return static_cast<int64_t>(m_count);
}

void ptr_string_list_c::print_curr_name(const void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::print_curr_name", "container");
  if (data != nullptr) _update_current(data);
  if (!zqtr_is_console_application()) return;
  FILE* out = print_stream();
  if (m_current == nullptr) {
    std::fprintf(out, "\tNo Current Elemnt\n");
  } else if (_named(m_current)->name != nullptr) {
    std::fprintf(out, "\tCurrent Name: \"%s\"\n", _named(m_current)->name);
  } else {
    std::fprintf(out, "\tNo Current Name Found\n");
  }
  std::fflush(out);
}

void ptr_string_list_c::print_next_name(const void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::print_next_name", "container");
  if (data != nullptr) _update_current(data);
  if (!zqtr_is_console_application()) return;
  FILE* out = print_stream();
  if (m_current == nullptr) {
    std::fprintf(out, "\tNo Current Elemnt\n");
  } else if (m_current->next == nullptr) {
    std::fprintf(out, "\tNo Next Elemnt\n");
  } else if (_named(m_current->next)->name != nullptr) {
    std::fprintf(out, "\tNext Name: \"%s\"\n", _named(m_current->next)->name);
  } else {
    std::fprintf(out, "\tNo Next Name Found\n");
  }
  std::fflush(out);
}

void ptr_string_list_c::print_prev_name(const void* data) {
  ZQTR_SCOPE(tr, "ptr_string_list_c::print_prev_name", "container");
  if (data != nullptr) _update_current(data);
  if (!zqtr_is_console_application()) return;
  FILE* out = print_stream();
  if (m_current == nullptr) {
    std::fprintf(out, "\tNo Current Elemnt\n");
  } else if (m_current->prev == nullptr) {
    std::fprintf(out, "\tNo Prev Elemnt\n");
  } else if (_named(m_current->prev)->name != nullptr) {
    std::fprintf(out, "\tPrev Name: \"%s\"\n", _named(m_current->prev)->name);
  } else {
    std::fprintf(out, "\tNo Prev Name Found\n");
  }
  std::fflush(out);
}

string_list_c::~string_list_c() = default;

size_t string_list_c::count() const { return static_cast<size_t>(m_count); }

const char* string_list_c::find_name(const char* name, bool case_sensitive) {
  if (find(name, case_sensitive) == nullptr) return nullptr;
  return _named(m_current)->name;
}

const char* string_list_c::first_name() { return first() != nullptr ? _named(m_current)->name : nullptr; }

const char* string_list_c::last_name() { return last() != nullptr ? _named(m_current)->name : nullptr; }

const char* string_list_c::next_name() { return next() != nullptr ? _named(m_current)->name : nullptr; }

const char* string_list_c::prev_name() { return prev() != nullptr ? _named(m_current)->name : nullptr; }

const char* string_list_c::remove_name(const char* name) {
  if (name == nullptr) {
    if (ptr_list_c::remove_current() == nullptr) return nullptr;
    return _named(m_current)->name;
  }
  if (m_current != nullptr && _named(m_current)->name != nullptr) {
    if (std::strcmp(_named(m_current)->name, name) != 0) return nullptr;
  } else {
    const char* n = first_name();
    while (n != nullptr && std::strcmp(n, name) != 0) n = next_name();
    if (n == nullptr) return nullptr;
  }
  if (ptr_list_c::remove_current() == nullptr) return nullptr;
  return _named(m_current)->name;
}

void string_list_c::insert_name(const char* name) { insert(name, k_string_data); }

void string_list_c::append_name(const char* name) { append(name, k_string_data); }
