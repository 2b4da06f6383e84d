# Installs the build into a scratch prefix, checks what the installed
# libraries export, then builds and runs the C example against them the way
# another project would: find_package(x91) with the shared and the static
# library, and `cc -std=c99 ... $(pkg-config --cflags --libs x91)`.
# Expects BUILD_DIR, SOURCE_DIR, WORK_DIR, CC, CXX, NM, and optionally
# C_FLAGS and LINKER_FLAGS (a sanitizer build needs its runtime in the
# example too).
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed bin/x91 include/x91/x91.h share/man/man1/x91.1
    share/bash-completion/completions/x91)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()
if(EXISTS ${prefix}/include/x91/status.h)
  message(FATAL_ERROR "the library's internal status.h is installed")
endif()
file(GLOB_RECURSE pc_files ${prefix}/*/x91.pc)
file(GLOB_RECURSE config_files ${prefix}/*/x91Config.cmake)
file(GLOB_RECURSE archives ${prefix}/*/libx91.a)
file(GLOB_RECURSE sonames ${prefix}/*/libx91.so.0)
if(NOT pc_files OR NOT config_files OR NOT archives OR NOT sonames)
  message(FATAL_ERROR "x91.pc, x91Config.cmake, libx91.a or libx91.so.0 not installed")
endif()
list(GET archives 0 archive)
list(GET sonames 0 soname)
get_filename_component(libdir ${soname} DIRECTORY)

# The shared library exports the C interface and nothing else.
run(${NM} -D --defined-only ${soname})
string(REGEX MATCHALL "[^\n]+" exported "${last_output}")
set(foreign ${exported})
list(FILTER foreign EXCLUDE REGEX " T x91_[a-z0-9_]+$")
list(LENGTH exported count)
if(foreign OR count LESS 20)
  message(FATAL_ERROR "libx91.so exports ${count} symbols, beyond x91_*:\n${foreign}")
endif()
message(STATUS "libx91.so exports ${count} symbols, all x91_ functions")
# The static library keeps every symbol of ours in x91_ or namespace x91.
run(${CMAKE_COMMAND} -DNM=${NM} -DARCHIVE=${archive}
    -P ${CMAKE_CURRENT_LIST_DIR}/library_symbols.cmake)
string(REGEX REPLACE "^-- |\n$" "" symbols_verdict "${last_output}")
message(STATUS "${symbols_verdict}")

# The header compiles as C++ too.
file(WRITE ${WORK_DIR}/cxx_use.cpp "#include <x91/x91.h>\nint main() { return x91_probe(nullptr, 0) == X91_OK; }\n")
run(${CXX} -std=c++11 -Wall -Wextra -Werror -fsyntax-only -I${prefix}/include ${WORK_DIR}/cxx_use.cpp)

separate_arguments(extra_flags UNIX_COMMAND "${C_FLAGS} ${LINKER_FLAGS}")
foreach(kind shared static)
  string(TOUPPER ${kind} upper)
  set(static OFF)
  if(kind STREQUAL static)
    set(static ON)
  endif()
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples -B ${WORK_DIR}/build-${kind} -G Ninja
      -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${CC} -DCMAKE_BUILD_TYPE=Release
      -DX91_EXAMPLE_STATIC=${static}
      "-DCMAKE_C_FLAGS=${C_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/build-${kind})
  run(${WORK_DIR}/build-${kind}/encode_tone ${WORK_DIR}/tone-${kind}.x91)
  message(STATUS "${kind}: ${last_output}")
  # What the library wrote, the installed command reads back as intact.
  run(${prefix}/bin/x91 -t ${WORK_DIR}/tone-${kind}.x91)
endforeach()

find_program(PKG_CONFIG pkg-config)
if(NOT PKG_CONFIG)
  message(STATUS "pkg-config not found: the pkg-config build is skipped")
  return()
endif()
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(${PKG_CONFIG} --cflags --libs x91)
separate_arguments(pc_flags UNIX_COMMAND "${last_output}")
run(${CC} -std=c99 -pedantic -Wall -Wextra -Werror ${extra_flags}
    ${SOURCE_DIR}/examples/encode_tone.c ${pc_flags} -lm -o ${WORK_DIR}/encode_tone_pc)
set(ENV{LD_LIBRARY_PATH} ${libdir})
run(${WORK_DIR}/encode_tone_pc ${WORK_DIR}/tone-pc.x91)
run(${prefix}/bin/x91 -t ${WORK_DIR}/tone-pc.x91)
message(STATUS "pkg-config: ${last_output}")
