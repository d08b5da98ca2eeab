// Growable arrays of pointers, typed pointer lists, and the array of owned strings.
#ifndef STATS_MNG_UTL_ARRAY_H
#define STATS_MNG_UTL_ARRAY_H

#include "platform/thl/ptr_list.h"
#include "platform/trc/zqtr.h"

#include <cstddef>
#include <cstring>

// How the containers destroy an element they own: strings with delete[], the rest with delete
// (through the virtual destructor where the type has one).
template <class T>
struct container_element_deleter_s {
  static void destroy(T* element) { delete element; }
};
template <>
struct container_element_deleter_s<char> {
  static void destroy(char* element) { delete[] element; }
};

// Pointers to T, indexed from 0. It owns its elements only where an operation says so.
template <class T>
class array_ct {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  array_ct() = default;
  array_ct(const array_ct&) = delete;
  array_ct& operator=(const array_ct&) = delete;

  virtual ~array_ct() { _free_data(); }

  virtual void reset() {
    _free_data();
    m_data = nullptr;
    m_capacity = 0;
    m_last = npos;
  }

  // Destroys every element, last first (each slot is cleared before its element goes).
  virtual void delete_all() {
    for (size_t i = count(); i > 0; --i) {
      T* element = m_data[i - 1];
      m_data[i - 1] = nullptr;
      if (element != nullptr) container_element_deleter_s<T>::destroy(element);
    }
    reset();
  }

  virtual size_t count() const { return m_last == npos ? 0 : m_last + 1; }

  virtual T* find(T* item) const { return index_of(item) >= 0 ? item : nullptr; }

  virtual long long index_of(T* item) const {
    for (size_t i = 0; i < count(); ++i) {
      if (m_data[i] == item) return static_cast<long long>(i);
    }
    return -1;
  }

  // Capacities run 5, 10, ..., 50, then grow by a tenth: 55, 60, 66, 72 ...
  virtual T* append(T* item) {
    if (m_last == npos) {
      // Lent room is taken as it is, however small.
      if (_room() < 5 && (m_capacity & k_lent) == 0) _resize(5);
      std::memset(static_cast<void*>(m_data), 0, _room() * sizeof(T*));
      m_last = 0;
    } else {
      const size_t room = _room();
      if (room <= m_last + 1) _resize(room < 50 ? room + 5 : room + room / 10);
      ++m_last;
    }
    m_data[m_last] = item;
    return item;
  }

  virtual T* insert(T* item, size_t index) {
    if (index == npos) return nullptr;
    const size_t old_count = count();
    append(item);
    if (index < old_count) {
      std::memmove(static_cast<void*>(m_data + index + 1), m_data + index, (old_count - index) * sizeof(T*));
      m_data[index] = item;
    }
    return item;
  }

  virtual T* insert_array(const array_ct<T>& other, size_t index) {
    if (&other == this || index == npos || other.count() == 0) return nullptr;
    T* result = other.m_data[0];
    const size_t n = other.count();
    const size_t old_count = count();
    _resize(old_count + n);
    if (m_last != npos && index <= m_last) {
      std::memmove(static_cast<void*>(m_data + index + n), m_data + index, (old_count - index) * sizeof(T*));
      std::memcpy(static_cast<void*>(m_data + index), other.m_data, n * sizeof(T*));
      m_last += n;
    } else {
      for (size_t i = 0; i < n; ++i) append(other.m_data[i]);
    }
    return result;
  }

  virtual bool is_empty() const { return count() == 0; }

  virtual size_t count_of(T* item) const {
    size_t n = 0;
    for (size_t i = 0; i < count(); ++i) n += m_data[i] == item ? 1 : 0;
    return n;
  }

  virtual bool delete_at(size_t index) {
    T* element = remove_at(index);
    if (element == nullptr) return false;
    container_element_deleter_s<T>::destroy(element);
    return true;
  }

  // Takes out the slots first..last_index; returns the pointer that stood at first.
  virtual T* remove_range(size_t first, size_t last_index) {
    if (m_last == npos || first > last_index || last_index > m_last) return nullptr;
    T* result = m_data[first];
    const size_t removed = last_index - first + 1;
    if (last_index == m_last) {
      for (size_t i = first; i <= m_last; ++i) m_data[i] = nullptr;
      m_last = first == 0 ? npos : first - 1;
    } else {
      std::memmove(static_cast<void*>(m_data + first), m_data + last_index + 1, (m_last - last_index) * sizeof(T*));
      for (size_t i = m_last + 1 - removed; i <= m_last; ++i) m_data[i] = nullptr;
      m_last -= removed;
    }
    return result;
  }

  virtual T* remove(T* item) {
    long long index = index_of(item);
    return index < 0 ? nullptr : remove_at(static_cast<size_t>(index));
  }

  virtual T* remove_at(size_t index) {
    if (m_last == npos || index > m_last) return nullptr;
    T* result = m_data[index];
    std::memmove(static_cast<void*>(m_data + index), m_data + index + 1, (m_last - index) * sizeof(T*));
    m_data[m_last] = nullptr;
    m_last = m_last == 0 ? npos : m_last - 1;
    return result;
  }

  virtual bool swap(size_t i, size_t j) {
    if (m_last == npos || i > m_last || j > m_last) return false;
    T* t = m_data[i];
    m_data[i] = m_data[j];
    m_data[j] = t;
    return true;
  }

  virtual T* set_at(size_t index, T* item) {
    if (m_last == npos || index > m_last) return nullptr;
    T* previous = m_data[index];
    m_data[index] = item;
    return previous;
  }

  T* at(size_t index) const {
    if (m_last != npos && index <= m_last) return m_data[index];
    ZQTR_SCOPE(tr, "\"array_ct<TP>::at\"", "common1/utl/container_temp");
    tr.print(4, __LINE__, "array_ct(last = %ld), received index %ld\n", static_cast<long>(m_last),
             static_cast<long>(index));
    return nullptr;
  }

  size_t capacity() const { return _room(); }
  size_t last() const { return m_last; }
  // The slots, count() of them (null when there is no room yet).
  T* const* data() const { return m_data; }
  // Room for exactly n pointers (never fewer than held).
  void reserve_exactly(size_t n) { _resize(n < count() ? count() : n); }
  // Room for n pointers in storage the array does not own (an arena's, which must outlive the
  // array): used until it is full, never freed; the array moves to room of its own when it grows.
  // Only an array without room of its own takes it.
  bool use_lent_room(T** storage, size_t n) {
    if (m_data != nullptr || storage == nullptr || n == 0 || n >= k_lent) return false;
    m_data = storage;
    m_capacity = n | k_lent;
    return true;
  }

 private:
  // The top bit of m_capacity marks lent room.
  static constexpr size_t k_lent = ~(~size_t{0} >> 1);
  size_t _room() const { return m_capacity & ~k_lent; }
  void _free_data() {
    if ((m_capacity & k_lent) == 0) delete[] m_data;
  }

  void _resize(size_t capacity) {
    T** data = new T*[capacity];
    std::memset(static_cast<void*>(data), 0, capacity * sizeof(T*));
    if (m_data != nullptr) std::memcpy(static_cast<void*>(data), m_data, count() * sizeof(T*));
    _free_data();
    m_data = data;
    m_capacity = capacity;
  }

  size_t m_capacity = 0;
  size_t m_last = npos;
  T** m_data = nullptr;
};

// An array of owned strings.
class string_array_c {
 public:
  string_array_c();
  string_array_c(const string_array_c& other);
  string_array_c& operator=(const string_array_c&) = delete;

  virtual ~string_array_c();
  virtual void clear();
  virtual const char* find(const char* s) const;
  virtual long long index_of(const char* s) const;
  virtual const char* add(const char* s);
  virtual void adopt(char* s);
  // The caller owns the string taken.
  virtual char* take_at(size_t index);
  virtual char* take(const char* s);
  virtual bool delete_at(size_t index);
  virtual bool erase(const char* s);
  virtual bool is_empty() const;
  virtual size_t count_of(const char* s) const;

  size_t count() const { return m_strings->count(); }
  const char* at(size_t index) const { return m_strings->at(index); }
  const array_ct<char>& strings() const { return *m_strings; }

 private:
  array_ct<char>* m_strings;
};

// A typed owner of a pointer list; the list owns its elements only through delete_all.
template <class T>
class ptr_list_ct {
 public:
  explicit ptr_list_ct(bool with_lock = false) : m_list(new ptr_list_c(with_lock)) {}
  // Over a list made elsewhere (in an arena); the wrapper deletes it as its own.
  explicit ptr_list_ct(ptr_list_c* list) : m_list(list) {}
  ptr_list_ct(const ptr_list_ct&) = delete;
  ptr_list_ct& operator=(const ptr_list_ct&) = delete;

  virtual ~ptr_list_ct() { delete m_list; }
  virtual void clear() { m_list->clear(); }
  virtual void delete_all() {
    for (T* item = static_cast<T*>(m_list->first()); item != nullptr; item = static_cast<T*>(m_list->first())) {
      m_list->remove_current();
      container_element_deleter_s<T>::destroy(item);
    }
    m_list->clear();
  }
  virtual uint64_t count() const { return m_list->count(); }
  virtual int64_t get_index(const T* item) const { return m_list->get_index(item); }
  virtual T* first() { return static_cast<T*>(m_list->first()); }
  virtual T* last() { return static_cast<T*>(m_list->last()); }
  virtual T* next(const T* item = nullptr) { return static_cast<T*>(m_list->next(item)); }
  virtual T* prev(const T* item = nullptr) { return static_cast<T*>(m_list->prev(item)); }
  virtual T* current() { return static_cast<T*>(m_list->current()); }
  virtual bool set_data(T* item) { return m_list->set_data(item); }
  virtual void sort(ptr_list_compare_f compare, void* context) { m_list->sort(compare, context); }
  virtual T* remove_current(const T* item = nullptr) { return static_cast<T*>(m_list->remove_current(item)); }
  virtual T* find_data(const T* item) { return static_cast<T*>(m_list->find_data(item)); }
  virtual T* find_data(ptr_list_match_f match, const void* context, int direction) {
    return static_cast<T*>(m_list->find_data(match, context, direction));
  }
  virtual bool append(T* item) { return m_list->append(item); }
  virtual bool insert(T* item) { return m_list->insert(item); }
  virtual bool move_current(bool to_front) { return m_list->move_current(to_front); }
  virtual bool move_before_current(const T* item) { return m_list->move_before_current(item); }
  virtual bool move_after_current(const T* item) { return m_list->move_after_current(item); }
  virtual bool insert_before_current(T* item) { return m_list->insert_before_current(item); }
  virtual bool insert_after_current(T* item) { return m_list->insert_after_current(item); }

  ptr_list_c* list() const { return m_list; }

 protected:
  ptr_list_c* m_list;
};

#endif
