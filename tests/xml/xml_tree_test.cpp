// Typed trees: to and from documents, equality, text size, saving, and the searches.
#include "xml/xml_tree.h"

#include "support/temp_dir.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <string>
#include <vector>

using namespace test_support_n;

namespace {

const char* k_text =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<stats_saver ScenarioID=\"5\">\n"
    "\t<host HostIndex=\"1\" Name=\"a &amp; b\"/>\n"
    "\t<host HostIndex=\"2\">\n"
    "\t\t<host HostIndex=\"3\"/>\n"
    "\t</host>\n"
    "\t<other/>\n"
    "</stats_saver>\n";

class xml_tree_test : public temp_dir_test {
 protected:
  trace_reset_c m_trace;
};

TEST_F(xml_tree_test, loads_writes_back_and_compares) {
  xml_tree_c tree;
  ASSERT_TRUE(tree.load_from_str(k_text));
  EXPECT_STREQ(tree.version(), "1.0");
  EXPECT_STREQ(tree.encoding(), "UTF-8");
  EXPECT_STREQ(tree.root->find_attr("ScenarioID")->as_string(), "5");
  utl_stream_c out;
  tree.write_to_stream(out, true);
  EXPECT_STREQ(out.c_str(), k_text);
  EXPECT_EQ(tree.get_text_size(), 184u);  // the room reserved: names, attributes, depths, declaration

  xml_tree_c same;
  ASSERT_TRUE(same.load_from_str(k_text));
  EXPECT_TRUE(tree.is_equal(same));
  same.root->first_item()->set_attr("HostIndex", 9);
  EXPECT_FALSE(tree.is_equal(same));
  xml_tree_c reordered;
  std::string swapped = k_text;
  swapped.replace(swapped.find("HostIndex=\"1\" Name=\"a &amp; b\""), 30, "Name=\"a &amp; b\" HostIndex=\"1\"");
  ASSERT_TRUE(reordered.load_from_str(swapped.c_str()));
  EXPECT_FALSE(tree.is_equal(reordered));
  xml_tree_c shorter;
  ASSERT_TRUE(shorter.load_from_str("<?xml version=\"1.0\" encoding=\"UTF-8\"?><stats_saver ScenarioID=\"5\"/>"));
  EXPECT_FALSE(tree.is_equal(shorter));
}

TEST_F(xml_tree_test, a_tree_without_version_or_encoding) {
  xml_tree_c tree;
  tree.attach(new xml_item_c("r"), nullptr, true);
  utl_stream_c out;
  tree.write_to_stream(out, true);
  EXPECT_STREQ(out.c_str(), "<?xml version=\"1.0\"?>\n<r/>\n");
  xml_tree_c empty;
  utl_stream_c nothing;
  empty.write_to_stream(nothing, true);
  EXPECT_STREQ(nothing.c_str(), "");
}

TEST_F(xml_tree_test, a_string_load_drops_text_and_a_file_load_keeps_it) {
  const char* text = "<?xml version=\"1.0\"?><r><a>kept</a></r>";
  xml_tree_c from_string;
  ASSERT_TRUE(from_string.load_from_str(text));
  EXPECT_EQ(from_string.root->first_item()->text(), nullptr);
  std::string path = m_dir.file("t.xml");
  write_text_file(path, text);
  xml_tree_c from_file;
  ASSERT_TRUE(from_file.load(path.c_str()));
  EXPECT_STREQ(from_file.root->first_item()->text(), "kept");
  EXPECT_FALSE(from_file.load_from_str("<?xml version=\"1.0\"?><a></b>"));
  EXPECT_STREQ(from_file.root->name(), "r");  // a failed load leaves the tree as it was
}

TEST_F(xml_tree_test, save_to_file_writes_the_document_or_says_why_not) {
  xml_tree_c tree;
  ASSERT_TRUE(tree.load_from_str(k_text));
  std::string path = m_dir.file("saved.xml");
  EXPECT_TRUE(tree.save_to_file(path.c_str()));
  EXPECT_EQ(read_text_file(path), k_text);
  zqtr_capture_c capture;
  std::string missing = m_dir.file("no/such/dir/saved.xml");
  EXPECT_FALSE(tree.save_to_file(missing.c_str()));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to open file " + missing + " "));
  xml_tree_c empty;
  // A tree without an element is no document: the save fails, and what the opened file got (the
  // declaration alone) is no output anyone may read as one.
  EXPECT_FALSE(empty.save_to_file(m_dir.file("empty.xml").c_str()));
  EXPECT_EQ(read_text_file(m_dir.file("empty.xml")), "<?xml version=\"1.0\"?>\n");
  std::remove(m_dir.file("empty.xml").c_str());
}

TEST_F(xml_tree_test, searches_in_document_order) {
  xml_tree_c tree;
  ASSERT_TRUE(tree.load_from_str(k_text));
  string_array_c hosts;
  hosts.add("host");
  array_ct<xml_item_c> found;
  tree.find_all(nullptr, &found, &hosts, nullptr, true);
  ASSERT_EQ(found.count(), 3u);
  EXPECT_STREQ(found.at(2)->find_attr("HostIndex")->as_string(), "3");
  found.reset();
  tree.find_all(nullptr, &found, &hosts, nullptr, false);
  EXPECT_EQ(found.count(), 2u);
  found.reset();
  tree.find_all(nullptr, &found, nullptr, nullptr, true);  // everything matches: each item once
  EXPECT_EQ(found.count(), 5u);
  found.reset();

  string_array_c labels;
  labels.add("Name");
  xml_item_c* named = tree.find_first(nullptr, &hosts, &labels, true);
  ASSERT_NE(named, nullptr);
  EXPECT_STREQ(named->find_attr("Name")->as_string(), "a & b");
  EXPECT_EQ(tree.find_first_by_name(nullptr, "other", false)->name(), std::string("other"));
  xml_item_c* second = tree.root->first_item()->next_item();
  EXPECT_EQ(tree.find_first_by_name(second, "other", true), nullptr);
  EXPECT_EQ(tree.find_first_by_name(nullptr, nullptr, true), nullptr);

  labeled_value_c three("HostIndex", "3");
  EXPECT_EQ(tree.find_first_with_attr(nullptr, &hosts, &three, false), nullptr);
  xml_item_c* deepest = tree.find_first_with_attr(nullptr, &hosts, &three, true);
  ASSERT_NE(deepest, nullptr);
  EXPECT_EQ(deepest->parent, second);
}


TEST_F(xml_tree_test, equal_trees_have_equal_shapes) {
  struct case_s {
    const char* a;
    const char* b;
    bool equal;
  };
  const case_s cases[] = {
      {"<r><x><y/></x></r>", "<r><x/><y/></r>", false},
      {"<r><x/><y/></r>", "<r><x><y/></x></r>", false},
      {"<r><x><y/></x><z/></r>", "<r><x><y><z/></y></x></r>", false},
      {"<r><x><y/></x><z/></r>", "<r><x><y/></x><z/></r>", true},
      {"<r><x><y/></x></r>", "<r><x><y/></x></r>", true},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    xml_tree_c a, b;
    ASSERT_TRUE(a.load_from_str((std::string("<?xml version=\"1.0\"?>") + c.a).c_str()));
    ASSERT_TRUE(b.load_from_str((std::string("<?xml version=\"1.0\"?>") + c.b).c_str()));
    EXPECT_EQ(a.is_equal(b), c.equal);
    EXPECT_EQ(b.is_equal(a), c.equal);
  }
}

// A tree of a subclass may hold plain items (as a configuration keeps the content of external
// objects): the walks convert, measure and compare them, and the searches never give them out as
// the subclass.
class marked_item_c : public xml_item_c {
 public:
  explicit marked_item_c(const char* name) : xml_item_c(name) {}
  int mark = 7;
};

class marked_tree_c : public xml_tree_ct<marked_item_c> {
 public:
  explicit marked_tree_c(bool replaces) : m_replaces(replaces) {}
  // The items of this class say so in the document; plain items are written as they are.
  xml_node_c* to_xml_node(marked_item_c* item) override {
    xml_node_c* node = _to_xml_node(item);
    node->add_attr("marked", std::to_string(item->mark).c_str());
    return node;
  }

 protected:
  bool _replaces_root() const override { return m_replaces; }

 private:
  bool m_replaces;
};

// root(object(content(object))): the content and its child are plain items.
marked_item_c* build_mixed(marked_tree_c& tree, const char* inner) {
  marked_item_c* root = new marked_item_c("root");
  tree.attach(root, nullptr, true);
  marked_item_c* object = new marked_item_c("object");
  tree.attach(object, root, true);
  xml_item_c* plain = xml_item_c::add_child("content", object);
  plain->set_attr("label", inner);
  xml_item_c::add_child("object", plain);  // plain, with the name of a typed item
  return object;
}

TEST_F(xml_tree_test, a_tree_with_plain_items_below_its_own) {
  marked_tree_c tree(false);
  marked_item_c* object = build_mixed(tree, "inner");
  utl_stream_c out;
  tree.write_to_stream(out, false);
  EXPECT_STREQ(out.c_str(),
               "<root marked=\"7\">\n"
               "\t<object marked=\"7\">\n"
               "\t\t<content label=\"inner\">\n"
               "\t\t\t<object/>\n"
               "\t\t</content>\n"
               "\t</object>\n"
               "</root>\n");
  EXPECT_EQ(tree.get_text_size(), 96u);  // the room reserved: names, attributes and depths, plain items too
  EXPECT_EQ(tree.find_first_by_name(nullptr, "content", true), nullptr);
  EXPECT_EQ(tree.find_first_by_name(nullptr, "object", true), object);
  labeled_value_c label("label", "inner");
  EXPECT_EQ(tree.find_first_with_attr(nullptr, nullptr, &label, true), nullptr);
  array_ct<marked_item_c> found;
  string_array_c names;
  names.add("object");
  tree.find_all(nullptr, &found, &names, nullptr, true);
  ASSERT_EQ(found.count(), 1u);
  EXPECT_EQ(found.at(0), object);
  marked_tree_c same(false), other(false);
  build_mixed(same, "inner");
  build_mixed(other, "outer");
  EXPECT_TRUE(tree.is_equal(same));
  EXPECT_FALSE(tree.is_equal(other));  // the plain items are compared too
}

TEST_F(xml_tree_test, a_document_replaces_the_root_only_where_the_class_asks) {
  const char* text = "<?xml version=\"1.0\"?><second/>";
  for (bool replaces : {false, true}) {
    SCOPED_TRACE(replaces ? "replaces" : "keeps");
    marked_tree_c tree(replaces);
    ASSERT_TRUE(tree.attach(new marked_item_c("first"), nullptr, true));
    ASSERT_TRUE(tree.load_from_str(text));
    EXPECT_STREQ(tree.root->name(), replaces ? "second" : "first");
  }
}

}  // namespace
