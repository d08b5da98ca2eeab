// The growable, NUL-terminated byte string in which paths, attribute values and messages are
// built piece by piece. Text is bytes; nothing here knows about characters of several bytes.
#ifndef STATS_MNG_UTL_UTL_STREAM_H
#define STATS_MNG_UTL_UTL_STREAM_H

#include <cstddef>
#include <cstdint>

class utl_stream_c;

// The abstract output stream: an insertion operator for each basic type.
class zq_stream_c {
 public:
  virtual ~zq_stream_c() = default;
  virtual zq_stream_c& operator<<(unsigned long long value) = 0;
  virtual zq_stream_c& operator<<(long long value) = 0;
  virtual zq_stream_c& operator<<(bool value) = 0;
  virtual zq_stream_c& operator<<(double value) = 0;
  virtual zq_stream_c& operator<<(unsigned long value) = 0;
  virtual zq_stream_c& operator<<(unsigned int value) = 0;
  virtual zq_stream_c& operator<<(unsigned short value) = 0;
  virtual zq_stream_c& operator<<(long value) = 0;
  virtual zq_stream_c& operator<<(int value) = 0;
  virtual zq_stream_c& operator<<(short value) = 0;
  virtual zq_stream_c& operator<<(char value) = 0;
  virtual zq_stream_c& operator<<(const utl_stream_c& other) = 0;
  virtual zq_stream_c& operator<<(const wchar_t* text) = 0;
  virtual zq_stream_c& operator<<(const char* text) = 0;
};

class utl_stream_c : public zq_stream_c {
 public:
  utl_stream_c();
  // A buffer that takes memory only when something is first appended (a text that most owners
  // never fill: the text of a parse node).
  enum no_buffer_e { NO_BUFFER };
  explicit utl_stream_c(no_buffer_e) {}
  utl_stream_c(const utl_stream_c& other);
  utl_stream_c& operator=(const utl_stream_c& other);
  ~utl_stream_c() override;

  // Appending; the char value 1 empties the buffer instead.
  utl_stream_c& operator<<(unsigned long long value) override;
  utl_stream_c& operator<<(long long value) override;
  utl_stream_c& operator<<(bool value) override;
  utl_stream_c& operator<<(double value) override;
  utl_stream_c& operator<<(unsigned long value) override;
  utl_stream_c& operator<<(unsigned int value) override;
  utl_stream_c& operator<<(unsigned short value) override;
  utl_stream_c& operator<<(long value) override;
  utl_stream_c& operator<<(int value) override;
  utl_stream_c& operator<<(short value) override;
  utl_stream_c& operator<<(char value) override;
  utl_stream_c& operator<<(const utl_stream_c& other) override;
  utl_stream_c& operator<<(const wchar_t* text) override;
  utl_stream_c& operator<<(const char* text) override;

  // Equality with a text; a null or empty text equals exactly the empty buffer.
  virtual bool operator==(const utl_stream_c& other) const;
  virtual bool operator==(const wchar_t* text) const;
  virtual bool operator==(const char* text) const;

  // Removes a tail when the text ends with it (the value formatted as appending does).
  virtual bool remove_tail(unsigned long long value);
  virtual bool remove_tail(long long value);
  virtual bool remove_tail(bool value);
  virtual bool remove_tail(double value);
  virtual bool remove_tail(unsigned long value);
  virtual bool remove_tail(unsigned int value);
  virtual bool remove_tail(unsigned short value);
  virtual bool remove_tail(long value);
  virtual bool remove_tail(int value);
  virtual bool remove_tail(short value);
  virtual bool remove_tail(char value);
  virtual bool remove_tail(const utl_stream_c& other);
  virtual bool remove_tail(const wchar_t* text);
  virtual bool remove_tail(const char* text);

  // -1, 0 or 1; exact compares bytes, otherwise letters compare without case.
  virtual int compare(const char* text, bool exact) const;
  virtual int compare(const utl_stream_c& other, bool exact) const;
  virtual bool starts_with(const char* text, bool exact) const;
  virtual bool ends_with(const char* text, bool exact) const;
  virtual const char* c_str() const;

  // Makes room for n more bytes; false (text unchanged) when memory could not be had.
  bool _add_memory(uint64_t n);
  // Appends n bytes; false when memory could not be had.
  bool append(const char* data, size_t n);
  // Hands the text's memory (free it with std::free; null when there is none) and its length to
  // the caller; the buffer is left empty, without memory.
  char* release(uint64_t& length);
  // Appends n bytes that are not this buffer's own, then the byte end (a line and its line feed);
  // false when memory could not be had.
  bool append_then(const char* data, size_t n, char end);
  void trim();
  // The first occurrence of pattern, or null.
  const char* find(const char* pattern) const;
  // Replaces the first occurrence of what by with (null deletes it); false when what is absent.
  bool replace(const char* what, const char* with);

  uint64_t length() const { return m_length; }
  uint64_t capacity() const { return m_capacity; }
  bool has_allocation() const { return m_buffer != nullptr; }

  // The allocator behind the buffer (malloc and realloc), replaceable by tests.
  using realloc_f = void* (*)(void* old, size_t size);
  static realloc_f _set_reallocator(realloc_f reallocator);

 private:
  bool _remove_tail_bytes(const char* text, size_t n);

  char* m_buffer = nullptr;
  uint64_t m_length = 0;
  uint64_t m_capacity = 0;
};

#endif
