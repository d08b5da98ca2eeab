#include "test_files.h"

namespace test_support_n {

std::wstring wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

bool running_under_wine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool set_file_age(const std::string& path, long seconds) {
  HANDLE h = CreateFileW(wide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t;
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  t.QuadPart -= static_cast<ULONGLONG>(seconds) * 10000000ull;
  FILETIME then;
  then.dwLowDateTime = t.LowPart;
  then.dwHighDateTime = t.HighPart;
  const bool ok = SetFileTime(h, nullptr, &then, &then) != FALSE;
  CloseHandle(h);
  return ok;
}

bool make_fifo(const std::string&) { return false; }

bool is_fifo(const std::string&) { return false; }

bool make_symbolic_link(const std::string& target, const std::string& link) {
  DWORD target_attributes = GetFileAttributesW(wide(target).c_str());
  DWORD flags = (target_attributes != INVALID_FILE_ATTRIBUTES && (target_attributes & FILE_ATTRIBUTE_DIRECTORY))
                    ? SYMBOLIC_LINK_FLAG_DIRECTORY
                    : 0;
  // Unprivileged creation where the system allows it (developer mode); refused otherwise.
  const DWORD unprivileged = 0x2;
  bool made = CreateSymbolicLinkW(wide(link).c_str(), wide(target).c_str(), flags | unprivileged) ||
              CreateSymbolicLinkW(wide(link).c_str(), wide(target).c_str(), flags);
  return made && is_symbolic_link(link);
}

bool is_symbolic_link(const std::string& path) {
  DWORD attributes = GetFileAttributesW(wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool make_hard_link(const std::string& existing, const std::string& link) {
  return CreateHardLinkW(wide(link).c_str(), wide(existing).c_str(), nullptr) != FALSE;
}

bool mount_small_file_system(const std::string&, size_t) { return false; }

void unmount(const std::string&) {}

}  // namespace test_support_n
