// Directories, attributes, deleting, moving and replacing files, and directory listings.
#include "platform/win32/posix/dos_attributes.h"
#include "platform/win32/posix/handles.h"
#include "platform/win32/posix/posix_paths.h"
#include "platform/win32/posix/share_locks.h"
#include "platform/win32/posix/system_calls.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using posix_calls_n::sys_calls;

using posix_paths_n::resolved_s;

namespace {

bool fail(DWORD error) {
  SetLastError(error);
  return false;
}

bool resolve_or_fail(LPCWSTR path, resolved_s& r) {
  DWORD error = posix_paths_n::resolve(path, r);
  if (error != ERROR_SUCCESS) return fail(error);
  return true;
}

// Whether an open asking these rights and sharing every right would be let in, without taking
// anything (so it refuses nobody meanwhile). ERROR_SUCCESS, ERROR_SHARING_VIOLATION or another error.
DWORD probe(const std::string& native, unsigned rights) {
  // Never blocking: a pipe is no file to test.
  int fd = sys_calls().open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0);
  if (fd < 0) return ERROR_SUCCESS;  // links and unreadable files are not checked
  DWORD result = share_locks_n::look(fd, rights, share_locks_n::RIGHT_READ | share_locks_n::RIGHT_WRITE |
                                                     share_locks_n::RIGHT_DELETE, native);
  sys_calls().close(fd);
  return result;
}

// True when another open holds the file with data or delete access.
bool held_open(const std::string& native) {
  int fd = sys_calls().open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0);
  if (fd < 0) return false;
  bool held = share_locks_n::held_by_others(fd);
  sys_calls().close(fd);
  return held;
}

void sync_parent(const std::string& native) {
  size_t cut = native.find_last_of('/');
  std::string parent = cut == std::string::npos ? "." : (cut == 0 ? "/" : native.substr(0, cut));
  int fd = sys_calls().open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd >= 0) {
    sys_calls().fsync(fd);
    sys_calls().close(fd);
  }
}

bool copy_file(const std::string& from, const std::string& to) {
  // Only regular files are copied: a pipe is refused, never waited on.
  int in = sys_calls().open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0);
  if (in < 0) return false;
  struct stat st;
  if (sys_calls().fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    sys_calls().close(in);
    return false;
  }
  int out = sys_calls().open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, st.st_mode & 0777);
  bool ok = out >= 0;
  char buffer[65536];
  while (ok) {
    ssize_t n = sys_calls().read(in, buffer, sizeof buffer);
    if (n == 0) break;
    ok = n > 0 && sys_calls().write(out, buffer, static_cast<size_t>(n)) == n;
  }
  if (out >= 0) ok = sys_calls().close(out) == 0 && ok;
  sys_calls().close(in);
  return ok;
}


// '*' and '?' against a name, letters without case, as Windows matches names.
bool matches(const wchar_t* mask, const wchar_t* name) {
  if (*mask == L'\0') return *name == L'\0';
  if (*mask == L'*') {
    while (*mask == L'*') ++mask;
    if (*mask == L'\0') return true;
    for (; *name != L'\0'; ++name) {
      if (matches(mask, name)) return true;
    }
    return false;
  }
  if (*name == L'\0') return false;
  if (*mask != L'?' && std::towlower(static_cast<wint_t>(*mask)) != std::towlower(static_cast<wint_t>(*name))) {
    return false;
  }
  return matches(mask + 1, name + 1);
}

class posix_find_c : public posix_handle_c {
 public:
  std::vector<WIN32_FIND_DATAW> entries;
  size_t next = 0;
};

bool fill_entry(const std::string& directory, const std::string& name, WIN32_FIND_DATAW& data) {
  std::memset(&data, 0, sizeof data);
  std::string native = directory == "/" ? "/" + name : directory + "/" + name;
  struct stat lst;
  if (sys_calls().lstat(native.c_str(), &lst) != 0) return false;
  struct stat st = lst;
  if (S_ISLNK(lst.st_mode)) sys_calls().stat(native.c_str(), &st);
  data.dwFileAttributes = (name == "." || name == "..") ? FILE_ATTRIBUTE_DIRECTORY : dos_attributes_n::of(native, lst);
  data.ftCreationTime = posix_paths_n::to_filetime(st.st_ctim);
  data.ftLastAccessTime = posix_paths_n::to_filetime(st.st_atim);
  data.ftLastWriteTime = posix_paths_n::to_filetime(st.st_mtim);
  if (!S_ISDIR(st.st_mode)) {
    data.nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    data.nFileSizeLow = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) & 0xFFFFFFFFu);
  }
  if (S_ISLNK(lst.st_mode)) data.dwReserved0 = IO_REPARSE_TAG_SYMLINK;
  std::wstring wide = posix_paths_n::widen(name);
  if (wide.size() >= MAX_PATH) return false;  // not representable in the record
  std::wmemcpy(data.cFileName, wide.c_str(), wide.size() + 1);
  return true;
}

}  // namespace

extern "C" {

DWORD GetFileAttributesW(LPCWSTR path) {
  resolved_s r;
  if (!resolve_or_fail(path, r)) return INVALID_FILE_ATTRIBUTES;
  struct stat lst;
  if (sys_calls().lstat(r.native.c_str(), &lst) != 0) {
    SetLastError(posix_paths_n::error_for_missing(r.native, errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return dos_attributes_n::of(r.native, lst);
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) {
  resolved_s r;
  if (!resolve_or_fail(path, r)) return FALSE;
  DWORD error = dos_attributes_n::set(r.native, attributes);
  return error == ERROR_SUCCESS ? TRUE : fail(error);
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  resolved_s r;
  if (!resolve_or_fail(path, r)) return FALSE;
  if (sys_calls().mkdir(r.native.c_str(), 0777) == 0) return TRUE;
  if (errno == EEXIST) return fail(ERROR_ALREADY_EXISTS);
  return fail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : posix_paths_n::error_from_errno(errno));
}

BOOL RemoveDirectoryW(LPCWSTR path) {
  resolved_s r;
  if (!resolve_or_fail(path, r)) return FALSE;
  struct stat lst;
  if (sys_calls().lstat(r.native.c_str(), &lst) != 0) return fail(posix_paths_n::error_for_missing(r.native, errno));
  if (S_ISLNK(lst.st_mode)) {
    struct stat target;
    if (sys_calls().stat(r.native.c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) return fail(ERROR_DIRECTORY);
    return sys_calls().unlink(r.native.c_str()) == 0 ? TRUE : fail(posix_paths_n::error_from_errno(errno));  // a link to a directory
  }
  if (!S_ISDIR(lst.st_mode)) return fail(ERROR_DIRECTORY);
  if (sys_calls().rmdir(r.native.c_str()) == 0) return TRUE;
  return fail(errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY : posix_paths_n::error_from_errno(errno));
}

BOOL DeleteFileW(LPCWSTR path) {
  resolved_s r;
  if (!resolve_or_fail(path, r)) return FALSE;
  struct stat lst;
  if (sys_calls().lstat(r.native.c_str(), &lst) != 0) return fail(posix_paths_n::error_for_missing(r.native, errno));
  if (S_ISDIR(lst.st_mode)) return fail(ERROR_ACCESS_DENIED);
  if (!S_ISLNK(lst.st_mode)) {
    if (dos_attributes_n::of(r.native, lst) & FILE_ATTRIBUTE_READONLY) return fail(ERROR_ACCESS_DENIED);
  }
  if (S_ISREG(lst.st_mode)) {
    // Deleting asks for delete access: an open that does not share delete refuses it. (Only a file
    // has opens to ask: a pipe or device is never opened as one, and opening it to ask would let a
    // writer waiting on a pipe go.)
    DWORD error = probe(r.native, share_locks_n::RIGHT_DELETE);
    if (error != ERROR_SUCCESS) return fail(error);
  }
  if (sys_calls().unlink(r.native.c_str()) != 0) return fail(posix_paths_n::error_for_missing(r.native, errno));
  return TRUE;
}

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags) {
  resolved_s from, to;
  if (!resolve_or_fail(existing, from) || !resolve_or_fail(target, to)) return FALSE;
  struct stat lst;
  if (sys_calls().lstat(from.native.c_str(), &lst) != 0) return fail(posix_paths_n::error_for_missing(from.native, errno));
  if (S_ISREG(lst.st_mode)) {
    DWORD error = probe(from.native, share_locks_n::RIGHT_DELETE);
    if (error != ERROR_SUCCESS) return fail(error);
  }
  struct stat tst;
  const bool target_exists = sys_calls().lstat(to.native.c_str(), &tst) == 0;
  if (target_exists && (flags & MOVEFILE_REPLACE_EXISTING)) {
    // A directory is never replaced, nor a file that anybody holds open.
    if (S_ISDIR(tst.st_mode) || (S_ISREG(tst.st_mode) && held_open(to.native))) return fail(ERROR_ACCESS_DENIED);
    if (dos_attributes_n::of(to.native, tst) & FILE_ATTRIBUTE_READONLY) return fail(ERROR_ACCESS_DENIED);
  }
  int rc = (flags & MOVEFILE_REPLACE_EXISTING) ? sys_calls().rename(from.native.c_str(), to.native.c_str())
                                               : sys_calls().rename_noreplace(from.native.c_str(), to.native.c_str());
  if (rc != 0 && errno == EXDEV) {
    if (!(flags & MOVEFILE_COPY_ALLOWED) || S_ISDIR(lst.st_mode)) return fail(ERROR_NOT_SAME_DEVICE);
    if (target_exists && !(flags & MOVEFILE_REPLACE_EXISTING)) return fail(ERROR_ALREADY_EXISTS);
    if (!copy_file(from.native, to.native)) return fail(posix_paths_n::error_from_errno(errno));
    sys_calls().unlink(from.native.c_str());
    rc = 0;
  }
  if (rc != 0) {
    if (errno == EEXIST) return fail(ERROR_ALREADY_EXISTS);
    if (errno == ENOTEMPTY || errno == EISDIR) return fail(ERROR_ACCESS_DENIED);
    return fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : posix_paths_n::error_from_errno(errno));
  }
  if (flags & MOVEFILE_WRITE_THROUGH) sync_parent(to.native);
  return TRUE;
}

BOOL ReplaceFileW(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID, LPVOID) {
  resolved_s old_file, new_file, backup_file;
  if (!resolve_or_fail(replaced, old_file) || !resolve_or_fail(replacement, new_file)) return FALSE;
  if (backup != nullptr && !resolve_or_fail(backup, backup_file)) return FALSE;
  struct stat st;
  if (sys_calls().stat(new_file.native.c_str(), &st) != 0) return fail(posix_paths_n::error_for_missing(new_file.native, errno));
  if (sys_calls().stat(old_file.native.c_str(), &st) != 0) return fail(posix_paths_n::error_for_missing(old_file.native, errno));
  // The replaced file goes away: an open of it that does not share delete refuses that.
  DWORD error = S_ISREG(st.st_mode) ? probe(old_file.native, share_locks_n::RIGHT_DELETE) : ERROR_SUCCESS;
  if (error != ERROR_SUCCESS) return fail(error);
  // The replacement takes over the attributes of the file it replaces.
  struct stat lst;
  if (sys_calls().lstat(old_file.native.c_str(), &lst) == 0) {
    DWORD attributes = dos_attributes_n::of(old_file.native, lst);
    dos_attributes_n::store(new_file.native, attributes);
  }
  if (backup != nullptr) {
    sys_calls().unlink(backup_file.native.c_str());
    if (::link(old_file.native.c_str(), backup_file.native.c_str()) != 0) {
      return fail(ERROR_UNABLE_TO_REMOVE_REPLACED);
    }
  }
  if (sys_calls().rename(new_file.native.c_str(), old_file.native.c_str()) != 0) {
    return fail(errno == EXDEV ? ERROR_UNABLE_TO_MOVE_REPLACEMENT : posix_paths_n::error_from_errno(errno));
  }
  if (flags & REPLACEFILE_WRITE_THROUGH) sync_parent(old_file.native);
  return TRUE;
}

HANDLE FindFirstFileExW(LPCWSTR pattern, FINDEX_INFO_LEVELS, LPVOID data, FINDEX_SEARCH_OPS, LPVOID, DWORD) {
  if (pattern == nullptr || data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // The pattern's last component is the mask; the rest names the directory.
  std::wstring text(pattern);
  size_t cut = text.find_last_of(L"\\/");
  std::wstring mask = cut == std::wstring::npos ? text : text.substr(cut + 1);
  std::wstring directory = cut == std::wstring::npos ? L"." : text.substr(0, cut + 1);
  if (mask.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  resolved_s r;
  DWORD error = posix_paths_n::resolve(directory.c_str(), r);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  DIR* dir = ::opendir(r.native.c_str());
  if (dir == nullptr) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : posix_paths_n::error_from_errno(errno));
    return INVALID_HANDLE_VALUE;
  }
  // A root lists no "." and "..".
  const bool root = r.native == "/" || (r.kind != resolved_s::NATIVE && r.native == r.root_native);
  posix_find_c* find = new posix_find_c;
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (root && (name == "." || name == "..")) continue;
    std::wstring wide = posix_paths_n::widen(name);
    if (!matches(mask.c_str(), wide.c_str())) continue;
    WIN32_FIND_DATAW record;
    if (fill_entry(r.native, name, record)) find->entries.push_back(record);
  }
  ::closedir(dir);
  if (find->entries.empty()) {
    delete find;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::memcpy(data, &find->entries[0], sizeof(WIN32_FIND_DATAW));
  find->next = 1;
  SetLastError(ERROR_SUCCESS);
  return posix_handles_n::add(find);
}

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  return FindFirstFileExW(pattern, FindExInfoStandard, data, FindExSearchNameMatch, nullptr, 0);
}

BOOL FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW data) {
  auto find = posix_handles_n::find_as<posix_find_c>(handle);
  if (find == nullptr) return FALSE;
  if (find->next >= find->entries.size()) return fail(ERROR_NO_MORE_FILES);
  std::memcpy(data, &find->entries[find->next++], sizeof(WIN32_FIND_DATAW));
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  if (posix_handles_n::find_as<posix_find_c>(handle) == nullptr) return FALSE;
  return CloseHandle(handle);
}

}  // extern "C"
