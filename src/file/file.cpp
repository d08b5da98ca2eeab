#include "file/file.h"

#include "file/file_manipulation.h"
#include "file/path_n.h"
#include "file/storage_info.h"
#include "utl/multi_lang.h"
#include "platform/trc/zqtr.h"
#include "utl/tuning_parameters.h"

#include <cstring>
#include <memory>
#include <string>

namespace {

const char* k_file = "file";
constexpr uint64_t k_none = static_cast<uint64_t>(-1);

}  // namespace

FILE_c::~FILE_c() {
  if (m_file != nullptr) FILE_c::close();
}

bool FILE_c::open(const char* path, const char* mode, HANDLE transaction, unsigned flags) {
  ZQTR_SCOPE(tr, "FILE_c::open", k_file);
  if (m_file != nullptr) FILE_c::close();
  m_position = 0;
  m_is_volume = false;
  m_device_path << '\x01';
  if (path != nullptr) m_device_path << path;
  const char* open_mode = mode;
  if (path != nullptr && path_n::resolve_volume_path(m_device_path)) {
    m_is_volume = true;
    if (mode == nullptr || (std::strcmp(mode, "r") != 0 && std::strcmp(mode, "r+") != 0)) {
      tr.print(ZQTR_PROGRESS, __LINE__, "change mode from '%s' to 'r+' if it is volume: %s (%s)\n",
               mode == nullptr ? "" : mode, path, m_device_path.c_str());
      open_mode = "r+";
      flags |= ZQ_OPEN_NO_BUFFERING | ZQ_OPEN_WRITE_THROUGH | ZQ_OPEN_EXCLUSIVE;
    }
    flags |= ZQ_OPEN_OVERLAPPED | ZQ_OPEN_EXISTING_ONLY;
  }
  if (flags & ZQ_OPEN_OVERLAPPED) {
    flags &= ~static_cast<unsigned>(ZQ_OPEN_READ_AHEAD);  // no read-ahead with overlapped transfers
    tuning_parameter_s* aio = tuning_parameters_n::find_parameter("EnableAIOWrite");
    m_aio_write = aio == nullptr || tuning_parameters_n::get_bool(aio);
  }
  m_flags = flags;
  m_pre_read.configure(flags, 512);
  m_post_write.configure(flags, 512);
  m_post_write.set_aio_write(m_aio_write);
  if (!basic_file_c::open(path, open_mode, transaction, flags)) return false;

  if (!m_is_volume) {
    m_volume_locked = false;
    m_volume_size = 0;
    m_volume_total_sectors = 0;
    std::memset(m_fs_name, 0, sizeof m_fs_name);
    unsigned cluster = 0;
    unsigned sector = file_manipulation_n::bytes_per_sector(m_name.c_str(), &cluster);
    m_pre_read.configure(flags, sector == 0 ? 512 : sector);
    m_post_write.configure(flags, sector == 0 ? 512 : sector);
    m_cluster_size = cluster;
    return true;
  }
  return _open_volume(path, open_mode);
}

bool FILE_c::_open_volume(const char* path, const char* mode) {
  ZQTR_SCOPE(tr, "FILE_c::open", k_file);
  // Nothing of an earlier open of this object may carry over (a total read under an earlier lock
  // would extend the volume at this open's close).
  m_volume_total_sectors = 0;
  m_volume_size = 0;
  if (!m_device_path.ends_with("\\", true)) m_device_path << "\\";
  std::unique_ptr<wchar_t[]> device(new wchar_t[PATH_BUFFER_SIZE]);
  if (multi_lang_str_n::utf8_to_wide(m_device_path.c_str(), device.get(), PATH_BUFFER_SIZE) == nullptr) device[0] = 0;
  ULARGE_INTEGER total;
  total.QuadPart = 0;
  if (GetDiskFreeSpaceExW(device.get(), nullptr, &total, nullptr)) m_volume_size = total.QuadPart;
  DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, clusters = 0;
  unsigned sector = 0;
  if (GetDiskFreeSpaceW(device.get(), &sectors_per_cluster, &bytes_per_sector, &free_clusters, &clusters)) {
    m_cluster_size = sectors_per_cluster * bytes_per_sector;
    sector = bytes_per_sector;
  }
  HANDLE handle = _get_file_handle();
  query_file_system_name(m_fs_name, handle);
  if (std::strcmp(mode, "r+") == 0 && !volume_file_c::_lock_volume(handle, m_name.c_str(), &m_volume_locked)) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to lock volume %s for write\n", path, m_device_path.c_str());
    basic_file_c::close();
    m_is_volume = false;
    return false;
  }
  const unsigned boot_size = sector == 0 ? 512 : sector;
  if (m_boot_sector == nullptr) {
    m_boot_sector = static_cast<unsigned char*>(VirtualAlloc(nullptr, boot_size, MEM_COMMIT, PAGE_READWRITE));
  }
  if (m_boot_sector == nullptr || read(m_boot_sector, boot_size) != boot_size) {
    tr.print(ZQTR_FAIL, __LINE__, "failed to read boot sector %s (%d).\n", m_name.c_str(),
             static_cast<int>(GetLastError()));
    _close_volume(false);
    return false;
  }
  if (basic_file_c::tell() != k_none) {
    if (!basic_file_c::seek(0)) {
      tr.print(ZQTR_FAIL, __LINE__, "failed to seek back to position 0. %s (%d).\n", m_name.c_str(),
               static_cast<int>(GetLastError()));
      _close_volume(false);
      return false;
    }
    m_position = 0;
  } else {
    m_position = k_none;
  }
  bool consistent = true;
  storage_info_n::consistency_of_bs(m_boot_sector, m_fs_name, &consistent);
  m_consistent = consistent;
  if (sector != 0) {
    m_pre_read.configure(m_flags, sector);
    m_post_write.configure(m_flags, sector);
  }
  return true;
}

bool FILE_c::_close_volume(bool repair) {
  ZQTR_SCOPE(tr, "FILE_c::close", k_file);
  if (repair && m_volume_locked && !_fix_volume()) {
    tr.print(ZQTR_FAIL, __LINE__, "failed to fix volume %s.\n", m_name.c_str());
  }
  m_pre_read.reset();
  m_post_write.reset();
  // The lock belongs to the volume handle: it is released through a duplicate once the file is closed.
  HANDLE duplicate = basic_file_c::_duplicate_handle(_get_file_handle());
  const bool closed = basic_file_c::close();
  if (m_volume_locked) volume_file_c::unlock_volume(duplicate, m_name.c_str(), &m_volume_locked);
  basic_file_c::_close_handle(duplicate);
  m_volume_locked = false;
  if (repair) _update_volume_total_sectors();
  m_volume_total_sectors = 0;
  if (m_boot_sector != nullptr) VirtualFree(m_boot_sector, 0, MEM_RELEASE);
  m_boot_sector = nullptr;
  m_is_volume = false;
  return closed;
}

bool FILE_c::_fix_volume() {
  ZQTR_SCOPE(tr, "FILE_c::_fix_volume", k_file);
  tr.print(ZQTR_PROGRESS, __LINE__, "checking and fixing boot sector of volume %s.\n", m_name.c_str());
  volume_file_c volume(this, file_system_name(), sector_size());
  volume.get_total_sectors(&m_volume_total_sectors);
  if (!volume.correct_boot_sector(m_boot_sector, m_consistent)) {
    tr.print(ZQTR_FAIL, __LINE__, "Failed to fix boot sector of volume %s.\n", m_name.c_str());
    return false;
  }
  return true;
}

void FILE_c::_update_volume_total_sectors() {
  ZQTR_SCOPE(tr, "FILE_c::_update_volume_total_sectors", k_file);
  if (m_boot_sector == nullptr || m_volume_total_sectors == 0) return;
  tr.print(ZQTR_PROGRESS, __LINE__, "checking and fixing total sectors of volume %s.\n", m_name.c_str());
  uint64_t original = 0;
  storage_info_n::get_volume_total_sectors(m_boot_sector, m_fs_name, &original);
  tr.print_nl(ZQTR_PROGRESS, __LINE__, "Original total sectors[%I64u], current total sectors[%I64u].",
              static_cast<unsigned long long>(original), static_cast<unsigned long long>(m_volume_total_sectors));
  std::string device = m_device_path.c_str();
  if (!device.empty() && device.back() == '\\') device.pop_back();
  if (!storage_info_n::extend_volume(device.c_str(), static_cast<int64_t>(original))) {
    tr.print(ZQTR_FAIL, __LINE__, "Failed to extend total sectors of volume %s.\n", m_name.c_str());
  }
}

bool FILE_c::mknod() { return true; }

void FILE_c::_move_to_own_position(bool writing) {
  if (m_position == k_none) return;  // reading and writing go on from where the file stands
  uint64_t at = basic_file_c::tell();
  if (at == k_none) {
    m_position = k_none;
    return;
  }
  // A stream that changes direction is positioned even where it stands: C requires it.
  if (at != m_position || _stream_needs_positioning(writing)) basic_file_c::seek(m_position);
}

bool FILE_c::_finish_write_behind() {
  bool flushed = m_post_write.flush();
  bool waited = m_post_write._wait_all();
  return flushed && waited;
}

size_t FILE_c::read(void* buffer, size_t count) {
  if (m_file == nullptr) {
    m_last_error = FILE_ERROR_CLOSED;
    return static_cast<size_t>(-1);
  }
  if ((m_flags & ZQ_OPEN_OVERLAPPED) && !_finish_write_behind()) {
    m_last_error = FILE_ERROR_WRITE_BEHIND;
    return static_cast<size_t>(-1);
  }
  size_t got;
  if (m_flags & (ZQ_OPEN_READ_AHEAD | ZQ_OPEN_OVERLAPPED)) {
    got = m_pre_read.read(buffer, m_position, count);
  } else {
    _move_to_own_position(false);
    got = basic_file_c::read(buffer, count);
  }
  if (got != static_cast<size_t>(-1) && m_position != k_none) m_position += got;
  return got;
}

size_t FILE_c::write(const void* buffer, size_t count) {
  if (m_file == nullptr) {
    m_last_error = FILE_ERROR_CLOSED;
    return static_cast<size_t>(-1);
  }
  size_t put;
  if (m_flags & ZQ_OPEN_OVERLAPPED) {
    put = m_post_write.write(buffer, m_position, count);
  } else {
    _move_to_own_position(true);
    put = basic_file_c::write(buffer, count);
  }
  // What the read-ahead buffer holds may no longer be what the file holds.
  m_pre_read.invalidate();
  if (put != static_cast<size_t>(-1) && m_position != k_none) m_position += put;
  return put;
}

bool FILE_c::flush() {
  if ((m_flags & ZQ_OPEN_OVERLAPPED) && !_finish_write_behind()) return false;
  return basic_file_c::flush();
}

uint64_t FILE_c::tell() { return m_file == nullptr ? k_none : m_position; }

bool FILE_c::seek(uint64_t position) {
  if (m_file == nullptr) return false;
  m_position = position;
  return true;
}

bool FILE_c::close() {
  if (m_file == nullptr) return false;
  bool behind_ok = true;
  if (m_flags & ZQ_OPEN_OVERLAPPED) behind_ok = _finish_write_behind();
  bool closed;
  if (m_is_volume) {
    closed = _close_volume(true);
  } else {
    m_pre_read.reset();
    m_post_write.reset();
    closed = basic_file_c::close();
  }
  return closed && behind_ok;
}

bool FILE_c::truncate(uint64_t size) {
  if (m_file == nullptr) return basic_file_c::truncate(size);
  if ((m_flags & ZQ_OPEN_OVERLAPPED) && !_finish_write_behind()) return false;
  if (m_is_volume) return true;
  m_pre_read.invalidate();
  return basic_file_c::truncate(size);
}

uint64_t FILE_c::size() {
  if (m_file != nullptr && m_is_volume) return m_volume_size;
  // Data still behind count towards the size.
  if (m_file != nullptr && (m_flags & ZQ_OPEN_OVERLAPPED) && !_finish_write_behind()) return k_none;
  return basic_file_c::size();
}

bool FILE_c::mark_consistent(bool value) {
  if (m_file == nullptr) return false;
  if (!m_is_volume) return true;
  if (!m_volume_locked) return false;
  m_consistent = value;
  return true;
}

bool FILE_c::is_consistent() { return m_file != nullptr && m_is_volume ? m_consistent : true; }
