#include "file/file_prop.h"

#include "file/basic_file.h"
#include "file/existence.h"
#include "file/fs_info.h"
#include "file/path_n.h"
#include "platform/trc/zqtr.h"
#include "platform/txf/txf_wrapper.h"
#include "platform/thl/library_statics.h"
#include "utl/multi_lang.h"
#include "utl/time_span.h"
#include "utl/utl.h"
#include "utl/win_internals.h"

#include <cstring>
#include <cwchar>
#include <memory>

namespace {

constexpr uint32_t k_tag_symlink = 0xA000000C, k_tag_mount_point = 0xA0000003, k_tag_hsm = 0xC0000004,
                   k_tag_filter_manager = 0x8000000B, k_tag_sis = 0x80000007, k_tag_dfs = 0x8000000A;
constexpr DWORD k_reparse_buffer_size = 16408;
constexpr DWORD k_fsctl_set_compression = 0x9C040;

const char* k_file = "file_modif";

// Substitute name of the reparse data (the symbolic link form carries a flags word before its
// names); false when the data is too short for what it claims.
bool substitute_name(const unsigned char* data, DWORD size, bool symlink, std::wstring& out) {
  const size_t header = 8 + 8 + (symlink ? 4 : 0);
  if (size < header) return false;
  USHORT offset = 0, length = 0;
  std::memcpy(&offset, data + 8, sizeof offset);
  std::memcpy(&length, data + 10, sizeof length);
  if (header + offset + length > size) return false;
  const size_t units = length / sizeof(WCHAR);
  out.resize(units);
  std::memcpy(&out[0], data + header + offset, units * sizeof(WCHAR));
  return true;
}

HANDLE open_for_change(const file_prop_data_s& data) {
  return zq_create_file(data.path.c_str(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, data.transaction, true, 0);
}

}  // namespace

reparse_kind_e reparse_kind_of(uint32_t tag, const wchar_t* target) {
  switch (tag) {
    case k_tag_symlink:
      return REPARSE_SYMBOLIC_LINK;
    case k_tag_mount_point:
      if (target != nullptr && std::wcschr(target, L':') != nullptr && std::wcsstr(target, L"\\??\\Volume") == nullptr) {
        return REPARSE_JUNCTION;
      }
      return REPARSE_MOUNT_POINT;
    case k_tag_hsm:
      return REPARSE_HIERARCHICAL_STORAGE;
    case k_tag_filter_manager:
      return REPARSE_FILTER_MANAGER;
    case k_tag_sis:
      return REPARSE_SINGLE_INSTANCE;
    case k_tag_dfs:
      return REPARSE_DISTRIBUTED_FS;
    default:
      return (tag & 0x80000000u) ? REPARSE_OTHER_MICROSOFT : REPARSE_OTHER;
  }
}

void file_prop_data_s::reset() {
  mode.reset();
  link_target << '\x01';
  path << '\x01';
  modification_time = 0;
  size = 0;
  allocated_size = 0;
  file_id = 0;
  volume_serial = 0;
  reserved[0] = reserved[1] = 0;
  transaction = nullptr;
  tag = -1;
  loaded = false;
  link_count = 0;
  file_link = false;
  reparse_kind = REPARSE_NONE;
}

void file_prop_data_s::copy(const file_prop_data_s& other) {
  mode.copy(other.mode);
  link_target << '\x01' << other.link_target;
  path << '\x01' << other.path;
  modification_time = other.modification_time;
  size = other.size;
  allocated_size = other.allocated_size;
  file_id = other.file_id;
  volume_serial = other.volume_serial;
  reserved[0] = other.reserved[0];
  reserved[1] = other.reserved[1];
  transaction = other.transaction;
  tag = other.tag;
  loaded = other.loaded;
  link_count = other.link_count;
  file_link = other.file_link;
  reparse_kind = other.reparse_kind;
}

void file_prop_access_c::reset() { m_data.reset(); }

bool file_prop_access_c::_loaded_for(const char* path) const {
  return m_data.loaded && path != nullptr && utl_n::ascii_compare_nocase(m_data.path.c_str(), path) == 0;
}

bool file_prop_access_c::load_file_properties_from_disk(const char* path, file_prop_data_s* copy_to,
                                                       HANDLE transaction) {
  ZQTR_SCOPE(tr, "file_prop_access_c::load_file_properties_from_disk", k_file);
  m_data.reset();
  if (copy_to != nullptr) copy_to->reset();
  if (path == nullptr) return false;

  utl_stream_c volume;
  volume << path;
  if (path_n::resolve_volume_path(volume)) {
    m_data.mode.set_zqmode(m_data.mode.zqmode() | ZQ_MODE_DEVICE);
    volume << "\\";
    std::unique_ptr<wchar_t[]> wide = path_n::wide_path(volume.c_str(), false);
    ULARGE_INTEGER total;
    if (!GetDiskFreeSpaceExW(wide.get(), nullptr, &total, nullptr)) return false;
    m_data.size = total.QuadPart;
    m_data.allocated_size = m_data.size;
    m_data.loaded = true;
  } else {
    HANDLE handle = zq_create_file(path, 0, OPEN_EXISTING, transaction, true, 0);
    if (handle == INVALID_HANDLE_VALUE) return false;
    library_statics_n::handle_counter().increase();
    basic_file_c::auto_release_file_handle_c release(handle);
    if (!_load_from_handle(handle, path)) return false;
    m_data.transaction = transaction;
    if (m_data.mode.zqmode() & ZQ_MODE_REPARSE_POINT) _get_reparse_point_prop(handle, path);
  }
  if (copy_to != nullptr) copy_to->copy(m_data);
  m_data.path << path;
  return true;
}

bool file_prop_access_c::_load_from_handle(HANDLE handle, const char* path) {
  ZQTR_SCOPE(tr, "file_prop_access_c::load_file_properties_from_disk", k_file);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return false;
  DWORD attributes = info.dwFileAttributes;
  // Both at once is not a state a file can be in: neither is believed.
  const DWORD sparse_reparse = FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_REPARSE_POINT;
  if ((attributes & sparse_reparse) == sparse_reparse) attributes &= ~sparse_reparse;
  m_data.mode.set_hostmode(attributes);
  m_data.size = utl_n::i32x32to64(info.nFileSizeLow, info.nFileSizeHigh);
  m_data.modification_time = date_time_c::convert_filetime_to_time_t(&info.ftLastWriteTime);
  m_data.loaded = true;
  m_data.link_count = info.nNumberOfLinks;
  if (m_data.link_count > 1) m_data.mode.set_zqmode(m_data.mode.zqmode() | ZQ_MODE_HARD_LINKED);
  m_data.file_id = utl_n::i32x32to64(info.nFileIndexLow, info.nFileIndexHigh);
  m_data.volume_serial = info.dwVolumeSerialNumber;
  unsigned char compression[16] = {};
  if (win_internals_n::query_info_file(handle, compression)) {
    std::memcpy(&m_data.allocated_size, compression, sizeof m_data.allocated_size);
  } else {
    tr.print(ZQTR_DETAIL, __LINE__, "failed to get compressed size of %s, using normal size\n", path);
    m_data.allocated_size = m_data.size;
  }
  return true;
}

bool file_prop_access_c::load_file_properties_from_disk(basic_file_c& file) {
  ZQTR_SCOPE(tr, "file_prop_access_c::load_file_properties_from_disk", k_file);
  m_data.reset();
  const char* name = file.name().c_str();
  if (file.name().ends_with("$$zq-volume", true)) {
    m_data.mode.set_zqmode(m_data.mode.zqmode() | ZQ_MODE_DEVICE);
    m_data.size = file.size();
    if (m_data.size == static_cast<uint64_t>(-1)) return false;
    m_data.allocated_size = m_data.size;
    m_data.loaded = true;
  } else {
    HANDLE handle = file._get_file_handle();
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (!_load_from_handle(handle, name)) return false;
  }
  m_data.path << name;
  return true;
}

void file_prop_access_c::_get_reparse_point_prop(HANDLE handle, const char* path) {
  ZQTR_SCOPE(tr, "file_prop_access_c::_get_reparse_point_prop", k_file);
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[k_reparse_buffer_size]);
  DWORD returned = 0;
  if (!DeviceIoControl(handle, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.get(), k_reparse_buffer_size, &returned,
                       nullptr)) {
    utl_stream_c text;
    tr.print(ZQTR_FAIL, __LINE__, "Unable to read reparse point data for %s, err=%s\n", path,
             utl_n::get_error_text(text, 0));
    m_data.reparse_kind = REPARSE_NONE;
    return;
  }
  uint32_t tag = 0;
  std::memcpy(&tag, buffer.get(), sizeof tag);
  std::wstring target;
  const bool has_target = (tag == k_tag_symlink || tag == k_tag_mount_point) &&
                          substitute_name(buffer.get(), returned, tag == k_tag_symlink, target);
  m_data.reparse_kind = reparse_kind_of(tag, has_target ? target.c_str() : nullptr);
  if (!has_target) return;
  switch (m_data.reparse_kind) {
    case REPARSE_SYMBOLIC_LINK:
      m_data.mode.set_zqmode(m_data.mode.zqmode() | ZQ_MODE_LINK);
      m_data.file_link = !m_data.mode.is_directory();
      if (target.compare(0, 4, L"\\??\\") == 0) target.erase(0, 4);
      break;
    case REPARSE_JUNCTION:
      m_data.mode.set_zqmode(m_data.mode.zqmode() | ZQ_MODE_LINK);
      m_data.file_link = false;
      break;
    default:
      break;
  }
  if (target.size() > PATH_BUFFER_SIZE) target.resize(PATH_BUFFER_SIZE);
  std::unique_ptr<char[]> utf8(new char[PATH_BUFFER_SIZE * 4]);
  if (multi_lang_str_n::wide_to_utf8(target.c_str(), utf8.get(), PATH_BUFFER_SIZE * 4) == nullptr) utf8[0] = '\0';
  m_data.link_target << '\x01' << utf8.get();
  if (m_data.reparse_kind == REPARSE_JUNCTION) {
    tr.print(ZQTR_DETAIL, __LINE__, "the directory at %s is junction point to %s\n", path, m_data.link_target.c_str());
  } else if (m_data.reparse_kind == REPARSE_MOUNT_POINT) {
    tr.print(ZQTR_DETAIL, __LINE__, "the directory at %s is mount point to %s\n", path, m_data.link_target.c_str());
  }
}

bool file_prop_access_c::set_mode_to_disk(const char* path, const file_mode_c& mode) {
  ZQTR_SCOPE(tr, "file_prop_access_c::set_mode_to_disk", k_file);
  if (!_loaded_for(path) && !load_file_properties_from_disk(path, nullptr, nullptr)) return false;
  return _set_mode_to_disk(mode, true, nullptr);
}

bool file_prop_access_c::_set_mode_to_disk(const file_mode_c& mode, bool with_compression, basic_file_c* open_file) {
  ZQTR_SCOPE(tr, "file_prop_access_c::_set_mode_to_disk", k_file);
  const char* path = m_data.path.c_str();
  uint32_t want = mode.hostmode();
  const uint32_t have = m_data.mode.hostmode();
  if ((have & FILE_ATTRIBUTE_SPARSE_FILE) && !(want & FILE_ATTRIBUTE_SPARSE_FILE)) {
    tr.print(ZQTR_PROBLEM, __LINE__, "Sparse attribute can NOT be removed for %s\n", path);
    want |= FILE_ATTRIBUTE_SPARSE_FILE;
  }
  const bool compression_change =
      with_compression && ((want ^ have) & FILE_ATTRIBUTE_COMPRESSED) != 0;
  const bool sparse_change = ((want ^ have) & FILE_ATTRIBUTE_SPARSE_FILE) != 0;
  bool ok = true;
  if (compression_change || sparse_change) {
    bool lifted = false;
    if (!m_data.mode.is_writable()) lifted = _add_write_attrib();
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool opened_here = false;
    if (open_file != nullptr) {
      handle = open_file->_get_file_handle();
    } else {
      handle = open_for_change(m_data);
      opened_here = handle != INVALID_HANDLE_VALUE;
    }
    if (handle == INVALID_HANDLE_VALUE) {
      // Neither change can be made; that is a failure even though the attributes are still written.
      tr.print(ZQTR_FAIL, __LINE__, "Unable to open %s to change its compression or sparseness\n", path);
      ok = false;
    } else {
      if (compression_change) {
        USHORT format = (want & FILE_ATTRIBUTE_COMPRESSED) ? 1 : 0;
        DWORD returned = 0;
        const BOOL compressed = DeviceIoControl(handle, k_fsctl_set_compression, &format, 4, nullptr, 0, &returned, nullptr);
        // The reason is the control's own: the file-system query below sets the last error anew.
        const DWORD compression_error = compressed ? 0 : GetLastError();
        if (compressed) {
          uint32_t z = m_data.mode.zqmode();
          m_data.mode.set_zqmode(format ? (z | ZQ_MODE_COMPRESSED) : (z & ~ZQ_MODE_COMPRESSED));
        } else if (file_system_info_n::supports_compression(path)) {
          utl_stream_c text;
          tr.print(ZQTR_FAIL, __LINE__, "Unable to set compression for %s[%s]\n", path,
                   utl_n::get_error_text(text, static_cast<int>(compression_error)));
          ok = false;
        } else {
          tr.print(ZQTR_PROGRESS, __LINE__, "Unable to set compression for %s\n", path);
          m_data.mode.set_zqmode(m_data.mode.zqmode() & ~ZQ_MODE_COMPRESSED);
          want &= ~static_cast<uint32_t>(FILE_ATTRIBUTE_COMPRESSED);
        }
      }
      if (sparse_change) {
        if (sparse_file_c::set_sparse(handle)) {
          m_data.mode.set_zqmode(m_data.mode.zqmode() | ZQ_MODE_SPARSE);
        } else {
          const DWORD sparse_error = GetLastError();
          utl_stream_c text;
          tr.print(ZQTR_FAIL, __LINE__, "Unable to set sparse for %s[%s]\n", path,
                   utl_n::get_error_text(text, static_cast<int>(sparse_error)));
          ok = false;
        }
      }
    }
    if (lifted) _remove_write_attrib();
    if (opened_here && !CloseHandle(handle)) return false;
  }
  const uint32_t now = m_data.mode.hostmode();
  if (want != now) {
    if (path_n::is_volume_root(path) && file_system_info_n::get_fs_type(path) == 'F') return ok;
    std::unique_ptr<wchar_t[]> wide = path_n::wide_path(path, true);
    // Only the plain attribute bits are written; compression and sparseness were handled above.
    DWORD written = want & ~static_cast<uint32_t>(FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE |
                                                  FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY);
    if (written == 0) written = FILE_ATTRIBUTE_NORMAL;
    BOOL set = m_data.transaction != nullptr
                   ? txf_wrapper_c::SetFileAttributesTransacted(wide.get(), written, m_data.transaction)
                   : SetFileAttributesW(wide.get(), written);
    if (!set) return false;
    m_data.mode.set_hostmode(want);
  }
  return ok;
}

bool file_prop_access_c::_add_write_attrib() {
  if (m_data.mode.is_writable()) return false;
  file_mode_c mode;
  mode.copy(m_data.mode);
  mode.toggle_readonly();
  return _set_mode_to_disk(mode, true, nullptr);
}

bool file_prop_access_c::_remove_write_attrib() {
  if (!m_data.mode.is_writable()) return false;
  file_mode_c mode;
  mode.copy(m_data.mode);
  mode.toggle_readonly();
  return _set_mode_to_disk(mode, true, nullptr);
}

bool file_prop_access_c::add_write_attrib(const char* path, HANDLE transaction) {
  ZQTR_SCOPE(tr, "file_prop_access_c::add_write_attrib", k_file);
  if (path == nullptr) return false;
  std::unique_ptr<char[]> file(new char[PATH_BUFFER_SIZE]);
  std::strncpy(file.get(), path, PATH_BUFFER_SIZE - 1);
  file[PATH_BUFFER_SIZE - 1] = '\0';
  if (path_n::is_stream_in_path(path, path)) path_n::stream_path_to_file(path, file.get());
  if (!file_manipulation_n::if_exists(file.get(), transaction)) return false;
  if (!_loaded_for(file.get()) && !load_file_properties_from_disk(file.get(), nullptr, transaction)) return false;
  return _add_write_attrib();
}

bool sparse_file_c::set_sparse(HANDLE file) {
  if (file == nullptr || file == INVALID_HANDLE_VALUE) return false;
  DWORD returned = 0;
  if (!DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr)) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE) != 0;
}
