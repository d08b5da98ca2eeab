#include "stats_mng/scenario_watch.h"

#include "stats_mng/change_notifier.h"
#include "stats_mng/stats_saver_lock.h"
#include "utl/utl.h"

#include <algorithm>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

const char* change_kind_name(scenario_change_s::kind_e kind) {
  switch (kind) {
    case scenario_change_s::CURRENT: return "current";
    case scenario_change_s::APPEARED: return "appeared";
    case scenario_change_s::GONE: return "gone";
    case scenario_change_s::READ: return "read";
    case scenario_change_s::ENGINE: return "engine";
    case scenario_change_s::STATE: return "state";
    case scenario_change_s::SYNC: return "sync";
  }
  return "?";
}

namespace scenario_watch_n {

int64_t now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

namespace {

void add(scenario_change_s::kind_e kind, const scenario_report_s& before, const scenario_report_s& after,
         int64_t seen_ms, std::vector<scenario_change_s>& out) {
  scenario_change_s change;
  change.kind = kind;
  change.before = before;
  change.after = after;
  change.seen_ms = seen_ms;
  out.push_back(change);
}

}  // namespace

void compare(const scenario_report_s& before, const scenario_report_s& after, int64_t seen_ms,
             std::vector<scenario_change_s>& out) {
  if (before.read != after.read || before.error != after.error) add(scenario_change_s::READ, before, after, seen_ms, out);
  if (before.engine_known && after.engine_known && before.engine_active != after.engine_active) {
    add(scenario_change_s::ENGINE, before, after, seen_ms, out);
  }
  if (before.state_known && after.state_known && before.state_index != after.state_index) {
    add(scenario_change_s::STATE, before, after, seen_ms, out);
  }
  if (before.state_known && after.state_known && (before.synced != after.synced || before.sync_time != after.sync_time)) {
    add(scenario_change_s::SYNC, before, after, seen_ms, out);
  }
}

void compare_sets(const std::vector<scenario_report_s>& before, const std::vector<scenario_report_s>& after,
                  int64_t seen_ms, std::vector<scenario_change_s>& out) {
  // Both sorted: one pass, the gone first (a name that went and came again is a new scenario).
  size_t b = 0;
  for (size_t a = 0; b < before.size(); ++b) {
    while (a < after.size() && after[a].directory < before[b].directory) ++a;
    if (a == after.size() || after[a].directory != before[b].directory) {
      add(scenario_change_s::GONE, before[b], before[b], seen_ms, out);
    }
  }
  b = 0;
  for (const scenario_report_s& now : after) {
    while (b < before.size() && before[b].directory < now.directory) ++b;
    if (b < before.size() && before[b].directory == now.directory) {
      compare(before[b], now, seen_ms, out);
    } else {
      add(scenario_change_s::APPEARED, scenario_report_s(), now, seen_ms, out);
    }
  }
}

bool parse_condition(const std::string& text, condition_s& condition, std::string& why) {
  const size_t equals = text.find('=');
  why = "'" + text + "' is no condition: engine=active|inactive, state=Running|Stop|Sync or synced=true|false";
  if (equals == std::string::npos) return false;
  const std::string name = text.substr(0, equals);
  const std::string value = text.substr(equals + 1);
  auto is = [](const std::string& a, const char* b) { return utl_n::ascii_compare_nocase(a.c_str(), b) == 0; };
  if (is(name, "engine") && (is(value, "active") || is(value, "inactive"))) {
    condition.subject = condition_s::ENGINE;
    condition.flag = is(value, "active");
    return true;
  }
  if (is(name, "synced") && (is(value, "true") || is(value, "false"))) {
    condition.subject = condition_s::SYNCED;
    condition.flag = is(value, "true");
    return true;
  }
  if (is(name, "state")) {
    for (unsigned i = STATE_RUNNING; i < STATE_UNKNOWN; ++i) {
      if (!is(value, k_state_names[i])) continue;
      condition.subject = condition_s::STATE;
      condition.state = i;
      return true;
    }
  }
  return false;
}

bool holds(const condition_s& condition, const scenario_report_s& reading) {
  switch (condition.subject) {
    case condition_s::ENGINE: return reading.engine_known && reading.engine_active == condition.flag;
    case condition_s::STATE: return reading.state_known && reading.state_index == condition.state;
    case condition_s::SYNCED: return reading.state_known && reading.synced == condition.flag;
  }
  return false;
}

}  // namespace scenario_watch_n

namespace {

const std::string k_state_dir = STATE_DIRECTORY_NAME;

std::string state_dir_of(const std::string& directory) {
  return directory + (!directory.empty() && directory.back() == '/' ? "" : "/") + k_state_dir;
}

// The directory a scenario's parent state file is in ("/srv/s/7" -> "/srv/s", "/x" -> "/",
// "C:/x" -> "C:/"); empty for a root.
std::string parent_of(const std::string& directory) {
  std::string dir = directory;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  const size_t slash = dir.rfind('/');
  if (slash == std::string::npos || dir.size() <= 1 || (dir.size() == 3 && dir[1] == ':')) return "";
  std::string parent = dir.substr(0, slash);
  if (parent.empty() || (parent.size() == 2 && parent[1] == ':')) parent += '/';
  return parent;
}

bool is_state_dir(const std::string& directory) {
  return directory.size() > k_state_dir.size() &&
         directory.compare(directory.size() - k_state_dir.size(), k_state_dir.size(), k_state_dir) == 0 &&
         directory[directory.size() - k_state_dir.size() - 1] == '/';
}

std::string base_name(const std::string& directory) {
  std::string dir = directory;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  const size_t slash = dir.rfind('/');
  return slash == std::string::npos ? dir : dir.substr(slash + 1);
}

void push_once(std::vector<std::string>& list, std::set<std::string>& seen, const std::string& item) {
  if (seen.insert(item).second) list.push_back(item);
}

}  // namespace

scenario_watcher_c::scenario_watcher_c() : scenario_watcher_c(options_s()) {}

scenario_watcher_c::scenario_watcher_c(const options_s& options) : m_options(options) {
  m_poll_interval_ms = std::max<long long>(1, m_options.poll_ms);
}

scenario_watcher_c::~scenario_watcher_c() = default;

void scenario_watcher_c::_note(const std::string& note) {
  if (m_noted.insert(note).second) m_notes.push_back(note);
}

std::vector<std::string> scenario_watcher_c::take_notes() {
  std::vector<std::string> notes;
  notes.swap(m_notes);
  return notes;
}

size_t scenario_watcher_c::watched_directories() const { return m_notifier ? m_notifier->count() : 0; }

void scenario_watcher_c::_fall_back(const std::string& why) {
  if (m_polling) return;
  m_polling = true;
  m_notifier.reset();
  m_watched.clear();
  _note("change notification is not available (" + why + "): polling instead");
  m_next_poll = clock::now();
}

bool scenario_watcher_c::_exists(const std::string& directory) const {
  std::error_code ec;
  return fs::is_directory(fs::u8path(directory), ec);
}

bool scenario_watcher_c::_walk(std::vector<std::string>& scenarios, std::vector<std::string>& walked,
                               std::string& error) {
  ++m_walks;
  if (m_single) {
    if (_exists(m_single_dir)) scenarios.push_back(m_single_dir);
    walked.push_back(m_single_dir);
    const std::string parent = parent_of(m_single_dir);
    if (!parent.empty()) walked.push_back(parent);
    return true;
  }
  scenario_lister_c lister;
  m_deep_dirs.clear();
  bool all = true;
  for (const std::string& root : m_roots) {
    const size_t first = walked.size();
    std::string why;
    if (!lister.find(root, m_depth, scenarios, why, &walked)) {
      error = root + ": " + why;
      all = false;
      continue;
    }
    // The level of each directory below the root: those above the deepest level may hold more.
    const std::string prefix = walked[first] + (walked[first].back() == '/' ? "" : "/");
    m_deep_dirs.insert(walked[first]);
    for (size_t i = first + 1; i < walked.size(); ++i) {
      if (walked[i].compare(0, prefix.size(), prefix) != 0) continue;
      const unsigned level = 1 + static_cast<unsigned>(std::count(walked[i].begin() + prefix.size(), walked[i].end(), '/'));
      if (level < m_depth) m_deep_dirs.insert(walked[i]);
    }
  }
  for (const std::string& skipped : lister.skipped) _note("passed over " + skipped);
  std::sort(scenarios.begin(), scenarios.end());
  scenarios.erase(std::unique(scenarios.begin(), scenarios.end()), scenarios.end());
  return all;
}

bool scenario_watcher_c::_watch(const std::string& directory, bool state, std::set<std::string>& needed) {
  const std::string key = (state ? "S:" : "E:") + directory;
  if (!needed.insert(key).second || m_polling || m_watched.count(key) != 0) return false;
  if (m_options.watch_limit != 0 && m_notifier->count() >= m_options.watch_limit) {
    _fall_back("cannot watch " + directory + ": the limit of " + std::to_string(m_options.watch_limit) +
               " watched directories is reached");
    return false;
  }
  std::string why;
  switch (m_notifier->add(directory, state ? change_notifier_c::WATCH_STATE : change_notifier_c::WATCH_ENTRIES, why)) {
    case change_notifier_c::ADDED: m_watched.insert(key); return true;
    case change_notifier_c::MISSING: break;  // its making is heard from the directory above
    case change_notifier_c::EXHAUSTED:
    case change_notifier_c::REFUSED: _fall_back(why); break;
  }
  return false;
}

size_t scenario_watcher_c::_watch_all(const std::vector<std::string>& walked, const std::vector<std::string>& scenarios) {
  if (m_polling) return 0;
  std::set<std::string> needed;
  size_t added = 0;
  // Every directory walked hears of directories (and state directories) coming and going; every
  // scenario's state directory and its parent's hear of the state files.
  for (const std::string& dir : walked) added += _watch(dir, false, needed) ? 1 : 0;
  for (const std::string& scenario : scenarios) {
    added += _watch(state_dir_of(scenario), true, needed) ? 1 : 0;
    const std::string parent = parent_of(scenario);
    if (parent.empty()) continue;
    added += _watch(parent, false, needed) ? 1 : 0;
    added += _watch(state_dir_of(parent), true, needed) ? 1 : 0;
  }
  if (m_single) {
    added += _watch(state_dir_of(m_single_dir), true, needed) ? 1 : 0;
    const std::string parent = parent_of(m_single_dir);
    if (!parent.empty()) added += _watch(state_dir_of(parent), true, needed) ? 1 : 0;
  }
  if (m_polling) return 0;
  // What is no longer needed (a scenario that went) is let go.
  for (auto it = m_watched.begin(); it != m_watched.end();) {
    if (needed.count(*it) == 0) {
      m_notifier->remove(it->substr(2));
      it = m_watched.erase(it);
    } else {
      ++it;
    }
  }
  return added;
}

bool scenario_watcher_c::_walk_and_watch(std::vector<std::string>& scenarios, std::string& error) {
  // A directory made between the walk and its watch would be missed: walked again until every
  // directory walked was watched before it was looked into.
  for (int pass = 0;; ++pass) {
    std::vector<std::string> walked;
    scenarios.clear();
    const bool all = _walk(scenarios, walked, error);
    const size_t added = _watch_all(walked, scenarios);
    if (!all) return false;
    if (added == 0 || m_polling || pass == 3) return true;
  }
}

void scenario_watcher_c::_start_notifier() {
  if (m_options.poll_only) {
    m_polling = true;
    return;
  }
  std::string why;
  m_notifier = change_notifier_c::create(why);
  if (!m_notifier) _fall_back(why);
}

bool scenario_watcher_c::start(const std::vector<std::string>& roots, unsigned depth, std::string& error) {
  m_roots = roots;
  m_depth = depth;
  m_single = false;
  _start_notifier();
  // Watched before the first reading: a change made while it reads is heard afterwards.
  std::vector<std::string> scenarios;
  if (!_walk_and_watch(scenarios, error)) return false;
  for (const std::string& dir : scenarios) m_readings[dir].directory = dir;
  const auto started = clock::now();
  scenario_lister_c lister;
  const int64_t seen = scenario_watch_n::now_ms();
  for (auto& reading : m_readings) {
    reading.second = lister.read(reading.first);
    ++m_reads;
    scenario_change_s change;
    change.after = reading.second;
    change.seen_ms = seen;
    m_first.push_back(change);
  }
  _index_children();
  const long long pass_ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - started).count();
  m_poll_interval_ms = std::max<long long>(m_options.poll_ms, 20 * pass_ms);
  m_next_poll = clock::now() + std::chrono::milliseconds(m_poll_interval_ms);
  m_next_recheck = clock::now() + std::chrono::milliseconds(m_options.recheck_ms);
  return true;
}

bool scenario_watcher_c::start_one(const std::string& directory, std::string& error) {
  m_single = true;
  m_single_dir = directory;
  if (!_exists(directory)) {
    error = "there is no such directory";
    return false;
  }
  _start_notifier();
  std::vector<std::string> scenarios;
  _walk_and_watch(scenarios, error);
  scenario_lister_c lister;
  m_readings[directory] = lister.read(directory);
  ++m_reads;
  scenario_change_s change;
  change.after = m_readings[directory];
  change.seen_ms = scenario_watch_n::now_ms();
  m_first.push_back(change);
  _index_children();
  m_poll_interval_ms = m_options.poll_ms;
  m_next_poll = clock::now() + std::chrono::milliseconds(m_poll_interval_ms);
  m_next_recheck = clock::now() + std::chrono::milliseconds(m_options.recheck_ms);
  return true;
}

std::vector<scenario_change_s> scenario_watcher_c::current() const { return m_first; }

std::vector<scenario_report_s> scenario_watcher_c::readings() const {
  std::vector<scenario_report_s> out;
  for (const auto& reading : m_readings) out.push_back(reading.second);
  return out;
}

void scenario_watcher_c::_read_again(const std::vector<std::string>& directories, std::vector<scenario_change_s>& out) {
  scenario_lister_c lister;  // a fresh one: the parents' state files are read anew
  for (const std::string& dir : directories) {
    auto known = m_readings.find(dir);
    if (known == m_readings.end()) continue;
    const int64_t seen = scenario_watch_n::now_ms();
    if (m_single && !_exists(dir)) {
      scenario_watch_n::compare_sets({known->second}, {}, seen, out);
      m_readings.erase(known);
      continue;
    }
    scenario_report_s now = lister.read(dir);
    ++m_reads;
    scenario_watch_n::compare(known->second, now, seen, out);
    known->second = now;
  }
}

void scenario_watcher_c::_rescan(const std::vector<std::string>& dirty, std::vector<scenario_change_s>& out) {
  std::vector<std::string> scenarios;
  std::string error;
  if (!_walk_and_watch(scenarios, error)) {
    // A root that went: every scenario below it went with it, and nothing is heard of its coming
    // back but by looking again.
    _fall_back("cannot look into " + error);
  }
  const int64_t seen = scenario_watch_n::now_ms();
  std::vector<scenario_report_s> before, after;
  scenario_lister_c lister;
  for (const auto& reading : m_readings) {
    if (!std::binary_search(scenarios.begin(), scenarios.end(), reading.first)) before.push_back(reading.second);
  }
  for (const scenario_report_s& gone : before) {
    scenario_watch_n::compare_sets({gone}, {}, seen, out);
    m_readings.erase(gone.directory);
  }
  // The scenarios that stayed and were named change in the order named; those that came after.
  std::vector<std::string> stayed;
  for (const std::string& dir : dirty) {
    if (m_readings.count(dir) != 0) stayed.push_back(dir);
  }
  _read_again(stayed, out);
  for (const std::string& dir : scenarios) {
    if (m_readings.count(dir) != 0) continue;
    scenario_report_s now = lister.read(dir);
    ++m_reads;
    scenario_watch_n::compare_sets({}, {now}, seen, out);
    m_readings[dir] = now;
  }
  _index_children();
}

void scenario_watcher_c::_poll(std::vector<scenario_change_s>& out) {
  const auto started = clock::now();
  std::vector<std::string> dirty;
  for (const auto& reading : m_readings) dirty.push_back(reading.first);
  _rescan(dirty, out);
  const long long pass_ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - started).count();
  m_poll_interval_ms = std::max<long long>(m_options.poll_ms, 20 * pass_ms);
}

void scenario_watcher_c::_recheck(std::vector<scenario_change_s>& out) {
  // What no file change shows: an engine's lock let go by its death. A single scenario is cheap
  // enough to be read again whole.
  std::vector<std::string> suspects;
  for (const auto& reading : m_readings) {
    if (m_single || reading.second.engine_active || !reading.second.engine_known) suspects.push_back(reading.first);
  }
  if (m_single && m_readings.empty()) {
    // It went: it may be back.
    std::vector<std::string> none;
    _rescan(none, out);
    return;
  }
  _read_again(suspects, out);
}

void scenario_watcher_c::_index_children() {
  m_children.clear();
  for (const auto& reading : m_readings) m_children[parent_of(reading.first)].push_back(reading.first);
}

std::vector<scenario_change_s> scenario_watcher_c::next(long long timeout_ms) {
  const auto started = clock::now();
  const auto deadline = timeout_ms < 0 ? clock::time_point::max() : started + std::chrono::milliseconds(timeout_ms);
  std::vector<scenario_change_s> out;
  for (;;) {
    const auto now = clock::now();
    if (m_polling) {
      if (now >= m_next_poll) {
        _poll(out);
        m_next_poll = clock::now() + std::chrono::milliseconds(m_poll_interval_ms);
        if (!out.empty()) return out;
        continue;
      }
      if (now >= deadline) return out;
      std::this_thread::sleep_until(std::min(deadline, m_next_poll));
      continue;
    }
    if (now >= m_next_recheck) {
      _recheck(out);
      m_next_recheck = clock::now() + std::chrono::milliseconds(m_quick_rechecks > 0 ? 20 : m_options.recheck_ms);
      if (m_quick_rechecks > 0) --m_quick_rechecks;
      if (!out.empty()) return out;
      continue;
    }
    if (now >= deadline) return out;
    const auto until = std::min(deadline, m_next_recheck);
    const long long wait_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1;
    std::vector<change_notifier_c::event_s> events;
    std::string why;
    if (!m_notifier->wait(wait_ms, events, why)) {
      _fall_back(why);
      continue;
    }
    if (events.empty()) continue;
    // Which scenarios to read again, in the order first named, and whether the directories must be
    // walked again (a directory or state directory came or went).
    std::vector<std::string> dirty;
    std::set<std::string> seen;
    bool walk = false;
    bool lock_released = false;
    auto dirty_around = [&](const std::string& owner) {
      // The owner's own state and its children's (its state file is their parent's).
      if (m_readings.count(owner) != 0) push_once(dirty, seen, owner);
      auto children = m_children.find(owner);
      if (children == m_children.end()) return;
      for (const std::string& child : children->second) push_once(dirty, seen, child);
    };
    for (const change_notifier_c::event_s& e : events) {
      if (e.overflow) {
        walk = true;
        for (const auto& reading : m_readings) push_once(dirty, seen, reading.first);
        continue;
      }
      if (e.directory_gone) {
        m_watched.erase("S:" + e.directory);
        m_watched.erase("E:" + e.directory);
        m_notifier->remove(e.directory);
        walk = true;
      }
      if (is_state_dir(e.directory)) {
        const std::string owner = e.directory.substr(0, e.directory.size() - k_state_dir.size() - 1);
        const std::string& owner_dir = owner.empty() ? std::string("/") : owner;
        if (e.name.empty() || e.name == "stats.xml" || e.name == LOCK_FILE_NAME || e.directory_gone) {
          dirty_around(owner_dir.size() == 2 && owner_dir[1] == ':' ? owner_dir + "/" : owner_dir);
          if (e.name == LOCK_FILE_NAME) lock_released = true;
        }
        continue;
      }
      // Entries of a directory walked: a state directory came or went (the directory became or
      // stopped being a scenario, or its children's parent state file came or went), or a directory
      // that may hold scenarios.
      if (e.name.empty() || e.name == k_state_dir) {
        walk = true;
        dirty_around(e.directory);
      } else if (e.entry_may_be_directory &&
                 (m_single ? e.name == base_name(m_single_dir) : m_deep_dirs.count(e.directory) != 0)) {
        walk = true;
        if (m_single) push_once(dirty, seen, m_single_dir);
      }
    }
    if (walk) {
      _rescan(dirty, out);
    } else {
      _read_again(dirty, out);
    }
    // A holder's close is heard just before the system lets go of its lock: ask again shortly.
    if (lock_released) {
      for (const std::string& dir : dirty) {
        auto known = m_readings.find(dir);
        if (known != m_readings.end() && known->second.engine_active) {
          m_quick_rechecks = 10;
          m_next_recheck = std::min(m_next_recheck, clock::now() + std::chrono::milliseconds(20));
        }
      }
    }
    if (!out.empty()) return out;
  }
}
