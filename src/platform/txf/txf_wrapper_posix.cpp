// No transactions on POSIX: every transacted call is an unsupported request.
#include "platform/txf/txf_wrapper.h"

namespace {

template <class R>
R unsupported(R failure) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return failure;
}

}  // namespace

HANDLE txf_wrapper_c::CreateFileTransacted(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE, HANDLE,
                                           PUSHORT, PVOID) {
  return unsupported(INVALID_HANDLE_VALUE);
}

BOOL txf_wrapper_c::GetFileAttributesTransacted(LPCWSTR, GET_FILEEX_INFO_LEVELS, LPVOID, HANDLE) {
  return unsupported<BOOL>(FALSE);
}

BOOL txf_wrapper_c::SetFileAttributesTransacted(LPCWSTR, DWORD, HANDLE) { return unsupported<BOOL>(FALSE); }

BOOL txf_wrapper_c::DeleteFileTransacted(LPCWSTR, HANDLE) { return unsupported<BOOL>(FALSE); }

BOOL txf_wrapper_c::RemoveDirectoryTransacted(LPCWSTR, HANDLE) { return unsupported<BOOL>(FALSE); }

DWORD txf_wrapper_c::GetLongPathNameTransacted(LPCWSTR, LPWSTR, DWORD, HANDLE) { return unsupported<DWORD>(0); }

BOOL txf_wrapper_c::MoveFileTransacted(LPCWSTR, LPCWSTR, LPPROGRESS_ROUTINE, LPVOID, DWORD, HANDLE) {
  return unsupported<BOOL>(FALSE);
}

HANDLE txf_wrapper_c::FindFirstFileTransacted(LPCWSTR, FINDEX_INFO_LEVELS, LPVOID, FINDEX_SEARCH_OPS, LPVOID, DWORD,
                                              HANDLE) {
  return unsupported(INVALID_HANDLE_VALUE);
}
