// Drive letters and UNC shares of this system. On Windows they are the system's own; on POSIX a
// drive ("C") or a share ("\\server\share") is mapped to a directory here, so that Windows paths
// such as C:\Scen\7 can be used (tests, and the tool's --drive option).
#ifndef STATS_MNG_PLATFORM_WIN32_DRIVE_MAP_H
#define STATS_MNG_PLATFORM_WIN32_DRIVE_MAP_H

#include <cstdint>
#include <string>

namespace drive_map_n {

// Maps a drive letter or a UNC share to a directory; false when the name is neither, or where
// drives cannot be mapped (Windows).
bool map(const std::string& name, const std::string& directory);
// "C=/srv/c" or "\\server\share=/srv/share"; error says what is wrong when false is returned.
bool map_entry(const std::string& mapping, std::string& error);
bool unmap(const std::string& name);
void clear();
// The path of this system a path names: on POSIX a path on a mapped drive or share ("C:\\Scen\\7")
// becomes the mapped directory's path below it, any other path stays as it is; on Windows every
// path stays as it is. For what walks directories by the system's own names (a listing, a watch).
std::string native_path(const std::string& path);

// A volume image: a file that stands for a whole volume (raw sectors from its first byte).
struct volume_image_s {
  std::string image;  // the image file of this system
  uint64_t cylinders = 0;  // 0: as many as the image's size gives
  uint32_t tracks_per_cylinder = 255;
  uint32_t sectors_per_track = 63;
  uint32_t bytes_per_sector = 512;
  std::string file_system = "NTFS";
  uint32_t file_system_flags = 0x0000000F;  // case, Unicode names, persistent ACLs
  uint32_t sectors_per_cluster = 8;
};

// Maps a drive letter to a directory (its files) and a volume image (the volume itself): \\.\X:,
// \\?\X: and the drive's volume GUID path open the image; lock, unlock, dismount, geometry, extend
// and the space and information queries act on it. False where drives cannot be mapped (Windows).
bool map_volume(const std::string& letter, const std::string& directory, const volume_image_s& image);

}  // namespace drive_map_n

#endif
