# Writes a gdk-pixbuf loaders cache holding the system's modules and one more.
#   QUERY_LOADERS     gdk-pixbuf-query-loaders
#   SYSTEM_MODULEDIR  the system's module folder
#   MODULE            the extra module
#   OUTPUT            the cache file
#   PRELOAD           optional: a sanitizer runtime that MODULE needs loaded first
file(GLOB system_modules ${SYSTEM_MODULEDIR}/*.so)
set(env)
if(PRELOAD)
  set(env ${CMAKE_COMMAND} -E env LD_PRELOAD=${PRELOAD} ASAN_OPTIONS=detect_leaks=0)
endif()
execute_process(COMMAND ${env} ${QUERY_LOADERS} ${system_modules} ${MODULE}
                OUTPUT_FILE ${OUTPUT}.new RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gdk-pixbuf-query-loaders failed: ${rc}")
endif()
# The tool skips a module it cannot load with no more than a warning.
file(READ ${OUTPUT}.new cache)
string(FIND "${cache}" "\"${MODULE}\"" found)
if(found EQUAL -1)
  message(FATAL_ERROR "gdk-pixbuf-query-loaders could not load ${MODULE}")
endif()
file(RENAME ${OUTPUT}.new ${OUTPUT})
