#include "platform/txf/txf_wrapper.h"

#include "support/temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

using namespace test_support_n;

namespace {

class txf_wrapper_test : public temp_dir_test {};

// Without a transaction that exists, every transacted call fails, says why, and changes nothing.
TEST_F(txf_wrapper_test, calls_without_a_real_transaction_fail_and_change_nothing) {
  write_text_file(m_dir.file("kept.txt"), "kept");
  const std::wstring kept = wide(m_dir.file("kept.txt"));
  const std::wstring moved = wide(m_dir.file("moved.txt"));
  const std::wstring made = wide(m_dir.file("made.txt"));
  HANDLE none = INVALID_HANDLE_VALUE;
  struct call_s {
    const char* name;
    bool failed;
    DWORD error;
  };
  std::vector<call_s> calls;
  auto record = [&calls](const char* name, bool failed) { calls.push_back({name, failed, GetLastError()}); };

  SetLastError(0);
  HANDLE h = txf_wrapper_c::CreateFileTransacted(made.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr, none,
                                                 nullptr, nullptr);
  record("CreateFileTransacted", h == INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  WIN32_FILE_ATTRIBUTE_DATA data;
  SetLastError(0);
  record("GetFileAttributesTransacted",
         !txf_wrapper_c::GetFileAttributesTransacted(kept.c_str(), GetFileExInfoStandard, &data, none));
  SetLastError(0);
  record("SetFileAttributesTransacted",
         !txf_wrapper_c::SetFileAttributesTransacted(kept.c_str(), FILE_ATTRIBUTE_READONLY, none));
  SetLastError(0);
  record("DeleteFileTransacted", !txf_wrapper_c::DeleteFileTransacted(kept.c_str(), none));
  SetLastError(0);
  record("MoveFileTransacted", !txf_wrapper_c::MoveFileTransacted(kept.c_str(), moved.c_str(), nullptr, nullptr, 0, none));
  wchar_t buffer[512];
  SetLastError(0);
  record("GetLongPathNameTransacted", txf_wrapper_c::GetLongPathNameTransacted(kept.c_str(), buffer, 512, none) == 0);
  WIN32_FIND_DATAW found;
  SetLastError(0);
  HANDLE find = txf_wrapper_c::FindFirstFileTransacted((wide(m_dir.path()) + L"\\*").c_str(), FindExInfoStandard,
                                                       &found, FindExSearchNameMatch, nullptr, 0, none);
  record("FindFirstFileTransacted", find == INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  SetLastError(0);
  record("RemoveDirectoryTransacted", !txf_wrapper_c::RemoveDirectoryTransacted(wide(m_dir.path()).c_str(), none));

  for (const call_s& c : calls) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(c.failed);
    EXPECT_NE(c.error, 0u);
#if !defined(_WIN32)
    EXPECT_EQ(c.error, static_cast<DWORD>(ERROR_NOT_SUPPORTED));
#endif
  }
  EXPECT_EQ(read_text_file(m_dir.file("kept.txt")), "kept");
  EXPECT_FALSE(file_exists(m_dir.file("moved.txt")));
  EXPECT_FALSE(file_exists(m_dir.file("made.txt")));
  EXPECT_EQ(GetFileAttributesW(kept.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

}  // namespace
