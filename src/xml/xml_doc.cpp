#include "xml/xml_doc.h"

#include "file/file.h"
#include "platform/trc/zqtr.h"
#include "utl/utl.h"
#include "xml/xml_reader.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <new>

namespace {

const char* k_file = "xml_doc";

size_t depth_of(const node_c* node) {
  size_t depth = 0;
  for (const node_c* p = node->parent; p != nullptr; p = p->parent) ++depth;
  return depth;
}

}  // namespace

// ---- xml_document_c

xml_document_c::declaration_text_s::~declaration_text_s() {
  if (text != inline_text) delete[] text;
}

void xml_document_c::declaration_text_s::set(const char* s) {
  char* const was = text;
  if (s == nullptr) {
    text = nullptr;
  } else {
    // s may be the text held now: it is copied before the old one goes.
    const size_t length = std::strlen(s);
    if (length < sizeof inline_text) {
      std::memmove(inline_text, s, length + 1);
      text = inline_text;
    } else {
      text = new char[length + 1];
      std::memcpy(text, s, length + 1);
    }
  }
  if (was != nullptr && was != inline_text) delete[] was;
}

xml_document_c::~xml_document_c() {
  delete[] m_style_sheet;
  delete[] m_xml_file;
  if (m_tree != nullptr) {
    _drop_tree(m_tree->root);
    m_tree->root = nullptr;
  }
  delete m_tree;
}

// The tree goes with the arena its nodes were read into: only a node that owns something outside
// the arena (made on the heap, named, given a text or attributes of its own since) has its
// destructor run; the others are left to the arena. Children before their parent, without
// recursion (a deep document must not use the stack per level); a node is deleted with no children
// left linked, so its destructor deletes no child twice.
void xml_document_c::_drop_tree(node_c* top) {
  node_c* node = top;
  while (node != nullptr) {
    while (node->first_child != nullptr) node = node->first_child;
    // node has no children left: every one was dropped before it.
    for (;;) {
      node_c* const next = node == top ? nullptr : node->next;
      node_c* const parent = node == top ? nullptr : node->parent;
      node->first_child = node->last_child = nullptr;
      // Asked of the node itself: a tree may hold plain nodes (tree_c::create_node) too.
      if (!node->owns_nothing()) {
        node->parent = node->next = node->prev = nullptr;
        delete node;
      }
      if (next != nullptr) {
        node = next;
        break;
      }
      node = parent;
      if (node == nullptr) break;
    }
  }
}

void xml_document_c::write_line_end(utl_stream_c& out) const { out << "\n"; }

// The declaration's setters are called by the reader on every load: they open no trace scope.
void xml_document_c::set_version(const char* s) { m_version.set(s); }

void xml_document_c::set_encoding(const char* s) { m_encoding.set(s); }

void xml_document_c::set_style_sheet(const char* s) {
  ZQTR_SCOPE(tr, "xml_document_c::set_style_sheet", k_file);
  utl_n::str_replace(m_style_sheet, s);
}

void xml_document_c::set_xml_file(const char* s) {
  ZQTR_SCOPE(tr, "xml_document_c::set_xml_file", k_file);
  utl_n::str_replace(m_xml_file, s);
}

void xml_document_c::set_standalone(const char* s) {
  if (s == nullptr) return;
  if (std::strcmp(s, "no") == 0) m_standalone = false;
  if (std::strcmp(s, "yes") == 0) m_standalone = true;
}

bool xml_document_c::load(const char* path) { return load(path, nullptr); }

bool xml_document_c::load(const char* path, xml_element_sink_c* sink) {
  std::unique_ptr<xml_file_reader_c> reader(new xml_file_reader_c(nullptr));
  if (!reader->open_xml(path)) return false;
  set_xml_file(path);
  reader->set_document(this);
  reader->set_sink(sink);
  return _read_file_content(*reader);
}

bool xml_document_c::load_bytes(const char* data, size_t length) {
  xml_bytes_reader_c reader(this, data, length);
  return _read_file_content(reader);
}

std::string xml_load_problem_s::text() const {
  if (line == 0) return reason;
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + reason;
}

bool xml_document_c::_note_problem(xml_base_reader_c& reader, bool read, bool streamed, zqtr_entry_c& tr) {
  if (m_problem.set) m_problem = xml_load_problem_s();
  if (read) {
    // One item is read after the declaration: a comment or CDATA section there is the whole document.
    if (streamed || root() != nullptr) return true;
    m_problem.reason =
        "the first item after the declaration is a comment or CDATA section, which is read as the whole document "
        "(the document's element must come first)";
    m_problem.offset = reader.tag_begin();
  } else {
    m_problem.reason = reader.refusal().refused ? reader.refusal().reason : "the document cannot be read";
    m_problem.offset = reader.refusal().refused ? reader.refusal().offset : reader.offset();
  }
  m_problem.set = true;
  if (!reader.position_of(m_problem.offset, m_problem.line, m_problem.column)) m_problem.line = m_problem.column = 0;
  if (!read) tr.print(ZQTR_FAIL, __LINE__, "%s, %s\n", m_xml_file != nullptr ? m_xml_file : "the XML text",
           m_problem.text().c_str());
  return read;
}

bool xml_document_c::_read_file_content(xml_base_reader_c& reader) {
  ZQTR_SCOPE(tr, "xml_document_c::load", k_file);
  if (!reader.read_declaration()) {
    tr.print(ZQTR_FAIL, __LINE__, "Error in DECLARATION header of XML file\n");
    return _note_problem(reader, false, false, tr);
  }
  if (!reader.read_element(nullptr, false)) {
    tr.print(ZQTR_FAIL, __LINE__, "Can not parse XML file\n");
    return _note_problem(reader, false, false, tr);
  }
  return _note_problem(reader, true, reader.has_sink(), tr);
}

bool xml_document_c::load_from_str(const char* text) { return load_from_str(text, nullptr); }

// The read of a text by its stream reader, with the text's messages.
bool xml_document_c::_read_text(xml_stream_reader_c& reader, xml_element_sink_c* sink, zqtr_entry_c& tr) {
  reader.set_sink(sink);
  if (!reader.read_declaration()) {
    tr.print(ZQTR_FAIL, __LINE__, "Error in DECLARATION header of XML string\n");
    return _note_problem(reader, false, false, tr);
  }
  if (!reader.read_element(nullptr, true)) {
    tr.print(ZQTR_FAIL, __LINE__, "Can not parse XML string, \n%s\n", reader.text());
    return _note_problem(reader, false, false, tr);
  }
  return _note_problem(reader, true, sink != nullptr, tr);
}

bool xml_document_c::load_from_str(const char* text, xml_element_sink_c* sink) {
  ZQTR_SCOPE(tr, "xml_document_c::load_from_str", k_file);
  if (text == nullptr || text[0] == '\0') return false;
  xml_stream_reader_c reader(this, text);
  return _read_text(reader, sink, tr);
}

bool xml_document_c::load_from_taken_text(utl_stream_c& text, xml_element_sink_c* sink) {
  ZQTR_SCOPE(tr, "xml_document_c::load_from_taken_text", k_file);
  if (text.c_str()[0] == '\0') return false;
  xml_stream_reader_c reader(this, text);
  return _read_text(reader, sink, tr);
}

bool xml_document_c::add_node(xml_node_c* node, xml_node_c* parent) {
  if (m_tree == nullptr) {
    m_tree = new (m_space.arena) arena_made_ct<tree_c>;
    m_tree->root = node;
    return true;
  }
  if (parent == nullptr && m_tree->root != nullptr) {
    // A new top element replaces the tree.
    m_tree->delete_subtree(m_tree->root);
    delete m_tree->root;
    m_tree->root = nullptr;
    if (node == nullptr || node->parent != nullptr) return false;
    m_tree->root = node;
    return true;
  }
  if (node == nullptr || (node->parent != nullptr && node->parent != parent)) return false;
  if (parent != nullptr) {
    if (node->parent == nullptr) tree_c::append_child(parent, node);
    return true;
  }
  if (m_tree->root == nullptr) m_tree->root = node;
  return true;
}

void xml_document_c::write_declaration(utl_stream_c& out) const {
  out << "<" << "?xml";
  if (m_version.text != nullptr) out << " " << "version=" << "\"" << m_version.text << "\"";
  if (m_encoding.text != nullptr) out << " " << "encoding=" << "\"" << m_encoding.text << "\"";
  if (!m_standalone) out << " " << "standalone=" << "\"" << "no" << "\"";
  out << "?" << ">";
  write_line_end(out);
  if (m_style_sheet != nullptr) {
    out << "<" << "?xml-stylesheet" << " " << "type=" << "\"" << "text/xsl" << "\"" << " " << "href=" << "\""
        << m_style_sheet << "\"" << "?" << ">";
    write_line_end(out);
  }
}

void xml_document_c::write_start(xml_node_c* node, utl_stream_c& out) { _write_start(node, out); }

void xml_document_c::write_end(xml_node_c* node, utl_stream_c& out) const { _write_end(node, out); }

// A node of the tree that is no parse node (a plain one, linked in by hand) is written as an element
// with its name, without attributes or text; its children are written as any others.
void xml_document_c::_write_start(node_c* node, utl_stream_c& out) {
  if (node == nullptr) return;
  xml_node_c* const parsed = dynamic_cast<xml_node_c*>(node);
  for (size_t i = depth_of(node); i > 0; --i) out << "\t";
  const char* name = node->name == nullptr ? "" : node->name;
  out << "<" << name;
  // An element with text keeps its attributes too: dropping them would lose what was read.
  if (parsed != nullptr && parsed->attributes != nullptr) {
    for (xml_attr_c* a = parsed->attributes->first(); a != nullptr; a = parsed->attributes->next()) {
      const char* value = a->value() == nullptr || a->value()[0] == '\0' ? nullptr : m_translator.translate_to_xml(a->value());
      out << " " << (a->name() == nullptr ? "" : a->name()) << "=" << "\"" << (value == nullptr ? "" : value) << "\"";
    }
  }
  if (parsed != nullptr && parsed->kind == xml_node_c::TEXT_ELEMENT) {
    const char* text = m_translator.translate_to_xml(parsed->text.c_str());
    out << ">" << (text == nullptr ? "" : text) << "<" << "/" << name << ">";
  } else {
    if (node->first_child == nullptr) out << "/";
    out << ">";
  }
  _write_line_end(parsed, out);
}

void xml_document_c::_write_end(node_c* node, utl_stream_c& out) const {
  const xml_node_c* const parsed = dynamic_cast<const xml_node_c*>(node);
  if (node == nullptr || (parsed != nullptr && parsed->kind == xml_node_c::TEXT_ELEMENT)) return;
  for (size_t i = depth_of(node); i > 0; --i) out << "\t";
  out << "<" << "/" << (node->name == nullptr ? "" : node->name) << ">";
  _write_line_end(parsed, out);
}

void xml_document_c::_write_line_end(const xml_node_c* parsed, utl_stream_c& out) const {
  if (parsed != nullptr) {
    parsed->write_line_end(out);
  } else {
    write_line_end(out);
  }
}

void xml_document_c::write_to_stream(xml_node_c* node, utl_stream_c& out, bool with_declaration) {
  const bool whole = node == nullptr;
  if (whole) node = root();
  if (node == nullptr) return;
  if (whole && with_declaration) write_declaration(out);
  _write_subtree(node, out);
}

void xml_document_c::_write_subtree(node_c* node, utl_stream_c& out) {
  _write_start(node, out);
  for (node_c* child = node->first_child; child != nullptr; child = child->next) _write_subtree(child, out);
  if (node->first_child != nullptr) _write_end(node, out);
}

bool xml_document_c::_write_xml_buf_to_file(const char* buf, size_t len, FILE_c* file) {
  ZQTR_SCOPE(tr, "xml_document_c::_write_xml_buf_to_file", k_file);
  const size_t written = file == nullptr ? 0 : file->write(buf, len);
  if (written != len) {
    tr.print(ZQTR_FAIL, __LINE__, "Unable to write %s to xml file\n", buf);
    return false;
  }
  return true;
}

bool xml_document_c::store(FILE_c* file) {
  ZQTR_SCOPE(tr, "xml_document_c::store", k_file);
  utl_stream_c buffer;
  return _store(nullptr, buffer, file);
}

bool xml_document_c::_store(xml_node_c* node, utl_stream_c& buffer, FILE_c* file) {
  ZQTR_SCOPE(tr, "xml_document_c::_store", k_file);
  if (node == nullptr) {
    buffer << '\x01';
    write_declaration(buffer);
    if (!_write_xml_buf_to_file(buffer.c_str(), static_cast<size_t>(buffer.length()), file)) return false;
    node = root();
    // A document without elements is not a complete document.
    if (node == nullptr) return false;
  }
  return _store_subtree(node, buffer, file);
}

bool xml_document_c::_store_subtree(node_c* node, utl_stream_c& buffer, FILE_c* file) {
  buffer << '\x01';
  _write_start(node, buffer);
  if (!_write_xml_buf_to_file(buffer.c_str(), static_cast<size_t>(buffer.length()), file)) return false;
  for (node_c* child = node->first_child; child != nullptr; child = child->next) {
    xml_node_c* const parsed = dynamic_cast<xml_node_c*>(child);
    if (!(parsed != nullptr ? _store(parsed, buffer, file) : _store_subtree(child, buffer, file))) return false;
  }
  if (node->first_child != nullptr) {
    buffer << '\x01';
    _write_end(node, buffer);
    if (!_write_xml_buf_to_file(buffer.c_str(), static_cast<size_t>(buffer.length()), file)) return false;
  }
  return true;
}

bool xml_document_c::is_storable_text(const char* text) { return text_fault(text, false) == nullptr; }

const char* xml_document_c::text_fault(const char* text, bool utf8) {
  if (text == nullptr) return nullptr;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  for (const unsigned char* q = p; *q != '\0'; ++q) {
    if (*q == 0xFF) return "holds a byte 0xFF";
    if (*q == '\r' || *q == '\n') return "holds a line end";
  }
  for (const unsigned char* q = p; *q != '\0'; ++q) {
    // XML 1.0 carries no control character but tab, line feed and carriage return, not even as a reference.
    if (*q < 0x20 && *q != '\t') return "holds a control character (below 0x20, other than tab), which XML cannot carry";
  }
  if (!utf8) return nullptr;
  while (*p != '\0') {
    const unsigned char c = *p;
    size_t more = 0;
    uint32_t code = 0;
    if (c < 0x80) {
      ++p;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      code = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      code = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      code = c & 0x07u;
    } else {
      return "is not valid UTF-8 text";
    }
    for (size_t i = 1; i <= more; ++i) {
      if ((p[i] & 0xC0) != 0x80) return "is not valid UTF-8 text";
      code = (code << 6) | (p[i] & 0x3Fu);
    }
    // Overlong forms, surrogates and what lies beyond U+10FFFF are no UTF-8.
    if ((more == 2 && code < 0x800) || (more == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return "is not valid UTF-8 text";
    }
    if (code == 0xFFFE || code == 0xFFFF) return "holds U+FFFE or U+FFFF, which XML cannot carry";
    p += more + 1;
  }
  return nullptr;
}
