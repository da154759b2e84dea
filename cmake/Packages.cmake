# The Windows downloads, from the same files: zod-edozuv-<version>-setup.exe (NSIS, from
# installer/zod-edozuv.nsi) and the portable zod-edozuv-<version>-windows.zip.
#   cmake --build --preset windows --target installer portable-zip
# Included from the top-level CMakeLists.txt on Windows; the version is the project's.
# A 64-bit build makes a 64-bit twin of both, holding its 64-bit programs, for the tests
# on kernels that run no 32-bit code. What ships is the 32-bit build's.

# Only for working on the installer itself: package without the tools that are not built
# yet. The tests never set it, so a missing file fails them rather than going unnoticed.
option(ZOD_PACKAGE_INCOMPLETE "Package even without zod-tvq.exe or the thumbnail DLLs" OFF)

set(ZOD_PACKAGE_DIR ${CMAKE_BINARY_DIR}/packages)
set(ZOD_SETUP ${ZOD_PACKAGE_DIR}/zod-edozuv-${PROJECT_VERSION}-setup.exe)
set(ZOD_ZIP ${ZOD_PACKAGE_DIR}/zod-edozuv-${PROJECT_VERSION}-windows.zip)
file(GLOB ZOD_SAMPLES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/*.tvq)

# Windows' Notepad before 2018 shows a file with Unix line ends as one line.
configure_file(${CMAKE_SOURCE_DIR}/installer/README.txt.in ${ZOD_PACKAGE_DIR}/README.txt
               @ONLY NEWLINE_STYLE WIN32)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZOD_TWIN64 ON)
  set(ZOD_THUMBNAILS_X64 $<TARGET_FILE:zod-tvq-thumbnails>)
else()
  set(ZOD_TWIN64 OFF)
endif()

# The 64-bit thumbnail DLL comes from a 64-bit build of the same sources beside this one.
if(TARGET zod-tvq-thumbnails AND NOT ZOD_TWIN64)
  include(ExternalProject)
  set(ZOD_THUMBNAILS_X64 ${CMAKE_BINARY_DIR}/x64/zod-tvq-thumbnails.dll)
  ExternalProject_Add(zod_thumbnails_x64
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/x64
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchains/x86_64-w64-mingw32.cmake
      -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
      -DZOD_BUILD_TESTS=OFF
      -DZOD_WARNINGS_AS_ERRORS=${ZOD_WARNINGS_AS_ERRORS}
      -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER}
      -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target zod-tvq-thumbnails
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${ZOD_THUMBNAILS_X64}
    EXCLUDE_FROM_ALL ON
    STEP_TARGETS build)
endif()

set(ZOD_PACKAGE_MISSING "")
set(ZOD_PACKAGE_DEPENDS zod-edozuv)
set(ZOD_NSIS_OPTIONAL "")
if(TARGET zod-tvq)
  list(APPEND ZOD_PACKAGE_DEPENDS zod-tvq)
  string(APPEND ZOD_NSIS_OPTIONAL "!define CONVERTER \"$<TARGET_FILE:zod-tvq>\"\n")
else()
  list(APPEND ZOD_PACKAGE_MISSING zod-tvq.exe)
endif()
if(TARGET zod-tvq-thumbnails AND ZOD_TWIN64)
  list(APPEND ZOD_PACKAGE_DEPENDS zod-tvq-thumbnails)
  string(APPEND ZOD_NSIS_OPTIONAL "!define TWIN64\n"
         "!define THUMBNAILS_X64 \"${ZOD_THUMBNAILS_X64}\"\n")
elseif(TARGET zod-tvq-thumbnails)
  list(APPEND ZOD_PACKAGE_DEPENDS zod-tvq-thumbnails zod_thumbnails_x64)
  string(APPEND ZOD_NSIS_OPTIONAL
         "!define THUMBNAILS_X86 \"$<TARGET_FILE:zod-tvq-thumbnails>\"\n"
         "!define THUMBNAILS_X64 \"${ZOD_THUMBNAILS_X64}\"\n")
else()
  list(APPEND ZOD_PACKAGE_MISSING zod-tvq-thumbnails.dll)
endif()

# The samples one by one, so that the uninstaller removes exactly these.
set(ZOD_NSIS_SAMPLES "")
set(ZOD_NSIS_SAMPLES_REMOVE "")
foreach(sample IN LISTS ZOD_SAMPLES)
  get_filename_component(name ${sample} NAME)
  string(APPEND ZOD_NSIS_SAMPLES "  File \"${sample}\"\n")
  string(APPEND ZOD_NSIS_SAMPLES_REMOVE "  Delete \"$INSTDIR\\Samples\\${name}\"\n")
endforeach()

# A define given to makensis on its command line wins over these.
file(GENERATE OUTPUT ${ZOD_PACKAGE_DIR}/defines.nsh CONTENT
"!ifndef VERSION
!define VERSION \"${PROJECT_VERSION}\"
!endif
!ifndef OUTFILE
!define OUTFILE \"${ZOD_SETUP}\"
!endif
!ifndef README
!define README \"${ZOD_PACKAGE_DIR}/README.txt\"
!endif
!define VIEWER \"$<TARGET_FILE:zod-edozuv>\"
!define INTRO \"${CMAKE_SOURCE_DIR}/assets/intro.bmp\"
!define ICON \"${CMAKE_SOURCE_DIR}/resources/tvq_big.ico\"
${ZOD_NSIS_OPTIONAL}!macro InstallSamples
${ZOD_NSIS_SAMPLES}!macroend
!macro RemoveSamples
${ZOD_NSIS_SAMPLES_REMOVE}!macroend
")

if(ZOD_PACKAGE_MISSING AND NOT ZOD_PACKAGE_INCOMPLETE)
  # Configuring still works; building a package says what it lacks and fails.
  string(REPLACE ";" ", " missing "${ZOD_PACKAGE_MISSING}")
  foreach(target installer portable-zip)
    add_custom_target(${target}
      COMMAND ${CMAKE_COMMAND} -E echo "error: no ${missing} in this build: cannot make the ${target}"
      COMMAND ${CMAKE_COMMAND} -E false)
  endforeach()
  return()
endif()
if(ZOD_PACKAGE_MISSING)
  message(WARNING "Packages without ${ZOD_PACKAGE_MISSING} (ZOD_PACKAGE_INCOMPLETE)")
endif()

find_program(ZOD_MAKENSIS makensis REQUIRED)
set(ZOD_NSI ${CMAKE_SOURCE_DIR}/installer/zod-edozuv.nsi)
file(GLOB ZOD_NSH CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/installer/*.nsh)
add_custom_command(OUTPUT ${ZOD_SETUP}
  COMMAND ${ZOD_MAKENSIS} -V2 -DDEFINES=${ZOD_PACKAGE_DIR}/defines.nsh ${ZOD_NSI}
  DEPENDS ${ZOD_NSI} ${ZOD_NSH} ${ZOD_PACKAGE_DIR}/defines.nsh ${ZOD_PACKAGE_DIR}/README.txt
          ${ZOD_PACKAGE_DEPENDS} ${ZOD_SAMPLES} ${CMAKE_SOURCE_DIR}/assets/intro.bmp
  COMMENT "Making zod-edozuv-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
add_custom_target(installer DEPENDS ${ZOD_SETUP})

# The zip holds one folder, named as the zip, so that unpacking makes no mess.
set(stage ${ZOD_PACKAGE_DIR}/zip/zod-edozuv-${PROJECT_VERSION})
set(zip_files $<TARGET_FILE:zod-edozuv> ${CMAKE_SOURCE_DIR}/assets/intro.bmp
              ${ZOD_PACKAGE_DIR}/README.txt)
set(zip_copies "")
if(TARGET zod-tvq)
  list(APPEND zip_files $<TARGET_FILE:zod-tvq>)
endif()
if(TARGET zod-tvq-thumbnails AND NOT ZOD_TWIN64)
  # Both widths, named by width: a 32-bit Windows registers one, a 64-bit one the other.
  list(APPEND zip_copies
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:zod-tvq-thumbnails>
            ${stage}/zod-tvq-thumbnails-x86.dll)
endif()
if(TARGET zod-tvq-thumbnails)
  list(APPEND zip_copies
    COMMAND ${CMAKE_COMMAND} -E copy ${ZOD_THUMBNAILS_X64} ${stage}/zod-tvq-thumbnails-x64.dll)
endif()
add_custom_command(OUTPUT ${ZOD_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ZOD_PACKAGE_DIR}/zip ${ZOD_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/Samples
  COMMAND ${CMAKE_COMMAND} -E copy ${zip_files} ${stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${ZOD_SAMPLES} ${stage}/Samples
  ${zip_copies}
  COMMAND ${CMAKE_COMMAND} -E chdir ${ZOD_PACKAGE_DIR}/zip
          ${CMAKE_COMMAND} -E tar cf ${ZOD_ZIP} --format=zip zod-edozuv-${PROJECT_VERSION}
  DEPENDS ${ZOD_PACKAGE_DEPENDS} ${ZOD_PACKAGE_DIR}/README.txt ${ZOD_SAMPLES}
          ${CMAKE_SOURCE_DIR}/assets/intro.bmp
  COMMENT "Making zod-edozuv-${PROJECT_VERSION}-windows.zip"
  VERBATIM)
add_custom_target(portable-zip DEPENDS ${ZOD_ZIP})
