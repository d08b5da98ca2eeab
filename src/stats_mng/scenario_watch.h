// Watching scenarios change: what changed between two readings of a scenario (or of a set of
// scenarios), whether a reading meets a condition, and a watcher that reads again what the system's
// change notification names, with a periodic re-check for what no file change shows (an engine that
// died holding its lock) and polling where there is no notification.
#ifndef STATS_MNG_STATS_MNG_SCENARIO_WATCH_H
#define STATS_MNG_STATS_MNG_SCENARIO_WATCH_H

#include "stats_mng/scenario_list.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class change_notifier_c;

struct scenario_change_s {
  enum kind_e {
    CURRENT,   // the first reading of a scenario watched from the start
    APPEARED,  // a scenario directory came (its state directory was made)
    GONE,      // it went (it or its state directory was removed)
    READ,      // whether it could be read (or why not) changed
    ENGINE,    // an engine took or dropped it
    STATE,     // its recorded state (and index) changed
    SYNC,      // whether or when its synchronisation was recorded as replicated changed
  };
  kind_e kind = CURRENT;
  scenario_report_s before;  // the reading before (empty for CURRENT and APPEARED)
  scenario_report_s after;   // the reading now (the last one for GONE)
  int64_t seen_ms = 0;       // when the change was seen, milliseconds since 1970 (UTC)
};

const char* change_kind_name(scenario_change_s::kind_e kind);

namespace scenario_watch_n {

// What changed between two readings of one scenario, in the order READ, ENGINE, STATE, SYNC. An
// answer that could not be asked on either side is no change of its own: the READ change carries it.
void compare(const scenario_report_s& before, const scenario_report_s& after, int64_t seen_ms,
             std::vector<scenario_change_s>& out);
// What changed between two readings of a set of scenarios (each sorted by directory): scenarios gone,
// then those that came or changed, in directory order.
void compare_sets(const std::vector<scenario_report_s>& before, const std::vector<scenario_report_s>& after,
                  int64_t seen_ms, std::vector<scenario_change_s>& out);

// A condition a wait ends on: engine=active|inactive, state=Running|Stop|Sync, synced=true|false
// (names and values in any letter case).
struct condition_s {
  enum subject_e { ENGINE, STATE, SYNCED } subject = ENGINE;
  bool flag = false;     // active, synced
  unsigned state = 0;    // the state index
};
// False, with why, for a text that names no condition.
bool parse_condition(const std::string& text, condition_s& condition, std::string& why);
// Whether a reading meets it: an answer that could not be asked meets nothing.
bool holds(const condition_s& condition, const scenario_report_s& reading);

int64_t now_ms();

}  // namespace scenario_watch_n

class scenario_watcher_c {
 public:
  struct options_s {
    // The safety net with notification: every recheck_ms, the scenarios an engine holds (and those
    // whose lock could not be asked) are read again, since a holder that dies changes no file; a
    // single watched scenario is read again whole.
    long long recheck_ms = 1000;
    // Polling: every poll_ms at least, and at least 20 times as long as a whole reading takes.
    long long poll_ms = 500;
    // At most this many directories are watched (0: as many as the system allows); beyond it, as
    // when the system's limit is reached, the watcher polls. Tests use it to reach the limit.
    size_t watch_limit = 0;
    // Poll from the start, without asking for notification.
    bool poll_only = false;
  };
  scenario_watcher_c();
  explicit scenario_watcher_c(const options_s& options);
  ~scenario_watcher_c();
  scenario_watcher_c(const scenario_watcher_c&) = delete;
  scenario_watcher_c& operator=(const scenario_watcher_c&) = delete;

  // Every scenario from one to depth levels below each root, as `scenario_lister_c::find` finds them.
  // False, with error, when a root is no directory.
  bool start(const std::vector<std::string>& roots, unsigned depth, std::string& error);
  // One scenario directory (absolute, standard form), watched also before it has a state directory.
  // False, with error, when it does not exist.
  bool start_one(const std::string& directory, std::string& error);

  // The first readings (CURRENT changes, in directory order).
  std::vector<scenario_change_s> current() const;
  // The readings now, in directory order.
  std::vector<scenario_report_s> readings() const;

  // Waits up to timeout_ms (negative: for ever) until something changed and returns the changes, in
  // the order they were seen; empty when the time passed first.
  std::vector<scenario_change_s> next(long long timeout_ms);

  // Notes for the person watching (falling back to polling and why, directories passed over), each
  // given once.
  std::vector<std::string> take_notes();
  bool polling() const { return m_polling; }
  // How many scenario readings and directory walks were made: the work done, for tests that count it.
  uint64_t reads() const { return m_reads; }
  uint64_t walks() const { return m_walks; }
  size_t watched_directories() const;

 private:
  using clock = std::chrono::steady_clock;
  void _note(const std::string& note);
  // The system's change notification, or polling (asked for, or with a note when there is none).
  void _start_notifier();
  void _fall_back(const std::string& why);
  bool _walk(std::vector<std::string>& scenarios, std::vector<std::string>& walked, std::string& error);
  size_t _watch_all(const std::vector<std::string>& walked, const std::vector<std::string>& scenarios);
  bool _watch(const std::string& directory, bool state, std::set<std::string>& needed);
  bool _walk_and_watch(std::vector<std::string>& scenarios, std::string& error);
  bool _exists(const std::string& directory) const;
  void _read_again(const std::vector<std::string>& directories, std::vector<scenario_change_s>& out);
  void _rescan(const std::vector<std::string>& dirty, std::vector<scenario_change_s>& out);
  void _poll(std::vector<scenario_change_s>& out);
  void _recheck(std::vector<scenario_change_s>& out);
  void _index_children();

  options_s m_options;
  std::vector<std::string> m_roots;
  unsigned m_depth = 1;
  bool m_single = false;
  std::string m_single_dir;
  std::map<std::string, scenario_report_s> m_readings;
  std::vector<scenario_change_s> m_first;
  std::set<std::string> m_deep_dirs;  // walked directories whose subdirectories may hold scenarios
  std::map<std::string, std::vector<std::string>> m_children;  // parent directory -> its scenarios
  std::set<std::string> m_watched;  // "E:" or "S:" and the directory
  std::unique_ptr<change_notifier_c> m_notifier;
  bool m_polling = false;
  std::vector<std::string> m_notes;
  std::set<std::string> m_noted;
  clock::time_point m_next_recheck;
  clock::time_point m_next_poll;
  int m_quick_rechecks = 0;
  long long m_poll_interval_ms = 500;
  uint64_t m_reads = 0;
  uint64_t m_walks = 0;
};

#endif
