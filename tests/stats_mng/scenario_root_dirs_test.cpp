#include "stats_mng/scenario_root_dirs.h"

#include "support/temp_dir.h"
#include "xmc/generic_conf.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace test_support_n;

namespace {

// A scenario whose master has three root directories below dir: a, b (a file, so that its state
// directory cannot be made) and c; the replica has one.
std::unique_ptr<scenario_conf_c> three_roots(const temp_dir_c& dir) {
  auto conf = std::make_unique<scenario_conf_c>();
  conf->tree()->attach(generic_conf_instance->new_default_object(TAG_SCENARIO, PRODUCT_HA, 0, false), nullptr, true);
  conf->_build_host_tree();
  xmc_item_c* master_props = xmc_conf_c::find_object(conf->host_tree().find(1)->repl_node, "CommonHostProps");
  xmc_item_c* first = xmc_conf_c::find_object(master_props, "RootDir");
  for (int i = 0; i < 2; ++i) {
    conf->tree()->insert(generic_conf_instance->new_default_object(TAG_ROOT_DIR, PRODUCT_HA, 0, false), first, true);
  }
  const char* names[] = {"a", "b", "c"};
  xmc_item_c* item = first;
  for (const char* name : names) {
    xmc_root_dir_c(item).set_path(dir.file(name).c_str());
    item = xmc_item_c::cast(item->next);
  }
  conf->_build_root_dirs();
  return conf;
}

std::string state_file(const temp_dir_c& dir, const char* root) {
  return read_text_file(dir.file(root) + "/.mw_zq_prefix/stats.xml");
}

}  // namespace

TEST(scenario_root_dirs_test, states_go_to_every_root_directory_of_a_host) {
  ASSERT_NE(generic_conf_instance, nullptr);
  temp_dir_c dir;
  std::unique_ptr<scenario_conf_c> conf = three_roots(dir);
  scenario_root_directories_c roots(*conf);
  ASSERT_EQ(roots.root_directory_count(1), 3u);
  EXPECT_EQ(roots.root_directory_count(2), 1u);
  EXPECT_EQ(roots.root_directory_count(9), 0u);
  utl_stream_c path;
  ASSERT_TRUE(roots.root_directory(1, 2, path));
  EXPECT_EQ(std::string(path.c_str()), dir.file("c"));
  EXPECT_FALSE(roots.root_directory(1, 3, path));
  EXPECT_FALSE(roots.root_directory(2, 0, path));  // the replica's root has no path

  write_text_file(dir.file("b"), "not a directory");
  stats_saver_ex_c saver(&roots, 0, "", ".mw_zq_prefix", "", true);
  // Recording a run stops at the first directory that fails.
  EXPECT_FALSE(saver.set_state(1, true));
  EXPECT_NE(state_file(dir, "a").find("Running"), std::string::npos);
  EXPECT_EQ(state_file(dir, "c"), "");
  // Recording the synchronisation writes every directory it can.
  EXPECT_FALSE(saver.set_sync_state(1, true, 100));
  EXPECT_NE(state_file(dir, "a").find("IsSyncReplicatedTime=\"100\""), std::string::npos);
  EXPECT_NE(state_file(dir, "c").find("IsSyncReplicatedTime=\"100\""), std::string::npos);

  // The replica's one root directory has no path: nothing can be written, and neither call says it was.
  zqtr_capture_c capture;
  EXPECT_FALSE(saver.set_state(2, true));
  EXPECT_FALSE(saver.set_sync_state(2, true, 100));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Root directory 0 of host 2 has no path: its state is not written."));
  // A host the scenario does not have has nowhere to record its state: that is no success either.
  for (uint64_t host : {uint64_t{9}, uint64_t{0}}) {
    SCOPED_TRACE(host);
    zqtr_capture_c none;
    EXPECT_FALSE(saver.set_state(host, true));
    EXPECT_FALSE(saver.set_sync_state(host, true, 100));
    EXPECT_TRUE(none.has(ZQTR_FAIL, "Host " + std::to_string(host) + " has no root directory: its state is not written."));
  }
}
