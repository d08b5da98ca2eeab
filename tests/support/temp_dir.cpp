#include "temp_dir.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace test_support_n {

namespace {
std::atomic<unsigned> g_counter{0};

fs::path from_utf8(const std::string& path) { return fs::u8path(path); }
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
  std::ofstream out(from_utf8(path), std::ios::binary | std::ios::trunc);
  out << text;
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
