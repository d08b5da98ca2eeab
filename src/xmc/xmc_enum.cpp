#include "xmc/xmc_enum.h"

#include "file/path_n.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "utl/utl.h"
#include "xml/xml_item.h"

#include <cstring>

namespace {

const char* k_file = "xmc_enum";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A decimal number written with digits only (at least one), the whole of [begin, end); saturates
// at 2^31 - 1, which no part of a date may reach.
bool read_decimal(const char* begin, const char* end, int& value) {
  if (begin == end) return false;
  long long n = 0;
  for (const char* p = begin; p != end; ++p) {
    if (!is_digit(*p)) return false;
    if (n < 0x7FFFFFFF) n = n * 10 + (*p - '0');
  }
  value = n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n);
  return true;
}

bool is_any(const char* begin, const char* end) {
  return end - begin == 3 && std::strncmp(begin, "ANY", 3) == 0;
}

// A day or year part: a number, or ANY (-1).
bool read_part(const char* begin, const char* end, int& value) {
  if (is_any(begin, end)) {
    value = -1;
    return true;
  }
  return read_decimal(begin, end, value);
}

const char* const k_months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool read_month_word(const char* begin, const char* end, int& value) {
  for (int m = 0; m < 12; ++m) {
    if (end - begin == 3 && std::strncmp(begin, k_months[m], 3) == 0) {
      value = m + 1;
      return true;
    }
  }
  return read_part(begin, end, value);
}

bool is_leap(long long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool is_formatted_integer(const char* text) {
  int64_t ignored = 0;
  return mix_n::parse_formatted_integer_string(text, ignored);
}

}  // namespace

#define NO_KEY(text, code) \
  { text, "", code }

const enum_entry_s xmc_enum_c::table[xmc_enum_c::k_count] = {
    {ENUM_TYPE, "Type", 12,
     {NO_KEY("Enum", 1), NO_KEY("Number", 2), NO_KEY("Bool", 3), NO_KEY("String", 4), NO_KEY("Text", 5),
      NO_KEY("FullPath", 6), NO_KEY("DefFullPath", 7), NO_KEY("IPAddr", 8), NO_KEY("IPAdrMask", 9),
      NO_KEY("Date", 10), NO_KEY("MultiEntry", 11), NO_KEY("Any", 12)}},
    {ENUM_PRODUCT, "Product", 4, {NO_KEY("Dr", 1), NO_KEY("Ha", 2), NO_KEY("Cd", 3), NO_KEY("Rw", 4)}},
    {ENUM_APPLICATION, "Application", 13,
     {NO_KEY("FileServer", 1), NO_KEY("Exchange", 2), NO_KEY("Oracle", 3), NO_KEY("DB2", 4), NO_KEY("SQL", 5),
      NO_KEY("IIS", 6), NO_KEY("ControlService", 7), NO_KEY("HyperV", 8), NO_KEY("SharePoint", 9),
      NO_KEY("vCenter", 10), NO_KEY("CRM", 11), NO_KEY("FullSystem", 12), NO_KEY("CustomApp", 13)}},
    {ENUM_CONFIG_MODE, "ConfigMode", 8,
     {NO_KEY("Template", 1), NO_KEY("Regular", 2), NO_KEY("Synchron", 3), NO_KEY("Verific", 4),
      NO_KEY("Assessment", 5), NO_KEY("Recovery", 6), NO_KEY("Backward", 7), NO_KEY("Rewind", 8)}},
    {ENUM_REPLICATION_MODE, "ReplicationMode", 4,
     {NO_KEY("Online", 1), NO_KEY("Scheduling", 2), NO_KEY("OnFileClose", 3), NO_KEY("Scheduled", 4)}},
    {ENUM_BANDWIDTH, "Bandwidth", 16,
     {NO_KEY("56.0", 1), NO_KEY("64.0", 2), NO_KEY("128.0", 3), NO_KEY("192.0", 4), NO_KEY("256.0", 5),
      NO_KEY("512.0", 6), NO_KEY("1024.0", 7), NO_KEY("1544.0", 8), NO_KEY("2048.0", 9), NO_KEY("4096.0", 10),
      NO_KEY("10240.0", 11), NO_KEY("20480.0", 12), NO_KEY("30720.0", 13), NO_KEY("40960.0", 14),
      NO_KEY("102400.0", 15), NO_KEY("Unlimited", 16)}},
    {ENUM_HOST_TASK, "HostTask", 4, {NO_KEY("None", 1), NO_KEY("Manager", 2), NO_KEY("Master", 3), NO_KEY("Replica", 4)}},
    {ENUM_SCHEDULE, "Schedule", 2, {NO_KEY("ByUserRequest", 1), NO_KEY("WeeklyActivity", 2)}},
    {ENUM_SYNCHRONIZATION_TYPE, "SynchronizationType", 3,
     {NO_KEY("FileSynchronization", 1), NO_KEY("BlockSynchronization", 2), NO_KEY("VolumeSynchronization", 3)}},
    {ENUM_GROUP_TYPE, "GroupType", 5,
     {NO_KEY("default_scenarios", 1), NO_KEY("default_templates", 2), NO_KEY("regular", 3), NO_KEY("distributed", 4),
      NO_KEY("customized", 5)}},
    {ENUM_VIRTUAL_HARD_DISK_TYPE, "VirtualHardDiskType", 2, {NO_KEY("DynamicallyExpanding", 1), NO_KEY("FixSize", 2)}},
    {ENUM_VIRTUAL_PLATFORM_TYPE, "VirtualPlatformType", 9,
     {{"HyperV", "IR00584", 1}, {"Esx", "IR00585", 2}, {"vSphere", "IR00585", 3}, {"Xen", "IR00586", 4},
      {"KVM", "IR00595", 5}, {"VirtualBox", "IR00596", 6}, {"EC2", "IR00587", 7}, {"Azure", "IR00594", 8},
      {"ScaleHC3Cluster", "IR00597", 9}}},
    {ENUM_NUMBER_OF_SOCKETS_TYPE, "NumberOfSocketsType", 4, {NO_KEY("Default", 1), NO_KEY("1", 2), NO_KEY("5", 3), NO_KEY("10", 4)}},
    {ENUM_CLOUD_PROVIDER_TYPE, "CloudProviderType", 2, {NO_KEY("AmazonEC2", 1), NO_KEY("Azure", 2)}},
    {ENUM_SECURE_COMMUNICATION_LEVEL, "SecureCommunicationLevel", 4, {NO_KEY("0", 1), NO_KEY("1", 2), NO_KEY("2", 3), NO_KEY("3", 4)}},
    {ENUM_EC2_EBS_VOLUME_TYPE, "EC2EBSVolumeType", 3, {NO_KEY("gp2", 1), NO_KEY("io1", 2), NO_KEY("standard", 3)}},
    {ENUM_AZURE_DISK_TYPE, "AzureDiskType", 3, {NO_KEY("Premium_LRS", 1), NO_KEY("StandardSSD_LRS", 2), NO_KEY("Standard_LRS", 3)}},
    {ENUM_VIRTUAL_MACHINE_NIC_TYPE, "VirtualMachineNICType", 7,
     {NO_KEY("E1000", 1), NO_KEY("E1000E", 2), NO_KEY("VMXNET2", 3), NO_KEY("VMXNET3", 4), NO_KEY("SRIOV", 5),
      NO_KEY("PCNet32", 6), NO_KEY("virtio", 7)}},
};

#undef NO_KEY

uint32_t xmc_enum_c::enum_index(const char* name) {
  if (name == nullptr) return ENUM_NONE;
  for (const enum_entry_s& entry : table) {
    // Every data item's type is looked up: the first byte passes most entries over.
    if (entry.name[0] == name[0] && utl_n::same_text(entry.name, name)) return entry.index;
  }
  return ENUM_NONE;
}

const char* xmc_enum_c::enum_name(uint32_t index) { return index < k_count ? table[index].name : ""; }

uint32_t xmc_enum_c::item_count(uint32_t index) { return index < k_count ? table[index].count : 0; }

const char* xmc_enum_c::item_text(uint32_t index, uint32_t position) {
  if (index >= k_count || position >= table[index].count) return "";
  return table[index].items[position].text;
}

long xmc_enum_c::position_of(uint32_t index, const char* text) {
  if (index >= k_count || text == nullptr) return -1;
  for (uint32_t i = 0; i < table[index].count; ++i) {
    const char* item = table[index].items[i].text;
    if (item[0] == text[0] && utl_n::same_text(item, text)) return static_cast<long>(i);
  }
  return -1;
}

uint32_t xmc_enum_c::value_type(const char* type_text, uint32_t* enum_index_out) {
  if (enum_index_out != nullptr) *enum_index_out = ENUM_NONE;
  if (type_text == nullptr || type_text[0] == '\0') return TYPE_NONE;
  // The type names first: nearly every data item has one. No enumeration is named as a type (a
  // test holds the two sets apart), so the order does not change an answer.
  const long position = position_of(ENUM_TYPE, type_text);
  if (position >= 0) return static_cast<uint32_t>(position);
  const uint32_t index = enum_index(type_text);
  if (index == ENUM_NONE) return TYPE_NONE;
  if (enum_index_out != nullptr) *enum_index_out = index;
  return TYPE_ENUM;
}

bool xmc_enum_c::date_exists(int year, int month, int day) {
  if (year < 1970 || year > 3000 || month < 1 || month > 12 || day < 1) return false;
  static const int k_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int last = month == 2 && is_leap(year) ? 29 : k_days[month - 1];
  return day <= last;
}

bool xmc_enum_c::parse_date(const char* text, xmc_date_s& date) {
  date = xmc_date_s();
  if (text == nullptr) return false;
  // Only the first 127 characters are read.
  char buffer[128];
  std::strncpy(buffer, text, 127);
  buffer[127] = '\0';
  const char* end = buffer + std::strlen(buffer);

  int day = 0, month = 0, year = 0;
  const char* colon = std::strchr(buffer, ':');
  const char* first = colon != nullptr ? colon : std::strchr(buffer, '.');
  if (first != nullptr) {
    const char* rest = first + 1;
    const char* second = std::strchr(rest, ':');
    if (second == nullptr) second = std::strchr(rest, '.');
    if (second == nullptr) return false;
    if (!read_part(buffer, first, day) || !read_part(rest, second, month) || !read_part(second + 1, end, year)) {
      return false;
    }
  } else {
    const char* words[3][2];
    int count = 0;
    for (const char* p = buffer; *p != '\0';) {
      while (is_blank(*p)) ++p;
      if (*p == '\0') break;
      const char* start = p;
      while (*p != '\0' && !is_blank(*p)) ++p;
      if (count == 3 || p - start > 31) return false;
      words[count][0] = start;
      words[count][1] = p;
      ++count;
    }
    if (count != 3) return false;
    if (!read_part(words[0][0], words[0][1], day) || !read_month_word(words[1][0], words[1][1], month) ||
        !read_part(words[2][0], words[2][1], year)) {
      return false;
    }
  }
  date.day = day;
  date.month = month;
  date.year = year;
  if (month != -1 && (month < 1 || month > 12)) return false;
  if (day != -1 && (day < 1 || day > 31)) return false;
  if (year != -1 && year < 1901) return false;
  if (day == -1 && month == -1 && year == -1) return false;
  if (day != -1 && month != -1) return date_exists(year == -1 ? 2000 : year, month, day);
  return true;
}

bool xmc_enum_c::data_fits_type(const char* text, uint32_t type_code, uint32_t enum_index_value,
                                const xml_item_c* data_item) {
  ZQTR_SCOPE(tr, "xmc_enum_c::data_fits_type", k_file);
  const char* s = text == nullptr ? "" : text;
  switch (type_code) {
    case TYPE_ENUM: {
      if (enum_index_value != ENUM_BANDWIDTH) return position_of(enum_index_value, s) >= 0;
      if (std::strcmp(s, "Unlimited") == 0) return true;
      const size_t length = std::strlen(s);
      if (length >= 32) return false;
      char whole[32];
      std::memcpy(whole, s, length + 1);
      char* dot = std::strchr(whole, '.');
      if (dot != nullptr) *dot = '\0';
      return is_formatted_integer(whole);
    }
    case TYPE_NUMBER: return is_formatted_integer(s);
    case TYPE_BOOL: return std::strcmp(s, mix_n::True) == 0 || std::strcmp(s, mix_n::False) == 0;
    case TYPE_STRING:
      for (const char* p = s; *p != '\0'; ++p) {
        if (!is_blank(*p)) return true;
      }
      return false;
    case TYPE_TEXT: return true;
    case TYPE_FULL_PATH:
      if (s[0] == '[') return std::strncmp(s, "[INSTALL_TMP]/", 14) == 0;
      return path_n::is_full_path_name(s);
    case TYPE_DEF_FULL_PATH: return s[0] == '\0' || path_n::is_full_path_name(s);
    case TYPE_IP_ADDR: {
      if (s[0] == '\0') return true;
      uint32_t parts[4];
      const char* end = nullptr;
      if (!utl_n::scan_dotted_quad(s, parts, &end) || *end != '\0') return false;
      for (uint32_t part : parts) {
        if (part > 255) return false;
      }
      if ((parts[0] | parts[1] | parts[2] | parts[3]) != 0) return true;
      // Addresses that may stay unset.
      const labeled_value_c* label = data_item == nullptr ? nullptr : data_item->find_attr("label");
      const char* name = label == nullptr ? nullptr : label->text();
      return name != nullptr && (std::strcmp(name, "Data_IP") == 0 || std::strcmp(name, "Out_IP") == 0);
    }
    case TYPE_IP_ADR_MASK: {
      if (s[0] == '\0') return true;
      uint32_t address[4], mask[4];
      const char* end = nullptr;
      if (!utl_n::scan_dotted_quad(s, address, &end) || *end != '/') return false;
      // Nothing may follow the mask either: an address with a tail is no address.
      if (!utl_n::scan_dotted_quad(end + 1, mask, &end) || *end != '\0') return false;
      uint32_t address_bits = 0, mask_bits = 0;
      for (int i = 0; i < 4; ++i) {
        if (address[i] > 255 || mask[i] > 255) return false;
        address_bits = address_bits << 8 | address[i];
        mask_bits = mask_bits << 8 | mask[i];
      }
      if (address_bits == 0 || mask_bits == 0) return false;
      // Contiguous: the bits below the mask's lowest set bit are all clear, and none above it is.
      const uint32_t inverse = ~mask_bits;
      return (inverse & (inverse + 1u)) == 0;
    }
    case TYPE_DATE: {
      xmc_date_s date;
      return parse_date(s, date);
    }
    case TYPE_MULTI_ENTRY: return value_type(s, nullptr) != TYPE_NONE || is_formatted_integer(s);
    default: tr.print(ZQTR_FAIL, __LINE__, "Invalid type value \"%u\"\n", type_code); return false;
  }
}
