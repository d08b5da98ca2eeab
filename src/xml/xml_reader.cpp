#include "xml/xml_reader.h"

#include "platform/trc/zqtr.h"
#include "platform/win32/win32_api.h"
#include "utl/utl.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const char* k_file = "xml_reader";
constexpr size_t k_tag_step = 512;
constexpr size_t k_first_chunk = 4 * 1024;
constexpr size_t k_chunk = 64 * 1024;

constexpr bool is_blank_byte(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The blanks as a table: one load per byte where the scans of a tag ask.
struct blank_bytes_s {
  bool blank[256] = {};
  constexpr blank_bytes_s() {
    for (int c = 0; c < 256; ++c) blank[c] = is_blank_byte(static_cast<unsigned char>(c));
  }
};
constexpr blank_bytes_s k_blank_bytes;

inline bool is_blank(unsigned char c) { return k_blank_bytes.blank[c]; }

// std::strchr for the texts of a tag (a value's closing quote): sixteen bytes at a time where
// the tag's buffer holds sixteen readable bytes past the tag's end (read_tag keeps them).
inline char* find_in_text(char* text, char c) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(c);
  for (;; text += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    const unsigned hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, wanted), _mm_cmpeq_epi8(v, _mm_setzero_si128()))));
    if (hits != 0) {
      char* at = text + __builtin_ctz(hits);
      return *at == c ? at : nullptr;
    }
  }
#else
  for (int i = 0; i < 16; ++i, ++text) {
    if (*text == c) return text;
    if (*text == '\0') return nullptr;
  }
  return std::strchr(text, c);
#endif
}

// Room the tag's buffer keeps past the tag's end: bytes that the scans of sixteen at a time may read.
constexpr size_t k_tag_slack = 16;

// The first byte from pos on that is no name byte (kinds: the name check's table), four bytes a
// step: a name ends at the tag's zero byte at the latest.
inline size_t name_end(const char* tag, size_t pos, const unsigned char* kinds) {
  auto kind = [tag, kinds](size_t at) { return kinds[static_cast<unsigned char>(tag[at])]; };
  while (kind(pos) != 0 && kind(pos + 1) != 0 && kind(pos + 2) != 0 && kind(pos + 3) != 0) pos += 4;
  while (kind(pos) != 0) ++pos;
  return pos;
}

// Whether the length bytes at text are the word.
template <size_t N>
bool is_word(const char* text, size_t length, const char (&word)[N]) {
  return length == N - 1 && std::memcmp(text, word, N - 1) == 0;
}

// The bytes that end a name in a tag when nothing else does: a blank or the tag's end.
struct name_stops_s {
  bool stops[256] = {};
  constexpr name_stops_s() {
    for (int c = 0; c < 256; ++c) stops[c] = c == 0 || is_blank_byte(static_cast<unsigned char>(c));
  }
};
constexpr name_stops_s k_name_stops;

// While a tag is copied: the byte that ends the input (1), line ends, which become blanks (2),
// '&', which tells that the tag's values may need translation (3), and a zero byte, which ends
// the tag's text where it stands (4).
struct tag_bytes_s {
  unsigned char kind[256] = {};
  constexpr tag_bytes_s() {
    kind[XML_END_OF_INPUT] = 1;
    kind[static_cast<unsigned char>('\n')] = 2;
    kind[static_cast<unsigned char>('\r')] = 2;
    kind[static_cast<unsigned char>('&')] = 3;
    kind[0] = 4;
  }
};
constexpr tag_bytes_s k_tag_bytes;

#if defined(__SSE2__)
// The bytes of 16 at p that k_tag_bytes marks, one bit each.
inline unsigned marked_tag_bytes(__m128i v) {
  const __m128i hits = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(XML_END_OF_INPUT))), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('&'))),
                   _mm_cmpeq_epi8(v, _mm_setzero_si128())));
  return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
inline unsigned marked_tag_bytes(const unsigned char* p) {
  return marked_tag_bytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// The first byte from at on (end at the latest) that is none of the line ends, tabs and zero bytes
// an element's text drops.
inline const unsigned char* past_dropped_bytes(const unsigned char* at, const unsigned char* end) {
  while (end - at >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i dropped = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'))),
                                         _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_setzero_si128())));
    const unsigned kept = ~static_cast<unsigned>(_mm_movemask_epi8(dropped)) & 0xFFFFu;
    if (kept != 0) return at + __builtin_ctz(kept);
    at += 16;
  }
  while (at < end && (*at == '\n' || *at == '\t' || *at == '\r' || *at == '\0')) ++at;
  return at;
}

// How many bytes from the first hold none that k_tag_bytes marks, sixteen at a time.
size_t plain_tag_bytes(const unsigned char* bytes, size_t n) {
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const unsigned marked = marked_tag_bytes(bytes + i);
    if (marked != 0) return i + static_cast<size_t>(__builtin_ctz(marked));
  }
  if (i < n && n >= 16) {
    // The last 16 bytes, of which those before i were looked at already.
    const unsigned marked = marked_tag_bytes(bytes + n - 16) >> (i - (n - 16));
    return marked != 0 ? i + static_cast<size_t>(__builtin_ctz(marked)) : n;
  }
  while (i < n && k_tag_bytes.kind[bytes[i]] == 0) ++i;
  return i;
}
#else
inline const unsigned char* past_dropped_bytes(const unsigned char* at, const unsigned char* end) {
  while (at < end && (*at == '\n' || *at == '\t' || *at == '\r' || *at == '\0')) ++at;
  return at;
}

// Whether a word of eight bytes holds one of the bytes k_tag_bytes marks.
constexpr uint64_t k_ones = 0x0101010101010101ull;
constexpr uint64_t k_highs = 0x8080808080808080ull;
constexpr bool has_byte(uint64_t word, unsigned char byte) {
  const uint64_t x = word ^ (k_ones * byte);
  return ((x - k_ones) & ~x & k_highs) != 0;
}

// How many bytes from the first hold none that k_tag_bytes marks, eight at a time.
size_t plain_tag_bytes(const unsigned char* bytes, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    if (has_byte(word, XML_END_OF_INPUT) || has_byte(word, '\n') || has_byte(word, '\r') || has_byte(word, '&') ||
        has_byte(word, 0)) {
      break;
    }
  }
  while (i < n && k_tag_bytes.kind[bytes[i]] == 0) ++i;
  return i;
}
#endif

// The bytes that end a run of an element's text kept as it is: the next tag's '<', the end of the
// input, and the line ends, tabs and zero bytes a text drops.
struct text_stops_s {
  bool stops[256] = {};
  constexpr text_stops_s() {
    stops[static_cast<unsigned char>('<')] = true;
    stops[XML_END_OF_INPUT] = true;
    stops[static_cast<unsigned char>('\r')] = true;
    stops[static_cast<unsigned char>('\n')] = true;
    stops[static_cast<unsigned char>('\t')] = true;
    stops[0] = true;
  }
};
constexpr text_stops_s k_text_stops;

// The bytes that end an attribute's value read where it stands in the input: its closing quote,
// and what ends the tag ('>', the end of the input, a zero byte), what a copy of the tag changes
// (line ends) or what may need translation ('&'), which leave the tag to the reads of its copy.
struct value_stops_s {
  bool stops[256] = {};
  constexpr value_stops_s() {
    for (int c = 0; c < 256; ++c) stops[c] = k_tag_bytes.kind[c] != 0;
    stops[static_cast<unsigned char>('"')] = true;
    stops[static_cast<unsigned char>('>')] = true;
  }
};
constexpr value_stops_s k_value_stops;

// The first byte from pos on (room at the latest) that k_value_stops marks.
inline size_t value_stop(const unsigned char* bytes, size_t pos, size_t room) {
#if defined(__SSE2__)
  while (room - pos >= 16) {
    // Candidates in few steps: the bytes up to 13 (zero and the line ends among them) by a
    // saturated subtraction, '"' (0x22) and '&' (0x26) as the two bytes that are 0x26 with bit 2
    // set, '>' and 0xFF; a candidate that is no stop (a tab, another control byte) is passed over.
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos));
    const __m128i low = _mm_cmpeq_epi8(_mm_subs_epu8(v, _mm_set1_epi8(13)), _mm_setzero_si128());
    const __m128i quote_or_ampersand = _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(4)), _mm_set1_epi8(0x26));
    const __m128i close_or_end = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('>')),
                                              _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(XML_END_OF_INPUT))));
    for (unsigned hits = static_cast<unsigned>(
             _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(low, quote_or_ampersand), close_or_end)));
         hits != 0; hits &= hits - 1) {
      const size_t at = pos + static_cast<size_t>(__builtin_ctz(hits));
      if (k_value_stops.stops[bytes[at]]) return at;
    }
    pos += 16;
  }
#endif
  while (pos < room && !k_value_stops.stops[bytes[pos]]) ++pos;
  return pos;
}

// Whether names and plain attributes are read in one pass (set_one_pass_reads).
std::atomic<bool> g_one_pass_reads{true};

}  // namespace

void xml_base_reader_c::set_one_pass_reads(bool on) { g_one_pass_reads.store(on, std::memory_order_relaxed); }
bool xml_base_reader_c::one_pass_reads() { return g_one_pass_reads.load(std::memory_order_relaxed); }

// ---- xml_base_reader_c

xml_base_reader_c::xml_base_reader_c(xml_read_target_c* document)
    : m_document(document), m_tag_buffer(m_tag_inline), m_tag(m_tag_inline) {
  static_assert(sizeof m_tag_inline == k_tag_step, "the first tag buffer is one step");
  // The buffer counts as used whole: the first tag read clears it (with the library's clear, where
  // a cleared member array would be a string store whose start costs more than a small
  // document's tags). Until then it reads as an empty tag.
  m_tag_inline[0] = '\0';
  m_tag_used = sizeof m_tag_inline;
}

xml_base_reader_c::~xml_base_reader_c() {
  if (m_tag_buffer != m_tag_inline) std::free(m_tag_buffer);
}

void xml_base_reader_c::reset() {
  m_begin = m_next = m_end = nullptr;
  m_window_offset = 0;
  m_refusal = xml_refusal_s();
  std::memset(m_tag_buffer, 0, m_tag_used);
  m_tag_used = 0;
  m_tag = m_tag_buffer;
  m_tag_pos = 0;
  m_located = nullptr;
  m_fresh_tag_length = SIZE_MAX;
}

bool xml_base_reader_c::_grow_tag() {
  // Growth in proportion to the size (at least a step): reading a tag of n bytes copies O(n) bytes.
  const size_t more = m_tag_capacity < k_tag_step ? k_tag_step : m_tag_capacity;
  char* grown = nullptr;
  if (m_tag_buffer == m_tag_inline) {
    grown = static_cast<char*>(std::malloc(m_tag_capacity + more));
    if (grown != nullptr) std::memcpy(grown, m_tag_inline, m_tag_capacity);
  } else {
    grown = static_cast<char*>(std::realloc(m_tag_buffer, m_tag_capacity + more));
  }
  if (grown == nullptr) throw std::bad_alloc();
  std::memset(grown + m_tag_capacity, 0, more);
  // (Grown only while a tag is copied into it: the tag being read is the buffer's.)
  m_tag_buffer = m_tag = grown;
  m_tag_capacity += more;
  return true;
}

bool xml_base_reader_c::_refuse(uint64_t offset, std::string reason) {
  if (!m_refusal.refused) {
    m_refusal.refused = true;
    m_refusal.offset = offset;
    m_refusal.reason = std::move(reason);
  }
  return false;
}

bool xml_base_reader_c::_refuse_end(const char* before) {
  if (m_cut_in_tag) return _refuse(offset(), "the input ends inside a tag (no '>' after its '<')");
  return _refuse(offset(), std::string("the input ends before ") + before);
}

void xml_base_reader_c::count_position(const unsigned char* bytes, size_t n, unsigned long& line,
                                       unsigned long& column) {
  for (size_t i = 0; i < n; ++i) {
    if (bytes[i] == '\n') {
      ++line;
      column = 1;
    } else if ((bytes[i] & 0xC0) != 0x80 && bytes[i] != '\r') {
      ++column;  // a character's first byte (a UTF-8 continuation byte is none)
    }
  }
}

bool xml_base_reader_c::position_of(uint64_t offset, unsigned long& line, unsigned long& column) {
  line = column = 1;
  // A reader of one window (bytes or a text in memory) still has all of it.
  if (m_window_offset != 0 || m_begin == nullptr || offset > static_cast<uint64_t>(m_end - m_begin)) return false;
  count_position(m_begin, static_cast<size_t>(offset), line, column);
  return true;
}

bool xml_base_reader_c::_read_tag(bool locate) {
  if (m_tag_used != 0) {
    std::memset(m_tag_buffer, 0, m_tag_used);
    m_tag_used = 0;
  }
  m_tag = m_tag_buffer;
  m_tag_pos = 0;
  m_located = nullptr;
  m_cut_in_tag = false;
  m_tag_has_ampersand = false;
  m_fresh_tag_length = SIZE_MAX;
  // Up to the '<' (a byte 0xFF first ends the input), a window at a time. What stands between
  // tags is mostly a line end and a few tabs: a plain loop finds the '<' soonest.
  for (;;) {
    if (m_next >= m_end && !_fill()) return false;
    const unsigned char* at = m_next;
    while (at < m_end && *at != '<' && *at != XML_END_OF_INPUT) ++at;
    if (at == m_end) {
      m_next = at;
      continue;
    }
    m_next = at + 1;
    if (*at == XML_END_OF_INPUT) return false;  // the end of the input is read
    m_tag_begin = m_window_offset + static_cast<uint64_t>(at - m_begin);
    m_cut_in_tag = true;  // until its '>'
    break;
  }
  if (locate) {
    // Measured (or copied) when the element reader asks: the tag is read where it stands first.
    m_located = m_next;
    return true;
  }
  return _copy_tag();
}

bool xml_base_reader_c::_copy_tag() {
  bool zero_inside = false;
#if defined(__SSE2__)
  // Nearly every tag is read here whole: sixteen bytes at a time copied as they stand and looked
  // at for its '>' and the bytes k_tag_bytes marks, while the window and the tag's room hold
  // sixteen more. What the last copy took past the tag is cleared again (the bytes after a tag
  // stay zero); the loop below reads on where this one stops.
  {
    const unsigned char* from = m_next;
    size_t pos = m_tag_pos;
    size_t written = pos;
    bool closed = false;
    bool ended = false;
    while (m_end - from >= 16 && m_tag_capacity - 1 - k_tag_slack - pos >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(m_tag + pos), v);
      written = pos + 16;
      const unsigned hits =
          marked_tag_bytes(v) | static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('>'))));
      if (hits == 0) {
        from += 16;
        pos += 16;
        continue;
      }
      const unsigned skip = static_cast<unsigned>(__builtin_ctz(hits));
      from += skip;
      pos += skip;
      const unsigned char c = *from++;
      if (c == '>') {
        closed = true;
        break;
      }
      const unsigned char kind = k_tag_bytes.kind[c];
      if (kind == 1) {
        ended = true;  // the end of the input is read
        break;
      }
      if (kind == 3) {
        m_tag_has_ampersand = true;
      } else if (kind == 4) {
        zero_inside = true;
      } else {
        m_tag[pos] = ' ';
      }
      ++pos;
    }
    // Fewer than sixteen bytes from pos on were written (and the room holds sixteen).
    if (written > pos) _mm_storeu_si128(reinterpret_cast<__m128i*>(m_tag + pos), _mm_setzero_si128());
    m_next = from;
    m_tag_pos = pos;
    if (ended) {
      m_tag_used = m_tag_pos;
      return false;
    }
    if (closed) {
      m_cut_in_tag = false;
      m_tag_used = m_tag_pos + 1;
      if (!zero_inside) m_fresh_tag_length = m_tag_pos;
      m_tag_pos = 0;
      return true;
    }
  }
#endif
  // Then the tag up to its '>', copied a window at a time: line ends become blanks, and a byte
  // 0xFF ends the input.
  for (;;) {
    if (m_next >= m_end && !_fill()) {
      m_tag_used = m_tag_pos;
      return false;
    }
    const size_t window = static_cast<size_t>(m_end - m_next);
    const void* close = std::memchr(m_next, '>', window);
    const size_t run = close == nullptr ? window : static_cast<size_t>(static_cast<const unsigned char*>(close) - m_next);
    while (m_tag_capacity - 1 - k_tag_slack - m_tag_pos < run) _grow_tag();
    char* to = m_tag + m_tag_pos;
    const unsigned char* from = m_next;
    // Most of a tag holds none of the bytes the loop below looks at: that part is copied whole.
    size_t copied = plain_tag_bytes(from, run);
    std::memcpy(to, from, copied);
    bool ended = false;
    for (; copied < run; ++copied) {
      unsigned char c = from[copied];
      if (k_tag_bytes.kind[c] != 0) {
        if (k_tag_bytes.kind[c] == 1) {
          ended = true;
          break;
        }
        if (k_tag_bytes.kind[c] == 3) {
          m_tag_has_ampersand = true;
        } else if (k_tag_bytes.kind[c] == 4) {
          zero_inside = true;
        } else {
          c = ' ';
        }
      }
      to[copied] = static_cast<char>(c);
    }
    m_tag_pos += copied;
    m_next += copied;
    if (ended) {
      ++m_next;  // the end of the input is read
      m_tag_used = m_tag_pos;
      return false;
    }
    if (close != nullptr) {
      ++m_next;
      break;
    }
  }
  m_cut_in_tag = false;
  // The byte after the tag is zero already (it stood past the tag before, or in the last tag,
  // cleared above): no store of it here, which the first scans of the tag would wait for.
  m_tag_used = m_tag_pos + 1;
  if (!zero_inside) m_fresh_tag_length = m_tag_pos;
  m_tag_pos = 0;
  return true;
}

bool xml_base_reader_c::_measure_located_tag() {
  // The tag's '>' looked for in the window, the bytes k_tag_bytes marks noted on the way. A tag
  // that the window cuts, that holds a zero byte or that the end of the input ends is copied into
  // the tag buffer instead, as read_tag copies it (from its first byte: nothing was taken yet).
  const unsigned char* at = m_located;
  bool line_end = false;
  bool ampersand = false;
  bool found = false;
  bool plain = true;
#if defined(__SSE2__)
  while (plain && !found && m_end - at >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    unsigned hits =
        marked_tag_bytes(v) | static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('>'))));
    for (; hits != 0; hits &= hits - 1) {
      const unsigned char* hit = at + __builtin_ctz(hits);
      const unsigned char kind = *hit == '>' ? 0 : k_tag_bytes.kind[*hit];
      if (kind == 0) {
        at = hit;
        found = true;
        break;
      }
      if (kind == 2) {
        line_end = true;
      } else if (kind == 3) {
        ampersand = true;
      } else {
        plain = false;
        break;
      }
    }
    if (!found) at += 16;
  }
#endif
  for (; plain && !found && at < m_end; ++at) {
    if (*at == '>') {
      found = true;
      break;
    }
    const unsigned char kind = k_tag_bytes.kind[*at];
    if (kind == 2) {
      line_end = true;
    } else if (kind == 3) {
      ampersand = true;
    } else if (kind != 0) {
      plain = false;
    }
  }
  if (plain && found) {
    m_located_length = static_cast<size_t>(at - m_located);
    m_located_line_end = line_end;
    m_tag_has_ampersand = ampersand;
    m_fresh_tag_length = m_located_length;
    m_next = at + 1;
    m_cut_in_tag = false;
    return true;
  }
  m_located = nullptr;
  return _copy_tag();
}

void xml_base_reader_c::_copy_located_bytes(char* to) const {
  std::memcpy(to, m_located, m_located_length);
  if (!m_located_line_end) return;
  for (size_t i = 0; i < m_located_length; ++i) {
    if (to[i] == '\n' || to[i] == '\r') to[i] = ' ';
  }
}

void xml_base_reader_c::_copy_located_tag() {
  const size_t length = m_located_length;
  while (m_tag_capacity - 1 - k_tag_slack < length) _grow_tag();
  char* const to = m_tag_buffer;
  _copy_located_bytes(to);
  // The bytes after it are zero (the buffer was cleared for it).
  m_tag_used = length + 1;
  m_tag = to;
  m_located = nullptr;
}

// The tag always ends in a zero byte before its buffer's end (the bytes past the tag read last are
// kept zero), so the scans below stop at that zero and need no bound of their own. They work on
// locals: a store through the tag's bytes could otherwise be taken to change the members.
void xml_base_reader_c::skip_blanks() {
  const char* tag = m_tag;
  size_t pos = m_tag_pos;
  while (is_blank(static_cast<unsigned char>(tag[pos]))) ++pos;
  m_tag_pos = pos;
}

bool xml_base_reader_c::at_tag_end() {
  skip_blanks();
  char& c = m_tag[m_tag_pos];
  if (c == '\0' || c == '\n' || (c == '^' && m_tag[m_tag_pos + 1] == 'M')) {
    c = '\0';
    return true;
  }
  return false;
}

char* xml_base_reader_c::read_token(char delim, bool skip, bool quoted) {
  char* const tag = m_tag;
  size_t pos = m_tag_pos;
  if (skip) {
    while (is_blank(static_cast<unsigned char>(tag[pos]))) ++pos;
    m_tag_pos = pos;
  }
  const bool blank_ends = skip && !quoted;
  const size_t entry = pos;
  if (tag[pos] == '\0') return nullptr;
  if (quoted) {
    if (tag[pos] != delim) return nullptr;
    ++pos;
  }
  const size_t start = pos;
  if (!blank_ends && delim != '\0') {
    // A quoted value, found at once.
    char* found = std::strchr(tag + start, delim);
    if (found == nullptr) {
      m_tag_pos = entry;
      return nullptr;
    }
    *found = '\0';
    m_token_length = static_cast<size_t>(found - (tag + start));
    m_tag_pos = start + m_token_length + 1;
    return tag + start;
  }
  for (;; ++pos) {
    const char c = tag[pos];
    if (c == delim && c != '\0') {
      m_token_length = pos - start;
      tag[pos] = '\0';
      m_tag_pos = pos + 1;
      return tag + start;
    }
    if (k_name_stops.stops[static_cast<unsigned char>(c)]) {
      if (c == '\0') break;
      if (blank_ends) {
        m_tag_pos = entry;  // nothing taken: another delimiter may be tried from here
        return nullptr;
      }
    }
  }
  if (delim == '\0') {
    m_token_length = pos - start;
    m_tag_pos = pos;
    return tag + start;
  }
  m_tag_pos = entry;
  return nullptr;
}

const char* xml_base_reader_c::_read_plain_element_name() {
  const unsigned char* const kinds = xml_read_target_c::name_byte_kinds();
  char* const tag = m_tag;
  size_t pos = m_tag_pos;
  while (is_blank(static_cast<unsigned char>(tag[pos]))) ++pos;
  const size_t start = pos;
  if (kinds[static_cast<unsigned char>(tag[pos])] != 2) return nullptr;
  ++pos;
  pos = name_end(tag, pos, kinds);
  const char stop = tag[pos];
  if (stop != '\0' && stop != ' ' && stop != '\t') return nullptr;
  m_token_length = pos - start;
  if (stop != '\0') tag[pos++] = '\0';
  m_tag_pos = pos;
  return tag + start;
}

bool xml_base_reader_c::_read_plain_attribute(const char*& name, size_t& name_length, const char*& value,
                                               size_t& value_length) {
  const unsigned char* const kinds = xml_read_target_c::name_byte_kinds();
  char* const tag = m_tag;
  const size_t start = m_tag_pos;
  size_t pos = start;
  if (kinds[static_cast<unsigned char>(tag[pos])] != 2) return false;
  ++pos;
  pos = name_end(tag, pos, kinds);
  if (tag[pos] != '=') return false;
  const size_t equals = pos;
  ++pos;
  while (is_blank(static_cast<unsigned char>(tag[pos]))) ++pos;
  if (tag[pos] != '"') return false;
  char* close = find_in_text(tag + pos + 1, '"');
  if (close == nullptr) return false;
  tag[equals] = '\0';
  *close = '\0';
  name = tag + start;
  name_length = equals - start;
  value = tag + pos + 1;
  value_length = static_cast<size_t>(close - value);
  m_token_length = value_length;
  m_tag_pos = static_cast<size_t>(close - tag) + 1;
  return true;
}

namespace {

const char k_double_quotes[] = "attribute values and the declaration take double quotes";

}  // namespace

namespace {

// Declarations as nearly every document has them: one of these is taken whole, with the values
// the reading of its attributes below would set.
struct plain_declaration_s {
  const char* text;
  size_t length;
  const char* version;
  const char* encoding;  // null: none
};
constexpr char k_declaration_utf8[] = "?xml version=\"1.0\" encoding=\"UTF-8\"?";
constexpr char k_declaration_bare[] = "?xml version=\"1.0\"?";
const plain_declaration_s k_plain_declarations[] = {
    {k_declaration_utf8, sizeof k_declaration_utf8 - 1, "1.0", "UTF-8"},
    {k_declaration_bare, sizeof k_declaration_bare - 1, "1.0", nullptr},
};

}  // namespace

bool xml_base_reader_c::_starts_as_utf16() const {
  // Its byte order mark, or "<?" with a zero byte after or before each (the declaration unmarked).
  if (m_window_offset != 0 || m_begin == nullptr || m_end - m_begin < 2) return false;
  const unsigned char* b = m_begin;
  if ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)) return true;
  if (m_end - m_begin < 4) return false;
  return (b[0] == '<' && b[1] == 0 && b[2] == '?' && b[3] == 0) || (b[0] == 0 && b[1] == '<' && b[2] == 0 && b[3] == '?');
}

bool xml_base_reader_c::read_declaration() {
  // A text of two bytes a character reads as bytes that end the input or the tag at once: said as
  // what it is rather than as a declaration that is not there.
  constexpr const char* k_utf16 = "the text is UTF-16, which this reader does not read (it reads UTF-8)";
  // The first window is read before the first tag (a tag cut by its end would move it on).
  if (m_begin == nullptr && !_fill()) return _refuse_end("the XML declaration <?xml version=\"1.0\"?>");
  if (_starts_as_utf16()) return _refuse(0, k_utf16);
  if (!_read_tag(false)) return _refuse_end("the XML declaration <?xml version=\"1.0\"?>");
  if (g_one_pass_reads.load(std::memory_order_relaxed) && m_fresh_tag_length != SIZE_MAX) {
    for (const plain_declaration_s& plain : k_plain_declarations) {
      if (m_fresh_tag_length == plain.length && std::memcmp(m_tag, plain.text, plain.length) == 0) {
        m_document->set_version(plain.version);
        if (plain.encoding != nullptr) m_document->set_encoding(plain.encoding);
        m_tag_pos = plain.length;  // at the tag's end
        m_fresh_tag_length = SIZE_MAX;
        return true;
      }
    }
  }
  m_fresh_tag_length = SIZE_MAX;  // the reads below take from the tag
  const uint64_t begin = m_tag_begin;
  char* space = std::strchr(m_tag, ' ');
  if (space != nullptr) *space = '\0';
  // (No zero byte stands before the space the search found.)
  if (space == nullptr || !is_word(m_tag, static_cast<size_t>(space - m_tag), "?xml")) {
    return _refuse(begin, "the document does not begin with the XML declaration <?xml version=\"1.0\"?>");
  }
  m_tag_pos = static_cast<size_t>(space - m_tag) + 1;
  // What made the declaration fail, where an attribute's value or name is at fault (the
  // declaration is refused only at its end).
  uint64_t fault_at = 0;
  const char* fault = nullptr;
  auto note = [&](size_t index, const char* why) {
    if (fault == nullptr) {
      fault = why;
      fault_at = _tag_offset(index);
    }
  };
  // A value that is not in double quotes: which fault it is.
  auto note_value = [&]() {
    const size_t at = m_tag_pos;
    size_t p = at;
    while (m_tag[p] != '\0' && is_blank(static_cast<unsigned char>(m_tag[p]))) ++p;
    note(p, m_tag[p] == '\'' ? k_double_quotes : "a declaration attribute without a value in double quotes");
  };
  for (;;) {
    skip_blanks();
    if (m_tag_pos >= m_tag_capacity || m_tag[m_tag_pos] == '\0') break;
    const size_t start = m_tag_pos;
    while (m_tag[m_tag_pos] != '\0' && m_tag[m_tag_pos] != '=' && !is_blank(static_cast<unsigned char>(m_tag[m_tag_pos]))) {
      ++m_tag_pos;
    }
    if (m_tag[m_tag_pos] != '=') {
      size_t p = m_tag_pos;
      while (m_tag[p] != '\0' && is_blank(static_cast<unsigned char>(m_tag[p]))) ++p;
      if (m_tag[p] == '=') note(p, "a blank before '=' in the declaration (it takes name=\"value\")");
      m_tag_pos = start;  // not an attribute: what is left is the declaration's end
      break;
    }
    const size_t name_length = m_tag_pos - start;
    m_tag[m_tag_pos++] = '\0';
    const char* name = m_tag + start;
    if (is_word(name, name_length, "version")) {
      skip_blanks();
      char* close = m_tag[m_tag_pos] == '"' ? find_in_text(m_tag + m_tag_pos + 1, '"') : nullptr;
      if (close != nullptr) {
        *close = '\0';
        m_document->set_version(m_tag + m_tag_pos + 1);
        m_tag_pos = static_cast<size_t>(close - m_tag) + 1;
      } else {
        note_value();
        m_document->set_version(nullptr);
      }
    } else if (is_word(name, name_length, "encoding")) {
      const size_t at = m_tag_pos;
      const char* value = read_token('"', true, true);
      if (value == nullptr) {
        m_tag_pos = at;
        note_value();
      }
      m_document->set_encoding(value);
    } else if (is_word(name, name_length, "standalone")) {
      const size_t at = m_tag_pos;
      const char* value = read_token('"', true, true);
      if (value == nullptr) {
        m_tag_pos = at;
        note_value();
      }
      m_document->set_standalone(value);
    } else {
      note(start, "the declaration takes version, encoding and standalone only");
      break;
    }
  }
  if (m_document->version() == nullptr) {
    return _refuse(fault != nullptr ? fault_at : begin, fault != nullptr ? fault : "the XML declaration has no version");
  }
  skip_blanks();
  const size_t rest_at = m_tag_pos;
  const char* rest = read_token('\0', true, false);
  if (rest != nullptr && std::strcmp(rest, "?") == 0) return true;
  return _refuse(fault != nullptr ? fault_at : _tag_offset(rest_at),
                 fault != nullptr ? fault : "the XML declaration does not end in \"?>\"");
}

bool xml_base_reader_c::read_element(xml_node_c* parent, bool skip_text) {
  unsigned depth = 0;
  for (const node_c* p = parent; p != nullptr; p = p->parent) ++depth;
  return _read_element(parent, skip_text, depth);
}

bool xml_base_reader_c::_refuse_depth() {
  ZQTR_SCOPE(tr, "xml_base_reader_c::read_element", k_file);
  tr.print(ZQTR_FAIL, __LINE__, "XML elements are nested deeper than %u levels\n", xml_read_target_c::k_max_depth);
  return _refuse(offset(), "elements are nested deeper than " + std::to_string(xml_read_target_c::k_max_depth) + " levels");
}

bool xml_base_reader_c::_refuse_end_in(const xml_node_c* parent) {
  if (parent == nullptr || parent->name == nullptr) return _refuse_end("the document's element");
  return _refuse_end((std::string("the end tag </") + parent->name + ">").c_str());
}

bool xml_base_reader_c::_read_element(xml_node_c* parent, bool skip_text, unsigned depth) {
  if (depth >= xml_read_target_c::k_max_depth) return _refuse_depth();
  // The one-pass reads (see set_one_pass_reads) take a tag just read (nothing taken from it yet)
  // as long as read_tag counted, unless a zero byte inside ends its text sooner, and compare an
  // end tag's name where it stands.
  const bool one_pass = g_one_pass_reads.load(std::memory_order_relaxed);
  // (A tag used up ends in its zero byte: at_tag_end has nothing to pass over then.)
  if ((m_tag[m_tag_pos] == '\0' || at_tag_end()) && !_read_tag(one_pass)) return _refuse_end_in(parent);
  if (m_located != nullptr) {
    // A tag found in the window and not copied: read where it stands if it is written as nearly
    // all are, else measured and copied once.
    const unsigned char* const located = m_located;
    const size_t room = static_cast<size_t>(m_end - located);
    if (room > 0 && located[0] == '/' && parent != nullptr && parent->name != nullptr && parent->name[0] != '\0') {
      // The end tag of the element read: blanks, its name, the tag's '>' (which no byte that a
      // copy changes or that ends the tag's text can stand before), as the comparison in the tag
      // below would compare it.
      size_t pos = 1;
      while (pos < room && is_blank(located[pos])) ++pos;
      const char* expected = parent->name;
      size_t n = 0;
      while (pos + n < room && expected[n] != '\0' && located[pos + n] == static_cast<unsigned char>(expected[n])) {
        ++n;
      }
      if (expected[n] == '\0' && pos + n < room && located[pos + n] == '>') {
        // The reader's tag stays its cleared buffer: an empty tag, used up.
        m_located = nullptr;
        m_next = located + pos + n + 1;
        m_cut_in_tag = false;
        m_token_length = n;
        parent->closed = true;
        if (m_observer != nullptr) m_observer->element_ended(m_tag_begin, offset());
        return true;
      }
    } else if (room > 0 && m_sink == nullptr && m_observer == nullptr) {
      bool empty = false;
      bool failed = false;
      xml_node_c* node = _read_plain_start_tag(parent, empty, failed);
      if (failed) return false;
      if (node != nullptr) return _read_element_content(node, false, empty, offset(), skip_text, depth);
    }
    if (!_measure_located_tag()) return _refuse_end_in(parent);
  }
  return _read_started_element(parent, skip_text, depth, one_pass);
}

// Not inlined: the element's start (and a streamed element's end) take room in this frame, which
// a plain tag's read, above, does without.
[[gnu::noinline]] bool xml_base_reader_c::_read_started_element(xml_node_c* parent, bool skip_text, unsigned depth,
                                                                bool one_pass) {
  element_start_s start;
  if (!_read_element_tag(parent, one_pass, start)) return false;
  if (start.node == nullptr) return true;
  return _read_element_content(start.node, start.views, start.empty, start.offset_after_tag, skip_text, depth);
}

xml_base_reader_c::streamed_s::~streamed_s() {
  if (arena == nullptr) return;
  delete node;
  arena->rewind(mark);
}

// Not inlined: its frame (the tag's reads and refusals) must be gone before the content is read.
[[gnu::noinline]] bool xml_base_reader_c::_read_element_tag(xml_node_c* parent, bool one_pass, element_start_s& start) {
  // Whether the tag was copied into the document's arena, where the node made of it keeps its
  // name and attributes: the one copy made of a start tag read into the parse tree.
  bool tag_kept = false;
  if (m_located != nullptr) {
    const unsigned char* const located = m_located;
    const size_t located_length = m_located_length;
    if (m_sink == nullptr && located_length > 0 && xml_read_target_c::name_byte_kinds()[located[0]] == 2) {
      // A start tag (an element's name right after the '<'): copied once, into the arena, and
      // read there.
      char* kept = static_cast<char*>(m_document->parse_space().arena.allocate(located_length + 1 + k_tag_slack, 1));
      _copy_located_bytes(kept);
      std::memset(kept + located_length, 0, 1 + k_tag_slack);
      m_tag = kept;
      m_located = nullptr;
      tag_kept = true;
    } else {
      _copy_located_tag();
    }
  }
  char* tag = m_tag + m_tag_pos;
  const uint64_t tag_at = _tag_offset(m_tag_pos) - 1;
  const size_t length =
      one_pass && m_tag_pos == 0 && m_fresh_tag_length != SIZE_MAX ? m_fresh_tag_length : std::strlen(tag);
  m_fresh_tag_length = SIZE_MAX;
  // Comments, CDATA sections and markup declarations all begin with '!': an element's tag is not
  // compared with them.
  const bool bang = tag[0] == '!';
  if (bang && std::strncmp(tag, "!--", 3) == 0) {
    m_tag_pos += length;
    if (length >= 2 && std::strcmp(tag + length - 2, "--") == 0) return true;
    return _refuse(tag_at, "a comment that holds '>' or does not end in \"-->\" (a tag ends at its first '>')");
  }
  if (bang && length >= 10 && std::strncmp(tag, "![CDATA[", 8) == 0) {
    m_tag_pos += length;
    if (std::strcmp(tag + length - 2, "]]") == 0) return true;
    return _refuse(tag_at, "a CDATA section that holds '>' or does not end in \"]]>\" (a tag ends at its first '>')");
  }
  if (tag[0] == '/') {
    ++m_tag_pos;
    if (one_pass && parent != nullptr && parent->name != nullptr && parent->name[0] != '\0') {
      // The end tag of the element read: its name (which holds no blank) compared where it
      // stands, as the token read below would read and compare it.
      size_t pos = m_tag_pos;
      while (is_blank(static_cast<unsigned char>(m_tag[pos]))) ++pos;
      const char* expected = parent->name;
      size_t n = 0;
      while (expected[n] != '\0' && m_tag[pos + n] == expected[n]) ++n;
      if (expected[n] == '\0' && m_tag[pos + n] == '\0') {
        m_token_length = n;
        m_tag_pos = pos + n;
        parent->closed = true;
        if (m_observer != nullptr) m_observer->element_ended(tag_at, offset());
        return true;
      }
    }
    const char* name = read_token('\0', true, false);
    if (parent == nullptr || name == nullptr || parent->name == nullptr || std::strcmp(name, parent->name) != 0) {
      if (name == nullptr) return _refuse(tag_at, "an end tag that is not </NAME> (no blank may follow the name)");
      if (parent == nullptr || parent->name == nullptr) {
        return _refuse(tag_at, std::string("the end tag </") + name + "> closes no element");
      }
      return _refuse(tag_at, std::string("the end tag </") + name + "> does not close <" + parent->name + ">");
    }
    parent->closed = true;
    if (m_observer != nullptr) m_observer->element_ended(tag_at, offset());
    return true;
  }
  if (bang && std::strncmp(tag, "!DOCTYPE", 8) == 0) return _refuse(tag_at, "a DOCTYPE, which this reader does not read");
  if (tag[0] == '?') return _refuse(tag_at, "a processing instruction, which this reader does not read");
  if (tag[0] == '!') return _refuse(tag_at, "a markup declaration, which this reader does not read");
  bool empty = false;
  if (length > 0 && tag[length - 1] == '/') {
    tag[length - 1] = '\0';
    empty = true;
  }
  const char* name = one_pass ? _read_plain_element_name() : nullptr;
  // A name the one-pass read took is made of name bytes only: it needs no second check.
  const bool plain_name = name != nullptr;
  if (name == nullptr) name = read_token('\0', true, false);
  if (name == nullptr) name = read_token(' ', true, false);
  if (name == nullptr) name = read_token('\t', true, false);
  if (name == nullptr || (!plain_name && !xml_read_target_c::validate_xml_name(name))) {
    return _refuse(tag_at + 1, name == nullptr ? std::string("a tag without an element name")
                                                : "<" + std::string(name) + "> has no element name this reader takes (a letter or '_', then letters, digits and _ - . : [ ])");
  }
  const uint64_t offset_after_tag = offset();
  if (m_observer != nullptr) m_observer->element_started(name, tag_at, offset_after_tag, empty);
  xml_parse_space_c& space = m_document->parse_space();
  const bulk_arena_c::mark_s mark = space.arena.mark();
  const bool views = m_sink != nullptr && m_sink->takes_attribute_views();
  // The node's name and attributes stand in one copy of the tag from the name on, made in the
  // document's arena: the name is ended there as in the tag, so are each attribute's name and
  // value, and a translated value (never longer than as written) is written over its own bytes;
  // nothing more is copied per element or attribute.
  char* owned = nullptr;
  size_t owned_from = 0;
  if (tag_kept) {
    owned = m_tag;  // (the tag itself: the offsets below are the tag's)
  } else if (!views) {
    owned_from = static_cast<size_t>(name - m_tag);
    const size_t rest = m_tag_used - owned_from;
    owned = static_cast<char*>(space.arena.allocate(rest, 1));
    std::memcpy(owned, name, rest);
  }
  xml_node_c* node = owned != nullptr ? new (space.arena) xml_node_c(owned + (name - m_tag - owned_from), space)
                                      : new (space.arena) xml_node_c(name, m_token_length, space);
  // A streamed element goes when the caller's read of it is over (see streamed_s).
  if (m_sink != nullptr) {
    start.streamed.node = node;
    start.streamed.arena = &space.arena;
    start.streamed.mark = mark;
  }
  if (m_sink == nullptr && !m_document->add_node(node, parent)) {
    delete node;
    return false;
  }
  m_views.clear();
  const unsigned char* const kinds = xml_read_target_c::name_byte_kinds();
  if (one_pass && m_observer == nullptr && !m_tag_has_ampersand && (owned != nullptr || views)) {
    // The attributes as nearly all are written (NAME="VALUE", after one blank or none, no value
    // to translate) go straight to the node, or to the views handed to the sink: each name and
    // value is ended in the node's copy of the tag, where the node's attribute points (in the tag
    // itself for views). The first that is written otherwise, and the tag's end, are left to the
    // loop below, which reads on from there.
    char* const tag = m_tag;
    size_t pos = m_tag_pos;
    for (;;) {
      if (tag[pos] == ' ') ++pos;
      if (kinds[static_cast<unsigned char>(tag[pos])] != 2) break;
      const size_t equals = name_end(tag, pos + 1, kinds);
      if (tag[equals] != '=' || tag[equals + 1] != '"') break;
      const char* close = find_in_text(tag + equals + 2, '"');
      if (close == nullptr) break;
      const size_t end = static_cast<size_t>(close - tag);
      if (views) {
        tag[equals] = '\0';
        tag[end] = '\0';
        m_views.push_back({tag + pos, tag + equals + 2});
      } else {
        // The tag's bytes from owned_from on stand one for one in owned.
        owned[equals - owned_from] = '\0';
        owned[end - owned_from] = '\0';
        node->add_lent_attr(owned + (pos - owned_from), owned + (equals + 2 - owned_from));
      }
      pos = end + 1;
      m_tag_pos = pos;
    }
  }
  for (;;) {
    // One blank and a byte that begins a name (as between nearly all attributes) is no tag end:
    // the blank is passed over as at_tag_end would pass it.
    if (m_tag[m_tag_pos] == ' ' && kinds[static_cast<unsigned char>(m_tag[m_tag_pos + 1])] == 2) {
      ++m_tag_pos;
    } else if (at_tag_end()) {
      break;
    }
    const char* attribute = nullptr;
    size_t attribute_length = 0;
    const char* read = nullptr;
    size_t value_length = 0;
    if (!one_pass || !_read_plain_attribute(attribute, attribute_length, read, value_length)) {
      // Anything else is read token by token, which says what is wrong with it.
      const size_t attribute_at = m_tag_pos;
      attribute = read_token('=', true, false);
      if (attribute == nullptr || !xml_read_target_c::validate_xml_name(attribute)) {
        return _refuse(_tag_offset(attribute_at), attribute == nullptr ? std::string("an attribute without '=' right after its name")
                                                                       : attribute + std::string(" is no attribute name this reader takes"));
      }
      attribute_length = m_token_length;
      const size_t value_at = m_tag_pos;
      read = read_token('"', true, true);
      if (read == nullptr) {
        size_t p = value_at;
        while (m_tag[p] != '\0' && is_blank(static_cast<unsigned char>(m_tag[p]))) ++p;
        return _refuse(_tag_offset(p), m_tag[p] == '\'' ? std::string(k_double_quotes)
                                                       : std::string("the value of ") + attribute + " is not in double quotes");
      }
      value_length = m_token_length;
    }
    if (m_observer != nullptr) {
      const uint64_t value_begin = _tag_offset(static_cast<size_t>(read - m_tag));
      const size_t raw_length = m_token_length;
      const char* seen = m_translator.translate_from_xml(read, value_length);
      m_observer->attribute_read(attribute, seen, value_length, _tag_offset(static_cast<size_t>(attribute - m_tag)),
                                 value_begin, value_begin + raw_length);
      value_length = raw_length;
    }
    const char* value = m_tag_has_ampersand ? m_translator.translate_from_xml(read, value_length) : read;
    if (!views) {
      char* name_in_place = owned + (attribute - m_tag - owned_from);
      char* value_in_place = owned + (read - m_tag - owned_from);
      name_in_place[attribute_length] = '\0';
      if (value != read) std::memcpy(value_in_place, value, value_length);
      value_in_place[value_length] = '\0';
      node->add_lent_attr(name_in_place, value_in_place);
    } else {
      // The name and an untranslated value stand in the tag until the next tag is read; a
      // translation lives only until the next one, so the element's arena keeps it.
      if (value != read) value = space.arena.copy(value, value_length);
      m_views.push_back({attribute, value});
    }
  }
  start.node = node;
  start.views = views;
  start.empty = empty;
  start.offset_after_tag = offset_after_tag;
  return true;
}

xml_node_c* xml_base_reader_c::_read_plain_start_tag(xml_node_c* parent, bool& empty, bool& failed) {
  const unsigned char* const kinds = xml_read_target_c::name_byte_kinds();
  const unsigned char* const tag = m_located;
  const size_t room = static_cast<size_t>(m_end - tag);
  if (room == 0 || kinds[tag[0]] != 2) return nullptr;
  // A window whose last byte is no name byte ends every name inside it: the names are then
  // scanned without a bound (as nearly every document ends, in a '>' or a line end).
  const bool names_end = kinds[tag[room - 1]] == 0;
  auto past_name = [tag, room, kinds, names_end](size_t at) {
    if (names_end) return name_end(reinterpret_cast<const char*>(tag), at, kinds);
    while (at < room && kinds[tag[at]] != 0) ++at;
    return at;
  };
  size_t pos = past_name(1);
  if (pos >= room) return nullptr;
  const size_t name_length = pos;
  size_t count = 0;
  if (tag[pos] == ' ' || tag[pos] == '\t') {
    ++pos;
    for (;;) {
      if (pos < room && tag[pos] == ' ') ++pos;
      if (pos >= room || kinds[tag[pos]] != 2) break;
      const size_t name_begin = pos;
      pos = past_name(pos + 1);
      if (room - pos < 2 || tag[pos] != '=' || tag[pos + 1] != '"') return nullptr;
      const size_t equals = pos;
      pos = value_stop(tag, pos + 2, room);
      if (pos >= room || tag[pos] != '"') return nullptr;
      // (Member by member: a whole record built on the stack and copied would be read back
      // before its parts are written.)
      if (count == m_plain.size()) m_plain.resize(count * 2 + 8);
      plain_attribute_s& read = m_plain[count++];
      read.name_begin = name_begin;
      read.name_end = equals;
      read.value_end = pos;
      ++pos;
    }
    if (pos >= room) return nullptr;
  }
  // The tag's end: "/>" or '>'.
  const size_t kept_length = pos;
  if (tag[pos] == '/' && pos + 1 < room && tag[pos + 1] == '>') {
    empty = true;
    ++pos;
  } else if (tag[pos] != '>') {
    return nullptr;
  }
  xml_parse_space_c& space = m_document->parse_space();
  char* const kept = static_cast<char*>(space.arena.allocate(kept_length + 1, 1));
  std::memcpy(kept, tag, kept_length);
  kept[kept_length] = '\0';
  kept[name_length] = '\0';
  m_located = nullptr;
  m_next = tag + pos + 1;
  m_cut_in_tag = false;
  xml_node_c* node = new (space.arena) xml_node_c(kept, space);
  if (!m_document->add_node(node, parent)) {
    delete node;
    failed = true;
    return nullptr;
  }
  const plain_attribute_s* const read = m_plain.data();
  for (size_t i = 0; i < count; ++i) {
    kept[read[i].name_end] = '\0';
    kept[read[i].value_end] = '\0';
    node->add_lent_attr(kept + read[i].name_begin, kept + read[i].name_end + 2);
  }
  return node;
}

bool xml_base_reader_c::_read_element_content(xml_node_c* node, bool views, bool empty, uint64_t offset_after_tag,
                                              bool skip_text, unsigned depth) {
  if (!skip_text) {
    // What stands between tags is mostly line ends and tabs, which the loop below drops: passed
    // over at once here as far as the window goes. When the next tag follows them, the element
    // has no text.
    m_next = past_dropped_bytes(m_next, m_end);
  }
  if (!skip_text && (m_next >= m_end || *m_next != '<')) {
    utl_stream_c& text = m_text;
    text << '\x01';
    for (;;) {
      // A run of bytes the text keeps as they are goes in whole.
      const unsigned char* run = m_next;
      while (run < m_end && !k_text_stops.stops[*run]) ++run;
      if (run != m_next) {
        text.append(reinterpret_cast<const char*>(m_next), static_cast<size_t>(run - m_next));
        m_next = run;
      }
      unsigned char c = read_char();
      if (c == XML_END_OF_INPUT) break;
      if (c == '<') {
        unread_char();
        break;
      }
      // Line ends and tabs are dropped; so is a NUL byte, which no text can hold (a text of NULs would
      // make an element of text with nothing in it).
      if (c == '\r' || c == '\n' || c == '\t' || c == '\0') continue;
      text.append(reinterpret_cast<const char*>(&c), 1);
    }
    text.trim();
    if (text.length() > 0) {
      node->closed = true;
      const char* decoded = m_translator.translate_from_xml(text.c_str());
      if (decoded == nullptr) return false;
      node->kind = xml_node_c::TEXT_ELEMENT;
      node->text << '\x01' << decoded;
      if (m_observer != nullptr) m_observer->text_read(decoded);
    }
  }
  if (views) {
    m_sink->element_started_with(node, m_views.data(), m_views.size());
  } else if (m_sink != nullptr) {
    m_sink->element_started(node);
  }
  if (empty) {
    node->closed = true;
    if (m_observer != nullptr) m_observer->element_ended(offset_after_tag, offset_after_tag);
    if (m_sink != nullptr) m_sink->element_ended();
    return true;
  }
  do {
    if (!_read_element(node, skip_text, depth + 1)) return false;
  } while (!node->closed);
  if (m_sink != nullptr) m_sink->element_ended();
  return true;
}

// ---- xml_file_reader_c

xml_file_reader_c::~xml_file_reader_c() { m_file.close(); }

bool xml_file_reader_c::_fill() {
  if (!m_file.is_open()) return false;
  // A first chunk of 4 KiB (a state file is read in one); a file that fills it is read on in
  // chunks of 64 KiB. (Asking the file's size would cost more system calls than a small file's read.)
  const size_t wanted = m_buffer == nullptr ? k_first_chunk : k_chunk;
  if (wanted > m_capacity) {
    m_buffer.reset(new unsigned char[wanted]);
    m_capacity = wanted;
  }
  // Only a byte just read is ever given back, so the new window need not keep the old one's last.
  const size_t got = m_file.read(m_buffer.get(), m_capacity);
  if (got == 0 || got == static_cast<size_t>(-1)) return false;
  if (m_begin != nullptr) m_window_offset += static_cast<uint64_t>(m_end - m_begin);
  m_begin = m_next = m_buffer.get();
  m_end = m_next + got;
  return true;
}

void xml_file_reader_c::reset() {
  xml_base_reader_c::reset();
  m_file.close();
  m_buffer.reset();
  m_capacity = 0;
}

bool xml_file_reader_c::open_xml(const char* path) {
  if (path == nullptr || path[0] == '\0') return false;
  ZQTR_SCOPE(tr, "xml_file_reader_c::open_xml", k_file);
  reset();
  // The reader reads whole chunks into its own window: the bare handle, no buffer beneath it.
  if (!m_file.open(path, "r", nullptr, ZQ_OPEN_SEQUENTIAL_SCAN | ZQ_OPEN_HANDLE_ONLY)) {
    // The open goes through the system's file services, which report in the last error, not in
    // the runtime's errno (never set by them on Windows): take it before anything else runs.
    const DWORD error = GetLastError();
    utl_stream_c reason;
    if (error != 0) {
      utl_n::get_error_text(reason, static_cast<int>(error));
    } else {
      reason << "unknown error";
    }
    tr.print(ZQTR_FAIL, __LINE__, "Can not open XML file %s (%s)\n", path, reason.c_str());
    return false;
  }
  return true;
}

bool xml_file_reader_c::position_of(uint64_t offset, unsigned long& line, unsigned long& column) {
  line = column = 1;
  // Only on a refusal: the file is read again from its start, the window kept as it was.
  if (!m_file.is_open()) return false;
  const uint64_t was = m_file.tell();
  if (!m_file.seek(0)) return false;
  std::unique_ptr<unsigned char[]> chunk(new unsigned char[k_chunk]);
  uint64_t done = 0;
  bool complete = true;
  while (done < offset) {
    const size_t wanted = offset - done < k_chunk ? static_cast<size_t>(offset - done) : k_chunk;
    const size_t got = m_file.read(chunk.get(), wanted);
    if (got == 0 || got == static_cast<size_t>(-1)) {
      complete = false;
      break;
    }
    count_position(chunk.get(), got, line, column);
    done += got;
  }
  m_file.seek(was);
  return complete;
}

// ---- xml_stream_reader_c

xml_stream_reader_c::xml_stream_reader_c(xml_read_target_c* document, const char* text)
    : xml_base_reader_c(document), m_text(text) {
  if (text == nullptr) return;
  m_begin = m_next = reinterpret_cast<const unsigned char*>(text);
  m_end = m_next + std::strlen(text);
}

xml_stream_reader_c::xml_stream_reader_c(xml_read_target_c* document, utl_stream_c& taken) : xml_base_reader_c(document) {
  uint64_t length = 0;
  m_taken = taken.release(length);
  m_text = m_taken;
  if (m_taken == nullptr) return;
  m_begin = m_next = reinterpret_cast<const unsigned char*>(m_taken);
  // The text ends at its first zero byte, as a text read in place does.
  m_end = m_next + std::strlen(m_taken);
}

xml_stream_reader_c::~xml_stream_reader_c() { std::free(m_taken); }

void xml_stream_reader_c::reset() {
  xml_base_reader_c::reset();
  std::free(m_taken);
  m_taken = nullptr;
  m_text = nullptr;
}
