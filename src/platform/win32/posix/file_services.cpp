// Files: CreateFileW and the operations on an open file, with Windows semantics and error codes.
#include "platform/win32/posix/dos_attributes.h"
#include "platform/win32/posix/handles.h"
#include "platform/win32/posix/posix_paths.h"
#include "platform/win32/posix/volumes.h"
#include "platform/win32/posix/share_locks.h"
#include "platform/win32/posix/small_reads.h"
#include "platform/win32/posix/system_calls.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using posix_calls_n::sys_calls;

using posix_paths_n::resolved_s;

namespace {

// The process "handle": only the current process exists for DuplicateHandle.
char g_current_process;

std::shared_ptr<posix_file_handle_c> file_of(HANDLE h) { return posix_handles_n::find_as<posix_file_handle_c>(h); }

bool fail(DWORD error) {
  SetLastError(error);
  return false;
}

HANDLE fail_handle(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

// Opens the descriptor: read-write for write rights, read-only otherwise, a path-only descriptor
// for an attributes-only open of a file that cannot be read.
// An open interrupted by a signal (a file system that waits for a server) is asked again.
int open_retrying(const char* native, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = sys_calls().open(native, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int open_descriptor(const std::string& native, bool want_write, bool create, int extra) {
  int flags = O_CLOEXEC | extra | (create ? O_CREAT | O_EXCL : 0);
  int fd = open_retrying(native.c_str(), flags | (want_write ? O_RDWR : O_RDONLY), 0666);
  if (fd < 0 && errno == EACCES && want_write) fd = open_retrying(native.c_str(), flags | O_WRONLY, 0666);
  return fd;
}

struct symlink_payload_s {
  std::wstring target;
  bool relative;
};

}  // namespace

namespace {

// The controls of a volume opened through its image.
BOOL volume_control(posix_file_handle_c* h, DWORD code, LPVOID in, DWORD in_size, LPVOID out, DWORD out_size,
                    LPDWORD returned) {
  posix_volumes_n::volume_s volume;
  if (h->volume == 0 || !posix_volumes_n::find_letter(h->volume, volume)) return fail(ERROR_INVALID_FUNCTION);
  switch (code) {
    case FSCTL_LOCK_VOLUME: {
      DWORD error = share_locks_n::lock_volume(h->fd);
      return error == ERROR_SUCCESS ? TRUE : fail(error);
    }
    case FSCTL_UNLOCK_VOLUME:
      share_locks_n::unlock_volume(h->fd);
      return TRUE;
    case FSCTL_DISMOUNT_VOLUME:
      return TRUE;  // nothing is mounted from an image
    case FSCTL_EXTEND_VOLUME: {
      if (in == nullptr || in_size < sizeof(LONGLONG)) return fail(ERROR_INVALID_PARAMETER);
      LONGLONG total = 0;
      std::memcpy(&total, in, sizeof total);
      if (total <= 0) return fail(ERROR_INVALID_PARAMETER);
      posix_volumes_n::record_total_sectors(volume.letter, static_cast<uint64_t>(total));
      return TRUE;
    }
    default: {
      if (out == nullptr || out_size < sizeof(DISK_GEOMETRY)) return fail(ERROR_INSUFFICIENT_BUFFER);
      DISK_GEOMETRY geometry;
      std::memset(&geometry, 0, sizeof geometry);
      const drive_map_n::volume_image_s& image = volume.image;
      uint64_t per_cylinder = static_cast<uint64_t>(image.tracks_per_cylinder) * image.sectors_per_track * image.bytes_per_sector;
      geometry.Cylinders.QuadPart = static_cast<LONGLONG>(
          image.cylinders != 0 ? image.cylinders : (per_cylinder == 0 ? 0 : posix_volumes_n::total_bytes(volume) / per_cylinder));
      geometry.MediaType = FixedMedia;
      geometry.TracksPerCylinder = image.tracks_per_cylinder;
      geometry.SectorsPerTrack = image.sectors_per_track;
      geometry.BytesPerSector = image.bytes_per_sector;
      std::memcpy(out, &geometry, sizeof geometry);
      if (returned != nullptr) *returned = sizeof geometry;
      return TRUE;
    }
  }
}

// ---- CreateFileW, step by step: resolve the name, examine what exists there against the
// disposition, open a descriptor, check the share modes, truncate, set the attributes, make the handle.

struct create_request_s {
  create_request_s(LPCWSTR path_in, DWORD access_in, DWORD share_in, DWORD disposition_in, DWORD flags_in)
      : path(path_in),
        share(share_in),
        disposition(disposition_in),
        flags(flags_in),
        expanded(share_locks_n::expand_access(access_in)),
        rights(share_locks_n::rights_of(access_in)),
        wants_write((rights & share_locks_n::RIGHT_WRITE) != 0) {}

  LPCWSTR path;
  DWORD share;
  DWORD disposition;
  DWORD flags;
  DWORD expanded;   // the access asked, generic rights expanded
  unsigned rights;  // its data and delete rights
  bool wants_write;
  bool truncate = false;
  resolved_s resolved;
  bool whole_volume = false;
  posix_volumes_n::volume_s volume;
  struct stat st {};  // filled when something exists there (zero when it was made by another meanwhile)
  bool exists = false;
  posix_file_handle_c::kind_e kind = posix_file_handle_c::FILE_KIND;
  DWORD kept = INVALID_FILE_ATTRIBUTES;  // the stored attributes, when read
  int fd = -1;
  bool created = false;
  // A missing name of an existing-only open answers ERROR_FILE_NOT_FOUND without asking whether
  // its directory is there (ERROR_PATH_NOT_FOUND), for a caller to whom both mean "none".
  bool missing_is_missing = false;
};

// The name: a volume device (its image, which must exist) or a path.
DWORD resolve_step(create_request_s& r) {
  r.whole_volume = posix_volumes_n::find_device(r.path, r.volume);
  if (r.whole_volume) {
    r.resolved.native = r.volume.image.image;
    if (r.disposition != OPEN_EXISTING && r.disposition != OPEN_ALWAYS) return ERROR_ACCESS_DENIED;
    r.disposition = OPEN_EXISTING;
  } else {
    const DWORD error = posix_paths_n::resolve(r.path, r.resolved);
    if (error != ERROR_SUCCESS) return error;
  }
  r.truncate = r.disposition == CREATE_ALWAYS || r.disposition == TRUNCATE_EXISTING;
  return ERROR_SUCCESS;
}

// What is there, against the disposition; its kind; the read-only, hidden and system rules.
DWORD examine_step(create_request_s& r) {
  const std::string& native = r.resolved.native;
  const bool reparse_itself = (r.flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0;
  r.exists = (reparse_itself ? sys_calls().lstat(native.c_str(), &r.st) : sys_calls().stat(native.c_str(), &r.st)) == 0;
  if (!r.exists && errno != ENOENT) return posix_paths_n::error_for_missing(native, errno);
  if (r.exists && r.disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
  if (!r.exists && (r.disposition == OPEN_EXISTING || r.disposition == TRUNCATE_EXISTING)) {
    return r.missing_is_missing ? static_cast<DWORD>(ERROR_FILE_NOT_FOUND) : posix_paths_n::error_for_missing(native, ENOENT);
  }
  if (r.exists && S_ISLNK(r.st.st_mode)) r.kind = posix_file_handle_c::LINK_KIND;
  if (r.exists && S_ISDIR(r.st.st_mode)) {
    // A directory opens only with backup semantics, and never to be replaced or written.
    if (!(r.flags & FILE_FLAG_BACKUP_SEMANTICS) || r.truncate) return ERROR_ACCESS_DENIED;
    r.kind = posix_file_handle_c::DIRECTORY_KIND;
  }
  // A pipe, socket or device is no file: opening one could wait for a peer forever, and Windows does
  // not open such things through a file's name either.
  if (r.exists && r.kind == posix_file_handle_c::FILE_KIND && !S_ISREG(r.st.st_mode)) return ERROR_NOT_SUPPORTED;
  if (r.exists && r.kind == posix_file_handle_c::FILE_KIND) {
    // The read-only attribute (the owner write bit) refuses writing and deleting, for root as well.
    const bool read_only = (r.st.st_mode & S_IWUSR) == 0;
    if (read_only && (r.wants_write || (r.rights & share_locks_n::RIGHT_DELETE) || r.truncate)) {
      return ERROR_ACCESS_DENIED;
    }
    // Replacing a hidden or system file needs those attributes asked for again.
    if (r.disposition == CREATE_ALWAYS) {
      r.kept = dos_attributes_n::stored(native);
      if (((r.kept & FILE_ATTRIBUTE_HIDDEN) && !(r.flags & FILE_ATTRIBUTE_HIDDEN)) ||
          ((r.kept & FILE_ATTRIBUTE_SYSTEM) && !(r.flags & FILE_ATTRIBUTE_SYSTEM))) {
        return ERROR_ACCESS_DENIED;
      }
    }
  }
  return ERROR_SUCCESS;
}

// The descriptor, by kind; a file opened must still be a regular file.
DWORD open_step(create_request_s& r) {
  const std::string& native = r.resolved.native;
  if (r.kind == posix_file_handle_c::LINK_KIND) {
    r.fd = open_retrying(native.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  } else if (r.kind == posix_file_handle_c::DIRECTORY_KIND) {
    r.fd = open_retrying(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } else {
    const bool data_access = r.rights != 0 || r.truncate;
    // Never blocking: a pipe put in the file's place since the check above fails instead of waiting
    // (on a regular file the flag changes nothing).
    const int extra = O_NONBLOCK | ((r.flags & FILE_FLAG_WRITE_THROUGH) ? O_DSYNC : 0);
    r.fd = open_descriptor(native, r.wants_write || r.truncate, !r.exists, extra);
    if (r.fd < 0 && !r.exists && errno == EEXIST) {
      // Made by somebody else in between: it exists now.
      if (r.disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
      r.exists = true;
      r.fd = open_descriptor(native, r.wants_write || r.truncate, false, extra);
    } else if (r.fd >= 0 && !r.exists) {
      r.created = true;
    }
    if (r.fd < 0 && !data_access && errno == EACCES) r.fd = open_retrying(native.c_str(), O_PATH | O_CLOEXEC);
  }
  if (r.fd < 0) return posix_paths_n::error_for_missing(native, errno);
  if (r.kind == posix_file_handle_c::FILE_KIND && r.exists) {
    // A pipe put in its place after the check above is refused here (the open did not wait for it).
    struct stat opened;
    if (sys_calls().fstat(r.fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      sys_calls().close(r.fd);
      return ERROR_NOT_SUPPORTED;
    }
  }
  return ERROR_SUCCESS;
}

// The name resolved, looked at and its descriptor opened. What a name stands for is looked at before
// it is opened (and what was opened again after): opening a pipe, even to refuse it at once, would
// let a writer waiting on it go (and its bytes be lost), and opening a device runs its driver.
DWORD descriptor_steps(create_request_s& r) {
  DWORD error = resolve_step(r);
  if (error == ERROR_SUCCESS) error = examine_step(r);
  if (error == ERROR_SUCCESS) error = open_step(r);
  return error;
}

// The share modes against every other open of the file (files only).
DWORD share_step(create_request_s& r) {
  if (r.kind != posix_file_handle_c::FILE_KIND) return ERROR_SUCCESS;
  const DWORD error = share_locks_n::take(r.fd, r.rights, share_locks_n::shared_of(r.share), r.resolved.native);
  if (error != ERROR_SUCCESS) {
    // A file this open made is not removed again: an open that refuses ours has opened it since
    // (nobody else could have a hold on it), so it is that open's file now.
    sys_calls().close(r.fd);
    return error;
  }
  if (r.flags & FILE_FLAG_DELETE_ON_CLOSE) {
    // A file whose last holder deleted it as it closed, between our open and our share check, has
    // no name any more: Windows refuses a name whose file is being deleted, and so do we (a lock file
    // opened that way would otherwise be held twice, once unnamed and once under a new file).
    struct stat opened;
    if (sys_calls().fstat(r.fd, &opened) == 0 && opened.st_nlink == 0) {
      sys_calls().close(r.fd);
      return ERROR_ACCESS_DENIED;
    }
  }
  return ERROR_SUCCESS;
}

// Truncation comes only after the share check passed.
DWORD truncate_step(create_request_s& r) {
  if (r.kind != posix_file_handle_c::FILE_KIND || !r.truncate || !r.exists || sys_calls().ftruncate(r.fd, 0) == 0) {
    return ERROR_SUCCESS;
  }
  const int e = errno;
  sys_calls().close(r.fd);
  return posix_paths_n::error_from_errno(e);
}

// The attributes of a created or replaced file, and the access hints of a large one.
void attributes_step(create_request_s& r) {
  if (r.kind != posix_file_handle_c::FILE_KIND) return;
  if (r.created || r.disposition == CREATE_ALWAYS) {
    const DWORD attributes = (r.flags & dos_attributes_n::k_stored) | FILE_ATTRIBUTE_ARCHIVE;
    // A file replaced with the attributes it already has keeps them without another write.
    if (r.created || r.kept == INVALID_FILE_ATTRIBUTES || (r.kept & dos_attributes_n::k_stored) != attributes) {
      dos_attributes_n::store_fd(r.fd, attributes);
    }
    if (r.flags & FILE_ATTRIBUTE_READONLY) ::fchmod(r.fd, 0444);
  }
  // Access hints matter for large files only; a small one is read before they could help.
  const bool large = r.exists && r.st.st_size >= (1 << 20);
  if (large && (r.flags & FILE_FLAG_SEQUENTIAL_SCAN)) ::posix_fadvise(r.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  if (large && (r.flags & FILE_FLAG_RANDOM_ACCESS)) ::posix_fadvise(r.fd, 0, 0, POSIX_FADV_RANDOM);
}

HANDLE handle_step(create_request_s& r) {
  // The resolved path is not needed after this step: the handle takes it over.
  posix_file_handle_c* handle = new posix_file_handle_c(r.fd, std::move(r.resolved.native));
  handle->kind = r.kind;
  handle->access = r.expanded;
  handle->share = r.share;
  handle->flags = r.flags & 0xFFF00000u;
  handle->delete_on_close = (r.flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  if (r.whole_volume) handle->volume = r.volume.letter;
  // Opening an existing file with OPEN_ALWAYS or CREATE_ALWAYS succeeds and says so.
  SetLastError(r.exists && (r.disposition == OPEN_ALWAYS || r.disposition == CREATE_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                             : ERROR_SUCCESS);
  return posix_handles_n::add(handle);
}

}  // namespace

namespace small_reads_n {

int open(LPCWSTR path, DWORD access, DWORD share, DWORD& error) {
  create_request_s request(path, access, share, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  // Only a file is opened so (a directory is refused without backup semantics, a link is followed);
  // a refused share check closes the descriptor itself.
  error = descriptor_steps(request);
  if (error == ERROR_SUCCESS) error = share_step(request);
  return error == ERROR_SUCCESS ? request.fd : -1;
}

DWORD look(LPCWSTR path, DWORD access, DWORD share, bool which_missing) {
  create_request_s request(path, access, share, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  request.missing_is_missing = !which_missing;
  DWORD error = descriptor_steps(request);
  if (error != ERROR_SUCCESS) return error;
  error = share_locks_n::look(request.fd, request.rights, share_locks_n::shared_of(request.share),
                              request.resolved.native);
  sys_calls().close(request.fd);
  return error;
}

DWORD read_some(int fd, char* buffer, size_t size, size_t& got) {
  ssize_t n;
  do {
    n = sys_calls().read(fd, buffer, size);
  } while (n < 0 && errno == EINTR);
  got = n < 0 ? 0 : static_cast<size_t>(n);
  return n < 0 ? posix_paths_n::error_from_errno(errno) : ERROR_SUCCESS;
}

void close(int fd) { sys_calls().close(fd); }

}  // namespace small_reads_n

extern "C" {

HANDLE GetCurrentProcess(void) { return static_cast<HANDLE>(&g_current_process); }

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flags_and_attributes, HANDLE) {
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) return fail_handle(ERROR_INVALID_PARAMETER);
  create_request_s request(path, access, share, disposition, flags_and_attributes);
  // Each step either passes or answers with the error the open fails with (having undone what it
  // did itself: a descriptor it opened is closed, a file it created removed).
  DWORD error = descriptor_steps(request);
  if (error == ERROR_SUCCESS) error = share_step(request);
  if (error == ERROR_SUCCESS) error = truncate_step(request);
  if (error != ERROR_SUCCESS) return fail_handle(error);
  attributes_step(request);
  return handle_step(request);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, LPDWORD read, LPOVERLAPPED overlapped) {
  if (read != nullptr) *read = 0;
  auto h = file_of(file);
  if (h == nullptr) return FALSE;
  if (!(h->access & FILE_READ_DATA) || h->kind != posix_file_handle_c::FILE_KIND) return fail(ERROR_ACCESS_DENIED);
  ssize_t n;
  do {
    if (overlapped != nullptr) {
      off_t offset = static_cast<off_t>((static_cast<uint64_t>(overlapped->OffsetHigh) << 32) | overlapped->Offset);
      n = sys_calls().pread(h->fd, buffer, to_read, offset);
    } else {
      n = sys_calls().read(h->fd, buffer, to_read);
    }
  } while (n < 0 && errno == EINTR);
  if (n < 0) return fail(posix_paths_n::error_from_errno(errno));
  if (read != nullptr) *read = static_cast<DWORD>(n);
  if (overlapped != nullptr) {
    // Completed at once: the result is in the OVERLAPPED and its event is signalled.
    overlapped->Internal = static_cast<ULONG_PTR>(n == 0 && to_read > 0 ? STATUS_END_OF_FILE : STATUS_SUCCESS);
    overlapped->InternalHigh = static_cast<ULONG_PTR>(n);
    if (overlapped->hEvent != nullptr) SetEvent(overlapped->hEvent);
    if (n == 0 && to_read > 0) return fail(ERROR_HANDLE_EOF);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD to_write, LPDWORD written, LPOVERLAPPED overlapped) {
  if (written != nullptr) *written = 0;
  auto h = file_of(file);
  if (h == nullptr) return FALSE;
  if (!(h->access & (FILE_WRITE_DATA | FILE_APPEND_DATA)) || h->kind != posix_file_handle_c::FILE_KIND) {
    return fail(ERROR_ACCESS_DENIED);
  }
  const bool append_only = !(h->access & FILE_WRITE_DATA);
  const bool at_end = append_only || (overlapped != nullptr && overlapped->Offset == 0xFFFFFFFFu &&
                                      overlapped->OffsetHigh == 0xFFFFFFFFu);
  const char* data = static_cast<const char*>(buffer);
  size_t left = to_write;
  off_t offset = 0;
  if (at_end) {
    struct stat st;
    if (sys_calls().fstat(h->fd, &st) != 0) return fail(posix_paths_n::error_from_errno(errno));
    offset = st.st_size;
  } else if (overlapped != nullptr) {
    offset = static_cast<off_t>((static_cast<uint64_t>(overlapped->OffsetHigh) << 32) | overlapped->Offset);
  }
  size_t done = 0;
  while (left > 0) {
    ssize_t n = (overlapped != nullptr || at_end) ? sys_calls().pwrite(h->fd, data + done, left, offset + static_cast<off_t>(done))
                                                  : sys_calls().write(h->fd, data + done, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(errno == ENOSPC ? ERROR_DISK_FULL : posix_paths_n::error_from_errno(errno));
    done += static_cast<size_t>(n);
    left -= static_cast<size_t>(n);
  }
  if (at_end && overlapped == nullptr) sys_calls().lseek(h->fd, offset + static_cast<off_t>(done), SEEK_SET);
  if (written != nullptr) *written = static_cast<DWORD>(done);
  if (overlapped != nullptr) {
    overlapped->Internal = static_cast<ULONG_PTR>(STATUS_SUCCESS);
    overlapped->InternalHigh = static_cast<ULONG_PTR>(done);
    if (overlapped->hEvent != nullptr) SetEvent(overlapped->hEvent);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL) {
  if (file_of(file) == nullptr) return FALSE;
  if (overlapped == nullptr) return fail(ERROR_INVALID_PARAMETER);
  if (transferred != nullptr) *transferred = static_cast<DWORD>(overlapped->InternalHigh);
  NTSTATUS status = static_cast<NTSTATUS>(overlapped->Internal);
  if (status == STATUS_END_OF_FILE) return fail(ERROR_HANDLE_EOF);
  if (status < 0) return fail(ERROR_IO_DEVICE);
  return TRUE;
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER new_position, DWORD method) {
  auto h = file_of(file);
  if (h == nullptr) return FALSE;
  if (method > FILE_END) return fail(ERROR_INVALID_PARAMETER);
  const int whence = method == FILE_BEGIN ? SEEK_SET : (method == FILE_CURRENT ? SEEK_CUR : SEEK_END);
  off_t base = whence == SEEK_SET ? 0 : sys_calls().lseek(h->fd, 0, whence);
  if (base < 0) return fail(posix_paths_n::error_from_errno(errno));
  const long long target = static_cast<long long>(base) + distance.QuadPart;
  if (target < 0) return fail(ERROR_NEGATIVE_SEEK);
  if (sys_calls().lseek(h->fd, static_cast<off_t>(target), SEEK_SET) < 0) return fail(posix_paths_n::error_from_errno(errno));
  if (new_position != nullptr) new_position->QuadPart = target;
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distance_high, DWORD method) {
  LARGE_INTEGER move;
  move.QuadPart = distance_high != nullptr
                      ? static_cast<LONGLONG>((static_cast<uint64_t>(static_cast<uint32_t>(*distance_high)) << 32) |
                                              static_cast<uint32_t>(distance))
                      : static_cast<LONGLONG>(distance);
  LARGE_INTEGER position;
  if (!SetFilePointerEx(file, move, &position, method)) return INVALID_SET_FILE_POINTER;
  if (distance_high != nullptr) *distance_high = position.HighPart;
  SetLastError(ERROR_SUCCESS);
  return position.LowPart;
}

BOOL SetEndOfFile(HANDLE file) {
  auto h = file_of(file);
  if (h == nullptr) return FALSE;
  if (!(h->access & FILE_WRITE_DATA)) return fail(ERROR_ACCESS_DENIED);
  off_t position = sys_calls().lseek(h->fd, 0, SEEK_CUR);
  if (position < 0 || sys_calls().ftruncate(h->fd, position) != 0) {
    return fail(errno == ENOSPC ? ERROR_DISK_FULL : posix_paths_n::error_from_errno(errno));
  }
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  auto h = file_of(file);
  if (h == nullptr) return FALSE;
  if (!(h->access & (FILE_WRITE_DATA | FILE_APPEND_DATA))) return fail(ERROR_ACCESS_DENIED);
  // A file system that has nothing to flush to (EINVAL, ENOTSUP: pipes, some special file systems)
  // has flushed all it can; any other failure (EIO, ENOSPC) is one.
  if (sys_calls().fsync(h->fd) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EOPNOTSUPP) {
    return fail(posix_paths_n::error_from_errno(errno));
  }
  return TRUE;
}

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
  auto h = file_of(file);
  if (h == nullptr) return FALSE;
  struct stat st;
  if (sys_calls().fstat(h->fd, &st) != 0) return fail(posix_paths_n::error_from_errno(errno));
  size->QuadPart = st.st_size;
  return TRUE;
}

BOOL DuplicateHandle(HANDLE source_process, HANDLE source, HANDLE target_process, HANDLE* target, DWORD access,
                     BOOL, DWORD options) {
  if (source_process != GetCurrentProcess() || target_process != GetCurrentProcess() || target == nullptr) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  auto h = file_of(source);
  if (h == nullptr) return FALSE;
  // The same open file description: the same position and the same share-mode hold.
  int fd = ::fcntl(h->fd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return fail(posix_paths_n::error_from_errno(errno));
  posix_file_handle_c* copy = new posix_file_handle_c(fd, h->native_path);
  copy->kind = h->kind;
  copy->access = (options & DUPLICATE_SAME_ACCESS) ? h->access : (share_locks_n::expand_access(access) & h->access);
  copy->share = h->share;
  copy->flags = h->flags;
  copy->volume = h->volume;
  *target = posix_handles_n::add(copy);
  if (options & DUPLICATE_CLOSE_SOURCE) CloseHandle(source);
  return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
  auto h = file_of(file);
  if (h == nullptr) return FALSE;
  if (information == nullptr) return fail(ERROR_INVALID_PARAMETER);
  struct stat st;
  if (sys_calls().fstat(h->fd, &st) != 0) return fail(posix_paths_n::error_from_errno(errno));
  std::memset(information, 0, sizeof *information);
  if (h->kind == posix_file_handle_c::LINK_KIND) {
    struct stat lst;
    information->dwFileAttributes = sys_calls().lstat(h->native_path.c_str(), &lst) == 0 ? dos_attributes_n::of(h->native_path, lst)
                                                                              : FILE_ATTRIBUTE_REPARSE_POINT;
  } else {
    information->dwFileAttributes = dos_attributes_n::of_fd(h->fd, h->native_path, st);
  }
  information->ftCreationTime = posix_paths_n::to_filetime(st.st_ctim);
  information->ftLastAccessTime = posix_paths_n::to_filetime(st.st_atim);
  information->ftLastWriteTime = posix_paths_n::to_filetime(st.st_mtim);
  information->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
  information->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
  information->nFileSizeLow = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) & 0xFFFFFFFFu);
  information->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  information->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_ino) >> 32);
  information->nFileIndexLow = static_cast<DWORD>(static_cast<uint64_t>(st.st_ino) & 0xFFFFFFFFu);
  return TRUE;
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_size, LPVOID out, DWORD out_size,
                     LPDWORD returned, LPOVERLAPPED) {
  if (returned != nullptr) *returned = 0;
  auto h = file_of(device);
  if (h == nullptr) return FALSE;
  switch (code) {
    case FSCTL_SET_SPARSE: {
      // Every file here may be sparse; the attribute records that it was asked for.
      bool sparse = in == nullptr || in_size < 1 || static_cast<const FILE_SET_SPARSE_BUFFER*>(in)->SetSparse != 0;
      struct stat st;
      if (h->kind != posix_file_handle_c::FILE_KIND || sys_calls().fstat(h->fd, &st) != 0) return fail(ERROR_INVALID_PARAMETER);
      DWORD attributes = dos_attributes_n::of_fd(h->fd, h->native_path, st);
      attributes = sparse ? (attributes | FILE_ATTRIBUTE_SPARSE_FILE) : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_SPARSE_FILE));
      dos_attributes_n::store_fd(h->fd, attributes);
      return TRUE;
    }
    case FSCTL_SET_COMPRESSION:
      return fail(ERROR_INVALID_FUNCTION);  // no compression on these file systems
    case FSCTL_LOCK_VOLUME:
    case FSCTL_UNLOCK_VOLUME:
    case FSCTL_DISMOUNT_VOLUME:
    case FSCTL_EXTEND_VOLUME:
    case IOCTL_DISK_GET_DRIVE_GEOMETRY:
      return volume_control(h.get(), code, in, in_size, out, out_size, returned);
    case FSCTL_GET_REPARSE_POINT: {
      if (h->kind != posix_file_handle_c::LINK_KIND) return fail(ERROR_NOT_A_REPARSE_POINT);
      char target[PATH_MAX];
      ssize_t n = ::readlink(h->native_path.c_str(), target, sizeof target - 1);
      if (n < 0) return fail(ERROR_NOT_A_REPARSE_POINT);
      target[n] = '\0';
      std::wstring wide = posix_paths_n::widen(target);
      const size_t name_bytes = wide.size() * sizeof(WCHAR);
      const size_t header = offsetof(REPARSE_DATA_BUFFER, SymbolicLinkReparseBuffer.PathBuffer);
      const size_t total = header + 2 * name_bytes;
      if (out == nullptr || out_size < total) return fail(ERROR_INSUFFICIENT_BUFFER);
      REPARSE_DATA_BUFFER* data = static_cast<REPARSE_DATA_BUFFER*>(out);
      std::memset(data, 0, total);
      data->ReparseTag = IO_REPARSE_TAG_SYMLINK;
      data->ReparseDataLength = static_cast<USHORT>(total - offsetof(REPARSE_DATA_BUFFER, SymbolicLinkReparseBuffer));
      // The substitute name first, then the print name: both the target as written.
      data->SymbolicLinkReparseBuffer.SubstituteNameOffset = 0;
      data->SymbolicLinkReparseBuffer.SubstituteNameLength = static_cast<USHORT>(name_bytes);
      data->SymbolicLinkReparseBuffer.PrintNameOffset = static_cast<USHORT>(name_bytes);
      data->SymbolicLinkReparseBuffer.PrintNameLength = static_cast<USHORT>(name_bytes);
      data->SymbolicLinkReparseBuffer.Flags = target[0] == '/' ? 0 : SYMLINK_FLAG_RELATIVE;
      std::memcpy(data->SymbolicLinkReparseBuffer.PathBuffer, wide.data(), name_bytes);
      std::memcpy(reinterpret_cast<char*>(data->SymbolicLinkReparseBuffer.PathBuffer) + name_bytes, wide.data(),
                  name_bytes);
      if (returned != nullptr) *returned = static_cast<DWORD>(total);
      return TRUE;
    }
    default:
      return fail(ERROR_INVALID_FUNCTION);
  }
}

}  // extern "C"
