// Events, waiting, and page memory.
#include "platform/win32/posix/handles.h"

#include <chrono>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace {

struct allocations_s {
  std::mutex mutex;
  std::map<void*, size_t> sizes;
};

allocations_s& allocations() {
  static allocations_s a;  // gone when the library unloads
  return a;
}

}  // namespace

extern "C" {

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state, LPCWSTR name) {
  if (name != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);  // named events are not needed here
    return nullptr;
  }
  return posix_handles_n::add(new posix_event_c(manual_reset != FALSE, initial_state != FALSE));
}

BOOL SetEvent(HANDLE handle) {
  auto event = posix_handles_n::find_as<posix_event_c>(handle);
  if (event == nullptr) return FALSE;
  std::lock_guard<std::mutex> guard(event->mutex);
  event->signalled = true;
  event->changed.notify_all();
  return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
  auto event = posix_handles_n::find_as<posix_event_c>(handle);
  if (event == nullptr) return FALSE;
  std::lock_guard<std::mutex> guard(event->mutex);
  event->signalled = false;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto event = posix_handles_n::find_as<posix_event_c>(handle);
  if (event == nullptr) return WAIT_FAILED;
  std::unique_lock<std::mutex> guard(event->mutex);
  auto ready = [event] { return event->signalled; };
  if (milliseconds == INFINITE) {
    event->changed.wait(guard, ready);
  } else if (!event->changed.wait_for(guard, std::chrono::milliseconds(milliseconds), ready)) {
    return WAIT_TIMEOUT;
  }
  if (!event->manual_reset) event->signalled = false;
  return WAIT_OBJECT_0;
}

LPVOID VirtualAlloc(LPVOID address, size_t size, DWORD allocation_type, DWORD protect) {
  if (address != nullptr || size == 0 || !(allocation_type & (MEM_COMMIT | MEM_RESERVE))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const size_t rounded = (size + page - 1) / page * page;
  int prot = protect == PAGE_NOACCESS ? PROT_NONE : (protect == PAGE_READONLY ? PROT_READ : PROT_READ | PROT_WRITE);
  void* memory = ::mmap(nullptr, rounded, prot, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(allocations().mutex);
  allocations().sizes[memory] = rounded;
  return memory;
}

BOOL VirtualFree(LPVOID address, size_t size, DWORD free_type) {
  std::lock_guard<std::mutex> guard(allocations().mutex);
  auto it = allocations().sizes.find(address);
  if (it == allocations().sizes.end() || (free_type == MEM_RELEASE && size != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (free_type == MEM_DECOMMIT) {
    ::madvise(address, size == 0 ? it->second : size, MADV_DONTNEED);
    return TRUE;
  }
  ::munmap(address, it->second);
  allocations().sizes.erase(it);
  return TRUE;
}

}  // extern "C"
