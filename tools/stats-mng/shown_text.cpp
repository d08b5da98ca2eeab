#include "shown_text.h"

#include "utl/multi_lang.h"

#include <cstdint>
#include <cstdio>

namespace stats_mng_tool_n {

namespace {

void append_hex(std::string& out, unsigned char byte) {
  char hex[5];
  std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
  out += hex;
}

std::string shown(const std::string& text, bool double_backslashes) {
  std::string out;
  out.reserve(text.size());
  const unsigned char* const begin = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* p = begin;
  const unsigned char* end = p + text.size();
  while (p < end) {
    uint32_t code = 0;
    const size_t n = multi_lang_str_n::utf8_character(p, static_cast<size_t>(end - p), &code);
    if (n == 0 || code < 0x20 || (code >= 0x7F && code <= 0x9F) || (code >= 0x202A && code <= 0x202E) ||
        (code >= 0x2066 && code <= 0x2069)) {
      // Every byte of it: the escaped form gives the bytes back.
      for (size_t i = 0; i < (n == 0 ? 1 : n); ++i) append_hex(out, p[i]);
      p += n == 0 ? 1 : n;
      continue;
    }
    // A space at either end of a name would read as part of a table's gap: escaped in a name.
    if (double_backslashes && code == ' ' && (p == begin || p + 1 == end)) {
      append_hex(out, *p);
      ++p;
      continue;
    }
    if (code == '\\' && double_backslashes) out += '\\';
    out.append(reinterpret_cast<const char*>(p), n);
    p += n;
  }
  return out;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Combining marks and zero-width characters: no column of their own.
bool is_zero_width(uint32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x0483 && c <= 0x0489) || (c >= 0x0591 && c <= 0x05BD) ||
         (c >= 0x0610 && c <= 0x061A) || (c >= 0x064B && c <= 0x065F) || (c >= 0x0E31 && c <= 0x0E3A && c != 0x0E32 && c != 0x0E33) ||
         (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) || c == 0xFEFF;
}

// East Asian wide and full-width characters and the emoji blocks: two columns.
bool is_wide(uint32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
         (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

std::string printable(const std::string& text) { return shown(text, false); }

std::string escaped_name(const std::string& name) { return shown(name, true); }

bool unescaped_name(const std::string& text, std::string& name) {
  name.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      name += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\\') {
      name += '\\';
      ++i;
    } else if (i + 3 < text.size() && text[i + 1] == 'x' && hex_value(text[i + 2]) >= 0 && hex_value(text[i + 3]) >= 0) {
      name += static_cast<char>(hex_value(text[i + 2]) * 16 + hex_value(text[i + 3]));
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

printable_lines_c::~printable_lines_c() {
  if (!m_line.empty()) {
    const std::string shown_line = printable(m_line);
    m_target->sputn(shown_line.data(), static_cast<std::streamsize>(shown_line.size()));
  }
  m_target->pubsync();
}

int printable_lines_c::overflow(int c) {
  if (c == traits_type::eof()) return traits_type::not_eof(c);
  const char ch = static_cast<char>(c);
  return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize printable_lines_c::xsputn(const char* text, std::streamsize count) {
  for (std::streamsize i = 0; i < count; ++i) {
    if (text[i] != '\n') {
      m_line += text[i];
      continue;
    }
    const std::string shown_line = printable(m_line) + '\n';
    m_line.clear();
    if (m_target->sputn(shown_line.data(), static_cast<std::streamsize>(shown_line.size())) !=
        static_cast<std::streamsize>(shown_line.size())) {
      return i;
    }
  }
  return count;
}

int printable_lines_c::sync() { return m_target->pubsync(); }

size_t display_width(const std::string& text) {
  size_t width = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  while (p < end) {
    uint32_t code = 0;
    size_t n = multi_lang_str_n::utf8_character(p, static_cast<size_t>(end - p), &code);
    if (n == 0) {
      n = 1;
      code = 0xFFFD;  // a terminal shows a stray byte as one replacement character
    }
    width += is_zero_width(code) ? 0 : is_wide(code) ? 2 : 1;
    p += n;
  }
  return width;
}

}  // namespace stats_mng_tool_n
