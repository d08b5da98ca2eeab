// The state scan against the full reader on arbitrary bytes: where the scan answers, its answer
// (read or not, state, synchronisation, time) is the full reader's, and where it does not, it
// left the bytes as they were.
#include "stats_mng/stats_saver.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  stats_saver_ex_c::state_reading_s full, scanned;
  const bool full_read = stats_saver_ex_c::state_from_document(bytes, size, full, "fuzz");
  std::vector<char> copy(bytes, bytes + size);
  bool decided = false;
  const bool scan_read = stats_saver_ex_c::state_from_scan(copy.data(), copy.size(), scanned, decided, "fuzz");
  if (!decided) {
    if (size > 0 && std::memcmp(copy.data(), bytes, size) != 0) {
      std::fprintf(stderr, "the scan changed bytes it left to the full reader\n");
      std::abort();
    }
    return 0;
  }
  if (scan_read != full_read || scanned.read != full.read || scanned.state_index != full.state_index ||
      scanned.synced != full.synced || scanned.time != full.time) {
    std::fprintf(stderr, "scan: read %d state %u synced %d time %lld; full reader: read %d state %u synced %d time %lld\n",
                 scan_read, scanned.state_index, scanned.synced, static_cast<long long>(scanned.time), full_read,
                 full.state_index, full.synced, static_cast<long long>(full.time));
    std::abort();
  }
  return 0;
}
