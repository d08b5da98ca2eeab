#include "platform/win32/posix/dos_attributes.h"

#include "platform/trc/zqtr.h"
#include "platform/win32/posix/posix_paths.h"
#include "platform/win32/posix/system_calls.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/xattr.h>

using posix_calls_n::sys_calls;

namespace dos_attributes_n {

namespace {

const char k_name[] = "user.DOSATTRIB";

bool parse(const char* text, ssize_t n, DWORD& value) {
  if (n <= 0) return false;
  std::string s(text, static_cast<size_t>(n));
  while (!s.empty() && s.back() == '\0') s.pop_back();
  char* end = nullptr;
  unsigned long v = std::strtoul(s.c_str(), &end, 0);
  if (end == s.c_str()) return false;
  value = static_cast<DWORD>(v);
  return true;
}

bool dot_name(const std::string& native) {
  size_t cut = native.find_last_of('/');
  std::string name = cut == std::string::npos ? native : native.substr(cut + 1);
  return name.size() > 1 && name[0] == '.' && name != "..";
}

// What the stored value, the mode and the name say together.
DWORD combine(const std::string& native, const struct stat& st, bool is_link, bool has_stored, DWORD stored,
              bool target_is_dir) {
  DWORD a = 0;
  if (S_ISDIR(st.st_mode) || (is_link && target_is_dir)) a |= FILE_ATTRIBUTE_DIRECTORY;
  if (is_link) a |= FILE_ATTRIBUTE_REPARSE_POINT;
  if (!S_ISDIR(st.st_mode) && !is_link && (st.st_mode & S_IWUSR) == 0) a |= FILE_ATTRIBUTE_READONLY;
  if (has_stored) {
    a |= stored & k_stored;
  } else if (!S_ISDIR(st.st_mode) && !is_link) {
    a |= FILE_ATTRIBUTE_ARCHIVE;  // files not made by this layer, as Wine reports them
  }
  if (dot_name(native)) a |= FILE_ATTRIBUTE_HIDDEN;
  return a == 0 ? FILE_ATTRIBUTE_NORMAL : a;
}

}  // namespace

DWORD of(const std::string& native, const struct stat& lst) {
  const bool is_link = S_ISLNK(lst.st_mode);
  bool target_is_dir = false;
  if (is_link) {
    struct stat target;
    target_is_dir = sys_calls().stat(native.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
  }
  char buffer[64];
  DWORD stored = 0;
  // Links keep no extended attributes of their own.
  bool has = !is_link && parse(buffer, ::getxattr(native.c_str(), k_name, buffer, sizeof buffer - 1), stored);
  return combine(native, lst, is_link, has, stored, target_is_dir);
}

DWORD of_fd(int fd, const std::string& native, const struct stat& st) {
  char buffer[64];
  DWORD stored = 0;
  bool has = parse(buffer, ::fgetxattr(fd, k_name, buffer, sizeof buffer - 1), stored);
  return combine(native, st, false, has, stored, false);
}

DWORD stored(const std::string& native) {
  char buffer[64];
  DWORD value = 0;
  return parse(buffer, ::getxattr(native.c_str(), k_name, buffer, sizeof buffer - 1), value) ? value : 0;
}

bool store(const std::string& native, DWORD attributes) {
  char text[16];
  int n = std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(attributes & k_stored));
  return ::setxattr(native.c_str(), k_name, text, static_cast<size_t>(n), 0) == 0;
}

bool store_fd(int fd, DWORD attributes) {
  char text[16];
  int n = std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(attributes & k_stored));
  return ::fsetxattr(fd, k_name, text, static_cast<size_t>(n), 0) == 0;
}

DWORD set(const std::string& native, DWORD attributes) {
  ZQTR_SCOPE(tr, "SetFileAttributesW", "win32_posix");
  struct stat st;
  if (sys_calls().lstat(native.c_str(), &st) != 0) return posix_paths_n::error_for_missing(native, errno);
  if (S_ISLNK(st.st_mode)) return ERROR_SUCCESS;
  const bool make_read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0 && !S_ISDIR(st.st_mode);
  // The extended attribute first: a file without write permission may refuse it.
  if (!store(native, attributes) && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
    tr.print(8, __LINE__, "Attributes 0x%x of %s cannot be kept here (%s); only read-only and a leading '.' count\n",
             static_cast<unsigned>(attributes), native.c_str(), std::strerror(errno));
  }
  if (!S_ISDIR(st.st_mode)) {
    mode_t mode = st.st_mode & 07777;
    mode = make_read_only ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    if (::chmod(native.c_str(), mode) != 0) return posix_paths_n::error_from_errno(errno);
  }
  return ERROR_SUCCESS;
}

}  // namespace dos_attributes_n
