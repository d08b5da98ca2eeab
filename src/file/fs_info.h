// What the system knows about drives: kind, file system, sector size and volume names, cached per
// root for the life of the process.
#ifndef STATS_MNG_FILE_FS_INFO_H
#define STATS_MNG_FILE_FS_INFO_H

#include "platform/win32/win32_api.h"

#include <cstdint>

namespace file_system_info_n {

class drive_info_c {
 public:
  drive_info_c() = default;
  virtual ~drive_info_c();
  drive_info_c(const drive_info_c&) = delete;
  drive_info_c& operator=(const drive_info_c&) = delete;

  bool init(const char* root);
  void clear();

  const char* root() const { return m_root; }
  const char* volume_name() const { return m_volume_name; }
  int type_code() const { return m_type_code; }
  uint32_t fs_flags() const { return m_fs_flags; }
  uint32_t bytes_per_sector() const { return m_bytes_per_sector; }
  uint32_t drive_type() const { return m_drive_type; }
  const char* dos_device() const { return m_dos_device; }

 private:
  char* m_root = nullptr;
  char* m_volume_name = nullptr;
  int m_type_code = '-';
  uint32_t m_fs_flags = 0;
  uint32_t m_bytes_per_sector = 0;
  uint32_t m_drive_type = 0;
  char* m_dos_device = nullptr;
};

// The file-system type code of the drive under path: 'F' FAT, 'N' NTFS, 'E' ReFS, '?' other,
// '-' unknown. When every cached drive has the same code, that code.
int get_fs_type(const char* path);
// Whether the file system under path can compress files.
bool supports_compression(const char* path);
// The volume GUID path ("\\?\Volume{...}\") of a mount point directory.
bool get_volume_name_for_volume_mount_point(const char* mount_point, char* volume_name);
// Empties the drive cache.
void clear_cache();

}  // namespace file_system_info_n

#endif
