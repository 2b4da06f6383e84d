# sinf, cosf and sincosf for the WebAssembly build, compiled from glibc's own
# sources (Debian's glibc-source package). The codec builds its transform
# tables with them, and the native build gets glibc's results: emscripten's C
# library rounds about one value in a hundred the other way, which changes
# decoded samples by one. Every other maths routine the codec calls gives
# the same results in both libraries.
file(GLOB glibc_tarballs /usr/src/glibc/glibc-*.tar.xz)
list(SORT glibc_tarballs)
list(POP_BACK glibc_tarballs glibc_tarball)
if(NOT glibc_tarball)
  message(FATAL_ERROR "The WebAssembly build needs glibc's sources: apt-get install glibc-source")
endif()
get_filename_component(glibc_name ${glibc_tarball} NAME)
string(REPLACE ".tar.xz" "" glibc_name ${glibc_name})
set(glibc_flt32 ${glibc_name}/sysdeps/ieee754/flt-32)
set(glibc_files s_sinf.c s_cosf.c s_sincosf.c s_sincosf_data.c s_sincosf.h sincosf_poly.h
  math_config.h)
set(glibc_root ${CMAKE_BINARY_DIR}/glibc)
list(TRANSFORM glibc_files PREPEND ${glibc_flt32}/ OUTPUT_VARIABLE glibc_members)
if(NOT EXISTS ${glibc_root}/${glibc_flt32}/s_sinf.c)
  file(MAKE_DIRECTORY ${glibc_root})
  # CMake's own tar reads xz: no xz-utils needed.
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${glibc_tarball} ${glibc_members}
    WORKING_DIRECTORY ${glibc_root} RESULT_VARIABLE untarred)
  if(NOT untarred EQUAL 0)
    message(FATAL_ERROR "Could not take the sine and cosine sources from ${glibc_tarball}")
  endif()
endif()

set(shims ${CMAKE_CURRENT_LIST_DIR})
add_library(x91_wasm_glibc_math OBJECT
  ${glibc_root}/${glibc_flt32}/s_sinf.c ${glibc_root}/${glibc_flt32}/s_cosf.c
  ${glibc_root}/${glibc_flt32}/s_sincosf.c ${glibc_root}/${glibc_flt32}/s_sincosf_data.c
  ${shims}/math_invalid.c)
target_include_directories(x91_wasm_glibc_math PRIVATE ${shims} ${glibc_root}/${glibc_flt32})
target_compile_definitions(x91_wasm_glibc_math PRIVATE SINF=sinf COSF=cosf SINCOSF=sincosf)
# glibc's sources, as its own build compiles them; their warnings are theirs.
target_compile_options(x91_wasm_glibc_math PRIVATE -include ${shims}/prelude.h -w)
