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
target_link_libraries(zod-edozuv PRIVATE zod_shell zod_fltk X11::Xext X11::X11 ${CMAKE_DL_LIBS}
                      zod_warnings)
target_compile_definitions(zod-edozuv PRIVATE ZOD_VERSION="${PROJECT_VERSION}")

# What a desktop expects, in its usual places under any prefix, including one given only to
# `cmake --install --prefix`: the launcher names the folder that holds the intro picture,
# so it is written at install time. All of it is the `viewer` component.
install(TARGETS zod-edozuv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT viewer)
install(FILES assets/intro.bmp DESTINATION ${CMAKE_INSTALL_DATADIR}/zod-edozuv COMPONENT viewer)
install(FILES resources/zod-edozuv.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        COMPONENT viewer)
foreach(size 16 32 48 64 128 256)
  install(FILES resources/icons/${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME zod-edozuv.png COMPONENT viewer)
endforeach()
install(CODE "
  set(ZOD_DATA_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/zod-edozuv\")
  set(launcher \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/zod-edozuv.desktop\")
  message(STATUS \"Installing: \${launcher}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/resources/zod-edozuv.desktop.in\" \"\${launcher}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${launcher}\")
" COMPONENT viewer)
# The desktop learns of the new type, launcher and icons at once, as after a package's
# install; a staged install (DESTDIR) leaves that to the packager. A tool that is missing
# or fails only costs a warning: the files are in place.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\")
    set(share \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}\")
    foreach(step \"update-mime-database;\${share}/mime\"
                 \"update-desktop-database;\${share}/applications\"
                 \"gtk-update-icon-cache;-q;-f;-t;\${share}/icons/hicolor\")
      list(POP_FRONT step tool)
      unset(found)
      find_program(found \${tool} NO_CACHE)
      if(found)
        message(STATUS \"Refreshing: \${tool} \${step}\")
        execute_process(COMMAND \${found} \${step} RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
          message(WARNING \"\${tool} failed: \${rc}\")
        endif()
      endif()
    endforeach()
  endif()
" COMPONENT viewer)

if(ZOD_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
  add_subdirectory(tests/gui)
endif()
