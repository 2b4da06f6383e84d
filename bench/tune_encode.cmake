# Experiment tool for the tuned encoder's settings: any header setting or
# tuned choice overridden (bench/quality measures with the x91 command).
add_executable(tune_encode tune_encode.cpp)
target_link_libraries(tune_encode PRIVATE x91_stream x91_wave)
