# The Linux desktop program: the shell on the FLTK host, and how it is installed.
include(GNUInstallDirs)

# FLTK through fltk-config rather than CMake's FindFLTK: with Debian's FLTK 1.3 the module
# loads FLTK's own FLTKConfig.cmake, which fails on the fluid program unless fluid is
# installed, and its fallback adds link folders to every target.
find_program(ZOD_FLTK_CONFIG fltk-config REQUIRED)
execute_process(COMMAND ${ZOD_FLTK_CONFIG} --cxxflags
                OUTPUT_VARIABLE zod_fltk_cxxflags OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${ZOD_FLTK_CONFIG} --ldflags
                OUTPUT_VARIABLE zod_fltk_ldflags OUTPUT_STRIP_TRAILING_WHITESPACE)
separate_arguments(zod_fltk_cxxflags UNIX_COMMAND "${zod_fltk_cxxflags}")
separate_arguments(zod_fltk_ldflags UNIX_COMMAND "${zod_fltk_ldflags}")
# FLTK's headers are not ours to keep warning-free.
set(zod_fltk_includes "")
set(zod_fltk_other_flags "")
foreach(flag IN LISTS zod_fltk_cxxflags)
  if(flag MATCHES "^-I(.*)")
    list(APPEND zod_fltk_includes "${CMAKE_MATCH_1}")
  else()
    list(APPEND zod_fltk_other_flags "${flag}")
  endif()
endforeach()
find_package(X11 REQUIRED)
add_library(zod_fltk INTERFACE)
target_include_directories(zod_fltk SYSTEM INTERFACE ${zod_fltk_includes})
target_compile_options(zod_fltk INTERFACE ${zod_fltk_other_flags})
target_link_libraries(zod_fltk INTERFACE ${zod_fltk_ldflags})

add_executable(zod-edozuv platform/hosts/fltk_main.cpp platform/hosts/fltk_host.cpp
                          platform/hosts/screen_view.cpp platform/hosts/message_box.cpp
                          platform/hosts/fltk_file_chooser.cpp platform/hosts/gtk_file_dialog.cpp
                          platform/hosts/file_patterns.cpp platform/hosts/window_manager.cpp
                          platform/hosts/input_method.cpp)
target_link_libraries(zod-edozuv PRIVATE zod_shell zod_fltk X11::Xext ${CMAKE_DL_LIBS} zod_warnings)

# What a desktop expects, in its usual places under any prefix, including one given only to
# `cmake --install --prefix`: the launcher names the folder that holds the intro picture,
# so it is written at install time.
install(TARGETS zod-edozuv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES assets/intro.bmp DESTINATION ${CMAKE_INSTALL_DATADIR}/zod-edozuv)
install(FILES resources/zod-edozuv.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
foreach(size 16 32 48 64 128 256)
  install(FILES resources/icons/${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME zod-edozuv.png)
endforeach()
install(CODE "
  set(ZOD_DATA_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/zod-edozuv\")
  set(launcher \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/zod-edozuv.desktop\")
  message(STATUS \"Installing: \${launcher}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/resources/zod-edozuv.desktop.in\" \"\${launcher}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${launcher}\")
")

if(ZOD_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
  add_subdirectory(tests/gui)
endif()
