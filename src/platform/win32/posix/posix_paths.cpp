#include "platform/win32/posix/posix_paths.h"

#include "platform/win32/drive_map.h"
#include "platform/win32/posix/volumes.h"
#include "platform/win32/posix/system_calls.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using posix_calls_n::sys_calls;

namespace {

struct drive_table_s {
  std::mutex mutex;
  std::map<std::string, std::string> entries;  // "C:" or "\\server\share" (lower case) -> directory
};

drive_table_s& table() {
  static drive_table_s t;
  return t;
}

bool is_sep(char c) { return c == '\\' || c == '/'; }

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// "C" or "C:" -> "C:"; "\\server\share" (either separator) -> "\\server\share" in lower case.
bool table_key(const std::string& name, std::string& key) {
  if ((name.size() == 1 || (name.size() == 2 && name[1] == ':')) && std::isalpha(static_cast<unsigned char>(name[0]))) {
    key = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])))) + ":";
    return true;
  }
  if (name.size() > 2 && is_sep(name[0]) && is_sep(name[1])) {
    std::string rest = name.substr(2);
    while (!rest.empty() && is_sep(rest.back())) rest.pop_back();
    size_t sep = rest.find_first_of("\\/");
    if (sep == std::string::npos || sep == 0 || sep + 1 >= rest.size() ||
        rest.find_first_of("\\/", sep + 1) != std::string::npos) {
      return false;
    }
    key = "\\\\" + lower(rest.substr(0, sep)) + "\\" + lower(rest.substr(sep + 1));
    return true;
  }
  return false;
}

// True when join("/", path) would give path back but for its separators: a separator first, and
// components that are neither empty, "." nor ".." (no separators in a row, none at the end).
bool in_joined_form(const std::string& path) {
  if (path.empty() || !is_sep(path[0])) return false;
  size_t start = 1;
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && !is_sep(path[i])) continue;
    const size_t length = i - start;
    if (length == 0 || (length == 1 && path[start] == '.') ||
        (length == 2 && path[start] == '.' && path[start + 1] == '.')) {
      return false;
    }
    start = i + 1;
  }
  return true;
}

// Joins root and the components of rest, resolving "." and ".." without climbing above root.
std::string join(const std::string& root, const std::string& rest) {
  // Built in place: each component is appended, and ".." cuts the last one off again (the ends of
  // the components kept are remembered, so the root itself is never cut into).
  std::string out;
  out.reserve(root.size() + rest.size() + 1);
  out = root;
  const size_t root_end = out.size();
  size_t kept = 0;  // components appended and not cut off
  size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && is_sep(rest[i])) ++i;
    const size_t start = i;
    while (i < rest.size() && !is_sep(rest[i])) ++i;
    const size_t length = i - start;
    if (length == 0 || (length == 1 && rest[start] == '.')) continue;
    if (length == 2 && rest[start] == '.' && rest[start + 1] == '.') {
      if (kept > 0) {
        --kept;
        // Back to the end of the component before: the last '/' after the root, or the root's end.
        const size_t cut = out.find_last_of('/');
        out.resize(cut == std::string::npos || cut < root_end ? root_end : cut);
        if (kept == 0) out.resize(root_end);
      }
      continue;
    }
    if (out.empty() || out.back() != '/') out += '/';
    out.append(rest, start, length);
    ++kept;
  }
  if (out.empty()) out = ".";
  return out;  // returned as it is, not copied
}

}  // namespace

namespace drive_map_n {

bool map(const std::string& name, const std::string& directory) {
  std::string key;
  if (!table_key(name, key) || directory.empty()) return false;
  std::lock_guard<std::mutex> guard(table().mutex);
  table().entries[key] = directory;
  return true;
}

bool map_entry(const std::string& mapping, std::string& error) {
  size_t eq = mapping.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == mapping.size()) {
    error = "expected NAME=DIRECTORY, as in C=/srv/c or \\\\server\\share=/srv/share";
    return false;
  }
  if (!map(mapping.substr(0, eq), mapping.substr(eq + 1))) {
    error = "'" + mapping.substr(0, eq) + "' is neither a drive letter nor a \\\\server\\share name";
    return false;
  }
  return true;
}

bool map_volume(const std::string& letter, const std::string& directory, const volume_image_s& image) {
  std::string key;
  if (!table_key(letter, key) || key.size() != 2 || image.image.empty() || image.bytes_per_sector == 0 ||
      !map(letter, directory)) {
    return false;
  }
  posix_volumes_n::add(key[0], image);
  return true;
}

bool unmap(const std::string& name) {
  std::string key;
  if (!table_key(name, key)) return false;
  if (key.size() == 2) posix_volumes_n::remove(key[0]);
  std::lock_guard<std::mutex> guard(table().mutex);
  return table().entries.erase(key) > 0;
}

void clear() {
  posix_volumes_n::clear();
  std::lock_guard<std::mutex> guard(table().mutex);
  table().entries.clear();
}

std::string native_path(const std::string& path) {
  posix_paths_n::resolved_s resolved;
  if (posix_paths_n::resolve_utf8(path, resolved) != ERROR_SUCCESS || resolved.kind == posix_paths_n::resolved_s::NATIVE) {
    return path;
  }
  return resolved.native;
}

}  // namespace drive_map_n

namespace posix_paths_n {

std::string narrow(LPCWSTR text) {
  if (text == nullptr || *text == L'\0') return std::string();
  // ASCII, as most paths are, in one pass.
  size_t length = 0;
  while (text[length] != L'\0' && static_cast<uint32_t>(text[length]) < 0x80) ++length;
  if (text[length] == L'\0') return std::string(text, text + length);
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::wstring widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

namespace {

DWORD resolve_text(std::string path, resolved_s& out);

}  // namespace

DWORD resolve_utf8(const std::string& input, resolved_s& out) { return resolve_text(input, out); }

namespace {

// The path is the caller's copy (a path made from a wide one is moved in, not copied again).
DWORD resolve_text(std::string path, resolved_s& out) {
  out = resolved_s();
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  if (path.size() >= 4 && path[0] == '\\' && path[1] == '\\' && path[2] == '?' && path[3] == '\\') {
    out.prefixed = true;
    path.erase(0, 4);
    if (path.size() >= 4 && lower(path.substr(0, 4)) == "unc\\") path = "\\\\" + path.substr(4);
  }
  if (path.size() >= 4 && is_sep(path[0]) && is_sep(path[1]) && path[2] == '.' && is_sep(path[3])) {
    return ERROR_PATH_NOT_FOUND;  // devices
  }
  if (path.size() >= 2 && is_sep(path[0]) && is_sep(path[1])) {
    size_t server_end = path.find_first_of("\\/", 2);
    if (server_end == std::string::npos || server_end == 2) return ERROR_BAD_NETPATH;
    size_t share_end = path.find_first_of("\\/", server_end + 1);
    std::string share = path.substr(0, share_end);
    std::string key;
    if (!table_key(share, key)) return ERROR_BAD_NETPATH;
    std::lock_guard<std::mutex> guard(table().mutex);
    auto it = table().entries.find(key);
    if (it == table().entries.end()) return ERROR_BAD_NETPATH;
    out.kind = resolved_s::UNC;
    out.root_native = it->second;
    out.root_windows = share;
    out.native = join(it->second, share_end == std::string::npos ? std::string() : path.substr(share_end));
    return ERROR_SUCCESS;
  }
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    std::string key(1, static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
    key += ':';
    std::lock_guard<std::mutex> guard(table().mutex);
    auto it = table().entries.find(key);
    if (it == table().entries.end()) return ERROR_PATH_NOT_FOUND;
    out.kind = resolved_s::DRIVE;
    out.root_native = it->second;
    out.root_windows = key;
    out.native = join(it->second, path.substr(2));
    return ERROR_SUCCESS;
  }
  if (is_sep(path[0])) {
    // A path with nothing to resolve (as most are) only has its separators made this system's.
    if (in_joined_form(path)) {
      std::replace(path.begin(), path.end(), '\\', '/');
      out.native = std::move(path);
    } else {
      out.native = join("/", path);
    }
    return ERROR_SUCCESS;
  }
  // A relative path names something below the process's current directory, as on Windows.
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return ERROR_PATH_NOT_FOUND;
  // Joined as one path below the root, so that a leading ".." climbs out of the current directory.
  out.native = join("/", std::string(cwd) + "/" + path);
  return ERROR_SUCCESS;
}

}  // namespace

DWORD resolve(LPCWSTR path, resolved_s& out) {
  if (path == nullptr) {
    out = resolved_s();
    return ERROR_PATH_NOT_FOUND;
  }
  return resolve_text(narrow(path), out);
}

DWORD error_from_errno(int error_number) {
  switch (error_number) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EFBIG: return ERROR_FILE_TOO_LARGE;
    case EBUSY: return ERROR_BUSY;
    // Too many links followed: a link that leads back to itself.
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOTSUP: return ERROR_NOT_SUPPORTED;
    default: return ERROR_IO_DEVICE;
  }
}

FILETIME to_filetime(const struct timespec& time) {
  uint64_t ticks = static_cast<uint64_t>(time.tv_sec) * 10000000ull + static_cast<uint64_t>(time.tv_nsec) / 100 +
                   116444736000000000ull;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

DWORD error_for_missing(const std::string& native, int error_number) {
  if (error_number != ENOENT) return error_from_errno(error_number);
  size_t cut = native.find_last_of('/');
  std::string parent = cut == std::string::npos ? std::string(".") : (cut == 0 ? std::string("/") : native.substr(0, cut));
  struct stat st;
  return (sys_calls().stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace posix_paths_n
