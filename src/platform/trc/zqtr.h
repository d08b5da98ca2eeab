// The trace component: trace scopes, level filtering, the log file and its settings.
//
// Every traced operation builds a zqtr_entry_c on the stack and prints through it with a level
// code. Nothing is formatted or written unless a sink wants the level: the log file (once a log
// directory is set, filtered by the level mask of the settings) or a capture installed by a test.
#ifndef STATS_MNG_PLATFORM_TRC_ZQTR_H
#define STATS_MNG_PLATFORM_TRC_ZQTR_H

#include "platform/trc/zqtr_levels.h"

#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class zqtr_entry_c {
 public:
  // name: the qualified operation name; file: the source file's name; level_word and
  // call_word: two statics owned by the traced function (starting at 14 and 0): the first caches
  // the function's level mask with the settings generation it was worked out for, the second is
  // reserved; line: the line of the scope; enabled: false silences the scope.
  zqtr_entry_c(const char* name, const char* file, uint32_t* level_word, uint32_t* call_word, int line,
               bool enabled);
  virtual ~zqtr_entry_c();

  zqtr_entry_c(const zqtr_entry_c&) = delete;
  zqtr_entry_c& operator=(const zqtr_entry_c&) = delete;

  // The format carries its own "\n".
  void print(unsigned level, int line, const char* format, ...);
  // Ends the line itself.
  void print_nl(unsigned level, int line, const char* format, ...);

  const char* name() const { return m_name; }

 private:
  unsigned _wanted(unsigned level);
  unsigned _file_levels();
  void _emit(unsigned level, int line, bool end_line, const char* format, va_list args);

  const char* m_name;
  const char* m_file;
  uint32_t* m_level_word;
  [[maybe_unused]] uint32_t* m_call_word;  // reserved
  int m_line;
  bool m_enabled;
  int m_file_levels = -1;  // the scope's log levels, worked out once per scope
};

// Opens a trace scope named `name` with source file `file` at this line.
#define ZQTR_SCOPE(var, name, file)                        \
  static uint32_t var##_level_word = 14, var##_call_word = 0; \
  zqtr_entry_c var(name, file, &var##_level_word, &var##_call_word, __LINE__, true)

// A trace scope opened at its first record only, for a function called by the thousand that records
// nothing on most calls (one that records nothing makes no scope, not even its entering and
// leaving). It prints through var() and is the scope ZQTR_SCOPE would have opened on entry.
class zqtr_scope_on_demand_c {
 public:
  zqtr_scope_on_demand_c(const char* name, const char* file, uint32_t* level_word, uint32_t* call_word, int line)
      : m_name(name), m_file(file), m_level_word(level_word), m_call_word(call_word), m_line(line) {}
  zqtr_entry_c& operator()() {
    if (!m_scope) m_scope.emplace(m_name, m_file, m_level_word, m_call_word, m_line, true);
    return *m_scope;
  }

 private:
  const char* m_name;
  const char* m_file;
  uint32_t* m_level_word;
  uint32_t* m_call_word;
  int m_line;
  std::optional<zqtr_entry_c> m_scope;
};

#define ZQTR_SCOPE_ON_DEMAND(var, name, file)                    \
  static uint32_t var##_level_word = 14, var##_call_word = 0; \
  zqtr_scope_on_demand_c var(name, file, &var##_level_word, &var##_call_word, __LINE__)

// Sets the directory of the log file, named after the module ("stats_mng.dll" writes
// "stats_mng.log"). The directory is created when missing. With per_process the file name also
// carries the process id. When text is not null it receives the log file's path (at most len - 1
// characters and a terminator); len always receives the path's full length. Returns false, and
// keeps the previous directory, when the directory is empty or cannot be created.
bool zqtr_set_log_directory(char* text, int64_t& len, const char* directory, const char* module,
                            bool per_process);

// Records traced while the library loads, before any log directory is set, are held (up to 64
// KiB; from the first record that does not fit on, records are only counted) while holding is on, and written into the log as soon as a log
// directory is set, before anything else: what the library said while loading reaches the log
// of every process that sets one.
void zqtr_hold_records(bool on);
// Forgets the held records (a test program starts from a clean slate).
void zqtr_discard_held_records();
// The held log lines, as they will be written.
std::string zqtr_held_records();

// Reads the trace settings again: from text (len bytes) when text is not null, else from the file
// at path. Unknown keys are ignored; bad values are reported in the log and ignored. Returns
// false when there was nothing to read.
bool zqtr_reparse_file(char* text, int64_t& len, const char* path);

// True when the process writes to a console (standard error is a terminal). A test may force the
// answer with zqtr_force_console_application (1 yes, 0 no, -1 ask the system again).
bool zqtr_is_console_application();
void zqtr_force_console_application(int answer);

// Forgets the log directory, the held records and restores the default settings (for tests and
// the tool).
void zqtr_reset();

// The log file currently written, empty when none.
std::string zqtr_log_file_path();

// Why the log is not written, naming the file ("/logs/stats_mng.log is a symbolic link; ..."):
// the first reason found since the log directory was last set (a link, directory, FIFO or file
// with other names in the log's place, a directory that cannot be made ...), empty while every
// record reached the log. Setting a directory looks at the log's name at once. Tracing itself
// never fails a caller: this is how a caller (the tool) can say why the log stays empty.
std::string zqtr_log_problem();

// The settings in force (their record: platform/trc/zqtr_levels.h).
zqtr_settings_s zqtr_current_settings();

// One record as a capture sees it.
struct zqtr_record_s {
  unsigned level;
  std::string scope;
  std::string file;
  int line;
  std::string text;  // as formatted, its own "\n" included
};

// Receives every record of the levels in its mask while it lives, whatever the log settings;
// for tests, which assert the messages. Captures nest: the newest one receives.
class zqtr_capture_c {
 public:
  explicit zqtr_capture_c(unsigned levels = ZQTR_ALL_BUT_SCOPES);
  ~zqtr_capture_c();
  zqtr_capture_c(const zqtr_capture_c&) = delete;
  zqtr_capture_c& operator=(const zqtr_capture_c&) = delete;

  std::vector<zqtr_record_s> records() const;
  // Texts of the records, each without its trailing line end.
  std::vector<std::string> texts() const;
  // True when a record of that level has exactly that text (trailing line end ignored).
  bool has(unsigned level, const std::string& text) const;
  void clear();

  // Called by the component.
  void _add(zqtr_record_s record);
  unsigned levels() const { return m_levels; }

 private:
  unsigned m_levels;
  zqtr_capture_c* m_previous;
  mutable std::mutex m_mutex;
  std::vector<zqtr_record_s> m_records;
};

#endif
