#include "utl/hash_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using table_t = utl_hash_base_ct<ptr_string_list_c, const char*>;
constexpr size_t npos = table_t::npos;

int g_data[64];

TEST(hash_table, bucket_count_and_keys) {
  table_t small(5, true);
  EXPECT_EQ(small.modulus(), 10u);
  table_t table(101, true);
  EXPECT_EQ(table._get_key("ab"), 96u);  // (97 + 98 + 2) mod 101
  EXPECT_EQ(table._get_key(nullptr), 101u);
  EXPECT_NE(table._get_key("AB"), table._get_key("ab"));
  table_t nocase(101, false);
  EXPECT_EQ(nocase._get_key("AB"), nocase._get_key("ab"));
  // Bytes of 0x80 and above count as negative.
  EXPECT_EQ(table._get_key("\xff"), static_cast<size_t>((static_cast<uint64_t>(-1) + 1) % 101));
  EXPECT_EQ(table.count(), 0u);
  EXPECT_EQ(table.first_used(), npos);
  EXPECT_EQ(table.first(), nullptr);
  EXPECT_EQ(table.next(), nullptr);
  EXPECT_EQ(table.find("x"), nullptr);
}

TEST(hash_table, case_insensitive_keys_share_a_bucket) {
  table_t table(101, false);
  table.append("Key", &g_data[0]);
  EXPECT_EQ(table.find("KEY"), &g_data[0]);
  EXPECT_EQ(table.find("key"), &g_data[0]);
  EXPECT_STREQ(table.get_current_name(), "Key");
  table_t exact(101, true);
  exact.append("Key", &g_data[0]);
  EXPECT_EQ(exact.find("key"), nullptr);
  EXPECT_EQ(exact.current_bucket(), npos);
}

TEST(hash_table, walking_visits_every_element_in_bucket_order) {
  table_t table(10, true);
  std::vector<std::string> keys = {"a", "b", "c", "k", "x", "aa", "zz", "q"};
  for (size_t i = 0; i < keys.size(); ++i) table.append(keys[i].c_str(), &g_data[i]);
  table.append(nullptr, &g_data[20]);
  EXPECT_EQ(table.count(), keys.size() + 1);
  EXPECT_EQ(table.last_used(), 10u);  // the null-key bucket
  std::set<void*> seen;
  size_t last_bucket = 0;
  for (void* d = table.first(); d != nullptr; d = table.next()) {
    EXPECT_GE(table.current_bucket(), last_bucket);
    last_bucket = table.current_bucket();
    EXPECT_TRUE(seen.insert(d).second);
  }
  EXPECT_EQ(seen.size(), keys.size() + 1);
  EXPECT_EQ(table.current_bucket(), npos);
  std::set<void*> back;
  for (void* d = table.last(); d != nullptr; d = table.prev()) back.insert(d);
  EXPECT_EQ(back, seen);
  EXPECT_EQ(table.find(&g_data[4]), &g_data[4]);
  EXPECT_STREQ(table.get_current_name(), "x");
  EXPECT_EQ(table.find(&g_data[40]), nullptr);
  EXPECT_EQ(table.current_bucket(), npos);
}

TEST(hash_table, removing_the_only_element_empties_the_table) {
  table_t table(101, true);
  table.append("only", &g_data[0]);
  EXPECT_EQ(table.remove_current(&g_data[0]), nullptr);
  EXPECT_EQ(table.count(), 0u);
  EXPECT_EQ(table.first_used(), npos);
  EXPECT_EQ(table.last_used(), npos);
  EXPECT_EQ(table.current_bucket(), npos);
  EXPECT_EQ(table.remove_current(), nullptr);
}

TEST(hash_table, removal_moves_on_across_buckets) {
  table_t table(10, true);
  // "a" (97+1)%10 = 8, "b" = 9, "c" = 0, "d" = 1, "e" = 2
  for (int i = 0; i < 5; ++i) {
    std::string key(1, static_cast<char>('a' + i));
    table.append(key.c_str(), &g_data[i]);
  }
  EXPECT_EQ(table.first_used(), 0u);
  EXPECT_EQ(table.last_used(), 9u);
  // From the middle: the next bucket that holds something.
  EXPECT_EQ(table.remove_current(&g_data[3]), &g_data[4]);  // "d" in 1 goes, "e" in 2 follows
  // From the first used bucket: it moves up.
  EXPECT_EQ(table.remove_current(&g_data[2]), &g_data[4]);  // "c" in 0 goes
  EXPECT_EQ(table.first_used(), 2u);
  // From the last used bucket: nothing follows, the range shrinks.
  EXPECT_EQ(table.remove_current(&g_data[1]), nullptr);  // "b" in 9 goes
  EXPECT_EQ(table.last_used(), 8u);
  EXPECT_EQ(table.current_bucket(), npos);
  EXPECT_EQ(table.count(), 2u);
}

TEST(hash_table, duplicates_and_travel) {
  table_t table(101, false);
  table.append("dup", &g_data[0]);
  table.append("DUP", &g_data[1]);
  table.insert("dup", &g_data[2]);
  EXPECT_EQ(table.count(), 3u);
  EXPECT_STREQ(table.check_names_uniqueness(), "dup");
  auto second = [](void* data, void* arg) { return data == arg; };
  EXPECT_EQ(table.travel_by("Dup", second, &g_data[1]), &g_data[1]);
  EXPECT_EQ(table.travel_by("Dup", second, &g_data[9]), nullptr);
  EXPECT_EQ(table.find("dup"), &g_data[2]);  // insert put it at the front of its bucket
  table.clear();
  EXPECT_EQ(table.count(), 0u);
  EXPECT_EQ(table.check_names_uniqueness(), nullptr);
}

}  // namespace
