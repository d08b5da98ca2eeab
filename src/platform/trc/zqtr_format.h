// printf-style formatting with the 64-bit conversions written "%I64d", "%I64u", "%I64x" mapped to
// the platform's own, so that the same format gives the same text on every target.
#ifndef STATS_MNG_PLATFORM_TRC_ZQTR_FORMAT_H
#define STATS_MNG_PLATFORM_TRC_ZQTR_FORMAT_H

#include <cstdarg>
#include <cstddef>
#include <string>

namespace zqtr_format_n {

// Rewrites the "I64" length modifier of every conversion to "ll" and "I32" to nothing. Returns
// format itself when there is nothing to rewrite; otherwise the rewritten text, held in buffer
// when it fits (capacity bytes) and in heap otherwise.
const char* map_format(const char* format, char* buffer, size_t capacity, std::string& heap);

// The formats are not checked by the compiler: "%I64d" is not a conversion it knows.
// Formats into text (replacing its content). Returns false when the format could not be used.
bool vformat(std::string& text, const char* format, va_list args);

std::string format(const char* format, ...);

}  // namespace zqtr_format_n

#endif
