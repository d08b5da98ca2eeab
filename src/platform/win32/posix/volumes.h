// Volume images of the POSIX layer: a drive letter may stand for a whole volume kept in a file.
#ifndef STATS_MNG_PLATFORM_WIN32_POSIX_VOLUMES_H
#define STATS_MNG_PLATFORM_WIN32_POSIX_VOLUMES_H

#include "platform/win32/drive_map.h"
#include "platform/win32/win32_api.h"

#include <string>

namespace posix_volumes_n {

struct volume_s {
  char letter = 0;
  drive_map_n::volume_image_s image;
  uint64_t total_sectors = 0;  // recorded by an extension; 0 until then
  std::wstring guid_path;      // "\\?\Volume{...}\"
};

void add(char letter, const drive_map_n::volume_image_s& image);
void remove(char letter);
void clear();

// The volume a device path opens: \\.\X:, \\?\X: (nothing after the colon), \\?\Volume{...} with
// at most one trailing separator.
bool find_device(LPCWSTR path, volume_s& out);
// The volume whose root a path names (X:\, \\?\X:\, \\.\X:\ or the GUID path), for the queries.
bool find_root(LPCWSTR path, volume_s& out);
bool find_letter(char letter, volume_s& out);
bool record_total_sectors(char letter, uint64_t total);

// The volume's size in bytes: the recorded total, else the image file's size.
uint64_t total_bytes(const volume_s& volume);

// The name of a Linux file system by its statfs type ("ext4", "tmpfs" ...).
const wchar_t* linux_fs_name(unsigned long type);

}  // namespace posix_volumes_n

#endif
