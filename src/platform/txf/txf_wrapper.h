// Transacted variants of the Windows file functions, used whenever a caller passes a transaction
// handle. Each takes the arguments of the Windows function of the same name followed by the
// transaction, and returns what it returns, with the thread's last error set on failure. Nothing in
// the library opens a transaction. On Windows these are the system's transacted functions, looked
// up at run time; where there are no transactions (POSIX, or a Windows without them) every call
// fails with the error for an unsupported request.
#ifndef STATS_MNG_PLATFORM_TXF_TXF_WRAPPER_H
#define STATS_MNG_PLATFORM_TXF_TXF_WRAPPER_H

#include "platform/win32/win32_api.h"

class txf_wrapper_c {
 public:
  static HANDLE CreateFileTransacted(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                     DWORD disposition, DWORD flags, HANDLE template_file, HANDLE transaction,
                                     PUSHORT mini_version, PVOID extended);
  static BOOL GetFileAttributesTransacted(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID information,
                                          HANDLE transaction);
  static BOOL SetFileAttributesTransacted(LPCWSTR path, DWORD attributes, HANDLE transaction);
  static BOOL DeleteFileTransacted(LPCWSTR path, HANDLE transaction);
  static BOOL RemoveDirectoryTransacted(LPCWSTR path, HANDLE transaction);
  static DWORD GetLongPathNameTransacted(LPCWSTR short_path, LPWSTR long_path, DWORD length, HANDLE transaction);
  static BOOL MoveFileTransacted(LPCWSTR existing, LPCWSTR target, LPPROGRESS_ROUTINE progress, LPVOID data,
                                 DWORD flags, HANDLE transaction);
  static HANDLE FindFirstFileTransacted(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data,
                                        FINDEX_SEARCH_OPS search, LPVOID filter, DWORD flags, HANDLE transaction);
};

#endif
