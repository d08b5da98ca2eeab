// The system's transacted file functions, looked up in kernel32 at run time.
#include "platform/txf/txf_wrapper.h"

namespace {

// The function named `name` in kernel32, or null (last error set) where the system has none.
template <class F>
F lookup(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC address = kernel != nullptr ? GetProcAddress(kernel, name) : nullptr;
  if (address == nullptr) SetLastError(ERROR_NOT_SUPPORTED);
  return reinterpret_cast<F>(reinterpret_cast<void*>(address));
}

}  // namespace

HANDLE txf_wrapper_c::CreateFileTransacted(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                           DWORD disposition, DWORD flags, HANDLE template_file, HANDLE transaction,
                                           PUSHORT mini_version, PVOID extended) {
  using f_t = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE, HANDLE, PUSHORT, PVOID);
  static const f_t f = lookup<f_t>("CreateFileTransactedW");
  if (f == nullptr) return INVALID_HANDLE_VALUE;
  return f(path, access, share, security, disposition, flags, template_file, transaction, mini_version, extended);
}

BOOL txf_wrapper_c::GetFileAttributesTransacted(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID information,
                                                HANDLE transaction) {
  using f_t = BOOL(WINAPI*)(LPCWSTR, GET_FILEEX_INFO_LEVELS, LPVOID, HANDLE);
  static const f_t f = lookup<f_t>("GetFileAttributesTransactedW");
  return f != nullptr ? f(path, level, information, transaction) : FALSE;
}

BOOL txf_wrapper_c::SetFileAttributesTransacted(LPCWSTR path, DWORD attributes, HANDLE transaction) {
  using f_t = BOOL(WINAPI*)(LPCWSTR, DWORD, HANDLE);
  static const f_t f = lookup<f_t>("SetFileAttributesTransactedW");
  return f != nullptr ? f(path, attributes, transaction) : FALSE;
}

BOOL txf_wrapper_c::DeleteFileTransacted(LPCWSTR path, HANDLE transaction) {
  using f_t = BOOL(WINAPI*)(LPCWSTR, HANDLE);
  static const f_t f = lookup<f_t>("DeleteFileTransactedW");
  return f != nullptr ? f(path, transaction) : FALSE;
}

BOOL txf_wrapper_c::RemoveDirectoryTransacted(LPCWSTR path, HANDLE transaction) {
  using f_t = BOOL(WINAPI*)(LPCWSTR, HANDLE);
  static const f_t f = lookup<f_t>("RemoveDirectoryTransactedW");
  return f != nullptr ? f(path, transaction) : FALSE;
}

DWORD txf_wrapper_c::GetLongPathNameTransacted(LPCWSTR short_path, LPWSTR long_path, DWORD length,
                                                HANDLE transaction) {
  using f_t = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD, HANDLE);
  static const f_t f = lookup<f_t>("GetLongPathNameTransactedW");
  return f != nullptr ? f(short_path, long_path, length, transaction) : 0;
}

BOOL txf_wrapper_c::MoveFileTransacted(LPCWSTR existing, LPCWSTR target, LPPROGRESS_ROUTINE progress, LPVOID data,
                                       DWORD flags, HANDLE transaction) {
  using f_t = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPPROGRESS_ROUTINE, LPVOID, DWORD, HANDLE);
  static const f_t f = lookup<f_t>("MoveFileTransactedW");
  return f != nullptr ? f(existing, target, progress, data, flags, transaction) : FALSE;
}

HANDLE txf_wrapper_c::FindFirstFileTransacted(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data,
                                              FINDEX_SEARCH_OPS search, LPVOID filter, DWORD flags,
                                              HANDLE transaction) {
  using f_t = HANDLE(WINAPI*)(LPCWSTR, FINDEX_INFO_LEVELS, LPVOID, FINDEX_SEARCH_OPS, LPVOID, DWORD, HANDLE);
  static const f_t f = lookup<f_t>("FindFirstFileTransactedW");
  if (f == nullptr) return INVALID_HANDLE_VALUE;
  return f(pattern, level, data, search, filter, flags, transaction);
}
