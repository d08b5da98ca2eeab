#include "stats_mng/stats_saver_lock.h"

#include "file/file.h"
#include "file/file_manipulation.h"
#include "file/file_mode.h"
#include "file/file_prop.h"
#include "file/opened_kind.h"
#include "file/path_n.h"
#include "file/replacement.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "platform/win32/win32_api.h"

#include <memory>

const char* const STATE_DIRECTORY_NAME = ".mw_zq_prefix";
const char* const LOCK_FILE_NAME = "state.lock";

namespace {

// The mode of the state directory: hidden and normal.
constexpr uint32_t k_state_dir_host_mode = 0x82;
// 50 attempts 1 ms apart, then 10 ms apart: about a second in all.
constexpr int k_writer_attempts = 145;

}  // namespace

void append_state_directory(const char* scenario_dir, const char* prefix, utl_stream_c& out) {
  char normalised[PATH_BUFFER_SIZE];  // on the stack: every query makes one
  normalised[0] = '\0';
  path_n::standard_dir_path(scenario_dir, normalised, true);
  out << normalised;
  if (!out.ends_with("/", true)) out << "/";
  out << prefix;
}

stats_saver_lock_c::stats_saver_lock_c(const char* scenario_dir, bool create_state_dir)
    : m_writer(true), m_lock_file(nullptr) {
  m_scenario_dir << '\x01';
  if (scenario_dir != nullptr) m_scenario_dir << scenario_dir;
  _prepare(create_state_dir);
}

stats_saver_lock_c::~stats_saver_lock_c() {
  if (m_lock_file != nullptr) {
    m_lock_file->close();
    delete m_lock_file;
  }
}

bool stats_saver_lock_c::holds_open_file() const { return m_lock_file != nullptr && m_lock_file->is_open(); }

void stats_saver_lock_c::_prepare(bool create_state_dir) {
  m_state_dir << '\x01';
  if (m_scenario_dir.length() > 0) append_state_directory(m_scenario_dir.c_str(), STATE_DIRECTORY_NAME, m_state_dir);
  if (create_state_dir) this->create_state_dir();
  m_lock_file_path << '\x01' << m_state_dir << "/" << LOCK_FILE_NAME;
}

void stats_saver_lock_c::create_state_dir() {
  if (m_state_dir.length() == 0 || file_manipulation_n::if_exists(m_state_dir.c_str(), nullptr)) return;
  // Results are not examined: a directory that cannot be made shows in the lock attempts.
  file_manipulation_n::create_directory(m_state_dir.c_str(), false);
  file_mode_c mode;
  mode.set_hostmode(k_state_dir_host_mode);
  file_prop_access_c properties;
  properties.set_mode_to_disk(m_state_dir.c_str(), mode);
}

bool stats_saver_lock_c::lock(bool writer) {
  ZQTR_SCOPE(tr, "stats_saver_lock_c::lock", "stats_saver");
  if (m_lock_file != nullptr) {
    m_lock_file->close();
    delete m_lock_file;
    m_lock_file = nullptr;
  }
  m_writer = writer;
  m_lock_file = new FILE_c;
  // The lock is the open file itself, which is never read or written: a bare handle is enough and
  // spares building a stream on it. The writer shares reading only; the reader shares everything.
  // A link in the lock file's place is followed, as Windows follows it for an open by name: the
  // engine holds the file it leads to, where the engine question's probe (which follows it too) and a
  // second engine meet it. A file reached through a link is not emptied ("r+" instead of "w+"): it
  // may be anybody's.
  utl_stream_c target, reason;
  // A link that leads to a device or a pipe (or round in circles) holds nothing: refused.
  if (!replacement_n::final_target(m_lock_file_path.c_str(), target, reason)) {
    m_error = GetLastError();
    tr.print_nl(ZQTR_FAIL, __LINE__, "Unable to follow the lock file %s: %s", m_lock_file_path.c_str(), reason.c_str());
    return false;
  }
  const bool through_link = !(target == m_lock_file_path.c_str());
  bool opened = false;
  for (int attempt = 0; !opened; ++attempt) {
    opened = writer ? m_lock_file->open(target.c_str(), through_link ? "r+" : "w+", nullptr,
                                        ZQ_OPEN_SHARE_READ_ONLY | ZQ_OPEN_HANDLE_ONLY)
                    : m_lock_file->open(target.c_str(), "r", nullptr, ZQ_OPEN_HANDLE_ONLY);
    m_error = opened ? 0 : m_lock_file->last_error();
    // A query's probe holds the file for a moment and refuses writers meanwhile: a writer tries
    // again for about a second; another engine holds it for good and is still there after that.
    if (opened || !writer || attempt >= k_writer_attempts ||
        (m_error != ERROR_SHARING_VIOLATION && m_error != ERROR_TIMEOUT)) {
      break;
    }
    mix_n::sleep(attempt < 50 ? 1 : 10);
  }
  if (opened) return true;
  tr.print_nl(ZQTR_FAIL, __LINE__,
              writer ? "Fail to open the lock file %s for writer lock." : "Fail to open the lock file %s for reader lock.",
              m_lock_file_path.c_str());
  return false;
}

stats_saver_lock_c::probe_e stats_saver_lock_c::probe(bool which_missing) {
  // Whether a reader sharing reading only is let in: an engine holds the file as a writer. On
  // Windows the probe is an open closed at once, which refuses an engine's writer open meanwhile, so
  // it holds the file for as short a time as it can; the POSIX layer only looks.
  // The lock file's path was made from the state directory in standard form: it is not normalised again.
  wchar_t wide[PATH_BUFFER_SIZE];
  path_n::standard_path_to_wide_char_path(m_lock_file_path.c_str(), wide, true);
  const DWORD error = file_manipulation_n::probe_open(wide, GENERIC_READ, FILE_SHARE_READ, which_missing);
  if (error == ERROR_SUCCESS) {
    // What was opened is asked after the close, not while an engine's open would be refused: a pipe
    // or a device (where the system lets one be opened by a file's name) holds no engine's lock.
    if (!opened_kind_n::names_a_disk_file(wide)) {
      m_error = GetLastError();
      return PROBE_ERROR;
    }
    m_error = 0;
    return PROBE_FREE;
  }
  m_error = error;
  SetLastError(error);
  return m_error == ERROR_SHARING_VIOLATION ? PROBE_HELD : PROBE_ERROR;
}
