#include "arguments.h"

namespace stats_mng_tool_n {

bool command_line_arguments(int argc, char** argv, std::vector<std::string>& arguments, std::string&) {
  // The bytes as given: names on this system are bytes, and the commands check what must be UTF-8.
  arguments.assign(argv, argv + argc);
  return true;
}

void prepare_output() {}

}  // namespace stats_mng_tool_n
