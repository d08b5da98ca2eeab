// What a scenario file's text says that its load passes over: an attribute written twice (the
// load keeps the last), a reference the reader keeps as written where another XML reader reads a
// character (&apos;, &#38;), and one it reads in another letter case (&AMP;) where another reader
// refuses the file. Each is a finding with its line and column.
#ifndef STATS_MNG_XMC_SCENARIO_SOURCE_CHECK_H
#define STATS_MNG_XMC_SCENARIO_SOURCE_CHECK_H

#include "xmc/xmc_conf.h"

#include <string>

namespace scenario_source_check_n {

// The code of these findings: their text says what and where.
constexpr uint32_t k_code = 36;

// Adds a finding for each such place in source (a scenario file's bytes) to findings; false after
// any. A text the reader refuses adds one finding saying where and why.
bool check(const std::string& source, xmc_validity_c& findings);

}  // namespace scenario_source_check_n

#endif
