// Paths: the standard form in which the library compares, stores and combines directories.
#ifndef STATS_MNG_FILE_PATH_N_H
#define STATS_MNG_FILE_PATH_N_H

#include <cstddef>
#include <memory>

// Units in every path buffer: bytes for UTF-8 paths, wide characters for UTF-16 paths.
constexpr size_t PATH_BUFFER_SIZE = 4196;

class utl_stream_c;

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

// The Windows form of a path: UTF-16, '\' separators and, with add_prefix, the long-path prefix
// ("\\?\C:\x", "\\?\UNC\server\share\x", "\\?\GLOBALROOT\..."). out (PATH_BUFFER_SIZE units) is
// empty for a null path and when the conversion fails.
void path_to_wide_char_path(const char* path, wchar_t* out, bool add_prefix);
// The same for a path already in standard form (standard_dir_path's, or such a directory with plain
// names appended): it is not normalised again.
void standard_path_to_wide_char_path(const char* path, wchar_t* out, bool add_prefix);
// The same into a new buffer of PATH_BUFFER_SIZE units.
std::unique_ptr<wchar_t[]> wide_path(const char* path, bool add_prefix);
// UTF-16 to UTF-8 into out (PATH_BUFFER_SIZE bytes), separators untouched; empty on failure.
void wide_char_path_to_path(const wchar_t* path, char* out);

// True when a component of path is a short name or differs from its long spelling.
bool is_short_name(const char* path);
// The root of path in '\' form with a trailing '\' (not for shadow copies): "D:\", "\\srv\share\",
// "\\?\Volume{...}\", "\\?\C:\", the shadow copy device.
bool drive_name_from_path(const char* path, char* out);
// The last component (after the last '/' or '\'); the whole path when it has no separator.
char* file_from_path(char* path);
const char* file_from_path(const char* path);
bool is_full_path_name(const char* path);
// True when file lies inside dir (or is dir itself, with allow_same).
bool is_file_in_dir(const char* dir, const char* file, bool case_sensitive, bool allow_same);
// True when path is file itself or file followed by ":stream".
bool is_stream_in_path(const char* file, const char* path);
// The file of a stream path: C:\d\f.txt:info gives C:\d\f.txt.
bool stream_path_to_file(const char* path, char* out);
// The shadow copy device of a path inside one ("\\?\GLOBALROOT\Device\HarddiskVolumeShadowCopy12").
char* get_root_volumeshadowcopy(const char* path, char* out);
bool is_unc_path(const char* path);
// "\\srv\share\" of "\\srv\share\a\b"; "\\?\UNC\srv\share\" of "\\?\UNC\srv\share".
char* unc_root_from_path(const char* path, char* out);
bool is_shadow_copy_path(const char* path);
// True when path is the mount point of its volume.
bool is_volume_root(const char* path);

// A path whose last component is "$$zq-volume" names the whole volume under the directory before
// it: D:\$$zq-volume becomes \\.\D:, \\?\D:\$$zq-volume becomes \\?\D:, a mount point directory
// becomes its volume GUID path (no trailing '\'), UNC and volume GUID paths stay. False, and path
// untouched, for any other path and for a mount point without a volume.
bool resolve_volume_path(utl_stream_c& path);
// The same on a wide path of PATH_BUFFER_SIZE units.
bool resolve_volume_path(wchar_t* path);

}  // namespace path_n

#endif
