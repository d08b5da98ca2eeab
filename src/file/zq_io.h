// Opening Windows file handles from UTF-8 paths, stdio-style modes and a word of option flags, and
// the small file record that holds either the bare handle or a stdio stream built on it.
#ifndef STATS_MNG_FILE_ZQ_IO_H
#define STATS_MNG_FILE_ZQ_IO_H

#include "platform/win32/win32_api.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The open flags: one word that travels from FILE_c::open down to zq_create_file.
enum : unsigned {
  ZQ_OPEN_NO_BUFFERING = 0x001,
  ZQ_OPEN_SEQUENTIAL_SCAN = 0x002,
  ZQ_OPEN_WRITE_DAC = 0x004,      // also WRITE_DAC and WRITE_OWNER
  ZQ_OPEN_WRITE_THROUGH = 0x008,
  ZQ_OPEN_READ_AHEAD = 0x010,     // FILE_c reads through its read-ahead buffer
  ZQ_OPEN_OVERLAPPED = 0x020,     // bare handle, overlapped; FILE_c writes behind
  ZQ_OPEN_EXISTING_ONLY = 0x040,
  ZQ_OPEN_EXCLUSIVE = 0x080,      // share nothing
  ZQ_OPEN_SHARE_READ_ONLY = 0x100,
  ZQ_OPEN_HANDLE_ONLY = 0x200,    // bare handle, no stdio stream
};

#ifndef ACCESS_SYSTEM_SECURITY
#  define ACCESS_SYSTEM_SECURITY 0x01000000L
#endif
#ifndef ERROR_PRIVILEGE_NOT_HELD
#  define ERROR_PRIVILEGE_NOT_HELD 1314L
#endif

// The record's error when it holds neither a handle nor a stream.
constexpr int64_t ZQ_NO_FILE_ERROR = 9;

struct zq_file_s {
  unsigned flags;
  // Handle mode: the offset of the next transfer. Stream mode: where the stream stands, kept with
  // each transfer and seek so that nobody asks the system (ZQ_POSITION_UNKNOWN until it is known).
  uint64_t position;
  bool stream_appends;  // stream mode: every write goes to the end
  int64_t error;      // handle mode: a Windows error; stream mode: the error indicator
  HANDLE handle;
  HANDLE read_event;
  HANDLE write_event;
  FILE* stream;
};

constexpr uint64_t ZQ_POSITION_UNKNOWN = ~static_cast<uint64_t>(0);

// An asynchronous transfer; its owner keeps it alive until the transfer is complete.
struct zq_aio_s {
  zq_file_s* file;
  uint64_t offset;
  void* buffer;
  uint32_t length;  // asked for, then transferred
  uint32_t state;   // bit 0: complete, nothing to wait for
  HANDLE event;
  OVERLAPPED overlapped;
};
constexpr uint32_t ZQ_AIO_COMPLETE = 1;

// The process-wide switch that asks for ACCESS_SYSTEM_SECURITY on every open (off; a host that
// holds the security privilege may turn it on).
void zq_set_system_security(bool on);
bool zq_system_security();

HANDLE zq_create_file(const char* path, DWORD access, DWORD disposition, HANDLE transaction, bool share,
                      unsigned flags);
// Modes "r", "r+" (creates a missing file), "w", "w+", "a", "a+"; anything else gives null.
// "zq_stdout" is the process's standard output.
zq_file_s* zq_fopen(const char* path, const char* mode, HANDLE transaction, unsigned flags);

size_t zq_fread(void* buffer, size_t count, zq_file_s* file);
size_t zq_fwrite(const void* buffer, size_t count, zq_file_s* file);
int zq_fseek(zq_file_s* file, uint64_t position);
int zq_fclose(zq_file_s* file);
int64_t zq_ftruncate(zq_file_s* file, uint64_t size);
int64_t zq_aio_read(zq_aio_s* block);
int64_t zq_aio_write(zq_aio_s* block);
int64_t zq_aio_wait(zq_aio_s* block);

#endif
