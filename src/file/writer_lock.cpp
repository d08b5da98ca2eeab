#include "file/writer_lock.h"

#include "file/opened_kind.h"
#include "file/path_n.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "utl/utl.h"

#include <chrono>
#include <memory>

namespace {

const char* k_file = "writer_lock";

// The answers that mean "another writer has it now": its exclusive open refuses ours (32), its name
// is being deleted as it lets go (5, a delete pending; a refusal that lasts is permission, below), or
// the share check's gate was busy (1460).
bool is_busy(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_TIMEOUT ||
         error == ERROR_LOCK_VIOLATION;
}

bool is_missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// "Access denied" is a holder's name being deleted as it lets go (a delete pending, gone in a moment)
// or permission, which no waiting changes: a refusal that lasts this long without another answer
// between is taken for permission.
constexpr unsigned k_denied_for_good_ms = 200;

}  // namespace

bool file_writer_lock_c::acquire(const char* path, unsigned wait_ms, utl_stream_c* reason) {
  ZQTR_SCOPE(tr, "file_writer_lock_c::acquire", k_file);
  release();
  m_kept_by_another = false;
  if (path == nullptr || path[0] == '\0') return false;
  m_lock_path << '\x01' << path << ".lock";
  std::unique_ptr<wchar_t[]> wide = path_n::wide_path(m_lock_path.c_str(), true);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  DWORD error = ERROR_SUCCESS;
  bool busy = true;
  auto denied_since = std::chrono::steady_clock::now();
  for (unsigned attempt = 0;; ++attempt) {
    m_handle = opened_kind_n::refuse_unless_disk(CreateFileW(wide.get(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                                             nullptr, OPEN_ALWAYS,
                                                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (m_handle != INVALID_HANDLE_VALUE) return true;
    error = GetLastError();
    // "No such file" from an open that makes the file when missing: the last holder's name went
    // (deleted on its close) between the open and its share check. The next open makes it anew.
    const bool gone = error == ERROR_FILE_NOT_FOUND;
    const auto now = std::chrono::steady_clock::now();
    if (error != ERROR_ACCESS_DENIED) {
      denied_since = now;
    } else if (now - denied_since >= std::chrono::milliseconds(k_denied_for_good_ms)) {
      busy = false;
      break;
    }
    if ((!is_busy(error) && !gone) || now >= deadline) break;
    // A change takes a millisecond or two: look often at first, then less.
    mix_n::sleep(attempt < 20 ? 1 : attempt < 100 ? 5 : 20);
  }
  utl_stream_c text;
  utl_n::get_error_text(text, static_cast<int>(error));
  utl_stream_c message;
  m_kept_by_another = busy && is_busy(error);
  if (m_kept_by_another) {
    message << "another writer of " << path << " held its lock " << m_lock_path << " for more than "
            << wait_ms / 1000 << "." << (wait_ms % 1000) / 100 << " s (" << text << ")";
  } else {
    message << "the writer lock " << m_lock_path << " of " << path << " cannot be made (" << text << ")";
  }
  // A missing directory is the caller's to answer (a state directory not made yet is made then).
  if (!is_missing(error)) tr.print(ZQTR_FAIL, __LINE__, "Unable to take the writer lock: %s\n", message.c_str());
  if (reason != nullptr) *reason << '\x01' << message;
  m_lock_path << '\x01';
  SetLastError(error);
  return false;
}

void file_writer_lock_c::release() {
  m_kept_by_another = false;
  if (m_handle == INVALID_HANDLE_VALUE) return;
  // The name goes with the handle (delete on close), before anybody else may open it.
  CloseHandle(m_handle);
  m_handle = INVALID_HANDLE_VALUE;
  m_lock_path << '\x01';
}
