// Small helpers of the thread-and-list component.
#ifndef STATS_MNG_PLATFORM_THL_MIX_H
#define STATS_MNG_PLATFORM_THL_MIX_H

#include <cstdint>
#include <ctime>

namespace mix_n {

// The texts written for a bool.
extern const char* const True;
extern const char* const False;

// Pauses the calling thread.
void sleep(unsigned milliseconds);

// Local calendar fields of a time value; false when the value cannot be converted.
bool localtime_r(time_t value, struct tm* calendar);

// True when the whole text is an integer: optional blanks around it, an optional sign, then
// decimal digits or "0x" and hex digits. The range is -2^63 .. 2^64-1; values of 2^63 and more
// are delivered as their bit pattern. On false, value is left alone.
bool parse_formatted_integer_string(const char* text, int64_t& value);

// False only when no process of that id runs (a process that cannot be asked counts as running).
bool process_exists(uint32_t process_id);

}  // namespace mix_n

#endif
