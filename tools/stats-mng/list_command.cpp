// stats-mng list: every scenario below some directories, for a person at a terminal, for a program
// (JSON) or for a metrics scraper (the text exposition format).
#include "commands.h"
#include "shown_text.h"

#include "file/file_manipulation.h"
#include "platform/trc/zqtr.h"
#include "platform/win32/drive_map.h"
#include "stats_mng/scenario_list.h"
#include "utl/time_span.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sstream>

namespace stats_mng_tool_n {

// Seconds since 1970 as a UTC date, "2026-12-06T18:00:00Z"; empty for 0 and for the times past the
// year 9999 (or before the year 1), which the ISO form does not write.
std::string utc_date(int64_t seconds) {
  char text[21];
  if (seconds == 0 || !date_time_c::iso_utc_date(seconds, text)) return "";
  return text;
}

static const char* state_name(const scenario_report_s& r) { return k_state_names[r.state_index < 4 ? r.state_index : 3]; }

namespace {

// A label value of the exposition format: the directory's escaped name (UTF-8, no control
// character), with backslash and double quote escaped as the format wants.
std::string label_value(const std::string& text) {
  std::string out;
  for (char c : escaped_name(text)) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else {
      out += c;
    }
  }
  return out;
}

void print_table(const std::vector<scenario_report_s>& reports, std::ostream& out) {
  const char* headers[] = {"DIRECTORY", "ENGINE", "STATE", "INDEX", "SYNCED", "SYNC TIME", "SYNC DATE", "NOTE"};
  std::vector<std::vector<std::string>> rows;
  for (const scenario_report_s& r : reports) {
    // What could not be asked shows as "?", never as an answer.
    const bool state = r.state_known;
    const std::string date = state && r.sync_time > 0 ? utc_date(r.sync_time) : "";
    rows.push_back({escaped_name(r.directory), !r.engine_known ? "?" : r.engine_active ? "active" : "inactive",
                    state ? state_name(r) : "?", state ? std::to_string(r.state_index) : "?",
                    !state ? "?" : r.synced ? "true" : "false", state && r.sync_time > 0 ? std::to_string(r.sync_time) : "-",
                    date.empty() ? "-" : date, r.read ? "" : "not read: " + printable(r.error)});
  }
  size_t widths[8];
  for (size_t c = 0; c < 8; ++c) {
    widths[c] = display_width(headers[c]);
    for (const auto& row : rows) widths[c] = std::max(widths[c], display_width(row[c]));
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t c = 0; c < 8; ++c) {
      text += cells[c];
      if (c + 1 < 8) text += std::string(widths[c] - display_width(cells[c]) + 2, ' ');
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out << text << '\n';
  };
  line(std::vector<std::string>(std::begin(headers), std::end(headers)));
  for (const auto& row : rows) line(row);
}

void print_json_list(const std::vector<scenario_report_s>& reports, std::ostream& out) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const scenario_report_s& r : reports) {
    nlohmann::ordered_json entry;
    entry["directory"] = escaped_name(r.directory);
    entry["read"] = r.read;
    if (!r.read) entry["error"] = printable(r.error);
    // What could not be asked is null, never an answer.
    const nlohmann::ordered_json none;
    entry["engine_active"] = r.engine_known ? nlohmann::ordered_json(r.engine_active) : none;
    entry["recorded"] = r.state_known ? nlohmann::ordered_json(r.state_recorded) : none;
    entry["state"] = r.state_known ? nlohmann::ordered_json(state_name(r)) : none;
    entry["state_index"] = r.state_known ? nlohmann::ordered_json(r.state_index) : none;
    entry["synced"] = r.state_known ? nlohmann::ordered_json(r.synced) : none;
    entry["sync_time"] = r.state_known ? nlohmann::ordered_json(r.sync_time) : none;
    const std::string date = r.state_known && r.sync_time > 0 ? utc_date(r.sync_time) : "";
    entry["sync_date"] = date.empty() ? none : nlohmann::ordered_json(date);
    list.push_back(entry);
  }
  out << list.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

void print_metrics(const std::vector<scenario_report_s>& reports, std::ostream& out) {
  enum known_e { ALWAYS, ENGINE, STATE };
  struct gauge_s {
    const char* name;
    const char* help;
    int64_t (*value)(const scenario_report_s&);
    known_e needs;
  };
  const gauge_s gauges[] = {
      {"stats_mng_scenario_read", "Whether every question about the scenario was answered (1) or not (0).",
       [](const scenario_report_s& r) -> int64_t { return r.read ? 1 : 0; }, ALWAYS},
      {"stats_mng_engine_active", "Whether an engine holds the scenario's lock (1) or not (0).",
       [](const scenario_report_s& r) -> int64_t { return r.engine_active ? 1 : 0; }, ENGINE},
      {"stats_mng_state_index", "The recorded state: 0 Running, 1 Stop, 2 Sync, 3 Unknown.",
       [](const scenario_report_s& r) -> int64_t { return r.state_index; }, STATE},
      {"stats_mng_sync_replicated", "Whether the synchronisation was recorded as replicated (1) or not (0).",
       [](const scenario_report_s& r) -> int64_t { return r.synced ? 1 : 0; }, STATE},
      {"stats_mng_sync_replicated_time_seconds", "When the state was recorded, in seconds since 1970 (0: never).",
       [](const scenario_report_s& r) -> int64_t { return r.sync_time; }, STATE},
  };
  for (const gauge_s& g : gauges) {
    out << "# HELP " << g.name << ' ' << g.help << '\n' << "# TYPE " << g.name << " gauge\n";
    for (const scenario_report_s& r : reports) {
      // No answer is no sample, not a made-up one.
      if ((g.needs == ENGINE && !r.engine_known) || (g.needs == STATE && !r.state_known)) continue;
      out << g.name << "{directory=\"" << label_value(r.directory) << "\"} " << g.value(r) << '\n';
    }
  }
}

}  // namespace

int list_scenarios(const std::vector<std::string>& roots, unsigned depth, list_format_e format, const std::string& write,
                   std::ostream& out, std::ostream& err) {
  scenario_lister_c lister;
  std::vector<std::string> directories;
  for (const std::string& root : roots) {
    std::string why;
    // A root on a drive mapped with --drive is walked by its directory's own names.
    if (!lister.find(drive_map_n::native_path(root), depth, directories, why)) {
      err << "stats-mng: cannot list " << printable(root) << ": " << why << "\n";
      return EXIT_NO_SCENARIO;
    }
  }
  std::sort(directories.begin(), directories.end());
  directories.erase(std::unique(directories.begin(), directories.end()), directories.end());
  for (const std::string& s : lister.skipped) err << "stats-mng: passed over " << printable(s) << "\n";
  std::vector<scenario_report_s> reports;
  reports.reserve(directories.size());
  bool all_read = lister.skipped.empty();
  for (const std::string& dir : directories) {
    reports.push_back(lister.read(dir));
    all_read = all_read && reports.back().read;
  }
  std::ostringstream text;
  switch (format) {
    case LIST_TABLE: print_table(reports, text); break;
    case LIST_JSON: print_json_list(reports, text); break;
    case LIST_METRICS: print_metrics(reports, text); break;
  }
  if (!write.empty()) {
    const std::string content = text.str();
    zqtr_capture_c capture(ZQTR_FAIL);
    if (!file_manipulation_n::replace_file_contents(write.c_str(), content.data(), content.size())) {
      err << "stats-mng: cannot write " << printable(write) << ": " << failure_reasons(capture, "the file could not be replaced")
          << "\n";
      return 1;
    }
  } else {
    out << text.str() << std::flush;
    if (!out) {
      err << "stats-mng: the listing could not be written to the standard output\n";
      return 1;
    }
  }
  for (const scenario_report_s& r : reports) {
    if (!r.read) err << "stats-mng: " << escaped_name(r.directory) << " was not read: " << printable(r.error) << "\n";
  }
  return all_read ? 0 : 1;
}

}  // namespace stats_mng_tool_n
