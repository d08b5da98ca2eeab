// Handles of the POSIX layer: each HANDLE is a live object of a kind (file, event, search ...),
// registered so that a stale or foreign value is recognised as invalid, as Windows does.
#ifndef STATS_MNG_PLATFORM_WIN32_POSIX_HANDLES_H
#define STATS_MNG_PLATFORM_WIN32_POSIX_HANDLES_H

#include "platform/win32/win32_api.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

class posix_handle_c {
 public:
  virtual ~posix_handle_c() = default;
};

class posix_file_handle_c : public posix_handle_c {
 public:
  enum kind_e { FILE_KIND, DIRECTORY_KIND, LINK_KIND };

  posix_file_handle_c(int fd, std::string native_path) : fd(fd), native_path(std::move(native_path)) {}
  ~posix_file_handle_c() override;

  std::atomic<int> fd;  // -1 once a stream that held it has closed it
  std::string native_path;
  kind_e kind = FILE_KIND;
  DWORD access = GENERIC_READ | GENERIC_WRITE;  // the rights asked for, generic rights expanded
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  DWORD flags = 0;  // FILE_FLAG_* of the open
  bool delete_on_close = false;
  std::atomic<bool> lent_to_stream{false};  // a stdio stream owns the descriptor and closes it
  char volume = 0;               // the drive letter of a volume opened through its image
};

// An event: signalled or not, reset by hand (manual) or by the one wait it releases.
class posix_event_c : public posix_handle_c {
 public:
  posix_event_c(bool manual_reset, bool signalled) : manual_reset(manual_reset), signalled(signalled) {}
  std::mutex mutex;
  std::condition_variable changed;
  bool manual_reset;
  bool signalled;
};

namespace posix_handles_n {

// Registers the object and returns its handle, a value never given before; the registry owns the
// object from now on.
HANDLE add(posix_handle_c* object);
// The live object behind a handle, or null (last error ERROR_INVALID_HANDLE). The reference keeps
// the object alive while the caller uses it, also when another thread closes the handle meanwhile.
std::shared_ptr<posix_handle_c> find(HANDLE handle);
template <class T>
std::shared_ptr<T> find_as(HANDLE handle) {
  std::shared_ptr<T> object = std::dynamic_pointer_cast<T>(find(handle));
  if (object == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

// The descriptor of a file handle, lent to a stdio stream (the runtime's _open_osfhandle): the
// handle stays valid until the stream is closed through return_from_stream. -1 for a handle that is
// not an open file.
int lend_to_stream(HANDLE handle);
// The handle whose descriptor a stream holds, INVALID_HANDLE_VALUE when none.
HANDLE handle_of_stream_fd(int fd);
// Retires the handle of a stream's descriptor without closing the descriptor (the stream does).
void return_from_stream(int fd);

}  // namespace posix_handles_n

#endif
