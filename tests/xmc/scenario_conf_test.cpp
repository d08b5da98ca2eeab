#include "default_scenario.h"
#include "xmc/generic_conf.h"
#include "xmc/scenario_conf.h"

#include "platform/trc/zqtr.h"
#include "support/temp_dir.h"
#include "xmc/generic_template.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace xmc_test_n;

namespace {

// Indexes the tests name.
enum : uint32_t {
  S_SCENARIO_ID = 0,
  S_CONFIG_MODE = 2,
  S_SCENARIO_NAME = 3,
  S_SWITCHOVER_STATUS = 30,
  S_DNS_SERVER_IPS = 41,
  S_HEARTBEAT = 71,
  H_PORT = 4,
  H_INDEX = 5,
  H_COMPRESS = 7,
  H_DELAY = 29,
  H_TARGET_FILE = 62,
  H_REPORT_STATUS = 67,
  H_REPORT_EMAIL_TO = 81,
  G_GROUP_NAME = 2,
};

std::string text(xmc_value_c& value) { return value.as_string(); }

class scenario_conf_test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(generic_conf_instance, nullptr);
    m_conf = make_scenario();
  }
  std::unique_ptr<scenario_conf_c> m_conf;
};

}  // namespace

TEST(scenario_conf_no_tree_test, every_read_says_the_tree_is_missing) {
  scenario_conf_c conf;
  xmc_value_c value("old");
  zqtr_capture_c capture;
  conf.get_scenario_data(S_SCENARIO_NAME, value);
  EXPECT_EQ(value.lookup_status(), 1);
  EXPECT_STREQ(value.error_text(), "XMC tree is missing");
  EXPECT_STREQ(value.as_string(), "");
  conf.get_host_data(H_PORT, 1, value);
  EXPECT_STREQ(value.error_text(), "XMC tree is missing");
  xmc_value_c name("x");
  EXPECT_FALSE(conf.set_scenario_data(S_SCENARIO_NAME, name, false));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "XMC tree is missing"));
}

TEST_F(scenario_conf_test, scenario_fields_read_with_their_type) {
  xmc_value_c value;
  m_conf->get_scenario_data(S_SCENARIO_NAME, value);
  EXPECT_EQ(value.lookup_status(), 0);
  EXPECT_EQ(text(value), "Scenario");
  EXPECT_STREQ(value.type_name(), "String");
  m_conf->get_scenario_data(S_CONFIG_MODE, value);
  EXPECT_EQ(text(value), "Regular");
  EXPECT_STREQ(value.type_name(), "ConfigMode");
  EXPECT_EQ(value.as_config_mode(), 1u);
  m_conf->get_scenario_data(S_SWITCHOVER_STATUS, value);
  EXPECT_EQ(text(value), "True");
  EXPECT_STREQ(value.type_name(), "Bool");
  m_conf->get_scenario_data(S_HEARTBEAT, value);
  EXPECT_EQ(value.as_int(), 30);
  m_conf->get_scenario_data(S_DNS_SERVER_IPS, value);  // a list: its entries (none)
  ASSERT_NE(value.entries(), nullptr);
  EXPECT_EQ(value.entries()->count(), 0u);
  EXPECT_STREQ(value.type_name(), "IPAddr");
  m_conf->get_scenario_data(200, value);
  EXPECT_EQ(value.lookup_status(), 1);
  EXPECT_STREQ(value.error_text(), "Lookup Error");
  m_conf->get_scenario_data(108, value);  // SchedulerReplMode lies in a data item
  EXPECT_EQ(value.lookup_status(), 1);
  EXPECT_STREQ(value.error_text(), "Unable to find node with property status");
}

TEST_F(scenario_conf_test, fixed_fields_and_types_on_writing) {
  zqtr_capture_c capture;
  xmc_value_c id("7");
  EXPECT_FALSE(m_conf->set_scenario_data(S_SCENARIO_ID, id, false));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to reset fixed property \"Scenario.ScenarioID\""));
  EXPECT_TRUE(m_conf->set_scenario_data(S_SCENARIO_ID, id, true));
  xmc_value_c read;
  EXPECT_EQ(text(m_conf->get_scenario_data(S_SCENARIO_ID, read)), "7");
  xmc_value_c letters("abc");
  EXPECT_FALSE(m_conf->set_scenario_data(S_SCENARIO_ID, letters, true));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to set \"Scenario.ScenarioID\" = \"abc\", type doesn't fit"));
  xmc_value_c heartbeat("50");
  EXPECT_TRUE(m_conf->set_scenario_data_by_path("switchover.heartbeattimeout", heartbeat, false));
  EXPECT_EQ(m_conf->get_scenario_data(S_HEARTBEAT, read).as_int(), 50);
  xmc_value_c status("Maybe");
  EXPECT_FALSE(m_conf->set_scenario_data(S_SWITCHOVER_STATUS, status, false));
  xmc_value_c off("False");
  EXPECT_TRUE(m_conf->set_scenario_data(S_SWITCHOVER_STATUS, off, false));
  EXPECT_EQ(text(m_conf->get_scenario_data(S_SWITCHOVER_STATUS, read)), "False");
  EXPECT_FALSE(m_conf->set_scenario_data_by_path("Nowhere.Nothing", off, true));
}

TEST_F(scenario_conf_test, hosts_and_the_manager) {
  xmc_value_c value;
  EXPECT_EQ(text(m_conf->get_host_data(H_INDEX, 1, value)), "1");
  EXPECT_EQ(text(m_conf->get_host_data(H_INDEX, 2, value)), "2");
  m_conf->get_host_data(H_INDEX, 9, value);
  EXPECT_STREQ(value.error_text(), "Unable to find host node with index 9");
  // The master's search does not wander into the replica nested in it.
  m_conf->get_host_data(H_DELAY, 1, value);
  EXPECT_STREQ(value.error_text(), "Unable to find node \"SpecificReplicaProps\" with property \"Delay\", host Master");
  EXPECT_EQ(text(m_conf->get_host_data(H_DELAY, 2, value)), "False");

  // The manager reads the report of the scenario's manager data.
  xmc_value_c off("False");
  ASSERT_TRUE(m_conf->set_host_data(H_REPORT_STATUS, scenario_conf_c::k_manager, off));
  EXPECT_EQ(text(m_conf->get_host_data(H_REPORT_STATUS, scenario_conf_c::k_manager, value)), "False");
  EXPECT_EQ(text(m_conf->get_host_data(H_REPORT_STATUS, 1, value)), "True");
  m_conf->get_host_data(H_COMPRESS, scenario_conf_c::k_manager, value);
  EXPECT_STREQ(value.error_text(), "Node \"CommonHostProps\" with property \"Compress\" is irrelevant for Manager Data");
  zqtr_capture_c capture;
  EXPECT_FALSE(m_conf->set_host_data(H_COMPRESS, scenario_conf_c::k_manager, off));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Node \"CommonHostProps\"  with property \"Compress\"  is irrelevant for Manager Data"));
  EXPECT_FALSE(m_conf->set_host_data(H_DELAY, 1, off));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to find node \"SpecificReplicaProps\" with property \"Delay\", host Master"));
  EXPECT_FALSE(m_conf->set_host_data(H_PORT, 5, off));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to find host node with index 5"));

  xmc_value_c port("26000");
  EXPECT_TRUE(m_conf->set_host_data_all(H_PORT, port));  // CommonHostProps: the master too
  EXPECT_EQ(text(m_conf->get_host_data(H_PORT, 1, value)), "26000");
  EXPECT_EQ(text(m_conf->get_host_data(H_PORT, 2, value)), "26000");
  xmc_value_c on("True");
  EXPECT_TRUE(m_conf->set_host_data_all(H_DELAY, on));  // replicas only
  EXPECT_EQ(text(m_conf->get_host_data(H_DELAY, 2, value)), "True");
}

TEST_F(scenario_conf_test, list_fields_replace_their_children) {
  xmc_value_c list;
  list.add_entry("a");
  list.add_entry("b");
  ASSERT_TRUE(m_conf->set_host_data(H_REPORT_EMAIL_TO, 2, list));
  xmc_value_c read;
  m_conf->get_host_data(H_REPORT_EMAIL_TO, 2, read);
  EXPECT_EQ(text(read), "a, b");
  xmc_item_c* report = xmc_conf_c::find_object(m_conf->host_tree().find(2)->repl_node, "ReportNotifyEmail");
  xmc_item_c* field = xmc_conf_c::find_data(report, "EmailAddressTo");
  ASSERT_NE(field, nullptr);
  ASSERT_EQ(field->count_children(false), 2u);
  for (xml_item_c* child = field->first_item(); child != nullptr; child = child->next_item()) {
    EXPECT_STREQ(xmc_item_c::attr_text(child, "label"), "EmailAddressTo");
    EXPECT_STREQ(xmc_item_c::attr_text(child, "type"), "String");
  }
  zqtr_capture_c capture;
  xmc_value_c addresses;
  addresses.add_entry("10.0.0.1");
  addresses.add_entry("x");
  EXPECT_FALSE(m_conf->set_scenario_data(S_DNS_SERVER_IPS, addresses, false));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to set list strings, value \"x\" doesn't fit type"));
  xmc_value_c single("10.0.0.1");
  EXPECT_FALSE(m_conf->set_scenario_data(S_DNS_SERVER_IPS, single, false));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to set list strings, input is invalid"));
}

TEST_F(scenario_conf_test, reloading_objects) {
  zqtr_capture_c capture;
  EXPECT_FALSE(m_conf->reload_object(TAG_SWITCHOVER, 2));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to reload Scenario object Switchover with index 1"));
  EXPECT_FALSE(m_conf->reload_object(38, 0));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to reload Host object TriggerFile, host index must be set"));
  for (uint32_t tag : {TAG_SCENARIO, TAG_REPL_NODE, TAG_ROOT_DIR}) {
    EXPECT_FALSE(m_conf->reload_object(tag, 1));
    EXPECT_TRUE(capture.has(ZQTR_FAIL, std::string("Unable to reload Basic object ") + object_tag_table[tag].label +
                                           " with index " + std::to_string(tag)));
  }
  EXPECT_FALSE(m_conf->reload_object(38, 7));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to find host node with index 7"));

  xmc_value_c target("C:/trigger");
  ASSERT_TRUE(m_conf->set_host_data(H_TARGET_FILE, 2, target));
  ASSERT_TRUE(m_conf->reload_object(38, 2));
  xmc_value_c read;
  EXPECT_EQ(text(m_conf->get_host_data(H_TARGET_FILE, 2, read)), "");  // the configurator's default again
  EXPECT_EQ(m_conf->host_tree().host_count(), 1u);
  EXPECT_EQ(m_conf->host_tree().find(2)->root_dirs.count(), 1u);
}

TEST_F(scenario_conf_test, readers_and_a_writer_at_once) {
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      xmc_value_c value;
      while (!stop.load()) {
        const std::string seen = text(m_conf->get_scenario_data(S_HEARTBEAT, value));
        if (seen != "30" && seen != "40") ++torn;
      }
    });
  }
  xmc_value_c thirty("30"), forty("40");
  for (int i = 0; i < 2000; ++i) ASSERT_TRUE(m_conf->set_scenario_data(S_HEARTBEAT, i % 2 == 0 ? forty : thirty, false));
  stop = true;
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(torn.load(), 0);
}

TEST(scenario_conf_group_test, group_fields_come_from_the_group_object) {
  ASSERT_NE(generic_conf_instance, nullptr);
  xmc_value_c value;
  EXPECT_EQ(text(generic_conf_instance->get_group_data(G_GROUP_NAME, value)), "Group");
  EXPECT_STREQ(value.type_name(), "String");
}

TEST(scenario_file_test, load_and_save) {
  ASSERT_NE(generic_conf_instance, nullptr);
  test_support_n::temp_dir_c dir;
  const std::string path = dir.file("scenario.xml");
  {
    std::unique_ptr<scenario_conf_c> made = make_scenario();
    xmc_value_c mode("Assessment");
    ASSERT_TRUE(made->set_scenario_data(S_CONFIG_MODE, mode, true));
    ASSERT_TRUE(made->save_file(path.c_str()));
  }
  scenario_conf_c conf;
  utl_stream_c reason;
  ASSERT_TRUE(conf.load_file(path.c_str(), &reason)) << reason.c_str();
  EXPECT_EQ(conf.config_mode(), CONFIG_MODE_ASSESSMENT);
  EXPECT_EQ(conf.product(), PRODUCT_HA);
  EXPECT_EQ(conf.application(), 0u);
  EXPECT_FALSE(conf.assured_recovery());
  EXPECT_EQ(conf.host_tree().host_count(), 1u);
  EXPECT_EQ(conf.host_tree().find(2)->root_dirs.count(), 1u);

  // The template itself: a ConfigDataHolder holding a Scenario, whose "variable" texts are no items.
  const std::string holder = dir.file("holder.xml");
  utl_stream_c text;
  test_support_n::write_text_file(holder, generic_template_n::join(text));
  ASSERT_TRUE(conf.load_file(holder.c_str(), &reason)) << reason.c_str();
  EXPECT_STREQ(xmc_item_c::attr_text(conf.tree()->root, "label"), "Scenario");
  EXPECT_EQ(conf.product(), PRODUCT_NONE);
  EXPECT_EQ(conf.application(), APPLICATION_NONE);
  EXPECT_EQ(conf.config_mode(), CONFIG_MODE_REGULAR);

  struct case_s {
    const char* name;
    const char* content;
    const char* why;
  } refused[] = {{"text.xml", "no XML at all",
                  "it cannot be read as an XML document: line 1, column 14: the input ends before the XML declaration "
                  "<?xml version=\"1.0\"?>"},
                 {"group.xml", "<?xml version=\"1.0\"?>\n<object label=\"Group\" id=\"8000\"/>\n", "it holds no Scenario object"},
                 {"missing.xml", nullptr, "there is no such file"},
                 {"bad\xff.xml", nullptr, "its name is not UTF-8 text"}};
  for (const case_s& c : refused) {
    SCOPED_TRACE(c.name);
    if (c.content != nullptr) test_support_n::write_text_file(dir.file(c.name), c.content);
    reason << '\x01';
    EXPECT_FALSE(conf.load_file(dir.file(c.name).c_str(), &reason));
    EXPECT_STREQ(reason.c_str(), c.why);
    EXPECT_STREQ(xmc_item_c::attr_text(conf.tree()->root, "label"), "Scenario");  // left as it was
  }
  EXPECT_FALSE(conf.save_file(dir.file("no/such/dir/s.xml").c_str()));
}

std::string scenario_name_of(scenario_conf_c& conf) {
  xmc_value_c value;
  conf.get_scenario_data(S_SCENARIO_NAME, value);
  return value.as_string();
}

// Two writers of one scenario file: the one that loaded before the other saved does not write over
// the other's change; it is told, and a load again sees it.
TEST(scenario_file_test, a_save_never_writes_over_a_change_made_since_the_load) {
  ASSERT_NE(generic_conf_instance, nullptr);
  test_support_n::temp_dir_c dir;
  const std::string path = dir.file("scenario.xml");
  ASSERT_TRUE(make_scenario()->save_file(path.c_str()));
  scenario_conf_c early, late;
  utl_stream_c reason;
  ASSERT_TRUE(early.load_file(path.c_str(), &reason));
  ASSERT_TRUE(late.load_file(path.c_str(), &reason));
  xmc_value_c late_name("late"), early_name("early");
  ASSERT_TRUE(late.set_scenario_data(S_SCENARIO_NAME, late_name, false));
  ASSERT_TRUE(late.save_file(path.c_str(), &reason)) << reason.c_str();
  ASSERT_TRUE(late.save_file(path.c_str(), &reason)) << "its own save is no other writer's change";
  ASSERT_TRUE(early.set_scenario_data(S_SCENARIO_NAME, early_name, false));
  zqtr_capture_c capture(ZQTR_FAIL);
  reason << '\x01';
  EXPECT_FALSE(early.save_file(path.c_str(), &reason));
  EXPECT_STREQ(reason.c_str(),
               "another writer changed it since it was loaded (nothing was written: load it again and repeat the change)");
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to save scenario file " + path + ", " + reason.c_str()));
  scenario_conf_c after;
  ASSERT_TRUE(after.load_file(path.c_str(), &reason));
  EXPECT_EQ(scenario_name_of(after), "late");
  // Loaded again, the change lands.
  ASSERT_TRUE(early.load_file(path.c_str(), &reason));
  ASSERT_TRUE(early.set_scenario_data(S_SCENARIO_NAME, early_name, false));
  EXPECT_TRUE(early.save_file(path.c_str(), &reason)) << reason.c_str();
  // Saved elsewhere, nothing is compared.
  EXPECT_TRUE(late.save_file(dir.file("copy.xml").c_str(), &reason)) << reason.c_str();
}

TEST(scenario_file_test, a_held_file_keeps_other_writers_out_until_it_is_released) {
  ASSERT_NE(generic_conf_instance, nullptr);
  test_support_n::temp_dir_c dir;
  const std::string path = dir.file("scenario.xml");
  ASSERT_TRUE(make_scenario()->save_file(path.c_str()));
  scenario_conf_c holder, other;
  utl_stream_c reason;
  ASSERT_TRUE(holder.hold_file(path.c_str(), &reason)) << reason.c_str();
  ASSERT_TRUE(holder.load_file(path.c_str(), &reason));
  xmc_value_c name("held");
  ASSERT_TRUE(holder.set_scenario_data(S_SCENARIO_NAME, name, false));
  EXPECT_FALSE(other.hold_file(path.c_str(), &reason, 100));
  EXPECT_NE(std::string(reason.c_str()).find("another writer of " + path), std::string::npos) << reason.c_str();
  EXPECT_TRUE(other.file_kept_by_another());
  EXPECT_TRUE(holder.save_file(path.c_str(), &reason)) << "the holder's save uses its own hold: " << reason.c_str();
  holder.release_file();
  EXPECT_TRUE(other.hold_file(path.c_str(), &reason, 100)) << reason.c_str();
  ASSERT_TRUE(other.load_file(path.c_str(), &reason));
  EXPECT_EQ(scenario_name_of(other), "held");
  // A lock that cannot be made is kept by nobody (no directory to make it in: the caller reports a
  // file it cannot load, not a busy one), also right after a wait for one that was.
  scenario_conf_c third;
  EXPECT_FALSE(third.hold_file(path.c_str(), &reason, 100)) << "the other holds it";
  EXPECT_TRUE(third.file_kept_by_another());
  EXPECT_FALSE(third.hold_file(dir.file("none/scenario.xml").c_str(), &reason, 100));
  EXPECT_FALSE(third.file_kept_by_another()) << reason.c_str();
}

TEST_F(scenario_conf_test, texts_a_file_cannot_keep_are_refused) {
  // Each text an XML file cannot carry, refused with the field named and the fault in words.
  const struct {
    const char* text;
    const char* fault;
  } cases[] = {
      {"bad\xffname", "holds a byte 0xFF"},
      {"two\nlines", "holds a line end"},
      {"a\x01" "c", "holds a control character (below 0x20, other than tab), which XML cannot carry"},
      {"bell\x07", "holds a control character (below 0x20, other than tab), which XML cannot carry"},
      {"caf\xe9", "is not valid UTF-8 text"},
      {"\xc0\xaf", "is not valid UTF-8 text"},            // an overlong '/'
      {"\xed\xa0\x80", "is not valid UTF-8 text"},        // a surrogate
      {"x\xef\xbf\xbf", "holds U+FFFE or U+FFFF, which XML cannot carry"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    zqtr_capture_c capture;
    xmc_value_c value(c.text);
    EXPECT_FALSE(m_conf->set_scenario_data(S_SCENARIO_NAME, value, false));
    EXPECT_TRUE(capture.has(ZQTR_FAIL, std::string("Unable to set \"Scenario.ScenarioName\", the text ") + c.fault));
    xmc_value_c list;
    list.add_entry("a@x");
    list.add_entry(c.text);
    EXPECT_FALSE(m_conf->set_host_data(H_REPORT_EMAIL_TO, 2, list));
    EXPECT_TRUE(capture.has(ZQTR_FAIL, std::string("Unable to set list strings of \"EmailAddressTo\", an entry ") + c.fault));
  }
  // A tab, and any valid UTF-8 text, are written.
  xmc_value_c fine("Gr\xc3\xbc\xc3\x9f\te \xf0\x9f\x98\x80");
  EXPECT_TRUE(m_conf->set_scenario_data(S_SCENARIO_NAME, fine, false));
  xmc_value_c read;
  EXPECT_EQ(text(m_conf->get_scenario_data(S_SCENARIO_NAME, read)), "Gr\xc3\xbc\xc3\x9f\te \xf0\x9f\x98\x80");
}
