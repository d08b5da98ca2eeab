// What a reader needs of the document it fills, below both: the document as a target of the
// declaration's values and the parse tree, the name check and depth limit of the grammar, the sink
// that may take the elements instead, and the translation of the four special characters (used by
// the reader on the way in and by the document on the way out). The document (xml/xml_doc.h) is
// the one target; the readers (xml/xml_reader.h) know no more of it than this. The name check and
// the translator are defined in xml_read_target.cpp: the readers call nothing of xml_doc.cpp.
#ifndef STATS_MNG_XML_XML_READ_TARGET_H
#define STATS_MNG_XML_XML_READ_TARGET_H

#include "xml/xml_item.h"

#include <cstddef>

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

  // Written before it is read: left uninitialised (a reader and a document each make one per load).
  char m_inline[1024];
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

class xml_read_target_c {
 public:
  virtual ~xml_read_target_c() = default;

  // The values of the XML declaration as read.
  virtual void set_version(const char* s) = 0;
  virtual void set_encoding(const char* s) = 0;
  virtual void set_standalone(const char* s) = 0;
  virtual const char* version() const = 0;
  // Where the readers make the parse tree, and a node read placed below its parent (the top element
  // when parent is null).
  virtual xml_parse_space_c& parse_space() = 0;
  virtual bool add_node(xml_node_c* node, xml_node_c* parent) = 0;

  static bool validate_xml_name(const char* name);
  // The name check's table for a reader that scans names itself: per byte 2 when it may begin a
  // name, 1 when it may only follow, 0 when it ends one.
  static const unsigned char* name_byte_kinds();
  // Elements nested deeper than this are refused as a parse error (the reader recurses per level).
  static constexpr unsigned k_max_depth = 1000;
};

#endif
