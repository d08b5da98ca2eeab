#include "file/path_n.h"

#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string k_guid = "{01234567-89ab-cdef-0123-456789abcdef}";
const std::string k_volume = "\\\\?\\Volume" + k_guid;  // 48 characters

// A PATH_BUFFER_SIZE output buffer followed by guard bytes that must stay untouched.
class guarded_buffer_c {
 public:
  guarded_buffer_c() : m_bytes(PATH_BUFFER_SIZE + k_guard, '#') {}
  char* data() { return m_bytes.data(); }
  std::string text() const { return std::string(m_bytes.data()); }
  bool guard_intact() const {
    for (size_t i = PATH_BUFFER_SIZE; i < m_bytes.size(); ++i) {
      if (m_bytes[i] != '#') return false;
    }
    return true;
  }

 private:
  static const size_t k_guard = 64;
  std::vector<char> m_bytes;
};

struct row_s {
  std::string in;
  bool skip_prefix;
  bool ok;
  std::string out;
};

void check(const std::vector<row_s>& rows) {
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.in + (row.skip_prefix ? " (skip prefix)" : " (keep prefix)"));
    guarded_buffer_c ret;
    std::memset(ret.data(), 0, PATH_BUFFER_SIZE);
    EXPECT_EQ(path_n::standard_dir_path(row.in.c_str(), ret.data(), row.skip_prefix), row.ok);
    EXPECT_EQ(ret.text(), row.out);
    EXPECT_TRUE(ret.guard_intact());
  }
}

TEST(standard_dir_path, documented_examples) {
  check({
      {"C:\\Data\\\\Sub\\", true, true, "C:/Data/Sub"},
      {"\\\\?\\C:\\Data", true, true, "C:/Data"},
      {"\\\\?\\C:\\Data", false, true, "\\\\?\\C:/Data"},
      {"\\\\server\\share\\dir\\", true, true, "\\\\server\\share/dir"},
      {"\\\\?\\UNC\\server\\share\\x", true, true, "\\\\?\\UNC\\server\\share/x"},
      {"\\\\?\\unc\\server\\share\\x", false, true, "\\\\?\\unc\\server\\share/x"},
      {"//server/share", true, true, "/server/share"},
      {"C:\\a\\.\\b\\..\\c", true, true, "C:/a/c"},
  });
}

TEST(standard_dir_path, drives_and_short_paths) {
  check({
      {"C:", true, true, "C:"},
      {"c:", true, true, "c:"},
      {"c:\\", true, true, "c:/"},
      {"C:\\\\", true, true, "C:/"},
      {"C:\\dir\\", true, true, "C:/dir"},
      {"c:\\Data\\MiXed", true, true, "c:/Data/MiXed"},
      {"C", true, false, "C"},
      {"\\", true, false, "/"},
      {"", true, false, ""},
      {"/x", true, true, "/x"},
      {"a\\\\\\b//c", true, true, "a/b/c"},
      {"\\\\?\\UNC\\srv", true, true, "\\\\?\\UNC\\srv"},
      {"\\\\srv", true, true, "\\\\srv"},
  });
}

TEST(standard_dir_path, dots_are_resolved) {
  check({
      {"a\\.\\b", true, true, "a/b"},
      {"a/../b", true, true, "b"},
      {"a/.git", true, true, "a/.git"},
      {".x", true, true, ".x"},
      {"./x/.", true, true, "x"},
      {"a/..", true, true, "."},
      {"C:\\a\\..", true, true, "C:/"},
      {"C:/a/./b/", true, true, "C:/a/b"},
      {"a/b/../../c/..", true, true, "."},
      {"/a/b/..", true, true, "/a"},
      {"C:\\a...\\b..", true, true, "C:/a.../b.."},
  });
}

// A ".." never climbs above a root, and a relative path keeps the ".." it cannot resolve.
TEST(standard_dir_path, dot_dot_stops_at_the_root) {
  check({
      {"C:\\..", true, true, "C:/"},
      {"C:\\a\\..\\..", true, true, "C:/"},
      {"C:\\a\\..\\..\\b", true, true, "C:/b"},
      {"/..", true, true, "/"},
      {"/a/../../..", true, true, "/"},
      {"/../x", true, true, "/x"},
      {"..\\dir", true, true, "../dir"},
      {"..\\..\\x\\..\\y", true, true, "../../y"},
      {"a\\..\\..", true, true, ".."},
      {"\\\\server\\share\\x\\..\\..", true, true, "\\\\server\\share"},
      {"\\\\?\\C:\\a\\..\\..", false, true, "\\\\?\\C:"},
  });
}

TEST(standard_dir_path, volume_and_device_paths) {
  check({
      {k_volume + "\\dir\\", true, true, k_volume + "/dir"},
      {k_volume + "\\", true, true, k_volume},
      {"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy4", true, true,
       "GLOBALROOT/Device/HarddiskVolumeShadowCopy4/"},
      {"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy4", false, true,
       "\\\\?\\GLOBALROOT/Device/HarddiskVolumeShadowCopy4/"},
      {"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy4\\dir\\", true, true,
       "GLOBALROOT/Device/HarddiskVolumeShadowCopy4/dir/"},
      {"GLOBALROOT\\Device\\HarddiskVolume1\\a\\..", true, true, "GLOBALROOT/Device/HarddiskVolume1/a/.."},
      {"globalroot\\device\\HarddiskVolume1\\", true, true, "globalroot/device/HarddiskVolume1"},
  });
}

TEST(standard_dir_path, null_arguments_fail_with_a_message) {
  zqtr_capture_c capture;
  char ret[PATH_BUFFER_SIZE] = {};
  EXPECT_FALSE(path_n::standard_dir_path(nullptr, ret, true));
  EXPECT_FALSE(path_n::standard_dir_path("C:\\x", nullptr, true));
  auto records = capture.records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].text, "standard_dir_path->dir is null or ret is null \n");
  EXPECT_EQ(records[0].level, 128u);
  EXPECT_EQ(records[0].scope, "path_n::standard_dir_path");
  EXPECT_EQ(records[0].file, "file");
}

TEST(standard_dir_path, overlong_input_is_cut_at_the_buffer) {
  std::string in = "C:\\" + std::string(6000, 'a');
  guarded_buffer_c ret;
  EXPECT_TRUE(path_n::standard_dir_path(in.c_str(), ret.data(), true));
  EXPECT_EQ(ret.text().size(), PATH_BUFFER_SIZE - 1);
  EXPECT_EQ(ret.text().substr(0, 5), "C:/aa");
  EXPECT_TRUE(ret.guard_intact());

  // Dots near the limit go through the resolution without passing the buffer either.
  std::string dotted;
  while (dotted.size() < 5000) dotted += "seg\\.\\..\\x\\";
  guarded_buffer_c ret2;
  EXPECT_TRUE(path_n::standard_dir_path(dotted.c_str(), ret2.data(), true));
  EXPECT_TRUE(ret2.guard_intact());
  EXPECT_EQ(ret2.text().find(".."), std::string::npos);
  EXPECT_EQ(ret2.text().substr(0, 4), "x/x/");
}

TEST(standard_dir_path, device_path_without_room_for_its_separator_fails) {
  zqtr_capture_c capture(ZQTR_FAIL);
  std::string head = "GLOBALROOT\\Device\\";
  std::string in = head + std::string(PATH_BUFFER_SIZE - 1 - head.size(), 'V');
  ASSERT_EQ(in.size(), PATH_BUFFER_SIZE - 1);
  guarded_buffer_c ret;
  EXPECT_FALSE(path_n::standard_dir_path(in.c_str(), ret.data(), true));
  EXPECT_TRUE(ret.guard_intact());
  EXPECT_EQ(ret.text().size(), PATH_BUFFER_SIZE - 1);
  ASSERT_EQ(capture.records().size(), 1u);
  EXPECT_EQ(capture.records()[0].text.rfind("Unable to complete the device path GLOBALROOT/Device/VVV", 0), 0u);

  // One character shorter, the separator fits.
  in.pop_back();
  guarded_buffer_c ret2;
  EXPECT_TRUE(path_n::standard_dir_path(in.c_str(), ret2.data(), true));
  EXPECT_EQ(ret2.text().size(), PATH_BUFFER_SIZE - 1);
  EXPECT_EQ(ret2.text().back(), '/');
}

TEST(normalize_path, works_in_place) {
  struct nrow_s {
    const char* in;
    const char* out;
  } rows[] = {
      {"a/./b", "a/b"}, {"/a/../b", "/b"}, {"C:/x/..", "C:/"}, {"./.", "."},
      {"C:/..", "C:/"}, {"../a/../..", "../.."}, {"a//b", "a/b"}, {"/", "/"},
  };
  for (const nrow_s& row : rows) {
    SCOPED_TRACE(row.in);
    guarded_buffer_c path;
    std::strcpy(path.data(), row.in);
    path_n::_normalize_path(path.data());
    EXPECT_EQ(path.text(), row.out);
    EXPECT_TRUE(path.guard_intact());
  }
  path_n::_normalize_path(nullptr);
}

TEST(is_volume_guid_path, shapes) {
  struct vrow_s {
    std::string path;
    bool prefix_only;
    bool full;
  } rows[] = {
      {k_volume, true, true},
      {k_volume + "\\", true, true},
      {k_volume + "/", true, true},
      {k_volume + "\\dir", true, false},
      {"//./volume" + k_guid, true, true},
      {"\\\\.\\VOLUME" + k_guid, true, true},
      {k_volume.substr(0, 47), false, false},
      {"\\\\x\\Volume" + k_guid, false, false},
      {"\\\\?\\Volumx" + k_guid, false, false},
      {"C:\\Volume" + k_guid + "x", false, false},
  };
  for (const vrow_s& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(path_n::is_volume_guid_path(row.path.c_str(), true), row.prefix_only);
    EXPECT_EQ(path_n::is_volume_guid_path(row.path.c_str(), false), row.full);
  }
  EXPECT_FALSE(path_n::is_volume_guid_path(nullptr, true));
  EXPECT_EQ(path_n::volume_guid_name_length, 48u);
}

}  // namespace
