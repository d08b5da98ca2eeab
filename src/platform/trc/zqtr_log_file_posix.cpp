#include "platform/trc/zqtr_log_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zqtr_log_file_n {

namespace {

// The log, opened without blocking; only a regular file is written (a pipe in its place could
// stall every traced call). st describes it.
int open_log(const std::string& path, struct stat& st) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void rotate(const std::string& path, unsigned keep) {
  if (keep == 0) {
    ::unlink(path.c_str());
    return;
  }
  for (unsigned i = keep - 1; i >= 1; --i) {
    std::string from = path + "." + std::to_string(i);
    std::string to = path + "." + std::to_string(i + 1);
    ::rename(from.c_str(), to.c_str());
  }
  std::string first = path + ".1";
  ::rename(path.c_str(), first.c_str());
}

bool write_all(int fd, const char* data, size_t length) {
  while (length > 0) {
    ssize_t n = ::write(fd, data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool append(const std::string& path, const char* data, size_t length, uint64_t max_size, unsigned keep) {
  struct stat st;
  int fd = open_log(path, st);
  if (fd < 0) return false;
  if (max_size > 0 && st.st_size > 0 &&
      static_cast<uint64_t>(st.st_size) + length > max_size) {
    // The rotation happens under an exclusive lock of the full file. A process that waited for
    // the lock finds the name given to a new file already and rotates nothing.
    if (::flock(fd, LOCK_EX) == 0) {
      struct stat named;
      if (::fstat(fd, &st) == 0 && ::stat(path.c_str(), &named) == 0 && named.st_ino == st.st_ino &&
          named.st_dev == st.st_dev && static_cast<uint64_t>(st.st_size) + length > max_size) {
        rotate(path, keep);
      }
      ::flock(fd, LOCK_UN);
    }
    ::close(fd);
    fd = open_log(path, st);
    if (fd < 0) return false;
  }
  // O_APPEND: each record lands whole at the end, whoever else appends.
  bool ok = write_all(fd, data, length);
  ::close(fd);
  return ok;
}

bool make_directories(const std::string& directory) {
  if (directory.empty()) return false;
  struct stat st;
  if (::stat(directory.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t cut = directory.find_last_of('/');
  if (cut != std::string::npos && cut > 0 && !make_directories(directory.substr(0, cut))) return false;
  if (::mkdir(directory.c_str(), 0755) == 0 || errno == EEXIST) {
    return ::stat(directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  return false;
}

bool read_file(const std::string& path, std::string& content, size_t limit) {
  content.clear();
  // Without blocking: a pipe in the file's place is refused below, not waited on.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  char buffer[4096];
  while (ok) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    content.append(buffer, static_cast<size_t>(n));
    if (content.size() > limit) ok = false;
  }
  ::close(fd);
  return ok;
}

bool stderr_is_console() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace zqtr_log_file_n
