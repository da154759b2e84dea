# One interface target carries the warning flags for every target of ours.
add_library(zod_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(zod_warnings INTERFACE
    -Wall                 # the common mistakes
    -Wextra               # unused parameters, signed/unsigned comparisons
    -Wpedantic            # no compiler extensions: the same code must build with mingw-w64
    -Wshadow              # long Win32-style procedures make shadowed names easy to miss
    -Wformat=2            # printf-style calls checked against their arguments
    -Wnon-virtual-dtor    # platform classes with virtual functions are deleted through bases
    -Wcast-qual           # casting away const hides writes to read-only data
    -Wundef               # a misspelt macro in #if silently evaluates to 0
  )
  if(ZOD_WARNINGS_AS_ERRORS)
    target_compile_options(zod_warnings INTERFACE -Werror)
  endif()
endif()
