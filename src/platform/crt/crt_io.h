// The C runtime's bridge between operating-system file handles and stdio streams: a descriptor
// taken over from a handle, a stream over the descriptor, and the way back from a descriptor to
// its handle. On Windows these are the runtime's own (_open_osfhandle, _fdopen, _get_osfhandle);
// on POSIX a handle of the platform layer lends its descriptor to the stream, which closes it.
#ifndef STATS_MNG_PLATFORM_CRT_CRT_IO_H
#define STATS_MNG_PLATFORM_CRT_CRT_IO_H

#include "platform/win32/win32_api.h"

#include <cstdint>
#include <cstdio>

namespace crt_io_n {

enum descriptor_access_e { DESCRIPTOR_READ_ONLY, DESCRIPTOR_WRITE_ONLY, DESCRIPTOR_READ_WRITE };

// A descriptor that takes over the handle (closing the descriptor closes the handle); -1 on
// failure, the handle then still belongs to the caller.
int open_osfhandle(HANDLE handle, descriptor_access_e access);
// A stream over the descriptor; null on failure, the descriptor then still belongs to the caller.
FILE* fdopen(int fd, const char* mode);
// Closes a descriptor from open_osfhandle that no stream took.
int close_fd(int fd);
// Closes a stream and the descriptor and handle beneath it; fclose's result.
int fclose(FILE* stream);
// The descriptor of a stream, -1 for null.
int fileno(FILE* stream);
// The handle behind a descriptor from open_osfhandle, INVALID_HANDLE_VALUE when there is none.
HANDLE get_osfhandle(int fd);

// Stream positions as 64-bit numbers (fsetpos and fgetpos underneath); 0 on success.
int set_position(FILE* stream, uint64_t position);
int get_position(FILE* stream, uint64_t* position);

// _waccess: 0 when the path exists (mode 0), else -1 with errno set.
int waccess(const wchar_t* path, int mode);

}  // namespace crt_io_n

#endif
