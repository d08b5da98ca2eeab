#include "platform/trc/zqtr_format.h"

#include <cstdio>
#include <cstring>

namespace zqtr_format_n {

namespace {

// Appends to buffer while it fits, and to heap from the first byte that does not.
class sink_c {
 public:
  sink_c(char* buffer, size_t capacity, std::string& heap) : m_buffer(buffer), m_capacity(capacity), m_heap(heap) {}
  void put(const char* text, size_t length) {
    if (!m_on_heap && m_used + length < m_capacity) {
      std::memcpy(m_buffer + m_used, text, length);
      m_used += length;
      return;
    }
    if (!m_on_heap) {
      m_heap.assign(m_buffer, m_used);
      m_on_heap = true;
    }
    m_heap.append(text, length);
  }
  const char* finish() {
    if (m_on_heap) return m_heap.c_str();
    m_buffer[m_used] = '\0';
    return m_buffer;
  }

 private:
  char* m_buffer;
  size_t m_capacity;
  std::string& m_heap;
  size_t m_used = 0;
  bool m_on_heap = false;
};

}  // namespace

const char* map_format(const char* format, char* buffer, size_t capacity, std::string& heap) {
  if (format == nullptr || std::strstr(format, "I") == nullptr || capacity == 0) return format;
  sink_c out(buffer, capacity, heap);
  bool changed = false;
  const char* p = format;
  while (*p != '\0') {
    if (*p != '%') {
      const char* next = std::strchr(p, '%');
      size_t n = next ? static_cast<size_t>(next - p) : std::strlen(p);
      out.put(p, n);
      p += n;
      continue;
    }
    // A conversion: '%' flags width precision, then the length modifier.
    const char* start = p++;
    if (*p == '%') {
      out.put("%%", 2);
      ++p;
      continue;
    }
    while (*p != '\0' && std::strchr("-+ #0123456789.*'", *p) != nullptr) ++p;
    out.put(start, static_cast<size_t>(p - start));
    if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
      out.put("ll", 2);
      p += 3;
      changed = true;
    } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
      p += 3;
      changed = true;
    }
  }
  const char* result = out.finish();
  return changed ? result : format;
}

bool vformat(std::string& text, const char* format, va_list args) {
  text.clear();
  if (format == nullptr) return false;
  char mapped_buffer[256];
  std::string mapped_heap;
  const char* mapped = map_format(format, mapped_buffer, sizeof mapped_buffer, mapped_heap);

  char small[512];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, mapped, copy);
  va_end(copy);
  if (n < 0) {
    // A value the C library cannot render (wide text outside its character set): the message is
    // kept with its format rather than lost.
    text = "(unformatted) ";
    text += format;
    return false;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    text.assign(small, static_cast<size_t>(n));
    return true;
  }
  text.resize(static_cast<size_t>(n));
  va_copy(copy, args);
  std::vsnprintf(&text[0], static_cast<size_t>(n) + 1, mapped, copy);
  va_end(copy);
  return true;
}

std::string format(const char* format, ...) {
  std::string text;
  va_list args;
  va_start(args, format);
  vformat(text, format, args);
  va_end(args);
  return text;
}

}  // namespace zqtr_format_n
