// The library's exported functions.
#include "stats_mng/stats_mng.h"

#include "file/file_manipulation.h"
#include "file/path_n.h"
#include "stats_mng/stats_saver.h"
#include "stats_mng/stats_saver_lock.h"
#include "platform/trc/zqtr.h"
#include "utl/multi_lang.h"
#include "utl/utl.h"

#include <cstring>

extern "C" STATS_MNG_API bool set_trc_file_log_path(const char* trace_settings_file, const char* log_dir) {
  char settings_path[PATH_BUFFER_SIZE] = {};
  char directory[PATH_BUFFER_SIZE] = {};
  // The buffers are used as normalisation left them (empty for a null path).
  path_n::standard_dir_path(trace_settings_file, settings_path, true);
  path_n::standard_dir_path(log_dir, directory, true);
  int64_t length = 0;
  // Tracing never changes the caller's result: both answers are ignored.
  zqtr_set_log_directory(nullptr, length, directory, "stats_mng.dll", false);
  zqtr_reparse_file(nullptr, length, settings_path);
  return true;
}

namespace {

// The standard form of a scenario directory the exports may answer for. A path the library cannot
// represent exactly (longer than its path buffers, which would cut it and answer for another
// directory, or not UTF-8, which would turn bytes into U+FFFD and name another directory) gets no
// answer: false, with the reason in the trace log.
bool directory_found(const char* directory, zqtr_entry_c& tr) {
  if (file_manipulation_n::if_exists(directory, nullptr)) return true;
  tr.print_nl(ZQTR_FAIL, __LINE__, "Fail to find the path %s.", directory);
  return false;
}

// must_exist false leaves the existence to the caller (one whose own open answers it).
bool scenario_directory(const char* scenario_dir, char (&directory)[PATH_BUFFER_SIZE], zqtr_entry_c& tr,
                        bool must_exist = true) {
  const size_t length = scenario_dir == nullptr ? 0 : std::strlen(scenario_dir);
  if (length > MAX_SCENARIO_DIR_LENGTH) {
    tr.print_nl(ZQTR_FAIL, __LINE__, "Fail to use a path of %lu characters (at most %lu): %.100s...",
                static_cast<unsigned long>(length), static_cast<unsigned long>(MAX_SCENARIO_DIR_LENGTH), scenario_dir);
    return false;
  }
  if (!multi_lang_str_n::is_valid_utf8(scenario_dir)) {
    tr.print_nl(ZQTR_FAIL, __LINE__, "Fail to use a path that is not UTF-8 text.");
    return false;
  }
  path_n::standard_dir_path(scenario_dir, directory, true);
  return !must_exist || directory_found(directory, tr);
}

}  // namespace

extern "C" STATS_MNG_API bool is_engine_active_for_scenario(const char* scenario_dir) {
  ZQTR_SCOPE(tr, "is_engine_active_for_scenario", "stats_mng");
  char directory[PATH_BUFFER_SIZE] = {};
  if (!scenario_directory(scenario_dir, directory, tr, false)) return false;
  // The probe's own open tells whether the directory, the state directory and the lock file exist:
  // no system call asks before it. Only a path not found makes it look whether the scenario
  // directory itself is missing; a missing state directory is made (hidden) as a query always makes it.
  stats_saver_lock_c lock(directory, false);
  // Only an engine holding the file as writer makes the answer true; a query never refuses another
  // query, and an error (no read access, a directory in the file's place ...) is no engine.
  switch (lock.probe()) {
    case stats_saver_lock_c::PROBE_HELD: return true;
    case stats_saver_lock_c::PROBE_FREE: return false;
    case stats_saver_lock_c::PROBE_ERROR: break;
  }
  if (file_manipulation_n::is_missing_error(static_cast<DWORD>(lock.error()))) {
    if (lock.error() == ERROR_PATH_NOT_FOUND) {
      if (!directory_found(directory, tr)) return false;
      lock.create_state_dir();
    }
    tr.print_nl(ZQTR_FAIL, __LINE__, "Locker does not exist now.");
    return false;
  }
  utl_stream_c reason;
  tr.print_nl(ZQTR_FAIL, __LINE__, "Locker can't acquire the read lock.");
  tr.print_nl(ZQTR_FAIL, __LINE__, "Unable to open %s: %s", lock.lock_file_path().c_str(),
              utl_n::get_error_text(reason, static_cast<int>(lock.error())));
  return false;
}

// The state queries read both state files through stats_saver_ex_c::query_state: the directory in
// standard form is made once here, and the own file's open answers whether it exists.
namespace {

bool query_state(const char* scenario_dir, stats_saver_ex_c::state_reading_s& counted, zqtr_entry_c& tr) {
  char directory[PATH_BUFFER_SIZE];  // not zero-filled: normalisation writes what it leaves
  directory[0] = '\0';
  if (!scenario_directory(scenario_dir, directory, tr, false)) return false;
  switch (stats_saver_ex_c::query_state(directory, counted)) {
    case stats_saver_ex_c::QUERY_READ: return true;
    case stats_saver_ex_c::QUERY_NOT_READ: return false;
    case stats_saver_ex_c::QUERY_NO_DIRECTORY: break;
  }
  tr.print_nl(ZQTR_FAIL, __LINE__, "Fail to find the path %s.", directory);
  return false;
}

}  // namespace

extern "C" STATS_MNG_API bool is_sync_replicated(const char* scenario_dir) {
  ZQTR_SCOPE(tr, "is_sync_replicated", "stats_mng");
  stats_saver_ex_c::state_reading_s counted;
  return query_state(scenario_dir, counted, tr) && counted.synced;
}

extern "C" STATS_MNG_API bool get_scenario_state_index(const char* scenario_dir, unsigned int* state_index) {
  ZQTR_SCOPE(tr, "get_scenario_state_index", "stats_mng");
  if (state_index != nullptr) *state_index = STATE_UNKNOWN;
  stats_saver_ex_c::state_reading_s counted;
  if (!query_state(scenario_dir, counted, tr)) return false;
  if (state_index != nullptr) *state_index = counted.state_index;
  return true;
}
