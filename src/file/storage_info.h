// Volumes and their boot sectors: the boot-sector repair after raw writes, the consistency
// signature, the volume's total sectors and its extension, and the lock of a volume in use.
#ifndef STATS_MNG_FILE_STORAGE_INFO_H
#define STATS_MNG_FILE_STORAGE_INFO_H

#include "platform/win32/win32_api.h"

#include <cstdint>

class basic_file_c;

// Boot-sector signatures at offset 510.
constexpr uint16_t BOOT_SIGNATURE_CONSISTENT = 0xAA55;
constexpr uint16_t BOOT_SIGNATURE_INCONSISTENT = 0x5A51;

// What the repair compares a boot sector with.
struct disk_information_s {
  DISK_GEOMETRY geometry;
  wchar_t file_system[16];
  bool consistent;
};

namespace storage_info_n {

// 1 changed, 0 already right, -1 unsupported file system (or no usable geometry), -2 a buffer
// smaller than 512 bytes.
int correct_boot_sector(unsigned char* boot_sector, unsigned size, const disk_information_s& disk,
                        const unsigned char* saved_boot_sector);
int _correct_boot_sector_ntfs(unsigned char* boot_sector, unsigned size, const disk_information_s& disk,
                              const unsigned char* saved_boot_sector);
int _correct_boot_sector_fat32(unsigned char* boot_sector, unsigned size, const disk_information_s& disk,
                               const unsigned char* saved_boot_sector);
int _correct_boot_sector_fat(unsigned char* boot_sector, unsigned size, const disk_information_s& disk,
                             const unsigned char* saved_boot_sector);
bool get_volume_total_sectors(const unsigned char* boot_sector, const wchar_t* file_system, uint64_t* total);
bool consistency_of_bs(const unsigned char* boot_sector, const wchar_t* file_system, bool* consistent);
bool extend_volume(const char* volume_path, int64_t total_sectors);

}  // namespace storage_info_n

// The file-system name of an open volume (at most 15 characters, zero-filled).
bool query_file_system_name(wchar_t name[16], HANDLE volume);

// The boot-sector steps on an open volume, worked through the file that has it open: FILE_c makes
// one at close and hands itself over as its base, with the file system and sector size it found,
// so this piece needs nothing of the file object above it.
class volume_file_c {
 public:
  // file_system: the volume's file system name (the caller keeps it while this lives);
  // sector_size: its sector size (0: 512).
  volume_file_c(basic_file_c* file, const wchar_t* file_system, unsigned sector_size);
  virtual ~volume_file_c();
  volume_file_c(const volume_file_c&) = delete;
  volume_file_c& operator=(const volume_file_c&) = delete;

  bool correct_boot_sector(const unsigned char* saved_boot_sector, bool consistent);
  bool get_total_sectors(uint64_t* total);
  static bool _lock_volume(HANDLE volume, const char* name, bool* locked);
  static bool unlock_volume(HANDLE volume, const char* name, bool* locked);

  // The pause after a refused lock (30 s) and after a refused unlock (1 s); tests shorten them.
  static void set_retry_pauses(unsigned lock_ms, unsigned unlock_ms);

 private:
  // Steps shared by both operations: geometry, file system, the boot sector read at 0.
  unsigned char* _read_boot_sector(DISK_GEOMETRY* geometry, uint64_t* remembered, unsigned* sector);
  void _seek_back(uint64_t remembered);

  basic_file_c* m_file;
  const wchar_t* m_file_system;
  unsigned m_sector_size;
  unsigned char* m_buffer;
  uint32_t m_buffer_size;
  [[maybe_unused]] uint64_t m_reserved[2] = {0, 0};
};

#endif
