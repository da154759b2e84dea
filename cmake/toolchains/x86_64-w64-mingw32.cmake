# The same program as a 64-bit Windows program. It exists for testing only: on a Linux
# host whose kernel runs no 32-bit code, Wine can run this build but not the 32-bit one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZOD_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
