#include "platform/trc/zqtr_log_file.h"

#include "platform/win32/win32_api.h"

#include <cstdio>
#include <io.h>

namespace zqtr_log_file_n {

namespace {

std::wstring widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

HANDLE open_log(const std::wstring& path) {
  // Shared for delete as well, so that another process may rotate the file while it is open.
  return CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

uint64_t size_of(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void rotate(const std::wstring& path, unsigned keep) {
  if (keep == 0) {
    DeleteFileW(path.c_str());
    return;
  }
  for (unsigned i = keep - 1; i >= 1; --i) {
    std::wstring from = path + L"." + std::to_wstring(i);
    std::wstring to = path + L"." + std::to_wstring(i + 1);
    MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  MoveFileExW(path.c_str(), (path + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
}

// One named mutex per log file serialises the appends and the rotation between processes and
// threads: appends through separate handles are not whole-record atomic everywhere (Wine).
HANDLE log_mutex(const std::wstring& path) {
  uint64_t hash = 1469598103934665603ull;
  for (wchar_t c : path) {
    hash ^= static_cast<uint64_t>(towlower(c));
    hash *= 1099511628211ull;
  }
  wchar_t name[64];
  swprintf(name, 64, L"Local\\zqtr-log-%016llx", static_cast<unsigned long long>(hash));
  return CreateMutexW(nullptr, FALSE, name);
}

bool write_record(const std::wstring& path, const char* data, size_t length) {
  HANDLE h = open_log(path);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  while (ok && length > 0) {
    DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
    DWORD written = 0;
    ok = WriteFile(h, data, chunk, &written, nullptr) && written > 0;
    data += written;
    length -= written;
  }
  CloseHandle(h);
  return ok;
}

}  // namespace

bool append(const std::string& path, const char* data, size_t length, uint64_t max_size, unsigned keep) {
  std::wstring wide = widen(path);
  HANDLE mutex = log_mutex(wide);
  bool held = false;
  if (mutex != nullptr) {
    DWORD wait = WaitForSingleObject(mutex, 5000);
    held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  if (held && max_size > 0) {
    // Only a holder of the mutex rotates, so two processes never rotate the same file twice.
    uint64_t size = size_of(wide);
    if (size > 0 && size + length > max_size) rotate(wide, keep);
  }
  bool ok = write_record(wide, data, length);
  if (held) ReleaseMutex(mutex);
  if (mutex != nullptr) CloseHandle(mutex);
  return ok;
}

bool make_directories(const std::string& directory) {
  if (directory.empty()) return false;
  std::wstring wide = widen(directory);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  size_t cut = directory.find_last_of("/\\");
  if (cut != std::string::npos && cut > 0 && directory[cut - 1] != ':' &&
      !make_directories(directory.substr(0, cut))) {
    return false;
  }
  if (CreateDirectoryW(wide.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
    attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  return false;
}

bool read_file(const std::string& path, std::string& content, size_t limit) {
  content.clear();
  HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileType(h) == FILE_TYPE_DISK;
  char buffer[4096];
  while (ok) {
    DWORD n = 0;
    if (!ReadFile(h, buffer, sizeof buffer, &n, nullptr)) {
      ok = false;
      break;
    }
    if (n == 0) break;
    content.append(buffer, n);
    if (content.size() > limit) {
      ok = false;
      break;
    }
  }
  CloseHandle(h);
  return ok;
}

bool stderr_is_console() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace zqtr_log_file_n
