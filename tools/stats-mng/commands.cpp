#include "commands.h"

#include "file/path_n.h"
#include "platform/trc/zqtr.h"
#include "platform/win32/drive_map.h"
#include "utl/message.h"
#include "utl/multi_lang.h"

#include <vector>

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

int print_windows_paths(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err) {
  int code = 0;
  std::vector<wchar_t> wide(PATH_BUFFER_SIZE);
  std::vector<char> text(PATH_BUFFER_SIZE * 4);
  for (const std::string& path : paths) {
    if (path.size() >= PATH_BUFFER_SIZE) {
      err << "stats-mng: path is longer than " << PATH_BUFFER_SIZE - 1 << " characters: " << path.substr(0, 60)
          << "...\n";
      code = 1;
      continue;
    }
    path_n::path_to_wide_char_path(path.c_str(), wide.data(), true);
    if (wide[0] == L'\0' || multi_lang_str_n::wide_to_utf8(wide.data(), text.data(), text.size()) == nullptr) {
      err << "stats-mng: '" << path << "' has no Windows form\n";
      code = 1;
      continue;
    }
    out << text.data() << '\n';
  }
  return code;
}

int print_message(const std::string& id, const std::string& message_file, std::ostream& out, std::ostream& err) {
  if (!message_file.empty()) {
    std::vector<std::string> problems;
    long loaded = message_store_c::load_file(message_file, problems);
    if (loaded < 0) {
      err << "stats-mng: cannot read the message file " << message_file << "\n";
      return 2;
    }
    for (const std::string& p : problems) err << "stats-mng: " << message_file << ": " << p << "\n";
  }
  message_c message(id.c_str());
  out << message.text() << '\n';
  return message.found() ? 0 : 1;
}

bool map_drives(const std::vector<std::string>& mappings, std::ostream& err) {
  for (const std::string& mapping : mappings) {
    std::string error;
    if (!drive_map_n::map_entry(mapping, error)) {
      err << "stats-mng: --drive " << mapping << ": " << error << "\n";
      return false;
    }
  }
  return true;
}

}  // namespace stats_mng_tool_n
