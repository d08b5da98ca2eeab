#include "platform/trc/zqtr.h"

#include "platform/thl/mix.h"
#include "platform/trc/zqtr_format.h"
#include "platform/trc/zqtr_log_file.h"
#include "platform/trc/zqtr_settings.h"
#include "platform/win32/win32_api.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace {

enum : uint32_t { SINK_FILE = 1, SINK_CAPTURE = 2, SINK_HOLD = 4 };

// Records held while the library loads, before a log directory is set, up to this many bytes.
constexpr size_t k_held_limit = 64 * 1024;

// A record held until a log directory is set: formatted only then (no calendar work while the
// library loads).
struct held_record_s {
  std::chrono::system_clock::time_point time;
  unsigned long thread;
  unsigned level;
  std::string scope;
  std::string file;
  int line;
  std::string text;
};


// Which sinks exist; zero means every print returns at once.
std::atomic<uint32_t> g_sinks{0};

struct trc_state_s {
  std::mutex mutex;
  std::string directory;
  std::string log_path;
  zqtr_settings_s settings;
  zqtr_capture_c* capture = nullptr;
  std::vector<held_record_s> held;  // records waiting for a log directory
  size_t held_bytes = 0;            // their texts, counted against the bound
  unsigned long dropped = 0;        // records that did not fit
  // Why the log is not written: the first reason found since the log directory was set.
  std::string log_problem;

  // Static objects destroyed after this one may still print: they find no sink.
  ~trc_state_s() { g_sinks.store(0); }
};

// Built on first use, destroyed when the library unloads.
trc_state_s& state() {
  static trc_state_s s;
  return s;
}

std::atomic<uint32_t> g_capture_levels{0};
// Bumped on every change of the settings; scopes cache their level mask against it (24 bits).
std::atomic<uint32_t> g_generation{1};
std::atomic<int> g_forced_console{-1};

void bump_generation() {
  uint32_t next = (g_generation.load(std::memory_order_relaxed) + 1) & 0xFFFFFFu;
  g_generation.store(next == 0 ? 1 : next, std::memory_order_release);
}

// The tag of a level in a log line; a level without a name shows its code ("LEVL2").
std::string level_tag(unsigned level) {
  switch (level) {
    case ZQTR_NOTICE: return "NOTE";
    case ZQTR_FAIL: return "FAIL";
    case ZQTR_PROBLEM: return "PROB";
    case ZQTR_SCOPE: return "SCOP";
    case ZQTR_DETAIL: return "DETL";
    case ZQTR_FS: return "FSYS";
    case ZQTR_PROGRESS: return "PROG";
    default: return "LEVL" + std::to_string(level);
  }
}

// "2026-12-06 07:31:02.417 [4242:4243] FAIL scope (file:117) text", for a record made at `now` by
// thread `thread`.
std::string log_line(unsigned level, const char* scope, const char* file, int line, const std::string& text,
                     std::chrono::system_clock::time_point now, unsigned long thread) {
  using namespace std::chrono;
  time_t seconds = system_clock::to_time_t(now);
  long ms = static_cast<long>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  struct tm cal;
  std::memset(&cal, 0, sizeof cal);
  mix_n::localtime_r(seconds, &cal);
  std::string out = zqtr_format_n::format("%04d-%02d-%02d %02d:%02d:%02d.%03ld [%lu:%lu] %s %s (%s:%d) ",
                                          cal.tm_year + 1900, cal.tm_mon + 1, cal.tm_mday, cal.tm_hour,
                                          cal.tm_min, cal.tm_sec, ms, static_cast<unsigned long>(GetCurrentProcessId()),
                                          thread, level_tag(level).c_str(),
                                          scope ? scope : "", file ? file : "", line);
  // One record is one line: the text's own line end is dropped, inner line ends are indented.
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
  for (size_t i = 0; i < end; ++i) {
    if (text[i] == '\r' && i + 1 < end && text[i + 1] == '\n') continue;
    out += text[i];
    if (text[i] == '\n') out += '\t';
  }
  out += '\n';
  return out;
}

std::string log_line(unsigned level, const char* scope, const char* file, int line, const std::string& text) {
  return log_line(level, scope, file, line, text, std::chrono::system_clock::now(),
                  static_cast<unsigned long>(GetCurrentThreadId()));
}

// Keeps the caller's last error (and errno) across the writing of a record.
class last_error_keeper_c {
 public:
  last_error_keeper_c() : m_error(GetLastError()), m_errno(errno) {}
  ~last_error_keeper_c() {
    SetLastError(m_error);
    errno = m_errno;
  }

 private:
  DWORD m_error;
  int m_errno;
};

// The line the records about a rotation carry.
constexpr int k_rotate_line = __LINE__;

// What a rotation left alone, as log lines.
std::string left_alone_lines(const std::vector<std::string>& notes) {
  std::string lines;
  for (const std::string& note : notes) lines += log_line(ZQTR_PROBLEM, "zqtr_rotate", "zqtr", k_rotate_line, note + "\n");
  return lines;
}

// Takes in what an append of the log at path found, s.mutex held: the first reason the log is not
// written is kept for zqtr_log_problem; what a rotation left alone goes into the log it rotated
// (whatever its levels, and with no further rotation) and to a capture that wants problems.
void take_report_locked(trc_state_s& s, const std::string& path, const zqtr_log_file_n::append_report_s& report) {
  if (!report.problem.empty() && s.log_problem.empty() && s.log_path == path) s.log_problem = report.problem;
  if (report.left_alone.empty()) return;
  std::string lines = left_alone_lines(report.left_alone);
  zqtr_log_file_n::append(path, lines.data(), lines.size(), 0, 0);
  if (s.capture != nullptr && (g_capture_levels.load(std::memory_order_relaxed) & ZQTR_PROBLEM)) {
    for (const std::string& note : report.left_alone) {
      s.capture->_add(zqtr_record_s{ZQTR_PROBLEM, "zqtr_rotate", "zqtr", k_rotate_line, note + "\n"});
    }
  }
}

// Writes one record to the sinks in `sinks`.
void emit(uint32_t sinks, unsigned level, const char* scope, const char* file, int line, std::string text) {
  last_error_keeper_c keep_last_error;
  trc_state_s& s = state();
  std::string path;
  uint64_t max_size = 0;
  unsigned keep = 0;
  {
    std::lock_guard<std::mutex> guard(s.mutex);
    if ((sinks & SINK_CAPTURE) && s.capture != nullptr) {
      s.capture->_add(zqtr_record_s{level, scope ? scope : "", file ? file : "", line, text});
    }
    if (sinks & SINK_FILE) {
      path = s.log_path;
      max_size = s.settings.max_size;
      keep = s.settings.keep;
    } else if (sinks & SINK_HOLD) {
      if (!s.log_path.empty()) {
        // A log directory was set meanwhile: the record goes there, after what was held.
        path = s.log_path;
        max_size = s.settings.max_size;
        keep = s.settings.keep;
      } else {
        // About what the record's log line will take: its text and the line's head.
        const size_t size = text.size() + 96 + (scope != nullptr ? std::strlen(scope) : 0);
        // Once one record did not fit, none after it is kept either: the log shows no silent gap.
        if (s.dropped == 0 && s.held_bytes + size <= k_held_limit) {
          s.held.push_back(held_record_s{std::chrono::system_clock::now(), static_cast<unsigned long>(GetCurrentThreadId()),
                                         level, scope != nullptr ? scope : "", file != nullptr ? file : "", line,
                                         text});
          s.held_bytes += size;
        } else {
          ++s.dropped;
        }
      }
    }
  }
  if (!path.empty()) {
    std::string record = log_line(level, scope, file, line, text);
    // A log that cannot be written is not the caller's failure: the reason is kept for whoever
    // asks (zqtr_log_problem).
    zqtr_log_file_n::append_report_s report;
    if (!zqtr_log_file_n::append(path, record.data(), record.size(), max_size, keep, &report) ||
        !report.left_alone.empty()) {
      std::lock_guard<std::mutex> guard(s.mutex);
      take_report_locked(s, path, report);
    }
  }
}

// Reports about the trace settings reach the log whatever its level mask.
void report(unsigned level, const char* file, const std::string& text) {
  uint32_t sinks = g_sinks.load(std::memory_order_acquire) & SINK_FILE;
  if (g_capture_levels.load(std::memory_order_relaxed) & level) {
    sinks |= g_sinks.load(std::memory_order_acquire) & SINK_CAPTURE;
  }
  if (sinks != 0) emit(sinks, level, "zqtr_reparse_file", file, 0, text + "\n");
}

}  // namespace

zqtr_entry_c::zqtr_entry_c(const char* name, const char* file, uint32_t* level_word, uint32_t* call_word, int line,
                           bool enabled)
    : m_name(name), m_file(file), m_level_word(level_word), m_call_word(call_word), m_line(line), m_enabled(enabled) {
  if (g_sinks.load(std::memory_order_relaxed) == 0 || !m_enabled) return;
  uint32_t sinks = _wanted(ZQTR_SCOPE);
  if (sinks != 0) emit(sinks, ZQTR_SCOPE, m_name, m_file, m_line, "enter\n");
}

zqtr_entry_c::~zqtr_entry_c() {
  if (g_sinks.load(std::memory_order_relaxed) == 0 || !m_enabled) return;
  uint32_t sinks = _wanted(ZQTR_SCOPE);
  if (sinks != 0) emit(sinks, ZQTR_SCOPE, m_name, m_file, m_line, "leave\n");
}

unsigned zqtr_entry_c::_file_levels() {
  if (m_file_levels >= 0) return static_cast<unsigned>(m_file_levels);
  uint32_t generation = g_generation.load(std::memory_order_acquire);
  uint32_t cached = m_level_word ? __atomic_load_n(m_level_word, __ATOMIC_RELAXED) : 0;
  unsigned levels;
  if (m_level_word != nullptr && (cached >> 8) == generation) {
    levels = cached & 0xFFu;
  } else {
    trc_state_s& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    generation = g_generation.load(std::memory_order_acquire);
    levels = zqtr_settings_n::levels_for(s.settings, m_name) & 0xFFu;
    if (m_level_word != nullptr) __atomic_store_n(m_level_word, (generation << 8) | levels, __ATOMIC_RELAXED);
  }
  m_file_levels = static_cast<int>(levels);
  return levels;
}

unsigned zqtr_entry_c::_wanted(unsigned level) {
  uint32_t sinks = g_sinks.load(std::memory_order_acquire);
  uint32_t wanted = 0;
  if ((sinks & SINK_CAPTURE) && (g_capture_levels.load(std::memory_order_relaxed) & level)) wanted |= SINK_CAPTURE;
  if ((sinks & SINK_FILE) && (_file_levels() & level)) wanted |= SINK_FILE;
  if ((sinks & (SINK_HOLD | SINK_FILE)) == SINK_HOLD && (_file_levels() & level)) wanted |= SINK_HOLD;
  return wanted;
}

void zqtr_entry_c::_emit(unsigned level, int line, bool end_line, const char* format, va_list args) {
  uint32_t sinks = _wanted(level);
  if (sinks == 0) return;
  std::string text;
  zqtr_format_n::vformat(text, format, args);
  if (end_line) text += '\n';
  emit(sinks, level, m_name, m_file, line, std::move(text));
}

void zqtr_entry_c::print(unsigned level, int line, const char* format, ...) {
  if (g_sinks.load(std::memory_order_relaxed) == 0 || !m_enabled) return;
  va_list args;
  va_start(args, format);
  _emit(level, line, false, format, args);
  va_end(args);
}

void zqtr_entry_c::print_nl(unsigned level, int line, const char* format, ...) {
  if (g_sinks.load(std::memory_order_relaxed) == 0 || !m_enabled) return;
  va_list args;
  va_start(args, format);
  _emit(level, line, true, format, args);
  va_end(args);
}

bool zqtr_set_log_directory(char* text, int64_t& len, const char* directory, const char* module, bool per_process) {
  std::string dir = directory ? directory : "";
  while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\') && dir[dir.size() - 2] != ':') dir.pop_back();
  std::string base = module ? module : "";
  size_t slash = base.find_last_of("/\\");
  if (slash != std::string::npos) base.erase(0, slash + 1);
  size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base.erase(dot);
  if (base.empty()) base = "stats_mng";
  if (per_process) base += "." + std::to_string(static_cast<unsigned long>(GetCurrentProcessId()));
  std::string path;
  if (!dir.empty()) path = dir + (dir.back() == '/' || dir.back() == '\\' ? "" : "/") + base + ".log";

  if (text != nullptr && len > 0) {
    size_t n = path.size() < static_cast<size_t>(len) ? path.size() : static_cast<size_t>(len) - 1;
    std::memcpy(text, path.data(), n);
    text[n] = '\0';
  }
  len = static_cast<int64_t>(path.size());
  if (dir.empty()) return false;
  trc_state_s& s = state();
  if (!zqtr_log_file_n::make_directories(dir)) {
    std::lock_guard<std::mutex> guard(s.mutex);
    s.log_problem = dir + " cannot be the log directory: it is not a directory and cannot be made one";
    return false;
  }

  {
    std::lock_guard<std::mutex> guard(s.mutex);
    s.directory = dir;
    s.log_path = path;
    // Said at once when the log's name is taken by something that is never written (a link ...),
    // also when no record is written afterwards.
    s.log_problem = zqtr_log_file_n::probe(path);
    // What was traced while the library loaded comes first: it is written before the file sink
    // opens, and any record on its way meanwhile waits for this lock and finds the path set.
    if (!s.held.empty() || s.dropped > 0) {
      std::string held;
      for (const held_record_s& r : s.held) held += log_line(r.level, r.scope.c_str(), r.file.c_str(), r.line, r.text, r.time, r.thread);
      if (s.dropped > 0) {
        held += log_line(ZQTR_PROBLEM, "zqtr_set_log_directory", "zqtr", __LINE__,
                         std::to_string(s.dropped) + " record(s) traced while loading did not fit the " +
                             std::to_string(k_held_limit / 1024) + " KiB kept for the log\n");
      }
      last_error_keeper_c keep_last_error;
      // Kept for the next directory when they could not be written.
      zqtr_log_file_n::append_report_s report;
      if (zqtr_log_file_n::append(path, held.data(), held.size(), s.settings.max_size, s.settings.keep, &report)) {
        s.held.clear();
        s.held_bytes = 0;
        s.dropped = 0;
      }
      take_report_locked(s, path, report);
    }
    bump_generation();
    g_sinks.fetch_or(SINK_FILE, std::memory_order_acq_rel);
    g_sinks.fetch_and(~static_cast<uint32_t>(SINK_HOLD), std::memory_order_acq_rel);
  }
  return true;
}

void zqtr_hold_records(bool on) {
  if (on) {
    trc_state_s& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (s.log_path.empty()) g_sinks.fetch_or(SINK_HOLD, std::memory_order_acq_rel);
  } else {
    g_sinks.fetch_and(~static_cast<uint32_t>(SINK_HOLD), std::memory_order_acq_rel);
  }
}

void zqtr_discard_held_records() {
  trc_state_s& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.held.clear();
  s.held.shrink_to_fit();
  s.held_bytes = 0;
  s.dropped = 0;
}

std::string zqtr_held_records() {
  trc_state_s& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  std::string lines;
  for (const held_record_s& r : s.held) lines += log_line(r.level, r.scope.c_str(), r.file.c_str(), r.line, r.text, r.time, r.thread);
  return lines;
}

bool zqtr_reparse_file(char* text, int64_t& len, const char* path) {
  std::string content;
  std::string source = path ? path : "";
  if (text != nullptr && len > 0) {
    content.assign(text, static_cast<size_t>(len));
    source = "settings text";
  } else if (source.empty()) {
    return false;
  } else {
    // The file may lie where others can write: a link in its place is not followed (what it leads
    // to could be any file, and bad lines are quoted in the log).
    std::string reason;
    if (!zqtr_log_file_n::read_file(source, content, 1u << 20, zqtr_log_file_n::links_e::refuse, &reason)) {
      report(ZQTR_FAIL, source.c_str(),
             "Unable to read the trace settings file " + source + (reason.empty() ? "" : ": " + reason));
      return false;
    }
  }
  zqtr_settings_s settings;
  std::vector<std::string> problems;
  zqtr_settings_n::parse(content, settings, problems);
  {
    trc_state_s& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.settings = settings;
    bump_generation();
  }
  for (const std::string& p : problems) report(ZQTR_PROBLEM, source.c_str(), "Trace settings " + p);
  return true;
}

bool zqtr_is_console_application() {
  int forced = g_forced_console.load(std::memory_order_relaxed);
  if (forced >= 0) return forced != 0;
  return zqtr_log_file_n::stderr_is_console();
}

void zqtr_force_console_application(int answer) { g_forced_console.store(answer < 0 ? -1 : (answer ? 1 : 0)); }

void zqtr_reset() {
  trc_state_s& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  g_sinks.fetch_and(~static_cast<uint32_t>(SINK_FILE | SINK_HOLD), std::memory_order_acq_rel);
  s.held.clear();
  s.held_bytes = 0;
  s.dropped = 0;
  s.directory.clear();
  s.log_path.clear();
  s.log_problem.clear();
  s.settings = zqtr_settings_s();
  bump_generation();
}

std::string zqtr_log_file_path() {
  trc_state_s& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.log_path;
}

std::string zqtr_log_problem() {
  trc_state_s& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.log_problem;
}

zqtr_settings_s zqtr_current_settings() {
  trc_state_s& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.settings;
}

zqtr_capture_c::zqtr_capture_c(unsigned levels) : m_levels(levels), m_previous(nullptr) {
  trc_state_s& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  m_previous = s.capture;
  s.capture = this;
  g_capture_levels.store(levels, std::memory_order_relaxed);
  g_sinks.fetch_or(SINK_CAPTURE, std::memory_order_acq_rel);
}

zqtr_capture_c::~zqtr_capture_c() {
  trc_state_s& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.capture = m_previous;
  if (m_previous != nullptr) {
    g_capture_levels.store(m_previous->levels(), std::memory_order_relaxed);
  } else {
    g_capture_levels.store(0, std::memory_order_relaxed);
    g_sinks.fetch_and(~static_cast<uint32_t>(SINK_CAPTURE), std::memory_order_acq_rel);
  }
}

std::vector<zqtr_record_s> zqtr_capture_c::records() const {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_records;
}

namespace {
std::string without_line_end(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}
}  // namespace

std::vector<std::string> zqtr_capture_c::texts() const {
  std::lock_guard<std::mutex> guard(m_mutex);
  std::vector<std::string> out;
  for (const zqtr_record_s& r : m_records) out.push_back(without_line_end(r.text));
  return out;
}

bool zqtr_capture_c::has(unsigned level, const std::string& text) const {
  const std::string wanted = without_line_end(text);
  std::lock_guard<std::mutex> guard(m_mutex);
  for (const zqtr_record_s& r : m_records) {
    if (r.level == level && without_line_end(r.text) == wanted) return true;
  }
  return false;
}

void zqtr_capture_c::clear() {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_records.clear();
}

void zqtr_capture_c::_add(zqtr_record_s record) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_records.push_back(std::move(record));
}
