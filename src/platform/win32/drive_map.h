// Drive letters and UNC shares of this system. On Windows they are the system's own; on POSIX a
// drive ("C") or a share ("\\server\share") is mapped to a directory here, so that Windows paths
// such as C:\Scen\7 can be used (tests, and the tool's --drive option).
#ifndef STATS_MNG_PLATFORM_WIN32_DRIVE_MAP_H
#define STATS_MNG_PLATFORM_WIN32_DRIVE_MAP_H

#include <string>

namespace drive_map_n {

// Maps a drive letter or a UNC share to a directory; false when the name is neither, or where
// drives cannot be mapped (Windows).
bool map(const std::string& name, const std::string& directory);
// "C=/srv/c" or "\\server\share=/srv/share"; error says what is wrong when false is returned.
bool map_entry(const std::string& mapping, std::string& error);
bool unmap(const std::string& name);
void clear();

}  // namespace drive_map_n

#endif
