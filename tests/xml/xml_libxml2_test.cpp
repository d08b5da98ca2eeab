// What our writer produces, read back by an independent reader (libxml2): the same elements,
// attributes and texts.
#include "xml/xml_doc.h"
#include "xml/xml_tree.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <string>

using namespace test_support_n;

namespace {

std::string xml_string(const xmlChar* s) { return s == nullptr ? std::string() : reinterpret_cast<const char*>(s); }

// Our item and libxml2's element must agree on name, attributes (in order), text and children.
void expect_same(const xml_item_c* item, xmlNodePtr element) {
  ASSERT_NE(element, nullptr);
  SCOPED_TRACE(item->name());
  EXPECT_EQ(xml_string(element->name), item->name());
  size_t index = 0;
  for (xmlAttrPtr a = element->properties; a != nullptr; a = a->next, ++index) {
    labeled_value_c* ours = item->get_attr(index);
    ASSERT_NE(ours, nullptr) << "libxml2 sees more attributes";
    EXPECT_EQ(xml_string(a->name), ours->label());
    xmlChar* value = xmlNodeListGetString(element->doc, a->children, 1);
    EXPECT_EQ(xml_string(value), ours->as_string());
    xmlFree(value);
  }
  EXPECT_EQ(index, item->attr_count());
  const xml_item_c* child = item->first_item();
  std::string text;
  for (xmlNodePtr n = element->children; n != nullptr; n = n->next) {
    if (n->type == XML_TEXT_NODE) {
      xmlChar* content = xmlNodeGetContent(n);
      std::string piece = xml_string(content);
      xmlFree(content);
      if (piece.find_first_not_of(" \t\r\n") != std::string::npos) text += piece;
      continue;
    }
    if (n->type != XML_ELEMENT_NODE) continue;
    ASSERT_NE(child, nullptr) << "libxml2 sees more children";
    expect_same(child, n);
    child = child->next_item();
  }
  EXPECT_EQ(child, nullptr) << "libxml2 sees fewer children";
  EXPECT_EQ(text, item->text() == nullptr ? "" : item->text());
}

TEST(xml_against_libxml2, written_documents_read_the_same_elsewhere) {
  temp_dir_c dir;
  xml_tree_c tree;
  tree.set_version("1.0");
  tree.set_encoding("UTF-8");
  xml_item_c* root = new xml_item_c("stats_saver");
  ASSERT_TRUE(tree.attach(root, nullptr, true));
  root->set_attr("ScenarioID", 5u);
  root->set_attr("Tricky", "a<b>c&d\"e'f");
  root->set_attr("Empty", "");
  xml_item_c* host = xml_item_c::add_child("host", root);
  host->set_attr("Name", "O'Brien & \"Sons\" <ltd>");
  host->set_attr("On", true);
  host->set_attr("Negative", -42);
  xml_item_c* note = xml_item_c::add_child("note", host);
  note->set_text("x < y && z > \"q\" 'r'");
  xml_item_c* deep = xml_item_c::add_child("deep", xml_item_c::add_child("level1", root));
  deep->set_attr("utf8", "\xc3\xa9t\xc3\xa9 \xe2\x82\xac");
  xml_item_c::add_child("empty", root);

  std::string path = dir.file("written.xml");
  ASSERT_TRUE(tree.save_to_file(path.c_str()));
  xmlDocPtr doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
  ASSERT_NE(doc, nullptr) << read_text_file(path);
  expect_same(root, xmlDocGetRootElement(doc));
  EXPECT_EQ(xml_string(doc->encoding), "UTF-8");
  xmlFreeDoc(doc);

  // And the other way round: our reader loads what we wrote to the same tree.
  xml_tree_c again;
  ASSERT_TRUE(again.load(path.c_str()));
  EXPECT_TRUE(again.is_equal(tree));
}

}  // namespace
