#include "file/file.h"

#include "file/file_manipulation.h"
#include "file/path_n.h"
#include "platform/trc/zqtr.h"
#include "utl/tuning_parameters.h"

#include <cstring>

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
  return _open_volume(path);
}

bool FILE_c::_open_volume(const char* path) {
  ZQTR_SCOPE(tr, "FILE_c::_open_volume", k_file);
  // Raw volume access (lock, boot sector, size) is not part of this build: the volume is not used.
  tr.print(ZQTR_FAIL, __LINE__, "Whole-volume access is not available for %s (%s)\n", path, m_device_path.c_str());
  basic_file_c::close();
  m_is_volume = false;
  return false;
}

bool FILE_c::mknod() { return true; }

void FILE_c::_move_to_own_position() {
  if (m_position == k_none) return;  // reading and writing go on from where the file stands
  uint64_t at = basic_file_c::tell();
  if (at == k_none) {
    m_position = k_none;
    return;
  }
  // A stream also needs a positioning call between a write and a read.
  if (at != m_position || m_file->stream != nullptr) basic_file_c::seek(m_position);
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
    _move_to_own_position();
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
    _move_to_own_position();
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
  m_pre_read.reset();
  m_post_write.reset();
  bool closed = basic_file_c::close();
  m_is_volume = false;
  delete[] m_boot_sector;
  m_boot_sector = nullptr;
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
