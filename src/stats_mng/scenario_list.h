// Every scenario below a directory, and what each one's state files and lock say, read without
// changing anything: no state directory made, no lock file emptied, nothing written.
#ifndef STATS_MNG_STATS_MNG_SCENARIO_LIST_H
#define STATS_MNG_STATS_MNG_SCENARIO_LIST_H

#include "stats_mng/stats_saver.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct scenario_report_s {
  std::string directory;  // the standard form
  bool read = false;      // every question below was answered
  std::string error;      // why not
  bool engine_active = false;
  bool state_recorded = false;  // a state file was read (own or parent)
  unsigned state_index = STATE_UNKNOWN;
  bool synced = false;
  int64_t sync_time = 0;
};

class scenario_lister_c {
 public:
  // The scenario directories (each holding a hidden state directory) from one to depth levels below
  // root, absolute, in byte order of their standard form. Symbolic links are not followed down (a link to a
  // scenario directory is listed, one to a tree is not walked). False, with error filled, when
  // root is no directory that can be read; directories below it that cannot be read are passed
  // over and named in skipped.
  bool find(const std::string& root, unsigned depth, std::vector<std::string>& out, std::string& error);
  // What the scenario's lock and state files say; the parent directory's state file, read once per
  // parent for all its scenarios, counts as the exports count it.
  scenario_report_s read(const std::string& directory);

  std::vector<std::string> skipped;

 private:
  stats_saver_ex_c::state_reading_s _parent_reading(const std::string& parent_file);
  std::map<std::string, stats_saver_ex_c::state_reading_s> m_parents;
};

#endif
