// Opens that read a little or only look, against what other processes see of them: a writer
// waiting for a pipe's reader must not be let go by a refused open, a delete or a rename, and the share
// check's gate must not outlive a small read or a probe in a process that forks meanwhile; where
// locks fail or calls are interrupted they still read, let in and hold nothing after.
#include "platform/win32/posix/small_reads.h"
#include "platform/win32/posix/system_calls.h"
#include "platform/win32/win32_api.h"

#include "support/system_call_faults.h"
#include "support/temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace test_support_n;

namespace {

// The state letter of a process (R, S, Z, ...; '?' when unknown).
char state_of(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t paren = text.rfind(')');
  return paren == std::string::npos || paren + 2 >= text.size() ? '?' : text[paren + 2];
}

class brief_opens_test : public temp_dir_test {};

// What the file layer does to a pipe (refuse to open it, delete it, rename it) never opens it: a
// writer waiting on it for a reader would be let go, and the byte it then writes lost.
TEST_F(brief_opens_test, a_refused_read_of_a_pipe_lets_no_waiting_writer_go) {
  struct case_s {
    const char* what;
    std::function<DWORD(const std::string& fifo)> act;
    DWORD answer;
    bool stays;  // a pipe is still at the name afterwards
  };
  auto open_with = [](DWORD disposition) {
    return [disposition](const std::string& fifo) -> DWORD {
      HANDLE h = CreateFileW(wide(fifo).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      const DWORD error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
      return error;
    };
  };
  auto answer_of = [](BOOL done) { return done ? static_cast<DWORD>(ERROR_SUCCESS) : GetLastError(); };
  const case_s cases[] = {
      {"a read that may create", open_with(OPEN_ALWAYS), ERROR_NOT_SUPPORTED, true},
      {"a read of an existing file", open_with(OPEN_EXISTING), ERROR_NOT_SUPPORTED, true},
      {"a delete", [&](const std::string& fifo) { return answer_of(DeleteFileW(wide(fifo).c_str())); },
       ERROR_SUCCESS, false},
      {"a rename",
       [&](const std::string& fifo) {
         return answer_of(MoveFileExW(wide(fifo).c_str(), wide(fifo + "-moved").c_str(), 0));
       },
       ERROR_SUCCESS, false},
      {"a rename of another pipe over it",
       [&](const std::string& fifo) {
         const std::string other = fifo + "-other";
         if (::mkfifo(other.c_str(), 0600) != 0) return static_cast<DWORD>(ERROR_IO_DEVICE);
         return answer_of(MoveFileExW(wide(other).c_str(), wide(fifo).c_str(), MOVEFILE_REPLACE_EXISTING));
       },
       ERROR_SUCCESS, true},
  };
  int number = 0;
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    ++number;
    const std::string fifo = m_dir.file("fifo" + std::to_string(number));
    const std::string kept = fifo + "-kept";  // a second name, by which the writer is let go at the end
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::link(fifo.c_str(), kept.c_str()), 0);
    const std::string marker_path = m_dir.file("opening-" + std::to_string(number));
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      // Says it is about to open, waits in the open for a reader, then writes a byte.
      const int marker = ::open(marker_path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
      if (marker < 0) ::_exit(3);
      ::close(marker);
      const int fd = ::open(fifo.c_str(), O_WRONLY);
      if (fd < 0) ::_exit(1);
      const ssize_t n = ::write(fd, "x", 1);
      ::_exit(n == 1 ? 0 : 2);
    }
    // Until the writer sleeps: after its marker, the only wait it makes is its open.
    ASSERT_TRUE(wait_for_file(marker_path));
    bool waiting = false;
    for (int i = 0; i < 20000 && !waiting; ++i) {
      waiting = state_of(writer) == 'S';
      if (!waiting) ::usleep(500);
    }
    ASSERT_TRUE(waiting) << "the writer never waited in its open";

    EXPECT_EQ(c.act(fifo), c.answer);
    // A woken writer runs (R) or has ended (Z) by now; one still waiting for its reader sleeps.
    const char after = state_of(writer);
    EXPECT_EQ(after, 'S') << "the pipe was opened and the waiting writer let go (state " << after << ")";

    int status = 0;
    if (after == 'S') {
      // Let it go now and collect it.
      const int reader = ::open(kept.c_str(), O_RDONLY | O_NONBLOCK);
      ASSERT_EQ(::waitpid(writer, &status, 0), writer);
      if (reader >= 0) ::close(reader);
    } else {
      // Let go by a reader that closes at once: its byte is lost unread, or its write finds the
      // pipe closed (SIGPIPE).
      ASSERT_EQ(::waitpid(writer, &status, 0), writer);
      ADD_FAILURE() << "the writer let go ended " << (WIFSIGNALED(status) ? "by signal " : "with code ")
                    << (WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
    }
    struct stat st;
    EXPECT_EQ(::lstat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode), c.stays);
  }
}

// The C library's calls, but for a read that forks a child first (another thread's fork, made to
// fall while the small read holds the gate). The child waits until it is killed.
posix_calls_n::table_s g_forking_calls;
pid_t g_child = 0;

void fork_once() {
  if (g_child != 0) return;
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (;;) ::pause();
  }
  g_child = pid;
}

ssize_t forking_read(int fd, void* buffer, size_t size) {
  fork_once();
  return posix_calls_n::real_calls().read(fd, buffer, size);
}

// The probe reads nothing: its child is made at its look for holders.
int forking_lock(int fd, int command, struct flock* record) {
  fork_once();
  return posix_calls_n::real_calls().lock(fd, command, record);
}

TEST_F(brief_opens_test, a_fork_during_a_small_read_leaves_no_gate_behind) {
  const std::string file = m_dir.file("state");
  write_text_file(file, "data");
  const DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  enum way_e { HANDLE_READ, SMALL_READ, PROBE };
  for (const way_e way : {HANDLE_READ, SMALL_READ, PROBE}) {
    const bool small = way == SMALL_READ;
    SCOPED_TRACE(way == HANDLE_READ ? "a read through a handle" : small ? "a small read without a handle" : "a probe");
    g_forking_calls = posix_calls_n::real_calls();
    g_forking_calls.read = forking_read;
    if (way == PROBE) g_forking_calls.lock = forking_lock;
    g_child = 0;

    const posix_calls_n::table_s* before = posix_calls_n::install_calls(&g_forking_calls);
    char buffer[16];
    size_t got = 0;
    DWORD error = ERROR_SUCCESS;
    if (way == PROBE) {
      error = small_reads_n::look(wide(file).c_str(), GENERIC_READ, FILE_SHARE_READ);
      got = 4;
      std::memcpy(buffer, "data", 4);  // nothing to read
    } else if (small) {
      const int fd = small_reads_n::open(wide(file).c_str(), GENERIC_READ, share_all, error);
      if (fd >= 0) {
        error = small_reads_n::read_some(fd, buffer, sizeof buffer, got);
        small_reads_n::close(fd);
      }
    } else {
      HANDLE h = CreateFileW(wide(file).c_str(), GENERIC_READ, share_all, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      DWORD count = 0;
      if (h == INVALID_HANDLE_VALUE) {
        error = GetLastError();
      } else {
        if (!ReadFile(h, buffer, sizeof buffer, &count, nullptr)) error = GetLastError();
        got = count;
        CloseHandle(h);
      }
    }
    posix_calls_n::install_calls(before);
    ASSERT_GT(g_child, 0);

    // The read is over and closed: an open that shares everything with it is let in, as it would
    // be had the child never been made.
    HANDLE h = CreateFileW(wide(file).c_str(), GENERIC_READ | GENERIC_WRITE, share_all, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD open_error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    ::kill(g_child, SIGKILL);
    ::waitpid(g_child, nullptr, 0);
    g_child = 0;

    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(std::string(buffer, got), "data");
    EXPECT_EQ(open_error, static_cast<DWORD>(ERROR_SUCCESS)) << "the forked child kept the share check's gate";
  }
}

// A file system that cannot lock, and calls interrupted once: the small read brings the whole file,
// the probe lets a reader in, and neither leaves anything held (an exclusive open follows at once).
TEST_F(brief_opens_test, small_reads_and_probes_where_locks_fail_or_calls_are_interrupted) {
  const std::string file = m_dir.file("state");
  write_text_file(file, "some state");
  const std::wstring name = wide(file);
  struct case_s {
    const char* what;
    std::vector<fault_s> faults;
  };
  const case_s cases[] = {
      {"no file locks (the gate)", {{call_e::flock, ENOLCK}}},
      {"no byte locks, the gate works", {{call_e::lock, EINVAL}}},
      {"byte locks fail after the gate's", {{call_e::lock, EIO, -1, 1}}},
      {"every call interrupted once",
       {{call_e::open, EINTR, 1}, {call_e::flock, EINTR, 1}, {call_e::lock, EINTR, 1}, {call_e::read, EINTR, 1}}},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    std::string got;
    DWORD read_error = ERROR_SUCCESS;
    DWORD probe_error = ERROR_SUCCESS;
    {
      scoped_faults_c faults(c.faults);
      const int fd = small_reads_n::open(name.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, read_error);
      if (fd >= 0) {
        char buffer[64];
        size_t n = 0;
        do {
          read_error = small_reads_n::read_some(fd, buffer, sizeof buffer, n);
          got.append(buffer, n);
        } while (read_error == ERROR_SUCCESS && n > 0);
        small_reads_n::close(fd);
      }
      probe_error = small_reads_n::look(name.c_str(), GENERIC_READ, FILE_SHARE_READ);
    }
    EXPECT_EQ(read_error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(got, "some state");
    EXPECT_EQ(probe_error, static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE exclusive = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "left held: error " << GetLastError();
    if (exclusive != INVALID_HANDLE_VALUE) CloseHandle(exclusive);
  }
}

}  // namespace

namespace {

// A probe asked not to tell a missing directory from a missing file answers "file not found" for
// both, and does not look for the directory; asked to tell, it does.
TEST_F(brief_opens_test, a_probe_tells_a_missing_directory_only_when_asked) {
  struct case_s {
    const char* what;
    std::string path;
    bool which_missing;
    DWORD answer;
    unsigned looks;  // stat calls: the name, and its directory when asked which is missing
  };
  const case_s cases[] = {
      {"a missing file, told", m_dir.file("state.lock"), true, ERROR_FILE_NOT_FOUND, 2},
      {"a missing directory, told", m_dir.file("none/state.lock"), true, ERROR_PATH_NOT_FOUND, 2},
      {"a missing file, not told", m_dir.file("state.lock"), false, ERROR_FILE_NOT_FOUND, 1},
      {"a missing directory, not told", m_dir.file("none/state.lock"), false, ERROR_FILE_NOT_FOUND, 1},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    scoped_faults_c counter;
    EXPECT_EQ(small_reads_n::look(wide(c.path).c_str(), GENERIC_READ, FILE_SHARE_READ, c.which_missing), c.answer);
    EXPECT_EQ(counter.calls(call_e::stat) + counter.calls(call_e::lstat), c.looks) << counter.summary();
  }
}

}  // namespace
