// The trace's level codes, its defaults and the record of its settings: what the trace and the
// reader of its settings file both speak, below either.
#ifndef STATS_MNG_PLATFORM_TRC_ZQTR_LEVELS_H
#define STATS_MNG_PLATFORM_TRC_ZQTR_LEVELS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Level codes: single bits.
enum : unsigned {
  ZQTR_NOTICE = 1,    // a single notice
  ZQTR_FAIL = 4,      // failures: "Fail to", "Unable to", "Can not"
  ZQTR_PROBLEM = 8,   // a problem passed over
  ZQTR_SCOPE = 16,    // entering and leaving a scope
  ZQTR_DETAIL = 32,   // detail on file opening and fall-backs
  ZQTR_FS = 64,       // a change to the file system
  ZQTR_PROGRESS = 128 // progress and success
};

// Every level but the scope entries and exits.
constexpr unsigned ZQTR_ALL_BUT_SCOPES = 0xFFu & ~static_cast<unsigned>(ZQTR_SCOPE);

// Levels written to the log when no settings file says otherwise.
constexpr unsigned ZQTR_DEFAULT_LEVELS = ZQTR_NOTICE | ZQTR_FAIL | ZQTR_PROBLEM | ZQTR_FS | ZQTR_PROGRESS;
constexpr uint64_t ZQTR_DEFAULT_MAX_SIZE = 10u * 1024u * 1024u;
constexpr unsigned ZQTR_DEFAULT_KEEP = 3;

// The settings: the levels written, when the log is rotated, the scopes with levels of their own.
struct zqtr_settings_s {
  unsigned levels = ZQTR_DEFAULT_LEVELS;
  uint64_t max_size = ZQTR_DEFAULT_MAX_SIZE;  // 0: never rotate
  unsigned keep = ZQTR_DEFAULT_KEEP;           // rotated files kept
  std::vector<std::pair<std::string, unsigned>> scope_levels;  // scope name prefix, levels
};

#endif
