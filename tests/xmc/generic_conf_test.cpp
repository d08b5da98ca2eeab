#include "xmc/generic_conf.h"
#include "xmc/generic_template.h"

#include "platform/trc/zqtr.h"
#include "support/temp_dir.h"
#include "utl/utl_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string embedded() {
  utl_stream_c text;
  return generic_template_n::join(text);
}

// The embedded template with the first (or every) occurrence of what replaced.
std::string altered(const std::string& what, const std::string& with, bool every = false) {
  std::string text = embedded();
  size_t at = text.find(what);
  EXPECT_NE(at, std::string::npos) << what;
  while (at != std::string::npos) {
    text.replace(at, what.size(), with);
    if (!every) break;
    at = text.find(what, at + with.size());
  }
  return text;
}

struct build_s {
  std::unique_ptr<generic_conf_c> conf;
  std::vector<std::string> traced;
  bool has(const std::string& text) const {
    for (const std::string& t : traced) {
      if (t == text) return true;
    }
    return false;
  }
};

build_s build(const std::string& text) {
  zqtr_capture_c capture;
  build_s b;
  b.conf.reset(generic_conf_c::build(text.c_str()));
  b.traced = capture.texts();
  return b;
}

const char* attr(const xml_item_c* item, const char* label) { return xmc_item_c::attr_text(item, label); }

// Items named so anywhere below item.
size_t count_named(const xml_item_c* item, const char* name) {
  size_t n = 0;
  for (const xml_item_c* child = item->first_item(); child != nullptr; child = child->next_item()) {
    n += (child->name() != nullptr && std::strcmp(child->name(), name) == 0 ? 1 : 0) + count_named(child, name);
  }
  return n;
}

size_t markers(const xml_item_c* item) {
  return count_named(item, "relevant") + count_named(item, "irrelevant") + count_named(item, "switch_to_set_default");
}

}  // namespace

TEST(generic_template_test, the_embedded_text_is_the_template) {
  utl_stream_c text;
  generic_template_n::join(text);
  EXPECT_GE(text.capacity(), generic_template_n::k_reserved);
  size_t lines = 0;
  for (const char* p = text.c_str(); *p != '\0'; ++p) lines += *p == '\n' ? 1 : 0;
  EXPECT_EQ(lines, generic_template_line_count);
  EXPECT_EQ(text.length(), generic_template_length);
  EXPECT_EQ(std::strlen(generic_template_text), generic_template_length);  // no zero byte inside
  EXPECT_EQ(generic_template_text[generic_template_length - 1], '\n');
  EXPECT_EQ(std::string(text.c_str()).rfind("<?xml version=\"1.0\"?>\n", 0), 0u);
  // Byte for byte the template file the build embedded (escapes, tabs and quotes included).
  std::string file;
  {
    FILE* in = std::fopen(STATS_MNG_TEMPLATE_XML, "rb");
    ASSERT_NE(in, nullptr) << STATS_MNG_TEMPLATE_XML;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) file.append(buffer, n);
    std::fclose(in);
  }
  EXPECT_EQ(std::string(text.c_str()), file);
  // A second join appends the text again.
  generic_template_n::join(text);
  EXPECT_EQ(text.length(), 2 * generic_template_length);
  EXPECT_EQ(std::string(text.c_str()), file + file);
}

TEST(generic_conf_test, the_library_built_the_configurator_at_load) {
  ASSERT_NE(generic_conf_instance, nullptr);
  const generic_conf_c& conf = *generic_conf_instance;
  EXPECT_EQ(conf.xmc_version_number(), 175u);
  EXPECT_EQ(conf.group_version_number(), 3u);
  ASSERT_NE(conf.scenario_item(), nullptr);
  EXPECT_STREQ(attr(conf.scenario_item(), "id"), "1000");
  ASSERT_NE(conf.group_item(), nullptr);
  EXPECT_STREQ(attr(conf.group_item(), "id"), "8000");
  EXPECT_STREQ(attr(conf.scenario_info_item(), "id"), "8010");
  EXPECT_EQ(xmc_enum_c::k_count, conf.enums_item()->count_children(false));
  EXPECT_EQ(const_cast<generic_conf_c&>(conf).host_tree().host_count(), 1u);
  EXPECT_EQ(const_cast<generic_conf_c&>(conf).host_tree().first_host_index(), 2u);
}

TEST(generic_conf_test, every_table_field_stands_where_the_data_access_looks) {
  ASSERT_NE(generic_conf_instance, nullptr);
  generic_conf_c& conf = *generic_conf_instance;
  // The search: the first object of the owner's label in depth (the start itself included), then
  // the field below it without entering other objects; "status" is the object's own attribute.
  auto field = [](const xmc_item_c* start, const data_table_entry_s& entry) -> bool {
    const char* owner = object_tag_table[entry.object_tag].label;
    const xmc_item_c* object = std::strcmp(attr(start, "label"), owner) == 0 ? start : xmc_conf_c::find_object(start, owner);
    if (object == nullptr) return false;
    if (std::strcmp(entry.label, "status") == 0) return object->find_attr("status") != nullptr;
    return xmc_conf_c::find_data(object, entry.label) != nullptr;
  };
  for (const data_table_entry_s& entry : scenario_data_table) {
    // SchedulerReplMode stands inside the ReplicationMode data item, where the template puts it,
    // and a search for an object does not enter data items.
    if (entry.object_tag == 22) {
      EXPECT_EQ(field(conf.scenario_item(), entry), false);
      continue;
    }
    EXPECT_TRUE(field(conf.scenario_item(), entry)) << "scenario field " << entry.index << " " << entry.label;
  }
  const xmc_item_c* master = conf.host_tree().find(1)->repl_node;
  const xmc_item_c* replica = conf.host_tree().find(2)->repl_node;
  // The master's ReplNode holds the replica's: the master's own fields are those outside it.
  auto own = [&](const xmc_item_c* host, const data_table_entry_s& entry) {
    const xmc_item_c* object = xmc_conf_c::find_object(host, object_tag_table[entry.object_tag].label);
    if (object == nullptr || (host == master && (object == replica || xmc_item_c::parent_object(object) == replica ||
                                                 [&] {
                                                   for (const generic_node_c* p = object; p != nullptr; p = p->parent) {
                                                     if (p == replica) return true;
                                                   }
                                                   return false;
                                                 }()))) {
      return false;
    }
    return field(host, entry);
  };
  auto below_replica_props = [](uint32_t tag) {
    for (; tag != TAG_SCENARIO && tag != TAG_REPL_NODE; tag = object_tag_table[tag].parent) {
      if (tag == TAG_SPECIFIC_REPLICA_PROPS) return true;
    }
    return false;
  };
  for (const data_table_entry_s& entry : host_data_table) {
    // The two switchover mapping flags of the host table name an object no host can hold (the
    // tag check allows Switchover only in a scenario).
    if (entry.object_tag == TAG_SWITCHOVER) {
      EXPECT_FALSE(field(master, entry) || field(replica, entry)) << entry.label;
      continue;
    }
    EXPECT_TRUE(field(replica, entry)) << "replica field " << entry.index << " " << entry.label;
    if (!below_replica_props(entry.object_tag)) {
      EXPECT_TRUE(own(master, entry)) << "master field " << entry.index << " " << entry.label;
    }
    if (entry.flag != 0) {
      // Fields flagged for the manager also stand in the scenario's manager data.
      EXPECT_TRUE(field(conf.scenario_item(), entry)) << "manager field " << entry.label;
    }
  }
  for (const data_table_entry_s& entry : group_data_table) {
    EXPECT_TRUE(field(conf.group_item(), entry)) << "group field " << entry.index << " " << entry.label;
  }
}

TEST(generic_conf_test, enumeration_checks) {
  build_s loose = build(altered("val=\"Dr, Ha, Cd, Rw\"", "val=\"Dr, Ha, Cd,Rw\""));
  EXPECT_NE(loose.conf, nullptr);  // commas, blanks and tabs all separate

  build_s swapped = build(altered("val=\"Dr, Ha, Cd, Rw\"", "val=\"Ha, Dr, Cd, Rw\""));
  EXPECT_EQ(swapped.conf, nullptr);
  EXPECT_TRUE(swapped.has("Item Ha of enumerator #1 \"Product\" has wrong position 0, in the code is 1"));
  EXPECT_TRUE(swapped.has("Item Dr of enumerator #1 \"Product\" has wrong position 1, in the code is 0"));
  EXPECT_TRUE(swapped.has("Fatal error, unable to create instance of Generic Coonfigurator"));

  struct case_s {
    const char* what;
    const char* with;
    std::vector<std::string> messages;
  } failing[] = {
      {"<enum label=\"Product\" val=\"Dr, Ha, Cd, Rw\"/>", "<enum label=\"Product\"/>",
       {"Enumerator #1 \"Product\" misses list items",
        "Enumerator #1 \"Product\" has different number items (0) from the code (4)"}},
      {"<enum label=\"Product\" val=\"Dr, Ha, Cd, Rw\"/>", "<enum val=\"Dr, Ha, Cd, Rw\"/>",
       {"Found unnamed enumerator #1", "Enumerator #1 \"\" is undefined in the code"}},
      {"</enums>", "<enum label=\"Colour\" val=\"red, green\"/>\n</enums>",
       {"Enumerator #18 \"Colour\" is undefined in the code",
        "Set of enumerator has different number items (19) from those in the code (18)"}},
      {"val=\"Dr, Ha, Cd, Rw\"", "val=\"Dr, Ha, Cd, Rw, Xx\"",
       {"Enumerator #1 \"Product\" has different number items (5) from the code (4)",
        "Item Xx of enumerator #1 \"Product\" is undefined in the code"}},
  };
  for (const case_s& c : failing) {
    SCOPED_TRACE(c.with);
    build_s b = build(altered(c.what, c.with));
    EXPECT_EQ(b.conf, nullptr);
    for (const std::string& m : c.messages) EXPECT_TRUE(b.has(m)) << m;
  }

  // Seventeen enumerations that all match pass; only their number is noted. (A second fill of the
  // same configurator, which must forget the hosts of the first tree.)
  generic_conf_c conf;
  zqtr_capture_c capture;
  ASSERT_TRUE(conf._fill_content(
      altered("<enum label=\"VirtualMachineNICType\" val=\"E1000, E1000E, VMXNET2, VMXNET3, SRIOV, PCNet32, virtio\"/>\n", "")
          .c_str()));
  capture.clear();
  EXPECT_TRUE(conf._check_array_enums());
  EXPECT_EQ(capture.texts(),
            (std::vector<std::string>{"Set of enumerator has different number items (17) from those in the code (18)"}));
  std::unique_ptr<xmc_item_c> master(conf.new_default_object(TAG_REPL_NODE, PRODUCT_HA, APPLICATION_NONE, false));
  EXPECT_NE(master, nullptr);
  // Filling it again with a template that fails leaves no host pointing into the old tree.
  ASSERT_FALSE(conf._fill_content(altered("val=\"Dr, Ha, Cd, Rw\"", "val=\"Ha, Dr, Cd, Rw\"").c_str()));
  EXPECT_EQ(conf.new_default_object(TAG_REPL_NODE, PRODUCT_HA, APPLICATION_NONE, false), nullptr);
}

TEST(generic_conf_test, object_tag_checks) {
  build_s misplaced = build(altered("<data label=\"Initial\" val=\"True\" type=\"Bool\"/>",
                                    "<data label=\"Initial\" val=\"True\" type=\"Bool\"/><object label=\"Report\" id=\"3500\"/>"));
  EXPECT_EQ(misplaced.conf, nullptr);
  EXPECT_TRUE(misplaced.has("Inconsistent Papa object \"SpecificReplicaProps\" of \"Report\", found in \"object_tag_table\""));

  // Report and EventNotification stand in the scenario only through its manager data.
  build_s loose_report = build(altered("<data label=\"StopScenario\"",
                                       "<object label=\"Report\" id=\"3500\"/><data label=\"StopScenario\""));
  EXPECT_EQ(loose_report.conf, nullptr);
  EXPECT_TRUE(loose_report.has("Inconsistent Papa object \"Scenario\" of \"Report\", found in \"object_tag_table\""));

  // The embedded template nests a ReplNode in a ReplNode and a Report under the manager data.
  build_s fine = build(embedded());
  ASSERT_NE(fine.conf, nullptr);
  EXPECT_TRUE(fine.has("O.K. Generic Coonfigurator is successfully built up"));
  EXPECT_EQ(fine.traced.size(), 1u);

  build_s zero = build(altered("label=\"TriggerFile\" id=\"4200\"", "label=\"TriggerFile\" id=\"0\"", true));
  EXPECT_EQ(zero.conf, nullptr);
  EXPECT_TRUE(zero.has("Invalid ID string of \"TriggerFile\" "));
  build_s wrong = build(altered("label=\"TriggerFile\" id=\"4200\"", "label=\"TriggerFile\" id=\"4201\"", true));
  EXPECT_EQ(wrong.conf, nullptr);
  EXPECT_TRUE(wrong.has("Invalid ID 4201  of object item \"TriggerFile\", not found in \"object_tag_table\""));
  build_s unknown = build(altered("<object label=\"TriggerFile\" id=\"4200\"", "<object label=\"Trigger\" id=\"4200\"", true));
  EXPECT_EQ(unknown.conf, nullptr);
  EXPECT_TRUE(unknown.has("Invalid object item \"Trigger\", not found in \"object_tag_table\""));

  // The compiled table's own rules, on altered copies of it.
  generic_conf_c conf;
  ASSERT_TRUE(conf._fill_content(embedded().c_str()));
  std::vector<object_tag_s> table(object_tag_table, object_tag_table + k_object_tag_count);
  table[5].label = "Switchover";
  table[7].index = 8;
  table[9].parent = 9;
  zqtr_capture_c capture;
  EXPECT_FALSE(conf._check_object_tag_table(table.data(), table.size()));
  EXPECT_EQ(capture.texts(), (std::vector<std::string>{
                                 "Error, Same name \"Switchover\" entries #1 and #5 found in \"object_tag_table\"",
                                 "Invalid first element in \"object_tag_table\", entry #7",
                                 "Invalid Papa element in \"object_tag_table\", entry #9"}));
  // Every pair of equal labels, in the order of the first entry, then the second, however the labels
  // sort; entries without a label are alike to none. Objects are still found by label after.
  table.assign(object_tag_table, object_tag_table + k_object_tag_count);
  table[20].label = "Scenario";
  table[10].label = "Switchover";
  table[3].label = "Scenario";
  table[2].label = nullptr;
  table[6].label = nullptr;
  capture.clear();
  EXPECT_FALSE(conf._check_object_tag_table(table.data(), table.size()));
  EXPECT_EQ(capture.texts(), (std::vector<std::string>{
                                 "Error, Same name \"Scenario\" entries #0 and #3 found in \"object_tag_table\"",
                                 "Error, Same name \"Scenario\" entries #0 and #20 found in \"object_tag_table\"",
                                 "Error, Same name \"Switchover\" entries #1 and #10 found in \"object_tag_table\"",
                                 "Error, Same name \"Scenario\" entries #3 and #20 found in \"object_tag_table\""}));
  // A copy of the compiled table passes the run-time rules and finds every template object in it,
  // whatever the order of its entries' labels.
  table.assign(object_tag_table, object_tag_table + k_object_tag_count);
  capture.clear();
  EXPECT_TRUE(conf._check_object_tag_table(table.data(), table.size()));
  EXPECT_TRUE(capture.texts().empty());
  // Without the template's Switchover entry its object is unknown.
  table[TAG_SWITCHOVER].label = "Switchover2";
  capture.clear();
  EXPECT_FALSE(conf._check_object_tag_table(table.data(), table.size()));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Invalid object item \"Switchover\", not found in \"object_tag_table\""));

  std::vector<data_table_entry_s> hosts(host_data_table, host_data_table + k_host_data_count);
  hosts[3].index = 4;
  hosts[9].index = 1;
  capture.clear();
  EXPECT_FALSE(conf._check_scen_data_tables(scenario_data_table, k_scenario_data_count, hosts.data(), hosts.size()));
  EXPECT_EQ(capture.texts(), (std::vector<std::string>{"Invalid first element in \"host_data_table\", entry #3"}));
}

TEST(generic_conf_test, entries_found_twice_missing_or_empty) {
  build_s twice = build(altered("<data label=\"Group_VersionNumber\"",
                                "<data label=\"XMC_VersionNumber\" val=\"999\" type=\"Number\"/>\n<foo/>\n"
                                "<data label=\"Group_VersionNumber\""));
  ASSERT_NE(twice.conf, nullptr);
  EXPECT_EQ(twice.conf->xmc_version_number(), 175u);
  EXPECT_TRUE(twice.has("Found superfluous XMC entry for XMC_VersionNumber"));
  EXPECT_TRUE(twice.has("Found empty XMC entry foo"));

  const std::string text = embedded();
  const size_t from = text.find("\t\t<enums>");
  const size_t to = text.find("</enums>\n") + std::strlen("</enums>\n");
  build_s no_enums = build(text.substr(0, from) + text.substr(to));
  EXPECT_EQ(no_enums.conf, nullptr);
  EXPECT_TRUE(no_enums.has("\nSource file doesn't include \"enums\" entry"));

  build_s bare = build("<?xml version=\"1.0\"?>\n<object label=\"ConfigDataHolder\" id=\"1\"><data label=\"Version\" "
                       "val=\"5\" type=\"Number\"/></object>\n");
  EXPECT_EQ(bare.conf, nullptr);
  for (const char* m : {"\nSource file doesn't include \"objects\" entry", "\nSource file doesn't include \"enums\" entry",
                        "\nSource file doesn't include \"Scenario\" entry", "\nSource file doesn't include \"Group\" entry",
                        "\nSource file doesn't include \"ScenarioInfo\" entry",
                        "\nSource file doesn't include \"XMC_VersionNumber\" entry"}) {
    EXPECT_TRUE(bare.has(m)) << m;
  }
  build_s not_xml = build("ConfigDataHolder");
  EXPECT_EQ(not_xml.conf, nullptr);
  EXPECT_TRUE(not_xml.has("Unable to load generic xml file"));

  build_s no_replica = build(altered("<data label=\"Index\" val=\"2\" type=\"Number\" mandatory=\"True\"/>",
                                     "<data label=\"Index\" val=\"x\" type=\"Number\" mandatory=\"True\"/>", true));
  EXPECT_EQ(no_replica.conf, nullptr);
  EXPECT_TRUE(no_replica.has("\nUnable to find nodes \"ReplNode\" in generic xml file having prop. \"Index\""));
  EXPECT_TRUE(no_replica.has("\nContent of generic xml file is found to be inconsistent"));

  build_s bad_data = build(altered("<data label=\"ScenarioComment\" val=\"\" type=\"Text\"/>",
                                   "<data label=\"ScenarioComment\" val=\"\"/>"));
  EXPECT_EQ(bad_data.conf, nullptr);
  EXPECT_TRUE(bad_data.has("Data item missing type \"data.ScenarioComment => object.Scenario => object.ConfigDataHolder\""));
}

TEST(generic_conf_test, default_objects) {
  ASSERT_NE(generic_conf_instance, nullptr);
  const generic_conf_c& conf = *generic_conf_instance;
  const uint32_t hyper_v = static_cast<uint32_t>(xmc_enum_c::position_of(ENUM_APPLICATION, "HyperV"));
  const uint32_t file_server = static_cast<uint32_t>(xmc_enum_c::position_of(ENUM_APPLICATION, "FileServer"));

  std::unique_ptr<xmc_item_c> dns(conf.new_default_object(4, PRODUCT_HA, hyper_v, false));
  ASSERT_NE(dns, nullptr);
  EXPECT_STREQ(attr(dns.get(), "status"), "False");
  for (const char* gone : {"MasterIPinDNS", "ReplicaIPinDNS", "DomainAdminName", "DomainAdminPassword"}) {
    EXPECT_EQ(xmc_conf_c::find_data(dns.get(), gone), nullptr) << gone;
  }
  EXPECT_NE(xmc_conf_c::find_data(dns.get(), "VirtualMachineIPOnMasterinDNS"), nullptr);
  EXPECT_EQ(markers(dns.get()), 0u);

  std::unique_ptr<xmc_item_c> switchover(conf.new_default_object(TAG_SWITCHOVER, PRODUCT_DR, file_server, false));
  ASSERT_NE(switchover, nullptr);  // the definition carries no product marker of its own
  EXPECT_STREQ(attr(switchover.get(), "id"), "4500");
  EXPECT_NE(xmc_conf_c::find_data(switchover.get(), "HeartbeatTimeout"), nullptr);
  EXPECT_EQ(xmc_conf_c::find_data(switchover.get(), "ConnectToDB"), nullptr);  // not for a file server
  std::unique_ptr<xmc_item_c> dr(conf.new_default_object(TAG_SCENARIO, PRODUCT_DR, file_server, false));
  std::unique_ptr<xmc_item_c> ha(conf.new_default_object(TAG_SCENARIO, PRODUCT_HA, file_server, true));
  EXPECT_EQ(xmc_conf_c::find_object(dr.get(), "Switchover"), nullptr);  // the scenario's copy is for Ha only
  EXPECT_NE(xmc_conf_c::find_object(ha.get(), "Switchover"), nullptr);
  EXPECT_STREQ(attr(xmc_conf_c::find_data(ha.get(), "Product"), "val"), "Ha");
  EXPECT_STREQ(attr(xmc_conf_c::find_data(ha.get(), "Application"), "val"), "FileServer");
  EXPECT_STREQ(attr(xmc_conf_c::find_data(ha.get(), "AssuredRecovery"), "val"), "True");
  EXPECT_STREQ(attr(xmc_conf_c::find_data(ha.get(), "SynchType"), "val"), "FileSynchronization");
  EXPECT_STREQ(attr(xmc_conf_c::find_data(dr.get(), "AssuredRecovery"), "val"), "False");
  EXPECT_EQ(markers(ha.get()), 0u);

  EXPECT_EQ(conf.new_default_object(TAG_GROUP, PRODUCT_HA, file_server, false), nullptr);
  EXPECT_EQ(conf.new_default_object(k_object_tag_count, PRODUCT_HA, file_server, false), nullptr);

  std::unique_ptr<xmc_item_c> master(conf.new_default_object(TAG_REPL_NODE, PRODUCT_HA, file_server, false));
  ASSERT_NE(master, nullptr);
  EXPECT_STREQ(attr(xmc_conf_c::find_data(xmc_conf_c::find_object(master.get(), "CommonHostProps"), "Index"), "val"), "1");
  std::unique_ptr<xmc_item_c> root_dir(conf.new_default_object(TAG_ROOT_DIR, PRODUCT_HA, file_server, false));
  ASSERT_NE(root_dir, nullptr);
  EXPECT_STREQ(attr(root_dir.get(), "label"), "RootDir");
  EXPECT_NE(xmc_conf_c::find_object(root_dir.get(), "DirPath"), nullptr);

  // A script tag takes the shared Script definition under its own label.
  std::unique_ptr<xmc_item_c> on_active(conf.new_default_object(9, PRODUCT_HA, file_server, false));
  ASSERT_NE(on_active, nullptr);
  EXPECT_STREQ(attr(on_active.get(), "label"), "OnActive");
  EXPECT_NE(xmc_conf_c::find_data(on_active.get(), "Path"), nullptr);

  // Assured Recovery on keeps its object in the replica's scheduled tasks and switches it on.
  std::unique_ptr<xmc_item_c> with_ar(conf.new_default_object(41, PRODUCT_DR, file_server, true));
  std::unique_ptr<xmc_item_c> without_ar(conf.new_default_object(41, PRODUCT_DR, file_server, false));
  ASSERT_NE(with_ar, nullptr);
  ASSERT_NE(without_ar, nullptr);
  ASSERT_NE(xmc_conf_c::find_object(with_ar.get(), "AssuredRecoveryObj"), nullptr);
  EXPECT_STREQ(attr(xmc_conf_c::find_object(with_ar.get(), "AssuredRecoveryObj"), "status"), "True");
  EXPECT_EQ(xmc_conf_c::find_object(without_ar.get(), "AssuredRecoveryObj"), nullptr);
  EXPECT_NE(xmc_conf_c::find_object(without_ar.get(), "Suspend"), nullptr);

  // No application: every application marker matches.
  std::unique_ptr<xmc_item_c> none(conf.new_default_object(TAG_SCENARIO, PRODUCT_HA, APPLICATION_NONE, false));
  ASSERT_NE(none, nullptr);
  EXPECT_STREQ(attr(xmc_conf_c::find_data(none.get(), "Application"), "val"), "");
  EXPECT_NE(xmc_conf_c::find_data(none.get(), "RecoveryP2VSnapshot"), nullptr);  // relevant: kept
  EXPECT_EQ(xmc_conf_c::find_data(none.get(), "FullQualifiedName"), nullptr);    // irrelevant: gone
  EXPECT_EQ(markers(none.get()), 0u);
}

TEST(generic_conf_test, switches_and_markers_on_hand_made_items) {
  ASSERT_NE(generic_conf_instance, nullptr);
  mixed_xmc_xml_tree_c tree;
  ASSERT_TRUE(tree.load_from_str(
      "<?xml version=\"1.0\"?><object label=\"O\" id=\"1\" status=\"True\">"
      "<title label=\"t\"><switch_to_set_default variable=\"Product\" case=\"Ha\" val=\"x\" type=\"Bool\"/></title>"
      "<data label=\"a\" val=\"1\" type=\"Number\"><switch_to_set_default variable=\"Product\" case=\"Ha\" val=\"2\" "
      "type=\"Number\"/><switch_to_set_default variable=\"Product\" case=\"Ha\" val=\"3\" type=\"Number\"/>"
      "<switch_to_set_default variable=\"Product\" val=\"4\" type=\"Number\"/></data>"
      "<switch_to_set_default variable=\"Product\" case=\"Dr\" val=\"False\" type=\"Bool\"/>"
      "<data label=\"b\" val=\"1\" type=\"Number\"><relevant label=\"Product\" val=\"Ha\" type=\"Product\"/>"
      "<irrelevant label=\"Product\" val=\"Ha\" type=\"Product\"/><data label=\"c\" val=\"1\" type=\"Number\"/></data>"
      "<data label=\"d\" val=\"1\" type=\"Number\"><relevant label=\"Colour\" val=\"red\" type=\"Text\"/></data>"
      "<data label=\"e\" val=\"1\" type=\"Number\"><relevant label=\"Product\"/></data>"
      "</object>"));
  xmc_item_c* root = tree.root;
  zqtr_capture_c capture;
  generic_conf_instance->_set_appl_prod_defaults(root, PRODUCT_HA, APPLICATION_NONE, false);
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to apply \"switch_to_set_default\" to title.t => object.O"));
  EXPECT_STREQ(attr(xmc_conf_c::find_data(root, "a"), "val"), "3");  // the last switch that applies wins
  EXPECT_STREQ(attr(root, "status"), "True");                         // the Dr switch does not apply
  EXPECT_EQ(count_named(root, "switch_to_set_default"), 0u);          // every row goes, applied or not

  generic_conf_instance->_remove_irrelevant_items(root, PRODUCT_HA, APPLICATION_NONE, false);
  EXPECT_EQ(xmc_conf_c::find_data(root, "b"), nullptr);  // kept by one marker, condemned by the next
  EXPECT_EQ(xmc_conf_c::find_data(root, "c"), nullptr);
  EXPECT_EQ(xmc_conf_c::find_data(root, "d"), nullptr);  // an unknown label never matches
  ASSERT_NE(xmc_conf_c::find_data(root, "e"), nullptr);  // a marker without val is passed over
  EXPECT_EQ(count_named(root, "relevant"), 1u);

  // A row inside a row goes with the outer one.
  ASSERT_TRUE(tree.load_from_str("<?xml version=\"1.0\"?><data label=\"n\" val=\"1\" type=\"Number\"><switch_to_set_default "
                                 "variable=\"Product\" case=\"Ha\" val=\"2\" type=\"Number\"><switch_to_set_default "
                                 "variable=\"Product\" case=\"Ha\" val=\"3\" type=\"Number\"/></switch_to_set_default></data>"));
  generic_conf_instance->_set_appl_prod_defaults(tree.root, PRODUCT_HA, APPLICATION_NONE, false);
  EXPECT_STREQ(attr(tree.root, "val"), "2");
  EXPECT_EQ(tree.root->first_child, nullptr);

  // The subtree's own root is emptied but never deleted.
  ASSERT_TRUE(tree.load_from_str("<?xml version=\"1.0\"?><data label=\"r\" val=\"1\" type=\"Number\"><relevant "
                                 "label=\"Product\" val=\"Dr\" type=\"Product\"/><data label=\"k\" val=\"1\" type=\"Number\"/></data>"));
  generic_conf_instance->_remove_irrelevant_items(tree.root, PRODUCT_HA, APPLICATION_NONE, false);
  ASSERT_NE(tree.root, nullptr);
  EXPECT_EQ(tree.root->first_child, nullptr);
}

TEST(held_records_test, records_traced_before_a_log_directory_reach_the_first_log) {
  test_support_n::temp_dir_c dir;
  zqtr_reset();
  zqtr_discard_held_records();
  zqtr_hold_records(true);
  {
    ZQTR_SCOPE(tr, "held_records_test", "test");
    tr.print(ZQTR_PROGRESS, __LINE__, "said while loading\n");
    tr.print(ZQTR_DETAIL, __LINE__, "a level the log does not keep\n");
    for (int i = 0; i < 1000; ++i) tr.print(ZQTR_FAIL, __LINE__, "%0100d\n", i);  // beyond 64 KiB
  }
  zqtr_hold_records(false);
  EXPECT_LE(zqtr_held_records().size(), 64u * 1024u);
  int64_t len = 0;
  ASSERT_TRUE(zqtr_set_log_directory(nullptr, len, dir.path().c_str(), "stats_mng.dll", false));
  {
    ZQTR_SCOPE(tr, "held_records_test", "test");
    tr.print(ZQTR_PROGRESS, __LINE__, "said afterwards\n");
  }
  const std::string log = test_support_n::read_text_file(dir.file("stats_mng.log"));
  EXPECT_NE(log.find("said while loading"), std::string::npos);
  EXPECT_EQ(log.find("a level the log does not keep"), std::string::npos);
  EXPECT_NE(log.find("record(s) traced while loading did not fit the 64 KiB kept for the log"), std::string::npos);
  EXPECT_LT(log.find("said while loading"), log.find("said afterwards"));
  EXPECT_TRUE(zqtr_held_records().empty());
  zqtr_reset();
}

TEST(generic_conf_test, root_directory_findings_of_the_template_fail_the_build) {
  // The replica's root directory (the third RootDir of the template: after the definition and the
  // master's) gets another id than the master's, then a second root directory of the master.
  const std::string text = embedded();
  size_t replica_root = 0;
  for (int i = 0; i < 3; ++i) replica_root = text.find("<object label=\"RootDir\"", replica_root + 1);
  ASSERT_NE(replica_root, std::string::npos);
  const std::string id_item = "<data label=\"ID\" val=\"0\"";
  const size_t id_at = text.find(id_item, replica_root);
  ASSERT_NE(id_at, std::string::npos);
  std::string other_id = text;
  other_id.replace(id_at, id_item.size(), "<data label=\"ID\" val=\"5\"");
  build_s b = build(other_id);
  EXPECT_EQ(b.conf, nullptr);
  EXPECT_TRUE(b.has("\nContent of generic xml file is found to be inconsistent"));
  bool finding_traced = false;
  for (const std::string& t : b.traced) finding_traced = finding_traced || t.find("RootDir") != std::string::npos;
  EXPECT_TRUE(finding_traced);
  // The template as it is builds.
  EXPECT_NE(build(text).conf, nullptr);
}

// The compiled tag table's rules are checked when it is compiled: the same rules refuse a table
// that breaks one, at compile time as at run time.
namespace {
constexpr object_tag_s k_tags_twice[] = {{0, 0, "Scenario", 0}, {1, 0, "Switchover", 4500}, {2, 1, "Switchover", 4450}};
constexpr object_tag_s k_tags_misplaced[] = {{0, 0, "Scenario", 0}, {2, 0, "Switchover", 4500}};
constexpr object_tag_s k_tags_late_parent[] = {{0, 0, "Scenario", 0}, {1, 2, "Switchover", 4500}, {2, 0, "Report", 3500}};
static_assert(!conf_tables_n::tag_labels_differ(k_tags_twice, 3), "a label twice is refused");
static_assert(conf_tables_n::tag_labels_differ(k_tags_misplaced, 2), "different labels pass");
static_assert(!conf_tables_n::tag_indexes_are_positions(k_tags_misplaced, 2), "an index off its position is refused");
static_assert(!conf_tables_n::tag_parents_come_first(k_tags_late_parent, 3), "a later parent is refused");
static_assert(conf_tables_n::tag_parents_come_first(k_tags_twice, 3), "earlier parents pass");
}  // namespace

TEST(generic_conf_test, tag_table_rules) {
  struct case_s {
    const char* what;
    void (*alter)(std::vector<object_tag_s>&);
    bool labels_differ, indexes_in_place, parents_first;
  } cases[] = {
      {"the compiled table", [](std::vector<object_tag_s>&) {}, true, true, true},
      {"a label twice", [](std::vector<object_tag_s>& t) { t[40].label = t[12].label; }, false, true, true},
      {"a label alike in other memory", [](std::vector<object_tag_s>& t) { t[40].label = "Scenario"; }, false, true, true},
      {"no label", [](std::vector<object_tag_s>& t) { t[40].label = nullptr; }, true, true, true},
      {"an index off its place", [](std::vector<object_tag_s>& t) { t[68].index = 0; }, true, false, true},
      {"a parent after it", [](std::vector<object_tag_s>& t) { t[30].parent = 31; }, true, true, false},
      {"its own parent", [](std::vector<object_tag_s>& t) { t[30].parent = 30; }, true, true, false},
      {"Group its own parent", [](std::vector<object_tag_s>& t) { t[TAG_GROUP].parent = TAG_GROUP; }, true, true, true},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<object_tag_s> table(object_tag_table, object_tag_table + k_object_tag_count);
    c.alter(table);
    EXPECT_EQ(conf_tables_n::tag_labels_differ(table.data(), table.size()), c.labels_differ);
    EXPECT_EQ(conf_tables_n::tag_indexes_are_positions(table.data(), table.size()), c.indexes_in_place);
    EXPECT_EQ(conf_tables_n::tag_parents_come_first(table.data(), table.size()), c.parents_first);
  }
}
