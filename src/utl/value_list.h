// Doubly linked lists that hold values (not pointers) with a current position, and the variant
// whose items also carry a pointer.
#ifndef STATS_MNG_UTL_VALUE_LIST_H
#define STATS_MNG_UTL_VALUE_LIST_H

#include "utl/array.h"

#include <cstddef>

template <class T>
struct value_list_item_ct {
  explicit value_list_item_ct(const T& value) : value(value) {}
  virtual ~value_list_item_ct() = default;
  T value;
  value_list_item_ct* next = nullptr;
  value_list_item_ct* prev = nullptr;
};

template <class T>
class value_list_ct {
 public:
  using item_t = value_list_item_ct<T>;

  value_list_ct() = default;
  value_list_ct(const value_list_ct&) = delete;
  value_list_ct& operator=(const value_list_ct&) = delete;

  virtual item_t* create_item(T value) { return new item_t(value); }
  virtual ~value_list_ct() { _delete_items(); }
  virtual void clear() { _delete_items(); }
  virtual size_t count() const { return m_count; }

  virtual long long get_index(T value) {
    long long index = 0;
    for (item_t* i = m_head; i != nullptr; i = i->next, ++index) {
      if (i->value == value) {
        m_current = i;
        return index;
      }
    }
    return -1;
  }

  // The current item first, then from the head; when none holds value, no item is current.
  virtual bool find(T value) {
    if (m_current != nullptr && m_current->value == value) return true;
    for (item_t* i = m_head; i != nullptr; i = i->next) {
      if (i->value == value) {
        m_current = i;
        return true;
      }
    }
    m_current = nullptr;
    return false;
  }

  virtual bool get_current(T& out) {
    if (m_current == nullptr) return false;
    out = m_current->value;
    return true;
  }
  virtual bool get_first(T& out) {
    m_current = m_head;
    return get_current(out);
  }
  virtual bool get_last(T& out) {
    m_current = m_tail;
    return get_current(out);
  }
  virtual bool get_next(T& out, bool from_out) {
    if (from_out && !(m_current != nullptr && m_current->value == out) && !find(out)) return false;
    if (m_current != nullptr) m_current = m_current->next;
    return get_current(out);
  }
  virtual bool get_prev(T& out, bool from_out) {
    if (from_out && !(m_current != nullptr && m_current->value == out) && !find(out)) return false;
    if (m_current != nullptr) m_current = m_current->prev;
    return get_current(out);
  }

  // False with duplicate set (and current on its first item) when a value occurs twice.
  virtual bool check_uniqueness(T& duplicate) {
    for (item_t* i = m_head; i != nullptr; i = i->next) {
      for (item_t* j = i->next; j != nullptr; j = j->next) {
        if (i->value == j->value) {
          m_current = i;
          duplicate = i->value;
          return false;
        }
      }
    }
    return true;
  }

  virtual bool remove_current(bool& has_next, T& next_value) {
    if (m_current == nullptr) return false;
    item_t* gone = m_current;
    m_current = gone->next;
    _unlink(gone);
    delete gone;
    has_next = get_current(next_value);
    return true;
  }

  virtual bool remove(T value) {
    if (!find(value)) return false;
    bool has_next = false;
    T next_value = value;
    return remove_current(has_next, next_value);
  }

  virtual void append(T value) { _link(create_item(value), m_tail, nullptr); }
  virtual void insert(T value) { _link(create_item(value), nullptr, m_head); }

  virtual void move_current_to_end(bool to_front) {
    item_t* c = m_current;
    if (c == nullptr || (to_front ? c == m_head : c == m_tail)) return;
    _unlink(c);
    if (to_front) _link(c, nullptr, m_head); else _link(c, m_tail, nullptr);
  }

  virtual void move_before_current(T value) { _move(_find_item(value), true); }
  virtual void move_after_current(T value) { _move(_find_item(value), false); }

  virtual void insert_before_current(T value) {
    if (m_current != nullptr) _link(create_item(value), m_current->prev, m_current);
  }
  virtual void insert_after_current(T value) {
    if (m_current != nullptr) _link(create_item(value), m_current, m_current->next);
  }

  virtual bool set_current(T value) {
    if (m_current == nullptr) return false;
    m_current->value = value;
    return true;
  }

  item_t* head() const { return m_head; }
  item_t* current_item() const { return m_current; }

 protected:
  item_t* _find_item(const T& value) const {
    for (item_t* i = m_head; i != nullptr; i = i->next) {
      if (i->value == value) return i;
    }
    return nullptr;
  }

  // Moves item directly before (after) the current one, which stays current.
  void _move(item_t* item, bool before) {
    item_t* c = m_current;
    if (item == nullptr || c == nullptr || item == c || (before ? c->prev == item : c->next == item)) return;
    _unlink(item);
    if (before) _link(item, c->prev, c); else _link(item, c, c->next);
    m_current = c;
  }

  // Links item between prev and next (either may be null at the ends); it becomes current.
  void _link(item_t* item, item_t* prev, item_t* next) {
    item->prev = prev;
    item->next = next;
    if (prev != nullptr) prev->next = item; else m_head = item;
    if (next != nullptr) next->prev = item; else m_tail = item;
    m_current = item;
    ++m_count;
  }

  void _unlink(item_t* item) {
    if (item->prev != nullptr) item->prev->next = item->next; else m_head = item->next;
    if (item->next != nullptr) item->next->prev = item->prev; else m_tail = item->prev;
    item->next = item->prev = nullptr;
    --m_count;
  }

  void _delete_items() {
    for (item_t* i = m_head; i != nullptr;) {
      item_t* next = i->next;
      delete i;
      i = next;
    }
    m_head = m_tail = m_current = nullptr;
    m_count = 0;
  }

  item_t* m_head = nullptr;
  item_t* m_tail = nullptr;
  item_t* m_current = nullptr;
  size_t m_count = 0;
};

template <class K, class V>
struct value_ptr_list_item_ct : public value_list_item_ct<K> {
  explicit value_ptr_list_item_ct(const K& key) : value_list_item_ct<K>(key) {}
  V* ptr = nullptr;
};

// Values each with a pointer to a V; the Vs belong to the list's users until delete_all.
template <class K, class V>
class value_ptr_list_ct : public value_list_ct<K> {
 public:
  using base_t = value_list_ct<K>;
  using item_t = value_ptr_list_item_ct<K, V>;
  using base_t::append;
  using base_t::insert;
  using base_t::insert_before_current;
  using base_t::insert_after_current;

  typename base_t::item_t* create_item(K key) override { return new item_t(key); }

  virtual void delete_all() {
    while (this->m_head != nullptr) {
      item_t* item = _ptr_item(this->m_head);
      this->_unlink(item);
      V* ptr = item->ptr;
      delete item;
      if (ptr != nullptr) container_element_deleter_s<V>::destroy(ptr);
    }
    this->m_current = nullptr;
  }

  virtual bool remove_and_delete(K key) {
    V* ptr = find_ptr(key);
    if (ptr != nullptr) {
      _ptr_item(this->m_current)->ptr = nullptr;
      container_element_deleter_s<V>::destroy(ptr);
    }
    return this->remove(key);
  }

  virtual long long get_index_by_ptr(V* ptr) {
    long long index = 0;
    for (auto* i = this->m_head; i != nullptr; i = i->next, ++index) {
      if (_ptr_item(i)->ptr == ptr) {
        this->m_current = i;
        return index;
      }
    }
    return -1;
  }

  virtual V* current_ptr() { return this->m_current ? _ptr_item(this->m_current)->ptr : nullptr; }
  virtual V* first_ptr() {
    K key;
    return this->get_first(key) ? current_ptr() : nullptr;
  }
  virtual V* last_ptr() {
    K key;
    return this->get_last(key) ? current_ptr() : nullptr;
  }
  virtual V* next_ptr() {
    K key;
    return this->get_next(key, false) ? current_ptr() : nullptr;
  }
  virtual V* prev_ptr() {
    K key;
    return this->get_prev(key, false) ? current_ptr() : nullptr;
  }

  virtual V* find_by_ptr(V* ptr) {
    for (auto* i = this->m_head; i != nullptr; i = i->next) {
      if (_ptr_item(i)->ptr == ptr) {
        this->m_current = i;
        return ptr;
      }
    }
    return nullptr;
  }

  virtual V* set_current_ptr(V* ptr) {
    if (this->m_current == nullptr) return nullptr;
    V* previous = _ptr_item(this->m_current)->ptr;
    _ptr_item(this->m_current)->ptr = ptr;
    return previous;
  }

  // Removes the item holding ptr (or the current one) without destroying its V; returns the ptr
  // of the item current afterwards.
  virtual V* remove_ptr(V* ptr) {
    if (ptr != nullptr && find_by_ptr(ptr) == nullptr) return nullptr;
    bool has_next = false;
    K next_key;
    if (!this->remove_current(has_next, next_key)) return nullptr;
    return current_ptr();
  }

  virtual void move_before_current_by_ptr(V* ptr) { this->_move(_find_by_ptr(ptr), true); }
  virtual void move_after_current_by_ptr(V* ptr) { this->_move(_find_by_ptr(ptr), false); }

  virtual V* check_ptr_uniqueness() {
    for (auto* i = this->m_head; i != nullptr; i = i->next) {
      for (auto* j = i->next; j != nullptr; j = j->next) {
        if (_ptr_item(i)->ptr == _ptr_item(j)->ptr) return _ptr_item(i)->ptr;
      }
    }
    return nullptr;
  }

  virtual void append(K key, V* ptr) {
    append(key);
    _ptr_item(this->m_current)->ptr = ptr;
  }
  virtual void insert(K key, V* ptr) {
    insert(key);
    _ptr_item(this->m_current)->ptr = ptr;
  }
  virtual void insert_before_current(K key, V* ptr) {
    if (this->m_current == nullptr) return;
    insert_before_current(key);
    _ptr_item(this->m_current)->ptr = ptr;
  }
  virtual void insert_after_current(K key, V* ptr) {
    if (this->m_current == nullptr) return;
    insert_after_current(key);
    _ptr_item(this->m_current)->ptr = ptr;
  }

  virtual V* find_ptr(K key) { return this->find(key) ? current_ptr() : nullptr; }

  virtual bool find_key(V* ptr, K& key) {
    if (this->m_current != nullptr && _ptr_item(this->m_current)->ptr == ptr) {
      key = this->m_current->value;
      return true;
    }
    if (find_by_ptr(ptr) == nullptr) return false;
    key = this->m_current->value;
    return true;
  }

  virtual V* set_current_item(K key, V* ptr) {
    if (this->m_current == nullptr) return nullptr;
    V* previous = _ptr_item(this->m_current)->ptr;
    this->m_current->value = key;
    _ptr_item(this->m_current)->ptr = ptr;
    return previous;
  }

 private:
  static item_t* _ptr_item(typename base_t::item_t* item) { return static_cast<item_t*>(item); }
  typename base_t::item_t* _find_by_ptr(V* ptr) const {
    for (auto* i = this->m_head; i != nullptr; i = i->next) {
      if (_ptr_item(i)->ptr == ptr) return i;
    }
    return nullptr;
  }
};

#endif
