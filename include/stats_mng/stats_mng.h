/*
 * stats_mng: questions about the recorded state of a replication scenario, for other processes.
 *
 * Every path argument is UTF-8 text; '\' and '/' are both accepted as separators. Each function
 * normalises its path into the standard form (separators become '/', no trailing separator,
 * "." and ".." resolved) before it uses it. The functions keep nothing between calls and may be
 * called from any thread and from several processes at once.
 */
#ifndef STATS_MNG_STATS_MNG_H
#define STATS_MNG_STATS_MNG_H

#if defined(_WIN32)
#  if defined(STATS_MNG_BUILDING)
#    define STATS_MNG_API __declspec(dllexport)
#  else
#    define STATS_MNG_API __declspec(dllimport)
#  endif
#else
#  define STATS_MNG_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#endif

/*
 * Redirects the library's trace log.
 *
 * log_dir: the directory that receives the log file "stats_mng.log" (created when missing).
 * trace_settings_file: a trace settings file to read again (level mask, size limit, rotated
 *   files kept; see the README). Either argument may be null or empty: it is then passed on
 *   as an empty path and changes nothing.
 *
 * Always returns true: tracing never changes a caller's result, so a directory that cannot be
 * used or a settings file that cannot be read is not reported to the caller.
 */
STATS_MNG_API bool set_trc_file_log_path(const char* trace_settings_file, const char* log_dir);

/*
 * Whether an engine is working on the scenario in scenario_dir: true when an engine holds the
 * scenario's lock file (".mw_zq_prefix/state.lock") open as writer.
 *
 * The scenario directory must exist (false otherwise). Asking creates the hidden state directory
 * ".mw_zq_prefix" when it is missing, and writes nothing else: the lock file is opened for reading
 * for a moment (an engine's open for writing refuses that open), never created, emptied or
 * written. False as well when the lock file does not exist or cannot be opened for reading; the
 * trace log tells which.
 */
STATS_MNG_API bool is_engine_active_for_scenario(const char* scenario_dir);

/*
 * The recorded "IsSyncReplicated" value of the scenario in scenario_dir, read from its state file
 * (".mw_zq_prefix/stats.xml") and from its parent directory's; the file with the later
 * "IsSyncReplicatedTime" wins, the scenario's own on equal times, and a file that cannot be read
 * never wins over one that can. False when the directory does not exist, when neither file can be
 * read, and when the value is false.
 */
STATS_MNG_API bool is_sync_replicated(const char* scenario_dir);

/*
 * The recorded state of the scenario in scenario_dir, read as is_sync_replicated reads it:
 * 0 "Running", 1 "Stop", 2 "Sync", 3 any other text. True when a state was read; false (and 3 in
 * *state_index) when the directory does not exist or neither state file can be read. state_index
 * may be null.
 */
STATS_MNG_API bool get_scenario_state_index(const char* scenario_dir, unsigned int* state_index);

#ifdef __cplusplus
}
#endif

#endif
