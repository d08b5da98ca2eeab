#include "xmc/xmc_value.h"

#include "utl/utl.h"
#include "xmc/xmc_enum.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

void empty(utl_stream_c& s) { s << '\x01'; }

}  // namespace

xmc_string_array_c::xmc_string_array_c(const xmc_string_array_c& other) : string_array_c() { copy_from(other); }

xmc_string_array_c& xmc_string_array_c::operator=(const xmc_string_array_c& other) {
  if (this != &other) copy_from(other);
  return *this;
}

void xmc_string_array_c::clear() {
  while (count() > 0) delete_at(count() - 1);
  m_flags = 1;
}

void xmc_string_array_c::copy_from(const xmc_string_array_c& other) {
  if (this == &other) return;
  clear();
  m_flags = other.m_flags;
  for (size_t i = 0; i < other.count(); ++i) {
    if (other.at(i) != nullptr) add(other.at(i));
  }
}

const char* xmc_string_array_c::join(utl_stream_c& out, const char* separator) const {
  for (size_t i = 0; i < count(); ++i) {
    if (i > 0) out << separator;
    out << (at(i) == nullptr ? "" : at(i));
  }
  return out.c_str();
}

xmc_value_c::xmc_value_c(int32_t n) { set_signed(n); }

xmc_value_c::xmc_value_c(uint64_t n) { set_unsigned(n); }

xmc_value_c::xmc_value_c(const char* text) { value_c::set_text(text); }

xmc_value_c::xmc_value_c(const xmc_value_c& other) : value_c(other), m_type_name(other.m_type_name) {
  if (other.m_entries != nullptr) m_entries = new xmc_string_array_c(*other.m_entries);
  if (other.m_type_name == other.m_type_copy) set_type_name_copy(other.m_type_copy);
}

void xmc_value_c::set_type_name_copy(const char* name) {
  if (name == nullptr) {
    m_type_name = nullptr;
    return;
  }
  std::snprintf(m_type_copy, sizeof m_type_copy, "%s", name);
  m_type_name = m_type_copy;
}

xmc_value_c& xmc_value_c::operator=(const xmc_value_c& other) {
  if (this == &other) return *this;
  value_c::operator=(other);
  if (other.m_entries != nullptr) {
    make_entries().copy_from(*other.m_entries);
  } else {
    delete m_entries;
    m_entries = nullptr;
  }
  m_type_name = other.m_type_name;
  if (other.m_type_name == other.m_type_copy) set_type_name_copy(other.m_type_copy);
  m_lookup_status = 0;
  empty(m_error_text);
  return *this;
}

xmc_value_c::~xmc_value_c() { delete m_entries; }

void xmc_value_c::set_text(const char* s) {
  delete m_entries;
  m_entries = nullptr;
  value_c::set_text(s);
}

xmc_string_array_c& xmc_value_c::make_entries() {
  if (m_entries == nullptr) m_entries = new xmc_string_array_c;
  return *m_entries;
}

void xmc_value_c::add_entry(const char* s) { make_entries().add(s == nullptr ? "" : s); }

void xmc_value_c::_append_reason(const char* type_name, bool too_big) {
  m_error_text << "Unable to convert \"" << (m_text == nullptr ? "" : m_text) << "\" to " << type_name;
  if (too_big) m_error_text << ", input value is too big";
}

int64_t xmc_value_c::_convert(int64_t low, int64_t high, const char* type_name, bool always_too_big) {
  const int64_t n = _in_range(low, high);
  if (m_type == UNDEFINED) m_error = 1;
  if (m_error != 0) {
    _append_reason(type_name, always_too_big || m_type == SIGNED);
    return 0;
  }
  empty(m_error_text);
  return n;
}

int64_t xmc_value_c::_convert_unsigned_or_address(const char* type_name) {
  const int64_t n = _in_range(0, UINT32_MAX);
  if (m_type != UNDEFINED && m_error == 0) {
    empty(m_error_text);
    return n;
  }
  if (m_text != nullptr && m_text[0] >= '0' && m_text[0] <= '9') {
    const uint32_t address = utl_n::string_to_ip(m_text);
    if (address != 0) {
      // The number is the address; the text stays what it was (a value read back keeps its
      // dotted form).
      m_number = address;
      m_type = STRING;
      m_error = 0;
      empty(m_error_text);
      return address;
    }
  }
  m_error = 1;
  _append_reason(type_name, m_type == SIGNED);
  return 0;
}

bool xmc_value_c::as_bool() {
  const bool b = value_c::as_bool();
  if (m_error != 0) {
    _append_reason("bool", false);
    return false;
  }
  empty(m_error_text);
  return b;
}

char xmc_value_c::as_char() { return static_cast<char>(_convert(-128, 127, "char", false)); }
short xmc_value_c::as_short() { return static_cast<short>(_convert(-32768, 32767, "short", false)); }
unsigned short xmc_value_c::as_unsigned_short() {
  return static_cast<unsigned short>(_convert(0, 65535, "unsigned short", false));
}
int xmc_value_c::as_int() { return static_cast<int>(_convert(INT32_MIN, INT32_MAX, "int", false)); }
unsigned int xmc_value_c::as_unsigned_int() {
  return static_cast<unsigned int>(_convert_unsigned_or_address("unsigned int"));
}
long xmc_value_c::as_long() { return static_cast<long>(_convert(INT32_MIN, INT32_MAX, "long", true)); }
unsigned long xmc_value_c::as_unsigned_long() {
  return static_cast<unsigned long>(_convert_unsigned_or_address("unsigned long"));
}

int64_t xmc_value_c::as_int64() {
  const int64_t n = value_c::as_int64();
  if (m_type == UNDEFINED || m_error != 0) {
    m_error = 1;
    _append_reason("__int64", false);
    return 0;
  }
  empty(m_error_text);
  return n;
}

uint64_t xmc_value_c::as_uint64() {
  const uint64_t n = value_c::as_uint64();
  if (m_type == UNDEFINED || m_error != 0) {
    m_error = 1;
    _append_reason("__uint64", false);
    return 0;
  }
  empty(m_error_text);
  return n;
}

const char* xmc_value_c::as_string() {
  // A list emptied by a reset is no list: the value is as unset as any other after a reset.
  if (m_entries == nullptr || (m_entries->count() == 0 && m_type == UNDEFINED)) return value_c::as_string();
  utl_stream_c joined;
  m_entries->join(joined, ", ");
  _store_text(joined.c_str());
  m_type = STRING;
  m_number = 0;
  m_error = 0;
  return m_text;
}

void xmc_value_c::reset() {
  value_c::reset();
  if (m_entries != nullptr) m_entries->clear();
  empty(m_error_text);
  m_lookup_status = 0;
  m_type_name = nullptr;
}

uint32_t xmc_value_c::as_enum(uint32_t index) {
  const char* text = as_string();
  const long position = xmc_enum_c::position_of(index, text);
  if (position < 0) {
    m_error = 1;
    m_error_text << "Unable to convert \"" << text << "\" to " << xmc_enum_c::enum_name(index);
    return xmc_enum_c::item_count(index);
  }
  m_error = 0;
  empty(m_error_text);
  return static_cast<uint32_t>(position);
}

uint32_t xmc_value_c::as_product() { return as_enum(ENUM_PRODUCT); }
uint32_t xmc_value_c::as_application() { return as_enum(ENUM_APPLICATION); }
uint32_t xmc_value_c::as_config_mode() { return as_enum(ENUM_CONFIG_MODE); }
uint32_t xmc_value_c::as_replication_mode() { return as_enum(ENUM_REPLICATION_MODE); }
uint32_t xmc_value_c::as_bandwidth() { return as_enum(ENUM_BANDWIDTH); }
uint32_t xmc_value_c::as_host_task() { return as_enum(ENUM_HOST_TASK); }
uint32_t xmc_value_c::as_schedule() { return as_enum(ENUM_SCHEDULE); }
uint32_t xmc_value_c::as_synchronization_type() { return as_enum(ENUM_SYNCHRONIZATION_TYPE); }
uint32_t xmc_value_c::as_virtual_hard_disk_type() { return as_enum(ENUM_VIRTUAL_HARD_DISK_TYPE); }
uint32_t xmc_value_c::as_virtual_platform_type() { return as_enum(ENUM_VIRTUAL_PLATFORM_TYPE); }
uint32_t xmc_value_c::as_ec2_ebs_volume_type() { return as_enum(ENUM_EC2_EBS_VOLUME_TYPE); }
uint32_t xmc_value_c::as_azure_disk_type() { return as_enum(ENUM_AZURE_DISK_TYPE); }
uint32_t xmc_value_c::as_virtual_machine_nic_type() { return as_enum(ENUM_VIRTUAL_MACHINE_NIC_TYPE); }
uint32_t xmc_value_c::as_secure_communication_level() { return as_enum(ENUM_SECURE_COMMUNICATION_LEVEL); }

bool xmc_value_c::is_equal(xmc_value_c& other) {
  if (this == &other) return true;
  // A list value's text is its joined entries (written into the text when read).
  const char* a = m_entries != nullptr ? as_string() : m_text;
  const char* b = other.m_entries != nullptr ? other.as_string() : other.m_text;
  if (a == nullptr || b == nullptr) return a == b;
  return std::strcmp(a, b) == 0;
}
