# The browser's build, configured with emscripten's toolchain (web/CMakeLists.txt runs it):
# the codec's layers as WebAssembly, and the modules web/x91.js loads.
set(wasm_dir ${PROJECT_SOURCE_DIR}/web/wasm)

# Emscripten as Debian ships it has no zlib; the codec needs its CRC-32 only.
add_library(x91_wasm_zlib STATIC ${wasm_dir}/zlib/crc32.c)
target_include_directories(x91_wasm_zlib PUBLIC ${wasm_dir}/zlib)
add_library(ZLIB::ZLIB ALIAS x91_wasm_zlib)

# No threads: they would need shared memory, which a page only gets under
# cross-origin isolation. The codec runs on its caller's thread by default.
add_library(Threads::Threads INTERFACE IMPORTED)

# WebAssembly's 128-bit vectors: the compiler vectorises the codec's loops
# (a quarter faster) without changing a result, since it never reorders
# float sums and the vectors have no fused multiply-add.
add_compile_options(-msimd128
  "$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include ${wasm_dir}/compat/cxx20_library.h>")

add_subdirectory(src)
include(${wasm_dir}/glibc_math/glibc_math.cmake)

# The site: the page's plain files and the modules beside them, in web/ of
# the build, ready to be served as they are.
set(site ${CMAKE_BINARY_DIR}/web)
set(page_files index.html style.css page.js x91.js x91-player.js x91-worker.js x91-worklet.js)
foreach(file IN LISTS page_files)
  configure_file(${PROJECT_SOURCE_DIR}/web/${file} ${site}/${file} COPYONLY)
endforeach()

# The C interface's calls the modules use: x91-decoder.js (with its .wasm),
# the one a player loads, and x91-codec.js, which also encodes (a quarter
# larger).
set(decoder_calls
  malloc free x91_status_text x91_version x91_probe x91_thread_last_error
  x91_decoder_open_memory x91_decoder_open_push x91_decoder_feed x91_decoder_feed_end
  x91_decoder_ended x91_decoder_destroy x91_decoder_exact_length x91_decoder_extension_error
  x91_decoder_tag_count x91_decoder_tag x91_decoder_length x91_decoder_seek
  x91_decoder_position x91_decoder_read x91_decoder_last_error x91_web_read_planar)
set(encoder_calls
  x91_tag_check x91_encoder_create x91_encoder_destroy x91_encoder_set_quality
  x91_encoder_set_tuned x91_encoder_add_tag x91_encoder_push x91_encoder_finish
  x91_encoder_take_output x91_encoder_last_error)
# The pictures of the extension block, where the C interface has them: the
# page shows the front cover (x91.js asks whether the module has the calls).
file(STRINGS ${PROJECT_SOURCE_DIR}/include/x91/x91.h picture_calls
  REGEX "x91_decoder_picture_count")
if(picture_calls)
  list(APPEND decoder_calls x91_decoder_picture_count x91_decoder_picture)
  list(APPEND encoder_calls x91_encoder_add_picture)
endif()

# An ES module exporting a factory; no file system, no main, 64-bit integers
# as BigInt, memory that grows with the file, emscripten's small allocator.
# Exceptions are thrown only for a failed allocation, which reaches the
# caller as a JavaScript exception.
function(x91_wasm_module name)
  set(calls ${ARGN})
  list(TRANSFORM calls PREPEND "'_")
  list(TRANSFORM calls APPEND "'")
  list(JOIN calls "," calls)
  # glibc's sine and cosine as objects of the module, so that they, and not
  # the C library's, are the ones linked.
  add_executable(${name} ${wasm_dir}/planar_read.c $<TARGET_OBJECTS:x91_wasm_glibc_math>)
  target_link_libraries(${name} PRIVATE x91_api)
  set_target_properties(${name} PROPERTIES SUFFIX .js RUNTIME_OUTPUT_DIRECTORY ${site})
  target_link_options(${name} PRIVATE
    --no-entry -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createX91Wasm
    -sENVIRONMENT=web,worker -sFILESYSTEM=0 -sWASM_BIGINT=1 -sALLOW_MEMORY_GROWTH=1
    -sMALLOC=emmalloc -sINCOMING_MODULE_JS_API=[] -sDYNAMIC_EXECUTION=0 -sTEXTDECODER=2
    "-sEXPORTED_FUNCTIONS=[${calls}]")
endfunction()

x91_wasm_module(x91-decoder ${decoder_calls})
x91_wasm_module(x91-codec ${decoder_calls} ${encoder_calls})
