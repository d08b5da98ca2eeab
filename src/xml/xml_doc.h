// An XML file in memory: the declaration's values and the parse tree, loaded through the readers
// and written line by line; and the escaping of the four special characters.
#ifndef STATS_MNG_XML_XML_DOC_H
#define STATS_MNG_XML_XML_DOC_H

#include "xml/xml_item.h"

#include <cstddef>
#include <cstdint>
#include <string>

class FILE_c;
class xml_base_reader_c;
class zqtr_entry_c;

class xml_special_characters_c {
 public:
  xml_special_characters_c() = default;
  virtual ~xml_special_characters_c();
  xml_special_characters_c(const xml_special_characters_c&) = delete;
  xml_special_characters_c& operator=(const xml_special_characters_c&) = delete;

  // The text with '"', '&', '<' and '>' written as entities; null for null or empty input. The
  // result lives until the next translation by this object.
  const char* translate_to_xml(const char* s);
  // The four entities (any letter case) read back; anything else is kept as written. A text with no
  // '&' is returned itself (it lives as long as s); otherwise the result lives until the next
  // translation by this object.
  const char* translate_from_xml(const char* s);
  // The same for a text of length bytes (no zero among them, one after them); length becomes the
  // result's.
  const char* translate_from_xml(const char* s, size_t& length);

 private:
  bool _reserve(size_t size);
  bool _grow(size_t more);

  char m_inline[1024] = {};
  char* m_buffer = m_inline;
  size_t m_capacity = sizeof m_inline;
  bool m_heap = false;
  size_t m_used = 0;
};

// Takes a document's elements one by one as a reader reads them, in place of the parse tree (a
// typed tree builds its items so, without a whole parse tree in memory). An element handed over
// lives only until its end: what is kept of it must be copied.
class xml_element_sink_c {
 public:
  // An attribute as read: both texts live until the call that hands it over returns.
  struct attribute_view_s {
    const char* name;
    const char* value;
  };

  virtual ~xml_element_sink_c() = default;
  // An element's start was read: its name, attributes and (when kept) text; its children follow.
  virtual void element_started(xml_node_c* element) = 0;
  // A sink that says yes here gets each element through element_started_with instead: the
  // attributes come as views of the reader's own texts and the node carries none (no copy of
  // them is made for an element that goes at its end anyway).
  virtual bool takes_attribute_views() const { return false; }
  virtual void element_started_with(xml_node_c* element, const attribute_view_s* attributes, size_t count) {
    (void)attributes;
    (void)count;
    element_started(element);
  }
  // The element last started and not yet ended is complete.
  virtual void element_ended() = 0;
};

class xml_stream_reader_c;

// Why the last load was refused, in words, and where: line and column from 1 (a column counts
// characters) and the byte offset. set is false after a load that read.
struct xml_load_problem_s {
  bool set = false;
  unsigned long line = 0;
  unsigned long column = 0;
  uint64_t offset = 0;
  std::string reason;
  // "line L, column C: reason" (the reason alone when the place is not known).
  std::string text() const;
};

class xml_document_c {
 public:
  xml_document_c() = default;
  virtual ~xml_document_c();
  xml_document_c(const xml_document_c&) = delete;
  xml_document_c& operator=(const xml_document_c&) = delete;

  virtual void write_line_end(utl_stream_c& out) const;
  virtual bool _write_xml_buf_to_file(const char* buf, size_t len, FILE_c* file);

  bool load(const char* path);
  // A file's bytes already in memory, read as load reads the file (the same messages).
  bool load_bytes(const char* data, size_t length);
  bool load_from_str(const char* text);
  // The same reads with the elements going to sink instead of the parse tree (the declaration
  // still comes to the document).
  bool load(const char* path, xml_element_sink_c* sink);
  bool load_from_str(const char* text, xml_element_sink_c* sink);
  // load_from_str of a buffer's text (up to its first zero byte, as there) that the reader takes
  // over instead of copying it (the buffer is left empty): for a text made only to be read.
  bool load_from_taken_text(utl_stream_c& text, xml_element_sink_c* sink);
  void set_version(const char* s);
  void set_encoding(const char* s);
  void set_style_sheet(const char* s);
  void set_xml_file(const char* s);
  void set_standalone(const char* s);
  bool add_node(xml_node_c* node, xml_node_c* parent);
  static bool validate_xml_name(const char* name);
  // True when a text written into a document reads back as written: no byte 0xFF (the reader's
  // end of input) and no line end (read back as a blank).
  static bool is_storable_text(const char* text);
  // Why a text cannot be written into a document as it stands, or null: a byte 0xFF, a line end,
  // another control character XML cannot carry (below 0x20, tab excepted), and with utf8 a text
  // that is not valid UTF-8 or holds a character XML cannot carry (U+FFFE, U+FFFF).
  static const char* text_fault(const char* text, bool utf8);
  // Why the last load failed and where.
  const xml_load_problem_s& load_problem() const { return m_problem; }

  void write_declaration(utl_stream_c& out) const;
  void write_start(xml_node_c* node, utl_stream_c& out);
  void write_end(xml_node_c* node, utl_stream_c& out) const;
  void write_to_stream(xml_node_c* node, utl_stream_c& out, bool with_declaration);
  bool store(FILE_c* file);
  bool _store(xml_node_c* node, utl_stream_c& buffer, FILE_c* file);

  const char* version() const { return m_version; }
  const char* encoding() const { return m_encoding; }
  bool standalone() const { return m_standalone; }
  const char* style_sheet() const { return m_style_sheet; }
  const char* xml_file() const { return m_xml_file; }
  xml_node_c* root() const { return m_tree == nullptr ? nullptr : static_cast<xml_node_c*>(m_tree->root); }
  // Where the readers make the parse tree: it goes when the document does.
  xml_parse_space_c& parse_space() { return m_space; }

  // Elements nested deeper than this are refused as a parse error (the reader recurses per level).
  static constexpr unsigned k_max_depth = 1000;

 private:
  char* m_version = nullptr;
  char* m_encoding = nullptr;
  bool m_standalone = true;
  char* m_style_sheet = nullptr;
  char* m_xml_file = nullptr;
  tree_c* m_tree = nullptr;
  xml_special_characters_c m_translator;
  xml_parse_space_c m_space;
  xml_load_problem_s m_problem;

  bool _read_file_content(xml_base_reader_c& reader);
  // Records the reader's refusal (or, read is true, a document without an element) in m_problem
  // and the trace; returns read.
  bool _note_problem(xml_base_reader_c& reader, bool read, bool streamed, zqtr_entry_c& tr);
  bool _read_text(xml_stream_reader_c& reader, xml_element_sink_c* sink, zqtr_entry_c& tr);
};

#endif
