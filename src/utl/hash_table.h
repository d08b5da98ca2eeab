// A hash table of named lists with a fixed number of buckets, keyed by the element name. The
// message store is one. It never grows or rehashes; keys need not be unique.
#ifndef STATS_MNG_UTL_HASH_TABLE_H
#define STATS_MNG_UTL_HASH_TABLE_H

#include "platform/thl/thl_locks.h"
#include "platform/trc/zqtr.h"
#include "utl/container.h"
#include "utl/utl.h"

#include <cctype>
#include <cstdint>
#include <cstring>

template <class L, class K>
class utl_hash_base_ct;

template <>
class utl_hash_base_ct<ptr_string_list_c, const char*> {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);
  using travel_f = bool (*)(void* data, void* arg);

  // A modulus below 10 is raised to 10; with_lock gives the table a lock for its users.
  utl_hash_base_ct(size_t modulus, bool case_sensitive, bool with_lock = false)
      : m_lock(with_lock ? new thl_crit_section_c(false) : nullptr),
        m_case_sensitive(case_sensitive),
        m_modulus(modulus < 10 ? 10 : modulus) {
    ZQTR_SCOPE(tr, "ptr_string_list_c", "common1/utl/container_temp");
    m_buckets = new ptr_string_list_c*[m_modulus + 1];
    for (size_t i = 0; i <= m_modulus; ++i) m_buckets[i] = new ptr_string_list_c(false);
  }

  virtual ~utl_hash_base_ct() {
    for (size_t i = 0; i <= m_modulus; ++i) delete m_buckets[i];
    delete[] m_buckets;
    delete m_lock;
  }

  utl_hash_base_ct(const utl_hash_base_ct&) = delete;
  utl_hash_base_ct& operator=(const utl_hash_base_ct&) = delete;

  virtual void clear() {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::clear", "common1/utl/container_temp");
    for (size_t i = 0; i <= m_modulus; ++i) m_buckets[i]->clear();
    m_count = 0;
    m_first_used = m_last_used = m_current = npos;
  }

  virtual const char* get_current_name(const void* data = nullptr) {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::get_current_name", "common1/utl/container_temp");
    if (data != nullptr) _update_current(data);
    if (m_count == 0 || m_current == npos) return nullptr;
    return m_buckets[m_current]->get_current_name();
  }

  virtual void* current() {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::current", "common1/utl/container_temp");
    if (m_count == 0 || m_current == npos) return nullptr;
    return m_buckets[m_current]->current();
  }

  virtual void* first() {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::first", "common1/utl/container_temp");
    m_current = m_first_used;
    return m_current == npos ? nullptr : m_buckets[m_current]->first();
  }

  virtual void* last() {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::last", "common1/utl/container_temp");
    m_current = m_last_used;
    return m_current == npos ? nullptr : m_buckets[m_current]->last();
  }

  virtual void* next(const void* data = nullptr) {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::next", "common1/utl/container_temp");
    if (m_count == 0) return nullptr;
    if (data != nullptr) _update_current(data);
    if (m_current == npos) return nullptr;
    if (void* d = m_buckets[m_current]->next()) return d;
    for (size_t b = m_current + 1; b <= m_last_used; ++b) {
      if (void* d = m_buckets[b]->first()) {
        m_current = b;
        return d;
      }
    }
    m_current = npos;
    return nullptr;
  }

  virtual void* prev(const void* data = nullptr) {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::prev", "common1/utl/container_temp");
    if (m_count == 0) return nullptr;
    if (data != nullptr) _update_current(data);
    if (m_current == npos) return nullptr;
    if (void* d = m_buckets[m_current]->prev()) return d;
    for (size_t b = m_current; b > m_first_used;) {
      --b;
      if (void* d = m_buckets[b]->last()) {
        m_current = b;
        return d;
      }
    }
    m_current = npos;
    return nullptr;
  }

  virtual void* remove_current(const void* data = nullptr) {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::remove_current", "common1/utl/container_temp");
    if (data != nullptr) _update_current(data);
    if (m_current == npos || m_buckets[m_current]->current_element() == nullptr) return nullptr;
    void* d = m_buckets[m_current]->remove_current();
    --m_count;
    if (d != nullptr) return d;
    if (m_count == 0) {
      m_first_used = m_last_used = m_current = npos;
      return nullptr;
    }
    if (m_current > m_first_used && m_current < m_last_used) {
      size_t b = m_current + 1;
      while (b < m_last_used && m_buckets[b]->count() == 0) ++b;
      m_current = b;
      return m_buckets[b]->first();
    }
    if (m_current == m_first_used) {
      while (m_first_used < m_last_used && m_buckets[m_first_used]->count() == 0) ++m_first_used;
      m_current = m_first_used;
      return m_buckets[m_current]->first();
    }
    // The last used bucket: nothing follows.
    m_current = npos;
    while (m_last_used > m_first_used && m_buckets[m_last_used]->count() == 0) --m_last_used;
    return nullptr;
  }

  // By data pointer.
  virtual void* find(const void* data) {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::find", "common1/utl/container_temp");
    if (data == nullptr || m_count == 0) return nullptr;
    if (m_current != npos && m_buckets[m_current]->current() == data) return const_cast<void*>(data);
    for (size_t b = m_first_used; b <= m_last_used; ++b) {
      if (m_buckets[b]->find_data(data) != nullptr) {
        m_current = b;
        return const_cast<void*>(data);
      }
    }
    m_current = npos;
    return nullptr;
  }

  // By key.
  virtual void* find(const char* key) {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::find", "common1/utl/container_temp");
    if (m_count == 0) return nullptr;
    const size_t b = _get_key(key);
    if (b < m_first_used || b > m_last_used) {
      m_current = npos;
      return nullptr;
    }
    void* d = m_buckets[b]->find(key, m_case_sensitive);
    m_current = d != nullptr ? b : npos;
    return d;
  }

  virtual const char* check_names_uniqueness() {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::check_names_uniqueness", "common1/utl/container_temp");
    if (m_count == 0) return nullptr;
    for (size_t b = m_first_used; b <= m_last_used && b < m_modulus; ++b) {
      if (const char* duplicate = m_buckets[b]->check_names_uniqueness()) return duplicate;
    }
    return nullptr;
  }

  // The first data under key for which callback returns true.
  virtual void* travel_by(const char* key, travel_f callback, void* arg) {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::travel_by", "common1/utl/container_temp");
    if (m_count == 0 || callback == nullptr) return nullptr;
    const size_t b = _get_key(key);
    if (b < m_first_used || b > m_last_used) return nullptr;
    for (ptr_list_element_c* e = m_buckets[b]->first_element(); e != nullptr; e = e->next) {
      const char* name = static_cast<ptr_string_list_element_c*>(e)->name;
      bool match = key == nullptr ? name == nullptr
                                  : name != nullptr && (m_case_sensitive ? std::strcmp(name, key) == 0 : utl_n::ascii_compare_nocase(name, key) == 0);
      if (match && callback(e->data, arg)) return e->data;
    }
    return nullptr;
  }

  virtual void append(const char* key, void* data) {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::append", "common1/utl/container_temp");
    const size_t b = _get_key(key);
    m_buckets[b]->append(key, data);
    _update_encrease(b);
  }

  virtual void insert(const char* key, void* data) {
    ZQTR_SCOPE(tr, "utl_hash_base_ct::insert", "common1/utl/container_temp");
    const size_t b = _get_key(key);
    m_buckets[b]->insert(key, data);
    _update_encrease(b);
  }

  // The bucket of a key: the null-key bucket for null, else the sum of the characters (signed
  // 8-bit, lowered when case does not count) plus the key's length, modulo the modulus.
  size_t _get_key(const char* key) const { return key == nullptr ? m_modulus : _calculate_convolution(key); }

  size_t _calculate_convolution(const char* key) const {
    int64_t sum = 0;
    size_t length = 0;
    for (const char* p = key; *p != '\0'; ++p, ++length) {
      unsigned char byte = static_cast<unsigned char>(*p);
      if (!m_case_sensitive) byte = static_cast<unsigned char>(std::tolower(byte));
      sum += static_cast<signed char>(byte);
    }
    return static_cast<size_t>((static_cast<uint64_t>(sum) + length) % m_modulus);
  }

  thl_crit_section_c* lock_object() const { return m_lock; }
  bool case_sensitive() const { return m_case_sensitive; }
  size_t count() const { return m_count; }
  size_t modulus() const { return m_modulus; }
  size_t first_used() const { return m_first_used; }
  size_t last_used() const { return m_last_used; }
  size_t current_bucket() const { return m_current; }
  ptr_string_list_c* bucket(size_t b) const { return b <= m_modulus ? m_buckets[b] : nullptr; }

 private:
  void _update_encrease(size_t b) {
    m_current = b;
    if (m_count == 0) {
      m_first_used = m_last_used = b;
    } else {
      if (b < m_first_used) m_first_used = b;
      if (b > m_last_used) m_last_used = b;
    }
    ++m_count;
  }

  void _update_current(const void* data) {
    if (data == nullptr) return;
    if (m_current != npos && m_buckets[m_current]->current() == data) return;
    find(data);
  }

  thl_crit_section_c* m_lock;
  bool m_case_sensitive;
  size_t m_count = 0;
  size_t m_modulus;
  ptr_string_list_c** m_buckets = nullptr;
  size_t m_first_used = npos;
  size_t m_last_used = npos;
  size_t m_current = npos;
};

#endif
