// The readers that turn XML text into the parse tree of a document: one holds the grammar, the
// others supply the characters (a file, a file's bytes in memory, a string).
#ifndef STATS_MNG_XML_XML_READER_H
#define STATS_MNG_XML_XML_READER_H

#include "file/file.h"
#include "xml/xml_read_target.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What read_char gives at the end of the input (a byte 0xFF in the input ends it too).
constexpr unsigned char XML_END_OF_INPUT = 255;

// Told where each element and attribute stands in the input (byte offsets from its first byte), as
// the reader reads them: what an editor needs to change one value in a file's own text.
class xml_source_observer_c {
 public:
  virtual ~xml_source_observer_c() = default;
  // A start tag from its '<' to after its '>'; empty for a tag that ends in "/>".
  virtual void element_started(const char* name, uint64_t tag_begin, uint64_t tag_end, bool empty) = 0;
  // An attribute of the element last started: its name's first byte, its value as read (entities
  // translated) and the value's bytes inside the quotes. A repeated name comes again.
  virtual void attribute_read(const char* name, const char* value, size_t value_length, uint64_t name_begin,
                              uint64_t value_begin, uint64_t value_end) = 0;
  // The element's text as read (trimmed, entities translated).
  virtual void text_read(const char* text) = 0;
  // The element last started and not yet ended ends: its end tag from '<' to after '>' (for an
  // empty element both are the start tag's end).
  virtual void element_ended(uint64_t end_begin, uint64_t end_end) = 0;
};

// Why the reader refused its input, and where: the byte offset of the place, and the reason in words.
struct xml_refusal_s {
  bool refused = false;
  uint64_t offset = 0;
  std::string reason;
};

// The grammar reads its characters from a window of bytes that the input classes fill: a byte costs
// a comparison, not a call.
class xml_base_reader_c {
 public:
  explicit xml_base_reader_c(xml_read_target_c* document);
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

  void set_document(xml_read_target_c* document) { m_document = document; }
  // With a sink the elements go to it as they are read, each gone at its end, and the document
  // gets no parse tree.
  void set_sink(xml_element_sink_c* sink) { m_sink = sink; }
  void set_observer(xml_source_observer_c* observer) { m_observer = observer; }
  bool has_sink() const { return m_sink != nullptr; }
  // The first refusal of the grammar (none while the input reads).
  const xml_refusal_s& refusal() const { return m_refusal; }
  // Bytes of the input read so far.
  uint64_t offset() const { return m_window_offset + static_cast<uint64_t>(m_next - m_begin); }
  // Where the tag read last began (its '<').
  uint64_t tag_begin() const { return m_tag_begin; }
  // The line and column (from 1; a column counts characters, a tab one) of a byte offset; false
  // when the input can no longer be read there.
  virtual bool position_of(uint64_t offset, unsigned long& line, unsigned long& column);
  // Advances line and column over n bytes of input.
  static void count_position(const unsigned char* bytes, size_t n, unsigned long& line, unsigned long& column);
  // Reads the next tag into the reader's tag buffer (tag()).
  bool read_tag() { return _read_tag(false); }
  void skip_blanks();
  bool at_tag_end();
  char* read_token(char delim, bool skip, bool quoted);
  bool read_declaration();
  bool read_element(xml_node_c* parent, bool skip_text);

  // With false every reader from then on reads names, attributes, end tags and the declaration
  // token by token only, and measures each tag anew (the tests and the fuzz target compare the
  // two ways); true by default.
  static void set_one_pass_reads(bool on);
  // The setting set_one_pass_reads made last.
  static bool one_pass_reads();

  // The tag read last, in the reader's tag buffer (after read_tag).
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
  // Bytes of the input before the window's first.
  uint64_t m_window_offset = 0;

 private:
  // Records the first refusal (offset and reason); false.
  bool _refuse(uint64_t offset, std::string reason);
  // The offset of a byte of the current tag (tag bytes stand one for one for the input's).
  uint64_t _tag_offset(size_t index) const { return m_tag_begin + 1 + index; }
  // The refusal of a read_tag that failed: the input ended before a tag or inside one.
  bool _refuse_end(const char* before);
  // Whether the input's first bytes are those of a UTF-16 text (read as the first window).
  bool _starts_as_utf16() const;
  unsigned char _read_after_fill() { return _fill() && m_next < m_end ? *m_next++ : XML_END_OF_INPUT; }
  bool _read_element(xml_node_c* parent, bool skip_text, unsigned depth);
  // A streamed element (read into a sink) goes when its element ends, or the read fails: its
  // memory is had again by the next element, so a read holds no more than the elements it stands
  // in. Nothing to do without an arena.
  struct streamed_s {
    xml_node_c* node = nullptr;
    bulk_arena_c* arena = nullptr;
    bulk_arena_c::mark_s mark{};
    streamed_s() = default;
    streamed_s(const streamed_s&) = delete;
    streamed_s& operator=(const streamed_s&) = delete;
    ~streamed_s();
  };
  // An element's start read from its tag: the node made (null for a tag that starts none: an end
  // tag, a comment, a section), how its content is read, and the streamed element's end, which
  // comes when the caller's read of the element is over.
  struct element_start_s {
    xml_node_c* node = nullptr;
    bool views = false;
    bool empty = false;
    uint64_t offset_after_tag = 0;
    streamed_s streamed;
  };
  // The element's tag read, the tag read (m_located measured, or the tag buffer filled): what the
  // reads where a tag stands leave. Its content is read by the caller once this frame is gone, so
  // that a nesting level holds only the small frames of _read_element and _read_element_content
  // (a caller's thread may have a small stack; the depth limit counts on that).
  bool _read_element_tag(xml_node_c* parent, bool one_pass, element_start_s& start);
  // The element whose tag _read_element_tag reads, its content read after.
  bool _read_started_element(xml_node_c* parent, bool skip_text, unsigned depth, bool one_pass);
  // The refusals of an element nested too deep, and of an input that ends before parent's end.
  bool _refuse_depth();
  bool _refuse_end_in(const xml_node_c* parent);
  // An element's name of name bytes (a letter or '_' first) ended by the tag's end, a space or a
  // tab, read in one pass as the token reads would read it; null, nothing changed, for anything else.
  const char* _read_plain_element_name();
  // An attribute as nearly all are written, NAME="VALUE" with a name the grammar takes, read in
  // one pass (name and value ended in the tag, the position after the value); false, nothing
  // changed, for anything else, which the token reads then take (and refuse where they do).
  bool _read_plain_attribute(const char*& name, size_t& name_length, const char*& value, size_t& value_length);
  bool _grow_tag();
  // read_tag; with locate the tag is only found (m_located: its first byte after the '<', the
  // window's next), not copied: the element reader reads it where it stands, or measures it.
  bool _read_tag(bool locate);
  // The tag from the window's next byte up to its '>' copied into the tag buffer; false when the
  // input ends first.
  bool _copy_tag();
  // The located tag's length found (up to its '>', in the window): false when the input ends
  // first. A tag that the window cuts, that holds a zero byte or that the input's end ends is
  // copied into the tag buffer instead (m_located null then).
  bool _measure_located_tag();
  // The measured tag's bytes copied to to as read_tag copies a tag (line ends as blanks); what
  // follows them is the caller's.
  void _copy_located_bytes(char* to) const;
  // The measured tag copied into the tag buffer so.
  void _copy_located_tag();
  // A start tag as nearly all are written read where it stands, in one pass: the element's name
  // right after the '<', attributes NAME="VALUE" after one blank or none, no byte in the tag that
  // the copy would change or that needs translation, "/>" or '>' after them. Its bytes from the
  // name on are copied once into the document's arena, where the node made of them points, and
  // the node is placed below parent. Null, nothing read, for a tag written otherwise; failed is
  // set when the node could not be placed.
  xml_node_c* _read_plain_start_tag(xml_node_c* parent, bool& empty, bool& failed);
  // What follows an element's start tag: its text, the sink told, its children up to its end tag.
  bool _read_element_content(xml_node_c* node, bool views, bool empty, uint64_t offset_after_tag, bool skip_text,
                             unsigned depth);

  xml_read_target_c* m_document;
  xml_element_sink_c* m_sink = nullptr;
  xml_source_observer_c* m_observer = nullptr;
  xml_refusal_s m_refusal;
  uint64_t m_tag_begin = 0;
  // Whether the last read_tag that failed had begun a tag.
  bool m_cut_in_tag = false;
  // The reader's tag buffer: in the reader itself up to 512 bytes (a reader costs no allocation for
  // a small document), on the heap once a longer tag was read. (Cleared by the first read_tag.)
  char m_tag_inline[512];
  char* m_tag_buffer;
  size_t m_tag_capacity = 512;
  // The tag being read: in the tag buffer, or a copy in the document's arena that the element's
  // node keeps (its name and attributes point into it). Either way it ends in a zero byte that
  // k_tag_slack readable bytes follow.
  char* m_tag;
  size_t m_tag_pos = 0;
  // Bytes of the tag buffer that may be other than zero (the last tag copied there): only these are
  // cleared for the next tag, so a huge tag once read does not make every later tag cost its size.
  size_t m_tag_used = 0;
  // A tag found whole in the window and not yet copied (from after its '<', without its '>'), or
  // null; whether it holds a line end (which the copy makes a blank).
  const unsigned char* m_located = nullptr;
  size_t m_located_length = 0;
  bool m_located_line_end = false;
  // Whether the tag read last holds an '&' (else none of its values needs translation).
  bool m_tag_has_ampersand = false;
  // The length of the tag read last while nothing has been taken from it and no zero byte stands
  // in it (SIZE_MAX otherwise).
  size_t m_fresh_tag_length = SIZE_MAX;
  // The length of the token read_token returned last.
  size_t m_token_length = 0;
  // Where the attributes of a start tag read in one pass stand (offsets from the tag's name).
  struct plain_attribute_s {
    size_t name_begin;
    size_t name_end;  // its '=' (the value's quote follows)
    size_t value_end;
  };
  std::vector<plain_attribute_s> m_plain;
  // The attributes of the element being read, for a sink that takes them as views.
  std::vector<xml_element_sink_c::attribute_view_s> m_views;
  xml_special_characters_c m_translator;
  // An element's text as it is read (one buffer for the whole document).
  utl_stream_c m_text{utl_stream_c::NO_BUFFER};
};

class xml_file_reader_c : public xml_base_reader_c {
 public:
  explicit xml_file_reader_c(xml_read_target_c* document) : xml_base_reader_c(document) {}
  ~xml_file_reader_c() override;
  void reset() override;

  bool open_xml(const char* path);
  // Reads the file again from its start up to offset.
  bool position_of(uint64_t offset, unsigned long& line, unsigned long& column) override;

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
  xml_bytes_reader_c(xml_read_target_c* document, const char* data, size_t length) : xml_base_reader_c(document) {
    m_begin = m_next = reinterpret_cast<const unsigned char*>(data);
    m_end = m_next + (data == nullptr ? 0 : length);
  }
};

class xml_stream_reader_c : public xml_base_reader_c {
 public:
  // Reads text where it stands, all of it one window, without a copy: the reader only reads it,
  // and the text must stay as it is until the reader is done (nothing read keeps pointing into it).
  xml_stream_reader_c(xml_read_target_c* document, const char* text);
  // Reads the text of a buffer that the reader takes over (the buffer is left empty), up to its
  // first zero byte.
  xml_stream_reader_c(xml_read_target_c* document, utl_stream_c& taken);
  const char* text() const { return m_text; }
  ~xml_stream_reader_c() override;
  void reset() override;

 private:
  const char* m_text = nullptr;  // the text read
  char* m_taken = nullptr;       // a taken buffer, the reader's to free (null for a text read in place)
};

#endif
