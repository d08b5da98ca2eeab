#include "stats_mng/scenario_list.h"

#include "file/file_manipulation.h"
#include "file/path_n.h"
#include "platform/trc/zqtr.h"
#include "stats_mng/stats_saver_lock.h"
#include "utl/multi_lang.h"
#include "utl/utl.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char* k_file = "scenario_list";

std::string standard(const std::string& path) {
  std::vector<char> buffer(PATH_BUFFER_SIZE);
  if (path.size() >= PATH_BUFFER_SIZE || !path_n::standard_dir_path(path.c_str(), buffer.data(), true)) return path;
  return buffer.data();
}

// The saver a reader asks through: the scenario's own state directory, nothing to write.
class list_saver_c : public stats_saver_ex_c {
 public:
  explicit list_saver_c(const char* directory) : stats_saver_ex_c(nullptr, 0, directory, STATE_DIRECTORY_NAME, "", true) {}
};

}  // namespace

bool scenario_lister_c::find(const std::string& root, unsigned depth, std::vector<std::string>& out,
                             std::string& error) {
  std::error_code ec;
  // Absolute, so that a listing names each scenario the same way wherever it was asked from.
  fs::path start = fs::u8path(root);
  const fs::path absolute = fs::absolute(start, ec);
  if (!ec) start = absolute;
  if (!fs::is_directory(start, ec)) {
    error = ec ? ec.message() : "it is not a directory";
    if (!fs::exists(start, ec)) error = "there is no such directory";
    return false;
  }
  // Breadth by breadth, each level's directories in one pass.
  std::vector<fs::path> level{start};
  for (unsigned d = 1; d <= depth && !level.empty(); ++d) {
    std::vector<fs::path> next;
    for (const fs::path& dir : level) {
      fs::directory_iterator it(dir, fs::directory_options::none, ec);
      if (ec) {
        skipped.push_back(dir.u8string() + ": " + ec.message());
        continue;
      }
      for (const fs::directory_entry& entry : it) {
        std::error_code entry_ec;
        if (!entry.is_directory(entry_ec)) continue;
        const fs::path name = entry.path().filename();
        if (name == STATE_DIRECTORY_NAME) continue;
        if (fs::is_directory(entry.path() / STATE_DIRECTORY_NAME, entry_ec)) out.push_back(standard(entry.path().u8string()));
        if (d < depth && !entry.is_symlink(entry_ec)) next.push_back(entry.path());
      }
    }
    level.swap(next);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return true;
}

stats_saver_ex_c::state_reading_s scenario_lister_c::_parent_reading(const std::string& parent_file) {
  auto known = m_parents.find(parent_file);
  if (known != m_parents.end()) return known->second;
  stats_saver_ex_c::state_reading_s reading;
  list_saver_c saver("");
  if (file_manipulation_n::if_exists(parent_file.c_str(), nullptr)) {
    reading.read = saver._get_state_timestamp(parent_file.c_str(), &reading.state_index, &reading.time, &reading.synced);
  }
  m_parents[parent_file] = reading;
  return reading;
}

scenario_report_s scenario_lister_c::read(const std::string& directory) {
  ZQTR_SCOPE(tr, "scenario_lister_c::read", k_file);
  scenario_report_s report;
  report.directory = standard(directory);
  if (report.directory.size() > MAX_SCENARIO_DIR_LENGTH || !multi_lang_str_n::is_valid_utf8(report.directory.c_str())) {
    report.error = "the path is too long or not UTF-8 text";
    return report;
  }
  std::vector<std::string> problems;

  // The engine: a read-only probe of the lock file, when there is one.
  stats_saver_lock_c lock(report.directory.c_str(), false);
  if (file_manipulation_n::if_exists(lock.lock_file_path().c_str(), nullptr)) {
    switch (lock.probe()) {
      case stats_saver_lock_c::PROBE_HELD: report.engine_active = true; break;
      case stats_saver_lock_c::PROBE_FREE: break;
      case stats_saver_lock_c::PROBE_ERROR: {
        utl_stream_c reason;
        problems.push_back(std::string("cannot ask the lock file: ") +
                           utl_n::get_error_text(reason, static_cast<int>(lock.error())));
        break;
      }
    }
  }

  // The state: the own file against the parent's, as the exports read them.
  list_saver_c saver(report.directory.c_str());
  utl_stream_c own_path, parent_path;
  stats_saver_ex_c::state_reading_s own, parent;
  if (saver.get_file_path(own_path) != nullptr && file_manipulation_n::if_exists(own_path.c_str(), nullptr)) {
    own.read = saver._get_state_timestamp(own_path.c_str(), &own.state_index, &own.time, &own.synced);
    if (!own.read) problems.push_back("cannot read its state file (not a state file, or not readable)");
  }
  if (saver.get_parent_file_path(parent_path)) parent = _parent_reading(parent_path.c_str());
  const stats_saver_ex_c::state_reading_s& counted = stats_saver_ex_c::later_of(own, parent);
  report.state_recorded = counted.read;
  if (counted.read) {
    report.state_index = counted.state_index;
    report.synced = counted.synced;
    report.sync_time = counted.time;
  }
  for (const std::string& p : problems) report.error += (report.error.empty() ? "" : "; ") + p;
  report.read = problems.empty();
  return report;
}
