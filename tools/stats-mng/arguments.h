// The command line as UTF-8 text, and an output that shows UTF-8 as it is, on every system.
#ifndef STATS_MNG_TOOLS_ARGUMENTS_H
#define STATS_MNG_TOOLS_ARGUMENTS_H

#include <string>
#include <vector>

namespace stats_mng_tool_n {

// The program's arguments (the program's name first) in UTF-8. On Windows they come from the
// system's UTF-16 command line, never through the ANSI code page (which would lose characters or map
// them to look-alikes). False, with the reason in error, for an argument that is no valid text.
bool command_line_arguments(int argc, char** argv, std::vector<std::string>& arguments, std::string& error);

// A console shows the tool's UTF-8 output as UTF-8 (a pipe or file gets the bytes as they are).
void prepare_output();

// True when the standard output is a pipe whose reader has gone (`stats-mng watch ROOT | head -1`
// once head has its line): nothing written there will be read, so a command that would otherwise
// wait for the next change to write ends instead. On Windows it is known only when a write fails.
bool output_reader_gone();

}  // namespace stats_mng_tool_n

#endif
