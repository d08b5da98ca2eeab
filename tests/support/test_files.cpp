#include "test_files.h"

namespace test_support_n {

HANDLE open_test_file(const std::string& path) {
  return CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

}  // namespace test_support_n
