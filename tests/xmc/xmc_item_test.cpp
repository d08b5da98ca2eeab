#include "xmc/generic_template.h"
#include "xmc/xmc_enum.h"
#include "xmc/xmc_item.h"

#include "support/temp_dir.h"
#include "utl/utl_stream.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::string written(mixed_xmc_xml_tree_c& tree) {
  utl_stream_c out;
  tree.write_to_stream(out, false);  // without the declaration
  return out.c_str();
}

// The root of a tree read from text.
xmc_item_c* load(mixed_xmc_xml_tree_c& tree, const std::string& text) {
  EXPECT_TRUE(tree.load_from_str(("<?xml version=\"1.0\"?>\n" + text).c_str())) << text;
  return tree.root;
}

}  // namespace

TEST(xmc_item_test, the_kind_follows_the_name) {
  struct case_s {
    const char* name;
    uint32_t kind;
    size_t name_length;
  } cases[] = {{"data", xmc_item_c::DATA, 4},   {"object", xmc_item_c::OBJECT, 6}, {"title", xmc_item_c::TITLE, 5},
               {"enum", xmc_item_c::OTHER, 4}, {"Data", xmc_item_c::OTHER, 4},    {"definitions", xmc_item_c::OTHER, 11}};
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.name);
    xmc_item_c item(c.name);
    EXPECT_EQ(item.kind(), c.kind);
    EXPECT_EQ(item.value_type(), TYPE_NONE);
    EXPECT_EQ(item.enum_index(), ENUM_NONE);
    EXPECT_FALSE(item.well_formed());
    EXPECT_EQ(item.get_name_length(), c.name_length);
  }
}

TEST(xmc_item_test, attribute_rules_read_from_documents) {
  struct case_s {
    const char* element;
    uint32_t kind;
    bool well_formed;
    uint32_t value_type;
    uint32_t enum_index;
  } cases[] = {
      {R"(<object label="a" id="1"/>)", xmc_item_c::OBJECT, true, TYPE_NONE, ENUM_NONE},
      {R"(<object id="1" label="a"/>)", xmc_item_c::OBJECT, false, TYPE_NONE, ENUM_NONE},
      {R"(<object label="a" status="True" id="1"/>)", xmc_item_c::OBJECT, false, TYPE_NONE, ENUM_NONE},
      {R"(<object label="a" id="1" external="False"/>)", xmc_item_c::EXTERNAL, true, TYPE_NONE, ENUM_NONE},
      {R"(<object external="" label="a" id="1"/>)", xmc_item_c::EXTERNAL, false, TYPE_NONE, ENUM_NONE},
      {R"(<data label="a" val="Ha" type="Application"/>)", xmc_item_c::DATA, true, TYPE_ENUM, ENUM_APPLICATION},
      {R"(<data label="a" val="1" type="Number"/>)", xmc_item_c::DATA, true, TYPE_NUMBER, ENUM_NONE},
      {R"(<data label="a" val="1" type="Colour"/>)", xmc_item_c::DATA, true, TYPE_NONE, ENUM_NONE},
      {R"(<data val="1" label="a" type="Bool"/>)", xmc_item_c::DATA, false, TYPE_BOOL, ENUM_NONE},
      {R"(<data label="a" val="1"/>)", xmc_item_c::DATA, false, TYPE_NONE, ENUM_NONE},
      {R"(<data label="a" val="1" type="Text" external="x"/>)", xmc_item_c::DATA, true, TYPE_TEXT, ENUM_NONE},
      {R"(<title label="a" type="Number"/>)", xmc_item_c::TITLE, false, TYPE_NONE, ENUM_NONE},
      // A label read twice: the first place, the last value.
      {R"(<data label="a" val="1" type="Number" type="Bool"/>)", xmc_item_c::DATA, true, TYPE_BOOL, ENUM_NONE},
      {R"(<data type="Bool" label="a" val="1"/>)", xmc_item_c::DATA, false, TYPE_BOOL, ENUM_NONE},
      {R"(<object label="a" id="1" id="2" external="True" external="False"/>)", xmc_item_c::EXTERNAL, true, TYPE_NONE,
       ENUM_NONE},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.element);
    // Items and attributes made on the heap, or in an arena as the configurator's template is read.
    for (bool in_arena : {false, true}) {
      SCOPED_TRACE(in_arena ? "arena" : "heap");
      bulk_arena_c arena;
      mixed_xmc_xml_tree_c tree;
      if (in_arena) tree.read_into(&arena);
      xmc_item_c* item = load(tree, c.element);
      ASSERT_NE(item, nullptr);
      EXPECT_EQ(xmc_item_c::cast(item), item);
      EXPECT_EQ(item->kind(), c.kind);
      EXPECT_EQ(item->well_formed(), c.well_formed);
      EXPECT_EQ(item->value_type(), c.value_type);
      EXPECT_EQ(item->enum_index(), c.enum_index);
    }
  }
}

TEST(xmc_item_test, every_setter_applies_the_rules) {
  xmc_item_c data("data");
  data.set_attr("label", "x");
  data.set_attr("val", 5);
  data.set_attr("type", "SynchronizationType");
  EXPECT_TRUE(data.well_formed());
  EXPECT_EQ(data.value_type(), TYPE_ENUM);
  EXPECT_EQ(data.enum_index(), ENUM_SYNCHRONIZATION_TYPE);
  data.set_attr("type", "Bool");  // setting the type again works it out again
  EXPECT_EQ(data.value_type(), TYPE_BOOL);
  EXPECT_EQ(data.enum_index(), ENUM_NONE);
  data.set_attr("type", "");
  EXPECT_EQ(data.value_type(), TYPE_NONE);
  labeled_value_c type("type", "IPAddr");
  data.add_attr(&type);
  EXPECT_EQ(data.value_type(), TYPE_IP_ADDR);

  xmc_item_c object("object");
  object.set_attr("label", "o");
  object.set_attr("id", 4500u);
  EXPECT_TRUE(object.well_formed());
  labeled_value_c external("external", 0);
  object.add_attr(&external);
  EXPECT_EQ(object.kind(), xmc_item_c::EXTERNAL);
}

TEST(xmc_item_test, external_content_stays_plain_and_round_trips) {
  // Read from a file, as a configuration is: element text is kept (a text loader passes over it).
  test_support_n::temp_dir_c dir;
  const std::string text =
      "<object label=\"Scenario\" id=\"1000\">\n"
      "\t<object label=\"External\" id=\"6000\" external=\"True\">\n"
      "\t\t<object label=\"db\" id=\"6799\">\n"
      "\t\t\t<data label=\"x\" val=\"1\" type=\"Number\"/>\n"
      "\t\t\t<Server name=\"s1\">text &amp; more</Server>\n"
      "\t\t</object>\n"
      "\t</object>\n"
      "\t<data label=\"ScenarioName\" val=\"n\" type=\"String\"/>\n"
      "</object>\n";
  const std::string path = dir.file("scenario.xml");
  test_support_n::write_text_file(path, "<?xml version=\"1.0\"?>\n" + text);
  mixed_xmc_xml_tree_c tree;
  ASSERT_TRUE(tree.load(path.c_str()));
  xmc_item_c* root = tree.root;
  ASSERT_NE(root, nullptr);
  xmc_item_c* external = xmc_item_c::cast(root->first_item());
  ASSERT_NE(external, nullptr);
  EXPECT_TRUE(external->is_external());
  xml_item_c* content = external->first_item();
  ASSERT_NE(content, nullptr);
  EXPECT_EQ(xmc_item_c::cast(content), nullptr);  // plain XML below an external object
  EXPECT_EQ(xmc_item_c::cast(content->first_item()), nullptr);
  EXPECT_STREQ(content->first_item()->next_item()->text(), "text & more");
  EXPECT_NE(xmc_item_c::cast(external->next_item()), nullptr);  // the external object's sibling is typed
  EXPECT_EQ(written(tree), text);

  // A deep copy keeps the content plain and independent.
  xmc_item_c copy(*root, true);
  xmc_item_c* copied_external = xmc_item_c::cast(copy.first_item());
  ASSERT_NE(copied_external, nullptr);
  EXPECT_TRUE(copied_external->is_external());
  ASSERT_NE(copied_external->first_item(), nullptr);
  EXPECT_EQ(xmc_item_c::cast(copied_external->first_item()), nullptr);
  EXPECT_STREQ(copied_external->first_item()->first_item()->next_item()->text(), "text & more");
  xmc_item_c* copied_data = xmc_item_c::cast(copied_external->next_item());
  ASSERT_NE(copied_data, nullptr);
  EXPECT_EQ(copied_data->value_type(), TYPE_STRING);
  EXPECT_TRUE(copied_data->well_formed());
  copied_data->set_attr("val", "changed");
  EXPECT_STREQ(xmc_item_c::attr_text(external->next_item(), "val"), "n");

  mixed_xmc_xml_tree_c other;
  other.set_version(tree.version());
  other.attach(new xmc_item_c(copy, true), nullptr, true);
  EXPECT_TRUE(other.is_equal(tree) == false);  // the copied value was changed
  copied_data = xmc_item_c::cast(other.root->first_item()->next_item());
  copied_data->set_attr("val", "n");
  EXPECT_TRUE(other.is_equal(tree));
}

TEST(xmc_item_test, a_document_replaces_the_root_and_removal_frees_plain_content) {
  mixed_xmc_xml_tree_c tree;
  load(tree, "<object label=\"a\" id=\"1\"/>");
  load(tree, "<object label=\"b\" id=\"2\"><object label=\"e\" id=\"3\" external=\"\"><x><y/></x></object></object>");
  ASSERT_NE(tree.root, nullptr);
  EXPECT_STREQ(xmc_item_c::attr_text(tree.root, "label"), "b");
  // Removing an external object (with plain items below) and clearing the tree leave nothing behind.
  tree.remove(xmc_item_c::cast(tree.root->first_item()));
  EXPECT_EQ(tree.root->first_item(), nullptr);
  load(tree, "<object label=\"c\" id=\"2\"><object label=\"e\" id=\"3\" external=\"\"><x><y/></x></object></object>");
  tree.clear();
  EXPECT_EQ(tree.root, nullptr);
}

TEST(xmc_item_test, parent_object_skips_titles_and_data) {
  mixed_xmc_xml_tree_c tree;
  xmc_item_c* root = load(tree,
                          "<object label=\"Switchover\" id=\"4500\"><title label=\"is_alive\"><data label=\"h\" "
                          "val=\"1\" type=\"Number\"><data label=\"k\" val=\"1\" type=\"Number\"/></data></title></object>");
  xml_item_c* inner = root->first_item()->first_item()->first_item();
  EXPECT_EQ(xmc_item_c::parent_object(inner), root);
  EXPECT_EQ(xmc_item_c::parent_object(root), nullptr);
}

namespace {

// Both trees walked together: the same shape, equal items, and each item of the same class
// (typed or plain) with the same kind and value type.
void expect_same_items(const xml_item_c* a, const xml_item_c* b) {
  for (; a != nullptr && b != nullptr; a = a->next_item(), b = b->next_item()) {
    ASSERT_TRUE(a->is_equal(*b)) << (a->name() ? a->name() : "") << " / " << (b->name() ? b->name() : "");
    EXPECT_STREQ(a->text() == nullptr ? "" : a->text(), b->text() == nullptr ? "" : b->text());
    const xmc_item_c* ta = xmc_item_c::cast(const_cast<xml_item_c*>(a));
    const xmc_item_c* tb = xmc_item_c::cast(const_cast<xml_item_c*>(b));
    ASSERT_EQ(ta == nullptr, tb == nullptr) << a->name();
    if (ta != nullptr) {
      EXPECT_EQ(ta->kind(), tb->kind());
      EXPECT_EQ(ta->value_type(), tb->value_type());
    }
    expect_same_items(a->first_item(), b->first_item());
  }
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(b, nullptr);
}

const char* const k_streamed_documents[] = {
    // Externals: nested, as the last child, followed by typed siblings; plain items below them keep
    // their text (a file load) and their own "external" attributes count for nothing.
    "<object label=\"Scenario\" id=\"1000\">\n"
    "\t<object label=\"Ext\" id=\"6000\" external=\"True\">\n"
    "\t\t<object label=\"inner\" id=\"6001\" external=\"True\"><data label=\"x\" val=\"1\" type=\"Number\"/></object>\n"
    "\t\t<Server name=\"s1\">text &amp; more</Server>\n"
    "\t</object>\n"
    "\t<data label=\"after\" val=\"2\" type=\"Number\"><object label=\"E2\" id=\"6002\" external=\"\"/></data>\n"
    "\t<title label=\"t\"><data label=\"deep\" val=\"Ha\" type=\"Product\"/></title>\n"
    "</object>\n",
    // An external root: everything below is plain.
    "<object label=\"Ext\" id=\"6000\" external=\"x\"><object label=\"a\" id=\"1\"><data label=\"b\"/></object></object>",
    // Comments and CDATA between elements, repeated attributes (the last value kept), text.
    "<object label=\"o\" id=\"1\" label=\"again\"><!-- a comment --><data label=\"d\" val=\"v\" type=\"Text\">t</data>"
    "<![CDATA[ skipped ]]><data label=\"e\"/></object>",
    // One empty element.
    "<data label=\"only\" val=\"1\" type=\"Number\"/>",
};

}  // namespace

// A load builds the items while reading; it must make exactly what converting the whole parse tree
// makes, for text and for files (which keep element text).
TEST(xmc_item_test, a_streamed_load_makes_what_the_parse_tree_makes) {
  test_support_n::temp_dir_c dir;
  int n = 0;
  for (const char* body : k_streamed_documents) {
    const std::string text = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + body;
    SCOPED_TRACE(body);
    for (bool from_file : {false, true}) {
      SCOPED_TRACE(from_file ? "file" : "text");
      const std::string path = dir.file("doc" + std::to_string(++n) + ".xml");
      test_support_n::write_text_file(path, text);
      mixed_xmc_xml_tree_c streamed, converted;
      xml_document_c doc;
      if (from_file) {
        ASSERT_TRUE(streamed.load(path.c_str()));
        ASSERT_TRUE(doc.load(path.c_str()));
      } else {
        ASSERT_TRUE(streamed.load_from_str(text.c_str()));
        ASSERT_TRUE(doc.load_from_str(text.c_str()));
      }
      converted.from_document(doc);
      EXPECT_TRUE(streamed.is_equal(converted));
      expect_same_items(streamed.root, converted.root);
      EXPECT_EQ(written(streamed), written(converted));
      EXPECT_STREQ(streamed.encoding(), "UTF-8");
    }
  }
}

// A load that fails half-way keeps nothing of what it read (the sanitizer build sees any leak) and
// leaves the tree as it was.
TEST(xmc_item_test, a_failed_load_leaves_the_tree_as_it_was) {
  const char* const broken[] = {
      "<object label=\"a\" id=\"1\"><data label=\"b\"><object label=\"c\" id=\"2\" external=\"1\"><x/>",  // never closed
      "<object label=\"a\" id=\"1\"><data label=\"b\"></object>",                                     // wrong end tag
      "<object label=\"a\" id=\"1\"><data 9bad=\"b\"/></object>",                                      // a bad name
      "<object label=\"a\" id=\"1\" external=\"1\"><p><q r=\"unterminated/></p></object>",
  };
  for (const char* body : broken) {
    SCOPED_TRACE(body);
    mixed_xmc_xml_tree_c tree;
    load(tree, "<object label=\"kept\" id=\"7\"><data label=\"d\" val=\"1\" type=\"Number\"/></object>");
    const std::string before = written(tree);
    EXPECT_FALSE(tree.load_from_str((std::string("<?xml version=\"1.0\"?>\n") + body).c_str()));
    EXPECT_EQ(written(tree), before);
  }
  std::string deep = "<?xml version=\"1.0\"?>\n";
  for (int i = 0; i < 5000; ++i) deep += "<object label=\"n\" id=\"1\">";
  mixed_xmc_xml_tree_c tree;
  EXPECT_FALSE(tree.load_from_str(deep.c_str()));
  EXPECT_EQ(tree.root, nullptr);
}

TEST(xmc_item_test, the_template_streamed_is_the_template_converted) {
  utl_stream_c joined;
  const char* text = generic_template_n::join(joined);
  mixed_xmc_xml_tree_c streamed, converted;
  xml_document_c doc;
  ASSERT_TRUE(streamed.load_from_str(text));
  ASSERT_TRUE(doc.load_from_str(text));
  converted.from_document(doc);
  EXPECT_TRUE(streamed.is_equal(converted));
  expect_same_items(streamed.root, converted.root);
}

// A tree read into an arena (as the configurator reads its template) holds what a tree read onto
// the heap holds, items and plain content alike; its items are configuration items to every walk;
// it takes edits (texts longer than a value keeps inside, new attributes, removed subtrees); and
// copies of it are the caller's own, alive after the tree and the arena are gone (the sanitizer
// build sees any item or attribute freed that the arena holds, or memory used after it went).
TEST(xmc_item_test, a_tree_read_into_an_arena_holds_what_a_heap_read_holds) {
  utl_stream_c joined;
  std::vector<std::string> texts;
  for (const char* body : k_streamed_documents) texts.push_back(std::string("<?xml version=\"1.0\"?>\n") + body);
  texts.push_back(generic_template_n::join(joined));
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 80));
    std::unique_ptr<xmc_item_c> copy;
    std::string before;
    {
      auto arena = std::make_unique<bulk_arena_c>();
      mixed_xmc_xml_tree_c in_arena, on_heap;
      in_arena.read_into(arena.get());
      ASSERT_TRUE(in_arena.load_from_str(text.c_str()));
      ASSERT_TRUE(on_heap.load_from_str(text.c_str()));
      in_arena.read_into(nullptr);
      EXPECT_GT(arena->reserved(), 0u);
      EXPECT_TRUE(in_arena.is_equal(on_heap));
      expect_same_items(in_arena.root, on_heap.root);
      EXPECT_EQ(written(in_arena), written(on_heap));
      size_t typed = 0, typed_on_heap = 0;
      for (xml_item_c* at = in_arena.root; at != nullptr; at = xmc_item_c::walk_next(at, in_arena.root, xmc_item_c::enters(at))) {
        typed += xmc_item_c::cast(at) != nullptr ? 1 : 0;
      }
      for (xml_item_c* at = on_heap.root; at != nullptr; at = xmc_item_c::walk_next(at, on_heap.root, xmc_item_c::enters(at))) {
        typed_on_heap += xmc_item_c::cast(at) != nullptr ? 1 : 0;
      }
      EXPECT_EQ(typed, typed_on_heap);
      EXPECT_GT(typed, 0u);

      // Edits of both trees alike keep them alike.
      for (mixed_xmc_xml_tree_c* tree : {&in_arena, &on_heap}) {
        xmc_item_c* root = tree->root;
        ASSERT_NE(root, nullptr);
        root->set_attr("label", "a label far longer than the sixteen bytes a value keeps inside");
        root->set_attr("added", 12345);
        xmc_item_c* first = xmc_item_c::cast(root->first_item());
        if (first != nullptr) tree->remove(first);
      }
      EXPECT_TRUE(in_arena.is_equal(on_heap));
      EXPECT_EQ(written(in_arena), written(on_heap));
      before = written(in_arena);
      copy.reset(new xmc_item_c(*in_arena.root, true));
    }
    // The tree and then the arena are gone; the copy is whole.
    mixed_xmc_xml_tree_c again;
    again.attach(copy.release(), nullptr, true);
    EXPECT_EQ(written(again), before);
  }
}
