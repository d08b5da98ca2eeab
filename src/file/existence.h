// Whether a path names something: the path-level question the file objects and the whole-file
// operations above them both ask, kept below both.
#ifndef STATS_MNG_FILE_EXISTENCE_H
#define STATS_MNG_FILE_EXISTENCE_H

#include "platform/win32/win32_api.h"

namespace file_manipulation_n {

bool if_exists(const char* path, HANDLE transaction);

}  // namespace file_manipulation_n

#endif
