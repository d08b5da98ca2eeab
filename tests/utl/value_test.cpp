#include "utl/tree.h"
#include "utl/tuning_parameters.h"
#include "utl/value.h"

#include "platform/thl/bulk_arena.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Values whose labels are in the shared table point at its texts; every way a label is set,
// copied or replaced keeps owned and shared labels apart (the sanitizer build sees a bad free).
TEST(value, labels_in_the_shared_table_are_not_copied) {
  size_t loaded_count = 0;
  const char* const* loaded = labeled_value_c::shared_labels(loaded_count);
  static const char* const shared[] = {"label", "val", "type"};
  labeled_value_c::share_labels(shared, 3);
  {
    labeled_value_c a("label", "x");
    labeled_value_c b("own", 5);
    labeled_value_c c("val", static_cast<long long>(-1));
    EXPECT_EQ(a.label(), shared[0]);
    EXPECT_EQ(c.label(), shared[1]);
    EXPECT_NE(b.label(), shared[0]);
    EXPECT_STREQ(b.label(), "own");
    labeled_value_c copy_of_shared(a), copy_of_own(b);
    EXPECT_EQ(copy_of_shared.label(), shared[0]);
    EXPECT_STREQ(copy_of_own.label(), "own");
    EXPECT_NE(copy_of_own.label(), b.label());
    copy_of_shared = b;  // shared to owned
    EXPECT_STREQ(copy_of_shared.label(), "own");
    copy_of_own = c;  // owned to shared
    EXPECT_EQ(copy_of_own.label(), shared[1]);
    a.set_label("labels");  // a longer text that merely begins like a shared one
    EXPECT_STREQ(a.label(), "labels");
    a.set_label("type");
    EXPECT_EQ(a.label(), shared[2]);
    a.set_label(nullptr);
    EXPECT_STREQ(a.label(), "");
    EXPECT_TRUE(labeled_value_c::is_equal(c, copy_of_own));
  }
  labeled_value_c::share_labels(loaded, loaded_count);
}

TEST(value, a_new_value_is_undefined_with_its_error_set) {
  value_c v;
  EXPECT_EQ(v.type(), value_c::UNDEFINED);
  EXPECT_TRUE(v.error());
  EXPECT_EQ(v.as_int(), 0);
  EXPECT_TRUE(v.error());  // type 0 leaves the error as it is
  EXPECT_STREQ(v.as_string(), "");
  EXPECT_EQ(v.get_text_length(), 0u);
}

TEST(value, text_becomes_a_number_when_read_as_one) {
  struct row_s {
    const char* text;
    uint32_t type_after;
  } rows[] = {
      {"18446744073709551615", value_c::UNSIGNED_HIGH},
      {"9223372036854775808", value_c::UNSIGNED_HIGH},
      {"9223372036854775807", value_c::SIGNED},
      {"-5", value_c::SIGNED},
      {"0x10", value_c::SIGNED},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.text);
    labeled_value_c v("n", row.text);
    v.as_uint64();
    EXPECT_EQ(v.type(), row.type_after);
    EXPECT_STREQ(v.text(), row.text);  // the text is kept
  }
  labeled_value_c big("n", "18446744073709551615");
  EXPECT_EQ(big.as_uint64(), 18446744073709551615ull);
  EXPECT_FALSE(big.error());
  EXPECT_EQ(big.as_int64(), 0);
  EXPECT_TRUE(big.error());

  labeled_value_c minus("n", "-5");
  EXPECT_EQ(minus.as_unsigned_int(), 0u);
  EXPECT_TRUE(minus.error());
  EXPECT_EQ(minus.as_int(), -5);
  EXPECT_FALSE(minus.error());
  EXPECT_EQ(minus.type(), value_c::SIGNED);
  EXPECT_EQ(minus.as_uint64(), 0u);
  EXPECT_TRUE(minus.error());

  labeled_value_c word("n", "many");
  EXPECT_EQ(word.as_int(), 0);
  EXPECT_TRUE(word.error());
  EXPECT_EQ(word.type(), value_c::STRING);
}

TEST(value, numeric_reads_check_their_range) {
  struct row_s {
    long long n;
    const char* reader;
    bool ok;
  } rows[] = {
      {100, "char", true},     {300, "char", false},     {-128, "char", true},    {-129, "char", false},
      {32767, "short", true},  {32768, "short", false},  {65535, "ushort", true}, {-1, "ushort", false},
      {2147483647, "int", true}, {2147483648LL, "int", false}, {4294967295LL, "uint", true},
      {4294967296LL, "uint", false}, {-1, "uint", false}, {-2147483648LL, "long", true},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(std::to_string(row.n) + " as " + row.reader);
    labeled_value_c v("n", row.n);
    long long got;
    std::string r = row.reader;
    if (r == "char") got = v.as_char();
    else if (r == "short") got = v.as_short();
    else if (r == "ushort") got = v.as_unsigned_short();
    else if (r == "int") got = v.as_int();
    else if (r == "uint") got = v.as_unsigned_int();
    else got = v.as_long();
    EXPECT_EQ(v.error(), !row.ok);
    EXPECT_EQ(got, row.ok ? row.n : 0);
  }
}

TEST(value, booleans) {
  labeled_value_c t("b", "true");
  EXPECT_TRUE(t.as_bool());
  EXPECT_EQ(t.type(), value_c::BOOLEAN);
  EXPECT_STREQ(t.as_string(), "True");
  EXPECT_EQ(t.get_text_length(), 4u);
  labeled_value_c f("b", "FALSE");
  EXPECT_FALSE(f.as_bool());
  EXPECT_FALSE(f.error());
  EXPECT_EQ(f.get_text_length(), 5u);
  labeled_value_c other("b", "yes");
  EXPECT_FALSE(other.as_bool());
  EXPECT_TRUE(other.error());
  labeled_value_c one("b", 1);
  EXPECT_TRUE(one.as_bool());
  labeled_value_c two("b", 2);
  EXPECT_FALSE(two.as_bool());
  EXPECT_TRUE(two.error());
  value_c v(true);
  EXPECT_EQ(v.as_int(), 1);
  EXPECT_TRUE(v.equals_text("True"));
  labeled_value_c high("b", 18446744073709551615ull);
  EXPECT_FALSE(high.as_bool());
  EXPECT_TRUE(high.error());
}

TEST(value, texts_and_lengths) {
  labeled_value_c s("s", -1234567LL);
  EXPECT_STREQ(s.as_string(), "-1234567");
  EXPECT_EQ(s.get_text_length(), 8u);
  labeled_value_c u("u", 18446744073709551615ull);
  EXPECT_STREQ(u.as_string(), "18446744073709551615");
  EXPECT_EQ(u.get_text_length(), 20u);
  u.reset();
  EXPECT_STREQ(u.as_string(), "");
  EXPECT_TRUE(u.error());
  EXPECT_EQ(u.type(), value_c::UNDEFINED);

  value_c t;
  t.set_text("abc");
  size_t room = t.text_capacity();
  t.set_text("x");
  EXPECT_EQ(t.text_capacity(), room);  // a shorter text reuses the buffer
  t.set_text(t.text());
  EXPECT_STREQ(t.text(), "x");
  t.set_text(nullptr);
  EXPECT_STREQ(t.text(), "");
  EXPECT_TRUE(t.equals_text(nullptr));
}

// Short texts live inside the value; a long first text of a value made in an arena lives in the
// arena. Copies, growth past the inline or lent room, shrinking back and a tail of the value's own
// text must each leave every value with its own intact text (the sanitizer build sees a freed
// inline buffer, an arena's room given to delete, or a text read after its buffer went).
TEST(value, short_and_long_texts_stay_each_values_own) {
  const std::string short_text(value_c::k_inline_capacity - 1, 's');
  const std::string long_text(value_c::k_inline_capacity, 'L');
  const std::string texts[] = {"", "True", short_text, long_text, std::string(500, 'x')};
  for (bool in_arena : {false, true}) {
    for (const std::string& first : texts) {
      for (const std::string& second : texts) {
        SCOPED_TRACE(std::string(in_arena ? "arena " : "heap ") + std::to_string(first.size() * 1000 + second.size()));
        bulk_arena_c arena;
        labeled_value_c* source = in_arena ? new (arena) arena_made_ct<labeled_value_c>("label", first.c_str(), arena)
                                           : new labeled_value_c("label", first.c_str());
        EXPECT_EQ(source->text(), first);
        EXPECT_EQ(source->type(), value_c::STRING);
        EXPECT_GE(source->text_capacity(), first.size() + 1);
        EXPECT_LT(source->text_capacity(), 1000u);
        labeled_value_c copy(*source);
        labeled_value_c assigned("other", "before");
        assigned = *source;
        source->set_text(second.c_str());
        EXPECT_EQ(source->text(), second);
        EXPECT_EQ(copy.text(), first);
        source->set_text((second + first).c_str());  // past the room it had, lent or its own
        EXPECT_EQ(source->text(), second + first);
        delete source;
        EXPECT_EQ(copy.text(), first);
        EXPECT_EQ(assigned.text(), first);
        EXPECT_STREQ(assigned.label(), "label");
        EXPECT_GE(copy.text_capacity(), first.size() + 1);
        // A tail of the value's own text, then growth from there.
        copy.set_text(copy.text() + first.size() / 2);
        EXPECT_EQ(copy.text(), first.substr(first.size() / 2));
        copy.set_text(second.c_str());
        EXPECT_EQ(copy.text(), second);
        copy.set_signed(-123456789012345LL);
        EXPECT_STREQ(copy.as_string(), "-123456789012345");
      }
    }
  }
}

TEST(labeled_value, equality) {
  labeled_value_c a("x", "5"), b("x", 5), c("y", "5"), d("x", "6");
  EXPECT_TRUE(labeled_value_c::is_equal(a, a));
  EXPECT_TRUE(labeled_value_c::is_equal(a, b));
  EXPECT_FALSE(labeled_value_c::is_equal(a, c));
  EXPECT_FALSE(labeled_value_c::is_equal(a, d));
  labeled_value_c undefined1("x", "1"), undefined2("x", "2");
  undefined1.reset();
  undefined2.reset();
  EXPECT_TRUE(labeled_value_c::is_equal(undefined1, undefined2));
  EXPECT_FALSE(labeled_value_c::is_equal(undefined1, a));
  labeled_value_c null_label(nullptr, "v"), empty_label("", "v");
  EXPECT_STREQ(null_label.label(), "");
  EXPECT_TRUE(labeled_value_c::is_equal(null_label, empty_label));
  labeled_value_c copy(a);
  EXPECT_STREQ(copy.label(), "x");
  EXPECT_TRUE(labeled_value_c::is_equal(copy, a));
}

std::string child_names(const node_c* node) {
  std::string out;
  for (const node_c* c = node->first_child; c; c = c->next) out += c->name ? c->name : "-";
  std::string back;
  for (const node_c* c = node->last_child; c; c = c->prev) back.insert(0, c->name ? c->name : "-");
  EXPECT_EQ(out, back);
  return out;
}

TEST(tree, sorting_children) {
  struct row_s {
    unsigned method;
    const char* expected;
  } rows[] = {{2, "-abcd"}, {3, "-abcd"}, {4, "-abcd"}, {7, "db-ca"}};
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.method);
    tree_c tree;
    tree.root = tree.create_node(0, "root");
    for (const char* n : std::vector<const char*>{"d", "b", nullptr, "c", "a"}) tree_c::append_child(tree.root, tree.create_node(1, n));
    node_c* grand = tree.create_node(2, "z");
    tree_c::append_child(tree.root->first_child, grand);
    tree_c::append_child(tree.root->first_child, tree.create_node(2, "y"));
    std::vector<node_c*> scratch(5);
    tree.sort_children(tree.root, true, row.method, scratch.data());
    EXPECT_EQ(child_names(tree.root), row.expected);
    node_c* d = tree.root->first_child;
    while (d && !(d->name && std::string(d->name) == "d")) d = d->next;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(child_names(d), row.method >= 2 && row.method <= 4 ? "yz" : "zy");
  }
}

TEST(tree, unlink_and_delete_subtree) {
  tree_c tree;
  tree.root = tree.create_node(0, "root");
  for (const char* n : {"a", "b", "c"}) tree_c::append_child(tree.root, tree.create_node(0, n));
  node_c* b = tree.root->first_child->next;
  tree.unlink(b);
  EXPECT_EQ(child_names(tree.root), "ac");
  EXPECT_EQ(b->parent, nullptr);
  tree.delete_node(b);
  tree_c::append_child(tree.root->first_child, tree.create_node(0, "x"));
  tree.delete_subtree(tree.root);
  EXPECT_EQ(tree.root->first_child, nullptr);
  EXPECT_EQ(tree.root->last_child, nullptr);
  node_c* root = tree.root;
  tree.unlink(root);
  EXPECT_EQ(tree.root, nullptr);
  tree.delete_node(root);
  tree.delete_node(nullptr);
}

TEST(node, names_compare_bytewise_unnamed_first) {
  node_c a, b, none1, none2;
  a.set_name("a");
  b.set_name("B");
  EXPECT_EQ(a.compare(b), 1);  // 'a' > 'B' in byte order
  EXPECT_EQ(none1.compare(a), -1);
  EXPECT_EQ(a.compare(none1), 1);
  EXPECT_EQ(none1.compare(none2), 0);
  a.set_name("a much longer name");
  EXPECT_STREQ(a.name, "a much longer name");
}

class tuning_parameters_test : public ::testing::Test {
 protected:
  void SetUp() override {
    m_registry.groups.push_back({"first", {}});
    m_registry.groups.push_back({"second", {}});
    add(0, "EnableAIOWrite", true, "tRuE");
    add(1, "EnableAIOWrite", true, "False");
    add(1, "ChunkLength", true, "0x10000");
    add(1, "AIONumber", true, "99999999999");
    add(1, "IOReadLength", true, "lots");
    add(1, "OpenFileWithoutSystemSecurity", false, "");
  }
  void TearDown() override { tuning_parameters_n::install_registry(nullptr); }
  void add(size_t group, const char* name, bool has, const char* value) {
    tuning_parameter_s p;
    p.name = name;
    p.has_value = has;
    p.value = value;
    m_registry.groups[group].parameters.push_back(std::move(p));
  }
  tuning_parameter_registry_s m_registry;
};

TEST_F(tuning_parameters_test, nothing_is_found_without_a_registry) {
  EXPECT_EQ(tuning_parameters_n::find_parameter("ChunkLength"), nullptr);
}

TEST_F(tuning_parameters_test, lookups_and_conversions) {
  tuning_parameters_n::install_registry(&m_registry);
  tuning_parameter_s* aio = tuning_parameters_n::find_parameter("enableaiowrite");
  ASSERT_NE(aio, nullptr);
  EXPECT_EQ(aio, &m_registry.groups[0].parameters[0]);  // the first group wins
  EXPECT_TRUE(tuning_parameters_n::get_bool(aio));
  EXPECT_STREQ(aio->error.c_str(), "");

  EXPECT_EQ(tuning_parameters_n::get_int(tuning_parameters_n::find_parameter("ChunkLength")), 65536);
  tuning_parameter_s* big = tuning_parameters_n::find_parameter("AIONumber");
  EXPECT_EQ(tuning_parameters_n::get_int(big), 0);
  EXPECT_STREQ(big->error.c_str(), "Unable to convert \"99999999999\" to int, input value is too big");
  tuning_parameter_s* words = tuning_parameters_n::find_parameter("IOReadLength");
  EXPECT_EQ(tuning_parameters_n::get_int(words), 0);
  EXPECT_STREQ(words->error.c_str(), "Unable to convert \"lots\" to int");
  EXPECT_FALSE(tuning_parameters_n::get_bool(words));
  EXPECT_STREQ(words->error.c_str(), "Unable to convert to bool \"lots\"");
  tuning_parameter_s* missing = tuning_parameters_n::find_parameter("OpenFileWithoutSystemSecurity");
  EXPECT_FALSE(tuning_parameters_n::get_bool(missing));
  EXPECT_STREQ(missing->error.c_str(), "Unable to convert to bool \"Undefined Value\"");
  EXPECT_EQ(tuning_parameters_n::find_parameter("Nothing"), nullptr);
}


// Setting a text makes the value that text, whatever it held or last read.
TEST(value, a_new_text_replaces_an_earlier_number_or_boolean) {
  struct case_s {
    const char* name;
    void (*before)(value_c&);
  };
  const case_s cases[] = {
      {"a signed number", [](value_c& v) { v.set_signed(5); }},
      {"a large unsigned number", [](value_c& v) { v.set_unsigned(18446744073709551615ull); }},
      {"a boolean", [](value_c& v) { v.set_bool(true); }},
      {"a text read as a number", [](value_c& v) { v.set_text("123"); (void)v.as_int(); }},
      {"a text that failed to read", [](value_c& v) { v.set_text("x"); (void)v.as_int(); }},
      {"nothing", [](value_c&) {}},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.name);
    value_c v;
    c.before(v);
    v.set_text("400");
    EXPECT_EQ(v.type(), value_c::STRING);
    EXPECT_FALSE(v.error());
    EXPECT_STREQ(v.as_string(), "400");
    EXPECT_EQ(v.as_int(), 400);
    EXPECT_FALSE(v.error());
    v.set_text("abc");
    EXPECT_STREQ(v.as_string(), "abc");
    EXPECT_EQ(v.get_text_length(), 3u);
    EXPECT_EQ(v.as_int(), 0);
    EXPECT_TRUE(v.error());
  }
}

}  // namespace
