#include "platform/crt/crt_io.h"

#include "platform/win32/posix/handles.h"
#include "platform/win32/posix/posix_paths.h"
#include "platform/win32/posix/system_calls.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdio.h>
#include <unistd.h>
#include <unordered_map>

using posix_calls_n::sys_calls;

namespace crt_io_n {

int open_osfhandle(HANDLE handle, descriptor_access_e) {
  // The descriptor already carries the access the handle was opened with.
  return posix_handles_n::lend_to_stream(handle);
}

namespace {

// A stream's descriptor with the position it stands at. Every transfer of the stream passes here,
// so the position is known without asking the system (a stream asks for it after each buffer it
// fills); transfers go through the layer's system calls.
struct stream_fd_s {
  int fd;
  off_t position;
};

ssize_t stream_read(void* cookie, char* buffer, size_t size) {
  stream_fd_s* s = static_cast<stream_fd_s*>(cookie);
  ssize_t n;
  do {
    n = sys_calls().read(s->fd, buffer, size);
  } while (n < 0 && errno == EINTR);
  if (n > 0) s->position += n;
  return n;
}

// Writes everything or reports how much it wrote: a stream takes a short count for an error (and
// must never be given a negative one, which it would take for a huge count).
ssize_t stream_write(void* cookie, const char* buffer, size_t size) {
  stream_fd_s* s = static_cast<stream_fd_s*>(cookie);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = sys_calls().write(s->fd, buffer + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
    s->position += n;
  }
  return static_cast<ssize_t>(done);
}

int stream_seek(void* cookie, off64_t* offset, int whence) {
  stream_fd_s* s = static_cast<stream_fd_s*>(cookie);
  if (whence == SEEK_CUR && *offset == 0) {
    *offset = s->position;
    return 0;
  }
  const off_t at = sys_calls().lseek(s->fd, static_cast<off_t>(*offset), whence);
  if (at < 0) return -1;
  s->position = at;
  *offset = at;
  return 0;
}

std::mutex g_streams_mutex;
std::unordered_map<FILE*, int>& streams() {
  static std::unordered_map<FILE*, int>* map = new std::unordered_map<FILE*, int>;  // outlives every stream
  return *map;
}

int stream_close(void* cookie) {
  stream_fd_s* s = static_cast<stream_fd_s*>(cookie);
  const int result = sys_calls().close(s->fd);
  delete s;
  return result;
}

}  // namespace

FILE* fdopen(int fd, const char* mode) {
  if (fd < 0) return nullptr;
  // Streams that only read, and appending ones, are the C library's own: it reads large requests
  // straight into the caller's buffer (a stream of our own would copy everything through its
  // buffer), and it knows the end of the file. Streams that write pass their writes through the
  // layer's system calls.
  const bool writes = std::strchr(mode, 'w') != nullptr || std::strchr(mode, '+') != nullptr;
  if (!writes || std::strchr(mode, 'a') != nullptr) return ::fdopen(fd, mode);
  const off_t position = sys_calls().lseek(fd, 0, SEEK_CUR);
  stream_fd_s* cookie = new stream_fd_s{fd, position < 0 ? 0 : position};
  FILE* stream = ::fopencookie(cookie, mode, cookie_io_functions_t{stream_read, stream_write, stream_seek, stream_close});
  if (stream == nullptr) {
    delete cookie;
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(g_streams_mutex);
  streams()[stream] = fd;
  return stream;
}

int close_fd(int fd) {
  HANDLE handle = posix_handles_n::handle_of_stream_fd(fd);
  if (handle == INVALID_HANDLE_VALUE) return sys_calls().close(fd);
  return CloseHandle(handle) ? 0 : -1;
}

int fclose(FILE* stream) {
  if (stream == nullptr) return EOF;
  // The handle leaves the registry first: the stream closes the descriptor itself.
  posix_handles_n::return_from_stream(crt_io_n::fileno(stream));
  {
    std::lock_guard<std::mutex> guard(g_streams_mutex);
    streams().erase(stream);
  }
  return ::fclose(stream);
}

int fileno(FILE* stream) {
  if (stream == nullptr) return -1;
  {
    std::lock_guard<std::mutex> guard(g_streams_mutex);
    auto found = streams().find(stream);
    if (found != streams().end()) return found->second;
  }
  return ::fileno(stream);
}

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
  return sys_calls().access(resolved.native.c_str(), mode);
}

}  // namespace crt_io_n
