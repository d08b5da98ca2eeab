#include "xmc/conf_tables.h"
#include "xmc/host_index_tree.h"
#include "xmc/xmc_conf.h"

#include "platform/trc/zqtr.h"
#include "utl/message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char* const k_scenario =
    "<?xml version=\"1.0\"?><object label=\"Scenario\" id=\"1000\">"
    "<object label=\"Switchover\" id=\"4500\" status=\"True\"><title label=\"is_alive\">"
    "<data label=\"HeartbeatTimeout\" val=\"30\" type=\"Number\"/></title></object>"
    "<title label=\"ReplicationTree\"><object label=\"ReplNode\" id=\"5000\">"
    "<object label=\"CommonHostProps\" id=\"100\"><data label=\"Index\" val=\"1\" type=\"Number\"/>"
    "<object label=\"RootDir\" id=\"3010\"><data label=\"Path\" val=\"C:/a\" type=\"FullPath\"/></object>"
    "</object>"
    "<object label=\"ReplNode\" id=\"5000\"><object label=\"CommonHostProps\" id=\"100\">"
    "<data label=\"Index\" val=\"2\" type=\"Number\"/>"
    "<object label=\"RootDir\" id=\"3010\"><data label=\"Path\" val=\"C:/a\" type=\"FullPath\"/></object>"
    "<data label=\"Other\" val=\"x\" type=\"Text\"/>"
    "<object label=\"RootDir\" id=\"3010\"><data label=\"Path\" val=\"C:/b\" type=\"FullPath\"/></object>"
    "</object></object></object></title></object>";

struct finding_s {
  uint64_t host;
  uint64_t entry;
  uint32_t code;
  std::string path;
  std::string value;
  bool operator==(const finding_s& o) const {
    return host == o.host && entry == o.entry && code == o.code && path == o.path && value == o.value;
  }
};

std::ostream& operator<<(std::ostream& out, const finding_s& f) {
  return out << "{" << f.host << ", " << static_cast<int64_t>(f.entry) << ", " << f.code << ", " << f.path << ", "
             << f.value << "}";
}

std::vector<finding_s> findings(xmc_validity_c& validity) {
  std::vector<finding_s> all;
  for (ch_data_s* f = validity.findings().first(); f != nullptr; f = validity.findings().next(f)) {
    all.push_back({f->host, f->entry, f->code, f->path.c_str(), f->value.c_str()});
  }
  return all;
}

constexpr uint64_t k_none = ch_data_s::k_no_entry;

class xmc_conf_test : public ::testing::Test {
 protected:
  void SetUp() override { message_store_c::unload(); }
  void TearDown() override { message_store_c::unload(); }

  // A configuration whose tree holds one object O with the element as its child.
  xmc_item_c* item_in_object(xmc_conf_c& conf, const std::string& element) {
    EXPECT_TRUE(conf.tree()->load_from_str(("<?xml version=\"1.0\"?><object label=\"O\" id=\"1\">" + element + "</object>").c_str()));
    return xmc_item_c::cast(conf.tree()->root->first_item());
  }
};

}  // namespace

TEST_F(xmc_conf_test, item_path_climbs_to_the_root) {
  xmc_conf_c conf;
  ASSERT_TRUE(conf.tree()->load_from_str(k_scenario));
  xml_item_c* heartbeat = conf.tree()->root->first_item()->first_item()->first_item();
  utl_stream_c out;
  EXPECT_STREQ(conf.item_path(heartbeat, out),
               "data.HeartbeatTimeout => title.is_alive => object.Switchover => object.Scenario");
}

TEST_F(xmc_conf_test, data_content_findings_go_to_the_collector_or_the_trace) {
  struct case_s {
    const char* element;
    bool ok;
    std::vector<std::pair<uint32_t, std::string>> found;  // code, value
    std::vector<std::string> traced;
  } cases[] = {
      {R"(<data label="a" val="" type="Text"/>)", true, {}, {}},
      {R"(<data label="a" val="1" type="Text" mandatory="Yes" check_if="X.Y" is_equal="True"/>)", true, {}, {}},
      {R"(<data label="" val="1" type="Text"/>)",
       false,
       {{5, "label"}},
       {"Empty attribute \"label\" of data item \"data. => object.O\""}},
      {R"(<data label="a" val="1" type="Text" colour="red"/>)",
       false,
       {{6, "colour"}},
       {"Superfluous attribute \"colour = red\" of data item \"data.a => object.O\""}},
      {R"(<data label="a" val="1" type="Text" colour=""/>)",
       false,
       {{5, "colour"}, {6, "colour"}},
       {"Empty attribute \"colour\" of data item \"data.a => object.O\"",
        "Superfluous attribute \"colour = \" of data item \"data.a => object.O\""}},
      {R"(<data val="1" type="Text"/>)", false, {{9, ""}}, {"Unnamed data item \"data. => object.O\""}},
      {R"(<data label="a" type="Text"/>)", false, {{10, ""}}, {"Data item missing value \"data.a => object.O\""}},
      {R"(<data label="a" val="1"/>)", false, {{11, ""}}, {"Data item missing type \"data.a => object.O\""}},
      {R"(<data prompted="True"/>)",
       false,
       {{9, ""}, {10, ""}, {11, ""}},
       {"Unnamed data item \"data. => object.O\"", "Data item missing value \"data. => object.O\"",
        "Data item missing type \"data. => object.O\""}},
      {R"(<data/>)", false, {{0, ""}}, {"Empty data item \"data. => object.O\""}},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.element);
    xmc_conf_c conf;
    xmc_item_c* item = item_in_object(conf, c.element);
    ASSERT_NE(item, nullptr);
    xmc_validity_c validity;
    data_content_s found;
    zqtr_capture_c capture;
    EXPECT_EQ(conf._check_data_content(&validity, item, true, found), c.ok);
    EXPECT_TRUE(capture.texts().empty());  // with a collector nothing is traced
    std::vector<finding_s> expected;
    const char* label = xmc_item_c::attr_text(item, "label");
    for (const auto& f : c.found) {
      expected.push_back({0, k_none, f.first, std::string("O.") + (label == nullptr ? "data" : label), f.second});
    }
    EXPECT_EQ(findings(validity), expected);
    EXPECT_EQ(conf._check_data_content(nullptr, item, false, found), c.ok);
    EXPECT_EQ(capture.texts(), c.traced);
  }
}

TEST_F(xmc_conf_test, data_content_reports_what_it_read) {
  xmc_conf_c conf;
  xmc_item_c* item = item_in_object(
      conf, R"(<data label="a" val="v" type="Text" mandatory="True" check_kids_if_val="True" minimum="1"/>)");
  data_content_s found;
  ASSERT_TRUE(conf._check_data_content(nullptr, item, true, found));
  EXPECT_STREQ(found.label, "a");
  EXPECT_STREQ(found.val, "v");
  EXPECT_STREQ(found.check_kids_if_val, "True");
  EXPECT_TRUE(found.mandatory);
  EXPECT_FALSE(found.has_check_if);
  EXPECT_TRUE(found.has_min_max);
  item = item_in_object(conf, R"(<data label="a" val="v" type="Text" mandatory="true"/>)");
  ASSERT_TRUE(conf._check_data_content(nullptr, item, true, found));
  EXPECT_FALSE(found.mandatory);  // only "True" makes it mandatory
}

// The content checks run for each of the template's items while the library loads: one that finds
// nothing traces nothing, not even its scope; one that finds something traces it in its own scope.
TEST_F(xmc_conf_test, content_checks_trace_only_what_they_find) {
  xmc_conf_c conf;
  struct case_s {
    const char* element;
    bool object;
    const char* scope;
    std::vector<std::string> traced;
  } cases[] = {
      {R"(<data label="a" val="1" type="Text"/>)", false, "xmc_conf_c::_check_data_content", {}},
      {R"(<data label="a" val="1"/>)", false, "xmc_conf_c::_check_data_content",
       {"enter", "Data item missing type \"data.a => object.O\"", "leave"}},
      {R"(<data label="a" val="1" type="Text" colour="" />)", false, "xmc_conf_c::_check_data_content",
       {"enter", "Empty attribute \"colour\" of data item \"data.a => object.O\"",
        "Superfluous attribute \"colour = \" of data item \"data.a => object.O\"", "leave"}},
      {R"(<object label="P" id="7"/>)", true, "xmc_conf_c::_check_object_content_get_name", {}},
      {R"(<object label="P"/>)", true, "xmc_conf_c::_check_object_content_get_name",
       {"enter", "Object item without id \"object.P => object.O\"", "leave"}},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.element);
    xmc_item_c* item = item_in_object(conf, c.element);
    ASSERT_NE(item, nullptr);
    zqtr_capture_c capture(0xFFu);
    if (c.object) {
      uint32_t id = 0;
      bool ok = true;
      conf._check_object_content_get_name(item, nullptr, id, ok);
      EXPECT_EQ(ok, c.traced.empty());
    } else {
      data_content_s found;
      EXPECT_EQ(conf._check_data_content(nullptr, item, true, found), c.traced.empty());
    }
    // What a failing check calls (the text buffer of the item's path) has scopes of its own.
    if (c.traced.empty()) {
      EXPECT_TRUE(capture.records().empty());
    }
    std::vector<std::string> traced;
    for (const zqtr_record_s& record : capture.records()) {
      if (record.scope != c.scope) continue;
      std::string text = record.text;
      if (!text.empty() && text.back() == '\n') text.pop_back();
      traced.push_back(text);
    }
    EXPECT_EQ(traced, c.traced);
  }
}

TEST_F(xmc_conf_test, object_content_gives_label_and_id) {
  struct case_s {
    const char* element;
    const char* label;
    uint32_t id;
    std::vector<std::pair<uint32_t, std::string>> found;
  } cases[] = {
      {R"(<object label="a" id="4500" status="True" prompted="x" to_keep="?" external=""/>)", "a", 4500, {{5, "external"}}},
      {R"(<object label="a" id="7"/>)", "a", 7, {}},
      {R"(<object label="a"/>)", "a", 0, {{8, ""}}},
      {R"(<object id="3"/>)", nullptr, 3, {{7, ""}}},
      {R"(<object label="a" id="1" colour="x"/>)", "a", 1, {{6, "colour"}}},
      {R"(<object label="a" id="1" status=""/>)", "a", 1, {{5, "status"}}},
      {R"(<object/>)", nullptr, 0, {{0, ""}}},
      {R"(<object label="" id=""/>)", "", 0, {{5, "label"}, {5, "id"}}},  // empty, not absent
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.element);
    xmc_conf_c conf;
    xmc_item_c* item = item_in_object(conf, c.element);
    xmc_validity_c validity;
    uint32_t id = 99;
    bool ok = true;
    const char* label = conf._check_object_content_get_name(item, &validity, id, ok);
    EXPECT_EQ(label == nullptr ? std::string("(null)") : label, c.label == nullptr ? "(null)" : c.label);
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(ok, c.found.empty());
    ASSERT_EQ(validity.count(), c.found.size());
    for (size_t i = 0; i < c.found.size(); ++i) {
      EXPECT_EQ(validity.at(i)->code, c.found[i].first);
      EXPECT_STREQ(validity.at(i)->value.c_str(), c.found[i].second.c_str());
    }
  }
}

TEST_F(xmc_conf_test, findings_know_their_host_entry_and_path) {
  xmc_conf_c conf;
  ASSERT_TRUE(conf.tree()->load_from_str(k_scenario));
  xmc_item_c* scenario = conf.tree()->root;
  xmc_item_c* master = xmc_conf_c::find_object(scenario, "ReplNode");
  ASSERT_NE(master, nullptr);
  xmc_item_c* replica = xmc_conf_c::find_object(master, "ReplNode");
  ASSERT_NE(replica, nullptr);
  xmc_item_c* replica_props = xmc_conf_c::find_object(replica, "CommonHostProps");
  xml_item_c* second_root_dir = static_cast<xml_item_c*>(replica_props->last_child);
  xmc_validity_c validity;
  conf._add_finding(&validity, second_root_dir->first_item(), 18, nullptr);
  conf._add_finding(&validity, xmc_conf_c::find_data(replica_props, "Other"), 12, "x");
  conf._add_finding(&validity, xmc_conf_c::find_data(xmc_conf_c::find_object(master, "RootDir"), "Path"), 3, nullptr);
  xmc_item_c* switchover = xmc_conf_c::find_object(scenario, "Switchover");
  ASSERT_EQ(xmc_conf_c::find_data(scenario, "HeartbeatTimeout"), nullptr);  // inside another object
  conf._add_finding(&validity, xmc_conf_c::find_data(switchover, "HeartbeatTimeout"), 25, nullptr);
  conf._add_scenario_finding(&validity, 2, 3, nullptr);  // not in this tree: named as the table names it
  conf._add_host_finding(&validity, 4, 3, 12, "0");
  conf._add_path_finding(&validity, 2, 0, 36, "RootDir", nullptr, "free");
  EXPECT_EQ(findings(validity), (std::vector<finding_s>{{2, 1, 18, "RootDir.Path", ""},
                                                        {2, k_none, 12, "CommonHostProps.Other", "x"},
                                                        {1, 0, 3, "RootDir.Path", ""},
                                                        {0, k_none, 25, "Switchover.HeartbeatTimeout", ""},
                                                        {0, k_none, 3, "Scenario.ConfigMode", ""},
                                                        {3, k_none, 12, "CommonHostProps.Port", "0"},
                                                        {2, 0, 36, "RootDir", ""}}));
  EXPECT_STREQ(validity.at(6)->text.c_str(), "free");
  // A scenario field and its item give one path (titles only group, they are not named).
  ch_data_s* by_table = conf._add_scenario_finding(&validity, 71, 25, nullptr);
  ASSERT_NE(by_table, nullptr);
  EXPECT_STREQ(by_table->path.c_str(), validity.at(3)->path.c_str());
  EXPECT_EQ(conf._add_scenario_finding(&validity, 143, 3, nullptr), nullptr);
  EXPECT_EQ(conf._add_finding(nullptr, scenario, 3, nullptr), nullptr);
}

TEST_F(xmc_conf_test, finding_text_is_built_from_the_message_store) {
  xmc_validity_c validity;
  validity.add(0, k_none, 3, "Scenario.ConfigMode", nullptr);
  validity.add(1, 2, 18, "RootDir", "C:/a");
  validity.add(4, k_none, 36, "Switchover", nullptr, "free text");
  utl_stream_c without;
  validity.to_text(without);
  EXPECT_STREQ(without.c_str(),
               "Message not found, Scenario.ConfigMode, Message not found\n"
               "Message not found, Message not found #2, RootDir=>C:/a, Message not found\n"
               "Message not found #4, Switchover, free text\n");

  std::vector<std::string> problems;
  ASSERT_EQ(message_store_c::load_text("IG01373 Scenario\nIG00221 Master\nIG00222 Replica\nIG01374 Root directory\n"
                                       "CV01351 is not set\nCV01366 overlaps\n",
                                       problems),
            6);
  utl_stream_c with;
  validity.to_text(with, 1, "--\n");
  EXPECT_STREQ(with.c_str(),
               "Master, Root directory #2, RootDir=>C:/a, overlaps\n--\n"
               "Replica #4, Switchover, free text\n--\n");
  utl_stream_c first;
  EXPECT_STREQ(validity.at(0)->to_text(first), "Scenario, Scenario.ConfigMode, is not set\n");
}

TEST_F(xmc_conf_test, same_configuration_and_new_tree) {
  xmc_conf_c a(1000), b(1000), c(1001);
  ASSERT_TRUE(a.tree()->load_from_str(k_scenario));
  ASSERT_TRUE(b.tree()->load_from_str(k_scenario));
  ASSERT_TRUE(c.tree()->load_from_str(k_scenario));
  EXPECT_TRUE(a.same_configuration(b));
  EXPECT_FALSE(a.same_configuration(c));  // another id
  xmc_item_c* heartbeat = xmc_conf_c::find_data(xmc_conf_c::find_object(b.tree()->root, "Switchover"), "HeartbeatTimeout");
  ASSERT_NE(heartbeat, nullptr);
  heartbeat->set_attr("val", "31");
  EXPECT_FALSE(a.same_configuration(b));
  b.new_tree();
  EXPECT_EQ(b.tree()->root, nullptr);
  EXPECT_FALSE(a.same_configuration(b));
}

TEST_F(xmc_conf_test, searches_keep_to_their_kind) {
  xmc_conf_c conf;
  ASSERT_TRUE(conf.tree()->load_from_str(
      "<?xml version=\"1.0\"?><object label=\"S\" id=\"1\"><data label=\"D\" val=\"1\" type=\"Number\"><object label=\"Hidden\" id=\"2\"/>"
      "</data><object label=\"Inner\" id=\"3\"><data label=\"Deep\" val=\"2\" type=\"Number\"/></object>"
      "<title label=\"t\"><data label=\"Deep\" val=\"3\" type=\"Number\"/></title></object>"));
  xmc_item_c* root = conf.tree()->root;
  EXPECT_EQ(xmc_conf_c::find_object(root, "Hidden"), nullptr);  // not inside data items
  EXPECT_NE(xmc_conf_c::find_object(root, "Inner"), nullptr);
  xmc_item_c* deep = xmc_conf_c::find_data(root, "Deep");  // not inside objects
  ASSERT_NE(deep, nullptr);
  EXPECT_STREQ(xmc_item_c::attr_text(deep, "val"), "3");
}

TEST(host_index_tree_test, hosts_by_index_in_pre_order) {
  host_index_tree_c tree;
  ASSERT_NE(tree.master(), nullptr);
  EXPECT_EQ(tree.find(1), tree.master());
  EXPECT_EQ(tree.host_count(), 0u);
  EXPECT_EQ(tree.first_host_index(), 0u);
  EXPECT_EQ(tree.next_host_index(1), 0u);

  ASSERT_NE(tree.insert_host(2, 1, nullptr), nullptr);
  ASSERT_NE(tree.insert_host(3, 2, nullptr), nullptr);
  ASSERT_NE(tree.insert_host(4, 1, nullptr), nullptr);
  EXPECT_EQ(tree.insert_host(5, 9, nullptr), nullptr);  // no such parent
  EXPECT_EQ(tree.insert_host(3, 1, nullptr), nullptr);  // already there
  EXPECT_EQ(tree.insert_host(1, 2, nullptr), nullptr);  // the master is the root
  EXPECT_EQ(tree.host_count(), 3u);
  EXPECT_EQ(tree.first_host_index(), 2u);
  std::vector<uint64_t> order;
  for (uint64_t h = 1; h != 0; h = tree.next_host_index(h)) order.push_back(h);
  EXPECT_EQ(order, (std::vector<uint64_t>{1, 2, 3, 4}));
  EXPECT_EQ(tree.find(3)->parent, tree.find(2));
  EXPECT_EQ(tree.next_host_index(7), 0u);

  tree.remove_all_but_root();
  EXPECT_EQ(tree.host_count(), 0u);
  EXPECT_EQ(tree.find(2), nullptr);
  tree.remove(tree.master());  // the master stays, whatever removes it
  ASSERT_NE(tree.master(), nullptr);
  tree.clear();
  ASSERT_NE(tree.master(), nullptr);
  EXPECT_NE(tree.insert_host(2, 1, nullptr), nullptr);
}

TEST(conf_tables_test, indexes_parents_and_flags_agree) {
  for (size_t i = 0; i < k_object_tag_count; ++i) {
    SCOPED_TRACE(object_tag_table[i].label);
    EXPECT_EQ(object_tag_table[i].index, i);
    if (i == TAG_SCENARIO || i == TAG_GROUP) {
      EXPECT_EQ(object_tag_table[i].parent, i);
    } else {
      EXPECT_LT(object_tag_table[i].parent, i);
    }
    EXPECT_EQ(conf_tables_n::tag_of_label(object_tag_table[i].label), i);
  }
  EXPECT_EQ(conf_tables_n::tag_of_label("Colour"), TAG_NOT_FOUND);
  EXPECT_EQ(conf_tables_n::tag_of_label(nullptr), TAG_NOT_FOUND);
  EXPECT_STREQ(object_tag_table[TAG_REPL_NODE].label, "ReplNode");
  EXPECT_STREQ(object_tag_table[TAG_ROOT_DIR].label, "RootDir");
  EXPECT_STREQ(object_tag_table[TAG_EXTERNAL].label, "External");

  struct table_s {
    const data_table_entry_s* entries;
    size_t count;
  } tables[] = {{scenario_data_table, k_scenario_data_count},
                {host_data_table, k_host_data_count},
                {group_data_table, k_group_data_count}};
  for (const table_s& t : tables) {
    for (size_t i = 0; i < t.count; ++i) {
      EXPECT_EQ(t.entries[i].index, i);
      EXPECT_LT(t.entries[i].object_tag, k_object_tag_count);
    }
  }
  // Host fields flagged are exactly those of the objects that the manager data hold as well.
  const std::vector<std::string> manager = {"Report",       "ReportNotifyEmail", "ReportScript",
                                            "EventNotification", "NotifyByEmail", "EventNotifScript"};
  for (size_t i = 0; i < k_host_data_count; ++i) {
    const std::string owner = object_tag_table[host_data_table[i].object_tag].label;
    const bool managed = std::find(manager.begin(), manager.end(), owner) != manager.end();
    EXPECT_EQ(host_data_table[i].flag, managed ? 1u : 0u) << i << " " << owner;
  }
  EXPECT_STREQ(scenario_data_table[85].label, "Automatic");
  EXPECT_STREQ(scenario_data_table[118].label, "BuildShares");
  EXPECT_STREQ(host_data_table[192].label, "CommonDBScheduledBookmarks");
  EXPECT_STREQ(group_data_table[31].label, "DefaultArgs");
}
