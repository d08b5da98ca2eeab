#include "platform/thl/invariants.h"

#include <cstdio>
#include <cstdlib>

namespace invariants_n {

void broken(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "stats_mng: invariant broken at %s:%d: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

}  // namespace invariants_n
