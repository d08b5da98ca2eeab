// Opening test files as the platform layer's handles.
#ifndef STATS_MNG_TESTS_SUPPORT_TEST_FILES_H
#define STATS_MNG_TESTS_SUPPORT_TEST_FILES_H

#include "platform/win32/win32_api.h"

#include <string>

namespace test_support_n {

// Opens an existing file for reading as a HANDLE; INVALID_HANDLE_VALUE on failure.
HANDLE open_test_file(const std::string& path);

// The Windows form of a test path ("C:/users/x" stays; "/tmp/x" is "\tmp\x" seen from Windows).
std::wstring wide(const std::string& text);

// True when the Windows build runs under Wine rather than on Windows.
bool running_under_wine();

// Sets the file's last write time to the given number of seconds ago.
bool set_file_age(const std::string& path, long seconds);

// A named pipe at path (POSIX only); false where none can be made.
bool make_fifo(const std::string& path);
// Whether path is a named pipe (never on Windows).
bool is_fifo(const std::string& path);

// A symbolic link at link leading to target (which need not exist); false where the system makes
// no link that is seen as one (Windows without the privilege; Wine, which reports success for
// links it does not make).
bool make_symbolic_link(const std::string& target, const std::string& link);
// True when the name itself is a symbolic link (on Windows a reparse point), whatever it leads to.
bool is_symbolic_link(const std::string& path);
// A second name for an existing file; false where none can be made.
bool make_hard_link(const std::string& existing, const std::string& link);

// A file system of its own of the given size mounted on the existing directory (a tmpfs, where the
// process may mount one); false where that cannot be done. unmount takes it away again.
bool mount_small_file_system(const std::string& directory, size_t bytes);
void unmount(const std::string& directory);

}  // namespace test_support_n

#endif
