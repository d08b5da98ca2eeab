// Where each element and attribute of a document stands in its text: what an editor needs to
// change one value in a file's own bytes and leave every other byte as it was.
#ifndef STATS_MNG_XML_XML_SOURCE_MAP_H
#define STATS_MNG_XML_XML_SOURCE_MAP_H

#include "xml/xml_doc.h"
#include "xml/xml_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class xml_source_map_c : public xml_source_observer_c {
 public:
  static constexpr uint64_t k_unknown = ~static_cast<uint64_t>(0);
  static constexpr size_t k_none = ~static_cast<size_t>(0);

  struct attribute_s {
    std::string name;
    std::string value;  // as read: entities translated
    uint64_t name_begin = 0;
    uint64_t value_begin = 0;  // inside the quotes
    uint64_t value_end = 0;
  };
  struct element_s {
    std::string name;
    uint64_t begin = 0;            // the start tag's '<'
    uint64_t start_end = 0;        // after the start tag's '>'
    uint64_t end_begin = k_unknown;  // the end tag's '<' (start_end for an empty element)
    uint64_t end = k_unknown;      // after the end tag's '>'
    bool empty = false;            // written <name .../>
    bool has_text = false;
    std::string text;
    std::vector<attribute_s> attributes;  // as written, a repeated name again
    std::vector<size_t> children;
    size_t parent = k_none;
  };

  // Reads a document's bytes as xml_document_c::load_bytes reads them; false, with the problem
  // (line, column, reason), when the reader refuses them.
  bool read(const char* data, size_t length);
  const xml_load_problem_s& problem() const { return m_problem; }

  // Every element read, in document order (the first is the document's element).
  const std::vector<element_s>& elements() const { return m_elements; }
  // The attribute a reader of the document keeps for name (the last written, where it repeats);
  // null when the element has none.
  const attribute_s* attribute(const element_s& element, const char* name) const;
  // The attribute names in the order an item read from the element holds them (first writing).
  static std::vector<std::string> kept_names(const element_s& element);

  // The line and column (from 1, a column counting characters) of a byte offset of the text read.
  void position(uint64_t offset, unsigned long& line, unsigned long& column) const;

  void element_started(const char* name, uint64_t tag_begin, uint64_t tag_end, bool empty) override;
  void attribute_read(const char* name, const char* value, size_t value_length, uint64_t name_begin,
                      uint64_t value_begin, uint64_t value_end) override;
  void text_read(const char* text) override;
  void element_ended(uint64_t end_begin, uint64_t end_end) override;

 private:
  std::vector<element_s> m_elements;
  std::vector<size_t> m_open;
  xml_load_problem_s m_problem;
  const char* m_data = nullptr;
  size_t m_length = 0;
};

#endif
