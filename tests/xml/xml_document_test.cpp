// Reading XML text into a document, the name check, the escaping, and the written line form.
#include "file/file.h"
#include "xml/xml_doc.h"
#include "xml/xml_reader.h"
#include "xml/xml_source_map.h"
#include "xml/xml_tree.h"

#include "support/temp_dir.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <pthread.h>
#endif

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace test_support_n;

namespace {

const char* k_declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// Sets the reader's one-pass reads for as long as it lives and gives them back the setting it
// found, however the scope ends (a failed ASSERT returns from the test, an exception unwinds it):
// a test that turns them off cannot leave them off for the tests after it.
class one_pass_reads_c {
 public:
  explicit one_pass_reads_c(bool on) : m_was(xml_base_reader_c::one_pass_reads()) {
    xml_base_reader_c::set_one_pass_reads(on);
  }
  ~one_pass_reads_c() { xml_base_reader_c::set_one_pass_reads(m_was); }
  one_pass_reads_c(const one_pass_reads_c&) = delete;
  one_pass_reads_c& operator=(const one_pass_reads_c&) = delete;

 private:
  const bool m_was;
};

// Loads the same bytes with the reader's one-pass reads and token by token; both must answer read.
void load_both_ways(const std::string& text, xml_document_c& one_pass, xml_document_c& by_tokens, bool read) {
  EXPECT_EQ(one_pass.load_bytes(text.data(), text.size()), read);
  one_pass_reads_c token_reads(false);
  EXPECT_EQ(by_tokens.load_bytes(text.data(), text.size()), read);
}

// The setting comes back at the end of the guard's scope whatever ends it, an early return as a
// failed ASSERT makes included, and guards inside guards give back the setting each found.
TEST(one_pass_reads_guard, gives_the_setting_back_however_its_scope_ends) {
  ASSERT_TRUE(xml_base_reader_c::one_pass_reads());
  auto returns_early = [](bool on) {
    one_pass_reads_c set(on);
    if (xml_base_reader_c::one_pass_reads() == on) return;  // (as a failed ASSERT returns)
    ADD_FAILURE() << "the guard did not set " << on;
  };
  returns_early(false);
  EXPECT_TRUE(xml_base_reader_c::one_pass_reads());
  try {
    one_pass_reads_c off(false);
    throw std::runtime_error("unwound");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(xml_base_reader_c::one_pass_reads());
  {
    one_pass_reads_c off(false);
    {
      one_pass_reads_c on(true);
      EXPECT_TRUE(xml_base_reader_c::one_pass_reads());
    }
    EXPECT_FALSE(xml_base_reader_c::one_pass_reads());
    returns_early(true);
    EXPECT_FALSE(xml_base_reader_c::one_pass_reads());
  }
  EXPECT_TRUE(xml_base_reader_c::one_pass_reads());
}

class xml_document_test : public temp_dir_test {
 protected:
  // Loads text from a file (element text kept).
  bool load(xml_document_c& doc, const std::string& text) {
    std::string path = m_dir.file("doc" + std::to_string(++m_files) + ".xml");
    write_text_file(path, text);
    return doc.load(path.c_str());
  }
  std::string written(xml_document_c& doc) {
    utl_stream_c out;
    doc.write_to_stream(nullptr, out, true);
    return out.c_str();
  }
  int m_files = 0;
  trace_reset_c m_trace;
};

TEST_F(xml_document_test, declarations_accepted_and_refused) {
  struct declaration_case_s {
    const char* text;
    bool loads;
  } cases[] = {
      {"<?xml version=\"1.0\"?><a/>", true},
      {"<?xml encoding=\"UTF-8\" version=\"1.0\"?><a/>", true},
      {"<?xml version=\"1.0\" standalone=\"no\"?><a/>", true},
      {"<?xml encoding=\"UTF-8\"?><a/>", false},           // no version
      {"<?xml version='1.0'?><a/>", false},                // single quotes
      {"<?xml version = \"1.0\"?><a/>", false},            // blanks round '='
      {"<?xml version=\"1.0\" other=\"x\"?><a/>", false},  // unknown attribute
      {"<?xml2 version=\"1.0\"?><a/>", false},
      {"<?xml?><a/>", false},
      {"", false},
  };
  for (const declaration_case_s& c : cases) {
    SCOPED_TRACE(c.text);
    xml_document_c doc;
    EXPECT_EQ(doc.load_from_str(c.text), c.loads);
  }
}

TEST_F(xml_document_test, elements_attributes_and_text_as_read_from_a_file) {
  struct parse_case_s {
    const char* body;
    bool loads;
    const char* rewritten;  // the document written back, without its declaration
  } cases[] = {
      {"<a b=\"1\"/>", true, "<a b=\"1\"/>\n"},
      {"<a\r\nb=\"1\"\nc=\"x y\"></a>", true, "<a b=\"1\" c=\"x y\"/>\n"},  // a start tag over lines
      {"<a>  x &amp; y  </a>", true, "<a>x &amp; y</a>\n"},
      {"<a>x<b/></a>", true, "<a>x</a>\n\t<b/>\n"},  // text, then one more read: b; the rest unread
      {"<r><a/>x</r>", true, "<r>\n\t<a>x</a>\n</r>\n"},
      {"<r><a>x<b/></a></r>", false, nullptr},
      {"<a></b>", false, nullptr},
      {"<r><!-- x -- y --><a/></r>", true, "<r>\n\t<a/>\n</r>\n"},
      {"<r><!-- x > y --><a/></r>", false, nullptr},
      {"<r><![CDATA[ignored]]><a/></r>", true, "<r>\n\t<a/>\n</r>\n"},
      {"<r><![CDATA[]></r>", false, nullptr},
      {"<a b='1'/>", false, nullptr},
      {"<1a/>", false, nullptr},
      {"<a 1b=\"x\"/>", false, nullptr},
      {"<a b=\"x\"", false, nullptr},
      {"</a>", false, nullptr},
      {"<a>&lt;&QUOT;&apos;&#38;&gt;</a>", true, "<a>&lt;&quot;&amp;apos;&amp;#38;&gt;</a>\n"},
      // Attribute values: entities read back (the value written again escaped), '=' and blanks kept,
      // an empty value, a second value right after the quote, a quote never closed.
      {"<a b=\"x&amp;y&LT;\" c=\"1=2 3\"/>", true, "<a b=\"x&amp;y&lt;\" c=\"1=2 3\"/>\n"},
      {"<a b=\"\"c=\"&quot;\"/>", true, "<a b=\"\" c=\"&quot;\"/>\n"},
      {"<a b=\"&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;\"/>", true,
       "<a b=\"&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;&amp;\"/>\n"},
      {"<a b=\"x c=\"y\"/>", false, nullptr},
      {"<a b=\"unclosed/>", false, nullptr},
  };
  for (const parse_case_s& c : cases) {
    SCOPED_TRACE(c.body);
    xml_document_c doc;
    bool loaded = load(doc, std::string(k_declaration) + c.body);
    EXPECT_EQ(loaded, c.loads);
    if (!loaded || c.rewritten == nullptr) continue;
    std::string text = written(doc);
    EXPECT_EQ(text.substr(text.find('\n') + 1), c.rewritten);
  }
}

// A file is read in chunks (4 KiB, then 64 KiB each): a text that ends where a chunk ends, so that
// the '<' after it (read, given back, read again) is the first or last byte of a chunk, loads as any
// other.
TEST_F(xml_document_test, texts_and_tags_across_the_reading_chunks) {
  const std::string head = std::string(k_declaration) + "<r><a>";
  for (size_t border : {4096u, 4096u + 65536u, 4096u + 2u * 65536u}) {
    for (long shift = -2; shift <= 2; ++shift) {
      const size_t lt = static_cast<size_t>(static_cast<long>(border) + shift);  // where "</a>" begins
      SCOPED_TRACE(lt);
      const std::string text(lt - head.size(), 'x');
      xml_document_c doc;
      ASSERT_TRUE(load(doc, head + text + "</a><b c=\"1\"/></r>\n"));
      const std::string out = written(doc);
      EXPECT_NE(out.find("<a>" + text + "</a>"), std::string::npos);
      EXPECT_NE(out.find("<b c=\"1\"/>"), std::string::npos);
    }
  }
}

TEST_F(xml_document_test, a_byte_order_mark_before_the_first_tag_is_ignored) {
  xml_document_c doc;
  ASSERT_TRUE(load(doc, std::string("\xEF\xBB\xBF") + k_declaration + "<a/>"));
  EXPECT_STREQ(doc.encoding(), "UTF-8");
  EXPECT_STREQ(doc.root()->name, "a");
}

TEST_F(xml_document_test, a_kept_text_and_its_node_kind) {
  xml_document_c doc;
  ASSERT_TRUE(load(doc, std::string(k_declaration) + "<r><a/>x</r>"));
  xml_node_c* a = doc.root()->first_node();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->kind, static_cast<uint32_t>(xml_node_c::TEXT_ELEMENT));
  EXPECT_STREQ(a->text.c_str(), "x");
  EXPECT_TRUE(a->closed);
  EXPECT_EQ(doc.root()->kind, static_cast<uint32_t>(xml_node_c::ELEMENT));
  EXPECT_TRUE(doc.root()->closed);
}

TEST_F(xml_document_test, a_string_load_keeps_elements_and_attributes_but_no_text) {
  xml_document_c doc;
  ASSERT_TRUE(doc.load_from_str("<?xml version=\"1.0\"?><r k=\"v\"><a>text</a><b/></r>"));
  EXPECT_EQ(written(doc), "<?xml version=\"1.0\"?>\n<r k=\"v\">\n\t<a/>\n\t<b/>\n</r>\n");
  EXPECT_EQ(doc.xml_file(), nullptr);
  zqtr_capture_c capture;
  EXPECT_FALSE(doc.load_from_str(""));
  EXPECT_FALSE(doc.load_from_str(nullptr));
  EXPECT_TRUE(capture.texts().empty());
}

TEST_F(xml_document_test, failures_say_what_failed) {
  zqtr_capture_c capture;
  xml_document_c doc;
  EXPECT_FALSE(doc.load_from_str("<?xml version=\"1.0\"?><a></b>"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Can not parse XML string, \n<?xml version=\"1.0\"?><a></b>"));
  EXPECT_FALSE(doc.load_from_str("<a/>"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Error in DECLARATION header of XML string"));
  // A text the reader takes over says the same, with its text.
  utl_stream_c taken;
  taken << "<?xml version=\"1.0\"?><c></d>";
  EXPECT_FALSE(doc.load_from_taken_text(taken, nullptr));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Can not parse XML string, \n<?xml version=\"1.0\"?><c></d>"));
  EXPECT_EQ(taken.length(), 0u);
  EXPECT_FALSE(doc.load_from_taken_text(taken, nullptr));  // nothing left to read
  EXPECT_FALSE(load(doc, std::string(k_declaration) + "<a></b>"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Can not parse XML file"));
  EXPECT_FALSE(load(doc, "<a/>"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Error in DECLARATION header of XML file"));
  std::string missing = m_dir.file("missing.xml");
  EXPECT_FALSE(doc.load(missing.c_str()));
  bool open_message = false;
  for (const std::string& t : capture.texts()) open_message |= t.rfind("Can not open XML file " + missing + " (", 0) == 0;
  EXPECT_TRUE(open_message);
}

// A refused document says where (line and column from 1, a column counting characters) and why,
// the same from a file, from bytes and from a string, and in the trace log with the file's name.
TEST_F(xml_document_test, a_refused_document_says_where_and_why) {
  const struct {
    const char* text;
    const char* problem;
  } cases[] = {
      {"<?xml version='1.0' encoding='utf-8'?>\n<a/>", "line 1, column 15: attribute values and the declaration take double quotes"},
      {"<?xml version=\"1.0\"?>\n<a>\n  <b x='1'/>\n</a>", "line 3, column 8: attribute values and the declaration take double quotes"},
      {"<?xml version=\"1.0\"?>\n<!DOCTYPE a>\n<a/>", "line 2, column 1: a DOCTYPE, which this reader does not read"},
      {"<?xml version=\"1.0\"?>\n<a>\n<?pi x?>\n</a>", "line 3, column 1: a processing instruction, which this reader does not read"},
      {"<?xml version=\"1.0\"?>\n<a>\n\t<b>x</c>\n</a>", "line 3, column 6: the end tag </c> does not close <b>"},
      {"<?xml version=\"1.0\"?>\n<a>\n<b/>", "line 3, column 5: the input ends before the end tag </a>"},
      {"<?xml version=\"1.0\"?>\n<a x=\"1\"", "line 2, column 9: the input ends inside a tag (no '>' after its '<')"},
      {"<?xml version=\"1.0\"?>\n<a>\n<!-- a > b -->\n</a>",
       "line 3, column 1: a comment that holds '>' or does not end in \"-->\" (a tag ends at its first '>')"},
      {"<?xml version=\"1.0\"?>\n<a t=\"\xc3\xa9\xe2\x82\xac\" u='1'/>", "line 2, column 13: attribute values and the declaration take double quotes"},
      {"<?xml version=\"1.0\"?>\r\n<a>\r\n<!DOCTYPE a>\r\n</a>", "line 3, column 1: a DOCTYPE, which this reader does not read"},
      {"<?xml version=\"1.0\" x?>\n<a/>", "line 1, column 21: the XML declaration does not end in \"?>\""},
      {"<a/>", "line 1, column 1: the document does not begin with the XML declaration <?xml version=\"1.0\"?>"},
      {"<?xml version=\"1.0\"?>\n<a><1b/></a>", "line 2, column 5: <1b> has no element name this reader takes (a letter or '_', then letters, digits and _ - . : [ ])"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    zqtr_capture_c capture;
    xml_document_c from_file;
    const std::string path = m_dir.file("refused" + std::to_string(++m_files) + ".xml");
    write_text_file(path, c.text);
    EXPECT_FALSE(from_file.load(path.c_str()));
    EXPECT_EQ(from_file.load_problem().text(), c.problem);
    EXPECT_TRUE(capture.has(ZQTR_FAIL, path + ", " + c.problem));
    xml_document_c from_bytes;
    EXPECT_FALSE(from_bytes.load_bytes(c.text, std::strlen(c.text)));
    EXPECT_EQ(from_bytes.load_problem().text(), c.problem);
    xml_document_c from_string;
    EXPECT_FALSE(from_string.load_from_str(c.text));
    EXPECT_EQ(from_string.load_problem().text(), c.problem);
  }
  // A UTF-16 text, with its byte order mark or without, is named as one, from a file and from bytes.
  const std::string utf16_problem = "line 1, column 1: the text is UTF-16, which this reader does not read (it reads UTF-8)";
  const struct {
    const char* what;
    std::string text;
  } utf16_cases[] = {
      {"little-endian with its mark", std::string("\xFF\xFE<\0?\0x\0m\0l\0 \0", 12)},
      {"big-endian with its mark", std::string("\xFE\xFF\0<\0?\0x\0m\0l\0 ", 12)},
      {"little-endian unmarked", std::string("<\0?\0x\0m\0l\0 \0v\0", 12)},
      {"big-endian unmarked", std::string("\0<\0?\0x\0m\0l\0 \0v", 12)},
  };
  for (const auto& c : utf16_cases) {
    SCOPED_TRACE(c.what);
    const std::string path = m_dir.file("utf16-" + std::to_string(++m_files) + ".xml");
    write_text_file(path, c.text);
    xml_document_c from_file;
    EXPECT_FALSE(from_file.load(path.c_str()));
    EXPECT_EQ(from_file.load_problem().text(), utf16_problem);
    xml_document_c from_bytes;
    EXPECT_FALSE(from_bytes.load_bytes(c.text.data(), c.text.size()));
    EXPECT_EQ(from_bytes.load_problem().text(), utf16_problem);
  }
  // Nesting over the limit: the place of the first element too deep.
  std::string deep = "<?xml version=\"1.0\"?>\n";
  for (unsigned i = 0; i <= xml_document_c::k_max_depth; ++i) deep += "<a>";
  xml_document_c doc;
  EXPECT_FALSE(doc.load_bytes(deep.data(), deep.size()));
  EXPECT_EQ(doc.load_problem().text(), "line 2, column " + std::to_string(3 * xml_document_c::k_max_depth + 1) +
                                           ": elements are nested deeper than " + std::to_string(xml_document_c::k_max_depth) +
                                           " levels");
  // A document that reads has no problem, after one that did not.
  EXPECT_TRUE(doc.load_bytes("<?xml version=\"1.0\"?><a/>", 25));
  EXPECT_FALSE(doc.load_problem().set);
}

// The reason is the system's own error of the open, on every target (the runtime's errno is never
// set by the system's file services on Windows).
TEST_F(xml_document_test, a_failed_open_names_the_system_error) {
  struct case_s {
    std::string path;
    const char* code;
  };
  write_text_file(m_dir.file("file"), "x");
  const case_s cases[] = {
      {m_dir.file("missing.xml"), "(2))"},
      {m_dir.file("no_such_dir/x.xml"), "(3))"},
      {m_dir.file("file/x.xml"), "(3))"},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.path);
    zqtr_capture_c capture;
    xml_document_c doc;
    EXPECT_FALSE(doc.load(c.path.c_str()));
    std::string line;
    for (const std::string& t : capture.texts()) {
      if (t.rfind("Can not open XML file " + c.path + " (", 0) == 0) line = t;
    }
    ASSERT_FALSE(line.empty());
    EXPECT_NE(line.find(c.code), std::string::npos) << line;
    EXPECT_EQ(line.find("No such file or directory"), std::string::npos) << line;
  }
}

// The tag buffer grows in proportion to the largest tag, and each tag clears only what the one before
// it used: a huge comment followed by many small tags costs its size once, not once per tag.
TEST_F(xml_document_test, a_huge_tag_is_paid_for_once) {
  std::string text = "<!--" + std::string(300000, 'c') + "--><a/><b/>";
  xml_stream_reader_c reader(nullptr, text.c_str());
  ASSERT_TRUE(reader.read_tag());
  EXPECT_EQ(reader.tag_used(), 300000u + 5u + 1u);  // "!--", the comment, "--", the end
  EXPECT_EQ(reader.tag_capacity(), 512u << 10);  // doubled from 512 bytes: ten reallocations
  ASSERT_TRUE(reader.read_tag());
  EXPECT_STREQ(reader.tag(), "a/");
  EXPECT_EQ(reader.tag_used(), 3u);
  // Nothing of the comment is left behind the new tag's end.
  const std::string rest(reader.tag() + 3, reader.tag() + 300000);
  EXPECT_EQ(rest.find_first_not_of('\0'), std::string::npos);
  ASSERT_TRUE(reader.read_tag());
  EXPECT_STREQ(reader.tag(), "b/");
}

// NUL bytes are no text: an element whose text is only NULs has none, and a written document loads
// back to the same written form.
TEST_F(xml_document_test, nul_bytes_in_text_are_dropped) {
  struct case_s {
    std::string body;
    const char* written;
  };
  const case_s cases[] = {
      {std::string("<r>\0\0\0</r>", 10), "<r/>\n"},
      {std::string("<r>\0x\0y</r>", 11), "<r>xy</r>\n"},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.written);
    const std::string path = m_dir.file("zeros.xml");  // not "nul": a device name on Windows
    write_text_file(path, "<?xml version=\"1.0\"?>" + c.body);
    xml_document_c doc;
    ASSERT_TRUE(doc.load(path.c_str()));
    utl_stream_c out;
    doc.write_to_stream(nullptr, out, false);
    EXPECT_STREQ(out.c_str(), c.written);
  }
}

TEST_F(xml_document_test, names_refused_and_accepted) {
  struct name_case_s {
    const char* name;
    bool valid;
  } cases[] = {{"a", true},      {"_x", true},   {"a-b.c:d[1]", true}, {"A9", true}, {"9a", false},
               {"a b", false},   {"a/b", false}, {"-a", false},        {"é", false}};
  for (const name_case_s& c : cases) {
    SCOPED_TRACE(c.name);
    zqtr_capture_c capture;
    EXPECT_EQ(xml_document_c::validate_xml_name(c.name), c.valid);
    EXPECT_EQ(capture.has(ZQTR_FAIL, std::string("Invalid XML name ") + c.name), !c.valid);
  }
  zqtr_capture_c capture;
  EXPECT_FALSE(xml_document_c::validate_xml_name(""));
  EXPECT_FALSE(xml_document_c::validate_xml_name(nullptr));
  EXPECT_TRUE(capture.texts().empty());
}

TEST_F(xml_document_test, escaping_both_ways) {
  xml_special_characters_c translator;
  EXPECT_STREQ(translator.translate_to_xml("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c'");
  EXPECT_EQ(translator.translate_to_xml(""), nullptr);
  EXPECT_EQ(translator.translate_to_xml(nullptr), nullptr);
  struct unescape_case_s {
    const char* in;
    const char* out;
  } cases[] = {{"&AMP;&Lt;", "&<"},       {"&apos;", "&apos;"}, {"&#38;", "&#38;"}, {"&;", "&;"},
               {"&toolong;", "&toolong;"}, {"a&amp", "a&amp"},   {"", ""},           {"&quot;&gt;", "\">"},
               {"no entity <here>", "no entity <here>"}};
  for (const unescape_case_s& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_STREQ(translator.translate_from_xml(c.in), c.out);
    // The form that is given the length says the result's.
    size_t length = std::strlen(c.in);
    EXPECT_STREQ(translator.translate_from_xml(c.in, length), c.out);
    EXPECT_EQ(length, std::strlen(c.out));
  }
  // Long texts outgrow the inline buffer.
  std::string many(3000, '&');
  std::string escaped = translator.translate_to_xml(many.c_str());
  EXPECT_EQ(escaped.size(), many.size() * 5);
  EXPECT_EQ(translator.translate_from_xml(escaped.c_str()), many);
}

TEST_F(xml_document_test, the_line_form_of_a_stored_document) {
  xml_document_c doc;
  ASSERT_TRUE(load(doc, "<?xml version=\"1.0\" standalone=\"no\"?>\n"
                        "<stats_saver ScenarioID=\"5\"><host HostIndex=\"1\"/><name k=\"kept\">a &amp; b</name>"
                        "<deep><deeper/></deep></stats_saver>"));
  EXPECT_FALSE(doc.standalone());
  std::string path = m_dir.file("stored.xml");
  FILE_c file;
  ASSERT_TRUE(file.open(path.c_str(), "w", nullptr, 0));
  EXPECT_TRUE(doc.store(&file));
  ASSERT_TRUE(file.close());
  EXPECT_EQ(read_text_file(path),
            "<?xml version=\"1.0\" standalone=\"no\"?>\n"
            "<stats_saver ScenarioID=\"5\">\n"
            "\t<host HostIndex=\"1\"/>\n"
            "\t<name k=\"kept\">a &amp; b</name>\n"
            "\t<deep>\n"
            "\t\t<deeper/>\n"
            "\t</deep>\n"
            "</stats_saver>\n");
  xml_document_c fresh;
  fresh.set_version("1.0");
  fresh.set_style_sheet("s.xsl");
  utl_stream_c out;
  fresh.write_declaration(out);
  EXPECT_STREQ(out.c_str(), "<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"s.xsl\"?>\n");
}

TEST_F(xml_document_test, a_second_load_replaces_the_tree) {
  xml_document_c doc;
  ASSERT_TRUE(load(doc, std::string(k_declaration) + "<first><x/></first>"));
  ASSERT_TRUE(load(doc, std::string(k_declaration) + "<second/>"));
  EXPECT_STREQ(doc.root()->name, "second");
  EXPECT_EQ(doc.root()->first_child, nullptr);
}

// A read tree lives in its document's arena; every edit the parse tree allows still works on it,
// and what the edits take from the heap is freed with the document (the sanitizer build sees a
// bad free or a leak otherwise).
TEST_F(xml_document_test, a_read_tree_takes_every_edit_and_goes_with_its_document) {
  xml_document_c doc;
  ASSERT_TRUE(load(doc, std::string(k_declaration) + "<root a=\"1\" bb=\"22\"><child c=\"3\">text</child><empty/></root>"));
  xml_node_c* root = doc.root();
  ASSERT_NE(root, nullptr);
  xml_node_c* child = root->first_node();
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(arena_placeable_c::in_arena(root));
  EXPECT_TRUE(arena_placeable_c::in_arena(root->attributes));
  EXPECT_TRUE(arena_placeable_c::in_arena(root->attributes->first()));

  // Names: shorter, longer, none, then again.
  root->set_name("r");
  EXPECT_STREQ(root->name, "r");
  root->set_name("a_much_longer_root_name");
  EXPECT_STREQ(root->name, "a_much_longer_root_name");
  child->set_name(nullptr);
  EXPECT_EQ(child->name, nullptr);
  child->set_name("child");

  // Attributes: values and names shorter and longer, a name taken away, more attributes added.
  xml_attr_c* a = root->attributes->first();
  a->set_value("a value longer than the one read");
  EXPECT_STREQ(a->value(), "a value longer than the one read");
  a->set_value("x");
  EXPECT_STREQ(a->value(), "x");
  a->set_name("a_longer_name");
  EXPECT_STREQ(a->name(), "a_longer_name");
  xml_attr_c* bb = root->attributes->next();
  bb->set_value(nullptr);
  EXPECT_EQ(bb->value(), nullptr);
  bb->set_name(nullptr);
  EXPECT_EQ(bb->name(), nullptr);
  root->add_attr("added", "after the read");
  child->first_node();
  xml_node_c* empty = child->next_node();
  ASSERT_NE(empty, nullptr);
  empty->add_attr("first", "on a node read without attributes");
  EXPECT_STREQ(empty->attributes->first()->value(), "on a node read without attributes");

  // Text, a heap node among the read ones, a copy over a read node, a list emptied.
  child->text << " and more";
  EXPECT_STREQ(child->text.c_str(), "text and more");
  xml_node_c* made = new xml_node_c("made");
  made->add_attr("k", "v");
  ASSERT_TRUE(doc.add_node(made, root));
  EXPECT_FALSE(arena_placeable_c::in_arena(made));
  empty->assign(*made);
  EXPECT_STREQ(empty->name, "made");
  EXPECT_FALSE(arena_placeable_c::in_arena(empty->attributes));
  child->attributes->clear();
  EXPECT_EQ(child->attributes->count(), 0u);

  EXPECT_EQ(written(doc),
            std::string(k_declaration) +
                "<a_much_longer_root_name a_longer_name=\"x\" =\"\" added=\"after the read\">\n"
                "\t<child>text and more</child>\n"
                "\t<made k=\"v\"/>\n"
                "\t<made k=\"v\"/>\n"
                "</a_much_longer_root_name>\n");

  // A new root replaces the read tree (its nodes are destroyed, their memory stays till the end).
  ASSERT_TRUE(doc.add_node(new xml_node_c("other"), nullptr));
  EXPECT_STREQ(doc.root()->name, "other");
}

// A node of the document's own that counts its destructor's runs.
class counted_node_c : public xml_node_c {
 public:
  counted_node_c(const char* name, int& ended) : xml_node_c(name), m_ended(ended) {}
  ~counted_node_c() override { ++m_ended; }

 private:
  int& m_ended;
};

// A document ends the nodes it read with its arena, running a node's destructor only when the node
// owns something outside the arena: each edit below makes the node it touches one that does (and
// nothing else), heap nodes among the read ones are deleted, children first, and the leak check of
// the sanitizer build finds every edit's memory freed.
TEST_F(xml_document_test, a_read_tree_goes_with_its_arena_unless_a_node_owns_more) {
  const std::string text = std::string(k_declaration) +
                           "<root a=\"1\"><p x=\"&amp;\" y=\"2\"><q z=\"3\"/></p><r/><s t=\"4\">text</s></root>";
  struct edit_s {
    const char* what;
    // The edit of the element named target; its written form afterwards.
    const char* target;
    std::function<void(xml_node_c*)> edit;
    bool owns_more;
    const char* written;
  };
  const edit_s edits[] = {
      {"a name set anew", "q", [](xml_node_c* n) { n->set_name("renamed"); }, true, "<renamed z=\"3\"/>"},
      {"a name taken away", "q", [](xml_node_c* n) { n->set_name(nullptr); }, true, "< z=\"3\"/>"},
      {"a value set anew", "p", [](xml_node_c* n) {
         n->attributes->first();
         n->attributes->next()->set_value("22");
       }, true,
       "<p x=\"&amp;\" y=\"22\">"},
      {"a name of an attribute set anew", "p", [](xml_node_c* n) { n->attributes->first()->set_name("xx"); }, true,
       "<p xx=\"&amp;\" y=\"2\">"},
      {"an attribute added in the arena", "r", [](xml_node_c* n) { n->add_attr("u", "5"); }, false, "<r u=\"5\"/>"},
      {"an attribute of the heap appended", "r",
       [](xml_node_c* n) {
         n->add_attr("u", "5");
         xml_attr_c* own = new xml_attr_c;
         own->set_name("w");
         own->set_value("6");
         n->attributes->append(own);
       },
       true, "<r u=\"5\" w=\"6\"/>"},
      {"the attributes copied from a heap node", "r",
       [](xml_node_c* n) {
         xml_node_c source("r");
         source.add_attr("k", "v");
         n->assign(source);
       },
       true, "<r k=\"v\"/>"},
      {"a text given", "r",
       [](xml_node_c* n) {
         n->kind = xml_node_c::TEXT_ELEMENT;
         n->text << "given";
       },
       true, "<r>given</r>"},
      {"the node given itself: nothing changes", "p", [](xml_node_c* n) { n->assign(*n); }, false,
       "<p x=\"&amp;\" y=\"2\">"},
      {"a value taken away (nothing owned)", "q", [](xml_node_c* n) { n->attributes->first()->set_value(nullptr); },
       false, "<q z=\"\"/>"},
  };
  for (const edit_s& e : edits) {
    SCOPED_TRACE(e.what);
    xml_document_c doc;
    ASSERT_TRUE(doc.load_bytes(text.data(), text.size()));
    xml_node_c* root = doc.root();
    ASSERT_NE(root, nullptr);
    xml_node_c* p = root->first_node();
    xml_node_c* q = p->first_node();
    xml_node_c* r = p->next_node();
    xml_node_c* s = r->next_node();
    // As read: only the element with a text owns memory of its own.
    for (xml_node_c* n : {root, p, q, r}) EXPECT_TRUE(n->owns_nothing()) << n->name;
    EXPECT_FALSE(s->owns_nothing());
    const std::string name = e.target;
    xml_node_c* target = name == "q" ? q : name == "p" ? p : r;
    e.edit(target);
    EXPECT_EQ(target->owns_nothing(), !e.owns_more);
    for (xml_node_c* n : {root, p, q, r}) {
      if (n != target) {
        EXPECT_TRUE(n->owns_nothing()) << n->name;
      }
    }
    EXPECT_NE(written(doc).find(e.written), std::string::npos) << written(doc);
  }

  // Heap nodes below read ones, and read ones below a heap node, each deleted once.
  int ended = 0;
  {
    xml_document_c doc;
    ASSERT_TRUE(doc.load_bytes(text.data(), text.size()));
    xml_node_c* p = doc.root()->first_node();
    xml_node_c* q = p->first_node();
    counted_node_c* top = new counted_node_c("top", ended);
    ASSERT_TRUE(doc.add_node(top, q));
    counted_node_c* below = new counted_node_c("below", ended);
    below->add_attr("h", "heap");
    ASSERT_TRUE(doc.add_node(below, top));
    // A read node moved below a heap node: the heap node is deleted without it.
    xml_node_c* r = p->next_node();
    tree_c links;
    links.unlink(r);
    tree_c::append_child(below, r);
    EXPECT_NE(written(doc).find("\t\t\t\t<below h=\"heap\">\n\t\t\t\t\t<r/>\n"), std::string::npos) << written(doc);
    EXPECT_EQ(ended, 0);
  }
  EXPECT_EQ(ended, 2);
}

// Read nodes moved between documents, a tree edited then replaced by a second load, read subtrees
// deleted or detached and deleted by their caller, and nodes copied out: each node's memory is
// freed once, whichever document goes first (the sanitizer build reports a leak, a double free
// or a read of freed memory).
TEST_F(xml_document_test, read_nodes_moved_deleted_reloaded_and_copied_out_end_once) {
  const std::string text = std::string(k_declaration) +
                           "<root a=\"1\"><p x=\"&amp;\" y=\"2\"><q z=\"3\"/></p><r/><s t=\"4\">text</s></root>";
  const std::string other = std::string(k_declaration) + "<other o=\"1\"><o1/><o2 k=\"v\"/></other>";
  // A read node moved into another document that goes first, as read and edited.
  for (bool edited : {false, true}) {
    SCOPED_TRACE(edited ? "edited" : "as read");
    xml_document_c first;
    ASSERT_TRUE(first.load_bytes(text.data(), text.size()));
    {
      xml_document_c second;
      ASSERT_TRUE(second.load_bytes(other.data(), other.size()));
      xml_node_c* p = first.root()->first_node();
      tree_c links;
      links.unlink(p);
      if (edited) {
        p->set_name("moved");
        p->first_node()->attributes->first()->set_value("a longer value than read");
      }
      ASSERT_TRUE(second.add_node(p, second.root()));
      EXPECT_NE(written(second).find(edited ? "<moved x=\"&amp;\" y=\"2\">\n\t\t<q z=\"a longer value than read\"/>"
                                            : "<p x=\"&amp;\" y=\"2\">\n\t\t<q z=\"3\"/>"),
                std::string::npos)
          << written(second);
    }
    EXPECT_EQ(written(first), std::string(k_declaration) + "<root a=\"1\">\n\t<r/>\n\t<s t=\"4\">text</s>\n</root>\n");
  }
  // An edited tree replaced by a second load, and a third, into the same document.
  {
    xml_document_c doc;
    for (int round = 0; round < 3; ++round) {
      SCOPED_TRACE("load " + std::to_string(round));
      ASSERT_TRUE(doc.load_bytes(text.data(), text.size()));
      xml_node_c* root = doc.root();
      root->set_name("a_root_renamed_on_the_heap");
      root->first_node()->add_attr("added", "in the arena");
      root->first_node()->first_node()->attributes->first()->set_name("a_longer_name_on_the_heap");
      ASSERT_TRUE(doc.add_node(new xml_node_c("heap"), root->first_node()));
      root->first_node()->next_node()->text << "given";
    }
  }
  // Subtrees deleted by the caller: through a tree, and detached first (the caller's own delete).
  {
    xml_document_c doc;
    ASSERT_TRUE(doc.load_bytes(text.data(), text.size()));
    xml_node_c* p = doc.root()->first_node();
    ASSERT_TRUE(doc.add_node(new xml_node_c("heap_below_q"), p->first_node()));
    tree_c links;
    links.unlink(p);
    delete p;
    xml_node_c* s = doc.root()->first_node()->next_node();
    ASSERT_STREQ(s->name, "s");
    links.unlink(s);
    links.delete_subtree(s);
    delete s;
    EXPECT_EQ(written(doc), std::string(k_declaration) + "<root a=\"1\">\n\t<r/>\n</root>\n");
  }
  // Plain nodes (as a tree makes them) linked below read ones and as the root's last child end as
  // plain nodes, their names freed: none is taken for a parse node.
  {
    xml_document_c doc;
    ASSERT_TRUE(doc.load_bytes(text.data(), text.size()));
    tree_c plain;
    tree_c::append_child(doc.root()->first_node()->first_node(), plain.create_node(1, "plain_below_q"));
    node_c* last = plain.create_node(2, "plain_last");
    tree_c::append_child(doc.root(), last);
    tree_c::append_child(last, new xml_node_c("parsed_below_plain"));
    EXPECT_TRUE(doc.root()->owns_nothing());
    // Written and stored alike: a plain node as an element with its name only, its children as any.
    const std::string expected = std::string(k_declaration) +
                                 "<root a=\"1\">\n"
                                 "\t<p x=\"&amp;\" y=\"2\">\n"
                                 "\t\t<q z=\"3\">\n"
                                 "\t\t\t<plain_below_q/>\n"
                                 "\t\t</q>\n"
                                 "\t</p>\n"
                                 "\t<r/>\n"
                                 "\t<s t=\"4\">text</s>\n"
                                 "\t<plain_last>\n"
                                 "\t\t<parsed_below_plain/>\n"
                                 "\t</plain_last>\n"
                                 "</root>\n";
    EXPECT_EQ(written(doc), expected);
    const std::string path = m_dir.file("with_plain.xml");
    FILE_c file;
    ASSERT_TRUE(file.open(path.c_str(), "w", nullptr, 0));
    EXPECT_TRUE(doc.store(&file));
    ASSERT_TRUE(file.close());
    EXPECT_EQ(read_text_file(path), expected);
  }
  // Nodes copied out outlive the document they were copied from.
  xml_node_c copy("copy");
  {
    xml_document_c doc;
    ASSERT_TRUE(doc.load_bytes(text.data(), text.size()));
    copy.assign(*doc.root()->first_node()->next_node()->next_node());
  }
  EXPECT_STREQ(copy.name, "s");
  ASSERT_NE(copy.attributes, nullptr);
  EXPECT_STREQ(copy.attributes->first()->name(), "t");
  EXPECT_STREQ(copy.attributes->first()->value(), "4");
  EXPECT_STREQ(copy.text.c_str(), "text");
}

// Elements handed to a sink one by one, in document order, each gone at its end: a long document
// read so needs no more memory than its deepest path.
// Two nodes of one read document share its arena: two threads adding attributes to them at once
// must each get pieces of their own (values that overlap would read back wrong).
TEST_F(xml_document_test, two_threads_edit_two_nodes_of_a_read_document) {
  xml_document_c doc;
  ASSERT_TRUE(load(doc, std::string(k_declaration) + "<root><a/><b/></root>"));
  xml_node_c* nodes[2] = {doc.root()->first_node(), doc.root()->first_node()->next_node()};
  ASSERT_NE(nodes[1], nullptr);
  constexpr int k_each = 20000;
  std::vector<std::thread> threads;
  for (xml_node_c* node : nodes) {
    threads.emplace_back([node] {
      for (int i = 0; i < k_each; ++i) {
        const std::string value = std::string(node->name) + std::to_string(i) + std::string(40, 'x');
        node->add_attr("v", value.c_str());
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (xml_node_c* node : nodes) {
    SCOPED_TRACE(node->name);
    int i = 0, wrong = 0;
    for (xml_attr_c* a = node->attributes->first(); a != nullptr; a = node->attributes->next(), ++i) {
      const std::string expected = std::string(node->name) + std::to_string(i) + std::string(40, 'x');
      wrong += expected == a->value() ? 0 : 1;
    }
    EXPECT_EQ(i, k_each);
    EXPECT_EQ(wrong, 0);
  }
}

// A sink that takes attributes as views gets the same attributes a node would carry, each value
// whole even when several of one element were translated, from a file and from a text; its nodes
// carry none.
TEST_F(xml_document_test, a_sink_that_takes_views_gets_every_attribute_as_read) {
  struct viewer_c : xml_element_sink_c {
    void element_started(xml_node_c*) override { ADD_FAILURE() << "the views were not used"; }
    bool takes_attribute_views() const override { return true; }
    void element_started_with(xml_node_c* element, const attribute_view_s* attributes, size_t count) override {
      seen += element->name;
      for (size_t i = 0; i < count; ++i) seen += std::string(" ") + attributes[i].name + "=" + attributes[i].value;
      if (element->text.length() > 0) seen += std::string(" [") + element->text.c_str() + "]";
      seen += ";";
      node_attributes += element->attributes != nullptr ? 1 : 0;
    }
    void element_ended() override {}
    std::string seen;
    int node_attributes = 0;
  };
  const std::string body =
      "<r a=\"&lt;1&gt;\" b=\"plain\" c=\"&amp;&amp;\" d=\"\"><e x=\"&quot;q&quot;\" y=\"2\">t &amp; u</e><f/></r>";
  const std::string text = std::string(k_declaration) + body;
  const std::string path = m_dir.file("views.xml");
  write_text_file(path, text);
  viewer_c from_file, from_text;
  xml_document_c file_doc, text_doc;
  ASSERT_TRUE(file_doc.load(path.c_str(), &from_file));
  ASSERT_TRUE(text_doc.load_from_str(text.c_str(), &from_text));
  EXPECT_EQ(from_file.seen, "r a=<1> b=plain c=&& d=;e x=\"q\" y=2 [t & u];f;");
  EXPECT_EQ(from_text.seen, "r a=<1> b=plain c=&& d=;e x=\"q\" y=2;f;");  // a text load keeps no element text
  EXPECT_EQ(from_file.node_attributes + from_text.node_attributes, 0);
}

// The attributes of the document's element as "name=value;" in order.
std::string attributes_of(const xml_node_c* node) {
  std::string seen;
  if (node == nullptr || node->attributes == nullptr) return seen;
  for (xml_attr_c* a = node->attributes->first(); a != nullptr; a = node->attributes->next()) {
    seen += std::string(a->name()) + "=" + a->value() + ";";
  }
  return seen;
}

// Names and values written as nearly all are (NAME="VALUE", a name of name bytes) are read in one
// pass, anything else token by token: both must read, and refuse, alike, into the parse tree from a
// file, from bytes and from a string, and into an item tree that takes the attributes as views.
TEST_F(xml_document_test, tags_read_in_one_pass_or_token_by_token_alike) {
  const struct {
    const char* tag;
    const char* attributes;  // as read, or null when refused
    const char* problem;     // the refusal (line 2)
  } cases[] = {
      {"<a x=\"1\" y=\"two\"/>", "x=1;y=two;", nullptr},
      {"<a\tx=\"1\"\ty=\"a&amp;b\"/>", "x=1;y=a&b;", nullptr},
      {"<a x= \t\"1\"/>", "x=1;", nullptr},
      {"<a x=\"&lt;&AMP;\" z=\"after\" w=\"&quot;\"/>", "x=<&;z=after;w=\";", nullptr},
      {"<a x=\"1\"z=\"2\"/>", "x=1;z=2;", nullptr},
      {"<a x=\"\" _y.z:w-[0]=\"v\"/>", "x=;_y.z:w-[0]=v;", nullptr},
      {"<a x=\"1\" ^M y=\"2\"/>", "x=1;", nullptr},
      {"<a\r\n  x=\"1\"\r\n/>", "x=1;", nullptr},
      {"<a x=\"it's &lt;b&gt;\"/>", "x=it's <b>;", nullptr},
      {"<a x=\"1\" y = \"2\"/>", nullptr, "line 2, column 10: an attribute without '=' right after its name"},
      {"<a 1x=\"1\"/>", nullptr, "line 2, column 4: 1x is no attribute name this reader takes"},
      {"<a x/y=\"1\"/>", nullptr, "line 2, column 4: x/y is no attribute name this reader takes"},
      {"<a x=\"1/>", nullptr, "line 2, column 6: the value of x is not in double quotes"},
      {"<a x='1'/>", nullptr, "line 2, column 6: attribute values and the declaration take double quotes"},
      {"<a\vx=\"1\"/>", nullptr, "line 2, column 2: a tag without an element name"},
      {"<\xc3\xa9 x=\"1\"/>", nullptr,
       "line 2, column 2: <\xc3\xa9> has no element name this reader takes (a letter or '_', then letters, digits and _ - . : [ ])"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    const std::string text = std::string(k_declaration) + c.tag;
    xml_document_c from_file, from_bytes, from_string, by_tokens;
    const bool read = c.attributes != nullptr;
    EXPECT_EQ(load(from_file, text), read);
    load_both_ways(text, from_bytes, by_tokens, read);
    EXPECT_EQ(from_string.load_from_str(text.c_str()), read);
    xml_tree_c tree;
    EXPECT_EQ(tree.load_from_str(text.c_str()), read);
    if (!read) {
      for (xml_document_c* doc : {&from_file, &from_bytes, &from_string, &by_tokens}) {
        EXPECT_EQ(doc->load_problem().text(), c.problem);
      }
      continue;
    }
    for (xml_document_c* doc : {&from_file, &from_bytes, &from_string, &by_tokens}) {
      ASSERT_NE(doc->root(), nullptr);
      EXPECT_STREQ(doc->root()->name, "a");
      EXPECT_EQ(attributes_of(doc->root()), c.attributes);
    }
    ASSERT_NE(tree.root, nullptr);
    std::string items;
    for (size_t i = 0; i < tree.root->attr_count(); ++i) {
      items += std::string(tree.root->get_attr(i)->label()) + "=" + tree.root->get_attr(i)->as_string() + ";";
    }
    EXPECT_EQ(items, c.attributes);
  }
}

// The declarations nearly every document has are taken whole in one-pass reads; they and their
// near misses read (or are refused) as the reading of each attribute reads them: the same values,
// the same messages.
// Every byte value inside an element's and an attribute's name, at places before, on and after a
// step of sixteen bytes, is taken or refused by the one-pass reads as the token reads take it,
// with the same names, attributes and refusal.
TEST_F(xml_document_test, every_byte_in_a_name_read_in_one_pass_as_token_by_token) {
  size_t read_count = 0;
  for (int b = 1; b < 256; ++b) {
    for (size_t before : {size_t{0}, size_t{14}, size_t{15}, size_t{16}, size_t{31}}) {
      const std::string stem(before, 'n');
      const std::string byte(1, static_cast<char>(b));
      for (bool in_attribute : {false, true}) {
        const std::string tag = in_attribute ? "<a k" + stem + byte + "m=\"v\" z=\"2\"/>"
                                             : "<e" + stem + byte + "m x=\"1\"/>";
        SCOPED_TRACE("byte " + std::to_string(b) + ", " + std::to_string(before) + " bytes before, " +
                     (in_attribute ? "attribute" : "element"));
        const std::string text = std::string(k_declaration) + tag;
        xml_document_c one_pass, by_tokens;
        const bool read = one_pass.load_bytes(text.data(), text.size());
        {
          one_pass_reads_c token_reads(false);
          EXPECT_EQ(by_tokens.load_bytes(text.data(), text.size()), read);
        }
        EXPECT_EQ(one_pass.load_problem().text(), by_tokens.load_problem().text());
        if (!read || one_pass.root() == nullptr || by_tokens.root() == nullptr) continue;
        ++read_count;
        EXPECT_STREQ(one_pass.root()->name, by_tokens.root()->name);
        EXPECT_EQ(attributes_of(one_pass.root()), attributes_of(by_tokens.root()));
      }
    }
  }
  // Name bytes (66 of them) read in both places; blanks and a few more end an element's name and
  // read too. The rest is refused alike.
  EXPECT_GT(read_count, 66u * 5u * 2u);
}

TEST_F(xml_document_test, declarations_taken_whole_read_as_attribute_by_attribute) {
  using namespace std::string_literals;
  const struct {
    std::string declaration;
    const char* version;   // as read, or null when refused
    const char* encoding;  // as read (null: none)
    const char* problem;   // the refusal
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "1.0", "UTF-8", nullptr},
      {"<?xml version=\"1.0\"?>", "1.0", nullptr, nullptr},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?>", "1.0", "utf-8", nullptr},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>", "1.0", "UTF-8", nullptr},
      {"<?xml version=\"1.0\"\r\nencoding=\"UTF-8\"?>", "1.0", "UTF-8", nullptr},
      {"<?xml version=\"1.1\"?>", "1.1", nullptr, nullptr},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>", "1.0", "UTF-8", nullptr},
      {"<?xml version=\"1.0\"  ?>", "1.0", nullptr, nullptr},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?" "?>", nullptr, nullptr,
       "line 1, column 37: the XML declaration does not end in \"?>\""},
      {"<?xml version=\"1.0\"encoding=\"UTF-8\"?>", "1.0", "UTF-8", nullptr},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"\0?>"s, nullptr, nullptr,
       "line 1, column 37: the XML declaration does not end in \"?>\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.declaration);
    const std::string text = c.declaration + "\n<a x=\"1\"/>";
    xml_document_c whole, by_attributes;
    load_both_ways(text, whole, by_attributes, c.version != nullptr);
    for (const xml_document_c* doc : {&whole, &by_attributes}) {
      if (c.version == nullptr) {
        EXPECT_EQ(doc->load_problem().text(), c.problem);
        continue;
      }
      EXPECT_STREQ(doc->version(), c.version);
      EXPECT_STREQ(doc->encoding(), c.encoding);
      ASSERT_NE(doc->root(), nullptr);
      EXPECT_EQ(attributes_of(doc->root()), "x=1;");
    }
  }
}

// End tags and tags with a zero byte inside (which ends the tag's text where it stands) read alike
// in one-pass reads (an end tag's name compared where it stands, a tag's length as counted) and
// token by token: the same trees, the same refusals.
TEST_F(xml_document_test, end_tags_and_zero_bytes_read_in_one_pass_or_token_by_token_alike) {
  using namespace std::string_literals;
  const struct {
    std::string body;
    const char* tree;     // as read: names, attributes and children, or null when refused
    const char* problem;  // the refusal (line 2)
  } cases[] = {
      {"<a><b/></a>", "a[b[]]", nullptr},
      {"<a></ a>", "a[]", nullptr},
      {"<a>\t<b x=\"1\"></b>\n</a>", "a[b x=1;[]]", nullptr},
      {"<a></ab>", nullptr, "line 2, column 4: the end tag </ab> does not close <a>"},
      {"<ab></a>", nullptr, "line 2, column 5: the end tag </a> does not close <ab>"},
      {"<a></a >", nullptr, "line 2, column 4: an end tag that is not </NAME> (no blank may follow the name)"},
      {"<a></>", nullptr, "line 2, column 4: an end tag that is not </NAME> (no blank may follow the name)"},
      {"<a></a\0junk>"s, "a[]", nullptr},
      {"<a x=\"1\"\0 y=\"2\"/></a>"s, "a x=1;[]", nullptr},
      {"<a><b\0/></b></a>"s, "a[b[]]", nullptr},
      {"<a>\0</a>"s, "a[]", nullptr},
  };
  std::function<std::string(const xml_node_c*)> shape = [&shape](const xml_node_c* node) {
    std::string seen = node->name;
    const std::string attributes = attributes_of(node);
    if (!attributes.empty()) seen += " " + attributes;
    seen += "[";
    for (const xml_node_c* child = node->first_node(); child != nullptr; child = child->next_node()) seen += shape(child);
    return seen + "]";
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    const std::string text = std::string(k_declaration) + c.body;
    xml_document_c one_pass, by_tokens;
    load_both_ways(text, one_pass, by_tokens, c.tree != nullptr);
    for (const xml_document_c* doc : {&one_pass, &by_tokens}) {
      if (c.tree == nullptr) {
        EXPECT_EQ(doc->load_problem().text(), c.problem);
        continue;
      }
      ASSERT_NE(doc->root(), nullptr);
      EXPECT_EQ(shape(doc->root()), c.tree);
    }
  }
}

// A state file as the library writes it (one element of every attribute it records) is read into
// the block the document holds: its arena takes nothing from the heap.
TEST_F(xml_document_test, a_state_file_is_read_into_the_documents_own_block) {
  const std::string text = std::string(k_declaration) +
                           "<stats_saver ScenarioID=\"4294967295\">\n"
                           "\t<state HostIndex=\"4294967293\" ScenarioID=\"4294967295\" ScenarioName=\"a scenario &amp; its name of some length\" "
                           "State=\"Running\" IsSyncReplicated=\"True\" IsSyncReplicatedTime=\"-9223372036854775808\"/>\n"
                           "</stats_saver>\n";
  xml_document_c doc;
  ASSERT_TRUE(doc.load_bytes(text.data(), text.size()));
  EXPECT_EQ(doc.parse_space().arena.reserved(), 0u);
  ASSERT_NE(doc.root(), nullptr);
  ASSERT_NE(doc.root()->first_node(), nullptr);
  EXPECT_EQ(attributes_of(doc.root()->first_node()),
            "HostIndex=4294967293;ScenarioID=4294967295;ScenarioName=a scenario & its name of some length;State=Running;"
            "IsSyncReplicated=True;IsSyncReplicatedTime=-9223372036854775808;");
}

// A value read in place takes an edit as any other: a shorter one over its own bytes (the next
// attribute's untouched), a longer one elsewhere.
TEST_F(xml_document_test, values_read_in_place_take_edits) {
  xml_document_c doc;
  const std::string text = std::string(k_declaration) + "<a x=\"long value\" y=\"&amp;&amp;\" z=\"next\"/>";
  ASSERT_TRUE(doc.load_bytes(text.data(), text.size()));
  xml_attr_c* x = doc.root()->attributes->first();
  xml_attr_c* y = doc.root()->attributes->next();
  x->set_value("short");
  y->set_value("a value longer than the bytes it was read from");
  y->set_name("yy");
  EXPECT_EQ(attributes_of(doc.root()), "x=short;yy=a value longer than the bytes it was read from;z=next;");
}

// An attribute given a tail of its own name or value (as an edit that drops a prefix does) keeps
// that tail, whether its texts stand in the read tag's copy in the arena or in buffers of its own:
// the texts overlap, which a plain string copy must not be given (the sanitizer build reports it).
TEST_F(xml_document_test, an_attribute_takes_a_tail_of_its_own_texts) {
  xml_document_c doc;
  const std::string text = std::string(k_declaration) + "<a prefix_name=\"prefix-value\" y=\"&amp;tail\"/>";
  ASSERT_TRUE(doc.load_bytes(text.data(), text.size()));
  xml_node_c made("made");
  made.add_attr("prefix_name", "prefix-value");
  for (xml_node_c* node : {doc.root(), &made}) {
    SCOPED_TRACE(node == &made ? "a node made on the heap" : "a read node");
    xml_attr_c* a = node->attributes->first();
    ASSERT_NE(a, nullptr);
    a->set_value(a->value() + 1);
    EXPECT_STREQ(a->value(), "refix-value");
    a->set_value(a->value() + 6);
    EXPECT_STREQ(a->value(), "value");
    a->set_name(a->name() + 1);
    EXPECT_STREQ(a->name(), "refix_name");
    a->set_name(a->name() + 6);
    EXPECT_STREQ(a->name(), "name");
    a->set_value(a->value());  // the same text: nothing to copy
    EXPECT_STREQ(a->value(), "value");
  }
  doc.root()->attributes->first();
  xml_attr_c* y = doc.root()->attributes->next();
  ASSERT_NE(y, nullptr);
  y->set_value(y->value() + 1);  // a translated value, written over its own bytes when read
  EXPECT_STREQ(y->value(), "tail");
  EXPECT_EQ(attributes_of(doc.root()), "name=value;y=tail;");
}

// A typed tree read from a buffer its reader takes over is the tree read from a copy of the text;
// the buffer is left empty and can be filled again.
TEST_F(xml_document_test, a_taken_text_reads_as_a_copied_one) {
  const std::string text = std::string(k_declaration) + "<r a=\"1\"><e b=\"&lt;x&gt;\">t</e><f/></r>";
  xml_tree_c copied, taken_tree;
  ASSERT_TRUE(copied.load_from_str(text.c_str()));
  utl_stream_c buffer;
  buffer << text.c_str();
  ASSERT_TRUE(taken_tree.load_from_taken_text(buffer));
  EXPECT_TRUE(copied.is_equal(taken_tree));
  EXPECT_EQ(buffer.length(), 0u);
  EXPECT_STREQ(buffer.c_str(), "");
  buffer << "again";
  EXPECT_STREQ(buffer.c_str(), "again");
  // A text ends at its first zero byte either way: what follows one is not read.
  const std::string with_zero[] = {std::string(k_declaration) + "<a>" + '\0' + "</a>",
                                   std::string(k_declaration) + '\0' + "<a/>", std::string(1, '\0') + text,
                                   std::string(k_declaration) + "<a/>" + '\0' + "junk"};
  for (const std::string& bytes : with_zero) {
    SCOPED_TRACE(bytes.substr(0, bytes.find('\0')));
    xml_document_c from_copy, from_taken;
    utl_stream_c held;
    ASSERT_TRUE(held.append(bytes.data(), bytes.size()));
    EXPECT_EQ(from_taken.load_from_taken_text(held, nullptr), from_copy.load_from_str(bytes.c_str()));
  }
}

TEST_F(xml_document_test, a_sink_gets_every_element_in_order_and_little_memory_is_held) {
  struct recorder_c : xml_element_sink_c {
    void element_started(xml_node_c* element) override {
      ++started;
      depth_seen = std::max(depth_seen, ++depth);
      if (started <= 3) {
        order += element->name;
        for (xml_attr_c* a = element->attributes ? element->attributes->first() : nullptr; a != nullptr;
             a = element->attributes->next()) {
          order += std::string(" ") + a->name() + "=" + a->value();
        }
        order += element->text.length() > 0 ? std::string(" [") + element->text.c_str() + "]" : "";
        order += ";";
      }
    }
    void element_ended() override { --depth; }
    size_t started = 0;
    int depth = 0;
    int depth_seen = 0;
    std::string order;
  } recorder;
  std::string text = std::string(k_declaration) + "<root k=\"&lt;v&gt;\"><first>t &amp; u</first>";
  for (int i = 0; i < 20000; ++i) text += "<e a=\"" + std::to_string(i) + "\" b=\"some value\" c=\"more\"><f/></e>";
  text += "</root>";
  std::string path = m_dir.file("long.xml");
  write_text_file(path, text);
  xml_document_c doc;
  ASSERT_TRUE(doc.load(path.c_str(), &recorder));
  EXPECT_EQ(recorder.started, 2u + 2u * 20000u);
  EXPECT_EQ(recorder.depth, 0);
  EXPECT_EQ(recorder.depth_seen, 3);
  EXPECT_EQ(recorder.order, "root k=<v>;first [t & u];e a=0 b=some value c=more;");
  EXPECT_EQ(doc.root(), nullptr);  // the document got no parse tree
  EXPECT_STREQ(doc.version(), "1.0");
  // The same text as a tree takes megabytes; streamed, the first block or two.
  EXPECT_LE(doc.parse_space().arena.reserved(), 16u * 1024u);
}

TEST_F(xml_document_test, long_names_and_values_read_whole_every_way) {
  // Lengths around the arena's block sizes: a piece may be larger than the block that comes next.
  struct lengths_c : xml_element_sink_c {
    void element_started(xml_node_c* element) override {
      name = std::strlen(element->name);
      value = element->attributes != nullptr ? std::strlen(element->attributes->first()->value()) : 0;
    }
    void element_ended() override {}
    size_t name = 0;
    size_t value = 0;
  };
  for (size_t length : {3000u, 9000u, 12000u, 20000u, 32000u, 40000u}) {
    SCOPED_TRACE("length " + std::to_string(length));
    const std::string value(length, 'v');
    const std::string name = "n" + std::string(length, 'm');
    const std::string text = std::string(k_declaration) + "<r><" + name + " a=\"" + value + "\"/></r>";
    xml_document_c from_file;
    ASSERT_TRUE(load(from_file, text));
    xml_node_c* child = from_file.root()->first_node();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(std::strlen(child->name), name.size());
    EXPECT_EQ(std::strlen(child->attributes->first()->value()), length);
    xml_document_c from_text;
    ASSERT_TRUE(from_text.load_from_str(text.c_str()));
    EXPECT_EQ(std::strlen(from_text.root()->first_node()->attributes->first()->value()), length);
    // Streamed, each element's memory is rewound after it: the next long piece starts small again.
    lengths_c sink;
    xml_document_c streamed;
    ASSERT_TRUE(streamed.load_from_str(text.c_str(), &sink));
    EXPECT_EQ(sink.name, name.size());
    EXPECT_EQ(sink.value, length);
  }
}

// The shape of a read tree: names, attributes in order, texts and children.
std::string shape_of(const xml_node_c* node) {
  if (node == nullptr) return "(none)";
  std::string seen = node->name == nullptr ? "" : node->name;
  const std::string attributes = attributes_of(node);
  if (!attributes.empty()) seen += " " + attributes;
  if (node->kind == xml_node_c::TEXT_ELEMENT) seen += " '" + std::string(node->text.c_str()) + "'";
  seen += "[";
  for (const xml_node_c* child = node->first_node(); child != nullptr; child = child->next_node()) seen += shape_of(child);
  return seen + "]";
}

// The answer of a read into a new document: its tree's shape, or its refusal; with the one-pass
// reads on or off for the read.
std::string answer_of(bool one_pass, const std::function<bool(xml_document_c&)>& read) {
  one_pass_reads_c reads(one_pass);
  xml_document_c doc;
  return read(doc) ? shape_of(doc.root()) : "refused: " + doc.load_problem().text();
}

// The answers of the first cut bytes of whole, read from a heap block of exactly that size (a read
// past it is a fault the sanitizer build reports) and as a string: from bytes in one pass, as a
// string in one pass, from bytes token by token, as a string token by token.
std::vector<std::string> answers_of_cut(const std::string& whole, size_t cut) {
  std::unique_ptr<char[]> bytes(new char[cut == 0 ? 1 : cut]);
  std::memcpy(bytes.get(), whole.data(), cut);
  const std::string text = whole.substr(0, cut);
  std::vector<std::string> answers;
  for (int way = 0; way < 4; ++way) {
    answers.push_back(answer_of(way < 2, [&](xml_document_c& doc) {
      return way % 2 == 0 ? doc.load_bytes(bytes.get(), cut) : doc.load_from_str(text.c_str());
    }));
  }
  return answers;
}

// Every text below, cut after each of its bytes and shifted so that its tags stand at every place
// of a step of sixteen bytes, is read from a heap block of exactly its size (a read past it is a
// fault the sanitizer build reports), from bytes and as a string, in one pass and token by token:
// the same answer, the same tree, the same refusal. Values hold '>', zero bytes, bytes 0x80-0xFF,
// quotes left open and names left without a value.
TEST_F(xml_document_test, texts_cut_anywhere_read_in_one_pass_as_token_by_token) {
  using namespace std::string_literals;
  const std::string bodies[] = {
      "<a x=\"1\" y=\"two\" z=\"three and more than sixteen\"/>"s,
      "<abcdefghijklmnop q=\"0123456789abcdef\" r=\"0123456789abcde\"><b/></abcdefghijklmnop>"s,
      "<a x=\"a>b\" y=\"c\">t</a>"s,
      "<a x=\"\xc3\xa9\xff\x80\x9f\" y=\"\xfe\"/>"s,
      "<a x=\"1\0\" y=\"2\"/>"s,
      "<a x=\"1\" y z=\"2\"/>"s,
      "<a x=\"1\" y= z=\"2\"/>"s,
      "<a x=\"unclosed y=\"2\"/>"s,
      "<a x=\"&amp;&lt;\" y=\"\r\n\"/>"s,
      "<a x=\"1\"\ty=\"2\" \n z=\"3\"></a>"s,
  };
  size_t compared = 0;
  for (const std::string& body : bodies) {
    for (size_t shift = 0; shift < 17; ++shift) {
      const std::string whole = "<?xml version=\"1.0\"?>" + std::string(shift, '\n') + body;
      for (size_t cut = whole.size() - body.size(); cut <= whole.size(); ++cut) {
        SCOPED_TRACE(testing::PrintToString(whole.substr(0, cut)));
        const std::vector<std::string> answers = answers_of_cut(whole, cut);
        EXPECT_EQ(answers[0], answers[2]) << "from bytes";
        EXPECT_EQ(answers[1], answers[3]) << "from a string";
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 10u * 17u * 20u);

  // Tags that fill the reader's first tag buffer and the file reader's first chunk, cut around
  // their ends, read from a file too.
  size_t long_compared = 0;
  for (size_t value : {size_t{440}, size_t{470}, size_t{4000}, size_t{4060}}) {
    const std::string body = "<a x=\"" + std::string(value, 'v') + "\" y=\"" + std::string(20, 'w') + "\"><b c=\"d\"/></a>";
    for (size_t shift = 0; shift < 17; ++shift) {
      const std::string whole = "<?xml version=\"1.0\"?>" + std::string(shift, ' ') + body;
      for (size_t cut = whole.size() - body.size() + value; cut <= whole.size(); cut += 1) {
        SCOPED_TRACE("value " + std::to_string(value) + ", shift " + std::to_string(shift) + ", cut " + std::to_string(cut));
        std::unique_ptr<char[]> bytes(new char[cut]);
        std::memcpy(bytes.get(), whole.data(), cut);
        std::string answers[4];
        for (int way = 0; way < 4; ++way) {
          one_pass_reads_c reads(way < 2);
          xml_document_c doc;
          const bool read = way % 2 == 0 ? doc.load_bytes(bytes.get(), cut) : load(doc, whole.substr(0, cut));
          answers[way] = read ? shape_of(doc.root()) : "refused: " + doc.load_problem().text();
        }
        EXPECT_EQ(answers[0], answers[2]) << "from bytes";
        EXPECT_EQ(answers[1], answers[3]) << "from a file";
        EXPECT_EQ(answers[0], answers[1]) << "bytes and file";
        ++long_compared;
      }
    }
  }
  EXPECT_GT(long_compared, 4u * 17u * 40u);
}

// A tag is read where it stands in the reader's window when the window holds it whole, and from a
// copy when the file reader's first chunk ends inside it: each tag below (start tags written plainly
// and otherwise, empty elements, end tags with and without blanks, one that closes nothing) is
// cut by the chunk's end after each of its bytes. The file read gives the tree, or the refusal with
// its line and column, that the bytes give in one pass and token by token, and the tree of the
// same elements without the lines that move them.
TEST_F(xml_document_test, tags_cut_by_the_file_readers_first_chunk_read_as_from_bytes) {
  const size_t k_first_chunk = 4096;
  const struct {
    const char* inner;
    const char* refusal;  // the reason of the refusal (null: read)
  } cases[] = {
      {"<e a=\"1\" bb=\"two\"/><f x=\"3\"\ty=\"&amp;\">t</f><g\nz=\"4\" ></ g><h/>", nullptr},
      {"<e a=\"1\"/></x>", "the end tag </x> does not close <r>"},
  };
  size_t compared = 0;
  for (const auto& c : cases) {
    const std::string head = std::string(k_declaration) + "<r>";
    const std::string inner = c.inner;
    std::string expected;
    {
      xml_document_c doc;
      const std::string whole = head + inner + "</r>";
      expected = doc.load_bytes(whole.data(), whole.size()) ? shape_of(doc.root()) : "refused";
      EXPECT_EQ(expected == "refused", c.refusal != nullptr) << expected;
    }
    // The inner tags begin from just before the chunk's end to where their last byte stands on it.
    for (size_t start = k_first_chunk - inner.size(); start <= k_first_chunk; ++start) {
      const std::string whole = head + std::string(start - head.size(), '\n') + inner + "</r>";
      SCOPED_TRACE(std::string(c.inner) + " from offset " + std::to_string(start));
      std::string answers[3];
      for (int way = 0; way < 3; ++way) {
        one_pass_reads_c reads(way != 2);
        xml_document_c doc;
        const bool read = way == 0 ? load(doc, whole) : doc.load_bytes(whole.data(), whole.size());
        answers[way] = read ? shape_of(doc.root()) : "refused: " + doc.load_problem().text();
        if (read) {
          EXPECT_EQ(answers[way], expected);
        } else if (c.refusal != nullptr) {
          EXPECT_NE(answers[way].find(c.refusal), std::string::npos) << answers[way];
        }
      }
      EXPECT_EQ(answers[0], answers[1]) << "file and bytes";
      EXPECT_EQ(answers[1], answers[2]) << "one pass and token by token";
      ++compared;
    }
  }
  EXPECT_GT(compared, 60u);
}

// A string load reads the text where it stands: nothing read keeps pointing into it, so the
// text may go as soon as the load returns (the sanitizer build reports a read of it after), and a
// refused text is printed whole in the failure's message while it still stands.
TEST_F(xml_document_test, a_string_load_keeps_nothing_of_its_text) {
  const std::string good = std::string(k_declaration) +
                           "<root a=\"1\" b=\"x&amp;y\"><c d=\"a value of more than sixteen bytes\">text</c><e/></root>";
  auto heap_copy = [](const std::string& s) {
    char* copy = new char[s.size() + 1];
    std::memcpy(copy, s.c_str(), s.size() + 1);
    return copy;
  };
  xml_document_c doc;
  xml_tree_c tree;
  xml_tree_c tree_with_text;
  char* text = heap_copy(good);
  ASSERT_TRUE(doc.load_from_str(text));
  ASSERT_TRUE(tree.load_from_str(text));
  delete[] text;
  EXPECT_EQ(written(doc), std::string(k_declaration) +
                              "<root a=\"1\" b=\"x&amp;y\">\n\t<c d=\"a value of more than sixteen bytes\"/>\n\t<e/>\n</root>\n");
  ASSERT_NE(tree.root, nullptr);
  EXPECT_STREQ(tree.root->name(), "root");
  EXPECT_STREQ(tree.root->get_attr(1)->as_string(), "x&y");
  ASSERT_NE(tree.root->first_item(), nullptr);
  EXPECT_STREQ(tree.root->first_item()->find_attr("d")->as_string(), "a value of more than sixteen bytes");

  const std::string bad = std::string(k_declaration) + "<root a=\"1\"><c></root>";
  char* refused_text = heap_copy(bad);
  zqtr_capture_c capture;
  xml_document_c refused;
  EXPECT_FALSE(refused.load_from_str(refused_text));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Can not parse XML string, \n" + bad)) << testing::PrintToString(capture.texts());
  delete[] refused_text;
  EXPECT_EQ(refused.load_problem().text(), "line 2, column 16: the end tag </root> does not close <c>");
}

TEST_F(xml_document_test, tags_of_any_length_and_a_depth_limit) {
  std::string long_value(5000, 'v');
  xml_document_c doc;
  ASSERT_TRUE(load(doc, std::string(k_declaration) + "<a k=\"" + long_value + "\"/>"));
  EXPECT_EQ(std::string(doc.root()->attributes->first()->value()), long_value);

  std::string nested;
  for (unsigned i = 0; i < xml_document_c::k_max_depth - 1; ++i) nested += "<e>";
  for (unsigned i = 0; i < xml_document_c::k_max_depth - 1; ++i) nested += "</e>";
  xml_document_c deep_enough;
  EXPECT_TRUE(deep_enough.load_from_str((std::string(k_declaration) + nested).c_str()));
  std::string too_deep;
  for (int i = 0; i < 100000; ++i) too_deep += "<e>";
  zqtr_capture_c capture;
  xml_document_c refused;
  EXPECT_FALSE(refused.load_from_str((std::string(k_declaration) + too_deep).c_str()));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "XML elements are nested deeper than 1000 levels"));
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// The bytes of the stack that run(), on a thread of its own with a stack of stack_size bytes, left
// written: the stack starts filled with a pattern, and what the deepest call wrote is not it.
size_t stack_used_by(const std::function<void()>& run, size_t stack_size) {
  struct call_s {
    const std::function<void()>* run;
    static void* enter(void* self) {
      (*static_cast<call_s*>(self)->run)();
      return nullptr;
    }
  } call{&run};
  std::unique_ptr<unsigned char[]> stack(new unsigned char[stack_size + 4096]);
  unsigned char* base = stack.get() + (4096 - reinterpret_cast<uintptr_t>(stack.get()) % 4096) % 4096;
  std::memset(base, 0xAB, stack_size);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstack(&attributes, base, stack_size);
  pthread_t thread;
  const bool started = pthread_create(&thread, &attributes, &call_s::enter, &call) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) return SIZE_MAX;
  pthread_join(thread, nullptr);
  size_t untouched = 0;
  while (untouched < stack_size && base[untouched] == 0xAB) ++untouched;
  return stack_size - untouched;
}
#endif

// A nesting level holds only the reader's small frames, whatever its tag holds: a document nested
// to the limit reads on a caller's thread with a small stack. (A tag that is not read where it stands
// once kept the frame of its reading, some 520 bytes, on the stack for each level below it.)
TEST(xml_reader_stack, a_nesting_level_takes_little_stack_whatever_its_tag) {
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "measured on POSIX threads of the optimised build (sanitizers widen every frame)";
#else
  const char* const tags[] = {"<e>", "<e a=\"1\">", "<e  a=\"1\"\n b=\"2\">", "<e a=\"&amp;\">"};
  const unsigned levels = xml_document_c::k_max_depth - 1;
  for (const char* tag : tags) {
    std::string text = k_declaration;
    for (unsigned i = 0; i < levels; ++i) text += tag;
    for (unsigned i = 0; i < levels; ++i) text += "</e>";
    for (bool into_items : {false, true}) {
      SCOPED_TRACE(std::string(tag) + (into_items ? " into items" : " into a document"));
      bool read = false;
      const size_t used = stack_used_by(
          [&] {
            if (into_items) {
              xml_tree_ct<xml_item_c> tree;
              read = tree.load_from_str(text.c_str());
            } else {
              xml_document_c doc;
              read = doc.load_bytes(text.data(), text.size());
            }
          },
          size_t{1} << 20);
      EXPECT_TRUE(read);
      EXPECT_LT(used / levels, 260u) << used << " bytes of stack for " << levels << " levels";
    }
  }
#endif
}

// What a source map read of the bytes finds: every element's and attribute's place, or the refusal.
std::string source_map_of(const char* data, size_t length) {
  xml_source_map_c map;
  if (!map.read(data, length)) return "refused: " + map.problem().text();
  std::string seen;
  for (const xml_source_map_c::element_s& e : map.elements()) {
    seen += e.name + "@" + std::to_string(e.begin) + "-" + std::to_string(e.start_end) + "," +
            std::to_string(e.end_begin) + "-" + std::to_string(e.end) + (e.empty ? " empty" : "") +
            (e.has_text ? " '" + e.text + "'" : "") + " ^" + std::to_string(e.parent);
    for (const xml_source_map_c::attribute_s& a : e.attributes) {
      seen += " " + a.name + "=" + a.value + "@" + std::to_string(a.name_begin) + "," + std::to_string(a.value_begin) +
              "-" + std::to_string(a.value_end);
    }
    seen += ";";
  }
  return seen;
}

// Hostile tags, each cut by the file reader's first chunk end (4 KiB) and by the end of its second
// (64 KiB more) after each of its bytes, and each cut short at every byte: a file, bytes of exactly
// the input's size and a string give one answer (tree or refusal with its line and column), in one
// pass as token by token.
TEST_F(xml_document_test, hostile_tags_read_alike_across_chunk_ends_and_cut_anywhere) {
  using namespace std::string_literals;
  const std::string inners[] = {
      "<i x=\"1\"y=\"2\"></i>"s,
      "<j  x=\"1\" ></j>"s,
      "<k x=\"v>w\"/>"s,
      "<m x=\"\x80\xfe\x01\x1f\t\"/>"s,
      "<l x=\"\xff\"/>"s,
      "<n x=\"1\"\r\n/>"s,
      "<o>text</o >"s,
      "<p></p\t>"s,
      "<q></qq>"s,
      "<s/></s>"s,
      "<t x=\"&lt;&#62;\" y=\"&amp\"/>"s,
      "<!-- c --><u/><?pi x?>"s,
      "<![CDATA[x]]><v/>"s,
      "<w\0x=\"1\"/>"s,
      "<x a=\"1\" a=\"2\"/>"s,
      "<y a=\"1\" b=\"2\" c=\"3\" d=\"4\" e=\"5\" f=\"6\" g=\"7\" h=\"8\" i=\"9\" j=\"10\" k=\"11\"/>"s,
      "<z\t>\r\n</\r\nz>"s,
      "<A\n>x</A\n>"s,
      "<B x=\"1\" / >"s,
      "<C x=\"1\"/ ></C>"s,
      "<D x=\"\" y=\"\"/>"s,
      "</r><E/>"s,
  };
  const std::string head = std::string(k_declaration) + "<r>";
  size_t compared = 0;
  for (const std::string& inner : inners) {
    // Cut by the chunk ends.
    for (size_t chunk_end : {size_t{4096}, size_t{4096 + 65536}}) {
      for (size_t start = chunk_end - inner.size(); start <= chunk_end; ++start) {
        const std::string whole = head + std::string(start - head.size(), '\n') + inner + "</r>";
        SCOPED_TRACE(testing::PrintToString(inner) + " from offset " + std::to_string(start));
        std::string answers[4];
        for (int way = 0; way < 4; ++way) {
          one_pass_reads_c reads(way < 2);
          xml_document_c doc;
          const bool read = way % 2 == 0 ? load(doc, whole) : doc.load_bytes(whole.data(), whole.size());
          answers[way] = read ? shape_of(doc.root()) : "refused: " + doc.load_problem().text();
        }
        EXPECT_EQ(answers[0], answers[1]) << "file and bytes";
        EXPECT_EQ(answers[1], answers[3]) << "one pass and token by token";
        EXPECT_EQ(answers[0], answers[2]) << "file, one pass and token by token";
        std::string maps[2];
        for (int way = 0; way < 2; ++way) {
          one_pass_reads_c reads(way == 0);
          maps[way] = source_map_of(whole.data(), whole.size());
        }
        EXPECT_EQ(maps[0], maps[1]) << "source map, one pass and token by token";
        ++compared;
      }
    }
    // Cut short.
    const std::string whole = head + inner + "</r>";
    for (size_t cut = head.size(); cut <= whole.size(); ++cut) {
      SCOPED_TRACE(testing::PrintToString(whole.substr(0, cut)));
      const std::vector<std::string> answers = answers_of_cut(whole, cut);
      EXPECT_EQ(answers[0], answers[2]) << "from bytes";
      EXPECT_EQ(answers[1], answers[3]) << "from a string";
      std::unique_ptr<char[]> bytes(new char[cut]);
      std::memcpy(bytes.get(), whole.data(), cut);
      std::string maps[2];
      for (int way = 0; way < 2; ++way) {
        one_pass_reads_c reads(way == 0);
        maps[way] = source_map_of(bytes.get(), cut);
      }
      EXPECT_EQ(maps[0], maps[1]) << "source map, one pass and token by token";
      ++compared;
    }
  }
  EXPECT_GT(compared, 500u);

  // Tags longer than a whole chunk of the file reader (and than its first tag buffer): plain, with
  // '&', with line ends, and left without their '>' or their closing quote.
  const std::string long_value(70000, 'v');
  const std::string long_tags[] = {
      "<L a=\"" + long_value + "\" b=\"2\"/>",
      "<L a=\"" + long_value + "&amp;\"/>",
      "<L\r\na=\"" + long_value + "\"\n/>",
      "<L a=\"" + long_value + "\" b=\"2\"",
      "<L a=\"" + long_value,
  };
  for (const std::string& tag : long_tags) {
    const bool whole_tag = tag.back() == '>';
    for (size_t start : {size_t{100}, size_t{4090}, size_t{4096 + 65536 - 8}}) {
      const std::string whole = head + std::string(start - head.size(), '\n') + tag + "</r>";
      SCOPED_TRACE(tag.substr(0, 8) + "... from offset " + std::to_string(start));
      std::string answers[4];
      for (int way = 0; way < 4; ++way) {
        one_pass_reads_c reads(way < 2);
        xml_document_c doc;
        const bool read = way % 2 == 0 ? load(doc, whole) : doc.load_bytes(whole.data(), whole.size());
        answers[way] = read ? shape_of(doc.root()) : "refused: " + doc.load_problem().text();
      }
      EXPECT_EQ(answers[0], answers[1]) << "file and bytes";
      EXPECT_EQ(answers[1], answers[3]) << "one pass and token by token";
      EXPECT_EQ(answers[0], answers[2]) << "file, one pass and token by token";
      EXPECT_EQ(answers[1].compare(0, 8, "refused:") != 0, whole_tag) << answers[1].substr(0, 200);
      if (whole_tag) {
        EXPECT_NE(answers[1].find(long_value), std::string::npos);
      }
    }
  }
}

}  // namespace
