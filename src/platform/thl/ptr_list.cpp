#include "platform/thl/ptr_list.h"

#include "platform/thl/bulk_arena.h"
#include "platform/thl/thl_locks.h"

ptr_list_c::ptr_list_c(bool with_lock) {
  if (with_lock) m_lock = new thl_crit_section_c(false);
}

ptr_list_element_c* ptr_list_c::_new_element(void* data) {
  if (m_arena != nullptr) return new (*m_arena) arena_made_ct<ptr_list_element_c>(data);
  return new ptr_list_element_c(data);
}

ptr_list_c::~ptr_list_c() {
  _delete_all();
  if (!m_lock_shared) delete m_lock;
}

void ptr_list_c::_sort_protection_enter() { lock(); }

void ptr_list_c::_sort_protection_leave() { unlock(); }

ptr_list_c* ptr_list_c::copy() {
  ptr_list_c* result = new ptr_list_c(m_lock != nullptr);
  result->m_name = m_name;
  for (ptr_list_element_c* e = m_first; e != nullptr; e = e->next) result->_append(new ptr_list_element_c(e->data));
  result->m_current = nullptr;
  return result;
}

void* ptr_list_c::first() {
  m_current = m_first;
  return m_current ? m_current->data : nullptr;
}

void* ptr_list_c::last() {
  m_current = m_last;
  return m_current ? m_current->data : nullptr;
}

void* ptr_list_c::next(const void* data) {
  if (data != nullptr && _update_current(data) == nullptr) return nullptr;
  if (m_current != nullptr) m_current = m_current->next;
  return m_current ? m_current->data : nullptr;
}

void* ptr_list_c::prev(const void* data) {
  if (data != nullptr && _update_current(data) == nullptr) return nullptr;
  if (m_current != nullptr) m_current = m_current->prev;
  return m_current ? m_current->data : nullptr;
}

void* ptr_list_c::current() { return m_current ? m_current->data : nullptr; }

bool ptr_list_c::set_data(void* data) {
  if (m_current == nullptr) return false;
  m_current->data = data;
  return true;
}

void ptr_list_c::sort(ptr_list_compare_f compare, void* context) {
  if (compare == nullptr || m_count < 2) return;
  _sort_protection_enter();
  // Bottom-up merge sort of the chain: stable, no allocation.
  ptr_list_element_c* head = m_first;
  for (uint64_t width = 1;; width *= 2) {
    ptr_list_element_c* p = head;
    ptr_list_element_c* tail = nullptr;
    head = nullptr;
    uint64_t merges = 0;
    while (p != nullptr) {
      ++merges;
      ptr_list_element_c* q = p;
      uint64_t psize = 0;
      for (uint64_t i = 0; i < width && q != nullptr; ++i, q = q->next) ++psize;
      uint64_t qsize = width;
      while (psize > 0 || (qsize > 0 && q != nullptr)) {
        ptr_list_element_c* e;
        if (psize == 0) {
          e = q; q = q->next; --qsize;
        } else if (qsize == 0 || q == nullptr || compare(p, q, context) <= 0) {
          e = p; p = p->next; --psize;
        } else {
          e = q; q = q->next; --qsize;
        }
        e->prev = tail;
        if (tail) tail->next = e; else head = e;
        tail = e;
      }
      p = q;
    }
    tail->next = nullptr;
    m_first = head;
    m_last = tail;
    if (merges <= 1) break;
  }
  _sort_protection_leave();
}

void* ptr_list_c::remove_current(const void* data) {
  if (data != nullptr && _update_current(data) == nullptr) return nullptr;
  ptr_list_element_c* gone = m_current;
  if (gone == nullptr) return nullptr;
  m_current = gone->next;
  _unlink(gone);
  delete gone;
  return m_current ? m_current->data : nullptr;
}

void* ptr_list_c::remove_current_move_back(const void* data) {
  if (data != nullptr && _update_current(data) == nullptr) return nullptr;
  ptr_list_element_c* gone = m_current;
  if (gone == nullptr) return nullptr;
  m_current = gone->prev;
  _unlink(gone);
  delete gone;
  return m_current ? m_current->data : nullptr;
}

void* ptr_list_c::find_data(const void* data) {
  ptr_list_element_c* e = _update_current(data);
  return e ? e->data : nullptr;
}

void* ptr_list_c::find_data(ptr_list_match_f match, const void* context, int direction) {
  if (match == nullptr) return nullptr;
  ptr_list_element_c* e;
  if (direction == PTR_LIST_AFTER_CURRENT) {
    e = m_current ? m_current->next : m_first;
  } else if (direction == PTR_LIST_BEFORE_CURRENT) {
    e = m_current ? m_current->prev : m_last;
  } else {
    e = m_first;
  }
  bool backward = direction == PTR_LIST_BEFORE_CURRENT;
  for (; e != nullptr; e = backward ? e->prev : e->next) {
    if (match(e->data, context)) {
      m_current = e;
      return e->data;
    }
  }
  return nullptr;
}

bool ptr_list_c::append(void* data) {
  _append(_new_element(data));
  return true;
}

bool ptr_list_c::insert(void* data) {
  _insert(_new_element(data));
  return true;
}

bool ptr_list_c::move_current(bool to_front) {
  ptr_list_element_c* e = m_current;
  if (e == nullptr || (to_front ? e == m_first : e == m_last)) return false;
  _unlink(e);
  if (to_front) _link_before(e, m_first); else _link_after(e, m_last);
  m_current = e;
  return true;
}

bool ptr_list_c::move_before_current(const void* data) {
  ptr_list_element_c* e = _find_element(data);
  if (e == nullptr || m_current == nullptr || e == m_current) return false;
  if (m_current->prev == e) return true;
  _unlink(e);
  _link_before(e, m_current);
  return true;
}

bool ptr_list_c::move_after_current(const void* data) {
  ptr_list_element_c* e = _find_element(data);
  if (e == nullptr || m_current == nullptr || e == m_current) return false;
  if (m_current->next == e) return true;
  _unlink(e);
  _link_after(e, m_current);
  return true;
}

bool ptr_list_c::insert_before_current(void* data) {
  if (m_current == nullptr) return false;
  return _insert_before_current(_new_element(data));
}

bool ptr_list_c::insert_after_current(void* data) {
  if (m_current == nullptr) return false;
  return _insert_after_current(_new_element(data));
}

void ptr_list_c::clear() { _delete_all(); }

void ptr_list_c::lock() {
  if (m_lock != nullptr) m_lock->enter();
}

void ptr_list_c::unlock() {
  if (m_lock != nullptr) m_lock->leave();
}

bool ptr_list_c::replace_positions(const void* a, const void* b) {
  ptr_list_element_c* ea = _find_element(a);
  ptr_list_element_c* eb = _find_element(b);
  if (ea == nullptr || eb == nullptr) return false;
  if (ea == eb) return true;
  // Swap by relinking: a placeholder keeps a's place while b moves there.
  ptr_list_element_c* keep = m_current;
  ptr_list_element_c mark;
  _link_before(&mark, ea);
  _unlink(ea);
  _link_before(ea, eb);
  _unlink(eb);
  _link_before(eb, &mark);
  _unlink(&mark);
  m_current = keep;
  return true;
}

void ptr_list_c::_insert(ptr_list_element_c* element) {
  _link_before(element, m_first);
  m_current = element;
}

bool ptr_list_c::_insert_before_current(ptr_list_element_c* element) {
  if (m_current == nullptr) {
    delete element;
    return false;
  }
  _link_before(element, m_current);
  m_current = element;
  return true;
}

bool ptr_list_c::_insert_after_current(ptr_list_element_c* element) {
  if (m_current == nullptr) {
    delete element;
    return false;
  }
  _link_after(element, m_current);
  m_current = element;
  return true;
}

ptr_list_element_c* ptr_list_c::_update_current(const void* data) {
  ptr_list_element_c* e = _find_element(data);
  if (e != nullptr) m_current = e;
  return e;
}

int64_t ptr_list_c::get_index(const void* data) const {
  int64_t index = 0;
  for (ptr_list_element_c* e = m_first; e != nullptr; e = e->next, ++index) {
    if (e->data == data) return index;
  }
  return -1;
}

ptr_list_element_c* ptr_list_c::_find_element(const void* data) const {
  for (ptr_list_element_c* e = m_first; e != nullptr; e = e->next) {
    if (e->data == data) return e;
  }
  return nullptr;
}

void ptr_list_c::_unlink(ptr_list_element_c* element) {
  if (element->prev) element->prev->next = element->next; else m_first = element->next;
  if (element->next) element->next->prev = element->prev; else m_last = element->prev;
  if (m_current == element) m_current = nullptr;
  element->next = element->prev = nullptr;
  --m_count;
}

// A null `before` links at the end.
void ptr_list_c::_link_before(ptr_list_element_c* element, ptr_list_element_c* before) {
  if (before == nullptr) {
    _link_after(element, m_last);
    return;
  }
  element->next = before;
  element->prev = before->prev;
  if (before->prev) before->prev->next = element; else m_first = element;
  before->prev = element;
  ++m_count;
}

// A null `after` links at the front.
void ptr_list_c::_link_after(ptr_list_element_c* element, ptr_list_element_c* after) {
  if (after == nullptr) {
    element->prev = nullptr;
    element->next = m_first;
    if (m_first) m_first->prev = element; else m_last = element;
    m_first = element;
    ++m_count;
    return;
  }
  element->prev = after;
  element->next = after->next;
  if (after->next) after->next->prev = element; else m_last = element;
  after->next = element;
  ++m_count;
}

void ptr_list_c::_delete_all() {
  ptr_list_element_c* e = m_first;
  while (e != nullptr) {
    ptr_list_element_c* next = e->next;
    delete e;
    e = next;
  }
  m_first = m_last = m_current = nullptr;
  m_count = 0;
}
