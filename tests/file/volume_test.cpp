// Whole volumes: the volume pseudo-name, volume images standing for drives, the lock, the boot
// sector's repair and signature at close, and the drive information.
#include "file/file.h"
#include "file/file_manipulation.h"
#include "file/fs_info.h"
#include "file/path_n.h"
#include "file/storage_info.h"
#include "platform/win32/drive_map.h"
#include "utl/utl_stream.h"

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace test_support_n;

namespace {

void put16(std::vector<unsigned char>& b, size_t at, unsigned v) {
  b[at] = static_cast<unsigned char>(v);
  b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void put32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}
unsigned get16(const std::vector<unsigned char>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t get32(const std::vector<unsigned char>& b, size_t at) { return get16(b, at) | (get16(b, at + 2) << 16); }

// A boot sector of the given file system (NTFS keeps its total at 40, the FATs at 32).
std::vector<unsigned char> boot_sector(const std::string& fs, unsigned bps, unsigned spt, unsigned heads,
                                       uint64_t total, unsigned signature) {
  std::vector<unsigned char> b(512, 0);
  b[0] = 0xEB;
  b[1] = 0x52;
  b[2] = 0x90;
  put16(b, 11, bps);
  b[13] = 8;
  put16(b, 24, spt);
  put16(b, 26, heads);
  put32(b, 28, 2048);
  if (fs == "NTFS") {
    put32(b, 40, static_cast<uint32_t>(total));
    put32(b, 44, static_cast<uint32_t>(total >> 32));
  } else {
    put32(b, 32, static_cast<uint32_t>(total));
  }
  put16(b, 510, signature);
  return b;
}

std::vector<unsigned char> read_bytes(const std::string& path, size_t n) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> b(n, 0);
  in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(n));
  return b;
}

disk_information_s disk(const wchar_t* fs, unsigned bps, unsigned spt, unsigned heads, bool consistent) {
  disk_information_s d;
  std::memset(&d, 0, sizeof d);
  d.geometry.BytesPerSector = bps;
  d.geometry.SectorsPerTrack = spt;
  d.geometry.TracksPerCylinder = heads;
  std::wcsncpy(d.file_system, fs, 15);
  d.consistent = consistent;
  return d;
}

TEST(storage_info, boot_sector_repair_per_file_system) {
  trace_reset_c reset;
  struct repair_case_s {
    const char* fs;
    const wchar_t* wide_fs;
    unsigned geometry_bps;
    size_t total_at;
    uint32_t total_after;
  } cases[] = {{"NTFS", L"NTFS", 4096, 40, 1000}, {"FAT32", L"FAT32", 4096, 32, 1000}, {"FAT", L"FAT", 512, 32, 8000}};
  for (const repair_case_s& c : cases) {
    SCOPED_TRACE(c.fs);
    std::vector<unsigned char> saved = boot_sector(c.fs, 512, 63, 255, 8000, BOOT_SIGNATURE_CONSISTENT);
    saved[13] = 16;
    std::vector<unsigned char> current = boot_sector(c.fs, 512, 32, 16, 8000, BOOT_SIGNATURE_CONSISTENT);
    zqtr_capture_c capture;
    EXPECT_EQ(storage_info_n::correct_boot_sector(current.data(), 512, disk(c.wide_fs, c.geometry_bps, 63, 255, false),
                                                  saved.data()),
              1);
    EXPECT_EQ(get16(current, 11), c.geometry_bps);
    EXPECT_EQ(current[13], 16);
    EXPECT_EQ(get16(current, 24), 63u);
    EXPECT_EQ(get16(current, 26), 255u);
    EXPECT_EQ(get32(current, c.total_at), c.total_after);
    EXPECT_EQ(get16(current, 510), static_cast<unsigned>(BOOT_SIGNATURE_INCONSISTENT));
    EXPECT_EQ(capture.has(ZQTR_PROGRESS, std::string("Adjust the total sector to ") + std::to_string(c.total_after) + "."),
              c.geometry_bps != 512);
    uint64_t total = 0;
    ASSERT_TRUE(storage_info_n::get_volume_total_sectors(current.data(), c.wide_fs, &total));
    EXPECT_EQ(total, c.total_after);
  }
}

TEST(storage_info, a_matching_boot_sector_is_up_to_date_and_odd_input_is_refused) {
  trace_reset_c reset;
  std::vector<unsigned char> saved = boot_sector("NTFS", 512, 63, 255, 2048, BOOT_SIGNATURE_CONSISTENT);
  std::vector<unsigned char> current = saved;
  zqtr_capture_c capture;
  EXPECT_EQ(storage_info_n::correct_boot_sector(current.data(), 512, disk(L"NTFS", 512, 63, 255, true), saved.data()), 0);
  EXPECT_EQ(current, saved);
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS,
                          "Current boot code, SectorsPerTrack[63], SectorsPerCluster[8], Number of Headers[255], "
                          "BytesPerSec[512], HiddenSectors[2048], TotalSectors[2048], Marker[43605]."));
  EXPECT_EQ(storage_info_n::correct_boot_sector(current.data(), 511, disk(L"NTFS", 512, 63, 255, true), saved.data()), -2);
  EXPECT_EQ(storage_info_n::correct_boot_sector(current.data(), 512, disk(L"ReFS", 512, 63, 255, true), saved.data()), -1);
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "unsupported file system ReFS."));
  EXPECT_EQ(storage_info_n::correct_boot_sector(current.data(), 512, disk(L"NTFS", 0, 63, 255, false), saved.data()), -1);
}

TEST(storage_info, the_signature_tells_whether_the_content_is_consistent) {
  trace_reset_c reset;
  struct consistency_case_s {
    const wchar_t* fs;
    unsigned signature;
    bool answered;
    bool consistent;
  } cases[] = {{L"NTFS", BOOT_SIGNATURE_CONSISTENT, true, true}, {L"FAT32", BOOT_SIGNATURE_INCONSISTENT, true, false},
               {L"FAT", 0x1234, true, true},                     {L"", BOOT_SIGNATURE_INCONSISTENT, true, false},
               {L"exFAT", BOOT_SIGNATURE_INCONSISTENT, false, true}};
  for (const consistency_case_s& c : cases) {
    SCOPED_TRACE(c.signature);
    std::vector<unsigned char> b = boot_sector("NTFS", 512, 63, 255, 1, c.signature);
    bool consistent = false;
    zqtr_capture_c capture;
    EXPECT_EQ(storage_info_n::consistency_of_bs(b.data(), c.fs, &consistent), c.answered);
    EXPECT_EQ(consistent, c.consistent);
    if (c.fs[0] == L'\0') {
      EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "FS type unknown, assume as NTFS."));
    }
  }
}

TEST(volume_path, the_volume_pseudo_name_resolves_to_the_volume) {
  struct resolve_case_s {
    const char* path;
    bool resolved;
    const char* result;
  } cases[] = {
      {"D:\\$$zq-volume", true, "\\\\.\\D:"},
      {"d:/$$zq-volume", true, "\\\\.\\d:"},
      {"D:\\\\$$zq-volume", true, "\\\\.\\D:"},
      {"\\\\?\\D:\\$$zq-volume", true, "\\\\?\\D:"},
      {"\\\\srv\\share\\$$zq-volume", true, "\\\\srv\\share"},
      {"\\\\?\\Volume{01234567-89ab-cdef-0123-456789abcdef}\\$$zq-volume", true,
       "\\\\?\\Volume{01234567-89ab-cdef-0123-456789abcdef}"},
      {"C:\\data\\file.txt", false, "C:\\data\\file.txt"},
      {"zq-volume", false, "zq-volume"},
      {"Q:\\no\\such\\mount\\$$zq-volume", false, "Q:\\no\\such\\mount\\$$zq-volume"},
  };
  for (const resolve_case_s& c : cases) {
    SCOPED_TRACE(c.path);
    utl_stream_c text;
    text << c.path;
    EXPECT_EQ(path_n::resolve_volume_path(text), c.resolved);
    EXPECT_STREQ(text.c_str(), c.result);
    wchar_t wide_path[PATH_BUFFER_SIZE];
    for (size_t i = 0; i <= std::strlen(c.path); ++i) wide_path[i] = static_cast<wchar_t>(c.path[i]);
    EXPECT_EQ(path_n::resolve_volume_path(wide_path), c.resolved);
    std::wstring expected(c.result, c.result + std::strlen(c.result));
    EXPECT_EQ(std::wstring(wide_path), expected);
  }
}

// Volumes kept in image files stand for drives on POSIX.
class volume_test : public temp_dir_test {
 protected:
  void SetUp() override {
    volume_file_c::set_retry_pauses(1, 1);
    file_system_info_n::clear_cache();
  }
  void TearDown() override {
    drive_map_n::clear();
    file_system_info_n::clear_cache();
    volume_file_c::set_retry_pauses(30000, 1000);
  }
  // A 1 MiB volume image mapped as drive letter; false where volumes cannot be mapped.
  bool map(char letter, const std::string& fs, const std::vector<unsigned char>& boot, uint32_t flags = 0xF,
           uint32_t spt = 63) {
    m_image = m_dir.file(std::string("volume_") + letter + ".img");
    std::vector<unsigned char> content(1 << 20, 0);
    std::copy(boot.begin(), boot.end(), content.begin());
    for (size_t i = 512; i < content.size(); ++i) content[i] = static_cast<unsigned char>(i * 7);
    std::ofstream(m_image, std::ios::binary).write(reinterpret_cast<const char*>(content.data()),
                                                   static_cast<std::streamsize>(content.size()));
    drive_map_n::volume_image_s image;
    image.image = m_image;
    image.file_system = fs;
    image.file_system_flags = flags;
    image.sectors_per_track = spt;
    std::string directory = m_dir.file(std::string("drive_") + letter);
    file_manipulation_n::create_directory(directory.c_str(), false);
    return drive_map_n::map_volume(std::string(1, letter), directory, image);
  }
  std::string m_image;
  trace_reset_c m_trace;
};

#define MAP_OR_SKIP(...) \
  if (!map(__VA_ARGS__)) GTEST_SKIP() << "volume images stand for drives only in the POSIX layer (not on Windows or Wine)"

TEST_F(volume_test, a_volume_opened_for_writing_is_locked_and_exclusive) {
  MAP_OR_SKIP('D', "NTFS", boot_sector("NTFS", 512, 63, 255, 2048, BOOT_SIGNATURE_CONSISTENT));
  zqtr_capture_c capture;
  FILE_c volume;
  ASSERT_TRUE(volume.open("D:\\$$zq-volume", "w", nullptr, ZQ_OPEN_READ_AHEAD));
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "change mode from 'w' to 'r+' if it is volume: D:\\$$zq-volume (\\\\.\\D:)"));
  EXPECT_EQ(volume.flags(), static_cast<unsigned>(ZQ_OPEN_READ_AHEAD | 0x0E9) & ~static_cast<unsigned>(ZQ_OPEN_READ_AHEAD));
  EXPECT_TRUE(volume.is_volume());
  EXPECT_TRUE(volume.volume_locked());
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "Successfully to lock volume D:\\$$zq-volume."));
  EXPECT_EQ(volume.size(), 1u << 20);
  EXPECT_STREQ(volume.file_system_name(), L"NTFS");
  EXPECT_EQ(volume.cluster_size(), 8u * 512u);
  EXPECT_TRUE(volume.is_consistent());
  EXPECT_EQ(volume.tell(), 0u);
  // Shared with nobody.
  FILE_c second;
  EXPECT_FALSE(second.open("D:\\$$zq-volume", "r", nullptr, 0));
  // Reading through the volume: raw sectors.
  unsigned char sector[512];
  ASSERT_TRUE(volume.seek(512));
  ASSERT_EQ(volume.read(sector, sizeof sector), sizeof sector);
  EXPECT_EQ(sector[0], static_cast<unsigned char>(512 * 7));
  EXPECT_TRUE(volume.close());
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "Successfully to unlock volume D:\\$$zq-volume.")) << ::testing::PrintToString(capture.texts());
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "boot sector is up to date D:\\$$zq-volume."));
}

TEST_F(volume_test, a_second_lock_is_refused_after_five_attempts) {
  MAP_OR_SKIP('E', "NTFS", boot_sector("NTFS", 512, 63, 255, 2048, BOOT_SIGNATURE_CONSISTENT));
  FILE_c holder;
  ASSERT_TRUE(holder.open("E:\\$$zq-volume", "r+", nullptr, 0));
  zqtr_capture_c capture;
  FILE_c other;
  EXPECT_FALSE(other.open("E:/$$zq-volume", "r+", nullptr, 0));
  EXPECT_FALSE(other.is_open());
  int refusals = 0;
  for (const std::string& text : capture.texts()) {
    if (text.rfind("Unable to lock volume E:/$$zq-volume, 5.", 0) == 0) ++refusals;
  }
  EXPECT_EQ(refusals, 5);
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to lock volume E:/$$zq-volume, dismount it and try again."));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to lock volume E:/$$zq-volume for write"));
  // Reading needs no lock.
  FILE_c reader;
  EXPECT_TRUE(reader.open("E:\\$$zq-volume", "r", nullptr, 0));
  EXPECT_FALSE(reader.volume_locked());
  EXPECT_FALSE(reader.mark_consistent(true));
  EXPECT_TRUE(reader.close());
  EXPECT_TRUE(holder.close());
  EXPECT_TRUE(other.open("E:\\$$zq-volume", "r+", nullptr, 0));
}

TEST_CHILD_ROLE(volume_holder) {
  if (args.size() != 4) return 2;
  drive_map_n::volume_image_s image;
  image.image = args[0];
  if (!drive_map_n::map_volume("V", args[1], image)) return 3;
  FILE_c volume;
  if (!volume.open("V:\\$$zq-volume", "r+", nullptr, 0)) return 4;
  write_text_file(args[2], "ready");
  for (int i = 0; i < 3000 && !file_exists(args[3]); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return volume.close() ? 0 : 5;
}

TEST_F(volume_test, the_lock_holds_against_another_process) {
  MAP_OR_SKIP('V', "NTFS", boot_sector("NTFS", 512, 63, 255, 2048, BOOT_SIGNATURE_CONSISTENT));
  child_process_c child("volume_holder", {m_image, m_dir.file("drive_V"), m_dir.file("ready"), m_dir.file("stop")});
  ASSERT_TRUE(child.started());
  for (int i = 0; i < 1000 && !file_exists(m_dir.file("ready")); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(file_exists(m_dir.file("ready")));
  FILE_c mine;
  EXPECT_FALSE(mine.open("V:\\$$zq-volume", "r+", nullptr, 0));
  write_text_file(m_dir.file("stop"), "");
  EXPECT_EQ(child.wait(), 0);
  EXPECT_TRUE(mine.open("V:\\$$zq-volume", "r+", nullptr, 0));
  EXPECT_TRUE(mine.close());
}

TEST_F(volume_test, close_writes_the_consistency_signature) {
  MAP_OR_SKIP('F', "NTFS", boot_sector("NTFS", 512, 63, 255, 2048, BOOT_SIGNATURE_CONSISTENT));
  {
    FILE_c volume;
    ASSERT_TRUE(volume.open("F:\\$$zq-volume", "r+", nullptr, 0));
    EXPECT_TRUE(volume.mark_consistent(false));
    EXPECT_TRUE(volume.close());
  }
  std::vector<unsigned char> boot = read_bytes(m_image, 512);
  EXPECT_EQ(boot[510], 0x51);
  EXPECT_EQ(boot[511], 0x5A);
  bool consistent = true;
  EXPECT_TRUE(storage_info_n::consistency_of_bs(boot.data(), L"NTFS", &consistent));
  EXPECT_FALSE(consistent);
  {
    FILE_c volume;
    ASSERT_TRUE(volume.open("F:\\$$zq-volume", "r+", nullptr, 0));
    EXPECT_FALSE(volume.is_consistent());
    EXPECT_TRUE(volume.mark_consistent(true));
    EXPECT_TRUE(volume.close());
  }
  boot = read_bytes(m_image, 512);
  EXPECT_EQ(get16(boot, 510), static_cast<unsigned>(BOOT_SIGNATURE_CONSISTENT));
  // Data beyond the boot sector is untouched.
  std::vector<unsigned char> more = read_bytes(m_image, 1024);
  EXPECT_EQ(more[512], static_cast<unsigned char>(512 * 7));
}

TEST_F(volume_test, close_brings_the_boot_sector_in_line_with_the_disk_and_extends_the_volume) {
  // The boot sector says 32 sectors per track; the disk says 63.
  MAP_OR_SKIP('G', "FAT32", boot_sector("FAT32", 512, 32, 255, 2048, BOOT_SIGNATURE_CONSISTENT), 0xF, 63);
  zqtr_capture_c capture;
  FILE_c volume;
  ASSERT_TRUE(volume.open("G:\\$$zq-volume", "r+", nullptr, 0));
  EXPECT_TRUE(volume.close());
  std::vector<unsigned char> boot = read_bytes(m_image, 512);
  EXPECT_EQ(get16(boot, 24), 63u);
  EXPECT_EQ(get32(boot, 32), 2048u);
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "successfully update boot sector G:\\$$zq-volume."));
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "Original total sectors[2048], current total sectors[2048]."));
  EXPECT_TRUE(capture.has(ZQTR_PROGRESS, "Succeed to resize volume[\\\\.\\G:], total sectors[2048]."));
  ULARGE_INTEGER total;
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"G:\\", nullptr, &total, nullptr));
  EXPECT_EQ(total.QuadPart, 2048u * 512u);
}

TEST_F(volume_test, a_reading_open_keeps_nothing_of_an_earlier_writing_open) {
  MAP_OR_SKIP('H', "FAT32", boot_sector("FAT32", 512, 63, 255, 2048, BOOT_SIGNATURE_CONSISTENT), 0xF, 63);
  FILE_c volume;
  ASSERT_TRUE(volume.open("H:\\$$zq-volume", "r+", nullptr, 0));
  EXPECT_TRUE(volume.close());
  EXPECT_EQ(volume.volume_total_sectors(), 0u);
  // A reader takes no lock and so must neither repair nor extend the volume at its close.
  ULARGE_INTEGER before;
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"H:\\", nullptr, &before, nullptr));
  zqtr_capture_c capture;
  ASSERT_TRUE(volume.open("H:\\$$zq-volume", "r", nullptr, 0));
  EXPECT_FALSE(volume.volume_locked());
  EXPECT_TRUE(volume.close());
  for (const std::string& text : capture.texts()) EXPECT_EQ(text.find("extend"), std::string::npos) << text;
  EXPECT_FALSE(capture.has(ZQTR_PROGRESS, "Original total sectors[2048], current total sectors[2048]."));
  ULARGE_INTEGER after;
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"H:\\", nullptr, &after, nullptr));
  EXPECT_EQ(after.QuadPart, before.QuadPart);
}

TEST_F(volume_test, drive_information_of_a_volume) {
  MAP_OR_SKIP('H', "NTFS", boot_sector("NTFS", 512, 63, 255, 2048, BOOT_SIGNATURE_CONSISTENT), 0x1F);
  EXPECT_EQ(file_system_info_n::get_fs_type("H:\\dir\\file"), 'N');
  EXPECT_TRUE(file_system_info_n::supports_compression("H:\\file"));
  char guid[PATH_BUFFER_SIZE];
  ASSERT_TRUE(file_system_info_n::get_volume_name_for_volume_mount_point("H:/", guid));
  std::string first = guid;
  EXPECT_EQ(first.rfind("\\\\?\\Volume{", 0), 0u);
  EXPECT_EQ(first.substr(first.size() - 2), "}\\");
  ASSERT_TRUE(file_system_info_n::get_volume_name_for_volume_mount_point("H:", guid));
  EXPECT_EQ(first, guid);
  EXPECT_TRUE(file_manipulation_n::if_exists(first.c_str(), nullptr));  // the GUID path opens the volume
  EXPECT_FALSE(file_system_info_n::get_volume_name_for_volume_mount_point(m_dir.path().c_str(), guid));
  EXPECT_FALSE(file_system_info_n::get_volume_name_for_volume_mount_point("", guid));
  unsigned cluster = 0;
  EXPECT_EQ(file_manipulation_n::bytes_per_sector("H:\\x", &cluster), 512u);
  EXPECT_EQ(cluster, 4096u);
}

TEST_F(volume_test, file_system_type_codes) {
  struct type_case_s {
    const char* fs;
    uint32_t flags;
    int code;
  } cases[] = {{"NTFS", 0xF, 'N'}, {"FAT32", 0x6, 'F'}, {"exFAT", 0x4, 'F'}, {"exFAT", 0x3, '?'}, {"ReFS", 0x4, 'E'},
               {"UDF", 0xF, '?'}};
  for (const type_case_s& c : cases) {
    SCOPED_TRACE(std::string(c.fs) + " " + std::to_string(c.flags));
    file_system_info_n::clear_cache();
    MAP_OR_SKIP('J', c.fs, boot_sector("NTFS", 512, 63, 255, 2048, BOOT_SIGNATURE_CONSISTENT), c.flags);
    EXPECT_EQ(file_system_info_n::get_fs_type("J:\\"), c.code);
  }
}

}  // namespace

namespace {

TEST(query_file_system_name, names_the_file_system_under_an_open_file) {
  temp_dir_c dir;
  std::string path = dir.file("any.txt");
  write_text_file(path, "x");
  HANDLE file = open_test_file(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  wchar_t name[16];
  std::wmemset(name, L'#', 16);
  EXPECT_TRUE(query_file_system_name(name, file));
  EXPECT_NE(name[0], L'\0');
  EXPECT_EQ(name[15], L'\0');  // zero-filled behind the name
  CloseHandle(file);
  EXPECT_FALSE(query_file_system_name(name, INVALID_HANDLE_VALUE));
}

}  // namespace
