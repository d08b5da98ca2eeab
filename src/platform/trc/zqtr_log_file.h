// The operating-system side of the trace log: whole-record appends that several threads and
// processes may make at once, rotation by size, and the few file operations around them.
//
// The log directory may be one that other users write to (a shared log folder, /tmp). The log and
// its rotated siblings are therefore opened without following a link (on Windows: a reparse
// point), created only by an exclusive creation, written only when they are a regular file with a
// single name, and rotation renames only regular files.
#ifndef STATS_MNG_PLATFORM_TRC_ZQTR_LOG_FILE_H
#define STATS_MNG_PLATFORM_TRC_ZQTR_LOG_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zqtr_log_file_n {

// What an append found besides the record it wrote.
struct append_report_s {
  // Why the record was not written, naming the file ("/logs/stats_mng.log is a symbolic link, ...");
  // empty when it was.
  std::string problem;
  // One text per rotated name that a rotation left alone (a link, a directory ... in its place).
  std::vector<std::string> left_alone;
};

// Appends one record in a single write. When the file would pass max_size (0: no limit) it is
// first rotated: "name.log" becomes "name.log.1", "name.log.1" becomes "name.log.2" and so on up
// to keep files (0: the full log is removed). Only one process rotates a given file at a time. A
// rotated name held by anything but a regular file is left alone and ends the chain there: the
// file that would move onto it is removed instead, as the oldest one is. report, when not null,
// receives what went wrong.
bool append(const std::string& path, const char* data, size_t length, uint64_t max_size, unsigned keep,
            append_report_s* report = nullptr);

// Why the log at path would not be written, as append reports it; empty when nothing is there yet
// or a regular file of its own is. Looks only: creates nothing.
std::string probe(const std::string& path);

// Creates the directory and its missing parents; true when it exists afterwards.
bool make_directories(const std::string& directory);

// Whether read_file goes through a link in the file's place.
enum class links_e { follow, refuse };

// Reads a whole regular file of at most limit bytes; false for anything else (a pipe or device is
// refused at once, never waited on). With links_e::refuse a symbolic link (on Windows: a reparse
// point) in the file's place is refused rather than followed. reason, when not null, receives why
// a file that is there was refused ("it is a symbolic link, which is not followed"); it stays empty
// when the file could not be opened at all.
bool read_file(const std::string& path, std::string& content, size_t limit = 1u << 20,
               links_e links = links_e::follow, std::string* reason = nullptr);

// True when standard error is a console.
bool stderr_is_console();

}  // namespace zqtr_log_file_n

#endif
