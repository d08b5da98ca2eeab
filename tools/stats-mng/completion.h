// Shell completion of the stats-mng command line, answered by the tool from its own command
// definitions: a shell's completion function runs `stats-mng --complete WORD...` and offers what
// it prints.
#ifndef STATS_MNG_TOOLS_COMPLETION_H
#define STATS_MNG_TOOLS_COMPLETION_H

#include <CLI/CLI.hpp>

#include <ostream>
#include <string>
#include <vector>

namespace stats_mng_tool_n {

// The first argument that asks for completion instead of a command.
constexpr const char* k_complete_option = "--complete";

// words: the words after the program's name up to the one being completed, which is the last (and
// may be empty). Prints the candidates that begin with that word, one a line: command names,
// option names, the fixed words an argument takes (from the option's type name such as
// "N|manager|all", or from the library's tables: value types, enumerations, object tags, fields),
// and the line "@file" or "@dir" where the argument is a file or directory name, for the shell to
// complete itself. Prints nothing it cannot place. Returns 0.
int complete_command_line(CLI::App& app, const std::vector<std::string>& words, std::ostream& out);

}  // namespace stats_mng_tool_n

#endif
