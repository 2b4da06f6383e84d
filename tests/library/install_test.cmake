# Installs the build into a scratch prefix, checks that the installed library
# keeps every symbol of ours in namespace x91, then configures, builds and
# runs the examples against it the way another project would:
# find_package(x91), and pkg-config when it is there.
# Expects BUILD_DIR, SOURCE_DIR, WORK_DIR, CXX, NM, and optionally CXX_FLAGS
# and LINKER_FLAGS (a sanitizer build needs its runtime in the example too).
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
foreach(installed bin/x91 include/x91/x91.h share/man/man1/x91.1)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()
file(GLOB_RECURSE pc_files ${prefix}/*/x91.pc)
file(GLOB_RECURSE config_files ${prefix}/*/x91Config.cmake)
if(NOT pc_files OR NOT config_files)
  message(FATAL_ERROR "x91.pc or x91Config.cmake not installed")
endif()

# The library holds the codec alone, all of it inside namespace x91.
file(GLOB_RECURSE archives ${prefix}/*/libx91codec.a)
if(NOT archives)
  message(FATAL_ERROR "libx91codec.a not installed")
endif()
list(GET archives 0 archive)
run(${CMAKE_COMMAND} -DNM=${NM} -DARCHIVE=${archive}
    -P ${CMAKE_CURRENT_LIST_DIR}/library_symbols.cmake)
string(REGEX REPLACE "^-- |\n$" "" symbols_verdict "${last_output}")
message(STATUS "${symbols_verdict}")

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples -B ${WORK_DIR}/build -G Ninja
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/encode_tone ${WORK_DIR}/tone.x91)
message(STATUS "${last_output}")
# What the library wrote, the installed command reads back as intact.
run(${prefix}/bin/x91 -t ${WORK_DIR}/tone.x91)

find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  list(GET pc_files 0 pc_file)
  get_filename_component(pc_dir ${pc_file} DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  run(${PKG_CONFIG} --cflags --libs x91)
  separate_arguments(pc_flags UNIX_COMMAND "${last_output}")
  separate_arguments(extra_flags UNIX_COMMAND "${CXX_FLAGS} ${LINKER_FLAGS}")
  run(${CXX} -std=c++17 ${extra_flags} ${SOURCE_DIR}/examples/encode_tone.cpp ${pc_flags}
      -o ${WORK_DIR}/encode_tone_pc)
  run(${WORK_DIR}/encode_tone_pc)
endif()
