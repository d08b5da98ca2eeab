#include "xml/xml_source_map.h"

#include <cstring>

bool xml_source_map_c::read(const char* data, size_t length) {
  m_elements.clear();
  m_open.clear();
  m_data = data;
  m_length = data == nullptr ? 0 : length;
  xml_document_c doc;
  xml_bytes_reader_c reader(&doc, data, length);
  reader.set_observer(this);
  // The document's own read, so that what it refuses, and why, is what a load refuses.
  m_problem = xml_load_problem_s();
  const bool read = reader.read_declaration() && reader.read_element(nullptr, false);
  if (read && !m_elements.empty()) return true;
  m_problem.set = true;
  if (read) {
    m_problem.reason = "the document holds no element";
    m_problem.offset = reader.tag_begin();
  } else {
    m_problem.reason = reader.refusal().refused ? reader.refusal().reason : "the document cannot be read";
    m_problem.offset = reader.refusal().refused ? reader.refusal().offset : reader.offset();
  }
  position(m_problem.offset, m_problem.line, m_problem.column);
  return false;
}

const xml_source_map_c::attribute_s* xml_source_map_c::attribute(const element_s& element, const char* name) const {
  const attribute_s* kept = nullptr;
  for (const attribute_s& a : element.attributes) {
    if (a.name == name) kept = &a;
  }
  return kept;
}

std::vector<std::string> xml_source_map_c::kept_names(const element_s& element) {
  std::vector<std::string> names;
  for (const attribute_s& a : element.attributes) {
    bool seen = false;
    for (const std::string& n : names) seen = seen || n == a.name;
    if (!seen) names.push_back(a.name);
  }
  return names;
}

void xml_source_map_c::position(uint64_t offset, unsigned long& line, unsigned long& column) const {
  line = column = 1;
  const size_t n = offset < m_length ? static_cast<size_t>(offset) : m_length;
  xml_base_reader_c::count_position(reinterpret_cast<const unsigned char*>(m_data), n, line, column);
}

void xml_source_map_c::element_started(const char* name, uint64_t tag_begin, uint64_t tag_end, bool empty) {
  element_s element;
  element.name = name;
  element.begin = tag_begin;
  element.start_end = tag_end;
  element.empty = empty;
  element.parent = m_open.empty() ? k_none : m_open.back();
  const size_t index = m_elements.size();
  if (element.parent != k_none) m_elements[element.parent].children.push_back(index);
  m_elements.push_back(std::move(element));
  m_open.push_back(index);
}

void xml_source_map_c::attribute_read(const char* name, const char* value, size_t value_length, uint64_t name_begin,
                                      uint64_t value_begin, uint64_t value_end) {
  if (m_open.empty()) return;
  attribute_s a;
  a.name = name;
  a.value.assign(value, value_length);
  a.name_begin = name_begin;
  a.value_begin = value_begin;
  a.value_end = value_end;
  m_elements[m_open.back()].attributes.push_back(std::move(a));
}

void xml_source_map_c::text_read(const char* text) {
  if (m_open.empty()) return;
  element_s& element = m_elements[m_open.back()];
  element.has_text = true;
  element.text = text;
}

void xml_source_map_c::element_ended(uint64_t end_begin, uint64_t end_end) {
  if (m_open.empty()) return;
  element_s& element = m_elements[m_open.back()];
  element.end_begin = end_begin;
  element.end = end_end;
  m_open.pop_back();
}
