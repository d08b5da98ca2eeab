#include "platform/win32/posix/handles.h"

#include <mutex>
#include <unistd.h>
#include <unordered_set>

namespace {

struct registry_s {
  std::mutex mutex;
  std::unordered_set<posix_handle_c*> live;
};

registry_s& registry() {
  static registry_s* r = new registry_s;  // handles may be closed while the process unloads
  return *r;
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
