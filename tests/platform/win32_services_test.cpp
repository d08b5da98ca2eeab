// The Windows services the library calls. The same tests run against the real API under Wine:
// where the two differ, the real API is right.
#include "platform/win32/win32_api.h"

#include "platform/win32/drive_map.h"
#include "support/temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

using namespace test_support_n;

namespace {

TEST(multi_byte_to_wide_char, utf8_text) {
  wchar_t out[16];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xc3\xa9", -1, nullptr, 0), 3);
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xc3\xa9", -1, out, 16), 3);
  EXPECT_EQ(std::wstring(out), L"h\u00e9");
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, out, 16), 3);  // no terminator counted
  // Outside the basic plane: a surrogate pair in UTF-16, one unit in UTF-32.
  int units = sizeof(wchar_t) == 2 ? 2 : 1;
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xf0\x9f\x98\x80", 4, out, 16), units);
}

TEST(multi_byte_to_wide_char, invalid_input) {
  wchar_t out[16];
  struct row_s {
    const char* text;
    std::wstring expected;
  } rows[] = {
      {"\xff", L"\ufffd"},
      {"a\x80", L"a\ufffd"},
      {"\xc3", L"\ufffd"},
      {"x\xc3y", L"x\ufffdy"},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.expected.size());
    int n = MultiByteToWideChar(CP_UTF8, 0, row.text, -1, out, 16);
    ASSERT_EQ(n, static_cast<int>(row.expected.size()) + 1);
    EXPECT_EQ(std::wstring(out), row.expected);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, row.text, -1, out, 16), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  }
}

TEST(multi_byte_to_wide_char, bad_calls) {
  wchar_t out[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, out, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, out, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, out, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(wide_char_to_multi_byte, utf8_text) {
  char out[16];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"h\u00e9", -1, nullptr, 0, nullptr, nullptr), 4);
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"h\u00e9\u20ac", -1, out, 16, nullptr, nullptr), 7);
  EXPECT_STREQ(out, "h\xc3\xa9\xe2\x82\xac");
  // A lone surrogate becomes U+FFFD, or fails when asked to.
  const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, -1, out, 16, nullptr, nullptr), 6);
  EXPECT_STREQ(out, "a\xef\xbf\xbd" "b");
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, out, 16, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"h\u00e9", -1, out, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  if (!running_under_wine()) {
    // Windows refuses a used-default flag for UTF-8; Wine accepts it.
    BOOL used = FALSE;
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"x", -1, out, 16, nullptr, &used), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
}

TEST(char_lower, unicode_letters) {
  std::wstring text = L"ABC \u00c4\u00d6\u00dc \u03a3\u0416 \u0100\u0102 x1";
  CharLowerW(&text[0]);
  EXPECT_EQ(text, L"abc \u00e4\u00f6\u00fc \u03c3\u0436 \u0101\u0103 x1");
  LPWSTR single = CharLowerW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(L'Q')));
  EXPECT_EQ(static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(single)), L'q');
}

TEST(format_message, system_texts) {
  wchar_t* message = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                           nullptr, ERROR_ACCESS_DENIED, 0, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
  ASSERT_GT(n, 2u);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(std::wcslen(message), n);
  EXPECT_EQ(std::wstring(message + n - 2), L"\r\n");
  LocalFree(message);
  message = nullptr;
  SetLastError(0);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                           nullptr, 0x7FFF0001, 0, reinterpret_cast<LPWSTR>(&message), 0, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

class win32_paths_test : public temp_dir_test {};

TEST_F(win32_paths_test, disk_space) {
  ULARGE_INTEGER avail, total, free_bytes;
  ASSERT_TRUE(GetDiskFreeSpaceExW(wide(m_dir.path()).c_str(), &avail, &total, &free_bytes));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(free_bytes.QuadPart, total.QuadPart);
  EXPECT_LE(avail.QuadPart, free_bytes.QuadPart);
  DWORD spc = 0, bps = 0, nfree = 0, ntotal = 0;
  ASSERT_TRUE(GetDiskFreeSpaceW(wide(m_dir.path() + "/").c_str(), &spc, &bps, &nfree, &ntotal));
  EXPECT_GE(bps, 512u);
  EXPECT_GE(spc, 1u);
  EXPECT_GT(ntotal, 0u);
  SetLastError(0);
  EXPECT_FALSE(GetDiskFreeSpaceExW(wide(m_dir.path() + "/no/such/dir").c_str(), &avail, &total, &free_bytes));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(win32_paths_test, long_path_names) {
  write_text_file(m_dir.file("file.txt"), "x");
  std::wstring path = wide(m_dir.file("file.txt"));
  std::vector<wchar_t> out(1024, L'#');
  DWORD n = GetLongPathNameW(path.c_str(), out.data(), 1024);
  ASSERT_EQ(n, path.size());
  EXPECT_EQ(std::wstring(out.data()), path);
  wchar_t tiny[4];
  EXPECT_EQ(GetLongPathNameW(path.c_str(), tiny, 4), path.size() + 1);
  SetLastError(0);
  EXPECT_EQ(GetLongPathNameW(wide(m_dir.file("missing.txt")).c_str(), out.data(), 1024), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(GetLongPathNameW(wide(m_dir.file("missing/file.txt")).c_str(), out.data(), 1024), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(win32_paths_test, volume_path_names) {
  std::vector<wchar_t> out(1024, L'#');
  ASSERT_TRUE(GetVolumePathNameW(wide(m_dir.path()).c_str(), out.data(), 1024));
  std::wstring volume(out.data());
  ASSERT_FALSE(volume.empty());
  EXPECT_EQ(volume.back(), L'\\');
  // The mount point holds the path: a prefix of it, separators aside.
  std::wstring path = wide(m_dir.path()) + L"\\";
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  ASSERT_LE(volume.size(), path.size());
  std::wstring head = path.substr(0, volume.size());
  CharLowerW(&head[0]);
  CharLowerW(&volume[0]);
  EXPECT_EQ(head, volume) << std::string(volume.begin(), volume.end());
  wchar_t tiny[1];
  EXPECT_FALSE(GetVolumePathNameW(wide(m_dir.path()).c_str(), tiny, 1));
}

TEST(modules, ntdll_services) {
  HMODULE ntdll = GetModuleHandleW(L"ntdll");
  ASSERT_NE(ntdll, nullptr);
  EXPECT_NE(GetProcAddress(ntdll, "ZwQueryInformationFile"), nullptr);
  EXPECT_NE(GetProcAddress(ntdll, "NtCreateFile"), nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(ntdll, "NoSuchServiceAtAll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(GetModuleHandleW(L"no_such_module_here.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

#if !defined(_WIN32)
class drive_map_test : public temp_dir_test {
 protected:
  ~drive_map_test() override { drive_map_n::clear(); }
};

TEST_F(drive_map_test, drives_and_shares_resolve_through_the_map) {
  write_text_file(m_dir.file("in_root.txt"), "x");
  std::vector<wchar_t> out(1024);
  SetLastError(0);
  EXPECT_EQ(GetLongPathNameW(L"R:\\in_root.txt", out.data(), 1024), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(GetLongPathNameW(L"\\\\server\\share\\in_root.txt", out.data(), 1024), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_NETPATH));

  ASSERT_TRUE(drive_map_n::map("r", m_dir.path()));
  std::string error;
  ASSERT_TRUE(drive_map_n::map_entry("\\\\Server\\Share=" + m_dir.path(), error)) << error;
  EXPECT_FALSE(drive_map_n::map_entry("nonsense", error));
  EXPECT_FALSE(drive_map_n::map_entry("RR=/x", error));
  const wchar_t* names[] = {L"R:\\in_root.txt", L"r:/in_root.txt", L"\\\\?\\R:\\in_root.txt",
                            L"\\\\server\\share\\in_root.txt", L"\\\\?\\UNC\\SERVER\\share\\in_root.txt",
                            L"R:\\..\\..\\in_root.txt"};
  for (const wchar_t* name : names) {
    SCOPED_TRACE(std::string(name, name + std::wcslen(name)));
    EXPECT_EQ(GetLongPathNameW(name, out.data(), 1024), std::wcslen(name));
  }
  ASSERT_TRUE(GetVolumePathNameW(L"R:\\in_root.txt", out.data(), 1024));
  EXPECT_EQ(std::wstring(out.data()), L"R:\\");
  ASSERT_TRUE(GetVolumePathNameW(L"\\\\?\\R:\\in_root.txt", out.data(), 1024));
  EXPECT_EQ(std::wstring(out.data()), L"\\\\?\\R:\\");
  ASSERT_TRUE(GetVolumePathNameW(L"\\\\server\\share\\x\\y", out.data(), 1024));
  EXPECT_EQ(std::wstring(out.data()), L"\\\\server\\share\\");
  EXPECT_TRUE(drive_map_n::unmap("R:"));
  EXPECT_FALSE(drive_map_n::unmap("R:"));
}
#endif

}  // namespace
