#include "xml/xml_read_target.h"

#include "xml/xml_name_bytes.h"

#include "platform/trc/zqtr.h"
#include "utl/utl.h"

#include <cstring>

namespace {

// The trace names the document as the place of a bad name, as it always has.
const char* k_file = "xml_doc";

struct entity_s {
  char character;
  const char* name;
};
const entity_s k_entities[] = {{'"', "quot"}, {'&', "amp"}, {'<', "lt"}, {'>', "gt"}};

}  // namespace

// ---- xml_special_characters_c

xml_special_characters_c::~xml_special_characters_c() {
  if (m_heap) delete[] m_buffer;
}

bool xml_special_characters_c::_reserve(size_t size) {
  if (size <= m_capacity) return true;
  const size_t capacity = (size / 64 + 1) * 64;
  char* buffer = new char[capacity];
  if (m_heap) delete[] m_buffer;
  m_buffer = buffer;
  m_capacity = capacity;
  m_heap = true;
  return true;
}

bool xml_special_characters_c::_grow(size_t more) {
  char* buffer = new char[m_capacity + more];
  std::memcpy(buffer, m_buffer, m_used);
  if (m_heap) delete[] m_buffer;
  m_buffer = buffer;
  m_capacity += more;
  m_heap = true;
  return true;
}

const char* xml_special_characters_c::translate_to_xml(const char* s) {
  ZQTR_SCOPE(tr, "xml_special_characters_c::translate_to_xml", "xml_translator");
  if (s == nullptr || s[0] == '\0') return nullptr;
  const size_t length = std::strlen(s);
  _reserve(length * 2);
  m_used = 0;
  for (const char* p = s; *p != '\0'; ++p) {
    const char* name = nullptr;
    for (const entity_s& e : k_entities) {
      if (e.character == *p) name = e.name;
    }
    const size_t piece = name == nullptr ? 1 : std::strlen(name) + 2;
    while (m_used + piece + 1 > m_capacity) _grow(64);
    if (name == nullptr) {
      m_buffer[m_used++] = *p;
    } else {
      m_buffer[m_used++] = '&';
      std::memcpy(m_buffer + m_used, name, piece - 2);
      m_used += piece - 2;
      m_buffer[m_used++] = ';';
    }
  }
  m_buffer[m_used] = '\0';
  return m_buffer;
}

const char* xml_special_characters_c::translate_from_xml(const char* s) {
  if (s == nullptr) return nullptr;
  size_t length = std::strlen(s);
  return translate_from_xml(s, length);
}

const char* xml_special_characters_c::translate_from_xml(const char* s, size_t& length) {
  if (s == nullptr) return nullptr;
  // Most texts hold no entity: they are their own translation.
  if (std::memchr(s, '&', length) == nullptr) return s;
  _reserve(length + 1);
  m_used = 0;
  for (size_t i = 0; i < length;) {
    if (s[i] == '&') {
      size_t end = 0;
      for (size_t k = 1; k <= 6 && i + k < length; ++k) {
        if (s[i + k] == ';') {
          end = k;
          break;
        }
      }
      // One to five characters between '&' and ';'.
      if (end >= 2) {
        const size_t name_length = end - 1;
        char found = '\0';
        for (const entity_s& e : k_entities) {
          if (std::strlen(e.name) == name_length && utl_n::ascii_compare_nocase(e.name, s + i + 1, name_length) == 0) {
            found = e.character;
          }
        }
        if (found != '\0') {
          m_buffer[m_used++] = found;
          i += end + 1;
          continue;
        }
      }
    }
    m_buffer[m_used++] = s[i++];
  }
  m_buffer[m_used] = '\0';
  length = m_used;
  return m_buffer;
}

namespace {

// What a byte may be in an XML name: 1 anywhere, 2 also first.
struct name_bytes_s {
  unsigned char kind[256] = {};
  constexpr name_bytes_s() {
    for (int c = 0; c < 256; ++c) kind[c] = xml_name_byte_kind(c);
  }
};
constexpr name_bytes_s k_name_bytes;

}  // namespace

const unsigned char* xml_read_target_c::name_byte_kinds() { return k_name_bytes.kind; }

bool xml_read_target_c::validate_xml_name(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  // Names are checked by the thousand while a document is read: a good one costs no trace scope.
  bool ok = k_name_bytes.kind[static_cast<unsigned char>(name[0])] == 2;
  for (const char* p = name + 1; ok && *p != '\0'; ++p) ok = k_name_bytes.kind[static_cast<unsigned char>(*p)] != 0;
  if (ok) return true;
  ZQTR_SCOPE(tr, "xml_document_c::validate_xml_name", k_file);
  tr.print(ZQTR_FAIL, __LINE__, "Invalid XML name %s\n", name);
  return false;
}

