#include "platform/crt/crt_io.h"

#include "platform/win32/posix/handles.h"
#include "platform/win32/posix/posix_paths.h"

#include <cerrno>
#include <unistd.h>

namespace crt_io_n {

int open_osfhandle(HANDLE handle, descriptor_access_e) {
  // The descriptor already carries the access the handle was opened with.
  return posix_handles_n::lend_to_stream(handle);
}

FILE* fdopen(int fd, const char* mode) { return fd < 0 ? nullptr : ::fdopen(fd, mode); }

int close_fd(int fd) {
  HANDLE handle = posix_handles_n::handle_of_stream_fd(fd);
  if (handle == INVALID_HANDLE_VALUE) return ::close(fd);
  return CloseHandle(handle) ? 0 : -1;
}

int fclose(FILE* stream) {
  if (stream == nullptr) return EOF;
  // The handle leaves the registry first: the stream closes the descriptor itself.
  posix_handles_n::return_from_stream(::fileno(stream));
  return ::fclose(stream);
}

int fileno(FILE* stream) { return stream == nullptr ? -1 : ::fileno(stream); }

HANDLE get_osfhandle(int fd) { return posix_handles_n::handle_of_stream_fd(fd); }

int set_position(FILE* stream, uint64_t position) {
  if (position > static_cast<uint64_t>(INT64_MAX)) {
    errno = EINVAL;
    return -1;
  }
  return ::fseeko(stream, static_cast<off_t>(position), SEEK_SET);
}

int get_position(FILE* stream, uint64_t* position) {
  off_t at = ::ftello(stream);
  if (at < 0) return -1;
  *position = static_cast<uint64_t>(at);
  return 0;
}

int waccess(const wchar_t* path, int mode) {
  posix_paths_n::resolved_s resolved;
  DWORD error = posix_paths_n::resolve(path, resolved);
  if (error != ERROR_SUCCESS) {
    errno = ENOENT;
    return -1;
  }
  return ::access(resolved.native.c_str(), mode);
}

}  // namespace crt_io_n
