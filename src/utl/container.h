// Lists of named elements: ptr_string_list_c (the pointer list whose elements carry a name) and
// string_list_c (a plain list of strings on it).
#ifndef STATS_MNG_UTL_CONTAINER_H
#define STATS_MNG_UTL_CONTAINER_H

#include "platform/thl/ptr_list.h"

#include <cstdint>
#include <cstdio>

class ptr_string_list_element_c : public ptr_list_element_c {
 public:
  explicit ptr_string_list_element_c(void* data = nullptr) : ptr_list_element_c(data) {}
  ~ptr_string_list_element_c() override;
  // Null frees the name; a name no longer than the last one reuses its buffer.
  void _set_name(const char* name, bool round);

  char* name = nullptr;
  size_t name_length = 0;
};

class ptr_string_list_c : public ptr_list_c {
 public:
  explicit ptr_string_list_c(bool with_lock = false);
  ~ptr_string_list_c() override;

  using ptr_list_c::find_data;
  using ptr_list_c::move_before_current;
  using ptr_list_c::move_after_current;
  using ptr_list_c::insert_before_current;
  using ptr_list_c::insert_after_current;
  using ptr_list_c::append;
  using ptr_list_c::insert;
  using ptr_list_c::get_index;

  ptr_list_c* copy() override;
  bool append(void* data) override;
  bool insert(void* data) override;
  bool move_before_current(const void* data) override;
  bool move_after_current(const void* data) override;
  bool insert_before_current(void* data) override;
  bool insert_after_current(void* data) override;

  // With data, the element holding it becomes current first.
  virtual const char* get_current_name(const void* data = nullptr);
  virtual void set_name(const char* name, const void* data = nullptr);
  virtual bool check_all_names_presence();
  // The first name that occurs again later in the list; null when none.
  virtual const char* check_names_uniqueness();
  // Position of the first element with that name (null: the first unnamed one); it becomes
  // current. -1 when none.
  virtual int64_t get_index(const char* name);
  // Orders 0..2 ascending (unnamed last), 3..5 descending (unnamed first); 0 and 3 by bytes, 1 and
  // 4 ignoring case, 2 and 5 ignoring case then by bytes. Other orders do nothing.
  virtual void sort_by_names(unsigned order);
  virtual bool is_sorted_by_names(unsigned order);
  // The data of the element with that name; the current element is tried first.
  virtual void* find(const char* name, bool case_sensitive);
  // The same search without moving the current position: safe for any number of threads reading
  // a list that nobody changes (the code tables built at load).
  void* lookup(const char* name, bool case_sensitive) const;
  virtual bool append(const char* name, void* data);
  virtual bool insert(const char* name, void* data);
  virtual bool move_before_current(const char* name);
  virtual bool move_after_current(const char* name);
  virtual bool insert_before_current(const char* name, void* data);
  virtual bool insert_after_current(const char* name, void* data);
  // Printing to standard error: every name with its position; returns the element count.
  virtual int64_t print_names();
  // These print only in a console application.
  virtual void print_curr_name(const void* data = nullptr);
  virtual void print_next_name(const void* data = nullptr);
  virtual void print_prev_name(const void* data = nullptr);

  // Where the print operations write (standard error unless a test says otherwise).
  static FILE* _set_print_stream(FILE* stream);

 protected:
  ptr_string_list_element_c* _named(ptr_list_element_c* element) const {
    return static_cast<ptr_string_list_element_c*>(element);
  }
  ptr_string_list_element_c* _new_element(const char* name, void* data) const;
  bool _move_named(const char* name, bool before);

  bool m_round_names = false;
};

// A plain list of strings: only the names matter (every data pointer is the constant 1).
class string_list_c : private ptr_string_list_c {
 public:
  explicit string_list_c(bool with_lock = false) : ptr_string_list_c(with_lock) {}
  ~string_list_c() override;

  using ptr_string_list_c::clear;
  using ptr_string_list_c::lock;
  using ptr_string_list_c::unlock;
  using ptr_string_list_c::check_names_uniqueness;

  virtual size_t count() const;
  // The stored name of the element found (it becomes current); null when none.
  virtual const char* find_name(const char* name, bool case_sensitive);
  virtual const char* first_name();
  virtual const char* last_name();
  virtual const char* next_name();
  virtual const char* prev_name();
  // Removes a string (the current one without a name); returns the name now current, or null.
  virtual const char* remove_name(const char* name);
  virtual void insert_name(const char* name);
  virtual void append_name(const char* name);
};

#endif
