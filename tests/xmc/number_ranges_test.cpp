// Number fields that name something of a fixed width: what the setters, the path writes and the
// validity check let them hold.
#include "default_scenario.h"
#include "xmc/generic_conf.h"
#include "xmc/number_ranges.h"
#include "xmc/scenario_conf.h"

#include "platform/trc/zqtr.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace xmc_test_n;

namespace {

}  // namespace

TEST(number_ranges_test, a_scenario_id_is_32_bits_unsigned_wherever_it_is_written_or_checked) {
  ASSERT_NE(generic_conf_instance, nullptr);
  const struct {
    const char* text;
    bool fits;
  } cases[] = {
      {"0", true},           {"4294967295", true}, {" 17 ", true},  {"4294967296", false},
      {"-1", false},         {"-5", false},        {"0x10", false}, {"18446744073709551615", false},
      {"99999999999999999999999", false},
  };
  const uint32_t id = scenario_field("Scenario.ScenarioID");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::unique_ptr<scenario_conf_c> conf = make_scenario();
    zqtr_capture_c capture;
    xmc_value_c value(c.text);
    EXPECT_EQ(conf->set_scenario_data(id, value, true), c.fits);
    EXPECT_EQ(conf->set_data_by_path("Scenario.ScenarioID", 0, value, true), c.fits);
    EXPECT_EQ(conf->set_data_by_path("ScenarioID", 0, value, true), c.fits);
    if (!c.fits) {
      EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to set \"Scenario.ScenarioID\" = \"" + std::string(c.text) +
                                             "\", a scenario id is a decimal number from 0 to 4294967295") ||
                  capture.has(ZQTR_FAIL, "Unable to set \"Scenario.ScenarioID\" = \"" + std::string(c.text) +
                                             "\", type doesn't fit"));
    }
    // Written by hand, the validity check reports it as a number outside its range (code 24).
    xmc_conf_c::find_data(conf->tree()->root, "ScenarioID")->set_attr("val", c.text);
    xmc_validity_c validity;
    conf->check_xmc_validity(&validity);
    bool reported = false;
    for (uint64_t i = 0; i < validity.count(); ++i) {
      const ch_data_s* f = validity.at(i);
      if (std::string(f->path.c_str()) != "Scenario.ScenarioID") continue;
      reported = true;
      EXPECT_EQ(f->host, 0u);
      EXPECT_TRUE(f->code == 24 || f->code == 12) << f->code;
      EXPECT_EQ(std::string(f->value.c_str()), c.text);
    }
    EXPECT_EQ(reported, !c.fits);
  }
}

TEST(number_ranges_test, the_ranged_fields) {
  char buffer[128];
  const number_range_s* id = number_ranges_n::of("Scenario", "ScenarioID");
  ASSERT_NE(id, nullptr);
  EXPECT_STREQ(number_ranges_n::rule(*id, buffer, sizeof buffer), "a scenario id is a decimal number from 0 to 4294967295");
  const number_range_s* host = number_ranges_n::of("CommonHostProps", "Index");
  ASSERT_NE(host, nullptr);
  EXPECT_FALSE(number_ranges_n::fits(*host, "0"));
  EXPECT_TRUE(number_ranges_n::fits(*host, "4294967293"));
  EXPECT_FALSE(number_ranges_n::fits(*host, "4294967294"));  // the manager's
  EXPECT_EQ(number_ranges_n::of("CommonHostProps", "Port"), nullptr);
}

TEST(number_ranges_test, an_empty_value_shows_no_value) {
  ASSERT_NE(generic_conf_instance, nullptr);
  std::unique_ptr<scenario_conf_c> conf = make_scenario();
  // A mandatory Text item: empty, it is the empty-value finding (an empty String or Number would
  // not fit its type first).
  xmc_item_c* note = xmc_item_c::add_xmc_child("data", conf->tree()->root);
  note->set_attr("label", "Note");
  note->set_attr("val", "");
  note->set_attr("type", "Text");
  note->set_attr("mandatory", "True");
  xmc_validity_c validity;
  conf->check_xmc_validity(&validity);
  bool found = false;
  for (uint64_t i = 0; i < validity.count(); ++i) {
    const ch_data_s* f = validity.at(i);
    if (f->code != 5 || std::string(f->path.c_str()) != "Scenario.Note") continue;
    found = true;
    EXPECT_EQ(std::string(f->value.c_str()), "");
  }
  EXPECT_TRUE(found);
}
