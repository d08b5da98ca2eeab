// The test programs' main: either a child role for cross-process tests, or the test run.
#include "child_process.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  int exit_code = 0;
  if (test_support_n::run_child_role(argc, argv, exit_code)) return exit_code;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
