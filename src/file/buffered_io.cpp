#include "file/buffered_io.h"

#include "file/basic_file.h"
#include "platform/trc/zqtr.h"
#include "utl/tuning_parameters.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

const char* k_file = "bufferred_io";
constexpr size_t k_failed = static_cast<size_t>(-1);
constexpr uint32_t k_default_chunk = 0x10000;

// Page-aligned memory from the heap (unbuffered transfers need sector-aligned buffers); cheaper
// than mapping pages for each file opened.
constexpr std::align_val_t k_alignment{4096};

unsigned char* aligned_alloc_bytes(size_t size) {
  return static_cast<unsigned char*>(::operator new(size, k_alignment, std::nothrow));
}

void aligned_free(unsigned char*& memory) {
  if (memory != nullptr) ::operator delete(memory, k_alignment);
  memory = nullptr;
}

uint32_t setting_or(const char* name, uint32_t fallback) {
  tuning_parameter_s* parameter = tuning_parameters_n::find_parameter(name);
  if (parameter == nullptr) return fallback;
  int value = tuning_parameters_n::get_int(parameter);
  return value < 0 ? 0u : static_cast<uint32_t>(value);
}

}  // namespace

uint32_t buffered_io_chunk_length(unsigned sector_size) {
  uint64_t chunk = std::max(setting_or("ChunkLength", k_default_chunk), setting_or("IOReadLength", k_default_chunk));
  if (sector_size == 0) sector_size = 512;
  chunk = (chunk + sector_size - 1) / sector_size * sector_size;
  if (chunk == 0 || chunk > 0x40000000u) chunk = chunk == 0 ? sector_size : 0x40000000u / sector_size * sector_size;
  return static_cast<uint32_t>(chunk);
}

uint32_t buffered_io_ring_size() {
  tuning_parameter_s* parameter = tuning_parameters_n::find_parameter("AIONumber");
  if (parameter == nullptr) return 3;
  int value = tuning_parameters_n::get_int(parameter);
  return static_cast<uint32_t>(std::min(5, std::max(1, value)));
}

// ---- cache_base_c

cache_base_c::~cache_base_c() { aligned_free(m_buffer); }

void cache_base_c::reset() {
  aligned_free(m_buffer);
  m_position = 0;
  m_capacity = 0;
  m_index = 0;
  m_count = 0;
}

void cache_base_c::configure(unsigned flags, unsigned sector_size) {
  m_flags = flags;
  m_sector_size = sector_size == 0 ? 512 : static_cast<int32_t>(sector_size);
  m_chunk_length = ~0u;  // worked out again for this sector size
}

uint32_t cache_base_c::chunk_length() {
  if (m_chunk_length == ~0u) m_chunk_length = buffered_io_chunk_length(static_cast<unsigned>(m_sector_size));
  return m_chunk_length;
}

bool cache_base_c::_ensure_buffer() {
  const uint32_t chunk = chunk_length();
  if (m_buffer != nullptr && m_capacity >= chunk) return true;
  aligned_free(m_buffer);
  m_buffer = aligned_alloc_bytes(chunk);
  m_capacity = m_buffer == nullptr ? 0 : chunk;
  return m_buffer != nullptr;
}

bool cache_base_c::_move_owner(uint64_t offset, bool writing) {
  const uint64_t at = m_owner->basic_file_c::tell();
  // When the position cannot be read, the transfer goes on from where the file stands. A stream
  // that changes direction is positioned even where it stands: C requires it.
  if (at == static_cast<uint64_t>(-1)) return true;
  return (at == offset && !m_owner->_stream_needs_positioning(writing)) || m_owner->basic_file_c::seek(offset);
}

size_t cache_base_c::_positioned_read(void* buffer, uint64_t offset, size_t length) {
  if (!_move_owner(offset, false)) return k_failed;
  return m_owner->basic_file_c::read(buffer, length);
}

size_t cache_base_c::_positioned_write(const void* buffer, uint64_t offset, size_t length) {
  if (!_move_owner(offset, true)) return k_failed;
  return m_owner->basic_file_c::write(buffer, length);
}

// ---- pre_read_c

pre_read_c::~pre_read_c() { pre_read_c::reset(); }

void pre_read_c::_drop_block(zq_aio_s*& block) {
  if (block == nullptr) return;
  m_owner->basic_file_c::aio_wait(block);
  delete block;
  block = nullptr;
}

void pre_read_c::reset() {
  _drop_block(m_current);
  _drop_block(m_next);
  aligned_free(m_next_buffer);
  if (m_current_event != nullptr) CloseHandle(m_current_event);
  if (m_next_event != nullptr) CloseHandle(m_next_event);
  m_current_event = m_next_event = nullptr;
  cache_base_c::reset();
}

void pre_read_c::invalidate() {
  _drop_block(m_current);
  _drop_block(m_next);
  m_index = 0;
  m_count = 0;
  m_position = 0;
}

size_t pre_read_c::_read(void* buffer, uint64_t position, size_t length) {
  if (position == static_cast<uint64_t>(-1)) return k_failed;
  unsigned char* out = static_cast<unsigned char*>(buffer);
  return (m_flags & ZQ_OPEN_OVERLAPPED) ? _read_async(out, position, length) : _read_sync(out, position, length);
}

size_t pre_read_c::_copy_hit(unsigned char* out, uint64_t position, size_t length) {
  if (m_buffer == nullptr || m_index + m_count <= 0) return 0;
  const int64_t start = m_position - m_index;
  const int64_t at = static_cast<int64_t>(position);
  if (at < start || at > m_position + m_count) return 0;
  const int64_t delta = at - m_position;
  m_index += static_cast<int32_t>(delta);
  m_count -= static_cast<int32_t>(delta);
  m_position = at;
  const size_t n = std::min(length, static_cast<size_t>(m_count));
  std::memcpy(out, m_buffer + m_index, n);
  m_index += static_cast<int32_t>(n);
  m_count -= static_cast<int32_t>(n);
  m_position += static_cast<int64_t>(n);
  return n;
}

size_t pre_read_c::_read_head_sector(unsigned char* out, uint64_t position, size_t length) {
  const uint64_t sector = static_cast<uint64_t>(m_sector_size);
  const uint64_t start = position / sector * sector;
  unsigned char* head = aligned_alloc_bytes(sector);
  if (head == nullptr) return k_failed;
  size_t got = _positioned_read(head, start, sector);
  size_t n = 0;
  if (got != k_failed) {
    const size_t skip = static_cast<size_t>(position - start);
    n = got > skip ? std::min(length, got - skip) : 0;
    std::memcpy(out, head + skip, n);
  }
  aligned_free(head);
  return got == k_failed ? k_failed : n;
}

size_t pre_read_c::_read_sync(unsigned char* out, uint64_t position, size_t length) {
  size_t delivered = _copy_hit(out, position, length);
  position += delivered;
  length -= delivered;
  if (length == 0) return delivered;
  // What is left starts where the cache ends (after a hit) or elsewhere (a miss): either way the
  // cache is filled again from here.
  const uint32_t chunk = chunk_length();
  if (length >= chunk) {
    size_t got = _positioned_read(out + delivered, position, length);
    return got == k_failed ? k_failed : delivered + got;
  }
  if (!_ensure_buffer()) return k_failed;
  size_t got = _positioned_read(m_buffer, position, chunk);
  if (got == k_failed) return k_failed;
  m_index = 0;
  m_count = static_cast<int32_t>(got);
  m_position = static_cast<int64_t>(position);
  return delivered + _copy_hit(out + delivered, position, length);
}

bool pre_read_c::_start_block(zq_aio_s*& block, HANDLE& event, void* buffer, uint64_t offset, uint32_t length) {
  if (event == nullptr) {
    event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return false;
  }
  block = new zq_aio_s;
  std::memset(block, 0, sizeof *block);
  block->event = event;
  ResetEvent(event);
  if (!m_owner->basic_file_c::aio_read(buffer, offset, length, block)) {
    delete block;  // a block that fails to start is freed at once
    block = nullptr;
    return false;
  }
  return true;
}

void pre_read_c::_adopt_blocks() {
  if (m_count > 0) return;
  if (m_current != nullptr) {
    // Its data lie in the buffer right behind what the last miss read.
    zq_aio_s* block = m_current;
    bool ok = m_owner->basic_file_c::aio_wait(block);
    if (ok && block->length > 0) {
      m_position = static_cast<int64_t>(block->offset);
      m_index = static_cast<int32_t>(static_cast<unsigned char*>(block->buffer) - m_buffer);
      m_count = static_cast<int32_t>(block->length);
    }
    delete block;
    m_current = nullptr;
  }
  if (m_count == 0 && m_next != nullptr) {
    zq_aio_s* block = m_next;
    bool ok = m_owner->basic_file_c::aio_wait(block);
    if (ok && block->length > 0 && _ensure_buffer()) {
      std::memcpy(m_buffer, m_next_buffer, block->length);
      m_position = static_cast<int64_t>(block->offset);
      m_index = 0;
      m_count = static_cast<int32_t>(block->length);
    }
    delete block;
    m_next = nullptr;
  }
}

size_t pre_read_c::_read_async(unsigned char* out, uint64_t position, size_t length) {
  const uint64_t end = position + length;
  const uint64_t sector = static_cast<uint64_t>(m_sector_size);
  const uint32_t chunk = chunk_length();
  size_t delivered = 0;
  while (length > 0) {
    _adopt_blocks();
    size_t n = _copy_hit(out + delivered, position, length);
    if (n > 0) {
      delivered += n;
      position += n;
      length -= n;
      continue;
    }
    // A miss: what is in flight into the buffer must land before the buffer is reused.
    _drop_block(m_current);
    if (!_ensure_buffer()) return k_failed;
    m_position = 0;
    m_index = 0;
    m_count = 0;
    if (position % sector != 0) {
      n = _read_head_sector(out + delivered, position, length);
      if (n == k_failed) {
        size_t got = _positioned_read(out + delivered, position, length);
        return got == k_failed ? k_failed : delivered + got;
      }
      delivered += n;
      position += n;
      length -= n;
      if (n == 0 || position % sector != 0) break;  // the end of the file
      continue;
    }
    if (length >= chunk) {
      size_t got = _positioned_read(out + delivered, position, length);
      if (got == k_failed) return k_failed;
      delivered += got;
      position += got;
      length = 0;
      break;
    }
    const uint32_t want = static_cast<uint32_t>((length + sector - 1) / sector * sector);
    size_t got = _positioned_read(m_buffer, position, want);
    if (got == k_failed) return k_failed;
    m_index = 0;
    m_count = static_cast<int32_t>(got);
    m_position = static_cast<int64_t>(position);
    if (got == want && want < chunk &&
        !_start_block(m_current, m_current_event, m_buffer + want, position + want, chunk - want)) {
      return k_failed;
    }
    n = _copy_hit(out + delivered, position, length);
    delivered += n;
    position += n;
    length -= n;
    if (n == 0 || got < want) break;  // the end of the file
  }
  if (m_next == nullptr) {
    uint64_t ahead = end;
    if (m_current != nullptr) {
      ahead = m_current->offset + (chunk - static_cast<uint32_t>(static_cast<unsigned char*>(m_current->buffer) - m_buffer));
    } else if (m_count > 0) {
      ahead = static_cast<uint64_t>(m_position + m_count);
    }
    if (ahead % sector == 0) {
      if (m_next_buffer == nullptr) m_next_buffer = aligned_alloc_bytes(chunk);
      if (m_next_buffer == nullptr || !_start_block(m_next, m_next_event, m_next_buffer, ahead, chunk)) return k_failed;
    }
  }
  return delivered;
}

// ---- post_write_c

post_write_c::~post_write_c() { _free_ring(); }

void post_write_c::_free_ring() {
  if (m_ring == nullptr) return;
  for (uint32_t i = 0; i < m_ring_size; ++i) {
    if (m_ring[i].started) m_owner->basic_file_c::aio_wait(&m_ring[i].block);
    unsigned char* buffer = static_cast<unsigned char*>(m_ring[i].block.buffer);
    aligned_free(buffer);
    if (m_ring[i].block.event != nullptr) CloseHandle(m_ring[i].block.event);
  }
  delete[] m_ring;
  m_ring = nullptr;
  m_ring_index = 0;
  m_wrapped = false;
}

void post_write_c::reset() {
  _free_ring();
  cache_base_c::reset();
}

size_t post_write_c::_read_sector(unsigned char* sector, uint64_t offset) {
  // Writes still in flight may cover this sector: they land first.
  if (!_wait_all()) return k_failed;
  std::memset(sector, 0, static_cast<size_t>(m_sector_size));
  return _positioned_read(sector, offset, static_cast<size_t>(m_sector_size));
}

bool post_write_c::_write_out(const unsigned char* data, uint64_t position, size_t length) {
  if (length == 0) return true;
  if (!m_aio_write) return _positioned_write(data, position, length) == length;
  if (m_ring == nullptr) {
    m_ring_size = buffered_io_ring_size();
    m_ring = new ring_block_s[m_ring_size];
    std::memset(m_ring, 0, sizeof(ring_block_s) * m_ring_size);
    m_ring_index = 0;
    m_wrapped = false;
  }
  ring_block_s& slot = m_ring[m_ring_index];
  if (slot.started && !_wait_block(m_ring_index)) return false;
  m_largest_transfer = std::max(m_largest_transfer, length);
  if (slot.buffer_size < length) {
    unsigned char* old = static_cast<unsigned char*>(slot.block.buffer);
    aligned_free(old);
    slot.block.buffer = aligned_alloc_bytes(std::max<size_t>(length, chunk_length()));
    slot.buffer_size = slot.block.buffer == nullptr ? 0 : static_cast<uint32_t>(std::max<size_t>(length, chunk_length()));
    if (slot.block.buffer == nullptr) return false;
  }
  if (slot.block.event == nullptr) {
    slot.block.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (slot.block.event == nullptr) return false;
  }
  ResetEvent(slot.block.event);
  slot.requested = static_cast<uint32_t>(length);
  if (!m_owner->basic_file_c::aio_write(data, position, length, &slot.block)) {
    slot.started = false;
    return false;
  }
  slot.started = true;
  if (++m_ring_index == m_ring_size) {
    m_ring_index = 0;
    m_wrapped = true;
  }
  // Once every block has been used, the next one is complete before it is reused.
  return _wait();
}

bool post_write_c::_wait_block(uint32_t index) {
  ring_block_s& slot = m_ring[index];
  if (!slot.started) return true;
  slot.started = false;
  bool ok = m_owner->basic_file_c::aio_wait(&slot.block) && slot.block.length == slot.requested;
  if (!ok) {
    ZQTR_SCOPE(tr, "post_write_c::_wait", k_file);
    tr.print_nl(ZQTR_FAIL, __LINE__, "Wait the write result failed,the file name is %s,the wrote number is %d.",
                m_owner->name().c_str(), static_cast<int>(index));
  }
  return ok;
}

bool post_write_c::_wait() {
  if (!m_wrapped || m_ring == nullptr) return true;
  return _wait_block(m_ring_index);
}

bool post_write_c::_wait_all() {
  if (!m_aio_write) return true;
  bool ok = true;
  if (m_ring != nullptr) {
    for (uint32_t i = 0; i < m_ring_size; ++i) {
      if (!_wait_block(i)) ok = false;
    }
  }
  m_ring_index = 0;
  m_wrapped = false;
  return ok;
}

bool post_write_c::_store(const unsigned char* data, uint64_t position, size_t length) {
  const uint64_t sector = static_cast<uint64_t>(m_sector_size);
  if (position % sector != 0) {
    const uint64_t start = position / sector * sector;
    const size_t skip = static_cast<size_t>(position - start);
    unsigned char* head = aligned_alloc_bytes(sector);
    if (head == nullptr) return false;
    const size_t got = _read_sector(head, start);
    if (got == k_failed) {
      aligned_free(head);
      return _write_out(data, position, length);
    }
    const size_t n = std::min(length, static_cast<size_t>(sector) - skip);
    std::memcpy(head + skip, data, n);
    // The sector goes back as far as it held data or now does: a file never grows by a padding tail.
    const size_t back = std::max(got, skip + n);
    bool ok = _write_out(head, start, back);
    aligned_free(head);
    if (!ok) return false;
    data += n;
    position += n;
    length -= n;
  }
  // Whole chunks go out one at a time: a transfer is at most a chunk (a request of 4 GiB or more
  // does not fit one system call's count) and the ring's buffers stay chunk-sized.
  const uint32_t chunk = chunk_length();
  while (length >= chunk) {
    if (!_write_out(data, position, chunk)) return false;
    data += chunk;
    position += chunk;
    length -= chunk;
  }
  if (length > 0) {
    if (!_ensure_buffer()) return false;
    std::memcpy(m_buffer, data, length);
    m_position = static_cast<int64_t>(position);
    m_index = 0;
    m_count = static_cast<int32_t>(length);
  }
  return true;
}

size_t post_write_c::write(const void* buffer, uint64_t position, size_t length) {
  if (position == static_cast<uint64_t>(-1)) return k_failed;
  const unsigned char* data = static_cast<const unsigned char*>(buffer);
  const uint32_t chunk = chunk_length();
  const size_t total = length;
  const int64_t at = static_cast<int64_t>(position);
  if (m_count > 0 && static_cast<uint32_t>(m_count) < chunk && at >= m_position && at <= m_position + m_count &&
      at < m_position + static_cast<int64_t>(chunk)) {
    const size_t offset = static_cast<size_t>(at - m_position);
    const size_t n = std::min(length, static_cast<size_t>(chunk) - offset);
    std::memcpy(m_buffer + offset, data, n);
    m_count = std::max(m_count, static_cast<int32_t>(offset + n));
    data += n;
    position += n;
    length -= n;
    if (length == 0) return total;
  }
  if (!flush() || !_store(data, position, length)) return k_failed;
  return total;
}

bool post_write_c::flush() {
  if (m_count <= 0 || m_buffer == nullptr) {
    m_count = 0;
    return true;
  }
  const uint64_t sector = static_cast<uint64_t>(m_sector_size);
  const size_t count = static_cast<size_t>(m_count);
  const size_t aligned = count / sector * sector;
  const uint64_t start = static_cast<uint64_t>(m_position);
  // The buffer is emptied whatever happens: what failed is reported, not written twice.
  m_count = 0;
  m_index = 0;
  if (!_write_out(m_buffer, start, aligned)) return false;
  const size_t tail = count - aligned;
  if (tail == 0) return true;
  unsigned char* last = aligned_alloc_bytes(sector);
  if (last == nullptr) return false;
  size_t got = _read_sector(last, start + aligned);
  bool ok;
  if (got == k_failed) {
    ok = _write_out(m_buffer + aligned, start + aligned, tail);
  } else {
    std::memcpy(last, m_buffer + aligned, tail);
    ok = _write_out(last, start + aligned, std::max(got, tail));
  }
  aligned_free(last);
  return ok;
}
