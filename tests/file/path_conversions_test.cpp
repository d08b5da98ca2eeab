#include "file/path_n.h"

#include "platform/win32/drive_map.h"
#include "support/temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace test_support_n;

namespace {

const std::string k_guid = "{01234567-89ab-cdef-0123-456789abcdef}";
const std::string k_volume = "\\\\?\\Volume" + k_guid;

std::wstring to_wide(const char* path, bool add_prefix) {
  std::vector<wchar_t> out(PATH_BUFFER_SIZE, L'#');
  path_n::path_to_wide_char_path(path, out.data(), add_prefix);
  return std::wstring(out.data());
}

TEST(path_to_wide_char_path, windows_forms) {
  struct row_s {
    const char* in;
    bool add_prefix;
    std::wstring out;
  } rows[] = {
      {"C:\\Data\\Sub\\", true, L"\\\\?\\C:\\Data\\Sub"},
      {"c:/a/./b/../c", true, L"\\\\?\\c:\\a\\c"},
      {"C:", true, L"\\\\?\\C:"},
      {"C:\\", true, L"\\\\?\\C:\\"},
      {"\\\\srv\\share\\d", true, L"\\\\?\\UNC\\srv\\share\\d"},
      {"//srv/share/d", true, L"\\srv\\share\\d"},
      {"rel\\dir", true, L"rel\\dir"},
      {"\\\\?\\UNC\\srv\\share", true, L"\\\\?\\UNC\\srv\\share"},
      {"\\\\?\\C:\\Data", true, L"\\\\?\\C:\\Data"},
      {"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy3\\x", true,
       L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy3\\x"},
      {"\\\\.\\C:", true, L"\\\\.\\C:"},
      {"/srv/scen/7", true, L"\\srv\\scen\\7"},
      {"C:\\Data\\Sub\\", false, L"C:\\Data\\Sub"},
      {"\\\\srv\\share\\d", false, L"\\\\srv\\share\\d"},
      {"", true, L""},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.in);
    EXPECT_EQ(to_wide(row.in, row.add_prefix), row.out);
  }
  std::wstring guid_wide(k_guid.begin(), k_guid.end());
  EXPECT_EQ(to_wide((k_volume + "/dir/").c_str(), true), L"\\\\?\\Volume" + guid_wide + L"\\dir\\");
  EXPECT_EQ(to_wide(nullptr, true), L"");
  EXPECT_EQ(to_wide("C:\\\xc3\xa9t\xc3\xa9", true), L"\\\\?\\C:\\\u00e9t\u00e9");
}

// A path made standard once (and names appended to it) converts without a second normalisation
// to what the full conversion makes of the path as given: the queries rely on it.
TEST(path_to_wide_char_path, a_standard_path_is_not_normalised_again) {
  const std::string inputs[] = {"C:\\Data\\Sub\\",  "c:/a/./b/../c", "C:",  "C:\\", "\\\\srv\\share\\d",
                                "//srv/share/d",       "rel\\dir",     "../up/./x", "\\\\?\\UNC\\srv\\share",
                                "\\\\?\\C:\\Data",   "/srv//scen/7/",  "/",   "/a/..", "C:/x/../../y",
                                k_volume + "/dir/",    "/t\xc3\xa9st/\xce\xb1"};
  for (const std::string& in : inputs) {
    for (const char* appended : {"", "/.mw_zq_prefix/stats.xml"}) {
      SCOPED_TRACE(in + appended);
      std::vector<char> standard(PATH_BUFFER_SIZE, '\0');
      path_n::standard_dir_path(in.c_str(), standard.data(), true);
      std::string made = standard.data();
      if (appended[0] != '\0') made += (!made.empty() && made.back() == '/' ? appended + 1 : appended);
      for (bool add_prefix : {true, false}) {
        std::vector<wchar_t> once(PATH_BUFFER_SIZE, L'#');
        path_n::standard_path_to_wide_char_path(made.c_str(), once.data(), add_prefix);
        std::vector<wchar_t> twice(PATH_BUFFER_SIZE, L'#');
        path_n::path_to_wide_char_path(made.c_str(), twice.data(), add_prefix);
        EXPECT_EQ(std::wstring(once.data()), std::wstring(twice.data()));
      }
    }
  }
}

TEST(path_to_wide_char_path, long_paths_stay_in_the_buffer) {
  std::string in = "C:\\" + std::string(5000, 'p');
  std::vector<wchar_t> out(PATH_BUFFER_SIZE + 8, L'#');
  path_n::path_to_wide_char_path(in.c_str(), out.data(), true);
  EXPECT_EQ(std::wstring(out.data()).size(), PATH_BUFFER_SIZE - 1);
  for (size_t i = PATH_BUFFER_SIZE; i < out.size(); ++i) EXPECT_EQ(out[i], L'#');
}

TEST(wide_char_path_to_path, converts_without_touching_separators) {
  std::vector<char> out(PATH_BUFFER_SIZE, '#');
  path_n::wide_char_path_to_path(L"\\\\?\\C:\\d\u00e9/x", out.data());
  EXPECT_STREQ(out.data(), "\\\\?\\C:\\d\xc3\xa9/x");
  path_n::wide_char_path_to_path(nullptr, out.data());
  EXPECT_STREQ(out.data(), "");
}

TEST(drive_name_from_path, roots) {
  struct row_s {
    std::string in;
    bool ok;
    std::string out;
  } rows[] = {
      {"e:", true, "E:\\"},
      {"d:\\x\\y", true, "D:\\"},
      {"x", false, ""},
      {"", false, ""},
      {"\\\\srv\\share\\a\\b", true, "\\\\srv\\share\\"},
      {"//srv/share", true, "//srv\\share\\"},
      {"\\\\?\\UNC\\srv\\share\\x", true, "\\\\?\\UNC\\srv\\share\\"},
      {"\\\\?\\C:\\dir", true, "\\\\?\\C:\\"},
      {k_volume + "/dir", true, k_volume + "\\"},
      {"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy12\\dir\\f", true,
       "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy12"},
      {"/srv/x", false, ""},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.in);
    std::vector<char> out(PATH_BUFFER_SIZE, '#');
    EXPECT_EQ(path_n::drive_name_from_path(row.in.c_str(), out.data()), row.ok);
    EXPECT_EQ(std::string(out.data()), row.out);
  }
  char out[8];
  EXPECT_FALSE(path_n::drive_name_from_path(nullptr, out));
}

TEST(unc_root_from_path, cuts_after_the_share) {
  struct row_s {
    const char* in;
    const char* out;
  } rows[] = {
      {"\\\\srv\\share\\a\\b", "\\\\srv\\share\\"}, {"\\\\srv\\share", "\\\\srv\\share\\"},
      {"\\\\srv\\share\\", "\\\\srv\\share\\"},     {"\\\\?\\UNC\\srv\\share", "\\\\?\\UNC\\srv\\share\\"},
      {"\\\\srv", "\\\\srv\\"},                     {"\\\\", "\\\\\\"},
      {"//srv/share/x", "//srv\\share\\"},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.in);
    std::vector<char> out(PATH_BUFFER_SIZE, '#');
    EXPECT_STREQ(path_n::unc_root_from_path(row.in, out.data()), row.out);
  }
}

TEST(path_queries, kinds_of_paths) {
  struct row_s {
    const char* path;
    bool unc, shadow, full;
  } rows[] = {
      {"\\\\srv\\x", true, false, true},
      {"\\\\.\\C:", true, false, true},
      {"\\\\?\\C:\\x", false, false, true},
      {"\\\\?\\unc\\srv\\x", true, false, true},
      {"//srv/x", true, false, true},
      {"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1", false, true, true},
      {"//?/GLOBALROOT/Device/HarddiskVolumeShadowCopy1/x", false, true, true},
      {"\\\\?\\GLOBALROOT\\Device\\harddiskvolumeshadowcopy1", false, false, true},
      {"C:\\x", false, false, true},
      {"c:/x", false, false, true},
      {"C:x", false, false, false},
      {"/srv", false, false, true},
      {"~/x", false, false, true},
      {"rel", false, false, false},
      {"\\\\", true, false, false},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(path_n::is_unc_path(row.path), row.unc);
    EXPECT_EQ(path_n::is_shadow_copy_path(row.path), row.shadow);
    EXPECT_EQ(path_n::is_full_path_name(row.path), row.full);
  }
  EXPECT_FALSE(path_n::is_unc_path(nullptr));
  EXPECT_FALSE(path_n::is_full_path_name(nullptr));
  char out[PATH_BUFFER_SIZE];
  EXPECT_EQ(path_n::get_root_volumeshadowcopy("C:\\x", out), nullptr);
}

TEST(file_from_path, last_component) {
  struct row_s {
    const char* path;
    const char* file;
  } rows[] = {{"C:\\d\\f.txt", "f.txt"}, {"a/b\\c", "c"}, {"a\\b/c", "c"}, {"plain", "plain"}, {"dir/", ""}};
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_STREQ(path_n::file_from_path(row.path), row.file);
  }
  EXPECT_EQ(path_n::file_from_path(static_cast<const char*>(nullptr)), nullptr);
}

TEST(is_file_in_dir, containment) {
  struct row_s {
    const char* dir;
    const char* file;
    bool case_sensitive, allow_same, inside;
  } rows[] = {
      {"C:\\a\\", "C:\\a\\b", true, false, true},
      {"C:\\a", "C:\\ab", true, false, false},
      {"C:\\a", "C:\\a", true, true, true},
      {"C:\\a", "C:\\a", true, false, false},
      {"C:\\A", "c:\\a\\b", true, false, false},
      {"C:\\A", "c:\\a\\b", false, false, true},
      {"C:\\A\\", "c:\\a", false, true, true},
      {"/srv/x", "/srv/x/y/z", true, false, true},
      {"/srv/x", "/srv/xy", false, false, false},
      {"C:\\\xc3\x84", "C:\\\xc3\xa4\\f", false, false, true},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(std::string(row.dir) + " / " + row.file);
    EXPECT_EQ(path_n::is_file_in_dir(row.dir, row.file, row.case_sensitive, row.allow_same), row.inside);
  }
  EXPECT_FALSE(path_n::is_file_in_dir(nullptr, "x", true, true));
}

TEST(streams, in_paths_and_to_files) {
  struct row_s {
    const char* file;
    const char* path;
    bool stream;
  } rows[] = {
      {"C:\\d\\f.txt", "C:\\d\\f.txt:info", true},
      {"c:\\D\\F.TXT", "C:\\d\\f.txt:info", true},
      {"C:\\d\\f.txt:info", "C:\\d\\f.txt:info", true},
      {"C:\\d\\f.txt", "C:\\d\\f.txt", false},
      {"C:\\d\\f", "C:\\d\\f.txt:info", false},
      {"C:\\d\\g.txt", "C:\\d\\f.txt:info", false},
      {"f", "f:s", false},
      {"ff", "ff:s", true},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(std::string(row.file) + " in " + row.path);
    EXPECT_EQ(path_n::is_stream_in_path(row.file, row.path), row.stream);
  }
  EXPECT_FALSE(path_n::is_stream_in_path(nullptr, "x:y"));

  struct to_file_s {
    const char* path;
    bool ok;
    const char* file;
  } to_files[] = {
      {"C:\\d\\f.txt:info", true, "C:\\d\\f.txt"},
      {"C:\\d\\f.txt:info:$DATA", true, "C:\\d\\f.txt"},
      {"rel\\f:s", true, "rel\\f"},
      {"C:\\d\\f.txt", false, ""},
      {"x", false, ""},
  };
  for (const to_file_s& row : to_files) {
    SCOPED_TRACE(row.path);
    std::vector<char> out(PATH_BUFFER_SIZE, '\0');
    EXPECT_EQ(path_n::stream_path_to_file(row.path, out.data()), row.ok);
    if (row.ok) {
      EXPECT_STREQ(out.data(), row.file);
    }
  }
}

class path_on_disk_test : public temp_dir_test {};

TEST_F(path_on_disk_test, short_names_and_volume_roots) {
  std::string sub = m_dir.path() + "/LongDirectoryName";
  write_text_file(m_dir.file("plain.txt"), "x");
  EXPECT_FALSE(path_n::is_short_name(m_dir.file("plain.txt").c_str()));
  EXPECT_FALSE(path_n::is_short_name(m_dir.file("missing.txt").c_str()));
  EXPECT_FALSE(path_n::is_short_name(nullptr));
  EXPECT_FALSE(path_n::is_volume_root(m_dir.path().c_str()));
  EXPECT_FALSE(path_n::is_volume_root(nullptr));
}

#if !defined(_WIN32)
// Drive letters resolve through the drive map here.
TEST_F(path_on_disk_test, drive_roots_are_volume_roots) {
  ASSERT_TRUE(drive_map_n::map("Q", m_dir.path()));
  EXPECT_TRUE(path_n::is_volume_root("Q:\\"));
  EXPECT_TRUE(path_n::is_volume_root("q:/"));
  EXPECT_FALSE(path_n::is_volume_root("Q:\\sub"));
  EXPECT_TRUE(path_n::is_volume_root("/"));
  drive_map_n::unmap("Q");
}
#endif

}  // namespace
