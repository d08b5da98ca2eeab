// A small typed value kept as text and, for numbers and booleans, as a 64-bit number; and the
// value with a name that XML attributes and configuration values are.
#ifndef STATS_MNG_UTL_VALUE_H
#define STATS_MNG_UTL_VALUE_H

#include <cstddef>
#include <cstdint>

class bulk_arena_c;

class value_c {
 public:
  enum type_e : uint32_t { UNDEFINED = 0, STRING = 1, SIGNED = 2, UNSIGNED_HIGH = 3, BOOLEAN = 4 };

  value_c() = default;
  explicit value_c(bool b);
  value_c(const value_c& other);
  value_c& operator=(const value_c& other);

  // Makes the value the text s (null: the empty text): type string, number 0, error cleared.
  virtual void set_text(const char* s);
  virtual ~value_c();
  virtual bool as_bool();
  virtual char as_char();
  virtual signed char as_signed_char();
  virtual short as_short();
  virtual unsigned short as_unsigned_short();
  virtual int as_int();
  virtual unsigned int as_unsigned_int();
  virtual long as_long();
  virtual unsigned long as_unsigned_long();
  virtual int64_t as_int64();
  virtual uint64_t as_uint64();
  virtual const char* as_string();
  virtual void reset();

  void set_signed(int64_t n);
  void set_unsigned(uint64_t n);
  void set_bool(bool b);
  size_t get_text_length() const;
  bool equals_text(const char* s);

  uint32_t type() const { return m_type; }
  bool error() const { return m_error != 0; }
  int64_t number() const { return m_number; }
  const char* text() const { return m_text; }
  size_t text_capacity() const { return m_capacity & ~k_lent_text; }
  // Texts up to this many bytes (with their end) live inside the value, without an allocation:
  // most values of a configuration are short ("True", "Text", "0", a label).
  static constexpr uint32_t k_inline_capacity = 16;

 protected:
  // The number as a signed 64-bit value for a read, parsing a text first; false when there is
  // none (type 0, or a text that is no integer).
  bool _number_for_read(int64_t& n);
  // The result of a numeric read: n when it lies in [low, high], else 0 with the error set.
  int64_t _in_range(int64_t low, int64_t high);
  void _print_number();
  // Copies s into the text buffer (null empties it); type, number and error stay as they are.
  void _store_text(const char* s);
  // The first text of a new value, s (length bytes), kept in arena when it does not fit inside:
  // the value does not own that room (the arena must outlive it), and a longer text later moves
  // to a buffer of its own.
  void _store_first_text(const char* s, size_t length, bulk_arena_c& arena);
  // The top bit of m_capacity marks a buffer the value does not own.
  static constexpr uint32_t k_lent_text = 0x80000000u;
  bool _owns_text_buffer() const { return m_text != m_inline && (m_capacity & k_lent_text) == 0; }

  // Packed so that a labelled value takes 56 bytes (thousands of them make a configuration).
  char* m_text = nullptr;  // null, m_inline, an allocated buffer or an arena's (lent) room
  int64_t m_number = 0;
  uint32_t m_capacity = 0;
  uint8_t m_type = UNDEFINED;
  uint8_t m_error = 1;

 private:
  char m_inline[k_inline_capacity];
};

class labeled_value_c : public value_c {
 public:
  labeled_value_c(const char* label, char value);
  labeled_value_c(const char* label, short value);
  labeled_value_c(const char* label, int value);
  labeled_value_c(const char* label, long long value);
  labeled_value_c(const char* label, unsigned short value);
  labeled_value_c(const char* label, unsigned int value);
  labeled_value_c(const char* label, unsigned long long value);
  labeled_value_c(const char* label, const char* value);
  // A text value whose text, when longer than a value keeps inside, is kept in arena, which must
  // outlive the value (a configuration's thousands of attributes read from its template).
  labeled_value_c(const char* label, const char* value, bulk_arena_c& arena);
  labeled_value_c(const labeled_value_c& other);
  labeled_value_c& operator=(const labeled_value_c& other);
  ~labeled_value_c() override;

  bool as_bool() override;
  const char* as_string() override;

  const char* label() const { return m_label; }
  // Whether the label is an entry of the shared table (see share_labels): with the table fixed,
  // two labels so shared are equal exactly when they are one pointer, and a shared label never
  // equals one that is not.
  bool label_shared() const { return m_label_shared; }
  void set_label(const char* label);

  // Labels that thousands of values carry (the attribute names of a configuration): a value whose
  // label equals one of these points at the table's text instead of a copy of its own. The table
  // must live as long as the process and is set once, while the library loads.
  static void share_labels(const char* const* labels, size_t count);
  static const char* const* shared_labels(size_t& count);

  // The same object; or equal labels and then equal texts (both typed) or equal types.
  static bool is_equal(const labeled_value_c& a, const labeled_value_c& b);

 private:
  // The flag first: it fits in the space the value leaves after its own members.
  bool m_label_shared = false;
  const char* m_label = nullptr;
};

#endif
