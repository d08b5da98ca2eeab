#include "utl/array.h"
#include "utl/value.h"
#include "utl/value_list.h"

#include "platform/trc/zqtr.h"
#include "utl/utl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int g_items[200];

std::string contents(const array_ct<int>& a) {
  std::string out;
  for (size_t i = 0; i < a.count(); ++i) out += std::to_string(a.at(i) - g_items) + " ";
  return out;
}

TEST(array, growth_steps) {
  array_ct<int> a;
  std::vector<size_t> capacities;
  for (int i = 0; i < 80; ++i) {
    a.append(&g_items[i]);
    if (capacities.empty() || capacities.back() != a.capacity()) capacities.push_back(a.capacity());
  }
  EXPECT_EQ(capacities, (std::vector<size_t>{5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 66, 72, 79, 86}));
  EXPECT_EQ(a.count(), 80u);
  EXPECT_EQ(a.at(79), &g_items[79]);
}

TEST(array, at_out_of_range_reports) {
  zqtr_capture_c capture;
  array_ct<int> a;
  EXPECT_EQ(a.at(0), nullptr);
  a.append(&g_items[0]);
  EXPECT_EQ(a.at(3), nullptr);
  auto records = capture.records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].text, "array_ct(last = -1), received index 0\n");
  EXPECT_EQ(records[1].text, "array_ct(last = 0), received index 3\n");
  EXPECT_EQ(records[0].scope, "\"array_ct<TP>::at\"");
}

TEST(array, inserting_and_removing) {
  array_ct<int> a;
  for (int i = 0; i < 3; ++i) a.append(&g_items[i]);
  a.insert(&g_items[9], 0);
  EXPECT_EQ(contents(a), "9 0 1 2 ");
  a.insert(&g_items[8], 99);  // past the end: appended
  EXPECT_EQ(contents(a), "9 0 1 2 8 ");
  EXPECT_EQ(a.insert(&g_items[7], array_ct<int>::npos), nullptr);
  EXPECT_EQ(a.remove_range(1, 1), &g_items[0]);
  EXPECT_EQ(contents(a), "9 1 2 8 ");
  EXPECT_EQ(a.remove_range(2, 3), &g_items[2]);
  EXPECT_EQ(contents(a), "9 1 ");
  EXPECT_EQ(a.remove_range(1, 0), nullptr);
  EXPECT_EQ(a.remove_range(0, 5), nullptr);
  EXPECT_EQ(a.remove_range(0, 1), &g_items[9]);
  EXPECT_TRUE(a.is_empty());
  EXPECT_FALSE(a.swap(0, 0));
  EXPECT_EQ(a.remove_at(0), nullptr);
  for (int i = 0; i < 4; ++i) a.append(&g_items[i]);
  a.append(&g_items[1]);
  EXPECT_EQ(a.count_of(&g_items[1]), 2u);
  EXPECT_EQ(a.index_of(&g_items[3]), 3);
  EXPECT_EQ(a.remove(&g_items[1]), &g_items[1]);
  EXPECT_EQ(contents(a), "0 2 3 1 ");
  EXPECT_TRUE(a.swap(0, 3));
  EXPECT_EQ(a.set_at(1, &g_items[7]), &g_items[2]);
  EXPECT_EQ(contents(a), "1 7 3 0 ");
  EXPECT_EQ(a.find(&g_items[9]), nullptr);
  EXPECT_EQ(a.set_at(4, &g_items[7]), nullptr);
}

TEST(array, inserting_an_array) {
  array_ct<int> a, b;
  for (int i = 0; i < 3; ++i) a.append(&g_items[i]);
  for (int i = 10; i < 12; ++i) b.append(&g_items[i]);
  EXPECT_EQ(a.insert_array(b, 1), &g_items[10]);
  EXPECT_EQ(contents(a), "0 10 11 1 2 ");
  EXPECT_EQ(a.capacity(), 5u);
  EXPECT_EQ(a.insert_array(b, 50), &g_items[10]);
  EXPECT_EQ(contents(a), "0 10 11 1 2 10 11 ");
  EXPECT_EQ(a.insert_array(a, 0), nullptr);
  array_ct<int> empty;
  EXPECT_EQ(a.insert_array(empty, 0), nullptr);
  EXPECT_EQ(empty.insert_array(b, 0), &g_items[10]);
  EXPECT_EQ(contents(empty), "10 11 ");
}

TEST(array, delete_all_destroys_the_elements) {
  array_ct<labeled_value_c> values;
  values.append(new labeled_value_c("a", 1));
  values.append(new labeled_value_c("b", "two"));
  EXPECT_TRUE(values.delete_at(0));
  EXPECT_STREQ(values.at(0)->label(), "b");
  values.delete_all();
  EXPECT_EQ(values.count(), 0u);
  EXPECT_EQ(values.capacity(), 0u);
}

// Room lent from storage the array does not own is used as it is (even below the five slots a
// first append takes), and left alone when the array outgrows it, resets or goes: the stack
// storage here must never be freed (the sanitizer build sees it) and keeps what it held until the
// array moves out.
TEST(array, lent_room_is_used_until_outgrown_and_never_freed) {
  for (size_t lent : {1u, 3u, 7u}) {
    SCOPED_TRACE(lent);
    int* storage[8] = {};
    {
      array_ct<int> a;
      ASSERT_TRUE(a.use_lent_room(storage, lent));
      EXPECT_EQ(a.capacity(), lent);
      EXPECT_FALSE(a.use_lent_room(storage, lent));  // it has room already
      for (size_t i = 0; i < lent; ++i) a.append(&g_items[i]);
      EXPECT_EQ(a.capacity(), lent);
      for (size_t i = 0; i < lent; ++i) EXPECT_EQ(storage[i], &g_items[i]);
      a.append(&g_items[lent]);  // outgrown: room of its own, five more
      EXPECT_EQ(a.capacity(), lent + 5);
      EXPECT_EQ(a.count(), lent + 1);
      for (size_t i = 0; i <= lent; ++i) EXPECT_EQ(a.at(i), &g_items[i]);
      a.insert(&g_items[50], 0);
      EXPECT_EQ(a.at(0), &g_items[50]);
      EXPECT_EQ(storage[0], &g_items[0]);  // the lent room is no longer written
    }
    {
      array_ct<int> b;
      ASSERT_TRUE(b.use_lent_room(storage, lent));
      b.append(&g_items[9]);
      b.reset();  // gives the lent room back without freeing it
      EXPECT_EQ(b.capacity(), 0u);
      b.append(&g_items[8]);
      EXPECT_EQ(b.capacity(), 5u);
    }
  }
  array_ct<int> owned;
  owned.append(&g_items[0]);
  int* storage[2] = {};
  EXPECT_FALSE(owned.use_lent_room(storage, 2));
  EXPECT_FALSE(array_ct<int>().use_lent_room(storage, 0));
  EXPECT_FALSE(array_ct<int>().use_lent_room(nullptr, 2));
}

TEST(string_array, owned_strings) {
  string_array_c strings;
  EXPECT_EQ(strings.add(nullptr), nullptr);
  const char* added = strings.add("Alpha");
  strings.add("beta");
  strings.add("alpha");
  strings.adopt(utl_n::str_copy("beta"));
  EXPECT_EQ(strings.find("Alpha"), added);
  EXPECT_STREQ(strings.find("alpha"), "alpha");
  EXPECT_EQ(strings.find("ALPHA"), nullptr);
  EXPECT_EQ(strings.index_of("beta"), 1);
  EXPECT_EQ(strings.count_of("beta"), 2u);
  EXPECT_EQ(strings.count_of(nullptr), 0u);
  string_array_c copy(strings);
  EXPECT_EQ(copy.count(), 4u);
  for (const char* s : {"e", "f", "g"}) strings.add(s);
  string_array_c exact(strings);
  EXPECT_EQ(exact.strings().capacity(), 7u);  // exactly the count (below 5 the array takes 5 slots)
  for (int i = 0; i < 3; ++i) strings.delete_at(4);
  char* taken = strings.take_at(0);
  EXPECT_STREQ(taken, "Alpha");
  delete[] taken;  // handed over: the array no longer frees it
  EXPECT_TRUE(strings.erase("beta"));
  EXPECT_EQ(strings.count_of("beta"), 1u);
  EXPECT_FALSE(strings.erase("gamma"));
  EXPECT_FALSE(strings.delete_at(7));
  EXPECT_EQ(strings.take_at(9), nullptr);
  strings.clear();
  EXPECT_TRUE(strings.is_empty());
  EXPECT_STREQ(copy.at(0), "Alpha");
}

TEST(ptr_list_template, owns_through_delete_all) {
  ptr_list_ct<labeled_value_c> list;
  list.append(new labeled_value_c("x", 1));
  list.append(new labeled_value_c("y", 2));
  list.insert(new labeled_value_c("w", 0));
  EXPECT_EQ(list.count(), 3u);
  EXPECT_STREQ(list.first()->label(), "w");
  EXPECT_STREQ(list.next()->label(), "x");
  EXPECT_EQ(list.get_index(list.current()), 1);
  list.delete_all();
  EXPECT_EQ(list.count(), 0u);
}

TEST(value_list, walking_finding_and_uniqueness) {
  value_list_ct<unsigned long long> list;
  for (unsigned long long v : {1ull, 2ull, 1ull}) list.append(v);
  unsigned long long duplicate = 0;
  EXPECT_FALSE(list.check_uniqueness(duplicate));
  EXPECT_EQ(duplicate, 1u);
  EXPECT_EQ(list.current_item(), list.head());
  EXPECT_EQ(list.get_index(2), 1);
  EXPECT_FALSE(list.find(7));
  EXPECT_EQ(list.current_item(), nullptr);
  unsigned long long out = 7;
  EXPECT_FALSE(list.get_next(out, true));
  out = 2;
  EXPECT_TRUE(list.get_next(out, true));
  EXPECT_EQ(out, 1u);
  EXPECT_TRUE(list.get_prev(out, false));
  EXPECT_EQ(out, 2u);
  bool has_next = false;
  unsigned long long next_value = 0;
  EXPECT_TRUE(list.remove_current(has_next, next_value));
  EXPECT_TRUE(has_next);
  EXPECT_EQ(next_value, 1u);
  EXPECT_EQ(list.count(), 2u);
  EXPECT_TRUE(list.check_uniqueness(duplicate) == false);
  EXPECT_TRUE(list.remove(1));
  EXPECT_TRUE(list.check_uniqueness(duplicate));
  EXPECT_FALSE(list.remove(9));
}

TEST(value_list, moving_and_inserting) {
  value_list_ct<int> list;
  for (int v : {1, 2, 3, 4}) list.append(v);
  auto text = [&list]() {
    std::string s;
    for (auto* i = list.head(); i != nullptr; i = i->next) s += std::to_string(i->value);
    return s;
  };
  list.find(2);
  list.move_before_current(4);
  EXPECT_EQ(text(), "1423");
  list.move_after_current(1);
  EXPECT_EQ(text(), "4213");
  list.move_before_current(2);  // current holds it: nothing
  list.move_current_to_end(false);
  EXPECT_EQ(text(), "4132");
  int current = 0;
  EXPECT_TRUE(list.get_current(current));
  EXPECT_EQ(current, 2);
  list.insert_before_current(9);
  EXPECT_EQ(text(), "41392");
  EXPECT_TRUE(list.set_current(8));
  EXPECT_EQ(text(), "41382");
  list.clear();
  list.insert_after_current(5);
  EXPECT_EQ(list.count(), 0u);
  EXPECT_FALSE(list.set_current(1));
}

TEST(value_ptr_list, pointers_with_keys) {
  value_ptr_list_ct<unsigned long long, labeled_value_c> list;
  labeled_value_c* a = new labeled_value_c("a", 1);
  labeled_value_c* b = new labeled_value_c("b", 2);
  labeled_value_c* c = new labeled_value_c("c", 3);
  list.append(10, a);
  list.append(20, b);
  list.insert(5, c);
  EXPECT_EQ(list.get_index_by_ptr(b), 2);
  EXPECT_EQ(list.get_index_by_ptr(nullptr), -1);
  EXPECT_EQ(list.first_ptr(), c);
  EXPECT_EQ(list.next_ptr(), a);
  EXPECT_EQ(list.find_ptr(20), b);
  unsigned long long key = 0;
  EXPECT_TRUE(list.find_key(a, key));
  EXPECT_EQ(key, 10u);
  EXPECT_EQ(list.check_ptr_uniqueness(), nullptr);
  list.move_before_current_by_ptr(b);  // current is a
  EXPECT_EQ(list.first_ptr(), c);
  EXPECT_EQ(list.next_ptr(), b);
  EXPECT_EQ(list.remove_ptr(b), a);  // b leaves, not destroyed
  EXPECT_EQ(list.count(), 2u);
  EXPECT_TRUE(list.remove_and_delete(10));  // a is destroyed
  EXPECT_EQ(list.count(), 1u);
  list.delete_all();  // c is destroyed
  EXPECT_EQ(list.count(), 0u);
  delete b;
}

}  // namespace
