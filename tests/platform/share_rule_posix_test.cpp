// The share rule between two opens of a file: the rule itself against what Windows answers, and the
// lock bytes that carry it between processes against the rule, for every combination.
#include "platform/win32/posix/share_locks.h"

#include <gtest/gtest.h>

#include <string>

using namespace share_locks_n;

namespace {

constexpr unsigned R = RIGHT_READ, W = RIGHT_WRITE, D = RIGHT_DELETE;

std::string text(unsigned rights) {
  std::string out;
  out += (rights & R) ? 'r' : '-';
  out += (rights & W) ? 'w' : '-';
  out += (rights & D) ? 'd' : '-';
  return out;
}

}  // namespace

// What a second open gets while a first is open, as Windows answers (CreateFileW: success or
// ERROR_SHARING_VIOLATION).
TEST(share_rule_test, the_rule_answers_as_windows_does) {
  struct case_s {
    unsigned first_access, first_share, second_access, second_share;
    bool opens;
  };
  const case_s cases[] = {
      {R, R, R, R, true},              // two readers sharing reading
      {R, R, W, R | W, false},         // the first does not share writing
      {R, R | W, W, R | W, true},      // it does: a writer joins
      {W, R | W, R, R, false},         // the second does not share the first's writing
      {R, 0, R, R | W | D, false},     // the first shares nothing
      {0, 0, R | W | D, 0, true},      // attributes only: nobody refused
      {R | W | D, 0, 0, 0, true},      // nor refusing an attributes-only open
      {D, R | W | D, R, R, false},     // the second does not share the first's delete
      {R, R | D, D, R | W | D, true},  // deleting while a reader shares delete
      {R, R | W, D, R | W | D, false}, // a reader that does not share delete refuses it
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(text(c.first_access) + "/" + text(c.first_share) + " then " + text(c.second_access) + "/" +
                 text(c.second_share));
    EXPECT_EQ(may_open_beside(c.second_access, c.second_share, c.first_access, c.first_share), c.opens);
  }
}

// Every pair of (rights, shared) holds: the lock bytes refuse exactly what the rule refuses. (An
// open asking for no right takes no bytes and is not checked.)
TEST(share_rule_test, the_lock_bytes_carry_the_rule_for_every_combination) {
  unsigned checked = 0;
  for (unsigned rights = 0; rights < 8; ++rights) {
    for (unsigned shared = 0; shared < 8; ++shared) {
      for (unsigned held_rights = 0; held_rights < 8; ++held_rights) {
        for (unsigned held_shared = 0; held_shared < 8; ++held_shared) {
          const bool rule = may_open_beside(rights, shared, held_rights, held_shared);
          const bool bytes = rights == 0 || held_rights == 0 ||
                             (conflict_bytes(rights, shared) & held_bytes(held_rights, held_shared)) == 0;
          ASSERT_EQ(bytes, rule) << text(rights) << "/" << text(shared) << " beside " << text(held_rights) << "/"
                                 << text(held_shared);
          // The rule is symmetric: who came first does not matter.
          ASSERT_EQ(rule, may_open_beside(held_rights, held_shared, rights, shared));
          ++checked;
        }
      }
    }
  }
  EXPECT_EQ(checked, 4096u);
}

TEST(share_rule_test, access_masks_and_share_flags_to_rights) {
  struct case_s {
    DWORD access;
    unsigned rights;
  };
  const case_s cases[] = {
      {GENERIC_READ, R},      {GENERIC_WRITE, W},          {GENERIC_ALL, R | W | D},
      {FILE_READ_DATA, R},    {FILE_APPEND_DATA, W},       {DELETE, D},
      {FILE_EXECUTE, R},      {FILE_READ_ATTRIBUTES, 0},   {SYNCHRONIZE | FILE_WRITE_ATTRIBUTES, 0},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.access);
    EXPECT_EQ(rights_of(c.access), c.rights);
  }
  EXPECT_EQ(shared_of(FILE_SHARE_READ | FILE_SHARE_DELETE), R | D);
  EXPECT_EQ(shared_of(0), 0u);
}
