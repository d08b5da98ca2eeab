# Warnings that hold on all of our own code (not on third-party code built beside it).
function(stats_mng_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Picks the source files of a platform: FILES_POSIX on Linux, FILES_WIN32 on Windows, FILES everywhere.
function(stats_mng_platform_sources out)
  cmake_parse_arguments(ARG "" "" "FILES;FILES_POSIX;FILES_WIN32" ${ARGN})
  set(result ${ARG_FILES})
  if(WIN32)
    list(APPEND result ${ARG_FILES_WIN32})
  else()
    list(APPEND result ${ARG_FILES_POSIX})
  endif()
  set(${out} ${result} PARENT_SCOPE)
endfunction()
