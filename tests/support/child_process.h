// Real child processes for cross-process tests: the test program starts itself in a named role.
#ifndef STATS_MNG_TESTS_SUPPORT_CHILD_PROCESS_H
#define STATS_MNG_TESTS_SUPPORT_CHILD_PROCESS_H

#include <string>
#include <vector>

namespace test_support_n {

using child_main_f = int (*)(const std::vector<std::string>& args);

struct child_role_registrar_s {
  child_role_registrar_s(const char* role, child_main_f main);
};

// Defines a role the test program plays when started as "PROGRAM --child ROLE ARGS...".
#define TEST_CHILD_ROLE(role)                                                            \
  static int role##_child_main(const std::vector<std::string>& args);                   \
  static const test_support_n::child_role_registrar_s role##_registrar(#role, &role##_child_main); \
  static int role##_child_main(const std::vector<std::string>& args)

// Runs the role named on the command line; false when the program was not started as a child.
bool run_child_role(int argc, char** argv, int& exit_code);

// The running test program's own path.
std::string self_path();

class child_process_c {
 public:
  // Starts this test program in the given role; started() tells whether it is running.
  child_process_c(const std::string& role, const std::vector<std::string>& args);
  ~child_process_c();
  child_process_c(const child_process_c&) = delete;
  child_process_c& operator=(const child_process_c&) = delete;

  bool started() const { return m_started; }
  // Waits for the end and returns the exit code (-1 when it could not be had).
  int wait();
  // Ends the child at once, as a crash would.
  void kill();

 private:
  bool m_started = false;
  bool m_waited = false;
  int m_exit_code = -1;
  void* m_process = nullptr;  // process handle on Windows
  long m_pid = -1;            // process id on POSIX
};

}  // namespace test_support_n

#endif
