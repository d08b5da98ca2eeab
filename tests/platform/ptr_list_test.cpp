#include "platform/thl/ptr_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Data pointers into a fixed table of characters, so that contents read as text.
const char k_items[] = "abcdefghij";
void* item(char c) { return const_cast<char*>(&k_items[c - 'a']); }

std::string contents(ptr_list_c& list) {
  std::string out;
  for (ptr_list_element_c* e = list.first_element(); e != nullptr; e = e->next) out += *static_cast<char*>(e->data);
  // The back links agree with the forward ones.
  std::string back;
  for (ptr_list_element_c* e = list.last_element(); e != nullptr; e = e->prev) back.insert(0, 1, *static_cast<char*>(e->data));
  EXPECT_EQ(out, back);
  EXPECT_EQ(list.count(), out.size());
  return out;
}

char cur(ptr_list_c& list) {
  void* d = list.current();
  return d ? *static_cast<char*>(d) : '-';
}

void fill(ptr_list_c& list, const char* text) {
  for (; *text; ++text) list.append(item(*text));
}

TEST(ptr_list, walking_and_removing) {
  ptr_list_c list(false);
  EXPECT_EQ(list.first(), nullptr);
  EXPECT_EQ(list.next(), nullptr);
  fill(list, "abcd");
  EXPECT_EQ(cur(list), 'd');  // an appended element becomes current
  EXPECT_EQ(list.first(), item('a'));
  EXPECT_EQ(list.next(), item('b'));
  EXPECT_EQ(list.prev(), item('a'));
  EXPECT_EQ(list.prev(), nullptr);
  EXPECT_EQ(list.next(item('c')), item('d'));
  EXPECT_EQ(list.next(), nullptr);
  EXPECT_EQ(list.next(item('j')), nullptr);  // not in the list

  list.find_data(item('b'));
  EXPECT_EQ(list.remove_current(), item('c'));  // the following element becomes current
  EXPECT_EQ(contents(list), "acd");
  EXPECT_EQ(list.remove_current_move_back(item('d')), item('c'));
  EXPECT_EQ(contents(list), "ac");
  list.first();
  EXPECT_EQ(list.remove_current(), item('c'));
  EXPECT_EQ(list.remove_current(), nullptr);  // the last one gone: nothing is current
  EXPECT_EQ(contents(list), "");
  EXPECT_EQ(list.remove_current(), nullptr);
}

TEST(ptr_list, inserting_around_the_current_element) {
  ptr_list_c list(false);
  EXPECT_FALSE(list.insert_before_current(item('a')));
  EXPECT_FALSE(list.insert_after_current(item('a')));
  EXPECT_EQ(contents(list), "");
  fill(list, "bd");
  list.insert(item('a'));
  EXPECT_EQ(cur(list), 'a');
  list.find_data(item('d'));
  EXPECT_TRUE(list.insert_before_current(item('c')));
  EXPECT_EQ(cur(list), 'c');
  list.last();
  EXPECT_TRUE(list.insert_after_current(item('e')));
  EXPECT_EQ(contents(list), "abcde");
  EXPECT_EQ(list.get_index(item('c')), 2);
  EXPECT_EQ(list.get_index(item('j')), -1);
}

TEST(ptr_list, moving_elements) {
  struct row_s {
    const char* start;
    char current;
    char op;  // '<' before current, '>' after current, 'F' current to front, 'E' current to end
    char moved;
    const char* expected;
    bool ok;
  } rows[] = {
      {"abcde", 'b', '<', 'e', "aebcd", true}, {"abcde", 'b', '>', 'e', "abecd", true},
      {"abcde", 'd', '<', 'a', "bcade", true}, {"abcde", 'b', '<', 'a', "abcde", true},
      {"abcde", 'b', '>', 'c', "abcde", true}, {"abcde", 'b', '<', 'b', "abcde", false},
      {"abcde", 'b', '<', 'j', "abcde", false}, {"abcde", 'c', 'F', 0, "cabde", true},
      {"abcde", 'c', 'E', 0, "abdec", true},   {"abcde", 'a', 'F', 0, "abcde", false},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(std::string(row.start) + " cur " + row.current + " " + row.op + " " + (row.moved ? row.moved : ' '));
    ptr_list_c list(false);
    fill(list, row.start);
    list.find_data(item(row.current));
    bool ok = row.op == '<'   ? list.move_before_current(item(row.moved))
              : row.op == '>' ? list.move_after_current(item(row.moved))
                              : list.move_current(row.op == 'F');
    EXPECT_EQ(ok, row.ok);
    EXPECT_EQ(contents(list), row.expected);
    EXPECT_EQ(cur(list), row.current);
  }
}

TEST(ptr_list, replacing_positions) {
  struct row_s {
    char a, b;
    const char* expected;
  } rows[] = {{'a', 'e', "ebcda"}, {'b', 'c', "acbde"}, {'c', 'b', "acbde"}, {'d', 'd', "abcde"}, {'a', 'j', "abcde"}};
  for (const row_s& row : rows) {
    SCOPED_TRACE(std::string(1, row.a) + row.b);
    ptr_list_c list(false);
    fill(list, "abcde");
    list.find_data(item('c'));
    list.replace_positions(item(row.a), item(row.b));
    EXPECT_EQ(contents(list), row.expected);
    EXPECT_EQ(cur(list), 'c');
  }
}

int by_char(const ptr_list_element_c* a, const ptr_list_element_c* b, void*) {
  return *static_cast<const char*>(a->data) - *static_cast<const char*>(b->data);
}

TEST(ptr_list, sort_is_stable_and_keeps_the_current_element) {
  // Equal keys: two 'b' slots that must keep their order.
  char data[] = {'d', 'b', 'a', 'b', 'c', 'a', 'e'};
  ptr_list_c list(true);
  for (char& c : data) list.append(&c);
  list.find_data(&data[4]);
  list.sort(&by_char, nullptr);
  std::string out;
  std::vector<void*> order;
  for (ptr_list_element_c* e = list.first_element(); e; e = e->next) {
    out += *static_cast<char*>(e->data);
    order.push_back(e->data);
  }
  EXPECT_EQ(out, "aabbcde");
  EXPECT_EQ(order[0], &data[2]);
  EXPECT_EQ(order[2], &data[1]);
  EXPECT_EQ(order[3], &data[3]);
  EXPECT_EQ(list.current(), &data[4]);
  EXPECT_EQ(list.last_element()->data, &data[6]);
  EXPECT_EQ(list.first_element()->prev, nullptr);
}

TEST(ptr_list, sort_of_many_elements) {
  std::vector<int> values;
  for (int i = 0; i < 1000; ++i) values.push_back((i * 7919) % 1000);
  ptr_list_c list(false);
  for (int& v : values) list.append(&v);
  list.sort(
      [](const ptr_list_element_c* a, const ptr_list_element_c* b, void*) {
        return *static_cast<const int*>(a->data) - *static_cast<const int*>(b->data);
      },
      nullptr);
  int expected = 0;
  for (void* d = list.first(); d; d = list.next()) EXPECT_EQ(*static_cast<int*>(d), expected++);
  EXPECT_EQ(expected, 1000);
}

bool is_vowel(const void* data, const void*) {
  char c = *static_cast<const char*>(data);
  return c == 'a' || c == 'e' || c == 'i';
}

TEST(ptr_list, find_by_comparison_in_each_direction) {
  ptr_list_c list(false);
  fill(list, "abcdefghij");
  list.find_data(item('c'));
  EXPECT_EQ(list.find_data(&is_vowel, nullptr, PTR_LIST_AFTER_CURRENT), item('e'));
  EXPECT_EQ(list.find_data(&is_vowel, nullptr, PTR_LIST_AFTER_CURRENT), item('i'));
  EXPECT_EQ(list.find_data(&is_vowel, nullptr, PTR_LIST_AFTER_CURRENT), nullptr);
  EXPECT_EQ(cur(list), 'i');  // a failed search leaves the position
  EXPECT_EQ(list.find_data(&is_vowel, nullptr, PTR_LIST_BEFORE_CURRENT), item('e'));
  EXPECT_EQ(list.find_data(&is_vowel, nullptr, PTR_LIST_FROM_FIRST), item('a'));
  EXPECT_EQ(list.find_data(&is_vowel, nullptr, PTR_LIST_BEFORE_CURRENT), nullptr);
}

TEST(ptr_list, copy_and_clear) {
  ptr_list_c list(true);
  list.set_list_name("names");
  fill(list, "abc");
  list.set_data(item('j'));
  std::unique_ptr<ptr_list_c> other(list.copy());
  EXPECT_EQ(contents(*other), "abj");
  EXPECT_STREQ(other->list_name(), "names");
  other->lock();  // built with its own lock, like the source
  other->unlock();
  list.clear();
  EXPECT_EQ(contents(list), "");
  EXPECT_EQ(list.current(), nullptr);
  EXPECT_FALSE(list.set_data(item('a')));
  EXPECT_EQ(contents(*other), "abj");
}

}  // namespace
