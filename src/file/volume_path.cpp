// The volume pseudo-name "$$zq-volume".
#include "file/fs_info.h"
#include "file/path_n.h"
#include "utl/multi_lang.h"
#include "utl/utl_stream.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>

namespace path_n {

namespace {

constexpr char k_volume_name[] = "$$zq-volume";
constexpr size_t k_volume_name_length = sizeof k_volume_name - 1;

}  // namespace

bool resolve_volume_path(utl_stream_c& path) {
  const size_t length = static_cast<size_t>(path.length());
  if (length < k_volume_name_length || !path.ends_with(k_volume_name, true)) return false;
  std::unique_ptr<char[]> buffer(new char[PATH_BUFFER_SIZE]);
  size_t n = length < PATH_BUFFER_SIZE - 1 ? length : PATH_BUFFER_SIZE - 1;
  std::memcpy(buffer.get(), path.c_str(), n);
  buffer[n] = '\0';
  for (size_t i = 0; i < n; ++i) {
    if (buffer[i] == '/') buffer[i] = '\\';
  }
  char* cut = std::strstr(buffer.get(), k_volume_name);
  if (cut == nullptr) return false;  // the name lay beyond what the buffer holds
  *cut = '\0';
  while (cut > buffer.get() && cut[-1] == '\\') *--cut = '\0';
  n = static_cast<size_t>(cut - buffer.get());

  const bool drive = n >= 2 && buffer[1] == ':';
  const bool prefixed_drive = n >= 6 && std::strncmp(buffer.get(), "\\\\?\\", 4) == 0 && buffer[5] == ':';
  if (drive || prefixed_drive) {
    if (n == 2) {
      char letter = buffer[0];
      std::snprintf(buffer.get(), PATH_BUFFER_SIZE, "\\\\.\\%c:", letter);
    } else if (n != 6) {
      std::unique_ptr<char[]> guid(new char[PATH_BUFFER_SIZE]);
      if (!file_system_info_n::get_volume_name_for_volume_mount_point(buffer.get(), guid.get())) return false;
      std::strncpy(buffer.get(), guid.get(), PATH_BUFFER_SIZE - 1);
      buffer[PATH_BUFFER_SIZE - 1] = '\0';
    }
  }
  n = std::strlen(buffer.get());
  for (size_t i = 0; i < n; ++i) {
    if (buffer[i] == '/') buffer[i] = '\\';
  }
  if (n > 0 && buffer[n - 1] == '\\') buffer[n - 1] = '\0';
  path << '\x01' << buffer.get();
  return true;
}

bool resolve_volume_path(wchar_t* path) {
  if (path == nullptr) return false;
  const size_t length = std::wcslen(path);
  if (length < k_volume_name_length || std::wcscmp(path + length - k_volume_name_length, L"$$zq-volume") != 0) {
    return false;
  }
  std::unique_ptr<char[]> utf8(new char[PATH_BUFFER_SIZE * 4]);
  if (multi_lang_str_n::wide_to_utf8(path, utf8.get(), PATH_BUFFER_SIZE * 4) == nullptr) return false;
  utl_stream_c text;
  text << utf8.get();
  bool resolved = resolve_volume_path(text);
  if (multi_lang_str_n::utf8_to_wide(text.c_str(), path, PATH_BUFFER_SIZE) == nullptr) return false;
  return resolved;
}

}  // namespace path_n
