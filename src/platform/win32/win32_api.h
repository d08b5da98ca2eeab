// The Win32 services the library calls: the real <windows.h> on Windows, our own POSIX
// implementation of the same subset elsewhere. Include <windows.h> only through this header.
#ifndef STATS_MNG_PLATFORM_WIN32_API_H
#define STATS_MNG_PLATFORM_WIN32_API_H

#if defined(_WIN32)
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#  include <winioctl.h>
#else
#  include "platform/win32/posix/win32_posix.h"
#endif

// Whether names of this platform's file systems may have short (8.3) aliases: Windows' do, the
// POSIX layer has none (a path is its own long form there), so the short-name checks are skipped.
#if defined(_WIN32)
constexpr bool k_platform_has_short_names = true;
#else
constexpr bool k_platform_has_short_names = false;
#endif

#endif
