// What a replaced file keeps on POSIX: its permission bits, its owner and group, its links; and the
// new content is never readable by more users than the old while it is being written.
#include "file/file_manipulation.h"

#include "platform/win32/posix/system_calls.h"
#include "support/temp_dir.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace test_support_n;

namespace {

class replacement_posix_test : public temp_dir_test {
 protected:
  bool replace(const std::string& path, const std::string& text) {
    return file_manipulation_n::replace_file_contents(path.c_str(), text.data(), text.size());
  }
  static struct stat status(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
  }
  trace_reset_c m_trace;
};

TEST_F(replacement_posix_test, the_permission_bits_stay) {
  const mode_t modes[] = {0600, 0640, 0644, 0660, 0664, 0700, 0755, 0620, 02750};
  for (mode_t mode : modes) {
    SCOPED_TRACE(std::to_string(mode));
    const std::string path = m_dir.file("file" + std::to_string(mode));
    write_text_file(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(replace(path, "new"));
    EXPECT_EQ(read_text_file(path), "new");
    EXPECT_EQ(status(path).st_mode & 07777, mode);
  }
}

TEST_F(replacement_posix_test, a_new_file_takes_the_usual_bits) {
  const std::string path = m_dir.file("fresh.xml");
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(replace(path, "new"));
  ::umask(mask);
  EXPECT_EQ(status(path).st_mode & 07777, 0644u);
}

TEST_F(replacement_posix_test, the_owner_and_group_stay_where_the_process_may_set_them) {
  if (::geteuid() != 0) GTEST_SKIP() << "only a privileged process may give a file to another user";
  const std::string path = m_dir.file("credentials.xml");
  write_text_file(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
  ASSERT_TRUE(replace(path, "new"));
  const struct stat st = status(path);
  EXPECT_EQ(st.st_uid, 4321u);
  EXPECT_EQ(st.st_gid, 4322u);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// The temporary file is made with no access for others, whatever the old file allowed; it gets the
// old file's bits only once it has the old file's owner.
std::vector<mode_t> g_created_modes;
int recording_open(const char* path, int flags, mode_t mode) {
  if (flags & O_CREAT) g_created_modes.push_back(mode);
  return ::open(path, flags, mode);
}

TEST_F(replacement_posix_test, the_new_content_is_never_readable_by_more_users_than_the_old) {
  const std::string path = m_dir.file("secret.xml");
  write_text_file(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  posix_calls_n::table_s calls = posix_calls_n::real_calls();
  calls.open = recording_open;
  g_created_modes.clear();
  const posix_calls_n::table_s* before = posix_calls_n::install_calls(&calls);
  const bool replaced = replace(path, "new");
  posix_calls_n::install_calls(before);
  ASSERT_TRUE(replaced);
  ASSERT_EQ(g_created_modes.size(), 1u);
  EXPECT_EQ(g_created_modes[0] & 077, 0u);
  EXPECT_EQ(status(path).st_mode & 07777, 0600u);
}

TEST_F(replacement_posix_test, a_chain_of_links_that_does_not_end_is_refused_and_nothing_is_written) {
  const std::string a = m_dir.file("a.xml"), b = m_dir.file("b.xml");
  ASSERT_EQ(::symlink(b.c_str(), a.c_str()), 0);
  ASSERT_EQ(::symlink(a.c_str(), b.c_str()), 0);
  zqtr_capture_c capture(ZQTR_FAIL);
  EXPECT_FALSE(replace(a, "new"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to replace " + a + ": " + a + " is a chain of more than 40 symbolic links"))
      << ::testing::PrintToString(capture.texts());
  struct stat st;
  EXPECT_EQ(::lstat(a.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(replacement_posix_test, a_pipe_a_socket_or_a_directory_in_the_files_place_is_refused_and_stays) {
  // Named directly as well as through a link: nothing that is no file is renamed over.
  const struct {
    const char* name;
    int (*make)(const char* path);
    mode_t kind;
    const char* shown;
  } cases[] = {
      {"pipe", [](const char* path) { return ::mkfifo(path, 0644); }, S_IFIFO, "is no regular file (a pipe, a device or a socket)"},
      {"dir", [](const char* path) { return ::mkdir(path, 0755); }, S_IFDIR, "is a directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = m_dir.file(c.name);
    ASSERT_EQ(c.make(path.c_str()), 0);
    zqtr_capture_c capture(ZQTR_FAIL);
    EXPECT_FALSE(replace(path, "new"));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to replace " + path + ": " + path + " " + c.shown))
        << ::testing::PrintToString(capture.texts());
    struct stat st;
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, c.kind);
    const std::string link = path + ".link";
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    EXPECT_FALSE(replace(link, "new"));
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, c.kind);
  }
}

}  // namespace
