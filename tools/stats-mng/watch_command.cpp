// stats-mng wait and stats-mng watch: the watcher of the library says what changed; this prints it.
#include "arguments.h"
#include "commands.h"
#include "shown_text.h"
#include "platform/win32/drive_map.h"

#include "stats_mng/scenario_watch.h"
#include "stats_mng/stats_saver.h"

#include <chrono>
#include <csignal>
#include <ctime>
#include <iostream>

namespace stats_mng_tool_n {

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void on_stop(int) { g_stop = 1; }

const char* state_name(unsigned index) { return k_state_names[index < STATE_UNKNOWN ? index : STATE_UNKNOWN]; }

// Milliseconds since 1970 as a UTC time, "2026-12-06T18:00:00.123Z".
std::string utc_time_ms(int64_t ms) {
  std::string date = utc_date(ms / 1000);
  if (date.empty()) return std::to_string(ms);
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(ms % 1000));
  date.insert(date.size() - 1, fraction);
  return date;
}

std::string engine_text(const scenario_report_s& r) {
  return !r.engine_known ? "?" : r.engine_active ? "active" : "inactive";
}
std::string state_text(const scenario_report_s& r) { return r.state_known ? state_name(r.state_index) : "?"; }
std::string sync_text(const scenario_report_s& r) {
  if (!r.state_known) return "?";
  return std::string(r.synced ? "true" : "false") + (r.sync_time > 0 ? " at " + utc_date(r.sync_time) : "");
}

// The answers of a reading as `list --json` names them; what could not be asked is null.
void reading_json(const scenario_report_s& r, nlohmann::ordered_json& entry) {
  const nlohmann::ordered_json none;
  entry["read"] = r.read;
  if (!r.read) entry["error"] = printable(r.error);
  entry["engine_active"] = r.engine_known ? nlohmann::ordered_json(r.engine_active) : none;
  entry["recorded"] = r.state_known ? nlohmann::ordered_json(r.state_recorded) : none;
  entry["state"] = r.state_known ? nlohmann::ordered_json(state_name(r.state_index)) : none;
  entry["state_index"] = r.state_known ? nlohmann::ordered_json(r.state_index) : none;
  entry["synced"] = r.state_known ? nlohmann::ordered_json(r.synced) : none;
  entry["sync_time"] = r.state_known ? nlohmann::ordered_json(r.sync_time) : none;
  const std::string date = r.state_known && r.sync_time > 0 ? utc_date(r.sync_time) : "";
  entry["sync_date"] = date.empty() ? none : nlohmann::ordered_json(date);
}

void print_change(const scenario_change_s& c, bool json, std::ostream& out) {
  const scenario_report_s& r = c.after;
  if (json) {
    nlohmann::ordered_json entry;
    entry["time"] = utc_time_ms(c.seen_ms);
    entry["change"] = change_kind_name(c.kind);
    entry["directory"] = escaped_name(r.directory);
    reading_json(r, entry);
    // What it was before, for the answers that changed.
    nlohmann::ordered_json before;
    switch (c.kind) {
      case scenario_change_s::READ:
        before["read"] = c.before.read;
        if (!c.before.read) before["error"] = printable(c.before.error);
        break;
      case scenario_change_s::ENGINE: before["engine_active"] = c.before.engine_active; break;
      case scenario_change_s::STATE:
        before["state"] = state_name(c.before.state_index);
        before["state_index"] = c.before.state_index;
        break;
      case scenario_change_s::SYNC:
        before["synced"] = c.before.synced;
        before["sync_time"] = c.before.sync_time;
        break;
      default: break;
    }
    if (!before.is_null()) entry["before"] = before;
    print_json(out, entry);
    return;
  }
  out << utc_time_ms(c.seen_ms) << ' ' << escaped_name(r.directory) << ' ' << change_kind_name(c.kind);
  switch (c.kind) {
    case scenario_change_s::CURRENT:
    case scenario_change_s::APPEARED:
      out << " engine=" << engine_text(r) << " state=" << state_text(r) << " synced=" << (r.state_known ? (r.synced ? "true" : "false") : "?");
      if (r.state_known && r.sync_time > 0) out << " sync_time=" << r.sync_time;
      if (!r.read) out << " (not read: " << printable(r.error) << ")";
      break;
    case scenario_change_s::GONE: break;
    case scenario_change_s::READ:
      out << (r.read ? " read again" : " not read: " + printable(r.error));
      break;
    case scenario_change_s::ENGINE: out << ' ' << engine_text(c.before) << " -> " << engine_text(r); break;
    case scenario_change_s::STATE: out << ' ' << state_text(c.before) << " -> " << state_text(r); break;
    case scenario_change_s::SYNC: out << ' ' << sync_text(c.before) << " -> " << sync_text(r); break;
  }
  out << '\n';
}

void print_notes(scenario_watcher_c& watcher, std::ostream& err) {
  for (const std::string& note : watcher.take_notes()) err << "stats-mng: " << printable(note) << "\n";
  err.flush();
}

}  // namespace

std::function<std::string(std::string&)> condition_validator() {
  return [](std::string& text) -> std::string {
    scenario_watch_n::condition_s condition;
    std::string why;
    return scenario_watch_n::parse_condition(text, condition, why) ? std::string() : why;
  };
}

int wait_for_condition(const std::string& dir, const std::string& condition_text, double timeout_seconds, bool json,
                       std::ostream& out, std::ostream& err) {
  scenario_watch_n::condition_s condition;
  std::string why;
  if (!scenario_watch_n::parse_condition(condition_text, condition, why)) {
    err << "stats-mng wait: " << why << "\n";
    return 2;
  }
  std::string standard;
  if (const int code = existing_scenario(dir, standard, err)) return code;
  scenario_watcher_c watcher;
  // A directory on a drive mapped with --drive is watched by its own name.
  if (!watcher.start_one(drive_map_n::native_path(standard), why)) {
    err << "stats-mng: the scenario directory " << printable(standard) << " does not exist\n";
    return EXIT_NO_SCENARIO;
  }
  print_notes(watcher, err);
  using clock = std::chrono::steady_clock;
  const bool for_ever = timeout_seconds < 0;
  const auto deadline = clock::now() + std::chrono::milliseconds(static_cast<long long>(for_ever ? 0 : timeout_seconds * 1000));
  for (;;) {
    const std::vector<scenario_report_s> readings = watcher.readings();
    if (readings.empty()) {
      err << "stats-mng: the scenario directory " << printable(standard) << " went away\n";
      return EXIT_NO_SCENARIO;
    }
    const scenario_report_s& r = readings.front();
    const bool met = scenario_watch_n::holds(condition, r);
    const long long left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
    if (met || (!for_ever && left <= 0)) {
      if (json) {
        nlohmann::ordered_json entry;
        const nlohmann::ordered_json none;
        // As `state --json` prints it, with the engine and the synchronisation beside it.
        entry["directory"] = standard;
        entry["state"] = r.state_known ? nlohmann::ordered_json(state_name(r.state_index)) : none;
        entry["index"] = r.state_known ? nlohmann::ordered_json(r.state_index) : none;
        entry["read"] = r.read;
        entry["recorded"] = r.state_known ? nlohmann::ordered_json(r.state_recorded) : none;
        if (!r.read) entry["error"] = printable(r.error);
        entry["active"] = r.engine_known ? nlohmann::ordered_json(r.engine_active) : none;
        entry["synced"] = r.state_known ? nlohmann::ordered_json(r.synced) : none;
        entry["condition"] = condition_text;
        entry["met"] = met;
        print_json(out, entry);
      } else {
        switch (condition.subject) {
          case scenario_watch_n::condition_s::ENGINE: out << engine_text(r) << '\n'; break;
          case scenario_watch_n::condition_s::STATE: out << state_text(r) << '\n'; break;
          case scenario_watch_n::condition_s::SYNCED:
            out << (!r.state_known ? "?" : r.synced ? "true" : "false") << '\n';
            break;
        }
      }
      if (!r.read) err << "stats-mng: " << printable(standard) << " was not read: " << printable(r.error) << "\n";
      if (!met) err << "stats-mng: the time passed before " << condition_text << " held\n";
      return met ? 0 : 1;
    }
    watcher.next(for_ever ? -1 : left);
    print_notes(watcher, err);
  }
}

int watch_scenarios(const std::vector<std::string>& roots, unsigned depth, bool json, std::ostream& out,
                    std::ostream& err) {
  scenario_watcher_c watcher;
  std::string why;
  std::vector<std::string> native_roots;
  for (const std::string& root : roots) native_roots.push_back(drive_map_n::native_path(root));
  if (!watcher.start(native_roots, depth, why)) {
    err << "stats-mng: cannot watch " << printable(why) << "\n";
    return EXIT_NO_SCENARIO;
  }
  print_notes(watcher, err);
  for (const scenario_change_s& c : watcher.current()) print_change(c, json, out);
  out.flush();
  g_stop = 0;
  std::signal(SIGINT, on_stop);
  std::signal(SIGTERM, on_stop);
#ifdef SIGPIPE
  // A write into a pipe nobody reads fails (and ends the watch with its status) instead of killing
  // the process without a word.
  void (*const previous_pipe)(int) = std::signal(SIGPIPE, SIG_IGN);
#endif
  // The reader of a pipe may go while nothing changes: it is looked for after each wait, so the
  // watch ends within a second of it instead of at the next change.
  bool reader_gone = false;
  while (!g_stop && out && !(reader_gone = output_reader_gone())) {
    const std::vector<scenario_change_s> changes = watcher.next(1000);
    print_notes(watcher, err);
    for (const scenario_change_s& c : changes) print_change(c, json, out);
    out.flush();
  }
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
#ifdef SIGPIPE
  std::signal(SIGPIPE, previous_pipe == SIG_ERR ? SIG_DFL : previous_pipe);
#endif
  if (!out || reader_gone) {
    err << "stats-mng: the changes could not be written to the standard output"
        << (reader_gone ? ": its reader has gone" : "") << "\n";
    return 1;
  }
  return 0;
}

}  // namespace stats_mng_tool_n
