// The writer lock of a file that is changed by loading it, changing it and replacing it whole (the
// state files, a scenario file): whoever holds it is the only one between its load and its
// replacement, so a change never writes over one it has not read. Readers never take it: they read
// whole files, which a replacement puts in place in one rename.
//
// The lock is the file NAME.lock beside the file, opened with no sharing at all and deleted when it
// is closed. Every process that opens it that way honours it: on Windows through the system's share
// modes, on POSIX through the platform layer's share-mode protocol (which a process that does not
// use this library can follow too). A holder that dies releases it (the system closes its handle);
// on POSIX the name it leaves is simply opened again by the next writer.
#ifndef STATS_MNG_FILE_WRITER_LOCK_H
#define STATS_MNG_FILE_WRITER_LOCK_H

#include "platform/win32/win32_api.h"
#include "utl/utl_stream.h"

class file_writer_lock_c {
 public:
  // How long a writer waits for another before it gives up.
  static constexpr unsigned k_default_wait_ms = 5000;

  file_writer_lock_c() = default;
  ~file_writer_lock_c() { release(); }
  file_writer_lock_c(const file_writer_lock_c&) = delete;
  file_writer_lock_c& operator=(const file_writer_lock_c&) = delete;

  // Takes the lock of the file at path (the file itself need not exist; its directory must),
  // waiting up to wait_ms while another writer holds it. False, with the reason in reason (may be
  // null) and the trace log, when it could not be had: the reason names the file.
  bool acquire(const char* path, unsigned wait_ms = k_default_wait_ms, utl_stream_c* reason = nullptr);
  void release();
  bool held() const { return m_handle != INVALID_HANDLE_VALUE; }
  // Whether the last acquire failed because another writer kept the lock for all of its wait (a
  // lock that cannot be made at all, no directory or no permission, is no such writer).
  bool kept_by_another() const { return m_kept_by_another; }
  // The lock file's path while held (empty otherwise).
  const utl_stream_c& lock_path() const { return m_lock_path; }

 private:
  HANDLE m_handle = INVALID_HANDLE_VALUE;
  bool m_kept_by_another = false;
  utl_stream_c m_lock_path;
};

#endif
