#include "utl/container.h"

#include "platform/trc/zqtr.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace test_support_n;

namespace {

int g_data[8];

// Names in list order; "-" for an unnamed element.
std::string names(ptr_string_list_c& list) {
  std::string out;
  for (ptr_list_element_c* e = list.first_element(); e != nullptr; e = e->next) {
    const char* n = static_cast<ptr_string_list_element_c*>(e)->name;
    if (!out.empty()) out += ",";
    out += n ? n : "-";
  }
  return out;
}

void fill(ptr_string_list_c& list, std::vector<const char*> list_names) {
  int i = 0;
  for (const char* n : list_names) {
    if (n == nullptr) list.append(&g_data[i++]); else list.append(n, &g_data[i++]);
  }
}

// Captures what the print operations write.
class printed_c {
 public:
  printed_c() : m_file(std::fopen(m_dir.file("printed.txt").c_str(), "w+b")) {
    m_previous = ptr_string_list_c::_set_print_stream(m_file);
  }
  ~printed_c() {
    ptr_string_list_c::_set_print_stream(m_previous);
    std::fclose(m_file);
  }
  std::string text() {
    std::fflush(m_file);
    std::rewind(m_file);
    std::string out;
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0) out.append(buffer, n);
    return out;
  }

 private:
  temp_dir_c m_dir;
  FILE* m_file;
  FILE* m_previous;
};

TEST(ptr_string_list, index_is_case_sensitive_find_need_not_be) {
  ptr_string_list_c list;
  fill(list, {"alpha", "Beta", nullptr, "gamma"});
  EXPECT_EQ(list.get_index("beta"), -1);
  EXPECT_EQ(list.get_index("Beta"), 1);
  EXPECT_EQ(list.get_index(static_cast<const char*>(nullptr)), 2);
  EXPECT_EQ(list.current(), &g_data[2]);
  EXPECT_EQ(list.find("beta", true), nullptr);
  EXPECT_EQ(list.current(), &g_data[2]);  // a failed find leaves the position
  EXPECT_EQ(list.find("beta", false), &g_data[1]);
  EXPECT_STREQ(list.get_current_name(), "Beta");
  EXPECT_EQ(list.find("GAMMA", false), &g_data[3]);
  EXPECT_EQ(list.find("gam", false), nullptr);
  EXPECT_EQ(list.find(nullptr, false), nullptr);
  EXPECT_STREQ(list.get_current_name(&g_data[0]), "alpha");
}

TEST(ptr_string_list, sort_orders) {
  struct row_s {
    unsigned order;
    const char* expected;
  } rows[] = {
      {0, "B,a,b,c,-"}, {1, "a,B,b,c,-"}, {2, "a,B,b,c,-"}, {3, "-,c,b,a,B"},
      {4, "-,c,B,b,a"}, {5, "-,c,b,B,a"}, {6, "c,-,a,B,b"},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.order);
    ptr_string_list_c list;
    fill(list, {"c", nullptr, "a", "B", "b"});
    list.sort_by_names(row.order);
    EXPECT_EQ(names(list), row.expected);
    EXPECT_TRUE(list.is_sorted_by_names(row.order));
  }
}

TEST(ptr_string_list, sortedness) {
  ptr_string_list_c list;
  fill(list, {"b", "B", "c"});
  EXPECT_TRUE(list.is_sorted_by_names(1));
  EXPECT_FALSE(list.is_sorted_by_names(0));
  EXPECT_TRUE(list.is_sorted_by_names(9));
  ptr_string_list_c one;
  fill(one, {"z"});
  EXPECT_TRUE(one.is_sorted_by_names(3));
}

TEST(ptr_string_list, names_presence_and_uniqueness) {
  struct row_s {
    std::vector<const char*> list_names;
    const char* duplicate;
    bool all_named;
  } rows[] = {
      {{"a", "b", "a"}, "a", true},
      {{"a", "A"}, nullptr, true},
      {{"x", nullptr, "y", nullptr, "y"}, "y", false},
      {{}, nullptr, true},
      {{"ab", "abc"}, nullptr, true},
  };
  for (const row_s& row : rows) {
    ptr_string_list_c list;
    fill(list, row.list_names);
    SCOPED_TRACE(names(list));
    const char* d = list.check_names_uniqueness();
    EXPECT_EQ(d ? std::string(d) : std::string("(none)"), row.duplicate ? row.duplicate : "(none)");
    EXPECT_EQ(list.check_all_names_presence(), row.all_named);
  }
}

TEST(ptr_string_list, moves_by_name) {
  struct row_s {
    const char* current;
    bool before;
    const char* moved;
    const char* expected;
  } rows[] = {
      {"b", true, "d", "a,d,b,c"}, {"b", false, "d", "a,b,d,c"}, {"b", true, "a", "a,b,c,d"},
      {"b", false, "c", "a,b,c,d"}, {"b", true, "b", "a,b,c,d"},  {"b", true, "zz", "a,b,c,d"},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(std::string(row.before ? "before " : "after ") + row.current + ": " + row.moved);
    ptr_string_list_c list;
    fill(list, {"a", "b", "c", "d"});
    list.find(row.current, true);
    if (row.before) list.move_before_current(row.moved); else list.move_after_current(row.moved);
    EXPECT_EQ(names(list), row.expected);
    EXPECT_STREQ(list.get_current_name(), row.current);
  }
}

TEST(ptr_string_list, names_are_set_copied_and_inserted) {
  ptr_string_list_c list;
  list.set_list_name("things");
  EXPECT_FALSE(list.insert_before_current("x", &g_data[0]));
  fill(list, {"first"});
  EXPECT_TRUE(list.insert_before_current("zero", &g_data[1]));
  list.last();
  EXPECT_TRUE(list.insert_after_current("last", &g_data[2]));
  EXPECT_TRUE(list.insert_after_current(&g_data[3]));
  list.insert("head", &g_data[4]);
  EXPECT_EQ(names(list), "head,zero,first,last,-");
  list.set_name("renamed", &g_data[3]);
  list.set_name("a-much-longer-name-than-before", &g_data[4]);
  list.set_name("s", &g_data[4]);
  EXPECT_EQ(names(list), "s,zero,first,last,renamed");
  std::unique_ptr<ptr_list_c> copy(list.copy());
  EXPECT_EQ(names(static_cast<ptr_string_list_c&>(*copy)), "s,zero,first,last,renamed");
  EXPECT_STREQ(copy->list_name(), "things");
  EXPECT_EQ(copy->current(), nullptr);
  EXPECT_EQ(static_cast<ptr_string_list_c&>(*copy).find("last", true), &g_data[2]);
}

TEST(ptr_string_list, print_names) {
  {
    printed_c printed;
    ptr_string_list_c empty;
    EXPECT_EQ(empty.print_names(), 0);
    EXPECT_EQ(printed.text(), "");
  }
  printed_c printed;
  ptr_string_list_c list;
  fill(list, {"one", nullptr, "three"});
  EXPECT_EQ(list.print_names(), 3);
  EXPECT_EQ(printed.text(), "\t  1:  one\n\t  2:  No Name Found\n\t  3:  three\n");
}

TEST(ptr_string_list, print_around_the_current_element_only_on_a_console) {
  ptr_string_list_c list;
  fill(list, {"one", nullptr, "three"});
  {
    zqtr_force_console_application(0);
    printed_c printed;
    list.print_curr_name(&g_data[0]);
    EXPECT_EQ(printed.text(), "");
  }
  zqtr_force_console_application(1);
  printed_c printed;
  list.print_curr_name(&g_data[0]);
  list.print_next_name();
  list.print_prev_name();
  list.print_next_name(&g_data[1]);
  list.print_prev_name(&g_data[1]);
  list.print_curr_name(&g_data[1]);
  list.print_next_name(&g_data[2]);
  list.print_prev_name(&g_data[0]);
  list.clear();
  list.print_curr_name();
  zqtr_force_console_application(-1);
  EXPECT_EQ(printed.text(),
            "\tCurrent Name: \"one\"\n"
            "\tNo Next Name Found\n"
            "\tNo Prev Elemnt\n"
            "\tNext Name: \"three\"\n"
            "\tPrev Name: \"one\"\n"
            "\tNo Current Name Found\n"
            "\tNo Next Elemnt\n"
            "\tNo Prev Elemnt\n"
            "\tNo Current Elemnt\n");
}

TEST(string_list, walks_and_removals) {
  string_list_c list;
  list.append_name("b");
  list.append_name("c");
  list.insert_name("a");
  EXPECT_EQ(list.count(), 3u);
  EXPECT_STREQ(list.first_name(), "a");
  EXPECT_STREQ(list.next_name(), "b");
  EXPECT_STREQ(list.next_name(), "c");
  EXPECT_EQ(list.next_name(), nullptr);
  EXPECT_STREQ(list.last_name(), "c");
  EXPECT_STREQ(list.prev_name(), "b");
  EXPECT_STREQ(list.find_name("A", false), "a");
  EXPECT_EQ(list.find_name("A", true), nullptr);
  // The current element has another name: nothing is removed.
  EXPECT_EQ(list.remove_name("c"), nullptr);
  EXPECT_EQ(list.count(), 3u);
  EXPECT_STREQ(list.remove_name("a"), "b");
  EXPECT_EQ(list.count(), 2u);
  EXPECT_STREQ(list.remove_name(nullptr), "c");  // the current "b" goes; "c" follows
  EXPECT_EQ(list.count(), 1u);
  list.clear();
  EXPECT_EQ(list.count(), 0u);
  EXPECT_EQ(list.remove_name("zz"), nullptr);
  list.append_name("x");
  list.append_name("x");
  EXPECT_STREQ(list.check_names_uniqueness(), "x");
}

}  // namespace
