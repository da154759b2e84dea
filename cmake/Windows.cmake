# The Windows program: zod-edozuv.exe from the shell and the windres-compiled resource
# script, plus the Windows unit tests. Included from the top-level CMakeLists when WIN32.
enable_language(RC)

# Static C and C++ runtimes: the .exe then needs no DLL beyond Windows' own, so it runs
# as one file on any Windows; -static also takes in winpthread (posix thread model).
add_library(zod_windows_runtime INTERFACE)
target_link_options(zod_windows_runtime INTERFACE -static -static-libgcc -static-libstdc++)

add_executable(zod-edozuv WIN32 resources/zod-edozuv.rc)
# windres looks for the icon and cursor files and command_ids.h beside the script, and
# for the version header that project(VERSION) gives in the build tree.
target_include_directories(zod-edozuv PRIVATE ${CMAKE_SOURCE_DIR}/resources
                           ${CMAKE_BINARY_DIR}/generated)
set_property(SOURCE resources/zod-edozuv.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_SOURCE_DIR}/resources/tvq_big.ico ${CMAKE_SOURCE_DIR}/resources/tvq_cursor.cur
             ${CMAKE_SOURCE_DIR}/resources/command_ids.h ${CMAKE_BINARY_DIR}/generated/zod_version.h)
# WIN32 above links with -mwindows: the GUI subsystem, no console window. WinMain lives
# in the shell library, but only the runtime's start-up (linked last) asks for it, so the
# whole library is taken in.
target_link_libraries(zod-edozuv PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,zod_shell>"
                      zod_windows_runtime zod_warnings)
# No symbols in the release file: they would double its size and help nobody.
target_link_options(zod-edozuv PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
if(ZOD_WARNINGS_AS_ERRORS)
  # Linker warnings too (the compile flags come with zod_warnings).
  target_link_options(zod-edozuv PRIVATE -Wl,--fatal-warnings)
endif()

if(ZOD_BUILD_TESTS)
  add_subdirectory(tests/windows)
endif()
