#include "file/fs_info.h"

#include "file/path_n.h"
#include "platform/thl/ptr_list.h"
#include "platform/trc/zqtr.h"
#include "platform/thl/invariants.h"
#include "platform/thl/library_statics.h"
#include "utl/multi_lang.h"
#include "utl/utl.h"

#include <cstring>
#include <memory>

#ifndef FILE_FILE_COMPRESSION
#  define FILE_FILE_COMPRESSION 0x00000010
#endif

namespace file_system_info_n {

namespace {

const char* k_file = "fs_info";
constexpr DWORD k_persistent_acls = 4;

char* utf8_copy(const wchar_t* text) {
  std::unique_ptr<char[]> buffer(new char[PATH_BUFFER_SIZE * 4]);
  if (multi_lang_str_n::wide_to_utf8(text, buffer.get(), PATH_BUFFER_SIZE * 4) == nullptr) return nullptr;
  return utl_n::str_copy(buffer.get());
}

struct drive_cache_s {
  ptr_list_c drives;
  int uniform = '-';
  ~drive_cache_s() {
    for (void* d = drives.first(); d != nullptr; d = drives.next()) delete static_cast<drive_info_c*>(d);
  }
};

drive_cache_s& cache() {
  // Built at the first question, gone when the library unloads.
  static drive_cache_s c;
  return c;
}

// Under the cache lock: the cached drive of path's root, added when missing; null when the root
// cannot be found or its drive cannot be read.
drive_info_c* drive_of(const char* path) {
  STATS_MNG_INVARIANT(library_statics_n::crit_section(library_statics_n::CS_DRIVE_INFO).held_by_this_thread());
  char root[PATH_BUFFER_SIZE];
  if (!path_n::drive_name_from_path(path, root)) return nullptr;
  drive_cache_s& c = cache();
  for (void* d = c.drives.first(); d != nullptr; d = c.drives.next()) {
    drive_info_c* drive = static_cast<drive_info_c*>(d);
    if (utl_n::ascii_compare_nocase(drive->root(), root) == 0) return drive;
  }
  std::unique_ptr<drive_info_c> drive(new drive_info_c);
  if (!drive->init(root)) return nullptr;
  c.drives.append(drive.get());
  int uniform = '-';
  bool first = true;
  for (void* d = c.drives.first(); d != nullptr; d = c.drives.next()) {
    int code = static_cast<drive_info_c*>(d)->type_code();
    if (first) {
      uniform = code;
      first = false;
    } else if (code != uniform) {
      uniform = '-';
    }
  }
  c.uniform = uniform;
  return drive.release();
}

}  // namespace

drive_info_c::~drive_info_c() { clear(); }

void drive_info_c::clear() {
  delete[] m_root;
  delete[] m_volume_name;
  delete[] m_dos_device;
  m_root = m_volume_name = m_dos_device = nullptr;
  m_type_code = '-';
  m_fs_flags = m_bytes_per_sector = m_drive_type = 0;
}

bool drive_info_c::init(const char* root) {
  ZQTR_SCOPE(tr, "file_system_info_n::drive_info_c::init", k_file);
  clear();
  if (root == nullptr) return false;
  std::unique_ptr<wchar_t[]> wide(new wchar_t[PATH_BUFFER_SIZE]);
  if (multi_lang_str_n::utf8_to_wide(root, wide.get(), PATH_BUFFER_SIZE) == nullptr) return false;
  m_drive_type = GetDriveTypeW(wide.get());
  if (m_drive_type < DRIVE_FIXED || m_drive_type == DRIVE_CDROM) return false;
  m_root = utl_n::str_copy(root);
  m_type_code = '-';
  wchar_t fs_name[256] = {};
  DWORD flags = 0;
  if (!GetVolumeInformationW(wide.get(), nullptr, 0, nullptr, nullptr, &flags, fs_name, 256)) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to get volume %s information (%d)\n", root, static_cast<int>(GetLastError()));
  } else {
    m_fs_flags = flags;
    m_type_code = '?';
    if (flags & k_persistent_acls) {
      if (utl_n::uni_stricmp(fs_name, L"FAT") == 0 || utl_n::uni_stricmp(fs_name, L"FAT32") == 0 ||
          utl_n::uni_stricmp(fs_name, L"exFAT") == 0) {
        m_type_code = 'F';
      } else if (utl_n::uni_stricmp(fs_name, L"NTFS") == 0) {
        m_type_code = 'N';
      } else if (utl_n::uni_stricmp(fs_name, L"ReFS") == 0) {
        m_type_code = 'E';
      }
    }
  }
  DWORD sectors = 0, bytes = 0, free_clusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceW(wide.get(), &sectors, &bytes, &free_clusters, &clusters)) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to get volume %s size (%d)\n", root, static_cast<int>(GetLastError()));
  } else {
    m_bytes_per_sector = bytes;
  }
  if (m_drive_type == DRIVE_FIXED) {
    wchar_t guid[256] = {};
    if (!GetVolumeNameForVolumeMountPointW(wide.get(), guid, 256)) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to get Volume GUID for %s (%d)\n", root, static_cast<int>(GetLastError()));
    } else {
      m_volume_name = utf8_copy(guid);
    }
    wchar_t drive[3] = {wide[0], L':', 0};
    std::unique_ptr<wchar_t[]> device(new wchar_t[PATH_BUFFER_SIZE]);
    device[0] = 0;
    if (QueryDosDeviceW(drive, device.get(), PATH_BUFFER_SIZE) == 0 || device[0] == 0) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to QueryDosDevice for drive %s\n", root);
    } else {
      m_dos_device = utf8_copy(device.get());
    }
  }
  return true;
}

int get_fs_type(const char* path) {
  thl_lock_c lock(library_statics_n::crit_section(library_statics_n::CS_DRIVE_INFO));
  drive_info_c* drive = drive_of(path);
  if (cache().uniform != '-') return cache().uniform;
  return drive == nullptr ? '-' : drive->type_code();
}

bool supports_compression(const char* path) {
  thl_lock_c lock(library_statics_n::crit_section(library_statics_n::CS_DRIVE_INFO));
  drive_info_c* drive = drive_of(path);
  return drive != nullptr && (drive->fs_flags() & FILE_FILE_COMPRESSION) != 0;
}

void clear_cache() {
  thl_lock_c lock(library_statics_n::crit_section(library_statics_n::CS_DRIVE_INFO));
  drive_cache_s& c = cache();
  for (void* d = c.drives.first(); d != nullptr; d = c.drives.remove_current()) delete static_cast<drive_info_c*>(d);
  c.uniform = '-';
}

bool get_volume_name_for_volume_mount_point(const char* mount_point, char* volume_name) {
  ZQTR_SCOPE(tr, "file_system_info_n::get_volume_name_for_volume_mount_point", k_file);
  if (mount_point == nullptr || mount_point[0] == '\0' || volume_name == nullptr) return false;
  std::string text(mount_point, strnlen(mount_point, PATH_BUFFER_SIZE - 2));
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  if (text.back() != '\\') text += '\\';
  std::unique_ptr<wchar_t[]> wide(new wchar_t[PATH_BUFFER_SIZE]);
  if (multi_lang_str_n::utf8_to_wide(text.c_str(), wide.get(), PATH_BUFFER_SIZE) == nullptr) return false;
  wchar_t guid[64] = {};
  if (!GetVolumeNameForVolumeMountPointW(wide.get(), guid, 64)) return false;
  return multi_lang_str_n::wide_to_utf8(guid, volume_name, PATH_BUFFER_SIZE) != nullptr;
}

}  // namespace file_system_info_n
