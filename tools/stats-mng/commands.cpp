#include "commands.h"

#include "file/file_manipulation.h"
#include "file/path_n.h"
#include "shown_text.h"
#include "stats_mng/scenario_list.h"
#include "stats_mng/stats_mng.h"
#include "stats_mng/stats_saver.h"
#include "stats_mng/stats_saver_lock.h"
#include "platform/trc/zqtr.h"
#include "platform/win32/drive_map.h"
#include "utl/message.h"
#include "utl/multi_lang.h"
#include "utl/utl.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <chrono>
#include <csignal>
#include <cctype>
#include <filesystem>
#include <streambuf>
#include <thread>
#include <vector>

namespace stats_mng_tool_n {

int print_standard_paths(const std::vector<std::string>& paths, bool keep_prefix, std::ostream& out,
                         std::ostream& err) {
  ZQTR_SCOPE(tr, "stats_mng_tool_n::print_standard_paths", "stats-mng");
  int code = 0;
  size_t done = 0;
  for (const std::string& path : paths) {
    char standard[PATH_BUFFER_SIZE] = {};
    if (path.size() >= PATH_BUFFER_SIZE) {
      err << "stats-mng: path is longer than " << PATH_BUFFER_SIZE - 1 << " characters: " << printable(path.substr(0, 60))
          << "...\n";
      tr.print(4, __LINE__, "Unable to normalise a path of %lu characters\n", static_cast<unsigned long>(path.size()));
      code = 1;
    } else if (!path_n::standard_dir_path(path.c_str(), standard, !keep_prefix)) {
      err << "stats-mng: '" << printable(path) << "' has no standard form (a path needs at least two characters, as in C: or /x)\n";
      tr.print(4, __LINE__, "Unable to normalise the path %s\n", path.c_str());
      code = 1;
    } else {
      out << printable(standard) << '\n';
      ++done;
    }
  }
  tr.print(128, __LINE__, "Normalised %lu of %lu path(s)\n", static_cast<unsigned long>(done),
           static_cast<unsigned long>(paths.size()));
  return code;
}

int print_windows_paths(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err) {
  int code = 0;
  std::vector<wchar_t> wide(PATH_BUFFER_SIZE);
  std::vector<char> text(PATH_BUFFER_SIZE * 4);
  for (const std::string& path : paths) {
    if (path.size() >= PATH_BUFFER_SIZE) {
      err << "stats-mng: path is longer than " << PATH_BUFFER_SIZE - 1 << " characters: " << printable(path.substr(0, 60))
          << "...\n";
      code = 1;
      continue;
    }
    path_n::path_to_wide_char_path(path.c_str(), wide.data(), true);
    if (wide[0] == L'\0' || multi_lang_str_n::wide_to_utf8(wide.data(), text.data(), text.size()) == nullptr) {
      err << "stats-mng: '" << printable(path) << "' has no Windows form\n";
      code = 1;
      continue;
    }
    out << printable(text.data()) << '\n';
  }
  return code;
}

std::string unreadable_message_file(const std::string& path) {
  std::string content;
  const DWORD error = file_manipulation_n::read_file(path.c_str(), content, message_store_c::k_max_message_file);
  if (error == ERROR_SUCCESS) return "it could not be read";
  utl_stream_c reason;
  return utl_n::get_error_text(reason, static_cast<int>(error));
}

int print_message(const std::string& id, const std::string& message_file, std::ostream& out, std::ostream& err) {
  if (!message_file.empty()) {
    std::vector<std::string> problems;
    long loaded = message_store_c::load_file(message_file, problems);
    if (loaded < 0) {
      err << "stats-mng: cannot read the message file " << printable(message_file) << ": "
          << unreadable_message_file(message_file) << "\n";
      return 2;
    }
    for (const std::string& p : problems) err << "stats-mng: " << printable(message_file) << ": " << p << "\n";
  }
  message_c message(id.c_str());
  out << message.text() << '\n';
  return message.found() ? 0 : 1;
}

namespace {

// A relative directory (".", "s7", "..\\x") made absolute against the current directory; an absolute
// one ("/srv/x", "\\srv\\x", "C:\\x", "\\\\server\\share") as it is.
std::string absolute_directory(const std::string& dir) {
  const bool absolute = (!dir.empty() && (dir[0] == '/' || dir[0] == '\\')) ||
                        (dir.size() >= 2 && dir[1] == ':' && std::isalpha(static_cast<unsigned char>(dir[0])));
  if (absolute || dir.empty()) return dir;
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  if (error) return dir;
  return here.u8string() + "/" + dir;
}

}  // namespace

int existing_scenario(const std::string& given, std::string& standard, std::ostream& err) {
  char buffer[PATH_BUFFER_SIZE] = {};
  const std::string dir = absolute_directory(given);
  if (!multi_lang_str_n::is_valid_utf8(dir.c_str())) {
    err << "stats-mng: the directory path " << printable(dir) << " is not UTF-8 text\n";
    return 2;
  }
  if (dir.size() > MAX_SCENARIO_DIR_LENGTH) {
    err << "stats-mng: the directory path is longer than " << MAX_SCENARIO_DIR_LENGTH << " bytes\n";
    return 2;
  }
  if (!path_n::standard_dir_path(dir.c_str(), buffer, true)) {
    err << "stats-mng: '" << printable(given) << "' is not a usable directory path\n";
    return 2;
  }
  standard = buffer;
  // One look: missing, not to be looked at (a parent that may not be searched), a file, or there.
  wchar_t wide[PATH_BUFFER_SIZE];
  path_n::path_to_wide_char_path(buffer, wide, true);
  const DWORD attributes = GetFileAttributesW(wide);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (file_manipulation_n::is_missing_error(error)) {
      err << "stats-mng: the scenario directory " << printable(standard) << " does not exist\n";
    } else {
      utl_stream_c reason;
      err << "stats-mng: the scenario directory " << printable(standard)
          << " cannot be looked at: " << utl_n::get_error_text(reason, static_cast<int>(error)) << "\n";
    }
    return EXIT_NO_SCENARIO;
  }
  // A file is no scenario: the questions would answer for a state directory that cannot be there.
  // Nor is a link that leads to no directory (to a file, nowhere, or round in a loop).
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    err << "stats-mng: " << printable(standard) << " is no scenario directory: "
        << ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? "it is a link that leads to no directory" : "it is a file")
        << "\n";
    return EXIT_NO_SCENARIO;
  }
  return 0;
}

namespace {

// A name the state file would not give back as written (a byte 0xFF ends the reader's input, a line
// end is read back as a blank) is refused.
bool name_can_be_stored(const std::string& name, std::ostream& err) {
  if (stats_saver_ex_c::is_storable_name(name.c_str())) return true;
  err << "stats-mng: --name holds a byte 0xFF, a line end or another control character, which a state file cannot hold; nothing was written\n";
  return false;
}

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void on_interrupt(int) { g_interrupted = 1; }

}  // namespace

std::string failure_reasons(const zqtr_capture_c& capture, const std::string& fallback) {
  std::string reasons;
  for (std::string text : capture.texts()) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    if (text.empty()) continue;
    reasons += (reasons.empty() ? "" : "; ") + text;
  }
  return reasons.empty() ? fallback : reasons;
}

// One JSON object on one line (the directory is UTF-8: a path that is not was refused before).
void print_json(std::ostream& out, const nlohmann::ordered_json& object) {
  out << object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

namespace {

// Passes what is written on to another stream's buffer, noting whether anything was and, with
// keep_lines, keeping the last complete line.
class passing_buffer_c : public std::streambuf {
 public:
  passing_buffer_c(std::streambuf* target, bool keep_lines) : m_target(target), m_keep_lines(keep_lines) {}
  bool written() const { return m_written; }
  const std::string& last_line() const { return m_last_line; }

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    const char ch = static_cast<char>(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    m_written = m_written || count > 0;
    for (std::streamsize i = 0; m_keep_lines && i < count; ++i) {
      if (text[i] != '\n') {
        m_line += text[i];
      } else if (!m_line.empty()) {
        m_last_line.swap(m_line);
        m_line.clear();
      }
    }
    return m_target->sputn(text, count);
  }
  int sync() override { return m_target->pubsync(); }

 private:
  std::streambuf* m_target;
  const bool m_keep_lines;
  bool m_written = false;
  std::string m_line;
  std::string m_last_line;
};

}  // namespace

int with_json_failure(bool json, const nlohmann::ordered_json& subject, std::ostream& out, std::ostream& err,
                      const std::function<int(std::ostream& out, std::ostream& err)>& command) {
  if (!json) return command(out, err);
  passing_buffer_c out_buffer(out.rdbuf(), false);
  passing_buffer_c err_buffer(err.rdbuf(), true);
  std::ostream passed_out(&out_buffer);
  std::ostream passed_err(&err_buffer);
  const int code = command(passed_out, passed_err);
  passed_out.flush();
  passed_err.flush();
  if (code == 0 || out_buffer.written()) return code;
  std::string error = err_buffer.last_line();
  const std::string own_name = "stats-mng: ";
  if (error.compare(0, own_name.size(), own_name) == 0) error.erase(0, own_name.size());
  nlohmann::ordered_json failure = subject;
  failure["error"] = error.empty() ? "the command failed with exit status " + std::to_string(code) : printable(error);
  print_json(out, failure);
  return code;
}

int ask_engine_active(const std::string& dir, bool json, std::ostream& out, std::ostream& err) {
  std::string standard;
  if (const int code = existing_scenario(dir, standard, err)) return code;
  const bool active = is_engine_active_for_scenario(standard.c_str());
  // "No engine" is an answer only where the lock could be asked: a pipe or a directory in the lock
  // file's place, or a lock file that cannot be opened, answers nothing (the listing's reading says
  // which, as it says it in `list`).
  std::string error;
  if (!active) {
    const scenario_report_s report = scenario_lister_c().read(standard, scenario_lister_c::ASK_ENGINE);
    if (!report.engine_known) error = report.error.empty() ? "the lock file cannot be asked" : report.error;
  }
  if (json) {
    nlohmann::ordered_json answer = {{"directory", standard}, {"active", active}};
    if (!error.empty()) {
      answer["active"] = nullptr;
      answer["error"] = printable(error);
    }
    print_json(out, answer);
  } else {
    out << (active ? "active" : error.empty() ? "inactive" : "unknown") << '\n';
  }
  if (!error.empty()) {
    err << "stats-mng: whether an engine holds " << printable(standard) << " cannot be told: " << error << "\n";
    return 1;
  }
  return active ? EXIT_ACTIVE : EXIT_INACTIVE;
}

int print_state(const std::string& dir, bool json, std::ostream& out, std::ostream& err) {
  std::string standard;
  if (const int code = existing_scenario(dir, standard, err)) return code;
  unsigned index = STATE_UNKNOWN;
  bool recorded = false;
  std::string reasons;
  {
    zqtr_capture_c capture(ZQTR_FAIL);
    recorded = get_scenario_state_index(standard.c_str(), &index);
    reasons = failure_reasons(capture, "neither its state file nor its parent directory's holds one");
  }
  const char* name = k_state_names[index > STATE_UNKNOWN ? STATE_UNKNOWN : index];
  // "read" says, as in `list`, whether the state files could be read (no file at all is an answer:
  // nothing recorded); the listing's reading tells that apart from a file that could not be read.
  bool read = recorded;
  std::string error;
  if (!recorded) {
    const scenario_report_s report = scenario_lister_c().read(standard, scenario_lister_c::ASK_STATE);
    read = report.state_known;
    if (!read) error = report.error;
  }
  if (json) {
    nlohmann::ordered_json answer = {
        {"directory", standard}, {"state", name}, {"index", index}, {"read", read}, {"recorded", recorded}};
    if (!read) answer["error"] = printable(error);
    print_json(out, answer);
  } else {
    out << name << '\n';
  }
  if (!recorded) {
    err << "stats-mng: " << (read ? "no state is recorded for " : "the state of ") << printable(standard)
        << (read ? ": " : " could not be read: ") << reasons << "\n";
  }
  return recorded ? 0 : 1;
}

int print_synced(const std::string& dir, bool json, std::ostream& out, std::ostream& err) {
  std::string standard;
  if (const int code = existing_scenario(dir, standard, err)) return code;
  const bool synced = is_sync_replicated(standard.c_str());
  // "false" is an answer only where the state files could be read (or there are none).
  std::string error;
  if (!synced) {
    const scenario_report_s report = scenario_lister_c().read(standard, scenario_lister_c::ASK_STATE);
    if (!report.state_known) error = report.error.empty() ? "its state files cannot be read" : report.error;
  }
  if (json) {
    nlohmann::ordered_json answer = {{"directory", standard}, {"synced", synced}, {"read", error.empty()}};
    if (!error.empty()) answer["error"] = printable(error);
    print_json(out, answer);
  } else {
    out << (synced ? "true" : "false") << '\n';
  }
  if (!error.empty()) {
    err << "stats-mng: the state of " << printable(standard) << " could not be read: " << error << "\n";
    return 1;
  }
  return synced ? 0 : EXIT_INACTIVE;
}

int record_state(const std::string& dir, bool running, const record_options_s& options, std::ostream& err) {
  if (!name_can_be_stored(options.name, err)) return 2;
  std::string standard;
  if (const int code = existing_scenario(dir, standard, err)) return code;
  stats_saver_ex_c saver(nullptr, options.scenario_id, standard.c_str(), STATE_DIRECTORY_NAME, options.name.c_str(),
                         false);
  zqtr_capture_c capture(ZQTR_FAIL);
  if (saver.set_state(options.host, running)) return 0;
  err << "stats-mng: the state file of " << printable(standard) << " could not be written: "
      << failure_reasons(capture, "the saver gave no reason") << "\n";
  return 1;
}

int record_sync(const std::string& dir, bool synced, int64_t time, const record_options_s& options, std::ostream& err) {
  if (!name_can_be_stored(options.name, err)) return 2;
  std::string standard;
  if (const int code = existing_scenario(dir, standard, err)) return code;
  stats_saver_ex_c saver(nullptr, options.scenario_id, standard.c_str(), STATE_DIRECTORY_NAME, options.name.c_str(),
                         false);
  zqtr_capture_c capture(ZQTR_FAIL);
  if (saver.set_sync_state(options.host, synced, time)) return 0;
  err << "stats-mng: the state file of " << printable(standard) << " could not be written: "
      << failure_reasons(capture, "the saver gave no reason") << "\n";
  return 1;
}

int hold_engine_lock(const std::string& dir, double seconds, std::ostream& out, std::ostream& err) {
  ZQTR_SCOPE(tr, "stats_mng_tool_n::hold_engine_lock", "stats-mng");
  std::string standard;
  if (const int code = existing_scenario(dir, standard, err)) return code;
  stats_saver_lock_c lock(standard.c_str());
  zqtr_capture_c capture(ZQTR_FAIL);
  if (!lock.lock(true)) {
    // Another engine's open refuses ours with a sharing violation; anything else is the file's own
    // fault (a pipe or a directory in its place, no permission), said in the system's words.
    const DWORD error = static_cast<DWORD>(lock.error());
    utl_stream_c reason;
    err << "stats-mng: cannot take the writer lock " << printable(lock.lock_file_path().c_str()) << ": "
        << (error == ERROR_SHARING_VIOLATION || error == ERROR_TIMEOUT
                ? std::string("another engine holds it")
                : error != 0 ? std::string(utl_n::get_error_text(reason, static_cast<int>(error)))
                             : failure_reasons(capture, "the state directory cannot be written"))
        << "\n";
    return 1;
  }
  g_interrupted = 0;
  std::signal(SIGINT, on_interrupt);
  std::signal(SIGTERM, on_interrupt);
  tr.print(ZQTR_PROGRESS, __LINE__, "Holding the writer lock %s\n", lock.lock_file_path().c_str());
  out << "holding " << lock.lock_file_path().c_str() << std::endl;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
  // Without --seconds (a negative time) until interrupted; --seconds 0 lets go at once.
  while (!g_interrupted && (seconds < 0 || std::chrono::steady_clock::now() < until)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  out << "released " << lock.lock_file_path().c_str() << std::endl;
  return 0;
}

std::function<std::string(std::string&)> seconds_validator() {
  return [](std::string& text) -> std::string {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end == text.c_str() || *end != '\0') return "'" + text + "' is not a number of seconds";
    if (!std::isfinite(value) || value < 0 || value > 1e9) {
      return "'" + text + "' is out of range: seconds run from 0 to 1e9";
    }
    return std::string();
  };
}

std::function<std::string(std::string&)> unsigned_validator(uint64_t max) {
  return [max](std::string& text) -> std::string {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
      return "'" + text + "' is not a whole number of 0 or more";
    }
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value > max) return "'" + text + "' is out of range: at most " + std::to_string(max);
    return std::string();
  };
}

bool map_drives(const std::vector<std::string>& mappings, std::ostream& err) {
  for (const std::string& mapping : mappings) {
    std::string error;
    if (!drive_map_n::map_entry(mapping, error)) {
      err << "stats-mng: --drive " << mapping << ": " << error << "\n";
      return false;
    }
  }
  return true;
}

}  // namespace stats_mng_tool_n
