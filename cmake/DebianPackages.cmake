# The Debian packages, one per install component, made by CPack's DEB generator:
#   cmake --build --preset release --target deb    (into <build>/packages/)
# They install under /usr, where the system's own triggers (shared-mime-info,
# desktop-file-utils, hicolor-icon-theme, gdk-pixbuf, man-db) refresh every cache, so
# they carry no maintainer scripts. Included from the top-level CMakeLists.txt on Linux.
include(GNUInstallDirs)

set(ZOD_DEB_MAINTAINER "ZOD <packages@zod-edozuv.example>" CACHE STRING
    "Maintainer field of the Debian packages")
set(ZOD_DEB_HOMEPAGE "https://zod-edozuv.example/" CACHE STRING
    "Homepage field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zod-edozuv)
set(CPACK_PACKAGE_VENDOR ZOD)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
# The install rules then see the real prefix and a DESTDIR, so they write no loaders cache
# and run no cache refresher: the system's triggers do that on the target machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
# Each install component is a package.
set(ZOD_DEB_PACKAGES viewer=zod-edozuv converter=zod-tvq pixbuf=gdk-pixbuf-loader-tvq)
set(zod_deb_targets zod-edozuv zod-tvq zod_pixbuf_tvq)
if(TARGET zod_qt_tvq) # a build without Qt packages the rest
  list(APPEND ZOD_DEB_PACKAGES qt=qt5-image-formats-plugin-tvq)
  list(APPEND zod_deb_targets zod_qt_tvq)
endif()
set(CPACK_COMPONENTS_ALL "")
foreach(pair IN LISTS ZOD_DEB_PACKAGES)
  string(REPLACE "=" ";" pair ${pair})
  list(GET pair 0 component)
  list(GET pair 1 package)
  list(APPEND CPACK_COMPONENTS_ALL ${component})
  string(TOUPPER ${component} component)
  set(CPACK_DEBIAN_${component}_PACKAGE_NAME ${package})
endforeach()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The architecture the compiler builds for, which is the machine's own unless cross-compiling.
find_program(ZOD_DPKG_ARCHITECTURE dpkg-architecture)
if(ZOD_DPKG_ARCHITECTURE AND CMAKE_LIBRARY_ARCHITECTURE)
  execute_process(COMMAND ${ZOD_DPKG_ARCHITECTURE} -qDEB_HOST_ARCH -t ${CMAKE_LIBRARY_ARCHITECTURE}
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZOD_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ZOD_DEB_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Staged from a folder of its own, which adds Debian's documentation (see there).
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/deb ${CMAKE_BINARY_DIR}/packaging)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR}/packaging;${PROJECT_NAME};ALL;/")
# Read by cpack: the version it packages, even one given with -D CPACK_PACKAGE_VERSION=...,
# reaches the changelog.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/deb/cpack_project.cmake)

set(CPACK_DEBIAN_VIEWER_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_VIEWER_PACKAGE_RECOMMENDS
    "zod-tvq, gdk-pixbuf-loader-tvq, qt5-image-formats-plugin-tvq")
# Loaded at run time for the desktop's file chooser; FLTK's own serves without it.
set(CPACK_DEBIAN_VIEWER_PACKAGE_SUGGESTS libgtk2.0-0)
set(CPACK_DEBIAN_VIEWER_DESCRIPTION
"viewer for TVQ images at five levels of colour amplification
ZOD Edozuv shows TVQ images (16 bits per pixel, five-bit colour channels)
at one of five levels of colour amplification, shows BMP files, and
exports the image on view as an uncompressed 24-bit BMP file. The chosen
level is kept in a settings file.
This package holds the program, its desktop launcher, icons and the
image/x-tvq MIME type.")

set(CPACK_DEBIAN_CONVERTER_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_CONVERTER_DESCRIPTION
"command-line converter between TVQ images and BMP or PNG
zod-tvq converts TVQ images to 24-bit BMP or PNG files at a chosen colour
amplification, encodes PNG, JPEG and other pictures as TVQ images, and
reports what a TVQ file holds, from scripts or a terminal. Outputs are
written atomically, and files that cannot be TVQ images are refused.")

# Both need the image/x-tvq type, which zod-edozuv installs, to know files by name.
set(CPACK_DEBIAN_PIXBUF_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PIXBUF_PACKAGE_RECOMMENDS zod-edozuv)
set(CPACK_DEBIAN_PIXBUF_DESCRIPTION
"gdk-pixbuf loader module for TVQ images
With this module, GTK programs, file managers and gdk-pixbuf-thumbnailer
open TVQ images, decoded as ZOD Edozuv draws them at its saved colour
amplification. Thumbnails are decoded straight to their size.")

set(CPACK_DEBIAN_QT_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_QT_PACKAGE_RECOMMENDS zod-edozuv)
set(CPACK_DEBIAN_QT_DESCRIPTION
"Qt 5 image format plugin for TVQ images
With this plugin, Qt and KDE programs that read pictures through
QImageReader open TVQ images, decoded as ZOD Edozuv draws them at its
saved colour amplification, and file previews decode straight to the
size asked for.")

# Not CPackConfig.cmake, from which CMake would make the `package` and `package_source`
# targets: `deb` is the one way in.
set(CPACK_OUTPUT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackDeb.cmake)
set(CPACK_SOURCE_OUTPUT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackDebSource.cmake)
include(CPack)

add_custom_target(deb
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${CPACK_OUTPUT_CONFIG_FILE}
          -B ${CMAKE_BINARY_DIR}/packaging/staging
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Making the Debian packages in ${CMAKE_BINARY_DIR}/packages"
  VERBATIM)
add_dependencies(deb ${zod_deb_targets})
