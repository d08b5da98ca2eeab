// The host tree of a scenario configuration when its ReplNode objects cannot all be placed: what
// the build leaves out and says, what the validity check reports, and that every lookup of a host
// left out says so instead of answering for another host; and a tree replaced under the hosts.
#include "default_scenario.h"
#include "xmc/generic_conf.h"
#include "xmc/scenario_conf.h"

#include "platform/trc/zqtr.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace xmc_test_n;

namespace {

xmc_item_c* index_item(xmc_item_c* repl_node) {
  return xmc_conf_c::find_data(xmc_conf_c::find_object(repl_node, "CommonHostProps"), "Index");
}

std::vector<std::string> lost_reasons(scenario_conf_c& conf) {
  std::vector<std::string> out;
  for (const lost_host_s& lost : conf.host_tree().lost()) out.push_back(lost.reason);
  return out;
}

}  // namespace

TEST(host_tree_test, hosts_that_cannot_be_placed_are_left_out_reported_and_never_answered_for) {
  ASSERT_NE(generic_conf_instance, nullptr);
  const std::string left_out = ": the host is left out of the host tree";
  const struct {
    const char* master_index;   // null: unchanged
    const char* replica_index;  // null: unchanged; "-": removed
    bool third_replica_2;       // a copy of the replica beside it, keeping its Index 2
    std::vector<std::string> reasons;
    uint64_t lost_number;  // a host number a lookup must refuse; 0 for none
  } cases[] = {
      {nullptr, "1", false, {"ReplNode #2 of the file repeats the Index 1 of ReplNode #1, the master" + left_out}, 1},
      {nullptr, "-1", false, {"ReplNode #2 of the file has the Index -1, outside 1 to 4294967293" + left_out}, 0},
      {nullptr, "4294967297", false,
       {"ReplNode #2 of the file has the Index 4294967297, outside 1 to 4294967293" + left_out}, 0},
      {nullptr, "4294967294", false,
       {"ReplNode #2 of the file has the Index 4294967294, outside 1 to 4294967293" + left_out}, 0},
      {nullptr, "two", false, {"ReplNode #2 of the file has the Index \"two\", which is no number" + left_out}, 0},
      {nullptr, "0x10", false, {"ReplNode #2 of the file has the Index 0x10, which is not written in decimal" + left_out},
       0},
      {nullptr, "-", false, {"ReplNode #2 of the file has no CommonHostProps.Index" + left_out}, 0},
      {"0", nullptr, false,
       {"ReplNode #1 of the file has the Index 0, outside 1 to 4294967293" + left_out,
        "ReplNode #2 of the file (Index 2) lies inside ReplNode #1, which is left out" + left_out},
       2},
      {"2", nullptr, false,
       {"ReplNode #1 of the file (Index 2) lies inside no host it could replicate from" + left_out,
        "ReplNode #2 of the file (Index 2) lies inside ReplNode #1, which is left out" + left_out},
       2},
      {nullptr, nullptr, true, {"ReplNode #3 of the file repeats the Index 2 of ReplNode #2" + left_out}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.master_index == nullptr ? "" : c.master_index) + "/" +
                 (c.replica_index == nullptr ? "" : c.replica_index) + (c.third_replica_2 ? "/copy" : ""));
    std::unique_ptr<scenario_conf_c> conf = make_scenario();
    xmc_item_c* master = conf->host_tree().find(1)->repl_node;
    xmc_item_c* replica = conf->host_tree().find(2)->repl_node;
    if (c.master_index != nullptr) index_item(master)->set_attr("val", c.master_index);
    if (c.replica_index != nullptr && std::string(c.replica_index) == "-") {
      conf->tree()->remove(index_item(replica));
    } else if (c.replica_index != nullptr) {
      index_item(replica)->set_attr("val", c.replica_index);
    }
    if (c.third_replica_2) {
      ASSERT_TRUE(conf->tree()->insert(new xmc_item_c(*replica, true), replica, true));
    }
    zqtr_capture_c capture;
    conf->_build_host_tree();
    conf->_build_root_dirs();
    EXPECT_EQ(lost_reasons(*conf), c.reasons);
    for (const std::string& reason : c.reasons) EXPECT_TRUE(capture.has(ZQTR_FAIL, reason)) << reason;

    // The validity check names each host left out by its place in the file.
    xmc_validity_c validity;
    EXPECT_FALSE(conf->check_xmc_validity(&validity));
    std::vector<std::string> reported;
    for (uint64_t i = 0; i < validity.count(); ++i) {
      const ch_data_s* f = validity.at(i);
      if (f->code != 36) continue;
      EXPECT_EQ(f->host, 0u);
      EXPECT_EQ(std::string(f->path.c_str()), "ReplNode.CommonHostProps.Index");
      reported.push_back(f->text.c_str());
    }
    EXPECT_EQ(reported, c.reasons);
    // A lookup by a number a host left out states says why instead of answering for another host.
    if (c.lost_number != 0) {
      xmc_value_c value;
      conf->get_host_data(host_field("CommonHostProps.IP"), c.lost_number, value);
      EXPECT_EQ(value.lookup_status(), 1);
      EXPECT_EQ(std::string(value.error_text()).rfind("Unable to find host node with index " +
                                                          std::to_string(c.lost_number) + ": ReplNode #", 0),
                0u)
          << value.error_text();
      xmc_value_c ip("192.0.2.7");
      EXPECT_FALSE(conf->set_host_data(host_field("CommonHostProps.IP"), c.lost_number, ip));
    }
  }
}

TEST(host_tree_test, the_build_traces_what_it_cannot_place) {
  ASSERT_NE(generic_conf_instance, nullptr);
  std::unique_ptr<scenario_conf_c> conf = make_scenario();
  xmc_item_c* master = conf->host_tree().find(1)->repl_node;
  conf->tree()->remove(index_item(master));
  zqtr_capture_c capture;
  EXPECT_EQ(conf->_build_host_tree(), 0u);
  bool property = false, papa = false;
  for (const std::string& text : capture.texts()) {
    if (text.rfind("Unable to find property \"Index\" for node ", 0) == 0) property = true;
    if (text.rfind("Unable to find next Papa for \"ReplNode\", node ", 0) == 0) papa = true;
  }
  EXPECT_TRUE(property);
  EXPECT_TRUE(papa);
  // The replica alone, outside any host: no Papa.
  std::unique_ptr<scenario_conf_c> lone = make_scenario();
  xmc_item_c* replica = lone->host_tree().find(2)->repl_node;
  capture.clear();
  EXPECT_EQ(lone->_build_host_tree(replica), 0u);
  bool no_papa = false;
  for (const std::string& text : capture.texts()) {
    if (text.rfind("Unable to find Papa for \"ReplNode\", node ", 0) == 0) no_papa = true;
  }
  EXPECT_TRUE(no_papa);
}

TEST(host_tree_test, an_index_written_keeps_the_hosts_apart) {
  ASSERT_NE(generic_conf_instance, nullptr);
  std::unique_ptr<scenario_conf_c> conf = make_scenario();
  const uint32_t index = host_field("CommonHostProps.Index");
  const struct {
    uint64_t host;
    const char* text;
    const char* why;  // null: written
  } cases[] = {
      {2, "1", "1 is the master's"},
      {1, "3", "the master is host 1"},
      {2, "0", "host numbers lie between 1 and 4294967293"},
      {2, "4294967297", "host numbers lie between 1 and 4294967293"},
      {2, "-1", "host numbers lie between 1 and 4294967293"},
      {2, "7", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " for host " + std::to_string(c.host));
    zqtr_capture_c capture;
    xmc_value_c value(c.text);
    EXPECT_EQ(conf->set_host_data(index, c.host, value), c.why == nullptr);
    if (c.why != nullptr) {
      EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to set \"CommonHostProps.Index\" of host " + std::to_string(c.host) +
                                             " to \"" + c.text + "\", " + c.why));
    }
  }
  // The replica is host 7 now, and no longer host 2.
  xmc_value_c value;
  EXPECT_EQ(std::string(conf->get_host_data(index, 7, value).as_string()), "7");
  conf->get_host_data(index, 2, value);
  EXPECT_EQ(value.lookup_status(), 1);
}

TEST(host_tree_test, a_replaced_tree_leaves_no_host_pointing_into_it) {
  ASSERT_NE(generic_conf_instance, nullptr);
  const uint32_t ip = host_field("CommonHostProps.IP");
  // A new empty tree: no hosts at all.
  std::unique_ptr<scenario_conf_c> conf = make_scenario();
  conf->new_tree();
  xmc_value_c value;
  conf->get_host_data(ip, 2, value);
  EXPECT_EQ(value.lookup_status(), 1);
  EXPECT_EQ(conf->host_tree().find(2), nullptr);

  // A document loaded through the tree itself replaces the items the hosts pointed to: lookups
  // refuse until the hosts are read again.
  std::unique_ptr<scenario_conf_c> loaded = make_scenario();
  ASSERT_TRUE(loaded->tree()->load_from_str(
      "<?xml version=\"1.0\"?><object label=\"Scenario\" id=\"7\"><object label=\"ReplNode\" id=\"3\"/></object>"));
  loaded->get_host_data(ip, 2, value);
  EXPECT_EQ(value.lookup_status(), 1);
  EXPECT_STREQ(value.error_text(), "Unable to find host node with index 2: items of the tree have been replaced or "
                                   "removed since its hosts were read");
  xmc_validity_c validity;
  EXPECT_FALSE(loaded->check_xmc_validity(&validity));
  ASSERT_GE(validity.count(), 1u);
  EXPECT_EQ(validity.at(validity.count() - 1)->code, 36u);
  // Read again, the new tree's one ReplNode has no Index.
  loaded->_build_host_tree();
  loaded->_build_root_dirs();
  loaded->get_host_data(ip, 2, value);
  EXPECT_STREQ(value.error_text(), "Unable to find host node with index 2: the host tree is incomplete, ReplNode #1 "
                                   "of the file has no CommonHostProps.Index: the host is left out of the host tree");
}
