#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace test_support_n {

std::string self_path() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(n));
}

child_process_c::child_process_c(const std::string& role, const std::vector<std::string>& args) {
  std::string program = self_path();
  std::vector<std::string> words = {program, "--child", role};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0) {
    m_pid = pid;
    m_started = true;
  }
}

child_process_c::~child_process_c() {
  if (m_started && !m_waited) {
    kill();
    wait();
  }
}

int child_process_c::wait() {
  if (!m_started) return -1;
  if (m_waited) return m_exit_code;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(static_cast<pid_t>(m_pid), &status, 0);
  } while (r < 0 && errno == EINTR);
  m_waited = true;
  m_exit_code = (r > 0 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return m_exit_code;
}

void child_process_c::kill() {
  if (m_started && !m_waited) ::kill(static_cast<pid_t>(m_pid), SIGKILL);
}

}  // namespace test_support_n
