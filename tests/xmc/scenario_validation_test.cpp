// The consistency and validity checks of a scenario configuration, and the object configurations
// of its external content.
#include "default_scenario.h"
#include "xmc/generic_conf.h"
#include "xmc/object_confs.h"
#include "xmc/scenario_conf.h"

#include "platform/trc/zqtr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace xmc_test_n;

namespace {

// A finding as "host/entry/code/path" (entry "-" for none).
std::string key(const ch_data_s& f) {
  return std::to_string(f.host) + "/" + (f.entry == ch_data_s::k_no_entry ? "-" : std::to_string(f.entry)) + "/" +
         std::to_string(f.code) + "/" + f.path.c_str();
}

std::vector<std::string> keys(xmc_validity_c& validity) {
  std::vector<std::string> out;
  for (uint64_t i = 0; i < validity.count(); ++i) out.push_back(key(*validity.at(i)));
  return out;
}

bool has(const std::vector<std::string>& all, const std::string& one) {
  for (const std::string& k : all) {
    if (k == one) return true;
  }
  return false;
}

size_t count_code(const std::vector<std::string>& all, uint32_t code) {
  size_t n = 0;
  for (const std::string& k : all) {
    const size_t a = k.find('/', k.find('/') + 1);
    if (k.compare(a + 1, std::to_string(code).size() + 1, std::to_string(code) + "/") == 0) ++n;
  }
  return n;
}

class validation_test : public ::testing::Test {
 public:
  // The configurator's default scenario for a product and application, with the host addresses,
  // the ping addresses and the root directory paths a user gives it: it then validates clean.
  void make(uint32_t product = PRODUCT_HA, uint32_t application = 0, bool assured_recovery = false) {
    ASSERT_NE(generic_conf_instance, nullptr);
    conf = std::make_unique<scenario_conf_c>(1000);
    conf->tree()->attach(
        generic_conf_instance->new_default_object(TAG_SCENARIO, product, application, assured_recovery), nullptr, true);
    conf->set_product(product);
    conf->set_application(application);
    conf->set_assured_recovery(assured_recovery);
    conf->_build_host_tree();
    conf->_build_root_dirs();
    set_host("CommonHostProps.IP", 1, "192.0.2.1");
    set_host("CommonHostProps.IP", 2, "192.0.2.2");
    for (const char* ping : {"Switchover.FromMasterPingIP", "Switchover.FromReplicaPingIP"}) {
      if (product == PRODUCT_HA) set_scenario(ping, "192.0.2.9");
    }
    root(1, 0)->set_path("C:/data");
    root(2, 0)->set_path("D:/copy");
  }
  void set_scenario(const char* path, const char* text, bool force = false) {
    xmc_value_c value(text);
    ASSERT_TRUE(conf->set_scenario_data(scenario_field(path), value, force)) << path << " = " << text;
  }
  void set_host(const char* path, uint64_t host, const char* text) {
    xmc_value_c value(text);
    ASSERT_TRUE(conf->set_host_data(host_field(path), host, value)) << path << " = " << text << ", host " << host;
  }
  xmc_root_dir_c* root(uint64_t host, size_t entry) {
    return static_cast<xmc_root_dir_c*>(conf->host_tree().find(host)->root_dirs.at(entry));
  }
  // A second replica: a copy of replica 2 beside it, numbered 3.
  void add_replica() {
    xmc_item_c* replica = conf->host_tree().find(2)->repl_node;
    xmc_item_c* copy = new xmc_item_c(*replica, true);
    ASSERT_TRUE(conf->tree()->insert(copy, replica, true));
    xmc_conf_c::find_data(xmc_conf_c::find_object(copy, "CommonHostProps"), "Index")->set_attr("val", "3");
    conf->_build_host_tree();
    conf->_build_root_dirs();
    ASSERT_NE(conf->host_tree().find(3), nullptr);
    set_host("CommonHostProps.IP", 3, "192.0.2.3");
    set_host("SpecificReplicaProps.FailoverHost", 3, "False");  // the copy's: one failover host is enough
  }
  // A virtual network mapping appended to the switchover's list, with the given data items (Text).
  xmc_item_c* add_switchover_mapping(std::initializer_list<std::pair<const char*, const char*>> fields) {
    xmc_item_c* mappings = xmc_conf_c::find_data(xmc_conf_c::find_object(conf->tree()->root, "Switchover"),
                                                 "ListVirtualNetworkMappingsSwitchover");
    EXPECT_NE(mappings, nullptr);
    if (mappings == nullptr) return nullptr;
    xmc_item_c* mapping = xmc_item_c::add_xmc_child("object", mappings);
    mapping->set_attr("label", "VirtualNetworkMapping");
    mapping->set_attr("id", "4450");
    for (const auto& f : fields) add_mapping_field(mapping, f.first, f.second);
    return mapping;
  }
  static void add_mapping_field(xmc_item_c* mapping, const char* label, const char* val) {
    xmc_item_c* field = xmc_item_c::add_xmc_child("data", mapping);
    field->set_attr("label", label);
    field->set_attr("val", val);
    field->set_attr("type", "Text");
  }
  // Runs the validity check; returns its findings.
  std::vector<std::string> validate(bool* result = nullptr) {
    xmc_validity_c validity;
    const bool ok = conf->check_xmc_validity(&validity);
    if (result != nullptr) *result = ok;
    EXPECT_EQ(ok, validity.count() == 0);
    return keys(validity);
  }

  std::unique_ptr<scenario_conf_c> conf;
};

}  // namespace

TEST_F(validation_test, a_filled_in_default_scenario_is_valid_and_consistent) {
  for (uint32_t product : {static_cast<uint32_t>(PRODUCT_DR), static_cast<uint32_t>(PRODUCT_HA), static_cast<uint32_t>(PRODUCT_RW)}) {
    for (uint32_t application : {0u, 4u, static_cast<uint32_t>(APPLICATION_HYPER_V)}) {
      SCOPED_TRACE("product " + std::to_string(product) + ", application " + std::to_string(application));
      make(product, application);
      EXPECT_EQ(validate(), std::vector<std::string>{});
      xmc_validity_c findings;
      EXPECT_TRUE(conf->check_consistency(&findings));
      EXPECT_EQ(findings.count(), 0u);
    }
  }
}

TEST_F(validation_test, unset_basic_settings_and_missing_trees) {
  make();
  conf->set_config_mode(CONFIG_MODE_NONE);
  conf->set_product(PRODUCT_NONE);
  conf->set_application(APPLICATION_NONE);
  bool ok = true;
  const std::vector<std::string> found = validate(&ok);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(has(found, "0/-/3/Scenario.ConfigMode"));
  EXPECT_TRUE(has(found, "0/-/3/Scenario.Product"));
  EXPECT_TRUE(has(found, "0/-/3/Scenario.Application"));
  EXPECT_EQ(count_code(found, 3), 3u);

  scenario_conf_c empty;
  xmc_validity_c validity;
  EXPECT_FALSE(empty.check_xmc_validity(&validity));
  EXPECT_TRUE(has(keys(validity), "0/-/0/Scenario"));
  zqtr_capture_c capture;
  EXPECT_FALSE(empty.check_consistency(&validity));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "XMC tree is missing"));
}

TEST_F(validation_test, item_values_types_limits_and_lists) {
  make();
  xmc_item_c* root_item = conf->tree()->root;
  auto item = [&](const char* object, const char* label) {
    return xmc_conf_c::find_data(xmc_conf_c::find_object(root_item, object), label);
  };
  // HeartbeatTimeout against a third of IsAliveTimeout (300): 100 passes, 101 does not.
  set_scenario("Switchover.HeartbeatTimeout", "100");
  EXPECT_EQ(validate(), std::vector<std::string>{});
  set_scenario("Switchover.HeartbeatTimeout", "101");
  EXPECT_EQ(validate(), std::vector<std::string>{"0/-/25/Switchover.HeartbeatTimeout"});
  // Below its minimum (3).
  set_scenario("Switchover.HeartbeatTimeout", "2");
  EXPECT_EQ(validate(), std::vector<std::string>{"0/-/24/Switchover.HeartbeatTimeout"});
  set_scenario("Switchover.HeartbeatTimeout", "30");

  // The ping addresses follow MoveIP: with it off PingIP is not checked, the other two are.
  item("Switchover", "FromMasterPingIP")->set_attr("val", "");
  item("Switchover", "PingIP")->set_attr("val", "not an address");
  std::vector<std::string> found = validate();
  EXPECT_EQ(found.size(), 1u);
  EXPECT_EQ(count_code(found, 5), 1u);  // an empty IPAddr that is no Text
  item("TraficRedirection", "MoveIP")->set_attr("val", "True");
  // Moving the address asks for its mask too.
  EXPECT_TRUE(has(validate(), "0/-/5/TraficRedirection.MoveIP.IPMask"));
  item("TraficRedirection", "IPMask")->set_attr("val", "192.0.2.10/255.255.255.0");
  EXPECT_EQ(validate(), std::vector<std::string>{"0/-/12/Switchover.SendPing.PingIP"});  // the other two no longer count
  item("TraficRedirection", "MoveIP")->set_attr("val", "False");
  item("Switchover", "PingIP")->set_attr("val", "0.0.0.0");
  item("Switchover", "FromMasterPingIP")->set_attr("val", "192.0.2.9");

  // A switched-off Switchover is not looked into.
  item("Switchover", "FromReplicaPingIP")->set_attr("val", "bad");
  EXPECT_EQ(count_code(validate(), 12), 1u);
  xmc_conf_c::find_object(root_item, "Switchover")->set_attr("status", "False");
  EXPECT_EQ(validate(), std::vector<std::string>{});
  xmc_conf_c::find_object(root_item, "Switchover")->set_attr("status", "True");
  item("Switchover", "FromReplicaPingIP")->set_attr("val", "192.0.2.9");

  // Empty values: a Text that is not mandatory may be empty, a String may not.
  xmc_item_c* text = item("Switchover", "MasterFQName");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(validate(), std::vector<std::string>{});
  text->set_attr("type", "String");
  EXPECT_EQ(count_code(validate(), 12), 1u);
  text->set_attr("type", "Text");
  text->set_attr("mandatory", "True");
  EXPECT_EQ(count_code(validate(), 5), 1u);
  text->set_attr("mandatory", "False");

  // A mandatory list without entries.
  xmc_item_c* list = item("Switchover", "ListMonitorServices");
  ASSERT_NE(list, nullptr);
  list->set_attr("mandatory", "True");
  found = validate();
  EXPECT_EQ(count_code(found, 2), 1u);
  EXPECT_EQ(found.size(), 1u);
}

TEST_F(validation_test, settings_only_one_host_may_have) {
  make(PRODUCT_HA, 0, true);
  add_replica();
  // The default replica has Assured Recovery on, and so has its copy.
  EXPECT_EQ(validate(), (std::vector<std::string>{"2/-/21/AssuredRecoveryObj.status", "3/-/21/AssuredRecoveryObj.status"}));
  set_host("AssuredRecoveryObj.status", 2, "False");
  set_host("AssuredRecoveryObj.status", 3, "False");
  EXPECT_EQ(validate(), std::vector<std::string>{});
  set_host("AssuredRecoveryObj.status", 2, "True");
  EXPECT_EQ(validate(), std::vector<std::string>{});  // one alone is fine
  set_host("AssuredRecoveryObj.status", 3, "True");
  EXPECT_EQ(validate(), (std::vector<std::string>{"2/-/21/AssuredRecoveryObj.status", "3/-/21/AssuredRecoveryObj.status"}));
  set_host("AssuredRecoveryObj.status", 3, "False");
  set_host("Suspend.status", 3, "True");
  EXPECT_EQ(validate(), (std::vector<std::string>{"2/-/21/AssuredRecoveryObj.status", "3/-/21/Suspend.status"}));
  set_host("Suspend.status", 3, "False");
  set_host("AssuredRecoveryObj.status", 2, "False");

  // CDP hosts: one in a scenario that is no CDP scenario, two in one that is.
  set_host("SpecificReplicaProps.CDPHost", 2, "True");
  EXPECT_EQ(validate(), std::vector<std::string>{"2/-/4/SpecificReplicaProps.CDPHost"});
  set_host("SpecificReplicaProps.CDPHost", 3, "True");
  EXPECT_EQ(validate(), (std::vector<std::string>{"2/-/4/SpecificReplicaProps.CDPHost", "3/-/4/SpecificReplicaProps.CDPHost"}));
  set_scenario("Scenario.IsCDPScenario", "True", true);
  std::vector<std::string> found = validate();
  EXPECT_TRUE(has(found, "2/-/22/SpecificReplicaProps.CDPHost"));
  EXPECT_TRUE(has(found, "3/-/22/SpecificReplicaProps.CDPHost"));
  EXPECT_TRUE(has(found, "0/-/3/External"));  // and the CDP scenario lacks its database object

  set_scenario("Scenario.IsCDPScenario", "False", true);
  set_host("SpecificReplicaProps.CDPHost", 2, "False");
  set_host("SpecificReplicaProps.CDPHost", 3, "False");
  set_host("SpecificReplicaProps.FailoverHost", 3, "True");
  EXPECT_EQ(validate(),
            (std::vector<std::string>{"2/-/22/SpecificReplicaProps.FailoverHost", "3/-/22/SpecificReplicaProps.FailoverHost"}));
}

TEST_F(validation_test, rules_across_the_hosts) {
  make();
  zqtr_capture_c capture;
  // Compression switched off below a compressing host.
  set_host("CommonHostProps.Compress", 1, "True");
  set_host("CommonHostProps.Compress", 2, "False");
  EXPECT_EQ(validate(), std::vector<std::string>{"2/-/20/CommonHostProps.Compress"});
  set_host("CommonHostProps.Compress", 2, "True");

  // Registry keys: none on the master, then different numbers.
  set_scenario("Scenario.RegistrySynchronization", "True");
  EXPECT_EQ(validate(), std::vector<std::string>{"1/-/32/ListRegistryPaths_32.RegistryPaths"});
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "The list of Registry Keys is empty, while RegistrySynchronization parameter is True"));
  xmc_value_c keys32;
  keys32.make_entries().add("HKLM/Software/a");
  ASSERT_TRUE(conf->set_host_data(host_field("ListRegistryPaths_32.RegistryPaths"), 1, keys32));
  EXPECT_EQ(validate(), std::vector<std::string>{"2/-/29/ListRegistryPaths_32.RegistryPaths"});
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Host #2, Number of Registry Keys on Master and Replica differ"));
  ASSERT_TRUE(conf->set_host_data(host_field("ListRegistryPaths_32.RegistryPaths"), 2, keys32));
  EXPECT_EQ(validate(), std::vector<std::string>{});
  set_scenario("Scenario.RegistrySynchronization", "False");

  // Scheduled replication rules out DataRewind and the schedulers.
  set_host("SpecificReplicaProps.DataRewind", 2, "True");
  set_host("SuspendScheduler.status", 2, "True");
  EXPECT_EQ(validate(), std::vector<std::string>{});
  set_scenario("Scenario.ReplicationMode", "Scheduling");
  EXPECT_EQ(validate(), (std::vector<std::string>{"2/-/26/SpecificReplicaProps.DataRewind", "2/-/28/SuspendScheduler.status"}));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Host #2, property DataRewind must be set Off if ReplicationMode is set as Scheduling"));
  set_scenario("Scenario.ReplicationMode", "Online");

  // A trigger file needs its script.
  set_host("TriggerFile.status", 2, "True");
  EXPECT_EQ(validate(), std::vector<std::string>{"2/-/27/TrigFileScript.status"});
  set_host("TrigFileScript.status", 2, "True");
  EXPECT_EQ(validate(), std::vector<std::string>{"2/-/12/TrigFileScript.Path"});  // a script switched on needs its path
  set_host("TrigFileScript.Path", 2, "C:/scripts/go.cmd");
  EXPECT_EQ(validate(), std::vector<std::string>{});

  // System state protection needs a replica that keeps it.
  set_scenario("Scenario.SystemStateProtection", "True");
  EXPECT_EQ(validate(), std::vector<std::string>{"0/-/31/SystemStateProtection"});
  set_host("SpecificReplicaProps.RetainSystemState", 2, "True");
  EXPECT_EQ(validate(), std::vector<std::string>{});

  // Share management of a file server needs its shares synchronised.
  set_scenario("Scenario.BuildShares", "False");
  EXPECT_EQ(validate(), std::vector<std::string>{"0/-/23/Scenario.BuildShares"});
  set_scenario("Switchover.Automatic", "False");
  EXPECT_EQ(validate(), std::vector<std::string>{});
}

TEST_F(validation_test, hosts_are_required_unless_assessing) {
  make();
  xmc_item_c* master = conf->host_tree().master()->repl_node;
  conf->tree()->remove(master);
  conf->_build_host_tree();
  conf->_build_root_dirs();
  EXPECT_EQ(validate(), std::vector<std::string>{"2/-/3/Scenario.ReplNode"});
  conf->set_config_mode(CONFIG_MODE_ASSESSMENT);
  // The rule groups run: the master has no root directory.
  EXPECT_EQ(validate(), std::vector<std::string>{"1/0/3/RootDir"});
}

TEST_F(validation_test, root_directories) {
  make();
  add_replica();
  EXPECT_EQ(validate(), std::vector<std::string>{});
  struct case_s {
    const char* name;
    void (*change)(validation_test&);
    std::vector<std::string> findings;
  };
  const case_s cases[] = {
      {"an empty master path", [](validation_test& t) { t.root(1, 0)->set_path(""); }, {"1/0/5/RootDir.Path", "1/0/3/RootDir"}},
      {"another id on a replica", [](validation_test& t) { t.root(3, 0)->set_id(7); }, {"3/0/15/RootDir"}},
      {"auto-created on one side", [](validation_test& t) { t.root(2, 0)->set_auto_created(true); }, {"2/0/17/RootDir"}},
      {"a network path", [](validation_test& t) { t.root(1, 0)->set_path("\\\\server\\share\\data"); }, {"1/0/33/RootDir"}},
      {"a long network path", [](validation_test& t) { t.root(1, 0)->set_path("\\\\?\\UNC\\server\\share"); }, {"1/0/33/RootDir"}},
      {"a volume device path",
       [](validation_test& t) { t.root(1, 0)->set_path("\\\\?\\Volume{01234567-89ab-cdef-0123-456789abcdef}\\data"); },
       {}},
      {"one address for two hosts",
       [](validation_test& t) {
         t.set_host("CommonHostProps.IP", 3, "192.0.2.2");
         t.root(3, 0)->set_path("d:/COPY/inner");
       },
       {"3/0/13/RootDir"}},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.name);
    make();
    add_replica();
    root(3, 0)->set_path("E:/copy");
    c.change(*this);
    EXPECT_EQ(validate(), c.findings);
  }

  // Several root directories on each host: overlapping and shared ids on one host, counts that differ.
  make();
  add_replica();
  for (uint64_t host : {1u, 2u, 3u}) {
    host_index_node_s* node = conf->host_tree().find(host);
    xmc_item_c* first = static_cast<xmc_root_dir_c*>(node->root_dirs.at(0))->item();
    xmc_item_c* second = generic_conf_instance->new_default_object(TAG_ROOT_DIR, PRODUCT_HA, 0, false);
    ASSERT_TRUE(conf->tree()->insert(second, first, true));
  }
  conf->_build_root_dirs();
  const char* paths[3][2] = {{"C:/data", "C:/other"}, {"D:/copy", "D:/more"}, {"E:/copy", "E:/more"}};
  for (uint64_t host : {1u, 2u, 3u}) {
    for (size_t i = 0; i < 2; ++i) {
      root(host, i)->set_path(paths[host - 1][i]);
      root(host, i)->set_id(static_cast<uint32_t>(i + 1));
    }
  }
  EXPECT_EQ(validate(), std::vector<std::string>{});
  root(1, 1)->set_path("C:/DATA/inner");
  root(2, 1)->set_id(1);
  root(2, 0)->set_id(1);
  std::vector<std::string> found = validate();
  EXPECT_TRUE(has(found, "1/1/18/RootDir"));
  EXPECT_TRUE(has(found, "2/1/15/RootDir"));
  EXPECT_TRUE(has(found, "2/1/16/RootDir"));
  EXPECT_EQ(found.size(), 3u);

  conf->host_tree().find(3)->root_dirs.delete_all();
  found = validate();
  EXPECT_TRUE(has(found, "3/0/3/RootDir"));
  conf->host_tree().find(3)->root_dirs.append(new root_dir_c);
  found = validate();
  EXPECT_TRUE(has(found, "3/0/14/ReplNode"));
  conf->host_tree().master()->root_dirs.delete_all();
  found = validate();
  EXPECT_TRUE(has(found, "1/0/3/RootDir"));
}

TEST_F(validation_test, consistency_of_items_and_external_content) {
  make();
  xmc_item_c* item = xmc_conf_c::find_data(xmc_conf_c::find_object(conf->tree()->root, "Switchover"), "HostName");
  item->set_attr("colour", "red");
  xmc_validity_c findings;
  zqtr_capture_c capture;
  EXPECT_FALSE(conf->check_consistency(&findings));
  // One finding for the item in each pass: code 1 in consistency (the trace names the attribute),
  // code 6 with the attribute's name in validity.
  EXPECT_EQ(keys(findings), std::vector<std::string>{"0/-/1/Switchover.HostName"});
  bool traced = false;
  for (const std::string& text : capture.texts()) {
    traced = traced || (text.rfind("Superfluous attribute \"colour = red\" of data item \"", 0) == 0 &&
                        text.find("HostName") != std::string::npos);
  }
  EXPECT_TRUE(traced);
  {
    xmc_validity_c validity;
    EXPECT_FALSE(conf->check_xmc_validity(&validity));
    EXPECT_EQ(keys(validity), std::vector<std::string>{"0/-/6/Switchover.HostName"});
    EXPECT_STREQ(validity.at(0)->value.c_str(), "colour");
  }
  make();

  // Objects: the validity pass reads their label and id too (code 7 without label, 8 without id).
  {
    const struct {
      const char* label;
      const char* id;
      uint32_t code;
    } objects[] = {{nullptr, "77", 7}, {"Odd", nullptr, 8}};
    for (const auto& o : objects) {
      SCOPED_TRACE(o.code);
      make();
      xmc_item_c* object = xmc_item_c::add_xmc_child("object", xmc_conf_c::find_object(conf->tree()->root, "Switchover"));
      if (o.label != nullptr) object->set_attr("label", o.label);
      if (o.id != nullptr) object->set_attr("id", o.id);
      object->set_attr("status", "True");
      xmc_validity_c validity;
      EXPECT_FALSE(conf->check_xmc_validity(&validity));
      size_t with_code = 0;
      for (uint64_t i = 0; i < validity.count(); ++i) with_code += validity.at(i)->code == o.code;
      EXPECT_EQ(with_code, 1u);
    }
  }
  make();

  // External content: a CDP item without its database name, and an id nothing creates.
  xmc_item_c* external = xmc_conf_c::find_object(conf->tree()->root, "External");
  ASSERT_NE(external, nullptr);
  cdp_conf_c cdp;
  cdp.field(cdp_conf_c::SQL_INSTANCE_NAME).set_text("MAIL");
  external->append_child(cdp.build_item());
  xmc_validity_c validity;
  EXPECT_FALSE(conf->check_xmc_validity(&validity));
  EXPECT_EQ(keys(validity), std::vector<std::string>{"0/-/3/SqlDbName"});
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "cdp xmc - check validity missing [SqlDbName]"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "cdp xmc - check validity [False]"));
  findings.delete_all();
  EXPECT_FALSE(conf->check_consistency(&findings));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "cdp xmc - check consistency [False]"));

  size_t missing_said = 0;
  for (const std::string& text : capture.texts()) missing_said += text == "cdp xmc - check validity missing [SqlDbName]";
  EXPECT_EQ(missing_said, 1u);

  // Content that nothing creates a configuration for: both checks fail, with no finding to show.
  make();
  external = xmc_conf_c::find_object(conf->tree()->root, "External");
  xml_item_c* unknown = new xml_item_c("object");
  unknown->set_attr("id", "4242");
  unknown->set_attr("label", "unknown");
  external->append_child(unknown);
  capture.clear();
  findings.delete_all();
  EXPECT_FALSE(conf->check_consistency(&findings));
  EXPECT_EQ(findings.count(), 0u);
  xmc_validity_c none;
  EXPECT_FALSE(conf->check_xmc_validity(&none));
  EXPECT_EQ(none.count(), 0u);
  size_t said = 0;
  for (const std::string& text : capture.texts()) said += text.rfind("Unable to create external object for node", 0) == 0;
  EXPECT_EQ(said, 2u);  // once a check

  // The CDP fields are the content's own children (the last four inside Filters), not any item
  // so labelled deeper down.
  xml_item_c cdp_item("object");
  cdp_item.set_attr("id", "6789");
  xml_item_c* name = new xml_item_c("data");
  name->set_attr("label", "SqlInstanceName");
  name->set_attr("val", "MAIL");
  cdp_item.append_child(name);
  xml_item_c* other = new xml_item_c("object");
  xml_item_c* buried = new xml_item_c("data");
  buried->set_attr("label", "SqlDbName");
  buried->set_attr("val", "x");
  other->append_child(buried);
  cdp_item.append_child(other);
  cdp_conf_c read(&cdp_item);
  EXPECT_STREQ(read.field(cdp_conf_c::SQL_DB_NAME).as_string(), "");
  EXPECT_FALSE(read.check_consistency(nullptr, &cdp_item));
}

TEST_F(validation_test, hyper_v_machines_and_network_mappings) {
  make(PRODUCT_HA, APPLICATION_HYPER_V);
  // The virtual machines: children of the first child of the first child of the external's first.
  xmc_item_c* external = xmc_conf_c::find_object(conf->tree()->root, "External");
  ASSERT_NE(external, nullptr);
  xml_item_c* top = new xml_item_c("machines");
  xml_item_c* middle = new xml_item_c("host");
  xml_item_c* list = new xml_item_c("list");
  top->append_child(middle);
  middle->append_child(list);
  external->append_child(top);
  struct machine_s {
    const char* checked;
    const char* name;
  };
  for (const machine_s& m : {machine_s{"True", "vm1.example.invalid"}, machine_s{"False", ""}}) {
    xml_item_c* vm = new xml_item_c("vm");
    vm->set_attr("checked", m.checked);
    vm->set_attr("fqn_name", m.name);
    list->append_child(vm);
  }
  xmc_validity_c consistency;
  EXPECT_TRUE(conf->check_consistency(&consistency));  // the machine list is no object configuration
  EXPECT_EQ(validate(), std::vector<std::string>{});
  list->first_item()->set_attr("fqn_name", "");
  std::vector<std::string> found = validate();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(count_code(found, 12), 1u);
  EXPECT_NE(found[0].find("VirtualMachineFQName"), std::string::npos);
  list->first_item()->set_attr("fqn_name", "vm1.example.invalid");

  // A switchover mapping needs both the replica network's name and its id.
  xmc_item_c* mapping = add_switchover_mapping({{"ReplicaVirtualNetworkName", "replica-net"}});
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(validate(), std::vector<std::string>{"0/-/30/Switchover.VirtualNetworkMappingsEdit"});
  add_mapping_field(mapping, "ReplicaVirtualNetworkUUID", "uuid-1");
  EXPECT_EQ(validate(), std::vector<std::string>{});
}

TEST_F(validation_test, full_system_mappings_for_switchover_and_recovery_tests) {
  make(PRODUCT_DR, APPLICATION_FULL_SYSTEM, true);
  // Without a cloud platform the recovery test's mappings are not asked for.
  const std::vector<std::string> before = validate();
  EXPECT_EQ(count_code(before, 34), 0u);
  set_host("SpecificReplicaProps.VirtualPlatformType", 2, "Azure");
  std::vector<std::string> found = validate();
  EXPECT_TRUE(has(found, "2/-/34/SpecificReplicaProps.VirtualMachine.VirtualNetworkMappingsEdit"));
  set_host("SpecificReplicaProps.VirtualPlatformType", 2, "EC2");  // EC2 counts under Dr
  EXPECT_TRUE(has(validate(), "2/-/34/SpecificReplicaProps.VirtualMachine.VirtualNetworkMappingsEdit"));
  conf->set_assured_recovery(false);
  EXPECT_EQ(count_code(validate(), 34), 0u);

  // A full-system switchover needs one mapping with a replica network.
  make(PRODUCT_HA, APPLICATION_FULL_SYSTEM);
  EXPECT_TRUE(has(validate(), "2/-/34/SpecificReplicaProps.VirtualMachine.VirtualNetworkMappingsEditSwitchover"));
  ASSERT_NE(add_switchover_mapping({{"ReplicaVirtualNetworkUUID", "uuid-2"}}), nullptr);
  EXPECT_EQ(count_code(validate(), 34), 0u);
}

TEST_F(validation_test, numbers_beyond_what_their_checks_read) {
  make();
  // A timeout beyond 32 bits is no ratio to judge; one beyond 2^63 is above every maximum.
  set_scenario("Switchover.IsAliveTimeout", "5000000000");
  EXPECT_EQ(count_code(validate(), 25), 0u);
  set_scenario("Switchover.IsAliveTimeout", "300");
  set_scenario("Switchover.HeartbeatTimeout", "18446744073709551615");
  EXPECT_TRUE(has(validate(), "0/-/24/Switchover.HeartbeatTimeout"));
}

TEST_F(validation_test, one_host_with_both_recovery_settings) {
  // Assured Recovery and Suspend counted together: one host with both has two findings.
  make(PRODUCT_HA, 0, true);
  set_host("Suspend.status", 2, "True");
  EXPECT_EQ(validate(), (std::vector<std::string>{"2/-/21/AssuredRecoveryObj.status", "2/-/21/Suspend.status"}));
}

TEST(scenario_locks_test, group_readers_and_loads_at_once) {
  ASSERT_NE(generic_conf_instance, nullptr);
  scenario_conf_c conf;
  utl_stream_c text;
  std::unique_ptr<xmc_item_c> scenario(generic_conf_instance->new_default_object(TAG_SCENARIO, PRODUCT_HA, 0, false));
  {
    mixed_xmc_xml_tree_c tree;
    tree.attach(scenario.release(), nullptr, true);
    tree.write_to_stream(text, true);
  }
  const std::string document = text.c_str();
  ASSERT_TRUE(conf.load_text(document.c_str(), nullptr));
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    xmc_value_c value;
    while (!stop.load()) {
      conf.get_scenario_in_group(1, 0, value);
      conf.get_group_data(2, value);
    }
  });
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(conf.load_text(document.c_str(), nullptr));
  stop = true;
  reader.join();
}

TEST(object_conf_test, cdp_settings_round_trip_through_their_item) {
  cdp_conf_c defaults;
  std::unique_ptr<xml_item_c> item(defaults.build_item());
  EXPECT_STREQ(xmc_item_c::attr_text(item.get(), "id"), "6789");
  cdp_conf_c read(item.get());
  EXPECT_STREQ(read.field(cdp_conf_c::DB_CON_TIME_OUT_IN_SEC).as_string(), "1200");
  EXPECT_STREQ(read.field(cdp_conf_c::MAX_ATTACH_SIZE_IN_KB).as_string(), "1024");
  ASSERT_EQ(read.message_types().count(), 19u);  // written with the default classes
  EXPECT_STREQ(read.message_types().at(18), "IPM.Note.SMIME");
  EXPECT_EQ(read.attach_file_types().count(), 0u);
  EXPECT_FALSE(read.check_consistency(nullptr, nullptr));

  // A second creator for the id leaves the library's in place.
  cdp_conf_creator_c* library = static_cast<cdp_conf_creator_c*>(conf_object_registry_c::instance().creator(6789));
  ASSERT_NE(library, nullptr);
  struct other_s : conf_object_creator_c {
    other_s() : conf_object_creator_c(6789) {}
    conf_c* create(const xml_item_c*) override { return nullptr; }
  } other;
  EXPECT_FALSE(conf_object_registry_c::instance().add(&other));
  EXPECT_EQ(conf_object_registry_c::instance().creator(6789), library);
}

TEST(object_conf_test, database_object_copies_only_its_own_id) {
  std::unique_ptr<xml_item_c> item(new xml_item_c("object"));
  item->set_attr("id", "6799");
  item->set_attr("label", "db");
  xml_item_c* table = new xml_item_c("table");
  table->set_attr("name", "orders");
  item->append_child(table);
  xml_item_c* conn = new xml_item_c("conn");
  conn->set_text("Server=x");
  table->append_child(conn);
  db_conf_c db(item.get());
  ASSERT_NE(db.tree().root, nullptr);
  table->set_attr("name", "changed");  // the configuration holds its own copy
  conn->set_text("Server=y");
  std::unique_ptr<xml_item_c> built(db.build_item());
  ASSERT_NE(built->first_item(), nullptr);
  EXPECT_STREQ(xmc_item_c::attr_text(built->first_item(), "name"), "orders");
  // The elements keep their text.
  ASSERT_NE(built->first_item()->first_item(), nullptr);
  EXPECT_STREQ(built->first_item()->first_item()->text(), "Server=x");
  EXPECT_STREQ(xmc_item_c::attr_text(built.get(), "label"), "db");

  item->set_attr("id", "6798");
  db_conf_c other(item.get());
  EXPECT_EQ(other.tree().root, nullptr);
  std::unique_ptr<xml_item_c> empty(other.build_item());
  EXPECT_EQ(empty->first_item(), nullptr);
}

TEST_F(validation_test, shadow_copies_count_as_recovery_settings_only_when_integrated) {
  make(PRODUCT_HA, 0, true);
  add_replica();
  // Assured Recovery itself off on both replicas: only the shadow copies remain.
  set_host("AssuredRecoveryObj.status", 2, "False");
  set_host("AssuredRecoveryObj.status", 3, "False");
  set_host("AssuredRecoveryObj.ShadowCopy", 2, "True");
  set_host("Suspend.OffLineShadowCopy", 3, "True");
  const std::vector<std::string> alone = validate();
  EXPECT_EQ(count_code(alone, 21), 0u);
  set_scenario("Scenario.VeldraIntegrated", "True", true);
  const std::vector<std::string> integrated = validate();
  EXPECT_TRUE(has(integrated, "2/-/21/AssuredRecoveryObj.ShadowCopy"));
  EXPECT_TRUE(has(integrated, "3/-/21/Suspend.OffLineShadowCopy"));
  EXPECT_EQ(count_code(integrated, 21), 2u);
  // One host with a shadow copy is fine.
  set_host("Suspend.OffLineShadowCopy", 3, "False");
  EXPECT_EQ(count_code(validate(), 21), 0u);
}

TEST_F(validation_test, children_are_checked_only_when_their_parent_has_the_value_they_need) {
  make();
  xmc_item_c* veldra = xmc_conf_c::find_data(conf->tree()->root, "VeldraIntegrated");
  ASSERT_NE(veldra, nullptr);
  xmc_item_c* probe = xmc_item_c::add_xmc_child("data", veldra);
  probe->set_attr("label", "Probe");
  probe->set_attr("val", "many");
  probe->set_attr("type", "Number");
  // check_kids_if_val "True" and the value False: the children are skipped.
  EXPECT_EQ(validate(), std::vector<std::string>{});
  set_scenario("Scenario.VeldraIntegrated", "True", true);
  const std::vector<std::string> checked = validate();
  EXPECT_EQ(checked, std::vector<std::string>{"0/-/12/Scenario.VeldraIntegrated.Probe"});
}

TEST_F(validation_test, numbers_at_and_beyond_both_limits) {
  make();
  xmc_item_c* heartbeat =
      xmc_conf_c::find_data(xmc_conf_c::find_object(conf->tree()->root, "Switchover"), "HeartbeatTimeout");
  ASSERT_NE(heartbeat, nullptr);
  set_scenario("Switchover.IsAliveTimeout", "300000");
  const struct {
    const char* val;
    bool outside;
  } cases[] = {{"3", false}, {"2", true}, {"86400", false}, {"86401", true}, {"9223372036854775808", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.val);
    heartbeat->set_attr("val", c.val);
    EXPECT_EQ(has(validate(), "0/-/24/Switchover.HeartbeatTimeout"), c.outside);
  }
}
