// The enumerations of the configuration model, the value types, and the rule that decides whether
// a text fits a type.
#ifndef STATS_MNG_XMC_XMC_ENUM_H
#define STATS_MNG_XMC_XMC_ENUM_H

#include <cstddef>
#include <cstdint>

class xml_item_c;

// Positions in the Type enumeration; TYPE_NONE (12) means no type.
enum value_type_e : uint32_t {
  TYPE_ENUM = 0,
  TYPE_NUMBER = 1,
  TYPE_BOOL = 2,
  TYPE_STRING = 3,
  TYPE_TEXT = 4,
  TYPE_FULL_PATH = 5,
  TYPE_DEF_FULL_PATH = 6,
  TYPE_IP_ADDR = 7,
  TYPE_IP_ADR_MASK = 8,
  TYPE_DATE = 9,
  TYPE_MULTI_ENTRY = 10,
  TYPE_ANY = 11,
  TYPE_NONE = 12,
};

// Indexes of the built-in enumerations; ENUM_NONE (18) means no enumeration.
enum enum_index_e : uint32_t {
  ENUM_TYPE = 0,
  ENUM_PRODUCT = 1,
  ENUM_APPLICATION = 2,
  ENUM_CONFIG_MODE = 3,
  ENUM_REPLICATION_MODE = 4,
  ENUM_BANDWIDTH = 5,
  ENUM_HOST_TASK = 6,
  ENUM_SCHEDULE = 7,
  ENUM_SYNCHRONIZATION_TYPE = 8,
  ENUM_GROUP_TYPE = 9,
  ENUM_VIRTUAL_HARD_DISK_TYPE = 10,
  ENUM_VIRTUAL_PLATFORM_TYPE = 11,
  ENUM_NUMBER_OF_SOCKETS_TYPE = 12,
  ENUM_CLOUD_PROVIDER_TYPE = 13,
  ENUM_SECURE_COMMUNICATION_LEVEL = 14,
  ENUM_EC2_EBS_VOLUME_TYPE = 15,
  ENUM_AZURE_DISK_TYPE = 16,
  ENUM_VIRTUAL_MACHINE_NIC_TYPE = 17,
  ENUM_NONE = 18,
};

// Positions the code names in a few enumerations.
enum product_e : uint32_t { PRODUCT_DR = 0, PRODUCT_HA = 1, PRODUCT_CD = 2, PRODUCT_RW = 3, PRODUCT_NONE = 4 };
enum application_e : uint32_t { APPLICATION_FILE_SERVER = 0, APPLICATION_HYPER_V = 7, APPLICATION_FULL_SYSTEM = 11, APPLICATION_NONE = 13 };
enum config_mode_e : uint32_t { CONFIG_MODE_REGULAR = 1, CONFIG_MODE_ASSESSMENT = 4, CONFIG_MODE_NONE = 8 };

struct enum_item_s {
  const char* text;
  const char* display_key;  // empty where the item has none (not used inside the library)
  uint32_t code;            // the 1-based position
};

struct enum_entry_s {
  uint32_t index;
  const char* name;
  uint32_t count;
  enum_item_s items[16];
};

// A date of the Date type; -1 stands for ANY.
struct xmc_date_s {
  int year = -1;
  int month = -1;
  int day = -1;
};

class xmc_enum_c {
 public:
  static constexpr uint32_t k_count = 18;
  static const enum_entry_s table[k_count];

  // The index of an enumeration name (exact); ENUM_NONE when absent or unknown.
  static uint32_t enum_index(const char* name);
  // The name of an enumeration; the empty text for ENUM_NONE and above.
  static const char* enum_name(uint32_t index);
  // The number of items; 0 for ENUM_NONE and above.
  static uint32_t item_count(uint32_t index);
  // The text of an item; the empty text past the enumeration's items.
  static const char* item_text(uint32_t index, uint32_t position);
  // The position of a text among the items (exact); -1 when absent, unknown or for ENUM_NONE.
  static long position_of(uint32_t index, const char* text);
  // The value type of a type attribute's text: TYPE_ENUM with the enumeration's index for an
  // enumeration name, otherwise the position in Type, or TYPE_NONE; enum_index gets ENUM_NONE then.
  static uint32_t value_type(const char* type_text, uint32_t* enum_index);
  // The name of a value type (the Type enumeration's item); the empty text for TYPE_NONE and above.
  static const char* type_name(uint32_t type_code) { return item_text(ENUM_TYPE, type_code); }

  // Whether text fits the type (with the enumeration for TYPE_ENUM). The data item, when given,
  // supplies the label for the addresses that may be 0.0.0.0 ("Data_IP", "Out_IP").
  static bool data_fits_type(const char* text, uint32_t type_code, uint32_t enum_index, const xml_item_c* data_item);

  // Reads a date of the Date type. False when the text is no such date; date then holds what was read.
  static bool parse_date(const char* text, xmc_date_s& date);
  // Whether a date given with day and month exists: the day is in its month (year ANY is the leap
  // year 2000), and the date lies from 1 January 1970 to 31 December 3000, the calendar a local
  // time of both targets can hold. Decided on the calendar alone: the same verdict in every time
  // zone and on both targets.
  static bool date_exists(int year, int month, int day);
};

#endif
