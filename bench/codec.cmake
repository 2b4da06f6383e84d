x91_bench(codec SOURCES codec.cpp LAYERS graphs)
