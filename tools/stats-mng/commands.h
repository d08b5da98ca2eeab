// The commands of the stats-mng tool, apart from its argument parsing.
#ifndef STATS_MNG_TOOLS_COMMANDS_H
#define STATS_MNG_TOOLS_COMMANDS_H

#include <ostream>
#include <string>
#include <vector>

namespace stats_mng_tool_n {

// Prints the standard form of each path, one per line. A path that has none is reported on err
// and the others are still printed. Returns the exit code: 0, or 1 when any path failed.
int print_standard_paths(const std::vector<std::string>& paths, bool keep_prefix, std::ostream& out,
                         std::ostream& err);

}  // namespace stats_mng_tool_n

#endif
