#include "platform/thl/mix.h"

#include "platform/win32/win32_api.h"

#include <time.h>

namespace mix_n {

bool localtime_r(time_t value, struct tm* calendar) {
  return calendar != nullptr && ::localtime_s(calendar, &value) == 0;
}

bool process_exists(uint32_t process_id) {
  if (process_id == 0) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
  // A process that has ended but is still referenced answers the wait at once.
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

}  // namespace mix_n
