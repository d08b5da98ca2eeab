// The trace settings file: "key = value" lines.
#ifndef STATS_MNG_PLATFORM_TRC_ZQTR_SETTINGS_H
#define STATS_MNG_PLATFORM_TRC_ZQTR_SETTINGS_H

#include "platform/trc/zqtr_levels.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zqtr_settings_n {

// Parses settings text into settings, which start from the defaults: what the text does not set
// keeps its default. Each bad line or value is described in problems and passed over.
void parse(const std::string& text, zqtr_settings_s& settings, std::vector<std::string>& problems);

// A level mask: a number (decimal or 0x hex) or level names joined by '|', ',' or '+'.
bool parse_levels(const std::string& text, unsigned& levels);

// A size in bytes with an optional K, M or G suffix (powers of 1024).
bool parse_size(const std::string& text, uint64_t& size);

// The levels of a scope: those of the longest matching scope prefix, else the general ones.
unsigned levels_for(const zqtr_settings_s& settings, const char* scope);

}  // namespace zqtr_settings_n

#endif
