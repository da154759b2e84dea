# How the Linux desktop program (shell/ on the FLTK host) is installed.
include(GNUInstallDirs)

# What a desktop expects, in its usual places under any prefix, including one given only to
# `cmake --install --prefix`: the launcher names the folder that holds the intro picture,
# so it is written at install time. All of it is the `viewer` component.
install(TARGETS zod-edozuv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT viewer)
install(FILES assets/intro.bmp DESTINATION ${CMAKE_INSTALL_DATADIR}/zod-edozuv COMPONENT viewer)
install(FILES resources/zod-edozuv.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        COMPONENT viewer)
configure_file(resources/zod-edozuv.1.in ${CMAKE_BINARY_DIR}/generated/zod-edozuv.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/generated/zod-edozuv.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
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
        list(JOIN step \" \" arguments)
        message(STATUS \"Refreshing: \${tool} \${arguments}\")
        execute_process(COMMAND \${found} \${step} RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
          message(WARNING \"\${tool} failed: \${rc}\")
        endif()
      endif()
    endforeach()
  endif()
" COMPONENT viewer)
