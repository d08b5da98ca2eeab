// A fresh temporary directory per test, removed with everything in it afterwards.
#ifndef STATS_MNG_TESTS_SUPPORT_TEMP_DIR_H
#define STATS_MNG_TESTS_SUPPORT_TEMP_DIR_H

#include <string>

#include <gtest/gtest.h>

namespace test_support_n {

class temp_dir_c {
 public:
  temp_dir_c();
  ~temp_dir_c();
  temp_dir_c(const temp_dir_c&) = delete;
  temp_dir_c& operator=(const temp_dir_c&) = delete;

  // UTF-8 path with '/' separators.
  const std::string& path() const { return m_path; }
  std::string file(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

// Reads a whole file; empty when it cannot be read.
std::string read_text_file(const std::string& path);
void write_text_file(const std::string& path, const std::string& text);
bool file_exists(const std::string& path);
// Waits up to 15 s for a file to appear (a child process's signal); true once it exists.
bool wait_for_file(const std::string& path);

class temp_dir_test : public ::testing::Test {
 protected:
  temp_dir_c m_dir;
};

}  // namespace test_support_n

#endif
