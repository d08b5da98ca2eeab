#include "test_files.h"

#include "platform/win32/posix/handles.h"
#include "platform/win32/posix/posix_paths.h"

#include <fcntl.h>

namespace test_support_n {

HANDLE open_test_file(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  return posix_handles_n::adopt_fd(fd, path);
}

std::wstring wide(const std::string& text) { return posix_paths_n::widen(text); }

bool running_under_wine() { return false; }

}  // namespace test_support_n
