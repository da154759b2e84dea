# Cross-compiles the 32-bit Windows program with Debian's mingw-w64 (g++-mingw-w64-i686).
# The posix thread model: GoogleTest needs std::mutex, which GCC 12's win32 model lacks.
# Its winpthread library is linked statically (platform/CMakeLists.txt), so no DLL comes of it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZOD_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
