# Peak memory of the real command, on one and on two threads.
x91_bench(memory SOURCES memory.cpp music_signal.cpp LAYERS)
target_compile_definitions(memory PRIVATE X91_BINARY="$<TARGET_FILE:x91>")
add_dependencies(memory x91)
