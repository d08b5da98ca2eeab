// Native file queries.
#ifndef STATS_MNG_UTL_WIN_INTERNALS_H
#define STATS_MNG_UTL_WIN_INTERNALS_H

#include "platform/win32/win32_api.h"

namespace win_internals_n {

// The file's compression information (16 bytes: the compressed size as a 64-bit number first).
bool query_info_file(HANDLE handle, void* out);

}  // namespace win_internals_n

#endif
