# How the Linux desktop program (wired with its host, in platform/hosts/) is installed.
include(GNUInstallDirs)

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
