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

// The system's text for an error code, with its number.
std::string error_text(DWORD code) {
  std::string text;
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (n > 0 && buffer != nullptr) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    text.resize(static_cast<size_t>(bytes > 0 ? bytes : 0));
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), &text[0], bytes, nullptr, nullptr);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
      text.pop_back();
    }
  }
  if (buffer != nullptr) LocalFree(buffer);
  return (text.empty() ? std::string("error") : text) + " (" + std::to_string(static_cast<unsigned long>(code)) + ")";
}

// What a name with these attributes is, for the reports; null for a plain file.
const char* kind_of(DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return "a link (a reparse point)";
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "a directory";
  return nullptr;
}

// Why the log at path is not written, when what is there has these attributes (not a plain file).
std::string refusal(const std::string& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    return path + " is a link (a reparse point); the trace log is never written through a link";
  }
  return path + " is " + kind_of(attributes) + ", not a regular file";
}

std::string shared_file(const std::string& path, DWORD links) {
  return path + " has " + std::to_string(static_cast<unsigned long>(links)) +
         " names (hard links); the trace log is written only to a file of its own";
}

// Why opening path failed with code: what is in its place when that is the reason, else the
// system's word.
std::string open_failure(const std::string& path, const std::wstring& wide, DWORD code) {
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && kind_of(attributes) != nullptr) return refusal(path, attributes);
  return path + " cannot be opened: " + error_text(code);
}

// Why a handle opened on path is not the log's: empty when it is a plain file on a disk with a
// single name. links receives its number of names.
std::string examine(HANDLE h, const std::string& path, DWORD& links) {
  links = 1;
  if (GetFileType(h) != FILE_TYPE_DISK) return path + " is a device or a pipe, not a regular file";
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return path + " cannot be examined: " + error_text(GetLastError());
  if (kind_of(info.dwFileAttributes) != nullptr) return refusal(path, info.dwFileAttributes);
  links = info.nNumberOfLinks;
  if (links > 1) return shared_file(path, links);
  return std::string();
}

// The log, opened as itself: a link (reparse point) in its place is opened, seen and refused, never
// followed. A missing log is made by an exclusive creation, so that a name planted in the meantime
// makes the creation fail instead of being written through. Shared for delete as well, so that
// another process may rotate the file while it is open.
HANDLE open_log(const std::wstring& wide, const std::string& path, std::string& problem) {
  const DWORD access = FILE_APPEND_DATA | SYNCHRONIZE;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
  // Each round that finds the name taken or given away meanwhile looks again; a name that changes
  // on every round is given up.
  for (int round = 0; round < 8; ++round) {
    HANDLE h = CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
      h = CreateFileW(wide.c_str(), access, share, nullptr, CREATE_NEW, flags, nullptr);
      if (h == INVALID_HANDLE_VALUE && (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)) {
        continue;
      }
    }
    if (h == INVALID_HANDLE_VALUE) {
      problem = open_failure(path, wide, GetLastError());
      return INVALID_HANDLE_VALUE;
    }
    DWORD links = 1;
    std::string why = examine(h, path, links);
    if (why.empty() && links == 0) {
      // Removed by a rotation with nothing kept between the open and now.
      CloseHandle(h);
      continue;
    }
    if (!why.empty()) {
      problem = why;
      CloseHandle(h);
      return INVALID_HANDLE_VALUE;
    }
    return h;
  }
  problem = path + " was replaced again and again while it was opened; the record is not written";
  return INVALID_HANDLE_VALUE;
}

// The attributes of a name itself (a link's own, not its target's); INVALID_FILE_ATTRIBUTES when
// nothing is there.
DWORD attributes_of(const std::wstring& path, uint64_t* size = nullptr) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return INVALID_FILE_ATTRIBUTES;
  if (size != nullptr) *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return data.dwFileAttributes;
}

// Renames the full log away. A rotated name taken by anything but a plain file is left alone and
// ends the chain: the file that would move onto it is dropped instead, as the oldest is.
void rotate(const std::wstring& wide, const std::string& path, unsigned keep, std::vector<std::string>& left_alone) {
  unsigned kept = keep;
  for (unsigned i = 1; i <= keep; ++i) {
    DWORD attributes = attributes_of(wide + L"." + std::to_wstring(i));
    if (attributes == INVALID_FILE_ATTRIBUTES || kind_of(attributes) == nullptr) continue;
    if (kept == keep) kept = i - 1;
    left_alone.push_back("Rotation left " + path + "." + std::to_string(i) + " alone (" + kind_of(attributes) +
                         ", not a log file); " + std::to_string(kept) + " of " + std::to_string(keep) +
                         " rotated files kept");
  }
  if (kept == 0) {
    DeleteFileW(wide.c_str());
    return;
  }
  for (unsigned i = kept - 1; i >= 1; --i) {
    std::wstring from = wide + L"." + std::to_wstring(i);
    std::wstring to = wide + L"." + std::to_wstring(i + 1);
    MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  MoveFileExW(wide.c_str(), (wide + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
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

bool write_record(const std::wstring& wide, const std::string& path, const char* data, size_t length,
                  std::string& problem) {
  HANDLE h = open_log(wide, path, problem);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  while (ok && length > 0) {
    DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
    DWORD written = 0;
    ok = WriteFile(h, data, chunk, &written, nullptr) && written > 0;
    if (!ok) problem = path + " cannot be written: " + error_text(GetLastError());
    data += written;
    length -= written;
  }
  CloseHandle(h);
  return ok;
}

}  // namespace

bool append(const std::string& path, const char* data, size_t length, uint64_t max_size, unsigned keep,
            append_report_s* report) {
  append_report_s ignored;
  append_report_s& out = report != nullptr ? *report : ignored;
  std::wstring wide = widen(path);
  HANDLE mutex = log_mutex(wide);
  bool held = false;
  if (mutex != nullptr) {
    DWORD wait = WaitForSingleObject(mutex, 5000);
    held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  if (held && max_size > 0) {
    // Only a holder of the mutex rotates, so two processes never rotate the same file twice; and
    // only a plain file is renamed away (a link in the log's place is refused by the write below).
    uint64_t size = 0;
    DWORD attributes = attributes_of(wide, &size);
    if (attributes != INVALID_FILE_ATTRIBUTES && kind_of(attributes) == nullptr && size > 0 &&
        size + length > max_size) {
      rotate(wide, path, keep, out.left_alone);
    }
  }
  bool ok = write_record(wide, path, data, length, out.problem);
  if (held) ReleaseMutex(mutex);
  if (mutex != nullptr) CloseHandle(mutex);
  return ok;
}

std::string probe(const std::string& path) {
  std::wstring wide = widen(path);
  DWORD attributes = attributes_of(wide);
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::string();
  if (kind_of(attributes) != nullptr) return refusal(path, attributes);
  // The number of names needs a handle; one that reads nothing, and follows nothing.
  HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::string();
  DWORD links = 1;
  std::string why = examine(h, path, links);
  CloseHandle(h);
  return why;
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

bool read_file(const std::string& path, std::string& content, size_t limit, links_e links, std::string* reason) {
  content.clear();
  std::string ignored;
  std::string& why = reason != nullptr ? *reason : ignored;
  why.clear();
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (links == links_e::refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD attributes = GetFileAttributesW(widen(path).c_str());
    if (links == links_e::refuse && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      why = "it is a link (a reparse point), which is not followed";
    }
    return false;
  }
  bool ok = GetFileType(h) == FILE_TYPE_DISK;
  if (!ok) why = "it is a device or a pipe, not a regular file";
  BY_HANDLE_FILE_INFORMATION info;
  if (ok && links == links_e::refuse && GetFileInformationByHandle(h, &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    why = "it is a link (a reparse point), which is not followed";
    ok = false;
  }
  char buffer[4096];
  while (ok) {
    DWORD n = 0;
    if (!ReadFile(h, buffer, sizeof buffer, &n, nullptr)) {
      why = "it cannot be read: " + error_text(GetLastError());
      ok = false;
      break;
    }
    if (n == 0) break;
    content.append(buffer, n);
    if (content.size() > limit) {
      why = "it is larger than " + std::to_string(static_cast<unsigned long long>(limit)) + " bytes";
      ok = false;
      break;
    }
  }
  CloseHandle(h);
  return ok;
}

bool stderr_is_console() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace zqtr_log_file_n
