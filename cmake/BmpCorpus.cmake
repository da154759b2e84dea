# The BMP accept/refuse corpus, written at build time by the fuzz seed tool: our
# LoadImageA's tests and Windows' own read the same files, named by ZOD_BMP_CORPUS.
function(zod_use_bmp_corpus target)
  set(folder ${CMAKE_BINARY_DIR}/bmp_corpus)
  if(NOT TARGET zod_bmp_corpus)
    add_custom_command(OUTPUT ${folder}/bmp_expected.txt
      COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/make_fuzz_seeds.py --bmp ${folder}
      DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_fuzz_seeds.py)
    add_custom_target(zod_bmp_corpus DEPENDS ${folder}/bmp_expected.txt)
  endif()
  add_dependencies(${target} zod_bmp_corpus)
  target_compile_definitions(${target} PRIVATE ZOD_BMP_CORPUS="${folder}")
endfunction()
