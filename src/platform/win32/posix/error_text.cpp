// FormatMessageW for the error codes this layer produces, with the system's own texts.
#include "platform/win32/win32_api.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

struct message_s {
  DWORD code;
  const char* text;
};

const message_s k_messages[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {14, "Not enough memory resources are available to complete this operation.\r\n"},
    {17, "The system cannot move the file to a different disk drive.\r\n"},
    {18, "There are no more files.\r\n"},
    {19, "The media is write protected.\r\n"},
    {21, "The device is not ready.\r\n"},
    {29, "The system cannot write to the specified device.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {33, "The process cannot access the file because another process has locked a portion of the file.\r\n"},
    {38, "Reached the end of the file.\r\n"},
    {39, "The disk is full.\r\n"},
    {50, "The request is not supported.\r\n"},
    {53, "The network path was not found.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {120, "This function is not supported on this system.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {126, "The specified module could not be found.\r\n"},
    {127, "The specified procedure could not be found.\r\n"},
    {145, "The directory is not empty.\r\n"},
    {161, "The specified path is invalid.\r\n"},
    {170, "The requested resource is in use.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {223, "The file size exceeds the limit allowed and cannot be saved.\r\n"},
    {267, "The directory name is invalid.\r\n"},
    {997, "Overlapped I/O operation is in progress.\r\n"},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page.\r\n"},
    {1117, "The request could not be performed because of an I/O device error.\r\n"},
    {1175, "Unable to remove the file to be replaced.\r\n"},
    {1176, "Unable to move the replacement file to the file to be replaced. The file to be replaced has retained its "
           "original name.\r\n"},
    {1460, "This operation returned because the timeout period expired.\r\n"},
    {1921, "The name of the file cannot be resolved by the system.\r\n"},
    {4390, "The file or directory is not a reparse point.\r\n"},
};

const char* find_message(DWORD code) {
  for (const message_s& m : k_messages) {
    if (m.code == code) return m.text;
  }
  return nullptr;
}

}  // namespace

extern "C" {

DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD message_id, DWORD, LPWSTR buffer, DWORD size, va_list*) {
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char* text = find_message(message_id);
  if (text == nullptr) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    size_t want = static_cast<size_t>(units) > size ? static_cast<size_t>(units) : size;
    wchar_t* memory = static_cast<wchar_t*>(std::calloc(want, sizeof(wchar_t)));
    if (memory == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    MultiByteToWideChar(CP_UTF8, 0, text, -1, memory, units);
    *reinterpret_cast<LPWSTR*>(buffer) = memory;
  } else {
    if (size < static_cast<DWORD>(units)) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    MultiByteToWideChar(CP_UTF8, 0, text, -1, buffer, units);
  }
  return static_cast<DWORD>(units - 1);
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}

}  // extern "C"
