# The Linux build carries the resources inside the program: the menus and the names of the
# icon and cursor files as tables that tools/make_resource_tables.py makes from the resource
# script, and those files as bytes in a .cpp made from them. Both are made at build time,
# so an edit to any of them is picked up by the next build. This file is included by the top-level CMakeLists and is
# also the script that writes that .cpp (cmake -P, see the custom command below).

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: -DOUTPUT=<file.cpp> -DFILES=<path|path|...>
  string(REPLACE "|" ";" files "${FILES}")
  set(arrays "")
  set(entries "")
  set(index 0)
  foreach(path IN LISTS files)
    get_filename_component(name "${path}" NAME)
    file(READ "${path}" hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REPEAT "0x..," 16 row) # CMake's regular expressions have no {n}
    string(REGEX REPLACE "(${row})" "\\1\n    " bytes "${bytes}")
    # A trailing NUL keeps empty files legal C++ and lets text be read as a C string.
    string(APPEND arrays "// ${name}\nconst unsigned char kFile${index}[] = {\n    ${bytes}0x00};\n\n")
    string(APPEND entries "    {\"${name}\", kFile${index}, ${size}},\n")
    math(EXPR index "${index} + 1")
  endforeach()
  file(WRITE "${OUTPUT}" "// Made by cmake/EmbedResources.cmake at build time; not to be edited.
#include \"platform/linux/embedded.h\"

#include <strings.h>

namespace zod {
namespace {

${arrays}const EmbeddedFile kFiles[] = {
${entries}};

} // namespace

const EmbeddedFile* FindEmbeddedFile(const char* name) {
    if (!name)
        return nullptr;
    for (const EmbeddedFile& file : kFiles)
        if (strcasecmp(file.name, name) == 0)
            return &file;
    return nullptr;
}

} // namespace zod
")
  return()
endif()

set(ZOD_EMBEDDED_FILES
  ${CMAKE_SOURCE_DIR}/resources/tvq_big.ico
  ${CMAKE_SOURCE_DIR}/resources/tvq_cursor.cur
)
set(ZOD_EMBEDDED_SOURCE ${CMAKE_BINARY_DIR}/generated/embedded_resources.cpp)
list(JOIN ZOD_EMBEDDED_FILES "|" zod_embedded_arg)
add_custom_command(
  OUTPUT ${ZOD_EMBEDDED_SOURCE}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${ZOD_EMBEDDED_SOURCE} -DFILES=${zod_embedded_arg}
          -P ${CMAKE_CURRENT_LIST_FILE}
  DEPENDS ${ZOD_EMBEDDED_FILES} ${CMAKE_CURRENT_LIST_FILE}
  COMMENT "Embedding the icon and cursor"
  VERBATIM
)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(ZOD_RESOURCE_TABLES ${CMAKE_BINARY_DIR}/generated/resource_tables.cpp)
add_custom_command(
  OUTPUT ${ZOD_RESOURCE_TABLES}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/make_resource_tables.py
          ${CMAKE_SOURCE_DIR}/resources/zod-edozuv.rc ${ZOD_RESOURCE_TABLES}
          ${CMAKE_BINARY_DIR}/generated
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_resource_tables.py
          ${CMAKE_SOURCE_DIR}/resources/zod-edozuv.rc ${CMAKE_SOURCE_DIR}/resources/command_ids.h
          ${CMAKE_BINARY_DIR}/generated/zod_version.h
  COMMENT "Making the menu tables from the resource script"
  VERBATIM
)
add_library(zod_embedded_resources STATIC ${ZOD_EMBEDDED_SOURCE} ${ZOD_RESOURCE_TABLES})
target_include_directories(zod_embedded_resources PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(zod_embedded_resources PRIVATE zod_warnings)
