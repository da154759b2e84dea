# Debian's documentation layout in a package's staging tree, once its component is
# installed there: /usr/share/doc/<package>/copyright and changelog.gz, and the manual
# pages compressed. Set by the install script (CMakeLists.txt here): ZOD_DEB_PACKAGES
# (component=package), ZOD_DEB_VERSION, ZOD_DEB_ROOT, ZOD_DEB_DATAROOTDIR, ZOD_DEB_MANDIR,
# ZOD_DEB_MAINTAINER, ZOD_DEB_HOMEPAGE; CMAKE_INSTALL_COMPONENT by cpack.
unset(package)
foreach(pair IN LISTS ZOD_DEB_PACKAGES)
  if(pair MATCHES "^${CMAKE_INSTALL_COMPONENT}=(.+)$")
    set(package ${CMAKE_MATCH_1})
  endif()
endforeach()
if(NOT package)
  message(FATAL_ERROR "No Debian package for the component '${CMAKE_INSTALL_COMPONENT}'")
endif()
set(doc_dir "${ZOD_DEB_ROOT}/${ZOD_DEB_DATAROOTDIR}/doc/${package}")

# gzip -9n: the smallest file, with no name or time stamp in its header.
function(zod_deb_gzip file)
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${file}: ${rc}")
  endif()
  file(CHMOD "${file}.gz" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  message(STATUS "Compressed: ${file}.gz")
endfunction()

file(MAKE_DIRECTORY "${doc_dir}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/copyright.in" "${doc_dir}/copyright" @ONLY)
file(CHMOD "${doc_dir}/copyright" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# SOURCE_DATE_EPOCH, when set, fixes the date, so that a rebuild gives the same package.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${doc_dir}/changelog"
  "${package} (${ZOD_DEB_VERSION}) stable; urgency=medium\n\n"
  "  * ZOD Edozuv ${ZOD_DEB_VERSION}.\n\n"
  " -- ${ZOD_DEB_MAINTAINER}  ${date}\n")
zod_deb_gzip("${doc_dir}/changelog")

file(GLOB pages "${ZOD_DEB_ROOT}/${ZOD_DEB_MANDIR}/man*/*")
foreach(page IN LISTS pages)
  if(NOT page MATCHES "\\.gz$")
    zod_deb_gzip("${page}")
  endif()
endforeach()
