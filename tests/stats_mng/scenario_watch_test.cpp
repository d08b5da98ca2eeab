// Watching scenarios: what counts as a change between two readings, the conditions a wait ends on,
// and a watcher that reads again only what the system says changed, hears an engine die, and polls
// (saying so) when it may not watch.
#include "stats_mng/scenario_watch.h"

#include "stats_mng/stats_saver.h"
#include "stats_mng/stats_saver_lock.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace test_support_n;
namespace fs = std::filesystem;

namespace {

using kind = scenario_change_s;

scenario_report_s reading(const std::string& dir, bool engine, unsigned state, bool synced = false, int64_t time = 0) {
  scenario_report_s r;
  r.directory = dir;
  r.read = r.engine_known = r.state_known = r.state_recorded = true;
  r.engine_active = engine;
  r.state_index = state;
  r.synced = synced;
  r.sync_time = time;
  return r;
}

std::vector<scenario_change_s::kind_e> kinds(const std::vector<scenario_change_s>& changes) {
  std::vector<scenario_change_s::kind_e> out;
  for (const scenario_change_s& c : changes) out.push_back(c.kind);
  return out;
}

std::string real(const std::string& path) { return fs::canonical(fs::u8path(path)).generic_u8string(); }

std::string make_scenario(const std::string& dir) {
  fs::create_directories(fs::u8path(dir + "/.mw_zq_prefix"));
  return real(dir);
}

bool record(const std::string& dir, bool running) {
  stats_saver_ex_c saver(nullptr, 1, dir.c_str(), STATE_DIRECTORY_NAME, "s", false);
  return saver.set_state(1, running);
}

bool record_sync(const std::string& dir, bool synced, int64_t time) {
  stats_saver_ex_c saver(nullptr, 1, dir.c_str(), STATE_DIRECTORY_NAME, "s", false);
  return saver.set_sync_state(1, synced, time);
}

// The changes seen within a generous bound (a hang guard, not a timing).
std::vector<scenario_change_s> next_changes(scenario_watcher_c& watcher) { return watcher.next(10000); }

}  // namespace

TEST_CHILD_ROLE(watched_engine) {
  if (args.size() != 2) return 2;
  stats_saver_lock_c lock(args[0].c_str());
  if (!lock.lock(true)) return 4;
  write_text_file(args[1], "ready");
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));  // until killed
}

TEST(scenario_watch_test, changes_between_two_readings_of_a_scenario) {
  scenario_report_s unread = reading("/s", false, STATE_UNKNOWN);
  unread.read = unread.state_known = unread.state_recorded = false;
  unread.error = "cannot read its state file";
  scenario_report_s unasked = reading("/s", false, STATE_STOP);
  unasked.read = unasked.engine_known = false;
  unasked.error = "cannot ask the lock file";
  const struct {
    const char* what;
    scenario_report_s before, after;
    std::vector<scenario_change_s::kind_e> expected;
  } cases[] = {
      {"nothing changed", reading("/s", true, STATE_RUNNING, true, 5), reading("/s", true, STATE_RUNNING, true, 5), {}},
      {"an engine took it", reading("/s", false, STATE_STOP), reading("/s", true, STATE_STOP), {kind::ENGINE}},
      {"an engine dropped it", reading("/s", true, STATE_STOP), reading("/s", false, STATE_STOP), {kind::ENGINE}},
      {"the state changed", reading("/s", false, STATE_STOP), reading("/s", false, STATE_RUNNING), {kind::STATE}},
      {"replicated", reading("/s", false, STATE_RUNNING), reading("/s", false, STATE_RUNNING, true, 7), {kind::SYNC}},
      {"replicated again, later", reading("/s", false, STATE_RUNNING, true, 7),
       reading("/s", false, STATE_RUNNING, true, 8), {kind::SYNC}},
      {"synchronising from running, replicated before",
       reading("/s", true, STATE_RUNNING, true, 7), reading("/s", false, STATE_SYNC, false, 9),
       {kind::ENGINE, kind::STATE, kind::SYNC}},
      // What could not be asked is carried by the READ change, never compared as an answer.
      {"the state file became unreadable", reading("/s", false, STATE_RUNNING), unread, {kind::READ}},
      {"readable again", unread, reading("/s", false, STATE_STOP), {kind::READ}},
      {"the lock could not be asked", reading("/s", true, STATE_STOP), unasked, {kind::READ}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<scenario_change_s> out;
    scenario_watch_n::compare(c.before, c.after, 42, out);
    EXPECT_EQ(kinds(out), c.expected);
    for (const scenario_change_s& change : out) {
      EXPECT_EQ(change.seen_ms, 42);
      EXPECT_EQ(change.after.state_index, c.after.state_index);
      EXPECT_EQ(change.before.engine_active, c.before.engine_active);
    }
  }
}

TEST(scenario_watch_test, changes_between_two_readings_of_a_set) {
  const std::vector<scenario_report_s> before = {reading("/r/a", false, STATE_STOP), reading("/r/b", false, STATE_STOP),
                                                 reading("/r/d", false, STATE_STOP)};
  const std::vector<scenario_report_s> after = {reading("/r/a", false, STATE_RUNNING), reading("/r/c", false, STATE_STOP),
                                                reading("/r/d", false, STATE_STOP), reading("/r/e", true, STATE_SYNC)};
  std::vector<scenario_change_s> out;
  scenario_watch_n::compare_sets(before, after, 1, out);
  ASSERT_EQ(kinds(out), (std::vector<scenario_change_s::kind_e>{kind::GONE, kind::STATE, kind::APPEARED, kind::APPEARED}));
  EXPECT_EQ(out[0].after.directory, "/r/b");
  EXPECT_EQ(out[1].after.directory, "/r/a");
  EXPECT_EQ(out[2].after.directory, "/r/c");
  EXPECT_EQ(out[3].after.directory, "/r/e");
  EXPECT_TRUE(out[3].after.engine_active);
  out.clear();
  scenario_watch_n::compare_sets(after, after, 1, out);
  EXPECT_TRUE(out.empty());
  scenario_watch_n::compare_sets(after, {}, 1, out);
  EXPECT_EQ(out.size(), after.size());
}

TEST(scenario_watch_test, conditions_parsed_and_met) {
  scenario_report_s unknown = reading("/s", false, STATE_UNKNOWN);
  unknown.engine_known = unknown.state_known = unknown.read = false;
  const scenario_report_s nothing_recorded = [] {
    scenario_report_s r = reading("/s", false, STATE_UNKNOWN);
    r.state_recorded = false;
    return r;
  }();
  const struct {
    const char* text;
    bool valid;
    bool on_running_held_synced;  // reading("/s", true, Running, true)
    bool on_stopped_free;         // reading("/s", false, Stop)
    bool on_nothing_recorded;
  } cases[] = {
      {"engine=active", true, true, false, false},
      {"ENGINE=Inactive", true, false, true, true},
      {"state=Running", true, true, false, false},
      {"state=stop", true, false, true, false},
      {"state=SYNC", true, false, false, false},
      {"synced=true", true, true, false, false},
      {"synced=false", true, false, true, true},
      {"state=Unknown", false, false, false, false},  // not a state one waits for
      {"state=", false, false, false, false},
      {"engine", false, false, false, false},
      {"engine=on", false, false, false, false},
      {"colour=red", false, false, false, false},
      {"engine =active", false, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    scenario_watch_n::condition_s condition;
    std::string why;
    ASSERT_EQ(scenario_watch_n::parse_condition(c.text, condition, why), c.valid);
    if (!c.valid) {
      EXPECT_EQ(why, std::string("'") + c.text +
                         "' is no condition: engine=active|inactive, state=Running|Stop|Sync or synced=true|false");
      continue;
    }
    EXPECT_EQ(scenario_watch_n::holds(condition, reading("/s", true, STATE_RUNNING, true, 3)), c.on_running_held_synced);
    EXPECT_EQ(scenario_watch_n::holds(condition, reading("/s", false, STATE_STOP)), c.on_stopped_free);
    EXPECT_EQ(scenario_watch_n::holds(condition, nothing_recorded), c.on_nothing_recorded);
    // An answer that could not be had meets no condition.
    EXPECT_FALSE(scenario_watch_n::holds(condition, unknown));
  }
}

class scenario_watcher_test : public temp_dir_test {
 protected:
  static scenario_watcher_c::options_s no_recheck() {
    scenario_watcher_c::options_s options;
    options.recheck_ms = 60000;  // what is seen comes from the notification alone
    return options;
  }
};

TEST_F(scenario_watcher_test, reads_again_only_the_scenario_that_changed) {
  const std::string root = m_dir.file("root");
  const std::string a = make_scenario(root + "/a");
  const std::string b = make_scenario(root + "/b");
  const std::string c = make_scenario(root + "/c");
  ASSERT_TRUE(record(a, false));
  ASSERT_TRUE(record(b, false));
  scenario_watcher_c watcher(no_recheck());
  std::string error;
  ASSERT_TRUE(watcher.start({root}, 1, error)) << error;
  if (watcher.polling()) GTEST_SKIP() << "no change notification here";
  const std::vector<scenario_change_s> first = watcher.current();
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[0].after.directory, a);
  EXPECT_EQ(first[0].after.state_index, STATE_STOP);
  EXPECT_EQ(first[2].after.state_index, STATE_UNKNOWN);
  EXPECT_EQ(watcher.reads(), 3u);
  const uint64_t walks = watcher.walks();
  // Its own probes and reads do not wake it.
  EXPECT_TRUE(watcher.next(300).empty());
  EXPECT_EQ(watcher.reads(), 3u);

  ASSERT_TRUE(record(b, true));
  std::vector<scenario_change_s> changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::STATE});
  EXPECT_EQ(changes[0].after.directory, b);
  EXPECT_EQ(changes[0].before.state_index, STATE_STOP);
  EXPECT_EQ(changes[0].after.state_index, STATE_RUNNING);
  EXPECT_EQ(watcher.reads(), 4u);  // b alone
  EXPECT_EQ(watcher.walks(), walks);  // no walk: no directory came or went

  ASSERT_TRUE(record_sync(c, true, 1700000000));
  changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), (std::vector<scenario_change_s::kind_e>{kind::STATE, kind::SYNC}));
  EXPECT_EQ(changes[1].after.sync_time, 1700000000);
  EXPECT_TRUE(watcher.next(300).empty());
}

TEST_F(scenario_watcher_test, the_parent_state_file_changes_its_children) {
  const std::string root = m_dir.file("root");
  const std::string a = make_scenario(root + "/a");
  const std::string b = make_scenario(root + "/b");
  ASSERT_TRUE(record_sync(a, true, 100));
  scenario_watcher_c watcher(no_recheck());
  std::string error;
  ASSERT_TRUE(watcher.start({root}, 1, error)) << error;
  if (watcher.polling()) GTEST_SKIP() << "no change notification here";
  // The root's own state file, later than a's, counts for both (its state directory made first).
  ASSERT_TRUE(record_sync(real(root), false, 200));
  std::vector<scenario_change_s> changes;
  for (int i = 0; i < 3 && changes.size() < 4; ++i) {
    for (const scenario_change_s& c : next_changes(watcher)) changes.push_back(c);
  }
  ASSERT_EQ(kinds(changes), (std::vector<scenario_change_s::kind_e>{kind::STATE, kind::SYNC, kind::STATE, kind::SYNC}));
  EXPECT_EQ(changes[0].after.directory, a);
  EXPECT_EQ(changes[2].after.directory, b);
  EXPECT_EQ(changes[0].after.state_index, STATE_SYNC);
  EXPECT_EQ(changes[3].after.sync_time, 200);
}

TEST_F(scenario_watcher_test, scenarios_that_come_and_go) {
  const std::string root = m_dir.file("root");
  make_scenario(root + "/a");
  fs::create_directories(fs::u8path(root + "/plain"));
  scenario_watcher_c watcher(no_recheck());
  std::string error;
  ASSERT_TRUE(watcher.start({root}, 2, error)) << error;
  if (watcher.polling()) GTEST_SKIP() << "no change notification here";
  ASSERT_EQ(watcher.current().size(), 1u);

  // A directory becomes a scenario when its state directory is made; one level down too.
  fs::create_directories(fs::u8path(root + "/b/.mw_zq_prefix"));
  std::vector<scenario_change_s> changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::APPEARED});
  EXPECT_EQ(changes[0].after.directory, real(root + "/b"));
  fs::create_directories(fs::u8path(root + "/plain/deep"));
  EXPECT_TRUE(watcher.next(300).empty());
  fs::create_directories(fs::u8path(root + "/plain/deep/.mw_zq_prefix"));
  changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::APPEARED});
  EXPECT_EQ(changes[0].after.directory, real(root + "/plain/deep"));
  // Three levels down is below the depth: not a scenario of this watch.
  fs::create_directories(fs::u8path(root + "/plain/deep/x/.mw_zq_prefix"));
  EXPECT_TRUE(watcher.next(300).empty());

#ifdef _WIN32
  GTEST_SKIP() << "a watched directory cannot be removed here: its change notification handle holds it";
#endif
  fs::remove_all(fs::u8path(root + "/a"));
  changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::GONE});
  EXPECT_EQ(changes[0].after.directory, real(root) + "/a");
  fs::remove_all(fs::u8path(root + "/b/.mw_zq_prefix"));
  changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::GONE});
  EXPECT_EQ(watcher.readings().size(), 1u);
}

TEST_F(scenario_watcher_test, an_engine_killed_is_heard_without_the_recheck) {
  const std::string dir = make_scenario(m_dir.file("root/a"));
  child_process_c engine("watched_engine", {dir, m_dir.file("ready")});
  ASSERT_TRUE(engine.started());
  ASSERT_TRUE(wait_for_file(m_dir.file("ready")));
  scenario_watcher_c::options_s options = no_recheck();
#ifdef _WIN32
  options.recheck_ms = 200;  // a handle closed at death changes nothing Windows reports
#endif
  scenario_watcher_c watcher(options);
  std::string error;
  ASSERT_TRUE(watcher.start({m_dir.file("root")}, 1, error)) << error;
  ASSERT_EQ(watcher.current().size(), 1u);
  EXPECT_TRUE(watcher.current()[0].after.engine_active);
  engine.kill();
  engine.wait();
  const std::vector<scenario_change_s> changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::ENGINE});
  EXPECT_FALSE(changes[0].after.engine_active);
  EXPECT_TRUE(changes[0].before.engine_active);
}

TEST_F(scenario_watcher_test, an_engine_taking_the_lock_is_heard) {
  const std::string dir = make_scenario(m_dir.file("root/a"));
  scenario_watcher_c::options_s options = no_recheck();
#ifdef _WIN32
  options.recheck_ms = 200;  // the lock let go closes a handle, which changes nothing Windows reports
#endif
  scenario_watcher_c watcher(options);
  std::string error;
  ASSERT_TRUE(watcher.start({m_dir.file("root")}, 1, error)) << error;
  if (watcher.polling()) GTEST_SKIP() << "no change notification here";
  {
    stats_saver_lock_c engine(dir.c_str());
    ASSERT_TRUE(engine.lock(true));
    std::vector<scenario_change_s> changes = next_changes(watcher);
    ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::ENGINE});
    EXPECT_TRUE(changes[0].after.engine_active);
  }
  std::vector<scenario_change_s> changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::ENGINE});
  EXPECT_FALSE(changes[0].after.engine_active);
}

TEST_F(scenario_watcher_test, one_scenario_watched_before_it_has_a_state_directory) {
  const std::string dir = m_dir.file("Scen");
  fs::create_directories(fs::u8path(dir));
  scenario_watcher_c watcher(no_recheck());
  std::string error;
  ASSERT_TRUE(watcher.start_one(real(dir), error)) << error;
  ASSERT_EQ(watcher.readings().size(), 1u);
  EXPECT_EQ(watcher.readings()[0].state_index, STATE_UNKNOWN);
  if (watcher.polling()) GTEST_SKIP() << "no change notification here";
  ASSERT_TRUE(record(real(dir), true));
  std::vector<scenario_change_s> changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::STATE});
  EXPECT_EQ(changes[0].after.state_index, STATE_RUNNING);
#ifdef _WIN32
  GTEST_SKIP() << "a watched directory cannot be removed here: its change notification handle holds it";
#endif
  fs::remove_all(fs::u8path(dir));
  changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::GONE});
  EXPECT_TRUE(watcher.readings().empty());

  scenario_watcher_c missing;
  EXPECT_FALSE(missing.start_one(real(m_dir.path()) + "/missing", error));
  EXPECT_EQ(error, "there is no such directory");
}

TEST_F(scenario_watcher_test, polls_and_says_so_when_it_may_not_watch) {
  const std::string root = m_dir.file("root");
  const std::string a = make_scenario(root + "/a");
  make_scenario(root + "/b");
  scenario_watcher_c::options_s options;
  options.watch_limit = 3;  // the root, a and b, but not their state directories
  options.poll_ms = 50;
  scenario_watcher_c watcher(options);
  std::string error;
  ASSERT_TRUE(watcher.start({root}, 1, error)) << error;
  EXPECT_TRUE(watcher.polling());
  const std::vector<std::string> notes = watcher.take_notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "change notification is not available (cannot watch " + a +
                          "/.mw_zq_prefix: the limit of 3 watched directories is reached): polling instead");
  EXPECT_TRUE(watcher.take_notes().empty());  // said once
  ASSERT_TRUE(record(a, true));
  std::vector<scenario_change_s> changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::STATE});
  EXPECT_EQ(changes[0].after.directory, a);
  fs::create_directories(fs::u8path(root + "/c/.mw_zq_prefix"));
  changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::APPEARED});
}

TEST_F(scenario_watcher_test, a_root_that_is_no_directory_is_refused) {
  write_text_file(m_dir.file("file"), "x");
  const struct {
    const char* name;
    const char* error;
  } cases[] = {{"file", "it is not a directory"}, {"missing", "there is no such directory"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scenario_watcher_c watcher;
    std::string error;
    EXPECT_FALSE(watcher.start({m_dir.file(c.name)}, 1, error));
    EXPECT_EQ(error, m_dir.file(c.name) + ": " + c.error);
  }
}

TEST_F(scenario_watcher_test, a_root_that_goes_takes_only_its_own_scenarios) {
  const std::string a = make_scenario(m_dir.file("one/a"));
  const std::string b = make_scenario(m_dir.file("two/b"));
  scenario_watcher_c::options_s options = no_recheck();
  options.poll_ms = 50;
  scenario_watcher_c watcher(options);
  std::string error;
  ASSERT_TRUE(watcher.start({m_dir.file("one"), m_dir.file("two")}, 1, error)) << error;
  if (watcher.polling()) GTEST_SKIP() << "no change notification here";
#ifdef _WIN32
  GTEST_SKIP() << "a watched directory cannot be renamed here: its change notification handle holds it";
#endif
  fs::rename(fs::u8path(m_dir.file("one")), fs::u8path(m_dir.file("elsewhere")));
  std::vector<scenario_change_s> changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::GONE});
  EXPECT_EQ(changes[0].after.directory, a);
  // Nothing would say that it came back: the watcher looks again and again instead, and says so.
  EXPECT_TRUE(watcher.polling());
  EXPECT_EQ(watcher.take_notes(), std::vector<std::string>{"change notification is not available (cannot look into " +
                                                           m_dir.file("one") +
                                                           ": there is no such directory): polling instead"});
  ASSERT_TRUE(record(b, true));
  changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::STATE});
  EXPECT_EQ(changes[0].after.directory, b);
  fs::rename(fs::u8path(m_dir.file("elsewhere")), fs::u8path(m_dir.file("one")));
  changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::APPEARED});
  EXPECT_EQ(changes[0].after.directory, a);
}

#ifndef _WIN32
TEST_F(scenario_watcher_test, a_change_lost_in_an_overflow_is_still_seen) {
  const std::string root = m_dir.file("root");
  const std::string a = make_scenario(root + "/a");
  const std::string b = make_scenario(root + "/b");
  scenario_watcher_c watcher(no_recheck());
  std::string error;
  ASSERT_TRUE(watcher.start({root}, 1, error)) << error;
  if (watcher.polling()) GTEST_SKIP() << "no change notification here";
  // More events than the system queues (two files touched in turn: equal events in a row are one),
  // then a state recorded, whose event is dropped.
  long queued = 0;
  std::ifstream limit("/proc/sys/fs/inotify/max_queued_events");
  if (!(limit >> queued) || queued > 200000) GTEST_SKIP() << "the event queue's limit is not known or too large";
  write_text_file(a + "/.mw_zq_prefix/f1", "");
  write_text_file(a + "/.mw_zq_prefix/f2", "");
  for (long i = 0; i <= queued + 10; ++i) {
    fs::last_write_time(fs::u8path(a + "/.mw_zq_prefix/" + (i % 2 == 0 ? "f1" : "f2")),
                        fs::file_time_type::clock::now());
  }
  ASSERT_TRUE(record(b, true));
  const uint64_t reads = watcher.reads();
  const std::vector<scenario_change_s> changes = next_changes(watcher);
  ASSERT_EQ(kinds(changes), std::vector<scenario_change_s::kind_e>{kind::STATE});
  EXPECT_EQ(changes[0].after.directory, b);
  EXPECT_EQ(watcher.reads(), reads + 2);  // everything read again
}
#endif
