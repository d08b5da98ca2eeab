#include "stats_mng/state_scan.h"

#include "xml/xml_name_bytes.h"

#include <cstring>

namespace {

// What a byte may be: 1 a name byte, 2 also a name's first byte (the reader's own name rule),
// 4 a blank between tags, 8 a byte of an attribute value that means the same to the reader (no
// quote, '<', '>', line end, zero byte or 0xFF, the reader's end of input; '&' begins an entity,
// which only the values not taken may hold).
struct classes_s {
  unsigned char of[256] = {};
  constexpr classes_s() {
    for (int c = 0; c < 256; ++c) {
      const unsigned char name = xml_name_byte_kind(c);
      if (name == 2) {
        of[c] = 2 | 1;
      } else if (name == 1) {
        of[c] = 1;
      }
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') of[c] |= 4;
      if ((c >= 0x20 && c < 0xFF && c != '"' && c != '<' && c != '>') || c == '\t') of[c] |= 8;
    }
  }
};
constexpr classes_s k_classes;
constexpr unsigned char k_name = 1, k_name_first = 2, k_between = 4, k_value = 8;

class scanner_c {
 public:
  scanner_c(char* data, size_t length) : m_at(data), m_end(data + length) {}

  bool document(state_scan_n::texts_s& out) {
    if (!declaration()) return false;
    skip_between();
    // The document's element, not empty, then its children, each empty or with nothing but its end tag.
    const char* root = nullptr;
    size_t root_length = 0;
    bool empty = false;
    if (!take('<') || !start_tag(root, root_length, empty, nullptr) || empty) return false;
    bool first = true;
    for (;;) {
      skip_between();
      if (!take('<')) return false;
      if (m_at < m_end && *m_at == '/') {
        ++m_at;
        // The document's end tag: nothing after it is read, by either reader.
        return !first && end_tag(root, root_length);
      }
      const char* name = nullptr;
      size_t name_length = 0;
      if (!start_tag(name, name_length, empty, first ? &out : nullptr)) return false;
      if (!empty) {
        skip_between();
        if (!take('<') || !take('/') || !end_tag(name, name_length)) return false;
      }
      first = false;
    }
  }

 private:
  bool take(char c) {
    if (m_at >= m_end || *m_at != c) return false;
    ++m_at;
    return true;
  }
  bool is(unsigned char kind) const { return m_at < m_end && (k_classes.of[static_cast<unsigned char>(*m_at)] & kind) != 0; }
  void skip_between() {
    while (is(k_between)) ++m_at;
  }
  void skip_blanks_in_tag() {
    while (m_at < m_end && (*m_at == ' ' || *m_at == '\t')) ++m_at;
  }
  const char* name(size_t& length) {
    if (!is(k_name_first)) return nullptr;
    const char* begin = m_at;
    while (is(k_name)) ++m_at;
    length = static_cast<size_t>(m_at - begin);
    return begin;
  }
  // A value in double quotes right after '='; end is its closing quote, entity whether it holds a '&'.
  char* value(char*& end, bool& entity) {
    if (!take('"')) return nullptr;
    char* begin = m_at;
    while (is(k_value)) ++m_at;
    if (m_at >= m_end || *m_at != '"') return nullptr;
    end = m_at++;
    entity = std::memchr(begin, '&', static_cast<size_t>(end - begin)) != nullptr;
    return begin;
  }
  static bool named(const char* name, size_t length, const char* wanted) {
    return std::strlen(wanted) == length && std::memcmp(name, wanted, length) == 0;
  }

  // <?xml version="V"[ encoding="E"][ standalone="S"][blanks]?> with plain values, first in the
  // bytes but for what stands before its '<' (the reader skips that).
  bool declaration() {
    while (m_at < m_end && *m_at != '<') {
      if (static_cast<unsigned char>(*m_at) == 0xFF) return false;
      ++m_at;
    }
    static const char k_open[] = "<?xml ";
    if (static_cast<size_t>(m_end - m_at) < sizeof k_open - 1 || std::memcmp(m_at, k_open, sizeof k_open - 1) != 0) {
      return false;
    }
    m_at += sizeof k_open - 1;
    static const char* const k_names[] = {"version", "encoding", "standalone"};
    size_t next = 0;  // the attributes in this order, each at most once, the version first
    for (;;) {
      skip_blanks_in_tag();
      if (m_at < m_end && *m_at == '?') return next > 0 && take('?') && take('>');
      if (next > 0 && m_at[-1] != ' ' && m_at[-1] != '\t') return false;
      size_t length = 0;
      const char* attribute = name(length);
      if (attribute == nullptr || !take('=') || !take('"')) return false;
      while (next < 3 && !named(attribute, length, k_names[next])) {
        if (next == 0) return false;
        ++next;
      }
      if (next == 3) return false;
      ++next;
      const char* begin = m_at;
      while (m_at < m_end && ((*m_at >= 'a' && *m_at <= 'z') || (*m_at >= 'A' && *m_at <= 'Z') ||
                              (*m_at >= '0' && *m_at <= '9') || *m_at == '.' || *m_at == '_' || *m_at == '-')) {
        ++m_at;
      }
      if (m_at == begin || !take('"')) return false;
    }
  }

  // After '<': a name, attributes each after a blank, then '>' or "/>". The attributes the state
  // is read from are taken when texts is given.
  bool start_tag(const char*& tag_name, size_t& tag_length, bool& empty, state_scan_n::texts_s* texts) {
    tag_name = name(tag_length);
    if (tag_name == nullptr) return false;
    for (;;) {
      const bool blank = m_at < m_end && (*m_at == ' ' || *m_at == '\t');
      skip_blanks_in_tag();
      if (take('>')) {
        empty = false;
        return true;
      }
      if (take('/')) {
        empty = true;
        return take('>');
      }
      if (!blank) return false;
      size_t length = 0;
      const char* attribute = name(length);
      if (attribute == nullptr || !take('=')) return false;
      char* end = nullptr;
      bool entity = false;
      const char* text = value(end, entity);
      if (text == nullptr) return false;
      if (texts == nullptr) continue;
      const bool taken = named(attribute, length, "IsSyncReplicated") || named(attribute, length, "State") ||
                         named(attribute, length, "IsSyncReplicatedTime");
      if (taken && entity) return false;  // a value to translate is the full reader's
      if (named(attribute, length, "IsSyncReplicated")) {
        texts->synced = text;
        m_ends[0] = end;
      } else if (named(attribute, length, "State")) {
        texts->state = text;
        m_ends[1] = end;
      } else if (named(attribute, length, "IsSyncReplicatedTime")) {
        texts->time = text;
        m_ends[2] = end;
      }
    }
  }

  // After "</": the name of the element it ends, then '>'.
  bool end_tag(const char* wanted, size_t wanted_length) {
    if (static_cast<size_t>(m_end - m_at) < wanted_length + 1 || std::memcmp(m_at, wanted, wanted_length) != 0) {
      return false;
    }
    m_at += wanted_length;
    return take('>');
  }

  char* m_at;
  char* m_end;

 public:
  // The closing quotes of the texts taken: they become the texts' ends once the whole document
  // has been scanned (the bytes stay as they were until then).
  char* m_ends[3] = {};
};

}  // namespace

namespace state_scan_n {

bool scan(char* data, size_t length, texts_s& out) {
  out = texts_s();
  if (data == nullptr) return false;
  scanner_c scanner(data, length);
  if (!scanner.document(out)) {
    out = texts_s();
    return false;
  }
  for (char* end : scanner.m_ends) {
    if (end != nullptr) *end = '\0';
  }
  return true;
}

}  // namespace state_scan_n
