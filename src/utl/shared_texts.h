// A table of texts that many objects would otherwise each copy (the attribute and element names
// of a configuration): an object whose text equals an entry points at the entry instead.
#ifndef STATS_MNG_UTL_SHARED_TEXTS_H
#define STATS_MNG_UTL_SHARED_TEXTS_H

#include "utl/utl.h"

#include <cstddef>

class shared_texts_c {
 public:
  // The table must live as long as the process; it is set while the library loads, before the
  // objects that look into it are made from more than one thread.
  void set(const char* const* texts, size_t count) {
    m_texts = texts;
    m_count = texts == nullptr ? 0 : count;
    // Entries are found by their first byte: each byte leads to the first entry that begins with it,
    // each entry to the next with the same first byte (positions + 1; 0 ends a chain).
    for (unsigned char& first : m_first) first = 0;
    if (!_indexed()) return;
    for (size_t i = m_count; i > 0; --i) {
      const unsigned char byte = static_cast<unsigned char>(m_texts[i - 1][0]);
      m_next[i - 1] = m_first[byte];
      m_first[byte] = static_cast<unsigned char>(i);
    }
  }
  const char* const* get(size_t& count) const {
    count = m_count;
    return m_texts;
  }
  // The entry equal to text, or null.
  const char* find(const char* text) const {
    if (_indexed()) {
      for (unsigned char at = m_first[static_cast<unsigned char>(text[0])]; at != 0; at = m_next[at - 1]) {
        if (utl_n::same_text(m_texts[at - 1], text)) return m_texts[at - 1];
      }
      return nullptr;
    }
    for (size_t i = 0; i < m_count; ++i) {
      if (utl_n::same_text(m_texts[i], text)) return m_texts[i];
    }
    return nullptr;
  }
  // The entry equal to text (shared set), else a copy of text the caller frees with delete[].
  const char* share_or_copy(const char* text, bool& shared) const {
    const char* entry = find(text);
    shared = entry != nullptr;
    return shared ? entry : utl_n::str_copy(text);
  }

 private:
  static constexpr size_t k_most_indexed = 255;
  // Larger tables are searched in order.
  bool _indexed() const { return m_count <= k_most_indexed; }

  const char* const* m_texts = nullptr;
  size_t m_count = 0;
  unsigned char m_first[256] = {};
  unsigned char m_next[k_most_indexed] = {};
};

#endif
