// The item tree: attributes, sizes, equality, paths, start tags, and the tree operations.
#include "platform/thl/bulk_arena.h"
#include "xml/xml_item.h"
#include "xml/xml_tree.h"

#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace test_support_n;

namespace {

std::vector<std::string> child_names(const generic_node_c* parent) {
  std::vector<std::string> names;
  for (const generic_node_c* c = parent->first_child; c != nullptr; c = c->next) {
    names.push_back(static_cast<const xml_item_c*>(c)->name());
  }
  return names;
}

TEST(xml_item, set_attr_keeps_the_first_position_and_the_last_value) {
  xml_item_c item("host");
  item.set_attr("Index", 1);
  item.set_attr("Name", "alpha");
  item.set_attr("Index", 7u);
  ASSERT_EQ(item.attr_count(), 2u);
  EXPECT_STREQ(item.get_attr(0)->label(), "Index");
  EXPECT_STREQ(item.get_attr(0)->as_string(), "7");
  EXPECT_EQ(item.get_attr(2), nullptr);
  EXPECT_EQ(item.find_attr(nullptr), nullptr);
  EXPECT_EQ(item.find_attr("index"), nullptr);  // labels are case-sensitive
}

TEST(xml_item, text_size_counts_names_texts_and_attribute_renderings) {
  struct size_case_s {
    const char* what;
    size_t expected;
  };
  xml_item_c flag("a");
  flag.set_attr("t", true);
  xml_item_c off("a");
  off.set_attr("t", false);
  xml_item_c numbers("ab");
  numbers.set_attr("n", -123);
  numbers.set_text("xyz");
  // name + 2, attributes (label + text + 4), text + 1, then 1 without children.
  EXPECT_EQ(flag.get_text_size(false), 1u + 2 + (1 + 4 + 4) + 1);
  EXPECT_EQ(off.get_text_size(false), 1u + 2 + (1 + 5 + 4) + 1);
  EXPECT_EQ(numbers.get_text_size(false), 2u + 2 + (3 + 1) + (1 + 4 + 4) + 1);
  xml_item_c parent("p");
  xml_item_c::add_child("c", &parent);
  EXPECT_EQ(parent.get_text_size(false), 1u + 2 + 1 + 3);
  EXPECT_EQ(parent.get_text_size(true), 1u + 2 + 1 + 3 + (1 + 2 + 1));
}

TEST(xml_item, equality_follows_attribute_order_and_ignores_null_against_empty) {
  xml_item_c a("x"), b("x"), c("x");
  a.set_attr("p", 1);
  a.set_attr("q", 2);
  b.set_attr("p", 1);
  b.set_attr("q", 2);
  c.set_attr("q", 2);
  c.set_attr("p", 1);
  EXPECT_TRUE(a.is_equal(b));
  EXPECT_FALSE(a.is_equal(c));
  xml_item_c unnamed(nullptr), empty("");
  EXPECT_TRUE(unnamed.is_equal(empty));
  empty.set_text("t");
  EXPECT_FALSE(unnamed.is_equal(empty));
  labeled_value_c same("p", 1);
  EXPECT_TRUE(a.has_attr(&same));
  labeled_value_c other("p", 2);
  EXPECT_FALSE(a.has_attr(&other));
  EXPECT_FALSE(unnamed.has_attr(&same));
}

TEST(xml_item, copies_shallow_and_deep_never_with_text) {
  xml_item_c source("root");
  source.set_attr("id", 5);
  source.set_text("body");
  xml_item_c::add_child("one", &source)->set_attr("k", "v");
  xml_item_c::add_child("two", &source);
  xml_item_c shallow(source, false);
  EXPECT_STREQ(shallow.name(), "root");
  EXPECT_STREQ(shallow.find_attr("id")->as_string(), "5");
  EXPECT_EQ(shallow.text(), nullptr);
  EXPECT_EQ(shallow.first_child, nullptr);
  xml_item_c deep(source, true);
  EXPECT_EQ(child_names(&deep), (std::vector<std::string>{"one", "two"}));
  EXPECT_STREQ(deep.first_item()->find_attr("k")->as_string(), "v");
  EXPECT_EQ(deep.first_item()->parent, &deep);
}

TEST(xml_item, paths_and_start_tags) {
  xml_item_c root("data");
  xml_item_c* child = xml_item_c::add_child("item", &root);
  child->set_attr("id", 7);
  utl_stream_c path;
  EXPECT_STREQ(child->get_path(path), "data.7");
  utl_stream_c root_path;
  EXPECT_STREQ(root.get_path(root_path), "data");
  utl_stream_c tag;
  EXPECT_STREQ(child->write_start_tag(tag), "<item id=\"7\" />");
  utl_stream_c parent_tag;
  EXPECT_STREQ(root.write_start_tag(parent_tag), "<data >");
  xml_item_c plain("e");
  utl_stream_c plain_tag;
  EXPECT_STREQ(plain.write_start_tag(plain_tag), "<e />");
}

class item_tree_test : public ::testing::Test {
 protected:
  // r( a( a1 a2 ) b c )
  void SetUp() override {
    r = new xml_item_c("r");
    ASSERT_TRUE(tree.attach(r, nullptr, true));
    a = xml_item_c::add_child("a", r);
    b = xml_item_c::add_child("b", r);
    c = xml_item_c::add_child("c", r);
    a1 = xml_item_c::add_child("a1", a);
    a2 = xml_item_c::add_child("a2", a);
  }
  xml_tree_c tree;
  xml_item_c *r, *a, *b, *c, *a1, *a2;
};

TEST_F(item_tree_test, attach_refuses_linked_nodes_and_a_second_root) {
  xml_item_c* free_node = new xml_item_c("f");
  EXPECT_FALSE(tree.attach(free_node, nullptr, true));  // the tree has a root
  EXPECT_TRUE(tree.attach(free_node, r, false));
  EXPECT_EQ(r->first_child, free_node);
  EXPECT_FALSE(tree.attach(b, nullptr, true));  // b has siblings
  xml_item_c* lone = xml_item_c::add_child("lone", b);
  EXPECT_TRUE(tree.attach(lone, b, true));   // already there: nothing changes
  EXPECT_FALSE(tree.attach(lone, c, true));  // under another parent
  EXPECT_FALSE(tree.attach(nullptr, r, true));
}

TEST_F(item_tree_test, insert_beside_nodes_but_not_beside_the_root) {
  xml_item_c* x = new xml_item_c("x");
  EXPECT_FALSE(tree.insert(x, r, true));
  EXPECT_TRUE(tree.insert(x, b, false));
  EXPECT_EQ(child_names(r), (std::vector<std::string>{"a", "x", "b", "c"}));
  xml_item_c* y = new xml_item_c("y");
  EXPECT_TRUE(tree.insert(y, c, true));
  xml_item_c* z = new xml_item_c("z");
  EXPECT_TRUE(tree.insert(z, a, false));
  EXPECT_EQ(child_names(r), (std::vector<std::string>{"z", "a", "x", "b", "c", "y"}));
  EXPECT_EQ(r->last_child, y);
}

TEST_F(item_tree_test, swap_neighbours_distant_nodes_and_refuse_descendants) {
  EXPECT_FALSE(tree.swap(a, a1));
  EXPECT_FALSE(tree.swap(a, a));
  EXPECT_FALSE(tree.swap(r, b));  // the root has no parent
  EXPECT_TRUE(tree.swap(b, c));
  EXPECT_EQ(child_names(r), (std::vector<std::string>{"a", "c", "b"}));
  EXPECT_TRUE(tree.swap(b, c));
  EXPECT_EQ(child_names(r), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(tree.swap(a1, c));  // a first child and a last child under different parents
  EXPECT_EQ(child_names(r), (std::vector<std::string>{"a", "b", "a1"}));
  EXPECT_EQ(child_names(a), (std::vector<std::string>{"c", "a2"}));
  EXPECT_EQ(c->parent, a);
  xml_tree_c other;
  xml_item_c* stranger = new xml_item_c("s");
  other.attach(stranger, nullptr, true);
  xml_item_c* stranger_child = xml_item_c::add_child("sc", stranger);
  EXPECT_FALSE(tree.swap(b, stranger_child));  // another tree
}

TEST_F(item_tree_test, replace_remove_and_detach) {
  xml_item_c* n = new xml_item_c("n");
  tree.replace(b, n, true);
  EXPECT_EQ(child_names(r), (std::vector<std::string>{"a", "n", "c"}));
  xml_item_c* first = new xml_item_c("first");
  tree.replace(a, first, false);
  EXPECT_EQ(child_names(r), (std::vector<std::string>{"first", "n", "c"}));
  EXPECT_EQ(a->parent, nullptr);
  EXPECT_EQ(child_names(a), (std::vector<std::string>{"a1", "a2"}));  // a kept its children
  delete a;
  tree.remove(n);
  EXPECT_EQ(child_names(r), (std::vector<std::string>{"first", "c"}));
  EXPECT_EQ(r->count_children(true), 2u);
}

TEST(item_tree, clear_without_owning_the_root_leaves_the_root_alive) {
  struct not_owning_tree_c : xml_tree_c {
    not_owning_tree_c() { m_owns_root = false; }
  };
  xml_item_c root("r");
  {
    not_owning_tree_c tree;
    ASSERT_TRUE(tree.attach(&root, nullptr, true));
    xml_item_c::add_child("a", &root);
    xml_item_c::add_child("b", xml_item_c::add_child("c", &root));
    tree.clear();
    EXPECT_EQ(tree.root, nullptr);
  }
  EXPECT_EQ(root.first_child, nullptr);
  EXPECT_STREQ(root.name(), "r");
}


// Items with many attributes find them through an index: the same answers as the search in order
// (the first position stays, the last value wins), also past every growth of the index.
TEST(xml_item, many_attributes_keep_their_first_positions_and_last_values) {
  xml_item_c item("e");
  const size_t counts[] = {1, 31, 32, 33, 64, 65, 1000};
  size_t made = 0;
  for (size_t count : counts) {
    SCOPED_TRACE(count);
    for (; made < count; ++made) item.set_attr(("a" + std::to_string(made)).c_str(), static_cast<int>(made));
    EXPECT_EQ(item.attr_count(), count);
    for (size_t i = 0; i < count; ++i) {
      labeled_value_c* found = item.find_attr(("a" + std::to_string(i)).c_str());
      ASSERT_NE(found, nullptr) << i;
      EXPECT_EQ(found, item.get_attr(i));
    }
    EXPECT_EQ(item.find_attr(("a" + std::to_string(count)).c_str()), nullptr);
    EXPECT_EQ(item.find_attr(""), nullptr);
  }
  item.set_attr("a500", "again");
  labeled_value_c again("a7", "copied");
  item.add_attr(&again);
  EXPECT_EQ(item.attr_count(), 1000u);
  EXPECT_STREQ(item.get_attr(500)->as_string(), "again");
  EXPECT_STREQ(item.get_attr(7)->as_string(), "copied");
  EXPECT_STREQ(item.get_attr(7)->label(), "a7");
  xml_item_c copy(item, false);
  EXPECT_TRUE(copy.is_equal(item));
  EXPECT_EQ(copy.find_attr("a999"), copy.get_attr(999));
}

// Attributes read into an item through an arena: a label given twice keeps its first place and
// takes the last value, whether it is an entry of the shared table (found by its pointer) or a text
// of its own, and a shared label is never taken for an owned one; past the index's threshold too.
TEST(xml_item, read_attributes_keep_their_first_positions_and_last_values) {
  size_t loaded_count = 0;
  const char* const* loaded = labeled_value_c::shared_labels(loaded_count);
  static const char* const shared[] = {"label", "val", "type"};
  labeled_value_c::share_labels(shared, 3);
  struct row_s {
    const char* name;
    std::vector<std::pair<const char*, const char*>> read;  // label, value in reading order
    std::vector<std::pair<const char*, const char*>> kept;  // what the item has after, in order
  } rows[] = {
      {"all different", {{"label", "a"}, {"val", "b"}, {"own", "c"}}, {{"label", "a"}, {"val", "b"}, {"own", "c"}}},
      {"a shared label twice", {{"label", "a"}, {"val", "b"}, {"label", "c"}}, {{"label", "c"}, {"val", "b"}}},
      {"an owned label twice", {{"own", "a"}, {"val", "b"}, {"own", "c"}}, {{"own", "c"}, {"val", "b"}}},
      {"owned labels that begin like shared ones", {{"labels", "a"}, {"label", "b"}, {"va", "c"}, {"val", "d"}},
       {{"labels", "a"}, {"label", "b"}, {"va", "c"}, {"val", "d"}}},
      {"three times", {{"type", "1"}, {"type", "2"}, {"type", "3"}}, {{"type", "3"}}},
      {"an empty label", {{"", "a"}, {"", "b"}}, {{"", "b"}}},
  };
  for (const row_s& row : rows) {
    SCOPED_TRACE(row.name);
    bulk_arena_c arena;
    xml_item_c item("e");
    item.reserve_read_attrs(row.read.size(), &arena);
    for (const auto& attribute : row.read) item.set_read_attr(attribute.first, attribute.second, &arena);
    ASSERT_EQ(item.attr_count(), row.kept.size());
    for (size_t i = 0; i < row.kept.size(); ++i) {
      EXPECT_STREQ(item.get_attr(i)->label(), row.kept[i].first) << i;
      EXPECT_STREQ(item.get_attr(i)->as_string(), row.kept[i].second) << i;
      EXPECT_EQ(item.find_attr(row.kept[i].first), item.get_attr(i)) << i;
    }
  }
  {
    SCOPED_TRACE("past the index");
    bulk_arena_c arena;
    xml_item_c item("e");
    for (int i = 0; i < 40; ++i) item.set_read_attr(("a" + std::to_string(i)).c_str(), "first", &arena);
    item.set_read_attr("label", "x", &arena);
    item.set_read_attr("a3", "again", &arena);
    item.set_read_attr("a39", "again", &arena);
    item.set_read_attr("label", "y", &arena);
    ASSERT_EQ(item.attr_count(), 41u);
    EXPECT_STREQ(item.get_attr(3)->as_string(), "again");
    EXPECT_STREQ(item.get_attr(39)->as_string(), "again");
    EXPECT_STREQ(item.get_attr(40)->as_string(), "y");
    EXPECT_EQ(item.get_attr(40)->label(), shared[0]);
  }
  labeled_value_c::share_labels(loaded, loaded_count);
}

TEST(xml_item, a_text_attribute_replaces_a_number_or_boolean) {
  xml_item_c item("e");
  item.set_attr("v", 5);
  item.set_attr("v", "abc");
  EXPECT_STREQ(item.find_attr("v")->as_string(), "abc");
  item.set_attr("b", true);
  item.set_attr("b", "maybe");
  EXPECT_STREQ(item.find_attr("b")->as_string(), "maybe");
  EXPECT_EQ(item.attr_count(), 2u);
  utl_stream_c tag;
  EXPECT_STREQ(item.write_start_tag(tag), "<e v=\"abc\" b=\"maybe\" />");
}

// A node already linked moves, or is refused where moving it would close a cycle; the tree stays
// whole either way (each case ends with the same nodes, each once, and nothing leaks).
TEST_F(item_tree_test, insert_of_a_linked_node_moves_it_or_is_refused) {
  EXPECT_FALSE(tree.insert(b, b, true));  // beside itself
  EXPECT_FALSE(tree.insert(b, b, false));
  EXPECT_TRUE(tree.insert(c, b, false));  // a sibling moves before b
  EXPECT_EQ(child_names(r), (std::vector<std::string>{"a", "c", "b"}));
  EXPECT_TRUE(tree.insert(a, b, true));  // the first child moves to the end, with its children
  EXPECT_EQ(child_names(r), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_EQ(child_names(a), (std::vector<std::string>{"a1", "a2"}));
  EXPECT_TRUE(tree.insert(a2, a1, false));
  EXPECT_EQ(child_names(a), (std::vector<std::string>{"a2", "a1"}));
  EXPECT_FALSE(tree.insert(a, a1, true));  // above its new sibling: a cycle
  EXPECT_FALSE(tree.insert(r, a1, true));  // the root
  EXPECT_FALSE(tree.insert(a1, b, true));  // linked under another parent
  EXPECT_EQ(r->count_children(true), 5u);
  EXPECT_EQ(r->last_child, a);
  EXPECT_EQ(c->prev, nullptr);
  EXPECT_EQ(a->next, nullptr);
}

TEST_F(item_tree_test, attach_below_itself_is_refused) {
  xml_tree_c other;
  xml_item_c* top = new xml_item_c("top");
  xml_item_c* below = xml_item_c::add_child("below", top);
  EXPECT_FALSE(other.attach(top, below, true));  // a cycle
  EXPECT_FALSE(other.attach(top, top, true));
  EXPECT_FALSE(tree.attach(r, b, true));  // the tree's own root
  EXPECT_TRUE(other.attach(top, nullptr, true));
  EXPECT_EQ(top->count_children(true), 1u);
}

}  // namespace

// Items named as an entry of the shared table point at it; copies and deletions keep shared and
// owned names apart (the sanitizer build sees a bad free or a leak).
TEST(xml_item_shared_names, shared_and_owned_names_side_by_side) {
  size_t loaded_count = 0;
  const char* const* loaded = xml_item_c::shared_names(loaded_count);
  static const char* const shared[] = {"data", "object"};
  xml_item_c::share_names(shared, 2);
  {
    xml_item_c root("object");
    xml_item_c* child = xml_item_c::add_child("data", &root);
    xml_item_c* other = xml_item_c::add_child("dat", &root);
    EXPECT_EQ(root.name(), shared[1]);
    EXPECT_EQ(child->name(), shared[0]);
    EXPECT_STREQ(other->name(), "dat");
    EXPECT_EQ(root.get_name_length(), 6u);
    xml_item_c deep(root, true), shallow(*other, false);
    EXPECT_EQ(deep.name(), shared[1]);
    EXPECT_EQ(deep.first_item()->name(), shared[0]);
    EXPECT_STREQ(shallow.name(), "dat");
    EXPECT_NE(shallow.name(), other->name());
    EXPECT_TRUE(deep.first_item()->is_equal(*child));
    xml_item_c unnamed(nullptr);
    EXPECT_EQ(unnamed.name(), nullptr);
  }
  xml_item_c::share_names(loaded, loaded_count);
}
