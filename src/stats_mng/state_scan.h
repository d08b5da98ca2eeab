// The values a state file records, taken from its bytes by one scan that builds no tree. The scan
// reads the plain form the writers write (a declaration, an element, its child elements with their
// attributes on one line each) and leaves anything else to the full reader: a comment, an entity,
// a line end inside a tag, text, deeper nesting. Where it answers, it answers as the full reader
// would on the same bytes.
#ifndef STATS_MNG_STATS_MNG_STATE_SCAN_H
#define STATS_MNG_STATS_MNG_STATE_SCAN_H

#include <cstddef>

namespace state_scan_n {

// The texts of the first child element's attributes (the last of each name, as a typed tree keeps
// it): null where it has none. They point into the scanned bytes.
struct texts_s {
  const char* synced = nullptr;  // IsSyncReplicated
  const char* state = nullptr;   // State
  const char* time = nullptr;    // IsSyncReplicatedTime
};

// True when the bytes are a document in the plain form with a first child element: its texts are
// in out, each ended by a zero byte the scan wrote over its closing quote. False when the full
// reader must judge them: out is then empty and the bytes are as they were.
bool scan(char* data, size_t length, texts_s& out);

}  // namespace state_scan_n

#endif
