// What an open for reading answers for each kind of thing a name can stand for, whether the file
// must exist or may be made: the same answers either way, and nothing made or replaced.
#include "platform/win32/win32_api.h"

#include "support/temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace test_support_n;

namespace {

class open_kinds_test : public temp_dir_test {
 protected:
  // The open's handle closed again, or its error.
  static DWORD open_and_close(const std::string& path, DWORD access, DWORD disposition, DWORD flags = 0) {
    HANDLE h = CreateFileW(wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           disposition, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(h);
    return ERROR_SUCCESS;
  }
};

TEST_F(open_kinds_test, a_read_answers_the_same_for_every_kind_whatever_its_disposition) {
  const std::string file = m_dir.file("file");
  write_text_file(file, "data");
  const std::string dir = m_dir.file("dir");
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  const std::string fifo = m_dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string device = m_dir.file("device");
  ASSERT_EQ(::symlink("/dev/null", device.c_str()), 0);
  const std::string dangling = m_dir.file("dangling");
  ASSERT_EQ(::symlink("nowhere", dangling.c_str()), 0);
  const std::string loop = m_dir.file("loop");
  ASSERT_EQ(::symlink("loop", loop.c_str()), 0);
  const std::string to_file = m_dir.file("to-file");
  ASSERT_EQ(::symlink("file", to_file.c_str()), 0);
  const std::string socket_path = m_dir.file("socket");
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  socket_path.copy(address.sun_path, socket_path.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  struct case_s {
    const char* what;
    std::string path;
    DWORD error;  // the answer to OPEN_EXISTING
    bool exists;  // OPEN_ALWAYS may be asked too (it makes nothing there)
  };
  const case_s cases[] = {
      {"a regular file", file, ERROR_SUCCESS, true},
      {"a link to a regular file", to_file, ERROR_SUCCESS, true},
      {"a directory", dir, ERROR_ACCESS_DENIED, true},
      {"a pipe (nothing waits for a writer)", fifo, ERROR_NOT_SUPPORTED, true},
      {"a link to a device", device, ERROR_NOT_SUPPORTED, true},
      {"a socket", socket_path, ERROR_NOT_SUPPORTED, true},
      {"a link in a loop", loop, ERROR_CANT_RESOLVE_FILENAME, true},
      {"a missing name", m_dir.file("missing"), ERROR_FILE_NOT_FOUND, false},
      {"a dangling link", dangling, ERROR_FILE_NOT_FOUND, false},
      {"a missing directory", m_dir.file("missing/file"), ERROR_PATH_NOT_FOUND, false},
      {"a file taken for a directory", file + "/file", ERROR_PATH_NOT_FOUND, false},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    const DWORD answer = open_and_close(c.path, GENERIC_READ, OPEN_EXISTING);
    EXPECT_EQ(answer, c.error);
    if (c.exists) {
      EXPECT_EQ(open_and_close(c.path, GENERIC_READ, OPEN_ALWAYS), answer);
    }
    // A directory opens with backup semantics either way.
    if (c.path == dir) {
      EXPECT_EQ(open_and_close(c.path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS),
                static_cast<DWORD>(ERROR_SUCCESS));
    }
  }
  ::close(sock);
  // Nothing was made or replaced.
  struct stat st;
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_NE(::lstat(m_dir.file("missing").c_str(), &st), 0);
  EXPECT_EQ(read_text_file(file), "data");
}

TEST_F(open_kinds_test, a_file_that_may_not_be_read_is_refused_either_way) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  const std::string file = m_dir.file("secret");
  write_text_file(file, "data");
  ASSERT_EQ(::chmod(file.c_str(), 0200), 0);
  EXPECT_EQ(open_and_close(file, GENERIC_READ, OPEN_EXISTING), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(open_and_close(file, GENERIC_READ, OPEN_ALWAYS), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace
