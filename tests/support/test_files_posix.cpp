#include "test_files.h"

#include "platform/win32/posix/posix_paths.h"


namespace test_support_n {

std::wstring wide(const std::string& text) { return posix_paths_n::widen(text); }

bool running_under_wine() { return false; }

}  // namespace test_support_n
