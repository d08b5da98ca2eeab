#include "commands.h"

#include "file/path_n.h"
#include "platform/trc/zqtr.h"

namespace stats_mng_tool_n {

int print_standard_paths(const std::vector<std::string>& paths, bool keep_prefix, std::ostream& out,
                         std::ostream& err) {
  ZQTR_SCOPE(tr, "stats_mng_tool_n::print_standard_paths", "stats-mng");
  int code = 0;
  size_t done = 0;
  for (const std::string& path : paths) {
    char standard[PATH_BUFFER_SIZE] = {};
    if (path.size() >= PATH_BUFFER_SIZE) {
      err << "stats-mng: path is longer than " << PATH_BUFFER_SIZE - 1 << " characters: " << path.substr(0, 60)
          << "...\n";
      tr.print(4, __LINE__, "Unable to normalise a path of %lu characters\n", static_cast<unsigned long>(path.size()));
      code = 1;
    } else if (!path_n::standard_dir_path(path.c_str(), standard, !keep_prefix)) {
      err << "stats-mng: '" << path << "' has no standard form (a path needs at least two characters, as in C: or /x)\n";
      tr.print(4, __LINE__, "Unable to normalise the path %s\n", path.c_str());
      code = 1;
    } else {
      out << standard << '\n';
      ++done;
    }
  }
  tr.print(128, __LINE__, "Normalised %lu of %lu path(s)\n", static_cast<unsigned long>(done),
           static_cast<unsigned long>(paths.size()));
  return code;
}

}  // namespace stats_mng_tool_n
