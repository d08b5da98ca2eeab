// Listing every scenario below a directory: what is found, what each answers, and that what cannot
// be read is said and never answered for.
#include "stats_mng/scenario_list.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace test_support_n;
namespace fs = std::filesystem;

namespace {

std::string state_text(const char* state, int64_t time) {
  return "<?xml version=\"1.0\"?>\n<Statistics>\n\t<Scenario HostIndex=\"1\" ScenarioID=\"1\" ScenarioName=\"s\" "
         "IsSyncReplicated=\"True\" State=\"" +
         std::string(state) + "\" IsSyncReplicatedTime=\"" + std::to_string(time) + "\"/>\n</Statistics>\n";
}

// A scenario directory below root with its state directory (and a state file when given).
std::string scenario(const std::string& root, const std::string& name, const std::string& state = "") {
  const std::string dir = root + "/" + name;
  fs::create_directories(fs::u8path(dir + "/.mw_zq_prefix"));
  if (!state.empty()) write_text_file(dir + "/.mw_zq_prefix/stats.xml", state);
  return dir;
}

std::string real(const std::string& path) { return fs::canonical(fs::u8path(path)).generic_u8string(); }

std::vector<std::string> found(scenario_lister_c& lister, const std::string& root, unsigned depth = 1) {
  std::vector<std::string> out;
  std::string error;
  EXPECT_TRUE(lister.find(root, depth, out, error)) << error;
  return out;
}

}  // namespace

TEST(scenario_list_test, scenarios_found_below_a_root) {
  temp_dir_c dir;
  const std::string root = dir.file("root");
  const std::string a = scenario(root, "a", state_text("Running", 10));
  const std::string b = scenario(root, "b");
  fs::create_directories(fs::u8path(root + "/plain/inner"));
  const std::string deep = scenario(root, "plain/deep");
  scenario_lister_c lister;
  EXPECT_EQ(found(lister, root), (std::vector<std::string>{real(a), real(b)}));
  EXPECT_EQ(found(lister, root, 2), (std::vector<std::string>{real(a), real(b), real(deep)}));
  std::vector<std::string> out;
  std::string error;
  EXPECT_FALSE(lister.find(dir.file("missing"), 1, out, error));
  EXPECT_EQ(error, "there is no such directory");
  EXPECT_FALSE(lister.find(a + "/.mw_zq_prefix/stats.xml", 1, out, error));
#ifndef _WIN32
  // A link to a scenario is that scenario, listed once under its real path.
  fs::create_directory_symlink(fs::u8path(a), fs::u8path(root + "/link"));
  EXPECT_EQ(found(lister, root), (std::vector<std::string>{real(a), real(b)}));
#endif
}

TEST(scenario_list_test, what_each_scenario_answers) {
  temp_dir_c dir;
  const std::string root = dir.file("root");
  struct case_s {
    const char* name;
    std::string state;      // the state file's text; empty: none
    bool read;
    bool state_known;
    unsigned index;
    int64_t time;
    const char* error_part;
  };
  const case_s cases[] = {
      {"running", state_text("Running", 1700000000), true, true, STATE_RUNNING, 1700000000, ""},
      {"sync", state_text("Sync", 5), true, true, STATE_SYNC, 5, ""},
      {"none", "", true, true, STATE_UNKNOWN, 0, ""},
      {"garbage", "not a state file", false, false, STATE_UNKNOWN, 0, "its state file holds no state"},
      {"empty", std::string(1, ' '), false, false, STATE_UNKNOWN, 0, "its state file holds no state"},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = scenario(root, c.name, c.state);
    scenario_lister_c lister;
    const scenario_report_s r = lister.read(real(path));
    EXPECT_EQ(r.read, c.read) << r.error;
    EXPECT_EQ(r.state_known, c.state_known);
    EXPECT_EQ(r.state_index, c.index);
    EXPECT_EQ(r.sync_time, c.time);
    EXPECT_TRUE(r.engine_known);
    EXPECT_FALSE(r.engine_active);
    EXPECT_NE(r.error.find(c.error_part), std::string::npos) << r.error;
  }

  // A state file far bigger than any is not read at all.
  const std::string big = scenario(root, "big");
  write_text_file(big + "/.mw_zq_prefix/stats.xml", "");
  fs::resize_file(fs::u8path(big + "/.mw_zq_prefix/stats.xml"), scenario_lister_c::k_max_state_file_size + 1);
  scenario_lister_c lister;
  scenario_report_s r = lister.read(real(big));
  EXPECT_FALSE(r.read);
  EXPECT_NE(r.error.find("bytes, which no state file is"), std::string::npos) << r.error;

  // The parent directory's state file counts when it is later; one that cannot be read is said.
  fs::create_directories(fs::u8path(root + "/.mw_zq_prefix"));
  write_text_file(root + "/.mw_zq_prefix/stats.xml", state_text("Stop", 1800000000));
  r = scenario_lister_c().read(real(root + "/running"));
  EXPECT_TRUE(r.read);
  EXPECT_EQ(r.state_index, static_cast<unsigned>(STATE_STOP));
  write_text_file(root + "/.mw_zq_prefix/stats.xml", "garbage");
  r = scenario_lister_c().read(real(root + "/running"));
  EXPECT_FALSE(r.read);
  EXPECT_FALSE(r.state_known);
  EXPECT_NE(r.error.find("parent directory's state file"), std::string::npos) << r.error;
}

TEST(scenario_list_test, reading_changes_nothing) {
  temp_dir_c dir;
  // A scenario whose state directory went between the walk and the question: nothing is made.
  const std::string gone = dir.file("gone");
  fs::create_directories(fs::u8path(gone));
  const scenario_report_s r = scenario_lister_c().read(real(gone));
  EXPECT_TRUE(r.read);
  EXPECT_FALSE(r.engine_active);
  EXPECT_FALSE(fs::exists(fs::u8path(gone + "/.mw_zq_prefix")));
  // A lock file with content keeps it.
  const std::string held = scenario(dir.path(), "held", state_text("Running", 1));
  write_text_file(held + "/.mw_zq_prefix/state.lock", "kept");
  EXPECT_TRUE(scenario_lister_c().read(real(held)).read);
  EXPECT_EQ(read_text_file(held + "/.mw_zq_prefix/state.lock"), "kept");
}

#ifndef _WIN32
TEST(scenario_list_test, hostile_names_and_files) {
  temp_dir_c dir;
  const std::string root = dir.file("root");
  // A backslash in a name is a separator to the library: such a scenario is said, not misread.
  const std::string odd = scenario(root, "only\\one", state_text("Stop", 1));
  scenario(root, "only/one", state_text("Running", 2));
  scenario_lister_c lister;
  const std::vector<std::string> all = found(lister, root, 2);
  ASSERT_EQ(all.size(), 2u);  // two scenarios, not one name read twice
  const scenario_report_s r = lister.read(real(odd));
  EXPECT_FALSE(r.read);
  EXPECT_NE(r.error.find("backslash"), std::string::npos);

  // A FIFO for a state file is refused without waiting for a writer.
  const std::string fifo = scenario(root, "fifo");
  ASSERT_EQ(::mkfifo((fifo + "/.mw_zq_prefix/stats.xml").c_str(), 0600), 0);
  const scenario_report_s f = lister.read(real(fifo));
  EXPECT_FALSE(f.read);
  EXPECT_FALSE(f.state_known);

}

TEST(scenario_list_test, what_cannot_be_looked_at_is_said) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  temp_dir_c dir;
  const std::string root = dir.file("root");
  scenario_lister_c lister;
  const std::string locked = scenario(root, "locked", state_text("Running", 1));
  ::chmod((locked + "/.mw_zq_prefix").c_str(), 0);
  const scenario_report_s p = lister.read(real(locked));
  ::chmod((locked + "/.mw_zq_prefix").c_str(), 0700);
  EXPECT_FALSE(p.read);
  EXPECT_FALSE(p.engine_known);
}
#endif
