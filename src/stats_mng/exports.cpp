// The library's exported functions.
#include "stats_mng/stats_mng.h"

#include "file/path_n.h"
#include "platform/trc/zqtr.h"

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
