#include "platform/thl/bulk_arena.h"

#include <cstdlib>
#include <cstring>
#include <new>


namespace {

// The first block is small (a state file's tree fits it); later ones double up to the largest.
constexpr size_t k_first_block = 4 * 1024;
// Blocks stay below the C library's mmap threshold: given back, they are reused by the heap.
constexpr size_t k_largest_block = 64 * 1024;

constexpr uint64_t k_heap_mark = 0x68656170u;   // "heap"
constexpr uint64_t k_arena_mark = 0x6172656eu;  // "aren"

}  // namespace

bulk_arena_c::~bulk_arena_c() {
  while (m_block != nullptr) {
    block_s* previous = m_block->previous;
    std::free(m_block);
    m_block = previous;
  }
}

void* bulk_arena_c::_allocate_in_new_block(size_t size) {
  const size_t header = (sizeof(block_s) + (k_align - 1)) & ~(k_align - 1);
  const size_t rounded = (size + (k_align - 1)) & ~(k_align - 1);
  if (rounded < size || rounded > SIZE_MAX - header) throw std::bad_alloc();
  size_t block = m_block == nullptr ? k_first_block : m_block->size * 2;
  if (block > k_largest_block) block = k_largest_block;
  const bool alone = rounded + header > block / 2;
  if (alone) block = rounded + header;
  block_s* made = static_cast<block_s*>(std::malloc(block));
  if (made == nullptr) throw std::bad_alloc();
  m_reserved += block;
  char* room = reinterpret_cast<char*>(made) + header;
  if (alone && m_block != nullptr) {
    // A large piece gets a block of its own behind the current one, whose free room stays in use.
    made->size = m_block->size;
    made->previous = m_block->previous;
    m_block->previous = made;
    return room;
  }
  made->size = block;
  made->previous = m_block;
  m_block = made;
  m_next = room + rounded;
  m_end = reinterpret_cast<char*>(made) + block;
  return room;
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

void* arena_placeable_c::operator new(size_t size, bulk_arena_c& arena) {
  if (size > SIZE_MAX - k_header) throw std::bad_alloc();
  void* memory = arena.allocate(size + k_header);
  *static_cast<uint64_t*>(memory) = k_arena_mark;
  return static_cast<char*>(memory) + k_header;
}

void arena_placeable_c::operator delete(void* object) {
  if (object == nullptr) return;
  void* memory = static_cast<char*>(object) - k_header;
  if (*static_cast<const uint64_t*>(memory) == k_heap_mark) std::free(memory);
}

void arena_placeable_c::operator delete(void*, bulk_arena_c&) {}

bool arena_placeable_c::in_arena(const void* object) {
  return object != nullptr &&
         *reinterpret_cast<const uint64_t*>(static_cast<const char*>(object) - k_header) == k_arena_mark;
}
