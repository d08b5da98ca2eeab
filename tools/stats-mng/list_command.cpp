// stats-mng list: every scenario below some directories, for a person at a terminal, for a program
// (JSON) or for a metrics scraper (the text exposition format).
#include "commands.h"

#include "file/file_manipulation.h"
#include "stats_mng/scenario_list.h"

#include <algorithm>
#include <ctime>
#include <sstream>

namespace stats_mng_tool_n {

namespace {

// Seconds since 1970 as a UTC date, "2026-12-06T18:00:00Z"; empty for 0.
std::string utc_date(int64_t seconds) {
  if (seconds <= 0) return "";
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm parts{};
#ifdef _WIN32
  if (gmtime_s(&parts, &t) != 0) return "";
#else
  if (gmtime_r(&t, &parts) == nullptr) return "";
#endif
  char text[32];
  if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts) == 0) return "";
  return text;
}

const char* state_name(const scenario_report_s& r) { return k_state_names[r.state_index < 4 ? r.state_index : 3]; }

// A label value of the exposition format: backslash, double quote and line feed escaped.
std::string label_value(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
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
    rows.push_back({r.directory, r.engine_active ? "active" : "inactive", state_name(r), std::to_string(r.state_index),
                    r.synced ? "true" : "false", r.sync_time > 0 ? std::to_string(r.sync_time) : "-",
                    r.sync_time > 0 ? utc_date(r.sync_time) : "-", r.read ? "" : "not read: " + r.error});
  }
  size_t widths[8];
  for (size_t c = 0; c < 8; ++c) {
    widths[c] = std::string(headers[c]).size();
    for (const auto& row : rows) widths[c] = std::max(widths[c], row[c].size());
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t c = 0; c < 8; ++c) {
      text += cells[c];
      if (c + 1 < 8) text += std::string(widths[c] - cells[c].size() + 2, ' ');
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
    entry["directory"] = r.directory;
    entry["read"] = r.read;
    if (!r.read) entry["error"] = r.error;
    entry["engine_active"] = r.engine_active;
    entry["state"] = state_name(r);
    entry["state_index"] = r.state_index;
    entry["synced"] = r.synced;
    entry["sync_time"] = r.sync_time;
    entry["sync_date"] = r.sync_time > 0 ? nlohmann::ordered_json(utc_date(r.sync_time)) : nlohmann::ordered_json();
    list.push_back(entry);
  }
  out << list.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

void print_metrics(const std::vector<scenario_report_s>& reports, std::ostream& out) {
  struct gauge_s {
    const char* name;
    const char* help;
    double (*value)(const scenario_report_s&);
    bool needs_read;
  };
  const gauge_s gauges[] = {
      {"stats_mng_scenario_read", "Whether every question about the scenario was answered (1) or not (0).",
       [](const scenario_report_s& r) { return r.read ? 1.0 : 0.0; }, false},
      {"stats_mng_engine_active", "Whether an engine holds the scenario's lock (1) or not (0).",
       [](const scenario_report_s& r) { return r.engine_active ? 1.0 : 0.0; }, true},
      {"stats_mng_state_index", "The recorded state: 0 Running, 1 Stop, 2 Sync, 3 Unknown.",
       [](const scenario_report_s& r) { return static_cast<double>(r.state_index); }, true},
      {"stats_mng_sync_replicated", "Whether the synchronisation was recorded as replicated (1) or not (0).",
       [](const scenario_report_s& r) { return r.synced ? 1.0 : 0.0; }, true},
      {"stats_mng_sync_replicated_time_seconds", "When the state was recorded, in seconds since 1970 (0: never).",
       [](const scenario_report_s& r) { return static_cast<double>(r.sync_time); }, true},
  };
  for (const gauge_s& g : gauges) {
    out << "# HELP " << g.name << ' ' << g.help << '\n' << "# TYPE " << g.name << " gauge\n";
    for (const scenario_report_s& r : reports) {
      if (g.needs_read && !r.read) continue;  // no answer is no sample, not a made-up one
      std::ostringstream value;
      value.precision(17);
      value << g.value(r);
      out << g.name << "{directory=\"" << label_value(r.directory) << "\"} " << value.str() << '\n';
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
    if (!lister.find(root, depth, directories, why)) {
      err << "stats-mng: cannot list " << root << ": " << why << "\n";
      return EXIT_NO_SCENARIO;
    }
  }
  std::sort(directories.begin(), directories.end());
  directories.erase(std::unique(directories.begin(), directories.end()), directories.end());
  for (const std::string& s : lister.skipped) err << "stats-mng: passed over " << s << "\n";
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
    if (!file_manipulation_n::replace_file_contents(write.c_str(), content.data(), content.size())) {
      err << "stats-mng: cannot write " << write << " (see the trace log)\n";
      return 1;
    }
  } else {
    out << text.str();
  }
  for (const scenario_report_s& r : reports) {
    if (!r.read) err << "stats-mng: " << r.directory << " was not read: " << r.error << "\n";
  }
  return all_read ? 0 : 1;
}

}  // namespace stats_mng_tool_n
