// The doubly linked list of untyped pointers with a current position, on which the library's
// lists are built. The list owns its elements, never the data they point to.
#ifndef STATS_MNG_PLATFORM_THL_PTR_LIST_H
#define STATS_MNG_PLATFORM_THL_PTR_LIST_H

#include <cstddef>
#include <cstdint>

class bulk_arena_c;
class thl_crit_section_c;

class ptr_list_element_c {
 public:
  explicit ptr_list_element_c(void* data = nullptr) : data(data) {}
  virtual ~ptr_list_element_c() = default;

  ptr_list_element_c* next = nullptr;
  ptr_list_element_c* prev = nullptr;
  void* data;
};

// Orders two elements: negative, zero or positive.
typedef int (*ptr_list_compare_f)(const ptr_list_element_c* a, const ptr_list_element_c* b, void* context);
// True when the data is the one looked for.
typedef bool (*ptr_list_match_f)(const void* data, const void* context);

// Search directions of find_data with a comparison.
enum ptr_list_direction_e : int {
  PTR_LIST_FROM_FIRST = 0,     // the whole list, from the first element on
  PTR_LIST_AFTER_CURRENT = 1,  // forward from the element after the current one
  PTR_LIST_BEFORE_CURRENT = -1 // backward from the element before the current one
};

class ptr_list_c {
 public:
  // With true the list carries its own lock, which lock() and unlock() take and sorting holds.
  explicit ptr_list_c(bool with_lock = false);
  // A list whose elements are made in arena and which locks with shared_lock (not its own, never
  // deleted by it); both must outlive the list. For lists made and dropped together with many
  // others (the attributes of a parse tree). The arena is shared with those others: whoever adds
  // to such a list while another thread may add to one of them holds the lock.
  ptr_list_c(thl_crit_section_c& shared_lock, bulk_arena_c& arena)
      : m_lock(&shared_lock), m_arena(&arena), m_lock_shared(true) {}

  virtual void _sort_protection_enter();
  virtual void _sort_protection_leave();
  virtual ~ptr_list_c();
  // A new list with the same data in the same order, the same lock flag and list name.
  virtual ptr_list_c* copy();
  // Move the current position and return the data there; null when there is none.
  virtual void* first();
  virtual void* last();
  // With data, the element holding data becomes current first (null when none holds it).
  virtual void* next(const void* data = nullptr);
  virtual void* prev(const void* data = nullptr);
  virtual void* current();
  // Replaces the current element's data; false without a current element.
  virtual bool set_data(void* data);
  // Stable sort; the current element stays current.
  virtual void sort(ptr_list_compare_f compare, void* context);
  // Unlinks the current element (with data: the element holding data); the following element
  // becomes current and its data is returned.
  virtual void* remove_current(const void* data = nullptr);
  // The same, but the preceding element becomes current.
  virtual void* remove_current_move_back(const void* data = nullptr);
  // The element holding data becomes current; returns data, or null when none holds it.
  virtual void* find_data(const void* data);
  // The first element in the direction whose data matches becomes current; its data, or null.
  virtual void* find_data(ptr_list_match_f match, const void* context, int direction);
  // A new element at the end / the front; it becomes current.
  virtual bool append(void* data);
  virtual bool insert(void* data);
  // Moves the current element to the front or the end; it stays current.
  virtual bool move_current(bool to_front);
  // Moves the element holding data directly before / after the current one, which stays current.
  virtual bool move_before_current(const void* data);
  virtual bool move_after_current(const void* data);
  // A new element directly before / after the current one; it becomes current. Nothing without
  // a current element.
  virtual bool insert_before_current(void* data);
  virtual bool insert_after_current(void* data);
  // Removes every element (never the data).
  virtual void clear();
  virtual void lock();
  virtual void unlock();
  // The elements holding a and b trade places; false when either is missing.
  virtual bool replace_positions(const void* a, const void* b);

  // Link a ready element: at the end, at the front, before or after the current one. The
  // element becomes current; the list owns it from now on.
  // (Inline: a parse tree links an element per attribute this way.)
  void _append(ptr_list_element_c* element) {
    element->prev = m_last;
    element->next = nullptr;
    if (m_last != nullptr) m_last->next = element; else m_first = element;
    m_last = element;
    ++m_count;
    m_current = element;
  }
  void _insert(ptr_list_element_c* element);
  bool _insert_before_current(ptr_list_element_c* element);
  bool _insert_after_current(ptr_list_element_c* element);
  // Makes the element holding data current; null when none does.
  ptr_list_element_c* _update_current(const void* data);
  // Position of the first element holding data; -1 when none.
  int64_t get_index(const void* data) const;
  void set_list_name(const char* name) { m_name = name; }
  const char* list_name() const { return m_name; }
  uint64_t count() const { return m_count; }
  ptr_list_element_c* current_element() const { return m_current; }
  ptr_list_element_c* first_element() const { return m_first; }
  ptr_list_element_c* last_element() const { return m_last; }

 protected:
  ptr_list_element_c* _find_element(const void* data) const;
  ptr_list_element_c* _new_element(void* data);
  void _unlink(ptr_list_element_c* element);
  void _link_before(ptr_list_element_c* element, ptr_list_element_c* before);
  void _link_after(ptr_list_element_c* element, ptr_list_element_c* after);
  void _delete_all();

  ptr_list_element_c* m_first = nullptr;
  ptr_list_element_c* m_last = nullptr;
  ptr_list_element_c* m_current = nullptr;
  uint64_t m_count = 0;
  const char* m_name = nullptr;
  thl_crit_section_c* m_lock = nullptr;  // set when built with true
  bulk_arena_c* m_arena = nullptr;         // where new elements are made; null: the heap
  bool m_lock_shared = false;              // m_lock belongs to someone else

 private:
  ptr_list_c(const ptr_list_c&) = delete;
  ptr_list_c& operator=(const ptr_list_c&) = delete;
};

#endif
