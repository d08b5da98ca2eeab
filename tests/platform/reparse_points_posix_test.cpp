// Symbolic links as reparse points; made with symlink(2), so only where the layer is ours.
#include "platform/win32/drive_map.h"
#include "platform/win32/posix/posix_paths.h"
#include "platform/win32/win32_api.h"

#include "support/temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace test_support_n;

namespace {

class reparse_point_test : public temp_dir_test {};

TEST_F(reparse_point_test, a_symbolic_link_is_a_reparse_point_with_its_target) {
  write_text_file(m_dir.file("target.txt"), "x");
  ASSERT_EQ(::symlink("target.txt", m_dir.file("link").c_str()), 0);
  ASSERT_EQ(::symlink(m_dir.path().c_str(), m_dir.file("dirlink").c_str()), 0);
  DWORD attributes = GetFileAttributesW(wide(m_dir.file("link")).c_str());
  EXPECT_NE(attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  DWORD dir_attributes = GetFileAttributesW(wide(m_dir.file("dirlink")).c_str());
  EXPECT_NE(dir_attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);

  HANDLE link = CreateFileW(wide(m_dir.file("link")).c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(link, INVALID_HANDLE_VALUE);
  alignas(8) unsigned char buffer[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
  DWORD returned = 0;
  ASSERT_TRUE(DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer, sizeof buffer, &returned, nullptr));
  const REPARSE_DATA_BUFFER* data = reinterpret_cast<const REPARSE_DATA_BUFFER*>(buffer);
  EXPECT_EQ(data->ReparseTag, static_cast<ULONG>(IO_REPARSE_TAG_SYMLINK));
  EXPECT_EQ(data->SymbolicLinkReparseBuffer.Flags, static_cast<ULONG>(SYMLINK_FLAG_RELATIVE));
  std::wstring print_name(data->SymbolicLinkReparseBuffer.PathBuffer +
                              data->SymbolicLinkReparseBuffer.PrintNameOffset / sizeof(WCHAR),
                          data->SymbolicLinkReparseBuffer.PrintNameLength / sizeof(WCHAR));
  EXPECT_EQ(print_name, L"target.txt");
  SetLastError(0);
  EXPECT_FALSE(DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer, 8, &returned, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  CloseHandle(link);

  HANDLE file = CreateFileW(wide(m_dir.file("target.txt")).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SetLastError(0);
  EXPECT_FALSE(DeviceIoControl(file, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer, sizeof buffer, &returned, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_A_REPARSE_POINT));
  CloseHandle(file);
  EXPECT_TRUE(DeleteFileW(wide(m_dir.file("link")).c_str()));
  EXPECT_TRUE(file_exists(m_dir.file("target.txt")));
}

}  // namespace

// Paths through the drive map to native paths: "." and ".." resolved without climbing above the
// mapped root, separators of both kinds and in runs, long components; native paths likewise.
TEST(posix_path_resolution, dots_and_separators_below_a_mapped_root) {
  ASSERT_TRUE(drive_map_n::map("q", "/mapped/root"));
  std::string error;
  ASSERT_TRUE(drive_map_n::map_entry("\\\\host\\share=/shared/", error)) << error;
  const std::string long_part(40, 'l');
  const struct {
    std::string input;
    std::string native;
  } cases[] = {
      {"Q:\\a\\b", "/mapped/root/a/b"},
      {"q:/a//b/", "/mapped/root/a/b"},
      {"Q:\\a\\.\\b\\..\\c", "/mapped/root/a/c"},
      {"Q:\\a\\..\\..\\..\\b", "/mapped/root/b"},
      {"Q:\\..", "/mapped/root"},
      {"Q:", "/mapped/root"},
      {"Q:\\a\\b\\..\\..", "/mapped/root"},
      {"Q:\\a\\..b\\.c\\...", "/mapped/root/a/..b/.c/..."},
      {"Q:\\x\\..\\y\\z\\..\\..\\w", "/mapped/root/w"},
      {"Q:\\" + long_part + "\\" + long_part + "\\..\\b", "/mapped/root/" + long_part + "/b"},
      {"\\\\host\\share\\a\\..\\b", "/shared/b"},
      {"\\\\host\\share\\..\\..", "/shared/"},
      {"\\\\host\\share", "/shared/"},
      // Native paths: one already in this system's form is taken as it is, any other made so.
      {"/a/b", "/a/b"},
      {"/a/..b/.c/...", "/a/..b/.c/..."},
      {"/a/b/", "/a/b"},
      {"/a//b", "/a/b"},
      {"/a/./b", "/a/b"},
      {"/a/b/.", "/a/b"},
      {"/a/../b", "/b"},
      {"/a/b/..", "/a"},
      {"/a\\b", "/a/b"},
      {"\\a\\b\\c", "/a/b/c"},
      {"\\a\\..\\b", "/b"},
      {"/", "/"},
      {"/..", "/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    posix_paths_n::resolved_s resolved;
    ASSERT_EQ(posix_paths_n::resolve_utf8(c.input, resolved), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(resolved.native, c.native);
  }
  drive_map_n::unmap("q");
  drive_map_n::unmap("\\\\host\\share");
}
