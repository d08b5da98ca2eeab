// The lock an engine holds on a scenario: the lock file "state.lock" in the scenario's hidden state
// directory, open as writer (others may only read it) for as long as the engine works.
#ifndef STATS_MNG_STATS_MNG_STATS_SAVER_LOCK_H
#define STATS_MNG_STATS_MNG_STATS_SAVER_LOCK_H

#include "file/path_n.h"
#include "utl/utl_stream.h"

#include <cstdint>

class FILE_c;

// The hidden state directory of a scenario and the lock file in it.
extern const char* const STATE_DIRECTORY_NAME;  // ".mw_zq_prefix"
extern const char* const LOCK_FILE_NAME;        // "state.lock"

// The longest scenario directory path taken (in bytes): the paths made from it (the long-path
// prefix, "/.mw_zq_prefix/", a file name of up to 44 bytes such as a temporary file's) must fit the
// path buffers whole, since a cut path names another file.
constexpr size_t MAX_SCENARIO_DIR_LENGTH = PATH_BUFFER_SIZE - 1 - 8 - 15 - 44;

// Appends the state directory of a scenario directory: its standard form, '/' unless it ends in
// one, then the prefix.
void append_state_directory(const char* scenario_dir, const char* prefix, utl_stream_c& out);

class stats_saver_lock_c {
 public:
  // scenario_dir: already normalised. Creates and hides the state directory when it is missing,
  // unless create_state_dir is false (a reader that must change nothing).
  explicit stats_saver_lock_c(const char* scenario_dir, bool create_state_dir = true);
  ~stats_saver_lock_c();
  stats_saver_lock_c(const stats_saver_lock_c&) = delete;
  stats_saver_lock_c& operator=(const stats_saver_lock_c&) = delete;

  // Closes any lock file held, then opens it as writer (created or emptied; further writers are
  // refused, readers admitted) or as reader (it must exist; a writer is admitted). A writer that
  // meets a query's momentary probe tries again for about a second before it gives up.
  bool lock(bool writer);

  // Whether a writer holds the lock file, asked as a query does: one momentary open asking for
  // reading only and sharing reading only, which a holder of write access refuses with a sharing
  // violation. It needs only read access to the file, writes nothing, and two probes never refuse
  // each other. PROBE_ERROR for any other failure (error() tells which). Without which_missing, a
  // missing lock file and a missing state directory may both be ERROR_FILE_NOT_FOUND.
  enum probe_e { PROBE_FREE, PROBE_HELD, PROBE_ERROR };
  probe_e probe(bool which_missing = true);
  uint64_t error() const { return m_error; }

  // Creates and hides the state directory when it is missing.
  void create_state_dir();

  const utl_stream_c& scenario_dir() const { return m_scenario_dir; }
  const utl_stream_c& state_dir() const { return m_state_dir; }
  const utl_stream_c& lock_file_path() const { return m_lock_file_path; }
  bool writer() const { return m_writer; }
  bool holds_open_file() const;

 private:
  void _prepare(bool create_state_dir);

  utl_stream_c m_scenario_dir;
  utl_stream_c m_state_dir;
  utl_stream_c m_lock_file_path;
  bool m_writer;
  FILE_c* m_lock_file;
  uint64_t m_error = 0;
};

#endif
