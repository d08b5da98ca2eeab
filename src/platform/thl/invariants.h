// Checks of what comments state as always true ("under the registry lock", "held by this thread"):
// in debug and sanitizer builds a broken one stops the process at once with the place and the
// condition on standard error; other builds compile them away.
#ifndef STATS_MNG_PLATFORM_THL_INVARIANTS_H
#define STATS_MNG_PLATFORM_THL_INVARIANTS_H

namespace invariants_n {
[[noreturn]] void broken(const char* condition, const char* file, int line);
}

#if defined(STATS_MNG_CHECK_INVARIANTS)
#define STATS_MNG_INVARIANT(condition) \
  ((condition) ? static_cast<void>(0) : ::invariants_n::broken(#condition, __FILE__, __LINE__))
#else
#define STATS_MNG_INVARIANT(condition) static_cast<void>(0)
#endif

#endif
