// Several processes append to one log and rotate it.
#include "platform/trc/zqtr.h"

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

using namespace test_support_n;

namespace {

const int k_lines_per_process = 1500;

// args: log directory, settings text, process number
TEST_CHILD_ROLE(trace_writer) {
  if (args.size() != 3) return 2;
  int64_t len = 0;
  if (!zqtr_set_log_directory(nullptr, len, args[0].c_str(), "stats_mng.dll", false)) return 3;
  std::string text = args[1];
  for (char& c : text) {
    if (c == ';') c = '\n';
  }
  len = static_cast<int64_t>(text.size());
  if (!zqtr_reparse_file(&text[0], len, nullptr)) return 4;
  ZQTR_SCOPE(tr, "trace_writer", "zqtr_process_test");
  for (int i = 0; i < k_lines_per_process; ++i) {
    tr.print(ZQTR_FAIL, __LINE__, "writer %s line %d %s\n", args[2].c_str(), i, std::string(90, 'p').c_str());
  }
  return 0;
}

TEST(zqtr_processes, concurrent_appends_and_rotation_lose_and_tear_nothing) {
  temp_dir_c dir;
  const int processes = 4;
  // Large enough to keep every rotated file, small enough to rotate often.
  const std::string settings = "levels = fail;max_size = 64K;keep = 60";
  std::vector<std::unique_ptr<child_process_c>> children;
  for (int p = 0; p < processes; ++p) {
    children.emplace_back(new child_process_c("trace_writer", {dir.path(), settings, std::to_string(p)}));
    ASSERT_TRUE(children.back()->started());
  }
  for (auto& child : children) EXPECT_EQ(child->wait(), 0);

  std::regex whole(".*\\) writer ([0-9]+) line ([0-9]+) p{90}$");
  std::map<int, std::set<int>> seen;
  size_t total = 0;
  int files = 0;
  for (int n = 0; n <= 60; ++n) {
    std::string name = n == 0 ? "stats_mng.log" : "stats_mng.log." + std::to_string(n);
    if (!file_exists(dir.file(name))) continue;
    ++files;
    std::string content = read_text_file(dir.file(name));
    // A writer that opened the file just before another rotated it still lands its record there.
    EXPECT_LE(content.size(), 65536u + processes * 200u) << name;
    for (const std::string& line : split_lines(content)) {
      std::smatch m;
      ASSERT_TRUE(std::regex_match(line, m, whole)) << name << ": " << line;
      EXPECT_TRUE(seen[std::stoi(m[1])].insert(std::stoi(m[2])).second) << "twice: " << line;
      ++total;
    }
  }
  EXPECT_GT(files, 5);
  EXPECT_EQ(total, static_cast<size_t>(processes * k_lines_per_process));
  for (int p = 0; p < processes; ++p) EXPECT_EQ(seen[p].size(), static_cast<size_t>(k_lines_per_process));
}

}  // namespace
