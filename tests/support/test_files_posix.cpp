#include "test_files.h"

#include "platform/win32/posix/posix_paths.h"

#include <sys/mount.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>


namespace test_support_n {

std::wstring wide(const std::string& text) { return posix_paths_n::widen(text); }

bool running_under_wine() { return false; }

bool set_file_age(const std::string& path, long seconds) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = ::time(nullptr) - seconds;
  times[0].tv_nsec = times[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool make_fifo(const std::string& path) { return ::mkfifo(path.c_str(), 0644) == 0; }

bool is_fifo(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

bool make_symbolic_link(const std::string& target, const std::string& link) {
  return ::symlink(target.c_str(), link.c_str()) == 0;
}

bool is_symbolic_link(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool make_hard_link(const std::string& existing, const std::string& link) {
  return ::link(existing.c_str(), link.c_str()) == 0;
}

bool mount_small_file_system(const std::string& directory, size_t bytes) {
  const std::string options = "size=" + std::to_string(bytes);
  return ::mount("tmpfs", directory.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

void unmount(const std::string& directory) { ::umount2(directory.c_str(), MNT_DETACH); }

}  // namespace test_support_n
