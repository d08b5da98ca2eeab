#include "xmc/conf.h"
#include "xmc/xmc_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

// One numeric slot: its name and a call that gives the result as a 64-bit number.
struct slot_s {
  const char* name;
  std::function<int64_t(xmc_value_c&)> read;
};

const slot_s k_char{"char", [](xmc_value_c& v) { return static_cast<int64_t>(v.as_char()); }};
const slot_s k_short{"short", [](xmc_value_c& v) { return static_cast<int64_t>(v.as_short()); }};
const slot_s k_ushort{"unsigned short", [](xmc_value_c& v) { return static_cast<int64_t>(v.as_unsigned_short()); }};
const slot_s k_int{"int", [](xmc_value_c& v) { return static_cast<int64_t>(v.as_int()); }};
const slot_s k_uint{"unsigned int", [](xmc_value_c& v) { return static_cast<int64_t>(v.as_unsigned_int()); }};
const slot_s k_long{"long", [](xmc_value_c& v) { return static_cast<int64_t>(v.as_long()); }};
const slot_s k_ulong{"unsigned long", [](xmc_value_c& v) { return static_cast<int64_t>(v.as_unsigned_long()); }};
const slot_s k_int64{"__int64", [](xmc_value_c& v) { return v.as_int64(); }};
const slot_s k_uint64{"__uint64", [](xmc_value_c& v) { return static_cast<int64_t>(v.as_uint64()); }};
const slot_s k_bool{"bool", [](xmc_value_c& v) { return static_cast<int64_t>(v.as_bool()); }};

std::string reason(const char* text, const char* type, bool too_big) {
  return std::string("Unable to convert \"") + text + "\" to " + type + (too_big ? ", input value is too big" : "");
}

}  // namespace

TEST(xmc_value_test, numeric_slots_give_the_number_or_say_why_not) {
  struct case_s {
    const char* text;
    const slot_s& slot;
    int64_t expected;
    bool fails;
    bool too_big;
  } cases[] = {
      {"300", k_short, 300, false, false},
      {"70000", k_short, 0, true, true},
      {"abc", k_short, 0, true, false},
      {"-128", k_char, -128, false, false},
      {"128", k_char, 0, true, true},
      {"65535", k_ushort, 65535, false, false},
      {"-1", k_ushort, 0, true, true},
      {"2147483648", k_int, 0, true, true},
      {"0x10", k_int, 16, false, false},
      {"10.0.0.1", k_uint, 167772161, false, false},
      {"10.0.0.1", k_ulong, 167772161, false, false},
      {"letters", k_uint, 0, true, false},
      {"0.0.0.0", k_uint, 0, true, false},  // the zero address is no address
      {"1.2.3.256", k_uint, 0, true, false},
      {"4294967295", k_uint, 4294967295LL, false, false},
      {"4294967296", k_uint, 0, true, true},
      {"-1", k_uint, 0, true, true},
      {"12", k_long, 12, false, false},
      {"abc", k_long, 0, true, true},  // the long slot always says too big
      {"-9223372036854775808", k_int64, INT64_MIN, false, false},
      {"9223372036854775808", k_int64, 0, true, false},  // 2^63 and up: never the too-big ending
      {"18446744073709551615", k_uint64, -1, false, false},
      {"-5", k_uint64, 0, true, false},
      {"TRUE", k_bool, 1, false, false},  // the value's conversion ignores case
      {"0", k_bool, 0, true, false},  // a number reads as bool, a text of digits does not
      {"maybe", k_bool, 0, true, false},
      {"7", k_bool, 0, true, false},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " as " + c.slot.name);
    xmc_value_c value(c.text);
    EXPECT_EQ(c.slot.read(value), c.expected);
    EXPECT_EQ(value.error(), c.fails);
    EXPECT_EQ(value.error_text(), c.fails ? reason(c.text, c.slot.name, c.too_big) : std::string());
  }
}

TEST(xmc_value_test, an_address_read_as_a_number_keeps_its_text) {
  xmc_value_c value("10.0.0.1");
  EXPECT_EQ(value.as_unsigned_int(), 167772161u);
  EXPECT_STREQ(value.as_string(), "10.0.0.1");  // written back, it is still an address
  xmc_value_c same("10.0.0.1");
  EXPECT_TRUE(value.is_equal(same));
  EXPECT_EQ(value.as_unsigned_long(), 167772161ul);
  EXPECT_FALSE(value.error());
}

TEST(xmc_value_test, an_unset_value_converts_to_nothing) {
  xmc_value_c value;
  EXPECT_EQ(value.as_int(), 0);
  EXPECT_TRUE(value.error());
  EXPECT_EQ(std::string(value.error_text()), reason("", "int", false));
  value.reset();
  EXPECT_EQ(value.as_uint64(), 0u);
  EXPECT_EQ(std::string(value.error_text()), reason("", "__uint64", false));
}

TEST(xmc_value_test, failures_accumulate_until_a_conversion_succeeds) {
  xmc_value_c value("x");
  value.as_int();
  value.as_short();
  value.as_product();
  EXPECT_EQ(std::string(value.error_text()), reason("x", "int", false) + reason("x", "short", false) +
                                                 "Unable to convert \"x\" to Product");
  value.set_text("5");  // a new text does not forget the reasons
  EXPECT_NE(std::string(value.error_text()), "");
  EXPECT_EQ(value.as_int(), 5);
  EXPECT_STREQ(value.error_text(), "");
  EXPECT_FALSE(value.error());
}

TEST(xmc_value_test, enumeration_getters_give_the_position_or_the_item_count) {
  struct case_s {
    uint32_t (xmc_value_c::*getter)();
    const char* name;
    const char* item;
    uint32_t position;
    uint32_t not_found;
  } cases[] = {
      {&xmc_value_c::as_product, "Product", "Ha", 1, 4},
      {&xmc_value_c::as_application, "Application", "CustomApp", 12, 13},
      {&xmc_value_c::as_config_mode, "ConfigMode", "Assessment", 4, 8},
      {&xmc_value_c::as_replication_mode, "ReplicationMode", "Scheduling", 1, 4},
      {&xmc_value_c::as_bandwidth, "Bandwidth", "Unlimited", 15, 16},
      {&xmc_value_c::as_host_task, "HostTask", "Replica", 3, 4},
      {&xmc_value_c::as_schedule, "Schedule", "WeeklyActivity", 1, 2},
      {&xmc_value_c::as_synchronization_type, "SynchronizationType", "FileSynchronization", 0, 3},
      {&xmc_value_c::as_virtual_hard_disk_type, "VirtualHardDiskType", "FixSize", 1, 2},
      {&xmc_value_c::as_virtual_platform_type, "VirtualPlatformType", "ScaleHC3Cluster", 8, 9},
      {&xmc_value_c::as_ec2_ebs_volume_type, "EC2EBSVolumeType", "io1", 1, 3},
      {&xmc_value_c::as_azure_disk_type, "AzureDiskType", "Standard_LRS", 2, 3},
      {&xmc_value_c::as_virtual_machine_nic_type, "VirtualMachineNICType", "virtio", 6, 7},
      {&xmc_value_c::as_secure_communication_level, "SecureCommunicationLevel", "3", 3, 4},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.name);
    xmc_value_c found(c.item);
    EXPECT_EQ((found.*c.getter)(), c.position);
    EXPECT_STREQ(found.error_text(), "");
    xmc_value_c missing("HA");
    EXPECT_EQ((missing.*c.getter)(), c.not_found);
    EXPECT_EQ(std::string(missing.error_text()), std::string("Unable to convert \"HA\" to ") + c.name);
    EXPECT_TRUE(missing.error());
  }
}

TEST(xmc_value_test, a_list_value_is_its_entries_joined) {
  xmc_value_c value;
  value.add_entry("a");
  value.add_entry("b");
  EXPECT_STREQ(value.as_string(), "a, b");
  EXPECT_STREQ(value.text(), "a, b");

  xmc_value_c copy(value);
  ASSERT_NE(copy.entries(), nullptr);
  EXPECT_NE(copy.entries(), value.entries());  // a deep copy
  value.add_entry("c");
  EXPECT_STREQ(copy.as_string(), "a, b");
  EXPECT_FALSE(copy.is_equal(value));

  value.set_text("plain");  // a text ends the list
  EXPECT_EQ(value.entries(), nullptr);
  EXPECT_STREQ(value.as_string(), "plain");

  copy.reset();  // cleared, not deleted: the list keeps its clear mark
  ASSERT_NE(copy.entries(), nullptr);
  EXPECT_EQ(copy.entries()->count(), 0u);
  EXPECT_EQ(copy.entries()->flags(), 1u);
  EXPECT_STREQ(copy.as_string(), "");
  EXPECT_TRUE(copy.error());  // as unset as a reset single value
  EXPECT_EQ(copy.type(), value_c::UNDEFINED);
  copy.add_entry("z");
  EXPECT_STREQ(copy.as_string(), "z");
}

TEST(xmc_value_test, reset_and_copy_keep_what_they_must) {
  xmc_value_c value("abc");
  value.set_type_name("String");
  value.set_lookup_status(1);
  value.as_int();
  xmc_value_c copy(value);
  EXPECT_STREQ(copy.type_name(), "String");
  EXPECT_EQ(copy.lookup_status(), 0);
  EXPECT_STREQ(copy.text(), "abc");
  EXPECT_STREQ(copy.error_text(), "");
  value.reset();
  EXPECT_EQ(value.type_name(), nullptr);
  EXPECT_EQ(value.lookup_status(), 0);
  EXPECT_STREQ(value.error_text(), "");
  EXPECT_STREQ(value.text(), "");
  EXPECT_EQ(value.type(), value_c::UNDEFINED);
  EXPECT_TRUE(value.error());
}

TEST(xmc_value_test, equality_compares_texts_exactly) {
  xmc_value_c absent_a, absent_b, empty(""), a("a"), upper("A");
  EXPECT_TRUE(absent_a.is_equal(absent_b));
  EXPECT_FALSE(absent_a.is_equal(empty));
  EXPECT_FALSE(empty.is_equal(absent_a));
  EXPECT_FALSE(a.is_equal(upper));
  xmc_value_c number(static_cast<int32_t>(-7));
  xmc_value_c text("-7");
  EXPECT_TRUE(number.is_equal(text));
}

TEST(xmc_value_test, string_array_clear_and_copy_carry_the_flag_word) {
  xmc_string_array_c a;
  EXPECT_EQ(a.flags(), 0u);
  a.add("x");
  a.add("y");
  xmc_string_array_c b;
  b.add("old");
  b.copy_from(a);  // clears the target first, then takes the flag word
  EXPECT_EQ(b.flags(), 0u);
  ASSERT_EQ(b.count(), 2u);
  EXPECT_STREQ(b.at(1), "y");
  a.clear();
  EXPECT_EQ(a.count(), 0u);
  EXPECT_EQ(a.flags(), 1u);
  b.copy_from(a);
  EXPECT_EQ(b.count(), 0u);
  EXPECT_EQ(b.flags(), 1u);
}

TEST(xmc_value_test, the_base_configuration_provides_nothing_but_its_id) {
  conf_c a(6789), b(6789), c(6799);
  EXPECT_EQ(a.build_item(), nullptr);
  EXPECT_FALSE(a.check_xmc_validity(nullptr, nullptr));
  EXPECT_FALSE(a.check_consistency(nullptr, nullptr));
  EXPECT_EQ(a.reserved(), 0);
  EXPECT_TRUE(a.same_id(b));
  EXPECT_FALSE(a.same_id(c));
}
