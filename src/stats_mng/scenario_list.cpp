#include "stats_mng/scenario_list.h"

#include "file/file_manipulation.h"
#include "file/path_n.h"
#include "platform/trc/zqtr.h"
#include "stats_mng/stats_saver_lock.h"
#include "utl/multi_lang.h"
#include "utl/utl.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char* k_file = "scenario_list";

// One state file read as the exports read it (one open, its bytes scanned on the stack): a file
// that is not there is no problem; one that is there but cannot be a state file is.
bool read_state_file(const char* path, stats_saver_ex_c::state_reading_s& reading, std::string& problem,
                     const char* which) {
  switch (stats_saver_ex_c::read_state_file(path, true, reading)) {
    case stats_saver_ex_c::STATE_FILE_READ:
    case stats_saver_ex_c::STATE_FILE_MISSING: return true;
    case stats_saver_ex_c::STATE_FILE_TOO_LARGE: {
      // Only here is the size asked, for the words.
      std::error_code ec;
      const uint64_t size = fs::file_size(fs::u8path(path), ec);
      problem = std::string(which) + " is " + (ec ? std::string("more than ") + std::to_string(scenario_lister_c::k_max_state_file_size)
                                                   : std::to_string(size)) +
                " bytes, which no state file is";
      return false;
    }
    case stats_saver_ex_c::STATE_FILE_NOT_STATE:
      problem = std::string(which) + " holds no state (it is no XML document with a state record)";
      return false;
    case stats_saver_ex_c::STATE_FILE_UNREADABLE: break;
  }
  utl_stream_c reason;
  problem = std::string("cannot read ") + which + ": " + utl_n::get_error_text(reason, static_cast<int>(GetLastError()));
  return false;
}

}  // namespace

bool scenario_lister_c::find(const std::string& root, unsigned depth, std::vector<std::string>& out,
                             std::string& error, std::vector<std::string>* walked) {
  std::error_code ec;
  // Absolute, so that a listing names each scenario the same way wherever it was asked from.
  fs::path start = fs::u8path(root);
  const fs::path absolute = fs::absolute(start, ec);
  if (!ec) start = absolute;
  // The root's real path: below it, every directory walked is real (links are not walked down), so
  // only a link found on the way needs resolving.
  const fs::path real_root = fs::canonical(start, ec);
  if (!ec) start = real_root;
  if (!fs::is_directory(start, ec)) {
    error = ec ? ec.message() : "it is not a directory";
    if (!fs::exists(start, ec)) error = "there is no such directory";
    // A link in a loop, or to nothing, is named as the link it is (as the other commands name it).
    if (fs::is_symlink(fs::symlink_status(start, ec)) && !fs::is_directory(start, ec)) {
      error = "it is a link that leads to no directory";
    }
    return false;
  }
  if (walked != nullptr) walked->push_back(start.generic_u8string());
  // Breadth by breadth, each level's directories in one pass.
  std::vector<fs::path> level{start};
  for (unsigned d = 1; d <= depth && !level.empty(); ++d) {
    std::vector<fs::path> next;
    for (const fs::path& dir : level) {
      fs::directory_iterator it(dir, fs::directory_options::none, ec);
      for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        std::error_code entry_ec;
        if (!entry.is_directory(entry_ec) || entry.path().filename() == STATE_DIRECTORY_NAME) continue;
        if (walked != nullptr) walked->push_back(entry.path().generic_u8string());
        const fs::path state_dir = entry.path() / STATE_DIRECTORY_NAME;
        const fs::file_status status = fs::status(state_dir, entry_ec);
        if (entry_ec && entry_ec != std::errc::no_such_file_or_directory) {
          // Passed over once: a directory that cannot be looked into is not walked into either
          // (which would note it a second time).
          skipped.push_back(entry.path().generic_u8string() + ": " + entry_ec.message());
          continue;
        } else if (!entry_ec && fs::is_directory(status)) {
          // A scenario reached through a link is the scenario: its real path, once.
          fs::path real = entry.path();
          if (entry.is_symlink(entry_ec)) {
            const fs::path resolved = fs::canonical(entry.path(), entry_ec);
            if (!entry_ec) real = resolved;
          }
          out.push_back(real.generic_u8string());
        }
        if (d < depth && !entry.is_symlink(entry_ec)) next.push_back(entry.path());
      }
      if (ec) {
        skipped.push_back(dir.generic_u8string() + ": " + ec.message());
        ec.clear();
      }
    }
    level.swap(next);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return true;
}

const scenario_lister_c::parent_s& scenario_lister_c::_parent_reading(const char* parent_file) {
  auto known = m_parents.find(std::string_view(parent_file));
  if (known != m_parents.end()) return known->second;
  parent_s& parent = m_parents[parent_file];
  read_state_file(parent_file, parent.reading, parent.problem, "the parent directory's state file");
  return parent;
}

scenario_report_s scenario_lister_c::read(const std::string& directory, unsigned ask) {
  ZQTR_SCOPE(tr, "scenario_lister_c::read", k_file);
  scenario_report_s report;
  report.directory = directory;
#ifndef _WIN32
  // A name holding a backslash would be read as two names (the library takes it for a separator).
  if (directory.find('\\') != std::string::npos) {
    report.error = "the path holds a backslash, which the library reads as a separator";
    return report;
  }
#endif
  if (directory.size() > MAX_SCENARIO_DIR_LENGTH || !multi_lang_str_n::is_valid_utf8(directory.c_str())) {
    report.error = "the path is too long or not UTF-8 text";
    return report;
  }
  char standard[PATH_BUFFER_SIZE];  // on the stack, as every path below: nothing per scenario but its row
  standard[0] = '\0';
  path_n::standard_dir_path(directory.c_str(), standard, true);
  std::vector<std::string> problems;

  // The engine: a read-only probe of the lock file. Its own open answers whether there is one; a
  // missing lock file and a missing state directory both mean no engine, so which is not asked.
  stats_saver_lock_c lock(standard, false);
  switch ((ask & ASK_ENGINE) == 0 ? stats_saver_lock_c::PROBE_FREE : lock.probe(false)) {
    case stats_saver_lock_c::PROBE_HELD: report.engine_known = report.engine_active = true; break;
    case stats_saver_lock_c::PROBE_FREE: report.engine_known = (ask & ASK_ENGINE) != 0; break;
    case stats_saver_lock_c::PROBE_ERROR: {
      if (file_manipulation_n::is_missing_error(lock.error())) {
        report.engine_known = true;  // no lock file (or a link in its place that leads nowhere): no engine holds it
        break;
      }
      utl_stream_c reason;
      problems.push_back(std::string("cannot ask the lock file: ") +
                         utl_n::get_error_text(reason, static_cast<int>(lock.error())));
      break;
    }
  }

  // The state: the own file against the parent's, as the exports read them.
  char path[PATH_BUFFER_SIZE];
  stats_saver_ex_c::state_reading_s own;
  stats_saver_ex_c::state_reading_s parent;
  bool state_known = (ask & ASK_STATE) != 0;
  std::string problem;
  if (state_known && stats_saver_ex_c::own_state_file_path(standard, path) &&
      !read_state_file(path, own, problem, "its state file")) {
    problems.push_back(problem);
    state_known = false;
  }
  if ((ask & ASK_STATE) != 0 && stats_saver_ex_c::parent_state_file_path(standard, path)) {
    const parent_s& p = _parent_reading(path);
    parent = p.reading;
    if (!p.problem.empty()) {
      problems.push_back(p.problem);
      state_known = false;
    }
  }
  report.state_known = state_known;
  if (state_known) {
    const stats_saver_ex_c::state_reading_s& counted = stats_saver_ex_c::later_of(own, parent);
    report.state_recorded = counted.read;
    if (counted.read) {
      report.state_index = counted.state_index;
      report.synced = counted.synced;
      report.sync_time = counted.time;
    }
  }
  for (const std::string& p : problems) report.error += (report.error.empty() ? "" : "; ") + p;
  report.read = problems.empty();
  return report;
}
