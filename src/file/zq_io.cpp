#include "file/zq_io.h"

#include "file/opened_kind.h"

#include "file/short_names.h"
#include "file/path_n.h"
#include "platform/crt/crt_io.h"
#include "platform/trc/zqtr.h"
#include "platform/txf/txf_wrapper.h"
#include "utl/tuning_parameters.h"
#include "utl/utl.h"
#include "utl/utl_stream.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

std::atomic<bool> g_system_security{false};

struct mode_row_s {
  const char* mode;
  DWORD access;
  DWORD disposition;
  crt_io_n::descriptor_access_e descriptor;
};

const mode_row_s k_modes[] = {
    {"r", GENERIC_READ, OPEN_EXISTING, crt_io_n::DESCRIPTOR_READ_ONLY},
    {"r+", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, crt_io_n::DESCRIPTOR_READ_WRITE},
    {"w", GENERIC_WRITE, CREATE_ALWAYS, crt_io_n::DESCRIPTOR_WRITE_ONLY},
    {"w+", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, crt_io_n::DESCRIPTOR_READ_WRITE},
    {"a", FILE_APPEND_DATA, OPEN_ALWAYS, crt_io_n::DESCRIPTOR_WRITE_ONLY},
    {"a+", GENERIC_READ | FILE_APPEND_DATA, OPEN_ALWAYS, crt_io_n::DESCRIPTOR_READ_WRITE},
};

HANDLE open_wide(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                 HANDLE transaction) {
  if (transaction != nullptr) {
    return txf_wrapper_c::CreateFileTransacted(path, access, share, nullptr, disposition, flags, nullptr,
                                               transaction, nullptr, nullptr);
  }
  return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}

zq_file_s* new_record(unsigned flags) {
  zq_file_s* file = new zq_file_s;
  std::memset(file, 0, sizeof *file);
  file->flags = flags;
  return file;
}

// At most this much per Windows transfer call.
constexpr size_t k_max_transfer = 0x40000000;

// One synchronous transfer in handle mode at the record position, on the record's event.
size_t handle_transfer(zq_file_s* file, void* buffer, size_t count, bool writing) {
  HANDLE& event = writing ? file->write_event : file->read_event;
  if (event == nullptr) {
    event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
      file->error = GetLastError();
      return 0;
    }
  }
  size_t done = 0;
  while (done < count) {
    DWORD piece = static_cast<DWORD>(count - done > k_max_transfer ? k_max_transfer : count - done);
    OVERLAPPED overlapped;
    std::memset(&overlapped, 0, sizeof overlapped);
    uint32_t low = 0, high = 0;
    utl_n::i64to32x32(file->position, low, high);
    overlapped.Offset = low;
    overlapped.OffsetHigh = high;
    overlapped.hEvent = event;
    ResetEvent(event);
    DWORD moved = 0;
    char* at = static_cast<char*>(buffer) + done;
    BOOL ok = writing ? WriteFile(file->handle, at, piece, &moved, &overlapped)
                      : ReadFile(file->handle, at, piece, &moved, &overlapped);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (!ok && error == ERROR_IO_PENDING) {
      ok = GetOverlappedResult(file->handle, &overlapped, &moved, TRUE);
      error = ok ? ERROR_SUCCESS : GetLastError();
    }
    if (!ok && error == ERROR_HANDLE_EOF) {
      ok = TRUE;
      moved = 0;
    }
    if (!ok) {
      file->error = error;
      return done;
    }
    file->position += moved;
    done += moved;
    if (moved < piece) break;  // the end of the file
  }
  return done;
}

size_t stream_transfer(zq_file_s* file, void* buffer, size_t count, bool writing) {
  size_t moved = writing ? std::fwrite(buffer, 1, count, file->stream) : std::fread(buffer, 1, count, file->stream);
  if (moved < count && std::ferror(file->stream)) {
    file->error = std::ferror(file->stream);
    std::clearerr(file->stream);
    file->position = ZQ_POSITION_UNKNOWN;
    return 0;
  }
  if (writing && file->stream_appends) {
    file->position = ZQ_POSITION_UNKNOWN;
  } else if (file->position != ZQ_POSITION_UNKNOWN) {
    file->position += moved;
  }
  return moved;
}

int64_t aio_start(zq_aio_s* block, bool writing) {
  zq_file_s* file = block->file;
  if (file == nullptr) return ZQ_NO_FILE_ERROR;
  block->state &= ~ZQ_AIO_COMPLETE;
  if (file->handle != nullptr) {
    std::memset(&block->overlapped, 0, sizeof block->overlapped);
    uint32_t low = 0, high = 0;
    utl_n::i64to32x32(block->offset, low, high);
    block->overlapped.Offset = low;
    block->overlapped.OffsetHigh = high;
    block->overlapped.hEvent = block->event;
    DWORD moved = 0;
    BOOL ok = writing ? WriteFile(file->handle, block->buffer, block->length, &moved, &block->overlapped)
                      : ReadFile(file->handle, block->buffer, block->length, &moved, &block->overlapped);
    if (ok) {
      block->length = moved;
      block->state |= ZQ_AIO_COMPLETE;
      return 0;
    }
    DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) return 0;
    block->length = 0;
    block->state |= ZQ_AIO_COMPLETE;
    return error == ERROR_HANDLE_EOF ? 0 : error;
  }
  if (file->stream != nullptr) {
    // A stream transfers at once.
    block->state |= ZQ_AIO_COMPLETE;
    if (zq_fseek(file, block->offset) != 0) {
      block->length = 0;
      return file->error;
    }
    size_t moved = stream_transfer(file, block->buffer, block->length, writing);
    zq_fseek(file, block->offset);
    block->length = static_cast<uint32_t>(moved);
    return moved > 0 ? 0 : file->error;
  }
  return ZQ_NO_FILE_ERROR;
}

}  // namespace

void zq_set_system_security(bool on) { g_system_security.store(on); }
bool zq_system_security() { return g_system_security.load(); }

HANDLE zq_create_file(const char* path, DWORD access, DWORD disposition, HANDLE transaction, bool share,
                      unsigned flags) {
  ZQTR_SCOPE(tr, "zq_create_file", "zq_io_api_createfile");
  DWORD file_flags = FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL;
  if (flags & ZQ_OPEN_NO_BUFFERING) {
    file_flags |= FILE_FLAG_NO_BUFFERING;
    tr.print(ZQTR_PROGRESS, __LINE__, "NO BUFFERING file: %s\n", path);
  }
  if (flags & ZQ_OPEN_SEQUENTIAL_SCAN) {
    file_flags |= FILE_FLAG_SEQUENTIAL_SCAN;
    tr.print(ZQTR_DETAIL, __LINE__, "SEQUENTIAL SCAN file: %s\n", path);
  }
  if (flags & ZQ_OPEN_WRITE_THROUGH) {
    file_flags |= FILE_FLAG_WRITE_THROUGH;
    tr.print(ZQTR_DETAIL, __LINE__, "WRITE THROUGH file: %s\n", path);
  }
  if (flags & ZQ_OPEN_OVERLAPPED) {
    file_flags |= FILE_FLAG_OVERLAPPED;
    tr.print(ZQTR_DETAIL, __LINE__, "OVERLAPPED file: %s\n", path);
  }
  file_flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  DWORD share_mode = 0;
  if (share) {
    share_mode = (flags & ZQ_OPEN_SHARE_READ_ONLY) ? FILE_SHARE_READ
                                                   : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  }

  std::unique_ptr<wchar_t[]> wide = path_n::wide_path(path, true);
  reserve_short_path_name_s reservation(path, disposition, transaction);
  path_n::resolve_volume_path(wide.get());

  // A pipe or a device reached through a file's name is no file: it could be read for ever.
  HANDLE handle =
      opened_kind_n::refuse_unless_disk(open_wide(wide.get(), access, share_mode, disposition, file_flags, transaction));
  if (handle != INVALID_HANDLE_VALUE) return handle;

  DWORD error = GetLastError();
  {
    utl_stream_c text;
    tr.print(ZQTR_DETAIL, __LINE__, "Failed to open %s, %s\n", path, utl_n::get_error_text(text, static_cast<int>(error)));
  }
  if (error == ERROR_ACCESS_DENIED && disposition == CREATE_ALWAYS) {
    // The file may be hidden or a system file: a new one must say so to replace it.
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (transaction != nullptr) {
      WIN32_FILE_ATTRIBUTE_DATA data;
      if (txf_wrapper_c::GetFileAttributesTransacted(wide.get(), GetFileExInfoStandard, &data, transaction)) {
        attributes = data.dwFileAttributes;
      }
    } else {
      attributes = GetFileAttributesW(wide.get());
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      tr.print(ZQTR_DETAIL, __LINE__, "Failed to get attr %s, %d\n", path, static_cast<int>(GetLastError()));
      return INVALID_HANDLE_VALUE;
    }
    file_flags |= attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    handle = open_wide(wide.get(), access, share_mode, CREATE_ALWAYS, file_flags, transaction);
    if (handle == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      tr.print(ZQTR_PROBLEM, __LINE__, "Failed to open (2nd) %s, %d\n", path, static_cast<int>(error));
      utl_n::set_last_error(error);
    }
    return handle;
  }
  utl_n::set_last_error(error);
  return INVALID_HANDLE_VALUE;
}

zq_file_s* zq_fopen(const char* path, const char* mode, HANDLE transaction, unsigned flags) {
  ZQTR_SCOPE(tr, "zq_fopen", "zq_io_api_createfile");
  if (path == nullptr || mode == nullptr) return nullptr;
  if (std::strcmp(path, "zq_stdout") == 0) {
    zq_file_s* file = new_record(flags);
    file->stream = stdout;
    return file;
  }
  const mode_row_s* row = nullptr;
  for (const mode_row_s& candidate : k_modes) {
    if (std::strcmp(candidate.mode, mode) == 0) row = &candidate;
  }
  if (row == nullptr) return nullptr;

  DWORD access = row->access;
  DWORD disposition = row->disposition;
  if (flags & ZQ_OPEN_WRITE_DAC) access |= WRITE_DAC | WRITE_OWNER;
  bool system_security = zq_system_security();
  if (system_security) {
    tuning_parameter_s* without = tuning_parameters_n::find_parameter("OpenFileWithoutSystemSecurity");
    if (without != nullptr && tuning_parameters_n::get_bool(without)) system_security = false;
  }
  if (system_security) access |= ACCESS_SYSTEM_SECURITY;
  if (flags & ZQ_OPEN_EXISTING_ONLY) disposition = OPEN_EXISTING;
  const bool share = (flags & ZQ_OPEN_EXCLUSIVE) == 0;

  HANDLE handle = zq_create_file(path, access, disposition, transaction, share, flags);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    tr.print(ZQTR_DETAIL, __LINE__, "open with ACCESS_SYSTEM_SECURITY failed, err %d, %s\n", static_cast<int>(error),
             path);
    if (!system_security || (error != ERROR_PRIVILEGE_NOT_HELD && error != ERROR_ACCESS_DENIED)) return nullptr;
    tr.print(ZQTR_PROGRESS, __LINE__, "unable to creat_file by enable ACCESS_SYSTEM_SECURITY%s\n", path);
    handle = zq_create_file(path, access & ~static_cast<DWORD>(ACCESS_SYSTEM_SECURITY), disposition, transaction,
                            share, flags);
    if (handle == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      tr.print(ZQTR_PROBLEM, __LINE__, "unable to creat_file by disable ACCESS_SYSTEM_SECURITY %s,%d\n", path,
               static_cast<int>(error));
      utl_n::set_last_error(error);
      return nullptr;
    }
  }

  FILE* stream = nullptr;
  if ((flags & (ZQ_OPEN_OVERLAPPED | ZQ_OPEN_HANDLE_ONLY)) == 0) {
    int fd = crt_io_n::open_osfhandle(handle, row->descriptor);
    if (fd < 0) {
      CloseHandle(handle);
      return nullptr;
    }
    stream = crt_io_n::fdopen(fd, mode);
    if (stream == nullptr) {
      crt_io_n::close_fd(fd);
      return nullptr;
    }
  }
  zq_file_s* file = new_record(flags);
  if (stream != nullptr) {
    file->stream = stream;
    // A stream starts where the open left the file: at its start, or at its end for appending.
    file->stream_appends = std::strchr(mode, 'a') != nullptr;
    file->position = file->stream_appends ? ZQ_POSITION_UNKNOWN : 0;
  } else {
    file->handle = handle;
  }
  return file;
}

size_t zq_fread(void* buffer, size_t count, zq_file_s* file) {
  if (file == nullptr) return 0;
  if (file->handle != nullptr) return handle_transfer(file, buffer, count, false);
  if (file->stream != nullptr) return stream_transfer(file, buffer, count, false);
  file->error = ZQ_NO_FILE_ERROR;
  return 0;
}

size_t zq_fwrite(const void* buffer, size_t count, zq_file_s* file) {
  if (file == nullptr) return 0;
  if (file->handle != nullptr) return handle_transfer(file, const_cast<void*>(buffer), count, true);
  if (file->stream != nullptr) return stream_transfer(file, const_cast<void*>(buffer), count, true);
  file->error = ZQ_NO_FILE_ERROR;
  return 0;
}

int zq_fseek(zq_file_s* file, uint64_t position) {
  if (file == nullptr) return -1;
  if (file->handle != nullptr) {
    file->position = position;
    return 0;
  }
  if (file->stream != nullptr) {
    if (file->stream == stdout) return 0;  // standard output is never moved
    if (crt_io_n::set_position(file->stream, position) != 0) {
      file->error = std::ferror(file->stream) ? std::ferror(file->stream) : errno;
      std::clearerr(file->stream);
      file->position = ZQ_POSITION_UNKNOWN;
      return -1;
    }
    file->position = position;
    return 0;
  }
  file->error = ZQ_NO_FILE_ERROR;
  return -1;
}

int zq_fclose(zq_file_s* file) {
  if (file == nullptr) return EOF;
  int result = 0;
  if (file->handle != nullptr) {
    result = CloseHandle(file->handle) ? 0 : EOF;
    if (file->read_event != nullptr) CloseHandle(file->read_event);
    if (file->write_event != nullptr) CloseHandle(file->write_event);
  } else if (file->stream != nullptr && file->stream != stdout) {
    result = crt_io_n::fclose(file->stream);
  }
  delete file;
  return result;
}

int64_t zq_ftruncate(zq_file_s* file, uint64_t size) {
  if (file == nullptr) return ZQ_NO_FILE_ERROR;
  HANDLE handle = file->handle;
  const bool stream = handle == nullptr && file->stream != nullptr;
  if (stream) {
    // What the stream still holds belongs before the new end.
    if (std::fflush(file->stream) != 0) {
      file->position = ZQ_POSITION_UNKNOWN;
      return std::ferror(file->stream) ? std::ferror(file->stream) : errno;
    }
    handle = crt_io_n::get_osfhandle(crt_io_n::fileno(file->stream));
  }
  if (handle == nullptr) return ZQ_NO_FILE_ERROR;
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(size);
  LONG high = distance.HighPart;
  if (SetFilePointer(handle, static_cast<LONG>(distance.LowPart), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    DWORD error = GetLastError();
    if (error != NO_ERROR) {
      if (stream) file->position = ZQ_POSITION_UNKNOWN;
      return error;
    }
  }
  if (!SetEndOfFile(handle)) {
    const DWORD error = GetLastError();
    if (stream) file->position = ZQ_POSITION_UNKNOWN;
    return error;
  }
  // The descriptor moved under the stream: the stream is moved there too, so that it and the
  // position it keeps say where it stands.
  if (stream && zq_fseek(file, size) != 0) file->position = ZQ_POSITION_UNKNOWN;
  return 0;
}

int64_t zq_aio_read(zq_aio_s* block) { return aio_start(block, false); }

int64_t zq_aio_write(zq_aio_s* block) { return aio_start(block, true); }

int64_t zq_aio_wait(zq_aio_s* block) {
  if (block->state & ZQ_AIO_COMPLETE) return 0;
  zq_file_s* file = block->file;
  if (file == nullptr || file->handle == nullptr) return ZQ_NO_FILE_ERROR;
  DWORD moved = 0;
  BOOL ok = GetOverlappedResult(file->handle, &block->overlapped, &moved, TRUE);
  block->state |= ZQ_AIO_COMPLETE;
  if (ok) {
    block->length = moved;
    return 0;
  }
  DWORD error = GetLastError();
  block->length = 0;
  return error == ERROR_HANDLE_EOF ? 0 : error;
}
