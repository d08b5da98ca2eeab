// The read-ahead and write-behind buffers of a file object: the disk sees chunk-sized,
// sector-aligned transfers while the caller reads and writes at any byte position.
#ifndef STATS_MNG_FILE_BUFFERED_IO_H
#define STATS_MNG_FILE_BUFFERED_IO_H

#include "file/zq_io.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

class basic_file_c;

// The chunk of one disk transfer, from "ChunkLength" and "IOReadLength" (65536 each when absent):
// the larger, rounded up to whole sectors; one sector when that gives 0.
uint32_t buffered_io_chunk_length(unsigned sector_size);
// Blocks in the write-behind ring, from "AIONumber": 3 when absent, kept within 1..5.
uint32_t buffered_io_ring_size();

class cache_base_c {
 public:
  explicit cache_base_c(basic_file_c* owner) : m_owner(owner) {}
  virtual void reset();
  virtual ~cache_base_c();
  cache_base_c(const cache_base_c&) = delete;
  cache_base_c& operator=(const cache_base_c&) = delete;

  // The open flags and sector size of the owner's file.
  void configure(unsigned flags, unsigned sector_size);
  uint32_t chunk_length();
  int32_t sector_size() const { return m_sector_size; }
  unsigned flags() const { return m_flags; }
  int64_t position() const { return m_position; }
  int32_t count() const { return m_count; }

 protected:
  // Moves the owner to the offset and transfers there; (size_t)-1 on failure.
  size_t _positioned_read(void* buffer, uint64_t offset, size_t length);
  size_t _positioned_write(const void* buffer, uint64_t offset, size_t length);
  bool _ensure_buffer();
  bool _move_owner(uint64_t offset, bool writing);

  int64_t m_position = 0;
  unsigned char* m_buffer = nullptr;
  uint32_t m_capacity = 0;
  int32_t m_index = 0;
  int32_t m_count = 0;
  uint32_t m_chunk_length = ~0u;
  int32_t m_sector_size = 512;
  unsigned m_flags = 0;
  basic_file_c* m_owner;
};

class pre_read_c : public cache_base_c {
 public:
  explicit pre_read_c(basic_file_c* owner) : cache_base_c(owner) {}
  ~pre_read_c() override;
  void reset() override;

  // Reads through the chunk cache (flag 0x010), with the next chunk read ahead for overlapped
  // files (0x020). Bytes delivered, or (size_t)-1.
  size_t read(void* buffer, uint64_t position, size_t length) {
    // The common case, inline: the next bytes of a sequential read are already here.
    if (m_count > 0 && static_cast<int64_t>(position) == m_position && length <= static_cast<size_t>(m_count) &&
        m_buffer != nullptr) {
      std::memcpy(buffer, m_buffer + m_index, length);
      m_index += static_cast<int32_t>(length);
      m_count -= static_cast<int32_t>(length);
      m_position += static_cast<int64_t>(length);
      return length;
    }
    return _read(buffer, position, length);
  }
  // Forgets the cached data (the file changed underneath), after any read in flight ends.
  void invalidate();

 private:
  size_t _read(void* buffer, uint64_t position, size_t length);
  size_t _read_sync(unsigned char* out, uint64_t position, size_t length);
  size_t _read_async(unsigned char* out, uint64_t position, size_t length);
  // Copies what the cache holds at position; bytes copied.
  size_t _copy_hit(unsigned char* out, uint64_t position, size_t length);
  // The unaligned head of a request read through one sector; bytes delivered, or -1 when the
  // sector could not be read.
  size_t _read_head_sector(unsigned char* out, uint64_t position, size_t length);
  void _adopt_blocks();
  bool _start_block(zq_aio_s*& block, HANDLE& event, void* buffer, uint64_t offset, uint32_t length);
  void _drop_block(zq_aio_s*& block);

  zq_aio_s* m_current = nullptr;
  zq_aio_s* m_next = nullptr;
  unsigned char* m_next_buffer = nullptr;
  HANDLE m_current_event = nullptr;
  HANDLE m_next_event = nullptr;
};

class post_write_c : public cache_base_c {
 public:
  explicit post_write_c(basic_file_c* owner) : cache_base_c(owner) {}
  ~post_write_c() override;
  void reset() override;

  void set_aio_write(bool on) { m_aio_write = on; }
  // Takes the bytes at position; length, or (size_t)-1.
  size_t write(const void* buffer, uint64_t position, size_t length);
  // Writes out what the buffer holds (a partial last sector completed from the file).
  bool flush();
  bool _wait();
  bool _wait_all();
  uint32_t ring_size() const { return m_ring_size; }
  // The largest transfer handed to the ring so far: a write of any size goes out chunk by chunk,
  // never as one copy of the whole request.
  size_t largest_transfer() const { return m_largest_transfer; }

 private:
  bool _store(const unsigned char* data, uint64_t position, size_t length);
  bool _write_out(const unsigned char* data, uint64_t position, size_t length);
  // Reads the sector at offset into a fresh zeroed sector buffer; bytes read, or -1.
  size_t _read_sector(unsigned char* sector, uint64_t offset);
  bool _wait_block(uint32_t index);
  void _free_ring();

  struct ring_block_s {
    zq_aio_s block;
    uint32_t buffer_size;
    uint32_t requested;
    bool started;
  };
  ring_block_s* m_ring = nullptr;
  uint32_t m_ring_size = 0;
  size_t m_largest_transfer = 0;
  uint32_t m_ring_index = 0;
  bool m_wrapped = false;
  bool m_aio_write = true;
};

#endif
