#include "file/basic_file.h"

#include "file/path_n.h"
#include "platform/crt/crt_io.h"
#include "platform/thl/library_statics.h"
#include "utl/utl.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

thl_ref_counter_c& counter() { return library_statics_n::handle_counter(); }

}  // namespace

basic_file_c::~basic_file_c() {
  if (m_file != nullptr) basic_file_c::close();
}

basic_file_c::auto_release_file_handle_c::~auto_release_file_handle_c() {
  if (m_handle != INVALID_HANDLE_VALUE) basic_file_c::_close_handle(m_handle);
}

bool basic_file_c::open(const char* path, const char* mode, HANDLE transaction, unsigned flags) {
  if (m_file != nullptr) basic_file_c::close();  // an object holds one record at a time
  m_name << '\x01';
  if (path != nullptr) {
    m_name << path;
    if (path_n::is_volume_guid_path(path, true)) {
      // Volume GUID names are only understood with '\'.
      std::unique_ptr<char[]> copy(new char[m_name.length() + 1]);
      std::memcpy(copy.get(), m_name.c_str(), m_name.length() + 1);
      for (char* c = copy.get(); *c != '\0'; ++c) {
        if (*c == '/') *c = '\\';
      }
      m_name << '\x01' << copy.get();
    }
  }
  if (mode != nullptr) {
    m_file = zq_fopen(path, mode, transaction, flags);
    if (m_file != nullptr) {
      counter().increase();
    } else {
      m_last_error = GetLastError();
    }
  }
  return m_file != nullptr;
}

bool basic_file_c::mknod() { return true; }

size_t basic_file_c::read(void* buffer, size_t count) {
  if (m_file == nullptr) return static_cast<size_t>(-1);
  if (m_file->stream != nullptr) m_stream_last = STREAM_READ;
  size_t got = zq_fread(buffer, count, m_file);
  if (got < count) {
    m_last_error = static_cast<uint64_t>(m_file->error);
    if (m_file->error != 0) {
      m_file->error = 0;
      return static_cast<size_t>(-1);
    }
  }
  return got;
}

size_t basic_file_c::write(const void* buffer, size_t count) {
  if (m_file == nullptr) return static_cast<size_t>(-1);
  if (m_file->stream != nullptr) m_stream_last = STREAM_WROTE;
  size_t put = zq_fwrite(buffer, count, m_file);
  if (put < count) {
    m_last_error = static_cast<uint64_t>(m_file->error);
    if (m_file->error != 0) {
      m_file->error = 0;
      return static_cast<size_t>(-1);
    }
  }
  return put;
}

bool basic_file_c::aio_read(void* buffer, uint64_t offset, size_t count, zq_aio_s* block) {
  if (m_file == nullptr) return true;
  if (count > UINT32_MAX) {
    m_last_error = ERROR_INVALID_PARAMETER;
    return false;
  }
  HANDLE event = block->event;
  std::memset(block, 0, sizeof *block);
  block->file = m_file;
  block->offset = offset;
  block->buffer = buffer;
  block->length = static_cast<uint32_t>(count);
  block->event = event;
  int64_t result = zq_aio_read(block);
  m_last_error = static_cast<uint64_t>(result);
  m_file->error = 0;
  return result == 0;
}

bool basic_file_c::aio_write(const void* buffer, uint64_t offset, size_t count, zq_aio_s* block) {
  if (m_file == nullptr) return true;
  if (count > UINT32_MAX) {
    // One asynchronous transfer carries a 32-bit count: never cut a request silently.
    m_last_error = ERROR_INVALID_PARAMETER;
    return false;
  }
  if (block->buffer != buffer) std::memcpy(block->buffer, buffer, count);
  block->file = m_file;
  block->offset = offset;
  block->length = static_cast<uint32_t>(count);
  int64_t result = zq_aio_write(block);
  m_last_error = static_cast<uint64_t>(result);
  m_file->error = 0;
  return result == 0;
}

bool basic_file_c::aio_wait(zq_aio_s* block) {
  int64_t result = zq_aio_wait(block);
  m_last_error = static_cast<uint64_t>(result);
  return result == 0;
}

bool basic_file_c::flush() {
  if (m_file == nullptr) return true;
  if (m_file->stream != nullptr && std::fflush(m_file->stream) != 0) {
    // The runtime drops what it held (a full disk, say): the data did not reach the file, and a
    // caller that went on would close, rename and report an empty file as written.
    m_last_error = ERROR_WRITE_FAULT;
    m_file->position = ZQ_POSITION_UNKNOWN;  // what the stream dropped never reached its place
    if (errno == ENOSPC) m_last_error = ERROR_DISK_FULL;
    std::clearerr(m_file->stream);
    return false;
  }
  if (m_file->handle != nullptr && !FlushFileBuffers(m_file->handle)) {
    const DWORD error = GetLastError();
    // A handle without write access has nothing to flush (Windows refuses it).
    if (error != ERROR_ACCESS_DENIED) {
      m_last_error = error;
      return false;
    }
  }
  return true;
}

uint64_t basic_file_c::tell() {
  if (m_file == nullptr) return static_cast<uint64_t>(-1);
  if (m_file->handle != nullptr) return m_file->position;
  if (m_file->stream != nullptr) {
    if (m_file->position != ZQ_POSITION_UNKNOWN) return m_file->position;
    uint64_t position = 0;
    if (crt_io_n::get_position(m_file->stream, &position) != 0) return static_cast<uint64_t>(-1);
    if (!m_file->stream_appends) m_file->position = position;
    return position;
  }
  m_file->error = ZQ_NO_FILE_ERROR;
  return static_cast<uint64_t>(-1);
}

bool basic_file_c::seek(uint64_t position) {
  if (m_file == nullptr || zq_fseek(m_file, position) != 0) return false;
  m_stream_last = STREAM_IDLE;
  return true;
}

bool basic_file_c::close() {
  if (m_file == nullptr) return false;
  int result = zq_fclose(m_file);
  m_file = nullptr;
  if (result != 0) return false;
  counter().decrease();
  return true;
}

bool basic_file_c::is_open() { return m_file != nullptr; }

bool basic_file_c::truncate(uint64_t size) {
  if (m_file != nullptr) {
    int64_t error = zq_ftruncate(m_file, size);
    if (error != 0) m_last_error = static_cast<uint64_t>(error);
    return error == 0;
  }
  if (m_name.length() == 0) return false;
  HANDLE handle = zq_create_file(m_name.c_str(), GENERIC_WRITE, OPEN_EXISTING, nullptr, true, 0);
  if (handle == INVALID_HANDLE_VALUE) {
    m_last_error = GetLastError();
    return false;
  }
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(size);
  bool ok = SetFilePointerEx(handle, distance, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
  if (!ok) m_last_error = GetLastError();
  CloseHandle(handle);
  return ok;
}

uint64_t basic_file_c::size() {
  // The open file's own size, from its handle (the file objects below the properties need nothing
  // of them).
  HANDLE handle = _get_file_handle();
  BY_HANDLE_FILE_INFORMATION info;
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return static_cast<uint64_t>(-1);
  return utl_n::i32x32to64(info.nFileSizeLow, info.nFileSizeHigh);
}

bool basic_file_c::set_buffering(int mode, size_t size) {
  if (m_file == nullptr || m_file->stream == nullptr) return false;
  return std::setvbuf(m_file->stream, nullptr, mode, size) == 0;
}

int basic_file_c::get_fd() {
  if (m_file == nullptr || m_file->stream == nullptr) return -1;
  return crt_io_n::fileno(m_file->stream);
}

HANDLE basic_file_c::get_file_handle() { return _get_file_handle(); }

HANDLE basic_file_c::_get_file_handle() {
  if (m_file == nullptr) return INVALID_HANDLE_VALUE;
  if (m_file->handle != nullptr) return m_file->handle;
  if (m_file->stream != nullptr) return crt_io_n::get_osfhandle(crt_io_n::fileno(m_file->stream));
  return INVALID_HANDLE_VALUE;
}

HANDLE basic_file_c::_duplicate_handle(HANDLE handle) {
  HANDLE duplicate = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &duplicate, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  counter().increase();
  return duplicate;
}

bool basic_file_c::_close_handle(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  if (!CloseHandle(handle)) return false;
  counter().decrease();
  return true;
}
