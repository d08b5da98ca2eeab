#include "arguments.h"

#include <poll.h>
#include <unistd.h>

namespace stats_mng_tool_n {

bool command_line_arguments(int argc, char** argv, std::vector<std::string>& arguments, std::string&) {
  // The bytes as given: names on this system are bytes, and the commands check what must be UTF-8.
  arguments.assign(argv, argv + argc);
  return true;
}

void prepare_output() {}

bool output_reader_gone() {
  // A pipe's writing end reports an error once its reading end is closed (a terminal that hung up
  // reports a hang-up); a file or a pipe still read reports neither. Nothing is asked for, so
  // nothing waits.
  pollfd output{STDOUT_FILENO, 0, 0};
  return poll(&output, 1, 0) == 1 && (output.revents & (POLLERR | POLLHUP)) != 0;
}

}  // namespace stats_mng_tool_n
