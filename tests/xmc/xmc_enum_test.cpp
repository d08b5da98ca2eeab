#include "xmc/xmc_enum.h"
#include "xmc/xmc_item.h"
#include "xmc/xmc_value.h"

#include "platform/trc/zqtr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

struct fits_case_s {
  const char* text;
  bool fits;
};

void expect_fits(uint32_t type, uint32_t enum_index, std::initializer_list<fits_case_s> cases,
                 const xml_item_c* item = nullptr) {
  for (const fits_case_s& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\" as " + xmc_enum_c::type_name(type));
    EXPECT_EQ(xmc_enum_c::data_fits_type(c.text, type, enum_index, item), c.fits);
  }
}

void set_time_zone(const char* zone) {
#ifdef _WIN32
  _putenv_s("TZ", zone);
  _tzset();
#else
  if (zone[0] == '\0') {
    unsetenv("TZ");
  } else {
    setenv("TZ", zone, 1);
  }
  tzset();
#endif
}

}  // namespace

TEST(xmc_enum_test, the_table_is_consistent) {
  for (uint32_t i = 0; i < xmc_enum_c::k_count; ++i) {
    SCOPED_TRACE(xmc_enum_c::enum_name(i));
    const enum_entry_s& entry = xmc_enum_c::table[i];
    EXPECT_EQ(entry.index, i);
    ASSERT_LE(entry.count, 16u);
    for (uint32_t k = 0; k < 16; ++k) {
      if (k < entry.count) {
        ASSERT_NE(entry.items[k].text, nullptr);
        EXPECT_EQ(entry.items[k].code, k + 1);
        EXPECT_EQ(xmc_enum_c::position_of(i, entry.items[k].text), static_cast<long>(k));  // no item twice
      } else {
        EXPECT_EQ(entry.items[k].text, nullptr);
      }
    }
    EXPECT_EQ(xmc_enum_c::enum_index(entry.name), i);
  }
  EXPECT_STREQ(xmc_enum_c::table[ENUM_VIRTUAL_PLATFORM_TYPE].items[2].display_key, "IR00585");
  EXPECT_STREQ(xmc_enum_c::table[ENUM_PRODUCT].items[0].display_key, "");
}

TEST(xmc_enum_test, lookups_are_exact_and_say_none) {
  EXPECT_EQ(xmc_enum_c::enum_index("Product"), ENUM_PRODUCT);
  EXPECT_EQ(xmc_enum_c::enum_index("product"), ENUM_NONE);
  EXPECT_EQ(xmc_enum_c::enum_index(nullptr), ENUM_NONE);
  EXPECT_STREQ(xmc_enum_c::enum_name(ENUM_NONE), "");
  EXPECT_STREQ(xmc_enum_c::enum_name(1000), "");
  EXPECT_STREQ(xmc_enum_c::item_text(ENUM_PRODUCT, 1), "Ha");
  EXPECT_STREQ(xmc_enum_c::item_text(ENUM_PRODUCT, 4), "");
  EXPECT_STREQ(xmc_enum_c::item_text(ENUM_NONE, 0), "");
  EXPECT_EQ(xmc_enum_c::position_of(ENUM_PRODUCT, "HA"), -1);
  EXPECT_EQ(xmc_enum_c::position_of(ENUM_PRODUCT, nullptr), -1);
  EXPECT_EQ(xmc_enum_c::position_of(ENUM_NONE, "Ha"), -1);

  struct case_s {
    const char* text;
    uint32_t type;
    uint32_t enum_index;
  } cases[] = {{"Application", TYPE_ENUM, ENUM_APPLICATION}, {"Number", TYPE_NUMBER, ENUM_NONE},
               {"Type", TYPE_ENUM, ENUM_TYPE},               {"Any", TYPE_ANY, ENUM_NONE},
               {"Colour", TYPE_NONE, ENUM_NONE},             {"number", TYPE_NONE, ENUM_NONE},
               {"", TYPE_NONE, ENUM_NONE},                   {nullptr, TYPE_NONE, ENUM_NONE}};
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.text == nullptr ? "(null)" : c.text);
    uint32_t index = 99;
    EXPECT_EQ(xmc_enum_c::value_type(c.text, &index), c.type);
    EXPECT_EQ(index, c.enum_index);
  }
}

// A type text is looked up among the type names before the enumeration names: the answer stays the
// same only while no enumeration is named like a type.
TEST(xmc_enum_test, no_enumeration_is_named_like_a_type) {
  for (uint32_t index = 0; index < xmc_enum_c::k_count; ++index) {
    SCOPED_TRACE(xmc_enum_c::enum_name(index));
    EXPECT_LT(xmc_enum_c::position_of(ENUM_TYPE, xmc_enum_c::enum_name(index)), 0);
    uint32_t found = ENUM_NONE;
    EXPECT_EQ(xmc_enum_c::value_type(xmc_enum_c::enum_name(index), &found), TYPE_ENUM);
    EXPECT_EQ(found, index);
  }
  // Every type name, and names that share a first letter with a type or an enumeration.
  for (uint32_t position = 0; position < xmc_enum_c::item_count(ENUM_TYPE); ++position) {
    const char* name = xmc_enum_c::item_text(ENUM_TYPE, position);
    SCOPED_TRACE(name);
    uint32_t found = 99;
    EXPECT_EQ(xmc_enum_c::value_type(name, &found), position);
    EXPECT_EQ(found, ENUM_NONE);
    EXPECT_EQ(xmc_enum_c::value_type((std::string(name) + "x").c_str(), &found), TYPE_NONE);
    EXPECT_EQ(xmc_enum_c::value_type(std::string(name, 1).c_str(), &found), TYPE_NONE);
  }
  EXPECT_EQ(xmc_enum_c::position_of(ENUM_PRODUCT, ""), -1);
  EXPECT_EQ(xmc_enum_c::position_of(ENUM_PRODUCT, "H"), -1);
  EXPECT_EQ(xmc_enum_c::enum_index(""), ENUM_NONE);
  EXPECT_EQ(xmc_enum_c::enum_index("P"), ENUM_NONE);
}

TEST(xmc_enum_test, addresses) {
  expect_fits(TYPE_IP_ADDR, ENUM_NONE,
              {{"", true},
               {"10.1.2.3", true},
               {"255.255.255.255", true},
               {"0.0.0.0", false},
               {"10.1.2.3 ", false},  // nothing may follow
               {"10.1.2.3x", false},
               {"10.1.2", false},
               {"10.1.2.3.4", false},
               {"256.1.2.3", false},
               {"4294967296.0.0.1", false},  // a part too big for 32 bits does not wrap to 0
               {"-1.2.3.4", false},
               {"letters", false}});
  xmc_item_c data_ip("data");
  data_ip.set_attr("label", "Data_IP");
  xmc_item_c out_ip("data");
  out_ip.set_attr("label", "Out_IP");
  xmc_item_c other("data");
  other.set_attr("label", "IP");
  for (const xml_item_c* item : {static_cast<const xml_item_c*>(&data_ip), static_cast<const xml_item_c*>(&out_ip)}) {
    expect_fits(TYPE_IP_ADDR, ENUM_NONE, {{"0.0.0.0", true}, {"letters", false}, {"1.2.3.4", true}}, item);
  }
  expect_fits(TYPE_IP_ADDR, ENUM_NONE, {{"0.0.0.0", false}}, &other);

  expect_fits(TYPE_IP_ADR_MASK, ENUM_NONE,
              {{"", true},
               {"10.0.0.0/255.255.0.0", true},
               {"10.0.0.0/255.0.255.0", false},  // not contiguous
               {"0.0.0.0/255.0.0.0", false},     // zero address
               {"10.0.0.0/0.0.0.0", false},      // no mask
               {"10.0.0.0/0.255.255.255", false},
               {"10.0.0.0/255.255.0.256", false},
               {"10.0.0.0/255.255.0.0x", false},  // nothing may follow
               {"10.0.0.0", false},
               {"10.0.0.0/255.255", false}});
  int contiguous = 0;
  for (int bits = 0; bits <= 32; ++bits) {
    const uint32_t mask = bits == 0 ? 0 : ~0u << (32 - bits);
    const std::string text = "192.168.1.0/" + std::to_string(mask >> 24) + "." + std::to_string(mask >> 16 & 255) +
                             "." + std::to_string(mask >> 8 & 255) + "." + std::to_string(mask & 255);
    contiguous += xmc_enum_c::data_fits_type(text.c_str(), TYPE_IP_ADR_MASK, ENUM_NONE, nullptr) ? 1 : 0;
  }
  EXPECT_EQ(contiguous, 32);  // every prefix length but 0
}

TEST(xmc_enum_test, dates_in_both_forms) {
  const std::string padded = "1 Jan 2000" + std::string(117, ' ');  // 127 characters
  expect_fits(TYPE_DATE, ENUM_NONE,
              {{"ANY ANY 2020", true},
               {"1 Jan ANY", true},
               {"29.2.ANY", true},
               {"29 Feb ANY", true},
               {"29 Feb 2000", true},
               {"29 Feb 2021", false},
               {"29 Feb 2100", false},
               {"28 Feb 2021", true},
               {"31 Apr 2021", false},
               {"30 Apr 2021", true},
               {"31 Apr ANY", false},
               {"ANY ANY ANY", false},
               {"1 Jan 1900", false},
               {"ANY ANY 1900", false},
               {"ANY ANY 1901", true},
               {"1 Jan 1901", false},  // a local time before 1970 is no date
               {"31.12.1969", false},
               {"1.1.1970", true},
               {"31:12:3000", true},
               {"1.1.3001", false},  // past the last day a local time can hold on both targets
               {"ANY Jan 5000", true},
               {"1:2.2000", true},  // the first ':' splits first, then a '.'
               {"1.2:2000", false},
               {"1..2000", false},
               {"1.2", false},
               {"1.Jan.2000", false},
               {"1x.2.2000", false},
               {"15 6 2020", true},
               {"1 13 2000", false},
               {"0 Jan 2000", false},
               {"32 Jan ANY", false},
               {"1 jan 2000", false},  // month names are case-sensitive
               {"1 Jan", false},
               {"1 Jan 2000 x", false},
               {" 1\tJan  2000 ", true},
               {"", false},
               {"0000000000000000000000000000001 Jan 2000", true},   // a 31-character word
               {"00000000000000000000000000000001 Jan 2000", false},  // 32 characters
               {(padded + "x").c_str(), true},                        // only 127 characters are read
               {(padded.substr(0, 126) + "x").c_str(), false}});

  xmc_date_s date;
  EXPECT_TRUE(xmc_enum_c::parse_date("ANY Mar 2024", date));
  EXPECT_EQ(date.day, -1);
  EXPECT_EQ(date.month, 3);
  EXPECT_EQ(date.year, 2024);
}

TEST(xmc_enum_test, date_verdicts_do_not_depend_on_the_time_zone) {
  const char* old = std::getenv("TZ");
  const std::string saved = old == nullptr ? "" : old;
  const char* cases[][2] = {{"1.1.1970", "1"}, {"31.12.1969", "0"}, {"31.12.3000", "1"}, {"1.1.3001", "0"},
                            {"29 Feb 2024", "1"}, {"29 Feb 2023", "0"}};
  for (const char* zone : {"UTC0", "XST-14", "YST12", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0"}) {
    set_time_zone(zone);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c[0]) + " in " + zone);
      EXPECT_EQ(xmc_enum_c::data_fits_type(c[0], TYPE_DATE, ENUM_NONE, nullptr), c[1][0] == '1');
    }
  }
  set_time_zone(saved.c_str());
}

TEST(xmc_enum_test, other_types) {
  expect_fits(TYPE_ENUM, ENUM_BANDWIDTH,
              {{"Unlimited", true},
               {"56.0", true},
               {"100", true},
               {"1544", true},
               {"1544.5", true},
               {"abc", false},
               {"unlimited", false},
               {".5", false},
               {"0000000000000000000000000000001", true},    // 31 characters
               {"00000000000000000000000000000001", false}});  // 32
  expect_fits(TYPE_ENUM, ENUM_PRODUCT, {{"Ha", true}, {"HA", false}, {"", false}});
  expect_fits(TYPE_ENUM, ENUM_NONE, {{"Ha", false}});
  expect_fits(TYPE_NUMBER, ENUM_NONE, {{"12", true}, {"-3", true}, {"0x1F", true}, {"1.5", false}, {"", false}});
  expect_fits(TYPE_BOOL, ENUM_NONE, {{"True", true}, {"False", true}, {"true", false}, {"TRUE", false}, {"1", false}});
  xmc_value_c lower("true");
  EXPECT_TRUE(lower.as_bool());  // the value itself reads it
  EXPECT_FALSE(lower.error());
  expect_fits(TYPE_STRING, ENUM_NONE, {{"", false}, {" \t", false}, {" a", true}, {"\xC3\xA9", true}});
  expect_fits(TYPE_TEXT, ENUM_NONE, {{"", true}, {"\x01", true}});
  expect_fits(TYPE_FULL_PATH, ENUM_NONE,
              {{"C:/x", true},
               {"c:\\x", true},
               {"/srv", true},
               {"~", true},
               {"\\\\s", true},
               {"\\\\", false},
               {"[INSTALL_TMP]/a", true},
               {"[INSTALL_TMP]a", false},
               {"[OTHER]/a", false},
               {"x/y", false},
               {"", false}});
  expect_fits(TYPE_DEF_FULL_PATH, ENUM_NONE, {{"", true}, {"D:\\x", true}, {"x", false}, {"[INSTALL_TMP]/a", false}});
  expect_fits(TYPE_MULTI_ENTRY, ENUM_NONE,
              {{"String", true}, {"Any", true}, {"Product", true}, {"8020", true}, {"Colour", false}, {"", false}});
}

TEST(xmc_enum_test, an_invalid_type_code_is_traced) {
  zqtr_capture_c capture;
  for (uint32_t code : {11u, 12u, 99u}) {
    SCOPED_TRACE(code);
    EXPECT_FALSE(xmc_enum_c::data_fits_type("x", code, ENUM_NONE, nullptr));
    EXPECT_TRUE(capture.has(ZQTR_FAIL, "Invalid type value \"" + std::to_string(code) + "\""));
  }
  capture.clear();
  xmc_enum_c::data_fits_type("bad", TYPE_NUMBER, ENUM_NONE, nullptr);
  EXPECT_TRUE(capture.texts().empty());  // a text that does not fit is no failure of the library
}
