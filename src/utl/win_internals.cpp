#include "utl/win_internals.h"

#include <atomic>

namespace {

struct io_status_block_s {
  union {
    LONG status;
    void* pointer;
  };
  ULONG_PTR information;
};

typedef LONG (*query_information_file_f)(HANDLE, io_status_block_s*, void*, ULONG, int);

constexpr int k_file_compression_information = 28;

}  // namespace

namespace win_internals_n {

bool query_info_file(HANDLE handle, void* out) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || out == nullptr) return false;
  // Looked up once per process; two threads that race store the same address.
  static std::atomic<query_information_file_f> query{nullptr};
  query_information_file_f f = query.load(std::memory_order_acquire);
  if (f == nullptr) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll");
    if (ntdll == nullptr) return false;
    f = reinterpret_cast<query_information_file_f>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "ZwQueryInformationFile")));
    if (f == nullptr) return false;
    query.store(f, std::memory_order_release);
  }
  io_status_block_s status = {};
  return f(handle, &status, out, 16, k_file_compression_information) >= 0;
}

}  // namespace win_internals_n
