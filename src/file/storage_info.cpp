#include "file/storage_info.h"

#include "file/basic_file.h"
#include "file/path_n.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "utl/multi_lang.h"

#include <atomic>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

namespace {

const char* k_file = "storage_info";
constexpr unsigned k_boot_sector_minimum = 512;
constexpr DWORD k_volume_buffer_size = 0x10010;

std::atomic<unsigned> g_lock_pause{30000};
std::atomic<unsigned> g_unlock_pause{1000};

uint16_t get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t get32(const unsigned char* p) { return static_cast<uint32_t>(get16(p)) | (static_cast<uint32_t>(get16(p + 2)) << 16); }
uint64_t get64(const unsigned char* p) { return static_cast<uint64_t>(get32(p)) | (static_cast<uint64_t>(get32(p + 4)) << 32); }
void put16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, uint32_t v) {
  put16(p, static_cast<uint16_t>(v));
  put16(p + 2, static_cast<uint16_t>(v >> 16));
}
void put64(unsigned char* p, uint64_t v) {
  put32(p, static_cast<uint32_t>(v));
  put32(p + 4, static_cast<uint32_t>(v >> 32));
}

std::string utf8(const wchar_t* text) {
  char buffer[256];
  if (text == nullptr || multi_lang_str_n::wide_to_utf8(text, buffer, sizeof buffer) == nullptr) return std::string();
  return buffer;
}

enum fs_kind_e { FS_OTHER, FS_NTFS, FS_FAT32, FS_FAT };

fs_kind_e kind_of(const wchar_t* name) {
  if (name == nullptr) return FS_OTHER;
  if (std::wcscmp(name, L"NTFS") == 0) return FS_NTFS;
  if (std::wcscmp(name, L"FAT32") == 0) return FS_FAT32;
  if (std::wcscmp(name, L"FAT") == 0) return FS_FAT;
  return FS_OTHER;
}

// The one repair of the three file systems: they differ in the total-sectors field (64-bit at 40
// for NTFS, 32-bit at 32 for the FATs) and in how the messages print it.
int correct_common(unsigned char* bs, unsigned size, const disk_information_s& disk, const unsigned char* saved,
                   bool wide_total) {
  ZQTR_SCOPE(tr, "storage_info_n::correct_boot_sector", k_file);
  if (bs == nullptr || saved == nullptr || size < k_boot_sector_minimum) return -2;
  put16(bs + 510, disk.consistent ? BOOT_SIGNATURE_CONSISTENT : BOOT_SIGNATURE_INCONSISTENT);
  const DISK_GEOMETRY& g = disk.geometry;
  const int bps = get16(bs + 11), spc = bs[13], spt = get16(bs + 24), heads = get16(bs + 26), marker = get16(bs + 510);
  const uint32_t hidden = get32(bs + 28);
  const uint64_t total = wide_total ? get64(bs + 40) : get32(bs + 32);
  const int saved_spc = saved[13], saved_marker = get16(saved + 510);
  const uint32_t saved_hidden = get32(saved + 28);
  const uint64_t saved_total = wide_total ? get64(saved + 40) : get32(saved + 32);
  if (wide_total) {
    tr.print_nl(ZQTR_PROGRESS, __LINE__,
                "Current boot code, SectorsPerTrack[%d], SectorsPerCluster[%d], Number of Headers[%d], BytesPerSec[%d], "
                "HiddenSectors[%d], TotalSectors[%I64d], Marker[%d].",
                spt, spc, heads, bps, static_cast<int>(hidden), static_cast<long long>(total), marker);
    tr.print_nl(ZQTR_PROGRESS, __LINE__,
                "Original boot code, SectorsPerTrack[%d], SectorsPerCluster[%d], Number of Headers[%d], BytesPerSec[%d], "
                "HiddenSectors[%d], TotalSectors[%I64d], Marker[%d].",
                static_cast<int>(g.SectorsPerTrack), saved_spc, static_cast<int>(g.TracksPerCylinder),
                static_cast<int>(g.BytesPerSector), static_cast<int>(saved_hidden), static_cast<long long>(saved_total),
                saved_marker);
  } else {
    tr.print_nl(ZQTR_PROGRESS, __LINE__,
                "Current boot code, SectorsPerTrack[%d], SectorsPerCluster[%d], Number of Headers[%d], BytesPerSec[%d], "
                "HiddenSectors[%d], TotalSectors[%d], Marker[%d].",
                spt, spc, heads, bps, static_cast<int>(hidden), static_cast<int>(total), marker);
    tr.print_nl(ZQTR_PROGRESS, __LINE__,
                "Original boot code, SectorsPerTrack[%d], SectorsPerCluster[%d], Number of Headers[%d], BytesPerSec[%d], "
                "HiddenSectors[%d], TotalSectors[%d], Marker[%d].",
                static_cast<int>(g.SectorsPerTrack), saved_spc, static_cast<int>(g.TracksPerCylinder),
                static_cast<int>(g.BytesPerSector), static_cast<int>(saved_hidden), static_cast<int>(saved_total),
                saved_marker);
  }
  if (static_cast<DWORD>(bps) == g.BytesPerSector && static_cast<DWORD>(spt) == g.SectorsPerTrack &&
      static_cast<DWORD>(heads) == g.TracksPerCylinder && spc == saved_spc && hidden == saved_hidden &&
      marker == saved_marker) {
    return 0;
  }
  if (static_cast<DWORD>(bps) != g.BytesPerSector) {
    if (g.BytesPerSector == 0) {
      tr.print(ZQTR_FAIL, __LINE__, "The disk reports 0 bytes per sector: the boot sector is left alone.\n");
      return -1;
    }
    if (wide_total) {
      const uint64_t rescaled = static_cast<uint64_t>(bps) * total / g.BytesPerSector;
      put64(bs + 40, rescaled);
      tr.print_nl(ZQTR_PROGRESS, __LINE__, "Adjust the total sector to %I64d.", static_cast<long long>(rescaled));
    } else {
      const uint32_t rescaled = static_cast<uint32_t>(static_cast<uint32_t>(bps) * static_cast<uint32_t>(total) /
                                                      g.BytesPerSector);
      put32(bs + 32, rescaled);
      tr.print_nl(ZQTR_PROGRESS, __LINE__, "Adjust the total sector to %d.", static_cast<int>(rescaled));
    }
  }
  put16(bs + 11, static_cast<uint16_t>(g.BytesPerSector));
  put16(bs + 24, static_cast<uint16_t>(g.SectorsPerTrack));
  put16(bs + 26, static_cast<uint16_t>(g.TracksPerCylinder));
  bs[13] = static_cast<unsigned char>(saved_spc);
  put32(bs + 28, saved_hidden);
  return 1;
}

}  // namespace

namespace storage_info_n {

int _correct_boot_sector_ntfs(unsigned char* boot_sector, unsigned size, const disk_information_s& disk,
                              const unsigned char* saved_boot_sector) {
  return correct_common(boot_sector, size, disk, saved_boot_sector, true);
}

int _correct_boot_sector_fat32(unsigned char* boot_sector, unsigned size, const disk_information_s& disk,
                               const unsigned char* saved_boot_sector) {
  return correct_common(boot_sector, size, disk, saved_boot_sector, false);
}

int _correct_boot_sector_fat(unsigned char* boot_sector, unsigned size, const disk_information_s& disk,
                             const unsigned char* saved_boot_sector) {
  return correct_common(boot_sector, size, disk, saved_boot_sector, false);
}

int correct_boot_sector(unsigned char* boot_sector, unsigned size, const disk_information_s& disk,
                        const unsigned char* saved_boot_sector) {
  switch (kind_of(disk.file_system)) {
    case FS_NTFS:
      return _correct_boot_sector_ntfs(boot_sector, size, disk, saved_boot_sector);
    case FS_FAT32:
      return _correct_boot_sector_fat32(boot_sector, size, disk, saved_boot_sector);
    case FS_FAT:
      return _correct_boot_sector_fat(boot_sector, size, disk, saved_boot_sector);
    default: {
      ZQTR_SCOPE(tr, "storage_info_n::correct_boot_sector", k_file);
      tr.print(ZQTR_FAIL, __LINE__, "unsupported file system %s.\n", utf8(disk.file_system).c_str());
      return -1;
    }
  }
}

bool get_volume_total_sectors(const unsigned char* boot_sector, const wchar_t* file_system, uint64_t* total) {
  ZQTR_SCOPE(tr, "storage_info_n::get_volume_total_sectors", k_file);
  if (boot_sector == nullptr || total == nullptr) return false;
  switch (kind_of(file_system)) {
    case FS_NTFS:
      *total = get64(boot_sector + 40);
      return true;
    case FS_FAT32:
    case FS_FAT:
      *total = get32(boot_sector + 32);
      return true;
    default:
      tr.print(ZQTR_FAIL, __LINE__, "unsupported file system %s.\n", utf8(file_system).c_str());
      return false;
  }
}

bool consistency_of_bs(const unsigned char* boot_sector, const wchar_t* file_system, bool* consistent) {
  ZQTR_SCOPE(tr, "storage_info_n::consistency_of_bs", k_file);
  if (consistent != nullptr) *consistent = true;
  if (file_system == nullptr || file_system[0] == L'\0') {
    tr.print(ZQTR_PROGRESS, __LINE__, "FS type unknown, assume as NTFS.\n");
    file_system = L"NTFS";
  }
  if (kind_of(file_system) == FS_OTHER) {
    tr.print(ZQTR_FAIL, __LINE__, "Failed to check consistency_of_bs, unsupported file system %s.\n",
             utf8(file_system).c_str());
    return false;
  }
  if (consistent != nullptr && boot_sector != nullptr) {
    *consistent = get16(boot_sector + 510) != BOOT_SIGNATURE_INCONSISTENT;
  }
  return true;
}

bool extend_volume(const char* volume_path, int64_t total_sectors) {
  ZQTR_SCOPE(tr, "storage_info_n::extend_volume", k_file);
  if (volume_path == nullptr) {
    tr.print(ZQTR_FAIL, __LINE__, "Invalid parameter.\n");
    return false;
  }
  tr.print(ZQTR_PROGRESS, __LINE__, "Try to extend volume [%s].\n", volume_path);
  std::unique_ptr<wchar_t[]> wide(new wchar_t[PATH_BUFFER_SIZE]);
  if (multi_lang_str_n::utf8_to_wide(volume_path, wide.get(), PATH_BUFFER_SIZE) == nullptr) wide[0] = L'\0';
  HANDLE volume = CreateFileW(wide.get(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH | FILE_FLAG_NO_BUFFERING, nullptr);
  if (volume == INVALID_HANDLE_VALUE) {
    tr.print(ZQTR_FAIL, __LINE__, "Cannot open handle for volume[%s]. Error Code %d.\n", volume_path,
             static_cast<int>(GetLastError()));
    return false;
  }
  DWORD returned = 0;
  LONGLONG total = total_sectors;
  bool ok = DeviceIoControl(volume, FSCTL_EXTEND_VOLUME, &total, sizeof total, nullptr, 0, &returned, nullptr) != FALSE;
  if (ok) {
    tr.print(ZQTR_PROGRESS, __LINE__, "Succeed to resize volume[%s], total sectors[%I64d].\n", volume_path,
             static_cast<long long>(total_sectors));
  } else {
    tr.print(ZQTR_FAIL, __LINE__, "Fail to resize volume[%s], New total sectors[%I64d]. Error Code %d.\n", volume_path,
             static_cast<long long>(total_sectors), static_cast<int>(GetLastError()));
  }
  CloseHandle(volume);
  return ok;
}

}  // namespace storage_info_n

bool query_file_system_name(wchar_t name[16], HANDLE volume) {
  ZQTR_SCOPE(tr, "query_file_system_name", k_file);
  using query_f = LONG (*)(HANDLE, void*, void*, ULONG, int);  // an NTSTATUS
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return false;
  // The others are looked up with it and not used.
  (void)GetProcAddress(ntdll, "NtCreateFile");
  (void)GetProcAddress(ntdll, "NtClose");
  (void)GetProcAddress(ntdll, "NtSetInformationFile");
  query_f query = reinterpret_cast<query_f>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryVolumeInformationFile")));
  if (query == nullptr) return false;
  alignas(8) unsigned char buffer[534] = {};
  struct {
    void* pointer;
    ULONG_PTR information;
  } status = {nullptr, 0};
  if (query(volume, &status, buffer, sizeof buffer, 5) < 0) return false;
  ULONG name_bytes = 0;
  std::memcpy(&name_bytes, buffer + 8, sizeof name_bytes);
  size_t units = name_bytes / sizeof(wchar_t);
  if (units > 15) units = 15;
  std::wmemset(name, 0, 16);
  std::memcpy(name, buffer + 12, units * sizeof(wchar_t));
  return true;
}

// ---- volume_file_c

void volume_file_c::set_retry_pauses(unsigned lock_ms, unsigned unlock_ms) {
  g_lock_pause.store(lock_ms);
  g_unlock_pause.store(unlock_ms);
}

volume_file_c::volume_file_c(basic_file_c* file, const wchar_t* file_system, unsigned sector_size)
    : m_file(file), m_file_system(file_system), m_sector_size(sector_size) {
  m_buffer = static_cast<unsigned char*>(VirtualAlloc(nullptr, k_volume_buffer_size, MEM_COMMIT, PAGE_READWRITE));
  m_buffer_size = m_buffer == nullptr ? 0 : k_volume_buffer_size;
}

volume_file_c::~volume_file_c() {
  if (m_buffer != nullptr) VirtualFree(m_buffer, 0, MEM_RELEASE);
}

unsigned char* volume_file_c::_read_boot_sector(DISK_GEOMETRY* geometry, uint64_t* remembered, unsigned* sector) {
  ZQTR_SCOPE(tr, "volume_file_c::correct_boot_sector", k_file);
  const char* name = m_file->name().c_str();
  tr.print(ZQTR_PROGRESS, __LINE__, "begin to check boot sector of %s.\n", name);
  DWORD returned = 0;
  if (!DeviceIoControl(m_file->_get_file_handle(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, geometry,
                       sizeof *geometry, &returned, nullptr)) {
    tr.print(ZQTR_FAIL, __LINE__, "failed to retrieve disk geometry %s (%d).\n", name, static_cast<int>(GetLastError()));
    return nullptr;
  }
  if (!m_file->is_open() || m_file_system[0] == L'\0') {
    tr.print(ZQTR_FAIL, __LINE__, "failed to get file system of %s.\n", name);
    return nullptr;
  }
  *remembered = m_file->tell();
  if (!m_file->seek(0)) {
    tr.print(ZQTR_FAIL, __LINE__, "failed to seek to boot sector %s (%d).\n", name, static_cast<int>(GetLastError()));
    return nullptr;
  }
  *sector = m_sector_size == 0 ? 512 : m_sector_size;
  unsigned char* boot = static_cast<unsigned char*>(VirtualAlloc(nullptr, *sector, MEM_COMMIT, PAGE_READWRITE));
  if (boot == nullptr) return nullptr;
  if (m_file->read(boot, *sector) != *sector) {
    tr.print(ZQTR_FAIL, __LINE__, "failed to read boot sector %s (%d).\n", name, static_cast<int>(GetLastError()));
    VirtualFree(boot, 0, MEM_RELEASE);
    _seek_back(*remembered);
    return nullptr;
  }
  return boot;
}

void volume_file_c::_seek_back(uint64_t remembered) {
  if (!m_file->seek(remembered)) {
    ZQTR_SCOPE(tr, "volume_file_c::correct_boot_sector", k_file);
    tr.print(ZQTR_FAIL, __LINE__, "failed to seek back %s to (0x%p) (%d).\n", m_file->name().c_str(),
             reinterpret_cast<void*>(static_cast<uintptr_t>(remembered)), static_cast<int>(GetLastError()));
  }
}

bool volume_file_c::correct_boot_sector(const unsigned char* saved_boot_sector, bool consistent) {
  ZQTR_SCOPE(tr, "volume_file_c::correct_boot_sector", k_file);
  disk_information_s disk;
  std::memset(&disk, 0, sizeof disk);
  uint64_t remembered = 0;
  unsigned sector = 512;
  unsigned char* boot = _read_boot_sector(&disk.geometry, &remembered, &sector);
  if (boot == nullptr) return false;
  std::wmemcpy(disk.file_system, m_file_system, 16);
  disk.consistent = consistent;
  const char* name = m_file->name().c_str();
  bool result = false;
  int corrected = storage_info_n::correct_boot_sector(boot, sector, disk, saved_boot_sector);
  if (corrected == 1) {
    m_file->clear_last_error();
    if (m_file->seek(0) && m_file->write(boot, sector) == sector && m_file->flush()) {
      tr.print(ZQTR_PROGRESS, __LINE__, "successfully update boot sector %s.\n", name);
      result = true;
    } else {
      tr.print(ZQTR_FAIL, __LINE__, "failed to write back boot sector %s (0x%p) (0x%x).\n", name,
               reinterpret_cast<void*>(static_cast<uintptr_t>(remembered)), static_cast<unsigned>(m_file->last_error()));
    }
  } else if (corrected == 0) {
    tr.print(ZQTR_PROGRESS, __LINE__, "boot sector is up to date %s.\n", name);
    result = true;
  } else {
    tr.print(ZQTR_FAIL, __LINE__, "failed to correct boot sector %s (%d).\n", name, corrected);
  }
  VirtualFree(boot, 0, MEM_RELEASE);
  _seek_back(remembered);
  return result;
}

bool volume_file_c::get_total_sectors(uint64_t* total) {
  ZQTR_SCOPE(tr, "volume_file_c::get_total_sectors", k_file);
  DISK_GEOMETRY geometry;
  uint64_t remembered = 0;
  unsigned sector = 512;
  unsigned char* boot = _read_boot_sector(&geometry, &remembered, &sector);
  if (boot == nullptr) return false;
  bool ok = storage_info_n::get_volume_total_sectors(boot, m_file_system, total);
  if (!ok) {
    tr.print(ZQTR_FAIL, __LINE__, "failed to get total sectors %s (0x%p) (0x%x).\n", m_file->name().c_str(),
             reinterpret_cast<void*>(static_cast<uintptr_t>(remembered)), static_cast<unsigned>(GetLastError()));
  }
  VirtualFree(boot, 0, MEM_RELEASE);
  _seek_back(remembered);
  return ok;
}

bool volume_file_c::_lock_volume(HANDLE volume, const char* name, bool* locked) {
  ZQTR_SCOPE(tr, "volume_file_c::_lock_volume", k_file);
  if (*locked) return true;
  if (volume == nullptr || volume == INVALID_HANDLE_VALUE) return false;
  for (int attempt = 0; attempt < 5; ++attempt) {
    DWORD returned = 0;
    if (DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr)) {
      tr.print(ZQTR_PROGRESS, __LINE__, "Successfully to lock volume %s.\n", name);
      *locked = true;
      return true;
    }
    tr.print(ZQTR_FAIL, __LINE__, "Unable to lock volume %s, %d.\n", name, static_cast<int>(GetLastError()));
    mix_n::sleep(g_lock_pause.load());
  }
  tr.print(ZQTR_FAIL, __LINE__, "Unable to lock volume %s, dismount it and try again.\n", name);
  DWORD returned = 0;
  if (!DeviceIoControl(volume, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr)) {
    tr.print(ZQTR_PROBLEM, __LINE__, "Try to dismount volume %s failed, the error is %d.\n", name,
             static_cast<int>(GetLastError()));
  }
  return false;
}

bool volume_file_c::unlock_volume(HANDLE volume, const char* name, bool* locked) {
  ZQTR_SCOPE(tr, "volume_file_c::unlock_volume", k_file);
  if (!*locked || volume == nullptr || volume == INVALID_HANDLE_VALUE) return false;
  DWORD error = 0;
  for (int attempt = 0; attempt < 5; ++attempt) {
    DWORD returned = 0;
    if (!DeviceIoControl(volume, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr)) {
      tr.print(ZQTR_FAIL, __LINE__, "Dismount volume %s failed, the error is %d.\n", name,
               static_cast<int>(GetLastError()));
    }
    if (DeviceIoControl(volume, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr)) {
      tr.print(ZQTR_PROGRESS, __LINE__, "Successfully to unlock volume %s.\n", name);
      *locked = false;
      return true;
    }
    error = GetLastError();
    mix_n::sleep(g_unlock_pause.load());
  }
  tr.print(ZQTR_FAIL, __LINE__, "Unlock volume %s failed, the error is %d.\n", name, static_cast<int>(error));
  return false;
}
