#include "platform/thl/bulk_arena.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

namespace {

// The first block is small (a state file's tree fits it); later ones double up to the largest.
constexpr size_t k_first_block = 4 * 1024;
// Blocks stay below the C library's mmap threshold: given back, they are reused by the heap.
constexpr size_t k_largest_block = 64 * 1024;

constexpr size_t k_block_header = (sizeof(void*) * 2 + (bulk_arena_c::k_align - 1)) & ~(bulk_arena_c::k_align - 1);

// Blocks of the largest size that arenas gave back, kept for the next arenas: a process that reads
// one large document after another would otherwise hand the heap's top back to the system after
// each and fault every page in again for the next (the C library trims a free top of 128 KiB).
// First blocks are kept as well: a process that reads one small document after another (a state
// file per question) then takes no memory from the heap for their trees.
constexpr size_t k_kept_blocks = 8;
std::atomic_flag g_kept_lock = ATOMIC_FLAG_INIT;
struct kept_s {
  void* blocks[k_kept_blocks] = {};
  size_t count = 0;
};
kept_s g_kept_largest;
kept_s g_kept_first;
bool g_keeping_ended = false;  // after release_kept_blocks: blocks given back go to the heap

struct kept_guard_s {
  kept_guard_s() {
    while (g_kept_lock.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~kept_guard_s() { g_kept_lock.clear(std::memory_order_release); }
};

// The pool that keeps blocks of that size, or null.
kept_s* kept_for(size_t size) {
  return size == k_largest_block ? &g_kept_largest : size == k_first_block ? &g_kept_first : nullptr;
}

void* take_block(size_t size) {
  if (kept_s* kept = kept_for(size)) {
    kept_guard_s guard;
    if (kept->count > 0) return kept->blocks[--kept->count];
  }
  return std::malloc(size);
}

void give_block(void* block, size_t size) {
  if (kept_s* kept = kept_for(size)) {
    kept_guard_s guard;
    if (kept->count < k_kept_blocks && !g_keeping_ended) {
      kept->blocks[kept->count++] = block;
      return;
    }
  }
  std::free(block);
}

}  // namespace

void bulk_arena_c::release_kept_blocks() {
  kept_guard_s guard;
  for (kept_s* kept : {&g_kept_largest, &g_kept_first}) {
    while (kept->count > 0) std::free(kept->blocks[--kept->count]);
  }
  g_keeping_ended = true;
}

bulk_arena_c::bulk_arena_c(void* block, size_t size) {
  if (block == nullptr || size <= k_block_header) return;
  m_own = static_cast<block_s*>(block);
  m_own->previous = nullptr;
  m_own->size = size;
  m_block = m_own;
  m_next = static_cast<char*>(block) + k_block_header;
  m_end = static_cast<char*>(block) + size;
}

bulk_arena_c::~bulk_arena_c() {
  for (block_s* list : {m_block, m_large, m_spare}) {
    while (list != nullptr && list != m_own) {
      block_s* previous = list->previous;
      give_block(list, list->size);
      list = previous;
    }
  }
}

void* bulk_arena_c::_allocate_in_new_block(size_t size) {
  if (size > SIZE_MAX - k_block_header - k_align) throw std::bad_alloc();
  const size_t rounded = (size + (k_align - 1)) & ~(k_align - 1);
  if (rounded + k_block_header > k_largest_block / 2) {
    // A large piece gets a block of its own, so that the current block's free room stays in use.
    block_s* made = static_cast<block_s*>(std::malloc(rounded + k_block_header));
    if (made == nullptr) throw std::bad_alloc();
    made->size = rounded + k_block_header;
    made->previous = m_large;
    m_large = made;
    ++m_large_count;
    m_reserved += made->size;
    return reinterpret_cast<char*>(made) + k_block_header;
  }
  // The block must hold the piece: the next size up (doubling, at most the largest) or the first
  // power of two that holds it, whichever is larger. The large-piece limit above keeps that within
  // the largest block.
  const size_t needed = rounded + k_block_header;
  block_s* made = m_spare;
  if (made != nullptr && made->size < needed) {
    m_reserved -= made->size;
    give_block(made, made->size);
    made = nullptr;
  }
  m_spare = nullptr;
  if (made == nullptr) {
    // After the owner's block (smaller than a first block) come the sizes of an arena of its own.
    size_t block = m_block == nullptr || m_block == m_own ? k_first_block : m_block->size * 2;
    if (block > k_largest_block) block = k_largest_block;
    while (block < needed) block *= 2;
    made = static_cast<block_s*>(take_block(block));
    if (made == nullptr) throw std::bad_alloc();
    made->size = block;
    m_reserved += block;
  }
  made->previous = m_block;
  m_block = made;
  char* room = reinterpret_cast<char*>(made) + k_block_header;
  m_next = room + rounded;
  m_end = reinterpret_cast<char*>(made) + made->size;
  return room;
}

void bulk_arena_c::rewind(const mark_s& mark) {
  while (m_large_count > mark.large_count && m_large != nullptr) {
    block_s* previous = m_large->previous;
    m_reserved -= m_large->size;
    std::free(m_large);
    m_large = previous;
    --m_large_count;
  }
  block_s* const target = static_cast<block_s*>(mark.block);
  while (m_block != target && m_block != nullptr && m_block != m_own) {
    block_s* previous = m_block->previous;
    if (m_spare == nullptr) {
      m_spare = m_block;
      m_spare->previous = nullptr;
    } else {
      m_reserved -= m_block->size;
      give_block(m_block, m_block->size);
    }
    m_block = previous;
  }
  m_next = m_block == nullptr ? nullptr : mark.next;
  m_end = m_block == nullptr ? nullptr : reinterpret_cast<char*>(m_block) + m_block->size;
}

char* bulk_arena_c::copy(const char* text, size_t length) {
  char* at = static_cast<char*>(allocate(length + 1, 1));
  if (length > 0) std::memcpy(at, text, length);
  at[length] = '\0';
  return at;
}

// ---- arena_placeable_c

void* arena_placeable_c::operator new(size_t size) {
  if (size > SIZE_MAX - k_header) throw std::bad_alloc();
  void* memory = std::malloc(size + k_header);
  if (memory == nullptr) throw std::bad_alloc();
  *static_cast<uint64_t*>(memory) = k_heap_mark;
  return static_cast<char*>(memory) + k_header;
}

void arena_placeable_c::operator delete(void* object) {
  if (object == nullptr) return;
  void* memory = static_cast<char*>(object) - k_header;
  if (*static_cast<const uint64_t*>(memory) == k_heap_mark) std::free(memory);
}

void arena_placeable_c::operator delete(void*, bulk_arena_c&) {}
