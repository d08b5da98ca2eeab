#include "file/replacement.h"

#include "file/path_n.h"
#include "utl/multi_lang.h"

#include <memory>
#include <string>
#include <vector>

namespace replacement_n {

bool final_target(const char* path, utl_stream_c& target, utl_stream_c& reason) {
  target << '\x01' << path;
  std::unique_ptr<wchar_t[]> wide = path_n::wide_path(path, true);
  const DWORD attributes = GetFileAttributesW(wide.get());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    // A directory in the file's place is never renamed over.
    reason << '\x01' << path << " is a directory";
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  // The system follows the links to the file they lead to and names it.
  HANDLE file = CreateFileW(wide.get(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  // A link may lead anywhere: what it leads to is replaced only when it is a file. A device, a pipe
  // or a directory at its end is refused, never renamed over.
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileType(file) != FILE_TYPE_DISK ||
      (GetFileInformationByHandle(file, &information) &&
       (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
    CloseHandle(file);
    reason << '\x01' << path << " leads through a link to something that is no regular file";
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  std::vector<wchar_t> name(PATH_BUFFER_SIZE);
  const DWORD length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), VOLUME_NAME_DOS);
  CloseHandle(file);
  if (length == 0 || length >= name.size()) return true;
  std::wstring final_name(name.data(), length);
  if (final_name.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    final_name = L"\\\\" + final_name.substr(8);
  } else if (final_name.compare(0, 4, L"\\\\?\\") == 0) {
    final_name.erase(0, 4);
  }
  std::vector<char> utf8(final_name.size() * 4 + 1);
  if (multi_lang_str_n::wide_to_utf8(final_name.c_str(), utf8.data(), utf8.size()) != nullptr) {
    target << '\x01' << utf8.data();
  }
  return true;
}

HANDLE create_for(const char* target, const char* temp) {
  std::unique_ptr<wchar_t[]> old_name = path_n::wide_path(target, true);
  std::unique_ptr<wchar_t[]> new_name = path_n::wide_path(temp, true);
  DWORD attributes = GetFileAttributesW(old_name.get());
  const bool had = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  // The old file's access control list from the start: the new file is never open to more users.
  std::vector<unsigned char> descriptor;
  SECURITY_ATTRIBUTES security = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  if (had) {
    DWORD needed = 0;
    GetFileSecurityW(old_name.get(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed > 0) {
      descriptor.resize(needed);
      if (GetFileSecurityW(old_name.get(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed)) {
        security.lpSecurityDescriptor = descriptor.data();
      }
    }
  }
  const DWORD kept = had ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)
                         : FILE_ATTRIBUTE_NORMAL;
  return CreateFileW(new_name.get(), GENERIC_WRITE, 0, security.lpSecurityDescriptor != nullptr ? &security : nullptr,
                     CREATE_NEW, (kept == 0 ? FILE_ATTRIBUTE_NORMAL : kept) | FILE_FLAG_WRITE_THROUGH, nullptr);
}

}  // namespace replacement_n
