// GetModuleHandleW / GetProcAddress for "ntdll" and the native services the library calls.
#include "platform/win32/posix/handles.h"
#include "platform/win32/posix/posix_paths.h"
#include "platform/win32/posix/volumes.h"
#include "platform/win32/posix/system_calls.h"

#include <cstring>
#include <strings.h>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>

using posix_calls_n::sys_calls;

namespace {

// Distinct addresses that stand for the modules.
char g_ntdll_module;
char g_process_module;

constexpr int k_file_compression_information = 28;

struct file_compression_information_s {
  LARGE_INTEGER compressed_file_size;
  USHORT compression_format;
  UCHAR compression_unit_shift;
  UCHAR chunk_shift;
  UCHAR cluster_shift;
  UCHAR reserved[3];
};
static_assert(sizeof(file_compression_information_s) == 16, "FILE_COMPRESSION_INFORMATION is 16 bytes");

extern "C" NTSTATUS zq_ZwQueryInformationFile(HANDLE handle, PIO_STATUS_BLOCK status, void* out, ULONG length,
                                              int information_class) {
  if (status == nullptr || out == nullptr) return STATUS_INVALID_PARAMETER;
  if (information_class != k_file_compression_information) return STATUS_INVALID_INFO_CLASS;
  if (length < sizeof(file_compression_information_s)) return STATUS_INFO_LENGTH_MISMATCH;
  auto file = posix_handles_n::find_as<posix_file_handle_c>(handle);
  if (file == nullptr) return STATUS_INVALID_HANDLE;
  struct stat st;
  if (sys_calls().fstat(file->fd, &st) != 0) return STATUS_INVALID_HANDLE;
  // No compression here: the compressed size is the space the file takes.
  file_compression_information_s info;
  std::memset(&info, 0, sizeof info);
  info.compressed_file_size.QuadPart = static_cast<LONGLONG>(st.st_blocks) * 512;
  std::memcpy(out, &info, sizeof info);
  status->Status = STATUS_SUCCESS;
  status->Information = sizeof info;
  return STATUS_SUCCESS;
}

constexpr int k_file_fs_attribute_information = 5;

// The file system of the volume a handle lies on: its image's for a volume, else the file system
// holding the file.
extern "C" NTSTATUS zq_NtQueryVolumeInformationFile(HANDLE handle, PIO_STATUS_BLOCK status, void* out, ULONG length,
                                                    int information_class) {
  if (status == nullptr || out == nullptr) return STATUS_INVALID_PARAMETER;
  if (information_class != k_file_fs_attribute_information) return STATUS_INVALID_INFO_CLASS;
  const ULONG header = 3 * sizeof(ULONG);
  if (length < header) return STATUS_INFO_LENGTH_MISMATCH;
  auto file = posix_handles_n::find_as<posix_file_handle_c>(handle);
  if (file == nullptr) return STATUS_INVALID_HANDLE;
  std::wstring name;
  ULONG flags = FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK | FILE_PERSISTENT_ACLS;
  posix_volumes_n::volume_s volume;
  if (file->volume != 0 && posix_volumes_n::find_letter(file->volume, volume)) {
    name = posix_paths_n::widen(volume.image.file_system);
    flags = volume.image.file_system_flags;
  } else {
    struct statfs fs;
    if (::fstatfs(file->fd, &fs) != 0) return STATUS_INVALID_HANDLE;
    name = posix_volumes_n::linux_fs_name(static_cast<unsigned long>(fs.f_type));
  }
  unsigned char* bytes = static_cast<unsigned char*>(out);
  const ULONG name_bytes = static_cast<ULONG>(name.size() * sizeof(WCHAR));
  const LONG max_component = 255;
  std::memcpy(bytes, &flags, sizeof flags);
  std::memcpy(bytes + 4, &max_component, sizeof max_component);
  std::memcpy(bytes + 8, &name_bytes, sizeof name_bytes);
  const ULONG room = length - header;
  const ULONG copied = name_bytes < room ? name_bytes : room / sizeof(WCHAR) * sizeof(WCHAR);
  std::memcpy(bytes + header, name.data(), copied);
  status->Information = header + copied;
  status->Status = copied < name_bytes ? static_cast<NTSTATUS>(0x80000005L) : STATUS_SUCCESS;  // buffer overflow
  return status->Status;
}

extern "C" NTSTATUS zq_NtClose(HANDLE handle) { return CloseHandle(handle) ? STATUS_SUCCESS : STATUS_INVALID_HANDLE; }

// Looked up by the library but never called here.
extern "C" NTSTATUS zq_nt_not_implemented() { return static_cast<NTSTATUS>(0xC0000002L); }

struct export_s {
  const char* name;
  FARPROC address;
};

const export_s k_ntdll_exports[] = {
    {"ZwQueryInformationFile", reinterpret_cast<FARPROC>(&zq_ZwQueryInformationFile)},
    {"NtQueryInformationFile", reinterpret_cast<FARPROC>(&zq_ZwQueryInformationFile)},
    {"NtClose", reinterpret_cast<FARPROC>(&zq_NtClose)},
    {"NtQueryVolumeInformationFile", reinterpret_cast<FARPROC>(&zq_NtQueryVolumeInformationFile)},
    {"NtCreateFile", reinterpret_cast<FARPROC>(&zq_nt_not_implemented)},
    {"NtSetInformationFile", reinterpret_cast<FARPROC>(&zq_nt_not_implemented)},
};

}  // namespace

extern "C" {

HMODULE GetModuleHandleW(LPCWSTR module_name) {
  if (module_name == nullptr) return static_cast<HMODULE>(&g_process_module);
  std::string name = posix_paths_n::narrow(module_name);
  if (strcasecmp(name.c_str(), "ntdll") == 0 || strcasecmp(name.c_str(), "ntdll.dll") == 0) {
    return static_cast<HMODULE>(&g_ntdll_module);
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (module == static_cast<HMODULE>(&g_ntdll_module) && name != nullptr) {
    for (const export_s& e : k_ntdll_exports) {
      if (std::strcmp(e.name, name) == 0) return e.address;
    }
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

}  // extern "C"
