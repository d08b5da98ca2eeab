// Object configurations, the group's entries for its scenarios, virtual network mappings and
// watched services of a scenario configuration.
#include "xmc/conf_object.h"
#include "xmc/scenario_conf.h"

#include "platform/trc/zqtr.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A configuration whose tree is the given document.
std::unique_ptr<scenario_conf_c> conf_from(const std::string& body) {
  auto conf = std::make_unique<scenario_conf_c>(1);
  const std::string text = "<?xml version=\"1.0\"?>\n" + body;
  EXPECT_TRUE(conf->tree()->load_from_str(text.c_str()));
  conf->_build_host_tree();
  return conf;
}

// An object configuration that remembers the label of the item it was made from.
class label_conf_c : public conf_c {
 public:
  explicit label_conf_c(std::string label) : conf_c(0), label(std::move(label)) {}
  std::string label;
};

class label_creator_c : public conf_object_creator_c {
 public:
  explicit label_creator_c(uint32_t id, bool makes = true) : conf_object_creator_c(id), m_makes(makes) {}
  conf_c* create(const xml_item_c* item) override {
    ++calls;
    if (!m_makes) return nullptr;
    const char* label = xmc_item_c::attr_text(item, "label");
    return new label_conf_c(label == nullptr ? "" : label);
  }
  int calls = 0;

 private:
  bool m_makes;
};

// Registers a creator for the test's lifetime.
class registered_c {
 public:
  explicit registered_c(conf_object_creator_c& creator) : m_creator(creator) {
    m_added = conf_object_registry_c::instance().add(&creator);
  }
  ~registered_c() {
    if (m_added) conf_object_registry_c::instance().remove(&m_creator);
  }
  bool added() const { return m_added; }

 private:
  conf_object_creator_c& m_creator;
  bool m_added;
};

const char* const k_scenario_with_external =
    "<object label=\"Scenario\" id=\"1000\">"
    "<data label=\"ScenarioName\" val=\"Mail\" type=\"String\"/>"
    "<object label=\"External\" id=\"6000\" external=\"True\">"
    "<object label=\"cdp\" id=\"6789\"><data label=\"SqlDbName\" val=\"x\"/></object>"
    "<object label=\"db\" id=\"6799\"><table name=\"t\"/></object>"
    "</object></object>";

}  // namespace

TEST(conf_object_registry_test, the_first_creator_of_an_id_stays) {
  label_creator_c first(990001), second(990001), other(990002);
  registered_c a(first);
  ASSERT_TRUE(a.added());
  registered_c b(second);
  EXPECT_FALSE(b.added());
  registered_c c(other);
  EXPECT_TRUE(c.added());
  std::unique_ptr<conf_c> made(conf_object_registry_c::instance().create(990001, nullptr));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(first.calls, 1);
  EXPECT_EQ(second.calls, 0);
  EXPECT_EQ(conf_object_registry_c::instance().create(990003, nullptr), nullptr);
  EXPECT_FALSE(conf_object_registry_c::instance().remove(&second));
  // Taken out (the last one as well), a creator is asked no more.
  EXPECT_TRUE(conf_object_registry_c::instance().remove(&other));
  EXPECT_FALSE(conf_object_registry_c::instance().has_creator(990002));
  EXPECT_TRUE(conf_object_registry_c::instance().add(&other));
}

TEST(scenario_object_conf_test, kept_per_id_and_made_by_the_registered_creator) {
  label_creator_c creator(990789);
  registered_c registration(creator);
  ASSERT_TRUE(registration.added());
  auto conf = conf_from(k_scenario_with_external);
  xml_item_c* external = conf->find_object(conf->tree()->root, "External");
  ASSERT_NE(external, nullptr);
  xml_item_c* cdp = external->first_item();
  cdp->set_attr("id", "990789");
  conf_c* made = conf->_get_generic_object(cdp);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->id(), 990789u);
  EXPECT_EQ(static_cast<label_conf_c*>(made)->label, "cdp");
  EXPECT_EQ(conf->_get_generic_object(cdp), made);  // kept, not made again
  EXPECT_EQ(creator.calls, 1);
  EXPECT_EQ(conf->object_conf_count(), 1u);

  // An item without a usable id makes nothing and asks nobody.
  xmc_item_c bare("object");
  EXPECT_EQ(conf->_get_generic_object(&bare), nullptr);
  bare.set_attr("id", "0");
  EXPECT_EQ(conf->_get_generic_object(&bare), nullptr);
  bare.set_attr("id", "x990789");
  EXPECT_EQ(conf->_get_generic_object(&bare), nullptr);
  EXPECT_EQ(conf->_get_generic_object(nullptr), nullptr);
  EXPECT_EQ(creator.calls, 1);
}

TEST(scenario_object_conf_test, the_database_object_and_its_messages) {
  // The library's creator steps aside for the test's own.
  conf_object_registry_c& registry = conf_object_registry_c::instance();
  conf_object_creator_c* library_creator = registry.creator(scenario_conf_c::k_db_object_id);
  ASSERT_NE(library_creator, nullptr);
  ASSERT_TRUE(registry.remove(library_creator));
  struct restore_s {
    conf_object_creator_c* creator;
    ~restore_s() { conf_object_registry_c::instance().add(creator); }
  } restore{library_creator};
  {
    // No creator for the database object: said, and nothing kept.
    auto conf = conf_from(k_scenario_with_external);
    zqtr_capture_c capture;
    EXPECT_EQ(conf->get_generic_object(), nullptr);
    EXPECT_TRUE(capture.has(ZQTR_FAIL, "Fabric returned zero for object with id=6799 in \"External\", Scenario name Mail"));
    EXPECT_EQ(conf->object_conf_count(), 0u);
  }
  label_creator_c creator(scenario_conf_c::k_db_object_id);
  registered_c registration(creator);
  ASSERT_TRUE(registration.added());
  auto conf = conf_from(k_scenario_with_external);
  conf_c* db = conf->get_generic_object();
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(static_cast<label_conf_c*>(db)->label, "db");
  EXPECT_EQ(conf->get_generic_object(), db);
  EXPECT_EQ(creator.calls, 1);

  struct case_s {
    const char* body;
    const char* message;
  };
  const case_s cases[] = {
      {"<object label=\"Scenario\" id=\"1000\"><data label=\"ScenarioName\" val=\"S\" type=\"String\"/></object>",
       "Unable to find object External with ID=6799 in \"S\""},
      {"<object label=\"Scenario\" id=\"1000\"><object label=\"External\" id=\"6000\" external=\"True\">"
       "<object label=\"cdp\" id=\"6789\"/></object></object>",
       "Unable to find object External with ID=6799 in \"UnKnown\""},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.body);
    auto other = conf_from(c.body);
    zqtr_capture_c capture;
    EXPECT_EQ(other->get_generic_object(), nullptr);
    EXPECT_TRUE(capture.has(ZQTR_DETAIL, c.message));
  }
}

namespace {

const char* const k_group =
    "<object label=\"Group\" id=\"8000\">"
    "<data label=\"GroupName\" val=\"G\" type=\"String\"/>"
    "<data label=\"ScenarioList\" val=\"8010\" type=\"MultiEntry\">"
    "<object label=\"ScenarioInfo\" id=\"8010\"><data label=\"ScenarioID\" val=\"11\" type=\"Number\"/>"
    "<data label=\"DescendantID\" val=\"0\" type=\"Number\"/></object>"
    "<object label=\"ScenarioInfo\" id=\"8010\"><data label=\"ScenarioID\" val=\"12\" type=\"Number\"/>"
    "<data label=\"DescendantID\" val=\"5\" type=\"Number\"/>"
    "<data label=\"HostList\" val=\"8020\" type=\"MultiEntry\">"
    "<object label=\"HostProps\" id=\"8020\"><data label=\"Host\" val=\"alpha\" type=\"String\"/>"
    "<data label=\"Index\" val=\"1\" type=\"Number\"/><data label=\"Role\" val=\"Master\" type=\"HostTask\"/></object>"
    "<object label=\"HostProps\" id=\"8020\"><data label=\"Host\" val=\"beta\" type=\"String\"/>"
    "<data label=\"Index\" val=\"2\" type=\"Number\"/><data label=\"Role\" val=\"Replica\" type=\"HostTask\"/></object>"
    "</data></object>"
    "</data></object>";

}  // namespace

TEST(scenario_in_group_test, entries_found_by_scenario_id) {
  auto conf = conf_from(k_group);
  xmc_value_c value;
  EXPECT_STREQ(conf->get_scenario_in_group(12, 1, value).as_string(), "5");
  EXPECT_STREQ(value.type_name(), "Number");
  EXPECT_STREQ(conf->get_scenario_in_group(11, 1, value).as_string(), "0");
  EXPECT_STREQ(conf->get_host_in_group(12, 2, false, value).as_string(), "beta");
  EXPECT_STREQ(conf->get_host_in_group(12, 1, true, value).as_string(), "Master");
  EXPECT_STREQ(value.type_name(), "HostTask");

  struct miss_s {
    int which;  // 0 scenario field, 1 host
    uint64_t scenario, number;
    const char* error;
  };
  const miss_s misses[] = {
      {0, 13, 0, "Unable to find scenario 13 in the group's ScenarioList"},
      {0, 11, 2, "Unable to find node with property HostList"},
      {0, 11, 9, "Lookup Error"},
      {1, 12, 3, "Unable to find node \"HostProps\" with property \"Host\", host 3 of scenario 12"},
      {1, 11, 1, "Unable to find node \"HostProps\" with property \"Host\", host 1 of scenario 11"},
  };
  for (const miss_s& m : misses) {
    SCOPED_TRACE(m.error);
    if (m.which == 0) {
      conf->get_scenario_in_group(m.scenario, static_cast<uint32_t>(m.number), value);
    } else {
      conf->get_host_in_group(m.scenario, m.number, false, value);
    }
    EXPECT_EQ(value.lookup_status(), 1);
    EXPECT_STREQ(value.error_text(), m.error);
  }

  // The scenario's id is fixed; the others are written as group fields are.
  zqtr_capture_c capture;
  xmc_value_c id("14"), descendant("8"), word("eight");
  EXPECT_FALSE(conf->set_scenario_in_group(12, 0, id, false));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to reset fixed property \"ScenarioInfo.ScenarioID\""));
  EXPECT_TRUE(conf->set_scenario_in_group(12, 0, id, true));
  EXPECT_TRUE(conf->set_scenario_in_group(14, 1, descendant, false));
  EXPECT_STREQ(conf->get_scenario_in_group(14, 1, value).as_string(), "8");
  EXPECT_FALSE(conf->set_scenario_in_group(14, 1, word, false));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to set \"ScenarioInfo.DescendantID\" = \"eight\", type doesn't fit"));
  EXPECT_FALSE(conf->set_scenario_in_group(12, 1, descendant, false));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to find node \"ScenarioInfo\" with property \"DescendantID\", scenario 12"));
}

TEST(network_mapping_test, mappings_read_by_label_with_their_lists) {
  const std::string body =
      "<object label=\"Scenario\" id=\"1000\"><object label=\"Switchover\" id=\"4500\">"
      "<data label=\"ListVirtualNetworkMappings\" val=\"4450\" type=\"MultiEntry\"/>"
      "<data label=\"ListVirtualNetworkMappingsSwitchover\" val=\"4450\" type=\"MultiEntry\">"
      "<object label=\"VirtualNetworkMapping\" id=\"4450\">"
      "<data label=\"virtualmachineuuid\" val=\"u-1\" type=\"Text\"/>"
      "<data label=\"VLANid\" val=\"12\" type=\"Number\"/>"
      "<data label=\"IPs\" val=\"IPAddr\" type=\"MultiEntry\"><data label=\"IPs\" val=\"10.1.1.1\" type=\"IPAddr\"/>"
      "<data label=\"IPs\" val=\"10.1.1.2\" type=\"IPAddr\"/></data>"
      "<data label=\"Colour\" val=\"red\" type=\"Text\"/>"
      "<data label=\"UseDHCP\" type=\"Bool\"/>"
      "<title label=\"Extra\"/>"
      "<data label=\"CloudPublicIPAddr\" val=\"192.0.2.4\" type=\"IPAddr\"/>"
      "</object>"
      "<object label=\"VirtualNetworkMapping\" id=\"4451\"/>"
      "<object label=\"VirtualNetworkMapping\"/>"
      "<object label=\"VirtualNetworkMapping\" id=\"4450\"><data label=\"DNS\" val=\"IPAddr\" type=\"MultiEntry\"/></object>"
      "</data></object></object>";
  auto conf = conf_from(body);
  zqtr_capture_c capture;
  std::vector<vm_network_mapping_s> mappings;
  ASSERT_TRUE(conf->get_hyper_v_vm_network_mapping_list(mappings, true, 0));
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS,
                          "AR Testing switchover is 1, network mapping location is ListVirtualNetworkMappingsSwitchover"));
  ASSERT_EQ(mappings.size(), 2u);
  const vm_network_mapping_s& first = mappings[0];
  EXPECT_EQ(first.text[vm_network_mapping_s::VIRTUAL_MACHINE_UUID], "u-1");
  EXPECT_EQ(first.text[vm_network_mapping_s::VLAN_ID], "12");
  EXPECT_EQ(first.entries[vm_network_mapping_s::IPS], (std::vector<std::string>{"10.1.1.1", "10.1.1.2"}));
  EXPECT_EQ(first.text[vm_network_mapping_s::CLOUD_PUBLIC_IP_ADDR], "192.0.2.4");
  EXPECT_EQ(first.text[vm_network_mapping_s::USE_DHCP], "");
  EXPECT_TRUE(mappings[1].entries[vm_network_mapping_s::DNS].empty());
  for (const char* message : {"Invalid label [Colour]. Ignored", "Invalid lable or value for item",
                              "Invalid Lable [Extra]. Ignored"}) {
    EXPECT_TRUE(capture.has(ZQTR_PROBLEM, message)) << message;
  }
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unexpected ID 4451"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Mapping has invalid ID"));

  mappings.clear();
  ASSERT_TRUE(conf->get_hyper_v_vm_network_mapping_list(mappings, false, 1));
  EXPECT_TRUE(mappings.empty());
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "AR Testing switchover is 0, network mapping location is ListVirtualNetworkMappings"));

  auto bare = conf_from("<object label=\"Scenario\" id=\"1000\"/>");
  EXPECT_FALSE(bare->get_hyper_v_vm_network_mapping_list(mappings, false, 0));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Failed to find Network Mapping list in scernario"));
}

TEST(scenario_services_test, watched_services_take_the_defaults_unless_stated) {
  auto conf = conf_from(
      "<object label=\"Scenario\" id=\"1000\">"
      "<data label=\"ListMonitorServices\" val=\"5500\" type=\"MultiEntry\">"
      "<object label=\"MonitorService\" id=\"5500\"><data label=\"ServiceName\" val=\"spooler\" type=\"String\"/></object>"
      "<object label=\"MonitorService\" id=\"5500\"><data label=\"ServiceName\" val=\"\" type=\"String\"/></object>"
      "<object label=\"MonitorService\" id=\"5500\"><data label=\"ServiceName\" val=\"db\" type=\"String\"/>"
      "<data label=\"Attempts\" val=\"7\" type=\"Number\"/><data label=\"StopTimeout\" val=\"-4\" type=\"Number\"/></object>"
      "</data></object>");
  EXPECT_TRUE(conf->services().empty());  // filled when built
  EXPECT_EQ(conf->_build_services(), 2u);
  const std::vector<service_entry_s> services = conf->services();
  ASSERT_EQ(services.size(), 2u);
  EXPECT_EQ(services[0].name, "spooler");
  EXPECT_EQ(services[0].check_interval_s, scenario_conf_c::k_service_defaults[0]);
  EXPECT_EQ(services[0].attempts, scenario_conf_c::k_service_defaults[3]);
  EXPECT_EQ(services[1].name, "db");
  EXPECT_EQ(services[1].attempts, 7u);
  EXPECT_EQ(services[1].stop_timeout_s, scenario_conf_c::k_service_defaults[2]);  // a negative number is none
}
