// Disk space, long names and volume mount points of paths.
#include "platform/win32/posix/posix_paths.h"
#include "platform/win32/posix/volumes.h"
#include "platform/win32/posix/system_calls.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <cwchar>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

using posix_calls_n::sys_calls;

using posix_paths_n::resolved_s;

namespace {

bool stat_volume(LPCWSTR path, struct statvfs& vfs) {
  resolved_s r;
  DWORD error = posix_paths_n::resolve(path == nullptr ? L"." : path, r);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return false;
  }
  if (::statvfs(r.native.c_str(), &vfs) != 0) {
    SetLastError(posix_paths_n::error_for_missing(r.native, errno));
    return false;
  }
  return true;
}

DWORD clamp32(unsigned long long v) { return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(v); }

std::string absolute(const std::string& native) {
  if (!native.empty() && native[0] == '/') return native;
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return native;
  std::string base = cwd;
  if (native == ".") return base;
  return base == "/" ? "/" + native : base + "/" + native;
}

std::string parent_of(const std::string& p) {
  size_t cut = p.find_last_of('/');
  return (cut == std::string::npos || cut == 0) ? std::string("/") : p.substr(0, cut);
}

// The mount point of the nearest existing directory holding p.
std::string mount_point(std::string p) {
  struct stat st;
  while (p != "/" && sys_calls().stat(p.c_str(), &st) != 0) p = parent_of(p);
  if (sys_calls().stat(p.c_str(), &st) != 0) return "/";
  while (p != "/") {
    std::string parent = parent_of(p);
    struct stat pst;
    if (sys_calls().stat(parent.c_str(), &pst) != 0 || pst.st_dev != st.st_dev) break;
    p = parent;
  }
  return p;
}

std::string with_backslashes(std::string s) {
  for (char& c : s) {
    if (c == '/') c = '\\';
  }
  return s;
}

}  // namespace

extern "C" {

BOOL GetDiskFreeSpaceW(LPCWSTR root, LPDWORD sectors_per_cluster, LPDWORD bytes_per_sector, LPDWORD free_clusters,
                       LPDWORD total_clusters) {
  posix_volumes_n::volume_s volume;
  if (posix_volumes_n::find_root(root, volume)) {
    const uint64_t cluster = static_cast<uint64_t>(volume.image.sectors_per_cluster) * volume.image.bytes_per_sector;
    if (sectors_per_cluster) *sectors_per_cluster = volume.image.sectors_per_cluster;
    if (bytes_per_sector) *bytes_per_sector = volume.image.bytes_per_sector;
    if (total_clusters) *total_clusters = clamp32(cluster == 0 ? 0 : posix_volumes_n::total_bytes(volume) / cluster);
    if (free_clusters) *free_clusters = 0;
    return TRUE;
  }
  struct statvfs vfs;
  if (!stat_volume(root, vfs)) return FALSE;
  const unsigned long long unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  const unsigned long long sector = 512;
  const unsigned long long cluster = unit >= sector ? unit : sector;
  if (sectors_per_cluster) *sectors_per_cluster = clamp32(cluster / sector);
  if (bytes_per_sector) *bytes_per_sector = static_cast<DWORD>(sector);
  if (free_clusters) *free_clusters = clamp32(vfs.f_bavail * unit / cluster);
  if (total_clusters) *total_clusters = clamp32(vfs.f_blocks * unit / cluster);
  return TRUE;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR directory, PULARGE_INTEGER free_to_caller, PULARGE_INTEGER total_bytes,
                         PULARGE_INTEGER free_bytes) {
  posix_volumes_n::volume_s volume;
  if (posix_volumes_n::find_root(directory, volume)) {
    if (free_to_caller) free_to_caller->QuadPart = 0;
    if (total_bytes) total_bytes->QuadPart = posix_volumes_n::total_bytes(volume);
    if (free_bytes) free_bytes->QuadPart = 0;
    return TRUE;
  }
  struct statvfs vfs;
  if (!stat_volume(directory, vfs)) return FALSE;
  const unsigned long long unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  if (free_to_caller) free_to_caller->QuadPart = vfs.f_bavail * unit;
  if (total_bytes) total_bytes->QuadPart = vfs.f_blocks * unit;
  if (free_bytes) free_bytes->QuadPart = vfs.f_bfree * unit;
  return TRUE;
}

UINT GetDriveTypeW(LPCWSTR root) {
  posix_volumes_n::volume_s volume;
  if (posix_volumes_n::find_root(root, volume)) return DRIVE_FIXED;
  posix_paths_n::resolved_s r;
  if (posix_paths_n::resolve(root == nullptr ? L"/" : root, r) != ERROR_SUCCESS) return DRIVE_NO_ROOT_DIR;
  struct stat st;
  if (sys_calls().stat(r.native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return DRIVE_NO_ROOT_DIR;
  struct statfs fs;
  if (::statfs(r.native.c_str(), &fs) != 0) return DRIVE_UNKNOWN;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969:      // NFS
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x517B:      // SMB
      return DRIVE_REMOTE;
    case 0x01021994:  // tmpfs
    case 0x858458F6:  // ramfs
      return DRIVE_RAMDISK;
    case 0x9660:  // ISO 9660
    case 0x15013346:  // UDF
      return DRIVE_CDROM;
    default:
      return DRIVE_FIXED;
  }
}

namespace {

bool copy_out(const wchar_t* text, LPWSTR out, DWORD size) {
  size_t n = std::wcslen(text);
  if (out == nullptr || n + 1 > size) return false;
  std::wmemcpy(out, text, n + 1);
  return true;
}

}  // namespace

BOOL GetVolumeInformationW(LPCWSTR root, LPWSTR volume_name, DWORD volume_name_size, LPDWORD serial,
                           LPDWORD max_component_length, LPDWORD fs_flags, LPWSTR fs_name, DWORD fs_name_size) {
  posix_volumes_n::volume_s volume;
  if (posix_volumes_n::find_root(root, volume)) {
    std::wstring name = posix_paths_n::widen(volume.image.file_system);
    if ((volume_name != nullptr && !copy_out(L"", volume_name, volume_name_size)) ||
        (fs_name != nullptr && !copy_out(name.c_str(), fs_name, fs_name_size))) {
      SetLastError(ERROR_BAD_LENGTH);
      return FALSE;
    }
    if (serial != nullptr) *serial = static_cast<DWORD>(std::hash<std::wstring>()(volume.guid_path));
    if (max_component_length != nullptr) *max_component_length = 255;
    if (fs_flags != nullptr) *fs_flags = volume.image.file_system_flags;
    return TRUE;
  }
  posix_paths_n::resolved_s r;
  DWORD error = posix_paths_n::resolve(root == nullptr ? L"/" : root, r);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  struct statfs fs;
  if (::statfs(r.native.c_str(), &fs) != 0) {
    SetLastError(posix_paths_n::error_for_missing(r.native, errno));
    return FALSE;
  }
  if ((volume_name != nullptr && !copy_out(L"", volume_name, volume_name_size)) ||
      (fs_name != nullptr && !copy_out(posix_volumes_n::linux_fs_name(static_cast<unsigned long>(fs.f_type)), fs_name, fs_name_size))) {
    SetLastError(ERROR_BAD_LENGTH);
    return FALSE;
  }
  if (serial != nullptr) {
    unsigned int words[2];
    std::memcpy(words, &fs.f_fsid, sizeof words);
    *serial = words[0] ^ words[1];
  }
  if (max_component_length != nullptr) *max_component_length = static_cast<DWORD>(fs.f_namelen);
  if (fs_flags != nullptr) {
    *fs_flags = FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK | FILE_PERSISTENT_ACLS;
  }
  return TRUE;
}

BOOL GetVolumeNameForVolumeMountPointW(LPCWSTR mount_point, LPWSTR volume_name, DWORD size) {
  posix_volumes_n::volume_s volume;
  if (posix_volumes_n::find_root(mount_point, volume)) {
    if (!copy_out(volume.guid_path.c_str(), volume_name, size)) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return FALSE;
    }
    return TRUE;
  }
  posix_paths_n::resolved_s r;
  DWORD error = posix_paths_n::resolve(mount_point == nullptr ? L"" : mount_point, r);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  struct stat st;
  if (sys_calls().stat(r.native.c_str(), &st) != 0) {
    SetLastError(posix_paths_n::error_for_missing(r.native, errno));
    return FALSE;
  }
  SetLastError(ERROR_NOT_A_REPARSE_POINT);
  return FALSE;
}

DWORD QueryDosDeviceW(LPCWSTR device, LPWSTR target, DWORD size) {
  if (device == nullptr || device[0] == 0 || device[1] != L':' || device[2] != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  posix_paths_n::resolved_s r;
  const wchar_t root[4] = {device[0], L':', L'\\', 0};
  DWORD error = posix_paths_n::resolve(root, r);
  if (error != ERROR_SUCCESS || r.kind != posix_paths_n::resolved_s::DRIVE) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  posix_volumes_n::volume_s volume;
  std::wstring text = posix_paths_n::widen(
      posix_volumes_n::find_letter(static_cast<char>(device[0]), volume) ? volume.image.image : r.root_native);
  if (target == nullptr || text.size() + 2 > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::wmemcpy(target, text.c_str(), text.size());
  target[text.size()] = 0;
  target[text.size() + 1] = 0;
  return static_cast<DWORD>(text.size() + 2);
}

// There are no short names here: an existing path is its own long form.
DWORD GetLongPathNameW(LPCWSTR short_path, LPWSTR long_path, DWORD length) {
  if (short_path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  resolved_s r;
  DWORD error = posix_paths_n::resolve(short_path, r);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return 0;
  }
  struct stat st;
  if (sys_calls().lstat(r.native.c_str(), &st) != 0) {
    // The components are looked up one by one: a missing one is a missing file, wherever it is.
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : posix_paths_n::error_from_errno(errno));
    return 0;
  }
  size_t n = std::wcslen(short_path);
  if (long_path == nullptr || length < n + 1) return static_cast<DWORD>(n + 1);
  std::wmemmove(long_path, short_path, n + 1);
  return static_cast<DWORD>(n);
}

BOOL GetVolumePathNameW(LPCWSTR file_name, LPWSTR volume_path, DWORD length) {
  if (file_name == nullptr || volume_path == nullptr || length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  resolved_s r;
  DWORD error = posix_paths_n::resolve(file_name, r);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  std::string mount = mount_point(absolute(r.native));
  std::string answer;
  if (r.kind == resolved_s::NATIVE) {
    answer = with_backslashes(mount);
    if (answer.back() != '\\') answer += '\\';
  } else {
    // Seen through a drive or share: its root is the volume, unless another file system is
    // mounted inside it.
    std::string root = absolute(r.root_native);
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    answer = r.root_windows;
    if (mount.size() > root.size() && mount.compare(0, root.size(), root) == 0 && mount[root.size()] == '/') {
      answer += with_backslashes(mount.substr(root.size()));
    }
    answer += '\\';
    if (r.prefixed && r.kind == resolved_s::UNC) answer = "\\\\?\\UNC" + answer.substr(1);
  }
  if (r.prefixed && r.kind != resolved_s::UNC) answer = "\\\\?\\" + answer;
  std::wstring wide = posix_paths_n::widen(answer);
  if (wide.size() + 1 > length) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  std::wmemcpy(volume_path, wide.c_str(), wide.size() + 1);
  return TRUE;
}

}  // extern "C"

// The process's current directory, in this system's form (relative paths resolve against it).
DWORD GetCurrentDirectoryW(DWORD length, LPWSTR buffer) {
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) {
    SetLastError(posix_paths_n::error_from_errno(errno));
    return 0;
  }
  const std::wstring text = posix_paths_n::widen(cwd);
  if (buffer == nullptr || length <= text.size()) return static_cast<DWORD>(text.size() + 1);
  std::wmemcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

BOOL SetCurrentDirectoryW(LPCWSTR path) {
  resolved_s r;
  DWORD error = posix_paths_n::resolve(path, r);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  if (::chdir(r.native.c_str()) != 0) {
    SetLastError(posix_paths_n::error_for_missing(r.native, errno));
    return FALSE;
  }
  return TRUE;
}
