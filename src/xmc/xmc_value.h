// The value of a configuration setting: a text read as a number, a flag, an address or an item of
// an enumeration, saying why a text does not fit; and the list of texts behind a list setting.
#ifndef STATS_MNG_XMC_XMC_VALUE_H
#define STATS_MNG_XMC_XMC_VALUE_H

#include "utl/array.h"
#include "utl/utl_stream.h"
#include "utl/value.h"

#include <cstdint>

// The entries of a list setting; owns its strings.
class xmc_string_array_c : public string_array_c {
 public:
  xmc_string_array_c() = default;
  xmc_string_array_c(const xmc_string_array_c& other);
  xmc_string_array_c& operator=(const xmc_string_array_c& other);

  // Deletes every string, last first; the flag word becomes 1.
  void clear() override;
  // Clears this list, takes the other's flag word, then a copy of each of its strings in order.
  void copy_from(const xmc_string_array_c& other);
  // The entries joined by separator, in order.
  const char* join(utl_stream_c& out, const char* separator) const;

  uint32_t flags() const { return m_flags; }

 private:
  uint32_t m_flags = 0;
};

class xmc_value_c : public value_c {
 public:
  xmc_value_c() = default;
  explicit xmc_value_c(int32_t n);
  explicit xmc_value_c(uint64_t n);
  explicit xmc_value_c(const char* text);
  // Text, number, type, error flag, type name and a deep copy of the entries; the error text is
  // not copied and the lookup status starts at 0.
  xmc_value_c(const xmc_value_c& other);
  xmc_value_c& operator=(const xmc_value_c& other);

  // Deletes the entries, then makes the value that text.
  void set_text(const char* s) override;
  ~xmc_value_c() override;
  // Each conversion that fails appends its reason to the error text; one that succeeds empties it.
  bool as_bool() override;
  char as_char() override;
  short as_short() override;
  unsigned short as_unsigned_short() override;
  int as_int() override;
  // A text that is no number but a dotted IPv4 address reads as that address, first part most
  // significant.
  unsigned int as_unsigned_int() override;
  long as_long() override;
  unsigned long as_unsigned_long() override;
  int64_t as_int64() override;
  uint64_t as_uint64() override;
  // With entries: the entries joined by ", ", kept as the value's text.
  const char* as_string() override;
  void reset() override;

  // The position of the text among the items of one enumeration; when it is none, the
  // enumeration's item count, with the reason appended to the error text.
  uint32_t as_product();
  uint32_t as_application();
  uint32_t as_config_mode();
  uint32_t as_replication_mode();
  uint32_t as_bandwidth();
  uint32_t as_host_task();
  uint32_t as_schedule();
  uint32_t as_synchronization_type();
  uint32_t as_virtual_hard_disk_type();
  uint32_t as_virtual_platform_type();
  uint32_t as_ec2_ebs_volume_type();
  uint32_t as_azure_disk_type();
  uint32_t as_virtual_machine_nic_type();
  uint32_t as_secure_communication_level();

  // Equal texts; two absent texts are equal, one absent text is not. List values compare their
  // entries' joined text.
  virtual bool is_equal(xmc_value_c& other);

  // The entries of a list value (null for a single value).
  xmc_string_array_c* entries() const { return m_entries; }
  // The list's entries, created empty when missing.
  xmc_string_array_c& make_entries();
  // Appends one entry (the value becomes a list value).
  void add_entry(const char* s);

  const char* error_text() const { return m_error_text.c_str(); }
  utl_stream_c& error_stream() { return m_error_text; }
  int64_t lookup_status() const { return m_lookup_status; }
  void set_lookup_status(int64_t status) { m_lookup_status = status; }
  // The name of the value's type or enumeration (a static text), or null.
  const char* type_name() const { return m_type_name; }
  void set_type_name(const char* name) { m_type_name = name; }
  // A type name the value keeps a copy of (a list's entry type given as an object id, "5500"): at
  // most 23 bytes are kept.
  void set_type_name_copy(const char* name);
  // The position of the text in enumeration index, as the getters give it.
  uint32_t as_enum(uint32_t index);

 private:
  // The reason a conversion to the named type failed.
  void _append_reason(const char* type_name, bool too_big);
  // The number of a numeric slot: in [low, high] or 0 with the reason appended.
  int64_t _convert(int64_t low, int64_t high, const char* type_name, bool always_too_big);
  // The IPv4 fall-back of the unsigned slots.
  int64_t _convert_unsigned_or_address(const char* type_name);

  xmc_string_array_c* m_entries = nullptr;
  utl_stream_c m_error_text;
  int64_t m_lookup_status = 0;
  const char* m_type_name = nullptr;
  char m_type_copy[24] = {};  // what m_type_name points at after set_type_name_copy
};

#endif
