// Last error, process and thread ids, sleeping and critical sections on POSIX.
#include "platform/win32/win32_api.h"

#include <cerrno>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// Windows keeps the last error per thread.
thread_local DWORD t_last_error = ERROR_SUCCESS;
}  // namespace

extern "C" {

DWORD GetLastError(void) { return t_last_error; }

void SetLastError(DWORD code) { t_last_error = code; }

DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

DWORD GetCurrentThreadId(void) { return static_cast<DWORD>(syscall(SYS_gettid)); }

void Sleep(DWORD milliseconds) {
  struct timespec left;
  left.tv_sec = milliseconds / 1000;
  left.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void InitializeCriticalSection(LPCRITICAL_SECTION cs) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&cs->mutex, &attr);
  pthread_mutexattr_destroy(&attr);
  cs->spin_count = 0;
}

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD spin_count) {
  InitializeCriticalSection(cs);
  cs->spin_count = spin_count;
  return TRUE;
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs) { pthread_mutex_destroy(&cs->mutex); }

void EnterCriticalSection(LPCRITICAL_SECTION cs) {
  // A short spin before sleeping, as a section built with a spin count does.
  for (DWORD i = 0; i < cs->spin_count; ++i) {
    if (pthread_mutex_trylock(&cs->mutex) == 0) return;
  }
  pthread_mutex_lock(&cs->mutex);
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs) {
  return pthread_mutex_trylock(&cs->mutex) == 0 ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs) { pthread_mutex_unlock(&cs->mutex); }

}  // extern "C"
