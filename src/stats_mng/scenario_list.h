// Every scenario below a directory, and what each one's state files and lock say, read without
// changing anything: no state directory made, no lock file emptied, nothing written.
#ifndef STATS_MNG_STATS_MNG_SCENARIO_LIST_H
#define STATS_MNG_STATS_MNG_SCENARIO_LIST_H

#include "stats_mng/stats_saver.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct scenario_report_s {
  std::string directory;  // absolute, '/' between its parts
  bool read = false;      // every question below was answered
  std::string error;      // why not
  bool engine_known = false;  // the lock could be asked
  bool engine_active = false;
  bool state_known = false;     // the state files could be read (or there are none)
  bool state_recorded = false;  // a state file was read (own or parent)
  unsigned state_index = STATE_UNKNOWN;
  bool synced = false;
  int64_t sync_time = 0;
};

class scenario_lister_c {
 public:
  // The largest state file read (the readers' own limit).
  static constexpr uint64_t k_max_state_file_size = stats_saver_ex_c::k_max_state_file_size;

  // The scenario directories (each holding a hidden state directory) from one to depth levels below
  // root: absolute, each under its real path (a symbolic link to a scenario is the scenario, listed
  // once), in byte order. Links are not followed down. False, with error filled, when root is no
  // directory that can be read; a directory below it that cannot be looked into is named in skipped.
  // With walked, also every directory looked at on the way (the root's real path and each directory
  // from one to depth levels below it, state directories left out), in the order met: a watcher
  // watches them for scenarios that come and go.
  bool find(const std::string& root, unsigned depth, std::vector<std::string>& out, std::string& error,
            std::vector<std::string>* walked = nullptr);
  // What the scenario's lock and state files say; the parent directory's state file, read once per
  // parent for all its scenarios, counts as the exports count it. Whatever could not be asked is
  // said in error, and not answered.
  // ask says which questions (ASK_ENGINE, ASK_STATE, or both): one not asked is not known.
  enum ask_e : unsigned { ASK_ENGINE = 1, ASK_STATE = 2, ASK_ALL = ASK_ENGINE | ASK_STATE };
  scenario_report_s read(const std::string& directory, unsigned ask = ASK_ALL);

  std::vector<std::string> skipped;

 private:
  struct parent_s {
    stats_saver_ex_c::state_reading_s reading;
    std::string problem;
  };
  const parent_s& _parent_reading(const char* parent_file);
  // Looked up by the path as made on the stack: no key is made for a parent already read.
  std::map<std::string, parent_s, std::less<>> m_parents;
};

#endif
