// The test programs' main: either a child role for cross-process tests, or the test run.
#include "child_process.h"

#include "platform/trc/zqtr.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // What the library traced while this program loaded would otherwise open the first log a test
  // sets up; the tests of that hand-over hold records themselves.
  zqtr_discard_held_records();
  int exit_code = 0;
  if (test_support_n::run_child_role(argc, argv, exit_code)) return exit_code;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
