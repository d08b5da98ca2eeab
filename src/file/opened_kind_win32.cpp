#include "file/opened_kind.h"

namespace opened_kind_n {

bool is_disk(HANDLE handle) { return GetFileType(handle) == FILE_TYPE_DISK; }

HANDLE refuse_unless_disk(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE || is_disk(handle)) return handle;
  CloseHandle(handle);
  SetLastError(ERROR_NOT_SUPPORTED);
  return INVALID_HANDLE_VALUE;
}

}  // namespace opened_kind_n
