// Helpers for asserting trace output.
#ifndef STATS_MNG_TESTS_SUPPORT_TRACE_CAPTURE_H
#define STATS_MNG_TESTS_SUPPORT_TRACE_CAPTURE_H

#include "platform/trc/zqtr.h"

#include <string>
#include <vector>

namespace test_support_n {

// The lines of a text, without their line ends.
std::vector<std::string> split_lines(const std::string& text);

// Leaves the trace component as a fresh process has it, before and after each test.
class trace_reset_c {
 public:
  trace_reset_c() { zqtr_reset(); }
  ~trace_reset_c() { zqtr_reset(); }
};

}  // namespace test_support_n

#endif
