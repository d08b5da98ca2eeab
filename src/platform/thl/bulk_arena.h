// Memory for objects that are made together and die together (the parse tree a reader builds):
// handed out from large blocks and given back all at once when the arena is destroyed. Objects
// made in an arena still have their destructors run by whoever deletes them; only the memory
// stays with the arena.
#ifndef STATS_MNG_PLATFORM_THL_BULK_ARENA_H
#define STATS_MNG_PLATFORM_THL_BULK_ARENA_H

#include <cstddef>
#include <cstdint>

class bulk_arena_c {
 public:
  bulk_arena_c() = default;
  // An arena whose first block is size bytes at block (aligned to k_align), which its owner keeps
  // for the arena's life: pieces are cut from it before any memory is taken from the heap.
  bulk_arena_c(void* block, size_t size);
  ~bulk_arena_c();
  bulk_arena_c(const bulk_arena_c&) = delete;
  bulk_arena_c& operator=(const bulk_arena_c&) = delete;

  // Room for size bytes aligned to align (a power of two up to k_align: 8 suits every object
  // made here); throws std::bad_alloc when memory runs out.
  void* allocate(size_t size, size_t align = 8) {
    char* at = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(m_next) + (align - 1)) & ~(uintptr_t{align} - 1));
    if (at <= m_end && static_cast<size_t>(m_end - at) >= size) {
      m_next = at + size;
      return at;
    }
    return _allocate_in_new_block(size);
  }
  // A NUL-terminated copy of length bytes of text.
  char* copy(const char* text, size_t length);
  // Bytes taken from the system and not given back (blocks; not the owner's block), for tests and
  // figures.
  size_t reserved() const { return m_reserved; }

  // A point to come back to: rewind(mark) gives back every piece handed out since (nested marks
  // are rewound innermost first). The objects in them must have been destroyed.
  struct mark_s {
    void* block;
    char* next;
    size_t large_count;
  };
  mark_s mark() const { return {m_block, m_next, m_large_count}; }
  void rewind(const mark_s& mark);

  static constexpr size_t k_align = alignof(std::max_align_t);

  // Arenas keep a few blocks of the largest and of the first size for the next arenas; this
  // frees them and keeps none from then on (for the library's unload: a process that loads and unloads it again and
  // again must not lose them each time).
  static void release_kept_blocks();

 private:
  struct block_s {
    block_s* previous;
    size_t size;
  };
  void* _allocate_in_new_block(size_t size);

  block_s* m_block = nullptr;  // the blocks pieces are cut from, newest first
  block_s* m_large = nullptr;  // blocks of one large piece each, newest first
  size_t m_large_count = 0;
  // The last block given back by a rewind, kept for the next one needed (a read that goes up and
  // down across a block's end would otherwise take and free a block each time).
  block_s* m_spare = nullptr;
  // The owner's block given at construction (never freed, never given back by a rewind), or null.
  block_s* m_own = nullptr;
  char* m_next = nullptr;
  char* m_end = nullptr;
  size_t m_reserved = 0;
};

// A class deriving from this is made on the heap by a plain new, or in an arena by
// new (arena) T; delete runs the destructor either way and frees only what came from the heap.
// (Each object carries a small header that says where it came from.)
class arena_placeable_c {
 public:
  static void* operator new(size_t size);
  // Inline: a parse tree makes several of these per element.
  static void* operator new(size_t size, bulk_arena_c& arena) {
    void* memory = arena.allocate(size + k_header);
    *static_cast<uint64_t*>(memory) = k_arena_mark;
    return static_cast<char*>(memory) + k_header;
  }
  static void operator delete(void* object);
  // Called only when a constructor throws during new (arena) T.
  static void operator delete(void* object, bulk_arena_c& arena);

  // Whether the object was made in an arena.
  static bool in_arena(const void* object) {
    return object != nullptr && *reinterpret_cast<const uint64_t*>(static_cast<const char*>(object) - k_header) == k_arena_mark;
  }

 private:
  // Enough for the objects placed here, none of which asks more than 8-byte alignment.
  static constexpr size_t k_header = 8;
  // What the header says: made on the heap ("heap") or in an arena ("aren").
  static constexpr uint64_t k_heap_mark = 0x68656170u;
  static constexpr uint64_t k_arena_mark = 0x6172656eu;
};

// A Base made only in an arena (new (arena) arena_made_ct<Base>(...)): deleting it through a Base
// pointer runs its destructors and frees nothing. Base needs a virtual destructor.
template <class Base>
class arena_made_ct final : public Base {
  static_assert(alignof(Base) <= 8, "an arena hands out 8-byte aligned pieces by default");

 public:
  using Base::Base;
  static void* operator new(size_t size, bulk_arena_c& arena) { return arena.allocate(size); }
  static void operator delete(void*) {}
  static void operator delete(void*, bulk_arena_c&) {}
};

#endif
