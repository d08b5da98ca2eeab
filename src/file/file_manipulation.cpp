#include "file/file_manipulation.h"

#include "file/file.h"
#include "file/path_n.h"
#include "file/zq_io.h"
#include "platform/crt/crt_io.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "platform/txf/txf_wrapper.h"
#include "utl/multi_lang.h"
#include "utl/time_span.h"
#include "utl/utl.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

namespace {

const char* k_file = "file";

std::string utf8_of(const wchar_t* text) {
  std::unique_ptr<char[]> buffer(new char[PATH_BUFFER_SIZE * 4]);
  if (text == nullptr || multi_lang_str_n::wide_to_utf8(text, buffer.get(), PATH_BUFFER_SIZE * 4) == nullptr) {
    return std::string();
  }
  return buffer.get();
}

wchar_t lower(wchar_t c) {
  return static_cast<wchar_t>(reinterpret_cast<uintptr_t>(CharLowerW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(c)))));
}

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool probe_open(const wchar_t* path, DWORD flags, HANDLE transaction) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE handle = transaction != nullptr
                      ? txf_wrapper_c::CreateFileTransacted(path, 0, share, nullptr, OPEN_EXISTING, flags, nullptr,
                                                            transaction, nullptr, nullptr)
                      : CreateFileW(path, 0, share, nullptr, OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

BOOL move_entry(const wchar_t* from, const wchar_t* to, HANDLE transaction) {
  return transaction != nullptr
             ? txf_wrapper_c::MoveFileTransacted(from, to, nullptr, nullptr, MOVEFILE_WRITE_THROUGH, transaction)
             : MoveFileExW(from, to, MOVEFILE_WRITE_THROUGH);
}

}  // namespace

namespace file_manipulation_n {

bool if_exists(const char* path, HANDLE transaction) {
  ZQTR_SCOPE(tr, "file_manipulation_n::if_exists", k_file);
  if (path == nullptr) return false;
  if (path_n::is_volume_guid_path(path, false)) {
    std::unique_ptr<wchar_t[]> wide = path_n::wide_path(path, true);
    size_t n = std::wcslen(wide.get());
    if (n > path_n::volume_guid_name_length + 1) return false;
    if (n > 0 && wide[n - 1] == L'\\') wide[n - 1] = 0;
    return probe_open(wide.get(), FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  std::unique_ptr<wchar_t[]> wide = path_n::wide_path(path, true);
  bool exists = false;
  if (transaction != nullptr) {
    exists = probe_open(wide.get(), FILE_FLAG_BACKUP_SEMANTICS, transaction);
  } else if (crt_io_n::waccess(wide.get(), 0) == 0) {
    exists = true;
  } else if (errno == EACCES) {
    exists = probe_open(wide.get(), FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }
  if (exists && path_n::is_short_name(path)) {
    tr.print(ZQTR_PROBLEM, __LINE__, "if_exists - another file/dir owned this short name %s\n", path);
    return false;
  }
  return exists;
}

bool _remove_path(const char* path, HANDLE transaction, bool (*remove_hook)(const char*)) {
  ZQTR_SCOPE(tr, "file_manipulation_n::_remove_path", k_file);
  tr.print(ZQTR_FS, __LINE__, "Remove path %s\n", path);
  if (!if_exists(path, transaction)) return true;
  file_prop_access_c properties;
  if (!properties.load_file_properties_from_disk(path, nullptr, transaction)) return true;
  properties.add_write_attrib(path, transaction);
  const file_prop_data_s& data = properties.data();
  std::unique_ptr<wchar_t[]> wide = path_n::wide_path(path, true);
  if (!data.mode.is_directory()) {
    if (remove_hook != nullptr && remove_hook(path)) return true;
    return transaction != nullptr ? txf_wrapper_c::DeleteFileTransacted(wide.get(), transaction) != FALSE
                                  : DeleteFileW(wide.get()) != FALSE;
  }
  const bool link = data.reparse_kind == REPARSE_SYMBOLIC_LINK || data.reparse_kind == REPARSE_JUNCTION ||
                    data.reparse_kind == REPARSE_MOUNT_POINT;
  if (!link) {
    dir_content_c content(transaction);
    if (content.init(path)) {
      file_prop_data_s entry;
      std::unique_ptr<char[]> child(new char[PATH_BUFFER_SIZE]);
      while (content.next(entry)) {
        int n = std::snprintf(child.get(), PATH_BUFFER_SIZE, "%s/%s", path, entry.path.c_str());
        // A cut name would name another entry: stop rather than remove the wrong one.
        if (n < 0 || n >= static_cast<int>(PATH_BUFFER_SIZE)) return false;
        if (!_remove_path(child.get(), transaction, remove_hook)) return false;
      }
      if (content.error()) return false;
    }
  }
  if (remove_hook != nullptr && remove_hook(path)) return true;
  return transaction != nullptr ? txf_wrapper_c::RemoveDirectoryTransacted(wide.get(), transaction) != FALSE
                                : RemoveDirectoryW(wide.get()) != FALSE;
}

bool create_directory(const char* path, bool is_file_name) {
  ZQTR_SCOPE(tr, "file_manipulation_n::create_directory", k_file);
  tr.print(ZQTR_FS, __LINE__, "Create directory %s, is_file_name %s, full_access %s\n", path,
           is_file_name ? "true" : "false", "false");
  std::unique_ptr<char[]> text(new (std::nothrow) char[PATH_BUFFER_SIZE + 1]);
  if (text == nullptr) {
    tr.print(ZQTR_PROGRESS, __LINE__, "Create directory --> Memory allocation has failed \n");
    return false;
  }
  std::memset(text.get(), 0, PATH_BUFFER_SIZE + 1);
  if (path == nullptr || !path_n::standard_dir_path(path, text.get(), true)) return false;
  size_t n = std::strlen(text.get());
  if (is_file_name) {
    char* slash = std::strrchr(text.get(), '/');
    if (slash == nullptr) return true;
    slash[1] = '\0';
  } else if (n > 0 && text[n - 1] != '/') {
    text[n] = '/';
    text[n + 1] = '\0';
  }
  n = std::strlen(text.get());
  {
    // The final directory as a name (without its separator): an existing file there is refused.
    std::string last(text.get(), n);
    if (last.size() > 1 && last.back() == '/' && !(last.size() == 3 && last[1] == ':')) last.pop_back();
    if (if_exists(last.c_str(), nullptr)) {
      file_prop_access_c properties;
      if (properties.load_file_properties_from_disk(last.c_str(), nullptr, nullptr)) {
        return properties.data().mode.is_directory();
      }
    }
  }
  size_t start = 1;
  if (text[0] == '\\' && text[1] == '\\') {
    const char* slash = std::strchr(text.get(), '/');
    if (slash == nullptr) return true;
    start = static_cast<size_t>(slash - text.get()) + 1;
  }
  for (size_t i = start; i < n; ++i) {
    if (text[i] != '/') continue;
    const char kept = text[i + 1];
    text[i + 1] = '\0';
    bool ok = true;
    {
      reserve_short_path_name_s reservation(text.get(), 0, nullptr);
      if (!if_exists(text.get(), nullptr)) {
        std::unique_ptr<wchar_t[]> wide = path_n::wide_path(text.get(), true);
        if (!CreateDirectoryW(wide.get(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) ok = false;
      }
    }
    text[i + 1] = kept;
    if (!ok) return false;
  }
  return true;
}

unsigned bytes_per_sector(const char* path, unsigned* cluster_size) {
  ZQTR_SCOPE(tr, "file_manipulation_n::bytes_per_sector", k_file);
  if (cluster_size != nullptr) *cluster_size = 0;
  std::unique_ptr<char[]> root(new char[PATH_BUFFER_SIZE]);
  if (path == nullptr || !path_n::drive_name_from_path(path, root.get())) {
    tr.print_nl(ZQTR_DETAIL, __LINE__, "error getting drive name from path %s", path);
    return 0;
  }
  std::unique_ptr<wchar_t[]> wide(new wchar_t[PATH_BUFFER_SIZE]);
  if (multi_lang_str_n::utf8_to_wide(root.get(), wide.get(), PATH_BUFFER_SIZE) == nullptr) return 0;
  path_n::resolve_volume_path(wide.get());
  UINT type = GetDriveTypeW(wide.get());
  if (type < DRIVE_FIXED || type == DRIVE_CDROM) return 0;
  DWORD sectors = 0, bytes = 0, free_clusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceW(wide.get(), &sectors, &bytes, &free_clusters, &clusters)) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to get volume %s size (%d)\n", root.get(), static_cast<int>(GetLastError()));
    return 0;
  }
  if (cluster_size != nullptr) *cluster_size = sectors * bytes;
  return bytes;
}

namespace {
std::atomic<unsigned> g_temp_counter{0};

bool is_retryable(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}
}  // namespace

bool replace_file_contents(const char* path, const char* data, size_t length) {
  ZQTR_SCOPE(tr, "file_manipulation_n::replace_file_contents", "file_modif");
  if (path == nullptr || (data == nullptr && length > 0)) return false;
  utl_stream_c temp;
  temp << path << "." << static_cast<unsigned int>(GetCurrentProcessId()) << "."
       << static_cast<unsigned int>(g_temp_counter.fetch_add(1)) << ".tmp";
  {
    FILE_c file;
    if (!file.open(temp.c_str(), "w", nullptr, ZQ_OPEN_WRITE_THROUGH)) return false;
    bool written = file.write(data, length) == length;
    written = file.flush() && written;
    if (!file.close() || !written) {
      tr.print(ZQTR_FAIL, __LINE__, "Unable to write %s\n", temp.c_str());
      DeleteFileW(path_n::wide_path(temp.c_str(), true).get());
      return false;
    }
  }
  std::unique_ptr<wchar_t[]> target = path_n::wide_path(path, true);
  std::unique_ptr<wchar_t[]> replacement = path_n::wide_path(temp.c_str(), true);
  DWORD error = ERROR_SUCCESS;
  // One rename that replaces the old file (ReplaceFileW is not used: it takes the old file away
  // before the new one arrives).
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (MoveFileExW(replacement.get(), target.get(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = GetLastError();
    if (!is_retryable(error)) break;
    mix_n::sleep(attempt < 20 ? 1 : 10);
  }
  utl_stream_c reason;
  tr.print(ZQTR_FAIL, __LINE__, "Unable to put the new content of %s in place, %s\n", path,
           utl_n::get_error_text(reason, static_cast<int>(error)));
  DeleteFileW(replacement.get());
  return false;
}

DWORD read_file(const char* path, std::string& out, size_t most) {
  out.clear();
  if (path == nullptr || path[0] == '\0') return ERROR_INVALID_PARAMETER;
  wchar_t wide[PATH_BUFFER_SIZE];  // on the stack: no large heap request per read
  path_n::path_to_wide_char_path(path, wide, true);
  HANDLE file = CreateFileW(wide, GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  // A first read of 4 KiB takes a small file whole; a file that fills it is read on in larger steps.
  // The end is the read that brings nothing (a short read alone does not say it everywhere).
  DWORD error = ERROR_SUCCESS;
  size_t step = 4096;
  for (;;) {
    const size_t at = out.size();
    if (at > most) {
      error = ERROR_FILE_TOO_LARGE;
      break;
    }
    if (out.capacity() < at + step) out.reserve(at + step);
    out.resize(at + step);
    DWORD got = 0;
    if (!ReadFile(file, &out[at], static_cast<DWORD>(step), &got, nullptr)) {
      error = GetLastError();
      break;
    }
    out.resize(at + got);
    if (got == 0) break;
    if (at + got >= 4096) step = 65536;
  }
  CloseHandle(file);
  if (error != ERROR_SUCCESS) out.clear();
  return error;
}

bool is_missing_error(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace file_manipulation_n

reserve_short_path_name_s::reserve_short_path_name_s(const char* path, DWORD disposition, HANDLE transaction)
    : transaction(transaction) {
  if (path == nullptr || disposition == OPEN_EXISTING || !k_platform_has_short_names) return;
  ZQTR_SCOPE(tr, "reserve_short_path_name_s::reserve_short_path_name_s", k_file);
  std::unique_ptr<wchar_t[]> wide = path_n::wide_path(path, true);
  std::unique_ptr<wchar_t[]> full(new wchar_t[PATH_BUFFER_SIZE]);
  full[0] = 0;
  DWORD n = transaction != nullptr
                ? txf_wrapper_c::GetLongPathNameTransacted(wide.get(), full.get(), PATH_BUFFER_SIZE, transaction)
                : GetLongPathNameW(wide.get(), full.get(), PATH_BUFFER_SIZE);
  if (n == 0 || n >= PATH_BUFFER_SIZE || utl_n::uni_stricmp(wide.get(), full.get()) == 0) return;

  // The first component that differs is the short name of the entry that owns it.
  size_t i = 0, j = 0;
  while (wide[i] != 0 && full[j] != 0) {
    if (is_separator(wide[i]) && is_separator(full[j])) {
      ++i;
      ++j;
      continue;
    }
    if (lower(wide[i]) != lower(full[j])) break;
    ++i;
    ++j;
  }
  wchar_t* end = std::wcschr(full.get() + j, L'\\');
  if (end == nullptr) end = std::wcschr(full.get() + j, L'/');
  if (end != nullptr) *end = 0;
  long_path = full.release();

  const wchar_t* last = std::wcsrchr(long_path, L'\\');
  const wchar_t* last_slash = std::wcsrchr(long_path, L'/');
  if (last_slash != nullptr && (last == nullptr || last_slash > last)) last = last_slash;
  const size_t dir_length = last == nullptr ? 0 : static_cast<size_t>(last - long_path) + 1;
  temp_path = new wchar_t[PATH_BUFFER_SIZE];
  const std::string long_text = utf8_of(long_path);
  for (unsigned number = 0;; ++number) {
    char name[32];
    std::snprintf(name, sizeof name, "%u.zqx", number);
    std::wmemcpy(temp_path, long_path, dir_length);
    size_t k = dir_length;
    for (const char* c = name; *c != '\0' && k + 1 < PATH_BUFFER_SIZE; ++c) temp_path[k++] = static_cast<wchar_t>(*c);
    temp_path[k] = 0;
    if (std::strlen(name) > 12) {
      tr.print(ZQTR_FAIL, __LINE__, "no usable tmp name '%s'\n", utf8_of(temp_path).c_str());
      break;
    }
    if (move_entry(long_path, temp_path, transaction)) {
      moved = true;
      break;
    }
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) continue;
    utl_stream_c text;
    tr.print(ZQTR_FAIL, __LINE__, "unable rename '%s' to tmp name '%s', %s\n", long_text.c_str(),
             utf8_of(temp_path).c_str(), utl_n::get_error_text(text, static_cast<int>(error)));
    break;
  }
}

reserve_short_path_name_s::~reserve_short_path_name_s() {
  if (moved) {
    ZQTR_SCOPE(tr, "reserve_short_path_name_s::~reserve_short_path_name_s", k_file);
    if (!move_entry(temp_path, long_path, transaction)) {
      utl_stream_c text;
      tr.print(ZQTR_FAIL, __LINE__, "unable restore filename from '%s' to '%s', %s\n", utf8_of(temp_path).c_str(),
               utf8_of(long_path).c_str(), utl_n::get_error_text(text, 0));
    }
  }
  delete[] long_path;
  delete[] temp_path;
}

dir_content_c::dir_content_c(HANDLE transaction) : m_transaction(transaction) {}

dir_content_c::~dir_content_c() { reset(); }

void dir_content_c::reset() {
  m_dir << '\x01';
  for (void* queued = m_queued.first(); queued != nullptr; queued = m_queued.remove_current()) {
    delete static_cast<file_prop_data_s*>(queued);
  }
  m_error = false;
  if (m_find != INVALID_HANDLE_VALUE) {
    FindClose(m_find);
    m_find = INVALID_HANDLE_VALUE;
  }
}

bool dir_content_c::init(const char* dir) {
  ZQTR_SCOPE(tr, "dir_content_c::init", k_file);
  reset();
  if (dir == nullptr) return false;
  std::unique_ptr<wchar_t[]> pattern = path_n::wide_path(dir, true);
  size_t n = std::wcslen(pattern.get());
  bool separator_added = false;
  if (n + 3 > PATH_BUFFER_SIZE) return false;
  if (n == 0 || pattern[n - 1] != L'\\') {
    pattern[n++] = L'\\';
    separator_added = true;
  }
  pattern[n++] = L'*';
  pattern[n] = 0;
  WIN32_FIND_DATAW data;
  if (m_transaction != nullptr) {
    m_find = txf_wrapper_c::FindFirstFileTransacted(pattern.get(), FindExInfoStandard, &data, FindExSearchNameMatch,
                                                    nullptr, 1, m_transaction);
  } else {
    m_find = FindFirstFileExW(pattern.get(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
    if (m_find == INVALID_HANDLE_VALUE) m_find = FindFirstFileW(pattern.get(), &data);
  }
  if (m_find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_NO_MORE_FILES;
  m_dir << dir;
  if (separator_added) m_dir << "/";
  if (!_if_dots_dirs(data.cFileName)) {
    std::unique_ptr<file_prop_data_s> entry(new file_prop_data_s);
    _fill_new_entry(data, *entry, true);
    m_queued.append(entry.release());
  }
  return true;
}

bool dir_content_c::next(file_prop_data_s& entry) {
  void* queued = m_queued.first();
  if (queued != nullptr) {
    m_queued.remove_current();
    std::unique_ptr<file_prop_data_s> first(static_cast<file_prop_data_s*>(queued));
    entry.copy(*first);
    return true;
  }
  if (m_find == INVALID_HANDLE_VALUE) return false;
  WIN32_FIND_DATAW data;
  for (;;) {
    if (!FindNextFileW(m_find, &data)) {
      DWORD error = GetLastError();
      FindClose(m_find);
      m_find = INVALID_HANDLE_VALUE;
      if (error != ERROR_NO_MORE_FILES) m_error = true;
      return false;
    }
    if (!_if_dots_dirs(data.cFileName)) break;
  }
  _fill_new_entry(data, entry, true);
  return true;
}

bool dir_content_c::_if_dots_dirs(const wchar_t* name) {
  return name != nullptr && name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

void dir_content_c::_fill_new_entry(const WIN32_FIND_DATAW& data, file_prop_data_s& entry, bool name_only) {
  ZQTR_SCOPE(tr, "dir_content_c::_fill_new_entry", k_file);
  entry.reset();
  entry.mode.set_hostmode(data.dwFileAttributes);
  entry.modification_time = date_time_c::convert_filetime_to_time_t(&data.ftLastWriteTime);
  entry.size = utl_n::i32x32to64(data.nFileSizeLow, data.nFileSizeHigh);
  const std::string name = utf8_of(data.cFileName);
  if (!name_only) entry.path << m_dir;
  entry.path << name.c_str();
  utl_stream_c full;
  full << m_dir << name.c_str();

  const bool reparse = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  const bool sparse = (data.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE) != 0;
  file_prop_access_c properties;
  if (!reparse && !sparse) {
    entry.reparse_kind = REPARSE_NONE;
    if (entry.mode.is_directory()) return;
    if (properties.load_file_properties_from_disk(full.c_str(), nullptr, m_transaction)) {
      const file_prop_data_s& loaded = properties.data();
      if (loaded.mode.zqmode() & ZQ_MODE_HARD_LINKED) {
        entry.mode.set_zqmode(entry.mode.zqmode() | ZQ_MODE_HARD_LINKED);
      }
      entry.link_count = loaded.link_count;
      entry.file_id = loaded.file_id;
      entry.volume_serial = loaded.volume_serial;
    }
    return;
  }
  if (!properties.load_file_properties_from_disk(full.c_str(), nullptr, m_transaction)) return;
  const file_prop_data_s& loaded = properties.data();
  if (sparse && !(loaded.mode.hostmode() & FILE_ATTRIBUTE_SPARSE_FILE)) {
    tr.print(ZQTR_PROBLEM, __LINE__, "Inconsistent sparse bit, taking precedence from GetInformationByHandle, %s.\n",
             full.c_str());
    entry.mode.copy(loaded.mode);
  }
  if (reparse) {
    entry.reparse_kind = loaded.reparse_kind;
    if (loaded.reparse_kind == REPARSE_SYMBOLIC_LINK || loaded.reparse_kind == REPARSE_JUNCTION) {
      entry.link_target << '\x01' << loaded.link_target;
      entry.file_link = loaded.file_link;
      entry.mode.copy(loaded.mode);
    }
  }
}

bool sparse_file_c::set_sparse(HANDLE file) {
  if (file == nullptr || file == INVALID_HANDLE_VALUE) return false;
  DWORD returned = 0;
  if (!DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr)) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE) != 0;
}
