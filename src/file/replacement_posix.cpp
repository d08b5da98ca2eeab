#include "file/replacement.h"

#include "file/path_n.h"
#include "platform/win32/posix/handles.h"
#include "platform/win32/posix/posix_paths.h"
#include "platform/win32/posix/share_locks.h"
#include "platform/win32/posix/system_calls.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using posix_calls_n::sys_calls;

namespace {

bool native_of(const char* path, posix_paths_n::resolved_s& out) {
  std::unique_ptr<wchar_t[]> wide = path_n::wide_path(path, true);
  return posix_paths_n::resolve(wide.get(), out) == ERROR_SUCCESS;
}

}  // namespace

namespace replacement_n {

bool final_target(const char* path, utl_stream_c& target, utl_stream_c& reason) {
  target << '\x01' << path;
  posix_paths_n::resolved_s resolved;
  if (!native_of(path, resolved)) return true;  // the open that follows says why
  std::string native = resolved.native;
  bool followed = false;
  // The last look at native: what stands at the end of the links (or in path's own place).
  struct stat seen;
  bool looked = false;
  for (int links = 0;; ++links) {
    looked = sys_calls().lstat(native.c_str(), &seen) == 0;
    if (!looked || !S_ISLNK(seen.st_mode)) break;
    if (links == 40) {
      reason << '\x01' << path << " is a chain of more than 40 symbolic links";
      SetLastError(ERROR_BAD_PATHNAME);
      return false;
    }
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(native.c_str(), buffer, sizeof buffer - 1);
    if (length <= 0) break;
    buffer[length] = '\0';
    if (buffer[0] == '/') {
      native = buffer;
    } else {
      const size_t slash = native.find_last_of('/');
      native = (slash == std::string::npos ? std::string() : native.substr(0, slash + 1)) + buffer;
    }
    followed = true;
  }
  if (!followed) {
    // Only a file is replaced (or made): a device, a pipe or a directory in the file's place is
    // refused, never renamed over (`--write /dev/null` must not leave a file where the device was).
    if (looked && !S_ISREG(seen.st_mode) && !S_ISLNK(seen.st_mode)) {
      reason << '\x01' << path
             << (S_ISDIR(seen.st_mode) ? " is a directory" : " is no regular file (a pipe, a device or a socket)");
      SetLastError(ERROR_NOT_SUPPORTED);
      return false;
    }
    return true;
  }
  // A link may lead anywhere: what it leads to is replaced only when it is a file (or nothing yet).
  // A device, a pipe or a directory at its end is refused, never renamed over.
  struct stat st;
  if (sys_calls().stat(native.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    reason << '\x01' << path << " leads through a symbolic link to " << native.c_str() << ", which is no regular file";
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  // This system's own path names the same file through the file layer.
  target << '\x01' << native.c_str();
  return true;
}

HANDLE create_for(const char* target, const char* temp) {
  posix_paths_n::resolved_s to, from;
  if (!native_of(temp, to)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  struct stat old;
  const bool had = native_of(target, from) && sys_calls().stat(from.native.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  // Made for the owner alone while it is empty: nobody else can open it before it has the old
  // file's owner and bits. A new file takes the usual bits (the process's file-mode mask applies).
  const int fd = sys_calls().open(to.native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_DSYNC,
                                  had ? 0600 : 0666);
  if (fd < 0) {
    SetLastError(posix_paths_n::error_from_errno(errno));
    return INVALID_HANDLE_VALUE;
  }
  if (had) {
    struct stat made;
    if (sys_calls().fstat(fd, &made) == 0 && (made.st_uid != old.st_uid || made.st_gid != old.st_gid)) {
      // Giving a file away needs the right to; keeping its group needs membership of it.
      if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    // After the owner: a change of owner clears the set-user and set-group bits.
    (void)::fchmod(fd, old.st_mode & 07777);
  }
  posix_file_handle_c* handle = new posix_file_handle_c(fd, to.native);
  handle->access = share_locks_n::expand_access(GENERIC_WRITE);
  return posix_handles_n::add(handle);
}

}  // namespace replacement_n
