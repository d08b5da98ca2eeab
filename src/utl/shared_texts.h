// A table of texts that many objects would otherwise each copy (the attribute and element names
// of a configuration): an object whose text equals an entry points at the entry instead.
#ifndef STATS_MNG_UTL_SHARED_TEXTS_H
#define STATS_MNG_UTL_SHARED_TEXTS_H

#include <cstddef>
#include <cstring>

class shared_texts_c {
 public:
  // The table must live as long as the process; it is set while the library loads, before the
  // objects that look into it are made from more than one thread.
  void set(const char* const* texts, size_t count) {
    m_texts = texts;
    m_count = texts == nullptr ? 0 : count;
  }
  const char* const* get(size_t& count) const {
    count = m_count;
    return m_texts;
  }
  // The entry equal to text, or null.
  const char* find(const char* text) const {
    for (size_t i = 0; i < m_count; ++i) {
      const char* entry = m_texts[i];
      if (entry[0] == text[0] && std::strcmp(entry, text) == 0) return entry;
    }
    return nullptr;
  }

 private:
  const char* const* m_texts = nullptr;
  size_t m_count = 0;
};

#endif
