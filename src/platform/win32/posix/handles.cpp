#include "platform/win32/posix/handles.h"

#include <cerrno>
#include <mutex>
#include <unistd.h>
#include <unordered_set>

namespace {

struct registry_s {
  std::mutex mutex;
  std::unordered_set<posix_handle_c*> live;
};

registry_s& registry() {
  // Built at the first handle, destroyed when the library unloads (a loaded and unloaded library
  // leaves nothing behind); no static object of ours holds a handle past that point.
  static registry_s r;
  return r;
}

}  // namespace

posix_file_handle_c::~posix_file_handle_c() {
  if (delete_on_close && kind != DIRECTORY_KIND) ::unlink(native_path.c_str());
  if (fd >= 0) ::close(fd);
}

namespace posix_handles_n {

HANDLE add(posix_handle_c* object) {
  std::lock_guard<std::mutex> guard(registry().mutex);
  registry().live.insert(object);
  return static_cast<HANDLE>(object);
}

posix_handle_c* find(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  posix_handle_c* object = static_cast<posix_handle_c*>(handle);
  std::lock_guard<std::mutex> guard(registry().mutex);
  if (registry().live.count(object) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return object;
}

int lend_to_stream(HANDLE handle) {
  posix_file_handle_c* file = find_as<posix_file_handle_c>(handle);
  if (file == nullptr || file->fd < 0 || file->lent_to_stream) {
    errno = EBADF;
    return -1;
  }
  file->lent_to_stream = true;
  return file->fd;
}

namespace {

// Under the registry lock.
posix_file_handle_c* _stream_handle(int fd) {
  if (fd < 0) return nullptr;
  for (posix_handle_c* object : registry().live) {
    auto* file = dynamic_cast<posix_file_handle_c*>(object);
    if (file != nullptr && file->lent_to_stream && file->fd == fd) return file;
  }
  return nullptr;
}

}  // namespace

HANDLE handle_of_stream_fd(int fd) {
  std::lock_guard<std::mutex> guard(registry().mutex);
  posix_file_handle_c* file = _stream_handle(fd);
  return file == nullptr ? INVALID_HANDLE_VALUE : static_cast<HANDLE>(file);
}

void return_from_stream(int fd) {
  posix_file_handle_c* file = nullptr;
  {
    std::lock_guard<std::mutex> guard(registry().mutex);
    file = _stream_handle(fd);
    if (file == nullptr) return;
    registry().live.erase(file);
  }
  file->fd = -1;
  delete file;
}

}  // namespace posix_handles_n

extern "C" BOOL CloseHandle(HANDLE handle) {
  posix_handle_c* object = nullptr;
  {
    std::lock_guard<std::mutex> guard(registry().mutex);
    auto it = registry().live.find(static_cast<posix_handle_c*>(handle));
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || it == registry().live.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    object = *it;
    registry().live.erase(it);
  }
  delete object;
  return TRUE;
}
