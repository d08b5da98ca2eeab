#include "platform/thl/mix.h"

#include "platform/win32/win32_api.h"

namespace mix_n {

const char* const True = "True";
const char* const False = "False";

void sleep(unsigned milliseconds) { Sleep(milliseconds); }

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

int digit_value(char c, unsigned base) {
  int v;
  if (c >= '0' && c <= '9') {
    v = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    v = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    v = c - 'A' + 10;
  } else {
    return -1;
  }
  return v < static_cast<int>(base) ? v : -1;
}

}  // namespace

bool parse_formatted_integer_string(const char* text, int64_t& value) {
  if (text == nullptr) return false;
  const char* p = text;
  while (is_blank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  unsigned base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  uint64_t magnitude = 0;
  int digits = 0;
  for (int d; (d = digit_value(*p, base)) >= 0; ++p, ++digits) {
    if (magnitude > (UINT64_MAX - static_cast<uint64_t>(d)) / base) return false;
    magnitude = magnitude * base + static_cast<uint64_t>(d);
  }
  if (digits == 0) return false;
  while (is_blank(*p)) ++p;
  if (*p != '\0') return false;
  if (negative) {
    if (magnitude > (static_cast<uint64_t>(1) << 63)) return false;
    value = static_cast<int64_t>(0 - magnitude);
  } else {
    value = static_cast<int64_t>(magnitude);
  }
  return true;
}

}  // namespace mix_n
