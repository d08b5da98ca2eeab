// Loading a built shared library at run time, as a foreign caller does.
#ifndef STATS_MNG_TESTS_SUPPORT_DYNAMIC_LIBRARY_H
#define STATS_MNG_TESTS_SUPPORT_DYNAMIC_LIBRARY_H

#include <string>

namespace test_support_n {

class dynamic_library_c {
 public:
  explicit dynamic_library_c(const std::string& path);
  ~dynamic_library_c();
  dynamic_library_c(const dynamic_library_c&) = delete;
  dynamic_library_c& operator=(const dynamic_library_c&) = delete;

  bool loaded() const { return m_handle != nullptr; }
  const std::string& error() const { return m_error; }
  void* symbol(const char* name) const;

 private:
  void* m_handle = nullptr;
  std::string m_error;
};

}  // namespace test_support_n

#endif
