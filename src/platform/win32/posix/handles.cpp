#include "platform/win32/posix/handles.h"
#include "platform/thl/invariants.h"
#include "platform/win32/posix/system_calls.h"

#include <cerrno>
#include <cstdint>
#include <atomic>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <unordered_map>

using posix_calls_n::sys_calls;

namespace {

// Handle values are numbers, never addresses, and never given twice: a closed handle stays
// invalid for good instead of coming back as whatever object is next built at the same address.
// Each user of an object holds a reference for the length of its call, so a close on another
// thread retires the value at once but frees the object (and closes its descriptor) only after
// the last call that was already using it has returned.
// The registry's mutex, which knows its holder where invariants are checked.
class registry_mutex_c {
 public:
  void lock() {
    m_mutex.lock();
#if defined(STATS_MNG_CHECK_INVARIANTS)
    m_owner.store(std::this_thread::get_id());
#endif
  }
  void unlock() {
#if defined(STATS_MNG_CHECK_INVARIANTS)
    STATS_MNG_INVARIANT(held_by_this_thread());
    m_owner.store(std::thread::id());
#endif
    m_mutex.unlock();
  }
#if defined(STATS_MNG_CHECK_INVARIANTS)
  bool held_by_this_thread() const { return m_owner.load() == std::this_thread::get_id(); }
#endif

 private:
  std::mutex m_mutex;
#if defined(STATS_MNG_CHECK_INVARIANTS)
  std::atomic<std::thread::id> m_owner{};
#endif
};

struct registry_s {
  registry_mutex_c mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<posix_handle_c>> live;
  uintptr_t issued = 0;
};

registry_s& registry() {
  // Built at the first handle, destroyed when the library unloads (a loaded and unloaded library
  // leaves nothing behind); no static object of ours holds a handle past that point.
  static registry_s r;
  return r;
}

// Multiples of four from 0x10000 up, as Windows' own handles are multiples of four.
constexpr uintptr_t k_first_value = 0x10000;

uintptr_t value_of(HANDLE handle) { return reinterpret_cast<uintptr_t>(handle); }

}  // namespace

posix_file_handle_c::~posix_file_handle_c() {
  if (delete_on_close && kind != DIRECTORY_KIND) sys_calls().unlink(native_path.c_str());
  const int descriptor = fd.load();
  if (descriptor >= 0) sys_calls().close(descriptor);
}

namespace posix_handles_n {

HANDLE add(posix_handle_c* object) {
  std::shared_ptr<posix_handle_c> owned(object);
  std::lock_guard<registry_mutex_c> guard(registry().mutex);
  const uintptr_t value = k_first_value + 4 * registry().issued++;
  registry().live.emplace(value, std::move(owned));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<posix_handle_c> find(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  std::lock_guard<registry_mutex_c> guard(registry().mutex);
  auto it = registry().live.find(value_of(handle));
  if (it == registry().live.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}

int lend_to_stream(HANDLE handle) {
  std::shared_ptr<posix_file_handle_c> file = find_as<posix_file_handle_c>(handle);
  if (file == nullptr || file->fd < 0 || file->lent_to_stream.exchange(true)) {
    errno = EBADF;
    return -1;
  }
  return file->fd;
}

namespace {

// Under the registry lock: the handle whose descriptor a stream holds.
decltype(registry().live)::iterator _stream_handle(int fd) {
  STATS_MNG_INVARIANT(registry().mutex.held_by_this_thread());
  auto& live = registry().live;
  if (fd < 0) return live.end();
  for (auto it = live.begin(); it != live.end(); ++it) {
    auto* file = dynamic_cast<posix_file_handle_c*>(it->second.get());
    if (file != nullptr && file->lent_to_stream && file->fd == fd) return it;
  }
  return live.end();
}

}  // namespace

HANDLE handle_of_stream_fd(int fd) {
  std::lock_guard<registry_mutex_c> guard(registry().mutex);
  auto it = _stream_handle(fd);
  return it == registry().live.end() ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(it->first);
}

void return_from_stream(int fd) {
  std::shared_ptr<posix_handle_c> object;
  {
    std::lock_guard<registry_mutex_c> guard(registry().mutex);
    auto it = _stream_handle(fd);
    if (it == registry().live.end()) return;
    object = std::move(it->second);
    registry().live.erase(it);
  }
  // The stream closes the descriptor itself.
  static_cast<posix_file_handle_c*>(object.get())->fd = -1;
}

}  // namespace posix_handles_n

extern "C" BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<posix_handle_c> object;
  {
    std::lock_guard<registry_mutex_c> guard(registry().mutex);
    auto it = handle == nullptr || handle == INVALID_HANDLE_VALUE ? registry().live.end()
                                                                   : registry().live.find(value_of(handle));
    if (it == registry().live.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    object = std::move(it->second);
    registry().live.erase(it);
  }
  // Freed here, or by the last call still using it.
  object.reset();
  return TRUE;
}
