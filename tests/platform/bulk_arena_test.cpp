// Memory handed out in bulk: pieces that never overlap, objects made in an arena or on the heap
// that are deleted alike, and lists whose elements live in an arena and share a lock.
#include "platform/thl/bulk_arena.h"
#include "platform/thl/ptr_list.h"
#include "platform/thl/thl_locks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// A first block given back is kept for the next arena, not handed to the heap: a heap allocation of
// the block's size in between gets other memory, and the next arena's first piece stands where the
// last arena's stood (both for the small first block and for the largest).
TEST(bulk_arena, first_and_largest_blocks_given_back_serve_the_next_arena) {
  struct case_s {
    const char* name;
    size_t first_piece;  // the first piece, which decides the block's size
  };
  const case_s cases[] = {{"first block (4 KiB)", 100}, {"largest block (64 KiB)", 20000}};
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.name);
    void* was = nullptr;
    {
      bulk_arena_c arena;
      // A largest block is reached by doubling: fill blocks of 4, 8, 16 and 32 KiB first.
      if (c.first_piece > 4096) {
        for (size_t size : {3000, 7000, 15000, 30000}) arena.allocate(size);
      }
      was = arena.allocate(c.first_piece);
    }
    std::unique_ptr<char[]> between(new char[c.first_piece > 4096 ? 64 * 1024 : 4 * 1024]);
    bulk_arena_c next;
    if (c.first_piece > 4096) {
      for (size_t size : {3000, 7000, 15000, 30000}) next.allocate(size);
    }
    EXPECT_EQ(next.allocate(c.first_piece), was);
    EXPECT_NE(static_cast<void*>(between.get()), was);
  }
}

TEST(bulk_arena, pieces_are_aligned_apart_and_keep_what_was_written) {
  bulk_arena_c arena;
  EXPECT_EQ(arena.reserved(), 0u);  // nothing is taken before the first piece
  struct piece_s {
    unsigned char* at;
    size_t size;
  };
  std::vector<piece_s> pieces;
  // Sizes across the block sizes: tiny, odd, a block's worth, far more than the largest block.
  const size_t sizes[] = {1, 7, 8, 13, 24, 100, 3000, 4096, 5000, 70000, 300000, 3, 64 * 1024, 9};
  const size_t aligns[] = {1, 8, 8, 1, 8, 8, 8, 8, 1, 8, 8, 1, 8, 8};
  for (size_t round = 0; round < 20; ++round) {
    for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
      SCOPED_TRACE("size " + std::to_string(sizes[i]) + ", round " + std::to_string(round));
      auto* at = static_cast<unsigned char*>(arena.allocate(sizes[i], aligns[i]));
      ASSERT_NE(at, nullptr);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(at) % aligns[i], 0u);
      std::memset(at, static_cast<int>(pieces.size() & 0xFF), sizes[i]);
      pieces.push_back({at, sizes[i]});
    }
  }
  // Every piece still holds its own byte: none overlapped another.
  for (size_t n = 0; n < pieces.size(); ++n) {
    const unsigned char expected = static_cast<unsigned char>(n & 0xFF);
    for (size_t k = 0; k < pieces[n].size; ++k) {
      if (pieces[n].at[k] != expected) {
        FAIL() << "piece " << n << " overwritten at byte " << k;
      }
    }
  }
  EXPECT_GE(arena.reserved(), 20u * 300000u);
}

TEST(bulk_arena, a_piece_larger_than_the_next_block_gets_room_for_all_of_it) {
  const struct {
    const char* what;
    std::vector<size_t> sizes;
    bool rewind_first;  // a block kept by a rewind is offered before a new one
  } cases[] = {
      {"first piece above the first block", {5000}, false},
      {"above the doubled block", {1, 20000}, false},
      {"just under the large-piece limit", {1, 1, 32 * 1024 - 64}, false},
      {"above the block a rewind kept", {3000, 3000, 30000}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bulk_arena_c arena;
    if (c.rewind_first) {
      const bulk_arena_c::mark_s start = arena.mark();
      arena.allocate(10);
      arena.allocate(4000);  // a second block, kept as the spare by the rewind
      arena.rewind(start);
    }
    size_t total = 0;
    std::vector<std::pair<unsigned char*, size_t>> pieces;
    for (size_t size : c.sizes) {
      auto* at = static_cast<unsigned char*>(arena.allocate(size));
      std::memset(at, static_cast<int>(pieces.size() + 1), size);
      pieces.emplace_back(at, size);
      total += size;
    }
    // Blocks that held less than what was handed out would have been written past their end.
    EXPECT_GE(arena.reserved(), total);
    for (size_t n = 0; n < pieces.size(); ++n) {
      EXPECT_EQ(pieces[n].first[0], n + 1);
      EXPECT_EQ(pieces[n].first[pieces[n].second - 1], n + 1);
    }
  }
}

TEST(bulk_arena, copies_are_terminated) {
  bulk_arena_c arena;
  const struct {
    const char* text;
    size_t length;
    const char* expected;
  } cases[] = {{"", 0, ""}, {"abc", 3, "abc"}, {"abcdef", 2, "ab"}, {"a\0b", 3, "a"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    char* copy = arena.copy(c.text, c.length);
    EXPECT_STREQ(copy, c.expected);
    EXPECT_EQ(copy[c.length], '\0');
  }
}

TEST(bulk_arena, a_rewind_gives_back_what_came_after_its_mark) {
  bulk_arena_c arena;
  const bulk_arena_c::mark_s empty = arena.mark();
  char* kept = arena.copy("kept", 4);
  const bulk_arena_c::mark_s after_kept = arena.mark();
  const size_t reserved_at_mark = arena.reserved();
  // Enough to need new blocks, and a large piece of its own.
  for (int i = 0; i < 100; ++i) arena.allocate(1000);
  void* large = arena.allocate(200000);
  std::memset(large, 1, 200000);
  EXPECT_GT(arena.reserved(), reserved_at_mark + 200000);
  arena.rewind(after_kept);
  EXPECT_STREQ(kept, "kept");
  // The large block went back; of the others one block is kept for the next need.
  EXPECT_LE(arena.reserved(), reserved_at_mark + 64 * 1024);
  // The room after the mark is handed out again, right where the mark stood.
  char* again = arena.copy("x", 1);
  EXPECT_EQ(again, after_kept.next);
  // Marks nest: an inner rewind keeps what came between the two marks.
  const bulk_arena_c::mark_s outer = arena.mark();
  char* between = arena.copy("between", 7);
  const bulk_arena_c::mark_s inner = arena.mark();
  for (int i = 0; i < 200; ++i) arena.allocate(700);
  arena.rewind(inner);
  EXPECT_STREQ(between, "between");
  arena.rewind(outer);
  EXPECT_EQ(arena.copy("y", 1), between);
  // Back to the very start: everything is handed out anew.
  arena.rewind(empty);
  for (int i = 0; i < 50; ++i) std::memset(arena.allocate(3000), 2, 3000);
}

// An arena over its owner's block cuts pieces from that block first and takes nothing from the
// heap until it is full; then blocks of an arena of its own follow (the first of 4 KiB). Rewinds,
// to a mark in the owner's block or to the very start, never give the owner's block away, and the
// arena's end leaves it to its owner (a block on the stack: a free of it would be reported).
TEST(bulk_arena, an_owners_block_serves_first_and_stays_the_owners) {
  alignas(bulk_arena_c::k_align) char block[512];
  const auto in_block = [&block](const void* p) {
    return static_cast<const char*>(p) >= block && static_cast<const char*>(p) < block + sizeof block;
  };
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "rewound to a mark in the block" : "rewound to the start");
    bulk_arena_c arena(block, sizeof block);
    const bulk_arena_c::mark_s start = arena.mark();
    char* first = arena.copy("first", 5);
    EXPECT_TRUE(in_block(first));
    const bulk_arena_c::mark_s after_first = arena.mark();
    size_t in_own = 0;
    while (arena.reserved() == 0) {
      void* piece = arena.allocate(24);
      if (arena.reserved() == 0) {
        EXPECT_TRUE(in_block(piece));
        ++in_own;
      } else {
        EXPECT_FALSE(in_block(piece));
      }
    }
    // The block, less its header and the first piece, in pieces of 24 bytes.
    EXPECT_GE(in_own, (sizeof block - 64) / 24);
    EXPECT_EQ(arena.reserved(), 4096u);
    for (int i = 0; i < 20; ++i) std::memset(arena.allocate(1000), 3, 1000);
    arena.rewind(round == 0 ? after_first : start);
    char* again = arena.copy("again", 5);
    EXPECT_TRUE(in_block(again));
    EXPECT_EQ(again, round == 0 ? after_first.next : start.next);
    if (round == 0) {
      EXPECT_STREQ(first, "first");
    }
  }
}

// Counts its destructions; made on the heap or in an arena.
struct counted_c : arena_placeable_c {
  explicit counted_c(int* destroyed) : destroyed(destroyed) {}
  virtual ~counted_c() { ++*destroyed; }
  int* destroyed;
  char payload[40] = {};
};

TEST(bulk_arena, placed_objects_are_destroyed_alike_and_only_heap_memory_is_freed) {
  int destroyed = 0;
  {
    bulk_arena_c arena;
    counted_c* on_heap = new counted_c(&destroyed);
    counted_c* in_arena = new (arena) counted_c(&destroyed);
    EXPECT_FALSE(arena_placeable_c::in_arena(on_heap));
    EXPECT_TRUE(arena_placeable_c::in_arena(in_arena));
    // Deleting the arena's object must not hand its memory to the heap (the sanitizer build
    // would see a bad free); the heap's object must be freed (it would see a leak).
    delete in_arena;
    delete on_heap;
    EXPECT_EQ(destroyed, 2);
    delete static_cast<counted_c*>(nullptr);
  }
  EXPECT_EQ(destroyed, 2);
}

// A constructor that throws while made in an arena leaves nothing behind and no bad free.
struct throwing_c : arena_placeable_c {
  throwing_c() { throw std::runtime_error("no"); }
};

TEST(bulk_arena, a_constructor_that_throws_in_an_arena_frees_nothing) {
  bulk_arena_c arena;
  EXPECT_THROW(new (arena) throwing_c, std::runtime_error);
  EXPECT_THROW(new throwing_c, std::runtime_error);
}

const char k_items[] = "abcdefgh";
void* item(char c) { return const_cast<char*>(&k_items[c - 'a']); }

std::string contents(ptr_list_c& list) {
  std::string out;
  for (void* d = list.first(); d != nullptr; d = list.next()) out += *static_cast<char*>(d);
  return out;
}

TEST(bulk_arena, a_list_in_an_arena_works_as_any_list_and_leaves_its_shared_lock_alone) {
  bulk_arena_c arena;
  thl_crit_section_c shared(false);
  {
    std::unique_ptr<ptr_list_c> list(new ptr_list_c(shared, arena));
    list->append(item('b'));
    list->insert(item('a'));
    list->append(item('d'));
    list->find_data(item('d'));
    list->insert_before_current(item('c'));
    list->append(item('e'));
    list->find_data(item('a'));
    list->insert_after_current(item('f'));
    EXPECT_EQ(contents(*list), "afbcde");
    list->find_data(item('f'));
    list->remove_current();
    list->find_data(item('e'));
    list->remove_current();
    EXPECT_EQ(contents(*list), "abcd");
    // A copy is an ordinary list with a lock of its own.
    std::unique_ptr<ptr_list_c> copy(list->copy());
    EXPECT_EQ(contents(*copy), "abcd");
    copy->lock();
    copy->unlock();
    list->lock();
    EXPECT_TRUE(shared.held_by_this_thread());
    list->unlock();
    list->clear();
    EXPECT_EQ(list->count(), 0u);
    list->append(item('h'));
  }
  // The list is gone; the lock it shared still works.
  shared.enter();
  shared.leave();
}

}  // namespace
