// Host facts the library holds from load to unload, and a lock over a Windows critical section.
#ifndef STATS_MNG_FILE_SYS_INFO_H
#define STATS_MNG_FILE_SYS_INFO_H

#include "platform/win32/win32_api.h"
#include "utl/utl_stream.h"

#include <cstdint>

namespace win32 {

class sync_obj {
 public:
  virtual void lock() = 0;
  virtual void unlock() = 0;
  virtual ~sync_obj() = default;
};

// Recursive for the thread that holds it, as Windows critical sections are.
class critical_section : public sync_obj {
 public:
  critical_section() { InitializeCriticalSection(&m_section); }
  void lock() override { EnterCriticalSection(&m_section); }
  void unlock() override { LeaveCriticalSection(&m_section); }
  ~critical_section() override { DeleteCriticalSection(&m_section); }
  critical_section(const critical_section&) = delete;
  critical_section& operator=(const critical_section&) = delete;

 private:
  CRITICAL_SECTION m_section;
};

}  // namespace win32

// A plain holder of host facts; nothing in the library fills it yet.
class sys_info_data_c {
 public:
  uint32_t kind = 105;
  uint32_t version = 1;
  utl_stream_c name;
  uint64_t value = 0;
  utl_stream_c description;
};

class sys_info_c : public sys_info_data_c {
 public:
  sys_info_c();
  virtual ~sys_info_c() = default;

  uint64_t extra = 0;
  utl_stream_c extra_text;
  uint64_t words[5] = {0, 0, 0, 0, 0};
};

#endif
