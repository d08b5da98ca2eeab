#include "file/existence.h"

#include "file/path_n.h"
#include "platform/crt/crt_io.h"
#include "platform/trc/zqtr.h"
#include "platform/txf/txf_wrapper.h"

#include <cerrno>
#include <cwchar>
#include <memory>

namespace {

const char* k_file = "file";

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

}  // namespace file_manipulation_n
