// A file object over one file record: read, write, asynchronous transfers, seek, size, truncation.
#ifndef STATS_MNG_FILE_BASIC_FILE_H
#define STATS_MNG_FILE_BASIC_FILE_H

#include "file/zq_io.h"
#include "utl/utl_stream.h"

#include <cstdint>

class basic_file_c {
 public:
  basic_file_c() = default;
  virtual ~basic_file_c();
  basic_file_c(const basic_file_c&) = delete;
  basic_file_c& operator=(const basic_file_c&) = delete;

  virtual bool open(const char* path, const char* mode, HANDLE transaction, unsigned flags);
  virtual bool mknod();
  // Bytes moved, a short count at the end of the file, or (size_t)-1 on error.
  virtual size_t read(void* buffer, size_t count);
  virtual size_t write(const void* buffer, size_t count);
  // block->buffer is the block's own buffer, of at least count bytes.
  virtual bool aio_read(void* buffer, uint64_t offset, size_t count, zq_aio_s* block);
  virtual bool aio_write(const void* buffer, uint64_t offset, size_t count, zq_aio_s* block);
  virtual bool aio_wait(zq_aio_s* block);
  virtual bool flush();
  virtual uint64_t tell();
  virtual bool seek(uint64_t position);
  virtual bool close();
  virtual bool is_open();
  virtual bool truncate(uint64_t size);
  virtual uint64_t size();
  virtual bool set_buffering(int mode, size_t size);
  virtual int get_fd();
  virtual HANDLE get_file_handle();
  virtual HANDLE _get_file_handle();

  // A duplicate of the handle within this process (counted), or 0.
  static HANDLE _duplicate_handle(HANDLE handle);
  // Closes a handle that is neither 0 nor -1; true (and counted down) when it closed.
  static bool _close_handle(HANDLE handle);

  // Closes its handle with _close_handle when destroyed, unless it is -1.
  class auto_release_file_handle_c {
   public:
    explicit auto_release_file_handle_c(HANDLE handle) : m_handle(handle) {}
    virtual ~auto_release_file_handle_c();
    auto_release_file_handle_c(const auto_release_file_handle_c&) = delete;
    auto_release_file_handle_c& operator=(const auto_release_file_handle_c&) = delete;
    HANDLE get() const { return m_handle; }

   private:
    HANDLE m_handle;
  };

  uint64_t last_error() const { return m_last_error; }
  void clear_last_error() { m_last_error = 0; }
  const utl_stream_c& name() const { return m_name; }
  zq_file_s* record() const { return m_file; }
  // A stream must be positioned between a write and a read, either way (the C library's rule).
  bool _stream_needs_positioning(bool writing) const {
    return m_stream_last != STREAM_IDLE && m_stream_last != (writing ? STREAM_WROTE : STREAM_READ);
  }

 protected:
  uint64_t m_last_error = 0;
  utl_stream_c m_name;
  zq_file_s* m_file = nullptr;
  // The last transfer on the stream since it was last positioned.
  enum stream_last_e { STREAM_IDLE, STREAM_READ, STREAM_WROTE } m_stream_last = STREAM_IDLE;
};

#endif
