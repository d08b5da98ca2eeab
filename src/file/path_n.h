// Paths: the standard form in which the library compares, stores and combines directories.
#ifndef STATS_MNG_FILE_PATH_N_H
#define STATS_MNG_FILE_PATH_N_H

#include <cstddef>

// Units in every path buffer: bytes for UTF-8 paths, wide characters for UTF-16 paths.
constexpr size_t PATH_BUFFER_SIZE = 4196;

namespace path_n {

// Length of a volume GUID name such as "\\?\Volume{...}".
extern const size_t volume_guid_name_length;

// Writes the standard form of dir into ret (PATH_BUFFER_SIZE bytes): '/' as the only separator
// (a kept prefix apart), no doubled or trailing separator (a drive root keeps its '/'), "." and
// ".." resolved. A long-path prefix "\\?\" is dropped with skip_prefix, except on volume GUID
// paths; a UNC server and a "\\?\UNC\server\" prefix are kept as written. False for a null
// argument and for a result shorter than 2 characters (ret then holds what was written).
bool standard_dir_path(const char* dir, char* ret, bool skip_prefix);

// Resolves "." and ".." in a path in standard form, in place. A ".." never climbs above a root
// (a leading '/', a drive "X:" or a "\\" prefix); a leading ".." of a relative path is kept.
void _normalize_path(char* path);

// True for "\\?\Volume{...}" (either separator, '?' or '.'); without prefix_only the text must be
// the volume name alone, or with one trailing separator.
bool is_volume_guid_path(const char* path, bool prefix_only);

}  // namespace path_n

#endif
