// What replacing a file whole must keep: where its name leads, and who may read and change it.
// file_manipulation_n::replace_file_contents writes the new content into a temporary file made here
// and renames it over the old one; these are the two steps that differ between the systems.
#ifndef STATS_MNG_FILE_REPLACEMENT_H
#define STATS_MNG_FILE_REPLACEMENT_H

#include "platform/win32/win32_api.h"
#include "utl/utl_stream.h"

namespace replacement_n {

// The file a replacement of path takes the place of: path itself, or where the symbolic links in
// its place lead (a relative target is taken from the link's own directory; a link that leads
// nowhere yet leads to the file it names). The link stays a link. False, with the reason, for a
// chain of links that does not end (more than 40), and for something other than a regular file (a
// device, a pipe, a directory) at the links' end or in path's own place (on Windows: a directory),
// which is never replaced; the last error is then ERROR_BAD_PATHNAME or ERROR_NOT_SUPPORTED.
bool final_target(const char* path, utl_stream_c& target, utl_stream_c& reason);

// Creates the temporary file temp (which must not exist) for the new content of target, open for
// writing and written through to the disk, never readable by more users than target. Where target
// exists, the new file gets what the old one has that a new file would not: on POSIX its permission
// bits and, where the process may set them, its owner and group (a process that may not give the
// file away keeps the group where it may, and the file is then the writer's own); on Windows its
// attributes and its access control list. INVALID_HANDLE_VALUE with the last error on failure.
HANDLE create_for(const char* target, const char* temp);

}  // namespace replacement_n

#endif
