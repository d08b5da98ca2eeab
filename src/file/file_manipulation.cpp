#include "file/file_manipulation.h"

#include "file/opened_kind.h"
#include "file/path_n.h"
#include "file/replacement.h"
#include "file/short_names.h"
#include "file/zq_io.h"
#ifndef _WIN32
#include "platform/win32/posix/small_reads.h"
#endif
#include "platform/crt/crt_io.h"
#include "platform/thl/mix.h"
#include "platform/trc/zqtr.h"
#include "platform/txf/txf_wrapper.h"
#include "utl/multi_lang.h"
#include "utl/time_span.h"
#include "utl/utl.h"

#include <algorithm>
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


}  // namespace

namespace file_manipulation_n {


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
  // A link stays a link: the file it leads to is the one replaced, its temporary beside it.
  utl_stream_c final_path, reason;
  if (!replacement_n::final_target(path, final_path, reason)) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to replace %s: %s\n", path, reason.c_str());
    return false;  // with the reason's error
  }
  if (!(final_path == path)) tr.print(ZQTR_DETAIL, __LINE__, "%s leads to %s\n", path, final_path.c_str());
  path = final_path.c_str();
  utl_stream_c temp;
  temp << path << "." << static_cast<unsigned int>(GetCurrentProcessId()) << "."
       << static_cast<unsigned int>(g_temp_counter.fetch_add(1)) << ".tmp";
  {
    // The bare handle, written through, with what the old file has that a new one would not.
    HANDLE file = replacement_n::create_for(path, temp.c_str());
    if (file == INVALID_HANDLE_VALUE) {
      utl_stream_c why;
      tr.print(ZQTR_FAIL, __LINE__, "Unable to create %s, %s\n", temp.c_str(),
               utl_n::get_error_text(why, static_cast<int>(GetLastError())));
      return false;
    }
    bool written = true;
    for (size_t done = 0; written && done < length;) {
      const DWORD piece = static_cast<DWORD>(length - done > (1u << 30) ? (1u << 30) : length - done);
      DWORD put = 0;
      written = WriteFile(file, data + done, piece, &put, nullptr) && put == piece;
      done += put;
    }
    if (!CloseHandle(file) || !written) {
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
  utl_stream_c error_text;
  tr.print(ZQTR_FAIL, __LINE__, "Unable to put the new content of %s in place, %s\n", path,
           utl_n::get_error_text(error_text, static_cast<int>(error)));
  DeleteFileW(replacement.get());
  return false;
}

DWORD read_file(const char* path, std::string& out, size_t most) {
  out.clear();
  if (path == nullptr || path[0] == '\0') return ERROR_PATH_NOT_FOUND;  // no path names no file
  wchar_t wide[PATH_BUFFER_SIZE];  // on the stack: no large heap request per read
  path_n::path_to_wide_char_path(path, wide, true);
  HANDLE file = opened_kind_n::refuse_unless_disk(CreateFileW(wide, GENERIC_READ,
                                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    // The room left after a read is used first: the read that finds the end of a small file
    // needs no larger buffer.
    if (out.capacity() - at < 512) out.reserve(at + step);
    const size_t room = std::min(out.capacity() - at, step);
    out.resize(at + room);
    DWORD got = 0;
    if (!ReadFile(file, &out[at], static_cast<DWORD>(room), &got, nullptr)) {
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

namespace {

// An open for a moment, to read a small file whole (or, on Windows, to probe). Windows opens a
// handle; the POSIX layer opens without one.
#ifdef _WIN32
class brief_open_c {
 public:
  // disk_only: a pipe or device opened so is refused while it is open (the POSIX layer never opens
  // one as a file).
  brief_open_c(const wchar_t* wide_path, DWORD access, DWORD share, bool disk_only)
      : m_file(CreateFileW(wide_path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (disk_only) m_file = opened_kind_n::refuse_unless_disk(m_file);
    m_error = m_file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  }
  ~brief_open_c() {
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
  }
  DWORD error() const { return m_error; }
  DWORD read(char* buffer, size_t size, size_t& got) {
    DWORD count = 0;
    const bool ok = ReadFile(m_file, buffer, static_cast<DWORD>(size), &count, nullptr) != FALSE;
    got = count;
    return ok ? ERROR_SUCCESS : GetLastError();
  }

 private:
  HANDLE m_file;
  DWORD m_error = ERROR_SUCCESS;
};
#else
class brief_open_c {
 public:
  brief_open_c(const wchar_t* wide_path, DWORD access, DWORD share, bool)
      : m_fd(small_reads_n::open(wide_path, access, share, m_error)) {}
  ~brief_open_c() {
    if (m_fd >= 0) small_reads_n::close(m_fd);
  }
  DWORD error() const { return m_error; }
  DWORD read(char* buffer, size_t size, size_t& got) { return small_reads_n::read_some(m_fd, buffer, size, got); }

 private:
  DWORD m_error = ERROR_SUCCESS;
  int m_fd;
};
#endif

}  // namespace

DWORD read_small_file(const wchar_t* wide_path, char* buffer, size_t capacity, size_t& length, bool& to_the_end) {
  length = 0;
  to_the_end = false;
  if (wide_path == nullptr || wide_path[0] == L'\0') return ERROR_PATH_NOT_FOUND;
  brief_open_c file(wide_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true);
  if (file.error() != ERROR_SUCCESS) return file.error();
  // A disk file's read brings all that was asked unless the end comes first, so a read that brings
  // less is taken as the end, without another read to bring nothing; a full buffer asks once more
  // whether anything is left.
  DWORD error = ERROR_SUCCESS;
  for (;;) {
    if (length == capacity) {
      error = ERROR_MORE_DATA;
      break;
    }
    const size_t asked = std::min<size_t>(capacity - length, 0x7FFFFFFF);
    size_t got = 0;
    error = file.read(buffer + length, asked, got);
    if (error != ERROR_SUCCESS) break;
    length += got;
    if (got < asked) {
      to_the_end = got == 0;
      break;
    }
  }
  if (error != ERROR_SUCCESS) length = 0;
  return error;
}

DWORD probe_open(const wchar_t* wide_path, DWORD access, DWORD share, bool which_missing) {
  if (wide_path == nullptr || wide_path[0] == L'\0') return ERROR_PATH_NOT_FOUND;
#ifdef _WIN32
  (void)which_missing;  // the system tells them apart without another question
  return brief_open_c(wide_path, access, share, false).error();
#else
  return small_reads_n::look(wide_path, access, share, which_missing);
#endif
}

bool is_missing_error(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace file_manipulation_n

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
  char name_text[PATH_BUFFER_SIZE];
  path_n::wide_char_path_to_path(data.cFileName, name_text);
  const std::string name = name_text;
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
