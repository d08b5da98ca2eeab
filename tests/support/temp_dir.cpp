#include "temp_dir.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace test_support_n {

namespace {
std::atomic<unsigned> g_counter{0};

fs::path from_utf8(const std::string& path) { return fs::u8path(path); }

// What the tests wrote themselves (path, hash of the bytes): an input, not an output to check.
std::mutex g_written_lock;
std::map<std::string, size_t> g_written;

// With STATS_MNG_KEEP_XML naming a directory, every XML file left in dir that the test did not
// write itself as it stands (what the library and the tool wrote) is copied there before dir goes,
// for a standard parser to read (scripts/check-xml-outputs.sh).
void keep_xml_outputs(const std::string& dir) {
  const char* keep = std::getenv("STATS_MNG_KEEP_XML");
  if (keep == nullptr || keep[0] == '\0') return;
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string prefix = test == nullptr ? "none" : std::string(test->test_suite_name()) + "." + test->name();
  for (char& c : prefix) {
    if (c == '/' || c == '\\') c = '_';
  }
  std::error_code ec;
  for (fs::recursive_directory_iterator it(from_utf8(dir), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec) || it->path().extension() != ".xml") continue;
    const std::string path = it->path().generic_u8string();
    const std::string content = read_text_file(path);
    {
      std::lock_guard<std::mutex> lock(g_written_lock);
      const auto written = g_written.find(path);
      if (written != g_written.end() && written->second == std::hash<std::string>()(content)) continue;
    }
    std::string relative = path.substr(dir.size() + 1);
    for (char& c : relative) {
      if (c == '/') c = '!';
    }
    std::ofstream(from_utf8(std::string(keep) + "/" + prefix + "." + std::to_string(g_counter++) + "." + relative),
                  std::ios::binary)
        << content;
  }
}

}  // namespace

temp_dir_c::temp_dir_c() {
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "stats_mng_test_" << std::hex << stamp << "_" << g_counter++;
    fs::path candidate = fs::temp_directory_path() / name.str();
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      m_path = candidate.generic_u8string();
      return;
    }
  }
  ADD_FAILURE() << "cannot create a temporary directory";
}

temp_dir_c::~temp_dir_c() {
  if (m_path.empty()) return;
  keep_xml_outputs(m_path);
  std::error_code ec;
  fs::remove_all(from_utf8(m_path), ec);
}

std::string read_text_file(const std::string& path) {
  std::ifstream in(from_utf8(path), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void write_text_file(const std::string& path, const std::string& text) {
  {
    std::ofstream out(from_utf8(path), std::ios::binary | std::ios::trunc);
    out << text;
  }
  std::lock_guard<std::mutex> lock(g_written_lock);
  g_written[path] = std::hash<std::string>()(text);
}

bool file_exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(from_utf8(path), ec);
}

bool wait_for_file(const std::string& path) {
  for (int i = 0; i < 1500 && !file_exists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return file_exists(path);
}

}  // namespace test_support_n
