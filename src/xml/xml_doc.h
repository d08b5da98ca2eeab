// An XML file in memory: the declaration's values and the parse tree, loaded through the readers
// (which fill it as the xml_read_target_c it is) and written line by line.
#ifndef STATS_MNG_XML_XML_DOC_H
#define STATS_MNG_XML_XML_DOC_H

#include "xml/xml_item.h"
#include "xml/xml_read_target.h"

#include <cstddef>
#include <cstdint>
#include <string>

class FILE_c;
class xml_base_reader_c;
class zqtr_entry_c;

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

class xml_document_c : public xml_read_target_c {
 public:
  xml_document_c() = default;
  virtual ~xml_document_c();
  xml_document_c(const xml_document_c&) = delete;
  xml_document_c& operator=(const xml_document_c&) = delete;

  virtual void write_line_end(utl_stream_c& out) const;
  virtual bool _write_xml_buf_to_file(const char* buf, size_t len, FILE_c* file);

  // The loads fill the parse tree (root()), whose nodes go with the document.
  bool load(const char* path);
  // A file's bytes already in memory, read as load reads the file (the same messages).
  bool load_bytes(const char* data, size_t length);
  bool load_from_str(const char* text);
  // The same reads with the elements going to sink instead of the parse tree (the declaration
  // still comes to the document).
  bool load(const char* path, xml_element_sink_c* sink);
  bool load_from_str(const char* text, xml_element_sink_c* sink);
  // load_from_str of a buffer's text (up to its first zero byte, as there) that the reader takes
  // over (the buffer is left empty): for a text made only to be read. (load_from_str reads its text
  // where it stands, without a copy, too.)
  bool load_from_taken_text(utl_stream_c& text, xml_element_sink_c* sink);
  void set_version(const char* s) override;
  void set_encoding(const char* s) override;
  void set_style_sheet(const char* s);
  void set_xml_file(const char* s);
  void set_standalone(const char* s) override;
  bool add_node(xml_node_c* node, xml_node_c* parent) override;
  // validate_xml_name and k_max_depth: xml/xml_read_target.h.
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

  const char* version() const override { return m_version.text; }
  const char* encoding() const { return m_encoding.text; }
  bool standalone() const { return m_standalone; }
  const char* style_sheet() const { return m_style_sheet; }
  const char* xml_file() const { return m_xml_file; }
  // The parse tree as read (null before a load). Its nodes live in the document's arena: none of
  // them, detached or moved into another document, may outlive this document (see xml_node_c);
  // copy what must. A second load replaces the tree, but the memory of the nodes it replaced stays
  // with the document until the document goes: a document loaded again and again grows, so each
  // load of a new text goes into a new document.
  xml_node_c* root() const { return m_tree == nullptr ? nullptr : static_cast<xml_node_c*>(m_tree->root); }
  // Where the readers make the parse tree: it goes when the document does.
  xml_parse_space_c& parse_space() override { return m_space; }

 private:
  // A declaration value: in the document itself when it fits (a load takes nothing from the heap
  // for "1.0" or "UTF-8"), else on the heap.
  struct declaration_text_s {
    char* text = nullptr;
    char inline_text[16];
    declaration_text_s() = default;
    ~declaration_text_s();
    declaration_text_s(const declaration_text_s&) = delete;
    declaration_text_s& operator=(const declaration_text_s&) = delete;
    void set(const char* s);
  };
  declaration_text_s m_version;
  declaration_text_s m_encoding;
  bool m_standalone = true;
  char* m_style_sheet = nullptr;
  char* m_xml_file = nullptr;
  tree_c* m_tree = nullptr;
  xml_special_characters_c m_translator;
  // The first block of the parse tree's arena, in the document itself: a state file's tree fits
  // it, so its load takes no memory from the heap or from the arenas' kept blocks (nor their lock).
  static constexpr size_t k_first_block = 2048;
  alignas(bulk_arena_c::k_align) char m_first_block[k_first_block];
  xml_parse_space_c m_space{m_first_block, k_first_block};
  xml_load_problem_s m_problem;

  // Ends the nodes from top down, running only the destructors that free something (the arena's
  // memory goes with the document).
  static void _drop_tree(node_c* top);
  // The writes of any node of the tree: a parse node as such, a plain one (linked in by hand) as an
  // element with its name only.
  void _write_start(node_c* node, utl_stream_c& out);
  void _write_end(node_c* node, utl_stream_c& out) const;
  // The line end of a parse node (parsed), or the document's own for a plain node (null).
  void _write_line_end(const xml_node_c* parsed, utl_stream_c& out) const;
  void _write_subtree(node_c* node, utl_stream_c& out);
  bool _store_subtree(node_c* node, utl_stream_c& buffer, FILE_c* file);
  bool _read_file_content(xml_base_reader_c& reader);
  // Records the reader's refusal (or, read is true, a document without an element) in m_problem
  // and the trace; returns read.
  bool _note_problem(xml_base_reader_c& reader, bool read, bool streamed, zqtr_entry_c& tr);
  bool _read_text(xml_stream_reader_c& reader, xml_element_sink_c* sink, zqtr_entry_c& tr);
};

#endif
