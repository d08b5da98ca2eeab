#include "file/opened_kind.h"

namespace opened_kind_n {

bool is_disk(HANDLE handle) { return GetFileType(handle) == FILE_TYPE_DISK; }

HANDLE refuse_unless_disk(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE || is_disk(handle)) return handle;
  CloseHandle(handle);
  SetLastError(ERROR_NOT_SUPPORTED);
  return INVALID_HANDLE_VALUE;
}

bool names_a_disk_file(const wchar_t* wide_path) {
  const DWORD attributes = GetFileAttributesW(wide_path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    // A device or pipe of the host under an emulator gives no attributes ("invalid parameter").
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  return true;
}

}  // namespace opened_kind_n
