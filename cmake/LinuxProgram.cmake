# The Linux desktop program: the shell on the FLTK host, and how it is installed.
include(GNUInstallDirs)

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
add_library(zod_fltk INTERFACE)
target_include_directories(zod_fltk SYSTEM INTERFACE ${zod_fltk_includes})
target_compile_options(zod_fltk INTERFACE ${zod_fltk_other_flags})
target_link_libraries(zod_fltk INTERFACE ${zod_fltk_ldflags})

add_executable(zod-edozuv platform/hosts/fltk_main.cpp platform/hosts/fltk_host.cpp
                          platform/hosts/screen_view.cpp platform/hosts/message_box.cpp
                          platform/hosts/fltk_file_chooser.cpp platform/hosts/gtk_file_dialog.cpp
                          platform/hosts/file_patterns.cpp platform/hosts/window_manager.cpp)
target_link_libraries(zod-edozuv PRIVATE zod_shell zod_fltk ${CMAKE_DL_LIBS} zod_warnings)

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
  enable_testing() # before the folder is added, or its tests are not written out
  add_subdirectory(tests/gui)
endif()
