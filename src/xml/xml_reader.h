// The readers that turn XML text into the parse tree of a document: one holds the grammar, the
// others supply the characters (a file, a file's bytes in memory, a string).
#ifndef STATS_MNG_XML_XML_READER_H
#define STATS_MNG_XML_XML_READER_H

#include "file/file.h"
#include "xml/xml_doc.h"

#include <cstddef>
#include <memory>
#include <vector>

// What read_char gives at the end of the input (a byte 0xFF in the input ends it too).
constexpr unsigned char XML_END_OF_INPUT = 255;

// The grammar reads its characters from a window of bytes that the input classes fill: a byte costs
// a comparison, not a call.
class xml_base_reader_c {
 public:
  explicit xml_base_reader_c(xml_document_c* document);
  // The next byte; XML_END_OF_INPUT at the end.
  unsigned char read_char() { return m_next < m_end ? *m_next++ : _read_after_fill(); }
  // Gives back the byte just read.
  void unread_char() {
    if (m_next > m_begin) --m_next;
  }
  virtual void reset();
  virtual ~xml_base_reader_c();
  xml_base_reader_c(const xml_base_reader_c&) = delete;
  xml_base_reader_c& operator=(const xml_base_reader_c&) = delete;

  void set_document(xml_document_c* document) { m_document = document; }
  // With a sink the elements go to it as they are read, each gone at its end, and the document
  // gets no parse tree.
  void set_sink(xml_element_sink_c* sink) { m_sink = sink; }
  bool read_tag();
  void skip_blanks();
  bool at_tag_end();
  char* read_token(char delim, bool skip, bool quoted);
  bool read_declaration();
  bool read_element(xml_node_c* parent, bool skip_text);

  const char* tag() const { return m_tag; }
  size_t tag_capacity() const { return m_tag_capacity; }
  size_t tag_used() const { return m_tag_used; }

 protected:
  // Makes the next bytes of the input the window [m_next, m_end); false at the end of the input.
  // (A byte is given back only right after it was read, so a window never needs the one before.)
  virtual bool _fill() { return false; }

  const unsigned char* m_begin = nullptr;
  const unsigned char* m_next = nullptr;
  const unsigned char* m_end = nullptr;

 private:
  unsigned char _read_after_fill() { return _fill() && m_next < m_end ? *m_next++ : XML_END_OF_INPUT; }
  bool _read_element(xml_node_c* parent, bool skip_text, unsigned depth);
  bool _grow_tag();

  xml_document_c* m_document;
  xml_element_sink_c* m_sink = nullptr;
  char* m_tag;
  size_t m_tag_capacity = 512;
  size_t m_tag_pos = 0;
  // Bytes of tag that may be other than zero (the last tag read): only these are cleared for the
  // next tag, so a huge tag once read does not make every later tag cost its size.
  size_t m_tag_used = 0;
  // The length of the token read_token returned last.
  size_t m_token_length = 0;
  // The attributes of the element being read, for a sink that takes them as views.
  std::vector<xml_element_sink_c::attribute_view_s> m_views;
  xml_special_characters_c m_translator;
  // An element's text as it is read (one buffer for the whole document).
  utl_stream_c m_text{utl_stream_c::NO_BUFFER};
};

class xml_file_reader_c : public xml_base_reader_c {
 public:
  explicit xml_file_reader_c(xml_document_c* document) : xml_base_reader_c(document) {}
  ~xml_file_reader_c() override;
  void reset() override;

  bool open_xml(const char* path);

 protected:
  // Reads the next chunk: 4 KiB first, 64 KiB from then on.
  bool _fill() override;

 private:
  FILE_c m_file;
  std::unique_ptr<unsigned char[]> m_buffer;
  size_t m_capacity = 0;
};

// Reads bytes the caller keeps alive, as a file reader would read them from a file (a zero byte is
// a byte like any other): a file already in memory.
class xml_bytes_reader_c : public xml_base_reader_c {
 public:
  xml_bytes_reader_c(xml_document_c* document, const char* data, size_t length) : xml_base_reader_c(document) {
    m_begin = m_next = reinterpret_cast<const unsigned char*>(data);
    m_end = m_next + (data == nullptr ? 0 : length);
  }
};

class xml_stream_reader_c : public xml_base_reader_c {
 public:
  // Reads a copy of text, all of it one window.
  xml_stream_reader_c(xml_document_c* document, const char* text);
  // Reads the text of a buffer that the reader takes over (the buffer is left empty): the text is
  // the reader's own without a second copy of it.
  xml_stream_reader_c(xml_document_c* document, utl_stream_c& taken);
  const char* text() const { return m_text; }
  ~xml_stream_reader_c() override;
  void reset() override;

 private:
  char* m_text = nullptr;
};

#endif
