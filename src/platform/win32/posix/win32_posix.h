// Declarations of the Win32 subset that the POSIX build implements with Windows semantics and
// Windows error codes. Included through platform/win32/win32_api.h only.
#ifndef STATS_MNG_PLATFORM_WIN32_POSIX_H
#define STATS_MNG_PLATFORM_WIN32_POSIX_H

#include <pthread.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uint64_t DWORD64;
typedef uintptr_t ULONG_PTR;
typedef wchar_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* HANDLE;
typedef void* LPVOID;
typedef DWORD* LPDWORD;
typedef unsigned int UINT;
typedef unsigned short USHORT;
typedef unsigned char UCHAR;
typedef const void* LPCVOID;
typedef void* HLOCAL;
typedef void* HMODULE;
typedef int32_t NTSTATUS;
typedef void (*FARPROC)(void);
typedef BOOL* LPBOOL;

typedef struct {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
} FILETIME, *LPFILETIME;

typedef union {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  };
  ULONGLONG QuadPart;
} ULARGE_INTEGER, *PULARGE_INTEGER;

typedef union {
  struct {
    DWORD LowPart;
    LONG HighPart;
  };
  LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

typedef struct {
  union {
    NTSTATUS Status;
    void* Pointer;
  };
  ULONG_PTR Information;
} IO_STATUS_BLOCK, *PIO_STATUS_BLOCK;

#ifndef TRUE
#  define TRUE 1
#endif
#ifndef FALSE
#  define FALSE 0
#endif
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// Windows error codes produced by this layer.
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NOT_READY 21L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_LOCK_VIOLATION 33L
#define ERROR_HANDLE_EOF 38L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_BAD_NETPATH 53L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_IO_PENDING 997L
#define ERROR_NOT_SAME_DEVICE 17L
#define ERROR_WRITE_PROTECT 19L
#define ERROR_HANDLE_DISK_FULL 39L
#define ERROR_CALL_NOT_IMPLEMENTED 120L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_DIRECTORY 267L
#define ERROR_MR_MID_NOT_FOUND 317L
#define ERROR_IO_DEVICE 1117L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_UNABLE_TO_REMOVE_REPLACED 1175L
#define ERROR_UNABLE_TO_MOVE_REPLACEMENT 1176L
#define ERROR_NOT_A_REPARSE_POINT 4390L

#define CP_ACP 0
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#define MAX_PATH 260

// NTSTATUS values of the native services.
#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#define STATUS_INVALID_HANDLE ((NTSTATUS)0xC0000008L)
#define STATUS_INVALID_INFO_CLASS ((NTSTATUS)0xC0000003L)
#define STATUS_INFO_LENGTH_MISMATCH ((NTSTATUS)0xC0000004L)
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000DL)
#define NT_SUCCESS(status) (((NTSTATUS)(status)) >= 0)

#ifdef __cplusplus
extern "C" {
#endif

DWORD GetLastError(void);
void SetLastError(DWORD code);

DWORD GetCurrentProcessId(void);
DWORD GetCurrentThreadId(void);
void Sleep(DWORD milliseconds);

// A recursive mutex, owned by the thread that entered it, as on Windows.
typedef struct {
  pthread_mutex_t mutex;
  DWORD spin_count;
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

void InitializeCriticalSection(LPCRITICAL_SECTION cs);
BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD spin_count);
void DeleteCriticalSection(LPCRITICAL_SECTION cs);
void EnterCriticalSection(LPCRITICAL_SECTION cs);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs);
void LeaveCriticalSection(LPCRITICAL_SECTION cs);

// Text conversion: code page 65001 (UTF-8) to and from wchar_t, which holds UTF-32 here.
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR source, int source_length, LPWSTR target,
                        int target_length);
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR source, int source_length, LPSTR target,
                        int target_length, LPCSTR default_char, LPBOOL used_default_char);
// Lower-cases a text in place (full Unicode simple mapping); a pointer whose high bits are all
// zero is a single character, returned lower-cased.
LPWSTR CharLowerW(LPWSTR text);

// Error texts: FORMAT_MESSAGE_FROM_SYSTEM, from a table of the messages for the codes this layer
// produces; the allocated buffer is freed with LocalFree.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD message_id, DWORD language_id, LPWSTR buffer, DWORD size,
                     va_list* arguments);
HLOCAL LocalFree(HLOCAL memory);

// Disk space and paths.
BOOL GetDiskFreeSpaceW(LPCWSTR root, LPDWORD sectors_per_cluster, LPDWORD bytes_per_sector,
                       LPDWORD free_clusters, LPDWORD total_clusters);
BOOL GetDiskFreeSpaceExW(LPCWSTR directory, PULARGE_INTEGER free_to_caller, PULARGE_INTEGER total_bytes,
                         PULARGE_INTEGER free_bytes);
DWORD GetLongPathNameW(LPCWSTR short_path, LPWSTR long_path, DWORD length);
BOOL GetVolumePathNameW(LPCWSTR file_name, LPWSTR volume_path, DWORD length);

// Modules: "ntdll" and its native services.
HMODULE GetModuleHandleW(LPCWSTR module_name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);

BOOL CloseHandle(HANDLE handle);

#ifdef __cplusplus
}
#endif

#endif
