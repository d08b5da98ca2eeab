// Handles of the POSIX layer: each HANDLE is a live object of a kind (file, event, search ...),
// registered so that a stale or foreign value is recognised as invalid, as Windows does.
#ifndef STATS_MNG_PLATFORM_WIN32_POSIX_HANDLES_H
#define STATS_MNG_PLATFORM_WIN32_POSIX_HANDLES_H

#include "platform/win32/win32_api.h"

#include <string>

class posix_handle_c {
 public:
  virtual ~posix_handle_c() = default;
};

class posix_file_handle_c : public posix_handle_c {
 public:
  posix_file_handle_c(int fd, std::string native_path) : fd(fd), native_path(std::move(native_path)) {}
  ~posix_file_handle_c() override;
  int fd;
  std::string native_path;
};

namespace posix_handles_n {

// Registers the object and returns its handle; the handle owns it from now on.
HANDLE add(posix_handle_c* object);
// The live object behind a handle, or null (last error ERROR_INVALID_HANDLE).
posix_handle_c* find(HANDLE handle);
template <class T>
T* find_as(HANDLE handle) {
  T* object = dynamic_cast<T*>(find(handle));
  if (object == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}
// Takes an open descriptor into a file handle.
HANDLE adopt_fd(int fd, const std::string& native_path);

}  // namespace posix_handles_n

#endif
