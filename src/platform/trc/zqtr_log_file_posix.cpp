#include "platform/trc/zqtr_log_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zqtr_log_file_n {

namespace {

// What a file of this type is, for the reports.
const char* kind_of(mode_t mode) {
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISREG(mode)) return "a regular file";
  return "a special file";
}

// Why the log at path is not written, when what is there has the type in mode.
std::string refusal(const std::string& path, mode_t mode) {
  if (S_ISLNK(mode)) return path + " is a symbolic link; the trace log is never written through a link";
  return path + " is " + kind_of(mode) + ", not a regular file";
}

std::string shared_file(const std::string& path, nlink_t links) {
  return path + " has " + std::to_string(static_cast<unsigned long long>(links)) +
         " names (hard links); the trace log is written only to a file of its own";
}

// Why opening path failed with err: what is in its place when that is the reason, else the
// system's word.
std::string open_failure(const std::string& path, int err) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return refusal(path, st.st_mode);
  return path + " cannot be opened: " + std::strerror(err);
}

int open_retrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The log, opened without blocking (a pipe in its place could stall every traced call) and
// without following a link; a missing log is made by an exclusive creation, so that a name
// planted in the meantime makes the creation fail instead of being written through. Only a
// regular file with a single name is written. st describes it; problem receives why nothing was
// opened.
int open_log(const std::string& path, struct stat& st, std::string& problem) {
  const int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
  // Each round that finds the name taken or given away meanwhile (another process created,
  // rotated or removed the log) looks again; a name that changes on every round is given up.
  for (int round = 0; round < 8; ++round) {
    int fd = open_retrying(path.c_str(), flags);
    if (fd < 0 && errno == ENOENT) {
      fd = open_retrying(path.c_str(), flags | O_CREAT | O_EXCL, 0644);
      if (fd < 0 && errno == EEXIST) continue;
    }
    if (fd < 0) {
      problem = open_failure(path, errno);
      return -1;
    }
    if (::fstat(fd, &st) != 0) {
      problem = path + " cannot be examined: " + std::strerror(errno);
      ::close(fd);
      return -1;
    }
    if (!S_ISREG(st.st_mode)) {
      problem = refusal(path, st.st_mode);
      ::close(fd);
      return -1;
    }
    if (st.st_nlink == 0) {
      // Removed by a rotation with nothing kept between the open and now: the name is a new file's.
      ::close(fd);
      continue;
    }
    if (st.st_nlink > 1) {
      problem = shared_file(path, st.st_nlink);
      ::close(fd);
      return -1;
    }
    return fd;
  }
  problem = path + " was replaced again and again while it was opened; the record is not written";
  return -1;
}

// Renames the full log away. A rotated name taken by anything but a regular file is left alone
// and ends the chain: the file that would move onto it is dropped instead, as the oldest is.
void rotate(const std::string& path, unsigned keep, std::vector<std::string>& left_alone) {
  unsigned kept = keep;
  for (unsigned i = 1; i <= keep; ++i) {
    std::string name = path + "." + std::to_string(i);
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0 || S_ISREG(st.st_mode)) continue;
    if (kept == keep) kept = i - 1;
    left_alone.push_back("Rotation left " + name + " alone (" + kind_of(st.st_mode) + ", not a log file); " +
                         std::to_string(kept) + " of " + std::to_string(keep) + " rotated files kept");
  }
  if (kept == 0) {
    ::unlink(path.c_str());
    return;
  }
  for (unsigned i = kept - 1; i >= 1; --i) {
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

bool append(const std::string& path, const char* data, size_t length, uint64_t max_size, unsigned keep,
            append_report_s* report) {
  append_report_s ignored;
  append_report_s& out = report != nullptr ? *report : ignored;
  struct stat st;
  int fd = open_log(path, st, out.problem);
  if (fd < 0) return false;
  if (max_size > 0 && st.st_size > 0 &&
      static_cast<uint64_t>(st.st_size) + length > max_size) {
    // The rotation happens under an exclusive lock of the full file. A process that waited for
    // the lock finds the name given to a new file already and rotates nothing; nor is anything
    // renamed when the name no longer leads straight to the file (a link put there meanwhile).
    if (::flock(fd, LOCK_EX) == 0) {
      struct stat named;
      if (::fstat(fd, &st) == 0 && ::lstat(path.c_str(), &named) == 0 && named.st_ino == st.st_ino &&
          named.st_dev == st.st_dev && static_cast<uint64_t>(st.st_size) + length > max_size) {
        rotate(path, keep, out.left_alone);
      }
      ::flock(fd, LOCK_UN);
    }
    ::close(fd);
    fd = open_log(path, st, out.problem);
    if (fd < 0) return false;
  }
  // O_APPEND: each record lands whole at the end, whoever else appends.
  bool ok = write_all(fd, data, length);
  if (!ok) out.problem = path + " cannot be written: " + std::strerror(errno);
  ::close(fd);
  return ok;
}

std::string probe(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return std::string();
  if (!S_ISREG(st.st_mode)) return refusal(path, st.st_mode);
  if (st.st_nlink > 1) return shared_file(path, st.st_nlink);
  return std::string();
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

bool read_file(const std::string& path, std::string& content, size_t limit, links_e links, std::string* reason) {
  content.clear();
  std::string ignored;
  std::string& why = reason != nullptr ? *reason : ignored;
  why.clear();
  // Without blocking: a pipe in the file's place is refused below, not waited on.
  int fd = open_retrying(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (links == links_e::refuse ? O_NOFOLLOW : 0));
  if (fd < 0) {
    struct stat st;
    if (errno != ENOENT && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      why = "it is a symbolic link, which is not followed";
    }
    return false;
  }
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0;
  if (ok && !S_ISREG(st.st_mode)) {
    why = std::string("it is ") + kind_of(st.st_mode) + ", not a regular file";
    ok = false;
  }
  char buffer[4096];
  while (ok) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = std::string("it cannot be read: ") + std::strerror(errno);
      ok = false;
    }
    if (n <= 0) break;
    content.append(buffer, static_cast<size_t>(n));
    if (content.size() > limit) {
      why = "it is larger than " + std::to_string(static_cast<unsigned long long>(limit)) + " bytes";
      ok = false;
    }
  }
  ::close(fd);
  return ok;
}

bool stderr_is_console() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace zqtr_log_file_n
