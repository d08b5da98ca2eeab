// The data access of a scenario configuration through paths, group fields, reloaded objects and
// list fields' type names.
#include "default_scenario.h"
#include "xmc/generic_conf.h"
#include "xmc/scenario_conf.h"

#include "platform/trc/zqtr.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace xmc_test_n;

namespace {

long index_of(const data_table_entry_s* table, size_t count, const char* path) {
  const long index = conf_tables_n::index_of_path(table, count, path);
  EXPECT_GE(index, 0) << path;
  return index;
}

std::string text(xmc_value_c& value) { return value.as_string(); }

}  // namespace

TEST(scenario_access_test, host_fields_by_path) {
  ASSERT_NE(generic_conf_instance, nullptr);
  std::unique_ptr<scenario_conf_c> conf = make_scenario();
  xmc_value_c ip("192.0.2.2");
  ASSERT_TRUE(conf->set_host_data(static_cast<uint32_t>(index_of(host_data_table, k_host_data_count, "CommonHostProps.IP")),
                                  2, ip));
  const struct {
    const char* path;
    uint64_t host;
    const char* value;  // null: the lookup fails with error
    const char* error;
  } cases[] = {
      {"CommonHostProps.IP", 2, "192.0.2.2", nullptr},
      {"commonhostprops.ip", 2, "192.0.2.2", nullptr},  // letter case ignored
      {"CommonHostProps.Index", 1, "1", nullptr},
      {"CommonHostProps.IP", 9, nullptr, "Unable to find host node with index 9"},
      {"CommonHostProps.Nothing", 2, nullptr, "Unable to find node with property CommonHostProps.Nothing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " host " + std::to_string(c.host));
    xmc_value_c value;
    conf->get_host_data_by_path(c.path, c.host, value);
    if (c.value != nullptr) {
      EXPECT_EQ(value.lookup_status(), 0) << value.error_text();
      EXPECT_EQ(text(value), c.value);
    } else {
      EXPECT_EQ(value.lookup_status(), 1);
      EXPECT_STREQ(value.error_text(), c.error);
    }
  }
}

TEST(scenario_access_test, any_field_by_the_path_a_finding_prints) {
  ASSERT_NE(generic_conf_instance, nullptr);
  std::unique_ptr<scenario_conf_c> conf = make_scenario();
  const struct {
    const char* write;  // the path written
    const char* read;   // another path of the same field
    uint64_t host;
    const char* value;
  } cases[] = {
      {"Switchover.SendPing.FromMasterPingIP", "Switchover.FromMasterPingIP", 0, "192.0.2.9"},
      {"Switchover.FromReplicaPingIP", "Switchover.SendPing.FromReplicaPingIP", 0, "192.0.2.8"},
      {"RootDir#0.Path", "RootDir.Path", 1, "/data"},
      {"CommonHostProps.IP", "CommonHostProps.IP", 2, "192.0.2.2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.write);
    xmc_value_c value(c.value);
    ASSERT_TRUE(conf->set_data_by_path(c.write, c.host, value, false));
    xmc_value_c read;
    EXPECT_EQ(text(conf->get_data_by_path(c.read, c.host, read)), c.value) << read.error_text();
    EXPECT_EQ(text(conf->get_data_by_path(c.write, c.host, read)), c.value);
  }
  // The root directory model follows a path written past it.
  EXPECT_STREQ(conf->host_tree().find(1)->root_dirs.at(0)->path(), "/data");
  // What a path cannot name, and what does not fit.
  zqtr_capture_c capture;
  xmc_value_c value;
  conf->get_data_by_path("RootDir#1.Path", 1, value);
  EXPECT_STREQ(value.error_text(), "Unable to find field \"RootDir#1.Path\", host Master");
  conf->get_data_by_path("Switchover", 0, value);
  EXPECT_STREQ(value.error_text(), "\"Switchover\" names an object, not a field");
  xmc_value_c words("many");
  EXPECT_FALSE(conf->set_data_by_path("Switchover.SendPing.HeartbeatTimeout", 0, words, false));
  EXPECT_FALSE(conf->set_data_by_path("RootDir#0.ID", 1, words, false));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to set \"RootDir#0.ID\" = \"many\", type doesn't fit"));
  // The path a finding on a host left out prints reads from the scenario, but a host's number is
  // written only as its host's field.
  xmc_value_c five("5");
  EXPECT_EQ(text(conf->get_data_by_path("ReplNode.CommonHostProps.Index", 0, value)), "1");
  EXPECT_FALSE(conf->set_data_by_path("ReplNode.CommonHostProps.Index", 0, five, false));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to set \"ReplNode.CommonHostProps.Index\", a host's Index is written as "
                                     "CommonHostProps.Index of its host"));
  EXPECT_TRUE(conf->set_data_by_path("ReplNode.CommonHostProps.Index", 2, five, false));  // the replica's own
  EXPECT_EQ(text(conf->get_data_by_path("CommonHostProps.Index", 5, value)), "5");
}

TEST(scenario_access_test, a_fixed_group_field_is_written_only_when_forced) {
  ASSERT_NE(generic_conf_instance, nullptr);
  // The group of the configurator's template, in a configuration of its own.
  scenario_conf_c group(8000);
  group.tree()->attach(new xmc_item_c(*xmc_conf_c::find_object(generic_conf_instance->tree()->root, "Group"), true),
                       nullptr, true);
  const uint32_t id = static_cast<uint32_t>(index_of(group_data_table, k_group_data_count, "Group.GroupID"));
  const uint32_t name = static_cast<uint32_t>(index_of(group_data_table, k_group_data_count, "Group.GroupName"));
  zqtr_capture_c capture;
  xmc_value_c seven("7");
  EXPECT_FALSE(group.set_group_data(id, seven, false));
  xmc_value_c read;
  EXPECT_NE(text(group.get_group_data(id, read)), "7");
  EXPECT_TRUE(group.set_group_data(id, seven, true));
  EXPECT_EQ(text(group.get_group_data(id, read)), "7");
  xmc_value_c named("Nightly");
  EXPECT_TRUE(group.set_group_data(name, named, false));  // not fixed
  EXPECT_EQ(text(group.get_group_data(name, read)), "Nightly");
}

TEST(scenario_access_test, scenario_objects_reload_their_defaults_under_their_own_label) {
  ASSERT_NE(generic_conf_instance, nullptr);
  std::unique_ptr<scenario_conf_c> conf = make_scenario();
  const uint32_t heartbeat = static_cast<uint32_t>(index_of(scenario_data_table, k_scenario_data_count,
                                                            "Switchover.HeartbeatTimeout"));
  const uint32_t script = static_cast<uint32_t>(index_of(scenario_data_table, k_scenario_data_count,
                                                         "OnSuccessScript.Path"));
  xmc_value_c fifty("50"), path("/bin/ok");
  ASSERT_TRUE(conf->set_scenario_data(heartbeat, fifty, false));
  ASSERT_TRUE(conf->set_scenario_data(script, path, false));
  // A script shares the Script definition: reloaded, it keeps its own label, and only it is reset.
  ASSERT_TRUE(conf->reload_object(15, 0));
  xmc_value_c read;
  EXPECT_EQ(text(conf->get_scenario_data(script, read)), "");
  EXPECT_EQ(read.lookup_status(), 0);
  EXPECT_EQ(text(conf->get_scenario_data(heartbeat, read)), "50");
  EXPECT_NE(xmc_conf_c::find_object(conf->tree()->root, "OnSuccessScript"), nullptr);
  // The scenario's Switchover: its default again, the hosts untouched.
  ASSERT_TRUE(conf->reload_object(TAG_SWITCHOVER, 0));
  EXPECT_EQ(text(conf->get_scenario_data(heartbeat, read)), "30");
  EXPECT_EQ(conf->host_tree().host_count(), 1u);
  EXPECT_EQ(conf->get_host_data(static_cast<uint32_t>(index_of(host_data_table, k_host_data_count, "CommonHostProps.Index")),
                                2, read)
                .lookup_status(),
            0);
}

TEST(scenario_access_test, a_list_field_names_its_entry_type) {
  ASSERT_NE(generic_conf_instance, nullptr);
  std::unique_ptr<scenario_conf_c> conf = make_scenario();
  const struct {
    const char* path;
    const char* type;
  } cases[] = {{"Switchover.ListMonitorServices", "5500"}, {"RedirectDNS.DNS_ServerIPs", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const long index = conf_tables_n::index_of_path(scenario_data_table, k_scenario_data_count, c.path);
    if (index < 0) continue;
    xmc_value_c value;
    conf->get_scenario_data(static_cast<uint32_t>(index), value);
    ASSERT_EQ(value.lookup_status(), 0) << value.error_text();
    ASSERT_NE(value.entries(), nullptr);
    ASSERT_NE(value.type_name(), nullptr);
    const std::string label = std::string(c.path).substr(std::string(c.path).find('.') + 1);
    xmc_item_c* item = nullptr;
    for (xml_item_c* at = conf->tree()->root; at != nullptr && item == nullptr;
         at = xmc_item_c::walk_next(at, conf->tree()->root, xmc_item_c::enters(at))) {
      xmc_item_c* typed = xmc_item_c::cast(at);
      const char* own = xmc_item_c::attr_text(typed, "label");
      if (typed != nullptr && typed->is_data() && own != nullptr && label == own) item = typed;
    }
    ASSERT_NE(item, nullptr);
    const std::string val = xmc_item_c::attr_text(item, "val");
    EXPECT_EQ(std::string(value.type_name()), c.type != nullptr ? c.type : val);
    // A copy keeps its own type name.
    xmc_value_c copy(value);
    xmc_value_c assigned;
    assigned = value;
    value.reset();
    EXPECT_STREQ(copy.type_name(), c.type != nullptr ? c.type : val.c_str());
    EXPECT_STREQ(assigned.type_name(), c.type != nullptr ? c.type : val.c_str());
  }
  // A group's list of scenarios names the object of its entries.
  scenario_conf_c group(8000);
  group.tree()->attach(new xmc_item_c(*xmc_conf_c::find_object(generic_conf_instance->tree()->root, "Group"), true),
                       nullptr, true);
  xmc_value_c scenarios;
  group.get_data_by_path("Group.ScenarioList", 0, scenarios);
  ASSERT_EQ(scenarios.lookup_status(), 0) << scenarios.error_text();
  EXPECT_STREQ(scenarios.type_name(), "8010");
}

TEST(scenario_access_test, same_scenario_by_id) {
  ASSERT_NE(generic_conf_instance, nullptr);
  std::unique_ptr<scenario_conf_c> a = make_scenario(7), b = make_scenario(7), c = make_scenario(8);
  EXPECT_TRUE(a->same_scenario(*b));
  EXPECT_FALSE(a->same_scenario(*c));
}

// Every entry of each table is found by its own "Object.Label" path in any case (the first of
// equal paths, as a search in order finds it), and a path that differs from all of them in its
// separator, a piece cut short or a piece run on is found nowhere.
TEST(scenario_access_test, every_table_entry_is_found_by_its_path_and_near_misses_are_not) {
  const struct {
    const data_table_entry_s* table;
    size_t count;
    const char* name;
  } tables[] = {{scenario_data_table, k_scenario_data_count, "scenario_data_table"},
                {host_data_table, k_host_data_count, "host_data_table"},
                {group_data_table, k_group_data_count, "group_data_table"},
                {scenario_info_data_table, k_scenario_info_data_count, "scenario_info_data_table"}};
  auto path_of = [](const data_table_entry_s& entry) {
    return std::string(object_tag_table[entry.object_tag].label) + "." + entry.label;
  };
  auto lower = [](std::string text) {
    for (char& c : text) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
  };
  auto flip_case = [](std::string text) {
    for (char& c : text) {
      if (c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 32);
      } else if (c >= 'A' && c <= 'Z') {
        c = static_cast<char>(c + 32);
      }
    }
    return text;
  };
  for (const auto& t : tables) {
    SCOPED_TRACE(t.name);
    for (size_t i = 0; i < t.count; ++i) {
      const std::string path = path_of(t.table[i]);
      SCOPED_TRACE(path);
      long first = static_cast<long>(i);
      for (size_t j = 0; j < i; ++j) {
        if (lower(path_of(t.table[j])) == lower(path)) {
          first = static_cast<long>(j);
          break;
        }
      }
      EXPECT_EQ(conf_tables_n::index_of_path(t.table, t.count, path.c_str()), first);
      EXPECT_EQ(conf_tables_n::index_of_path(t.table, t.count, flip_case(path).c_str()), first);
      const std::string object = object_tag_table[t.table[i].object_tag].label;
      const std::string misses[] = {object + "_" + t.table[i].label,     object + t.table[i].label,
                                    object + ".",                        object,
                                    path.substr(0, path.size() - 1),     path + "x",
                                    object.substr(1) + "." + t.table[i].label, "x" + path};
      for (const std::string& miss : misses) {
        bool is_a_path = false;
        for (size_t j = 0; j < t.count; ++j) is_a_path = is_a_path || lower(path_of(t.table[j])) == lower(miss);
        if (is_a_path) continue;
        EXPECT_EQ(conf_tables_n::index_of_path(t.table, t.count, miss.c_str()), -1) << miss;
      }
    }
    EXPECT_EQ(conf_tables_n::index_of_path(t.table, t.count, nullptr), -1);
    EXPECT_EQ(conf_tables_n::index_of_path(t.table, t.count, ""), -1);
  }
}
