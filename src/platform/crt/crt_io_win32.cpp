#include "platform/crt/crt_io.h"

#include <fcntl.h>
#include <io.h>

namespace crt_io_n {

int open_osfhandle(HANDLE handle, descriptor_access_e access) {
  int flags = access == DESCRIPTOR_READ_ONLY ? _O_RDONLY : access == DESCRIPTOR_WRITE_ONLY ? _O_WRONLY : _O_RDWR;
  return _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
}

FILE* fdopen(int fd, const char* mode) { return ::_fdopen(fd, mode); }

int close_fd(int fd) { return ::_close(fd); }

int fclose(FILE* stream) { return ::fclose(stream); }

int fileno(FILE* stream) { return stream == nullptr ? -1 : ::_fileno(stream); }

HANDLE get_osfhandle(int fd) {
  return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

int set_position(FILE* stream, uint64_t position) {
  fpos_t pos = static_cast<fpos_t>(position);
  return ::fsetpos(stream, &pos);
}

int get_position(FILE* stream, uint64_t* position) {
  fpos_t pos = 0;
  if (::fgetpos(stream, &pos) != 0) return -1;
  *position = static_cast<uint64_t>(pos);
  return 0;
}

int waccess(const wchar_t* path, int mode) { return ::_waccess(path, mode); }

}  // namespace crt_io_n
