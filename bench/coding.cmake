x91_bench(coding SOURCES coding.cpp LAYERS graphs)
