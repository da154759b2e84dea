# Debian's documentation layout in a package's staging tree, after its component is
# installed there: /usr/share/doc/<package>/copyright and changelog.gz, and manual pages
# compressed. Set by the install rule: ZOD_DEB_PACKAGE, ZOD_DEB_VERSION, ZOD_DEB_DOC_DIR,
# ZOD_DEB_MAN_DIR, ZOD_DEB_MAINTAINER, ZOD_DEB_HOMEPAGE.

# gzip -9n: the smallest file, with no name or time stamp in its header.
function(zod_deb_gzip file)
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${file}: ${rc}")
  endif()
  file(CHMOD "${file}.gz" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  message(STATUS "Compressed: ${file}.gz")
endfunction()

file(MAKE_DIRECTORY "${ZOD_DEB_DOC_DIR}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/copyright.in" "${ZOD_DEB_DOC_DIR}/copyright" @ONLY)
file(CHMOD "${ZOD_DEB_DOC_DIR}/copyright" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# SOURCE_DATE_EPOCH, when set, fixes the date, so that a rebuild gives the same package.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${ZOD_DEB_DOC_DIR}/changelog"
  "${ZOD_DEB_PACKAGE} (${ZOD_DEB_VERSION}) stable; urgency=medium\n\n"
  "  * ZOD Edozuv ${ZOD_DEB_VERSION}.\n\n"
  " -- ${ZOD_DEB_MAINTAINER}  ${date}\n")
zod_deb_gzip("${ZOD_DEB_DOC_DIR}/changelog")

file(GLOB pages "${ZOD_DEB_MAN_DIR}/man*/*")
foreach(page IN LISTS pages)
  if(NOT page MATCHES "\\.gz$")
    zod_deb_gzip("${page}")
  endif()
endforeach()
