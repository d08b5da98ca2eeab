// The operating-system side of the trace log: whole-record appends that several threads and
// processes may make at once, rotation by size, and the few file operations around them.
#ifndef STATS_MNG_PLATFORM_TRC_ZQTR_LOG_FILE_H
#define STATS_MNG_PLATFORM_TRC_ZQTR_LOG_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace zqtr_log_file_n {

// Appends one record in a single write. When the file would pass max_size (0: no limit) it is
// first rotated: "name.log" becomes "name.log.1", "name.log.1" becomes "name.log.2" and so on up
// to keep files (0: the full log is removed). Only one process rotates a given file at a time.
bool append(const std::string& path, const char* data, size_t length, uint64_t max_size, unsigned keep);

// Creates the directory and its missing parents; true when it exists afterwards.
bool make_directories(const std::string& directory);

// Reads a whole regular file of at most limit bytes; false for anything else (a pipe or device is
// refused at once, never waited on).
bool read_file(const std::string& path, std::string& content, size_t limit = 1u << 20);

// True when standard error is a console.
bool stderr_is_console();

}  // namespace zqtr_log_file_n

#endif
