x91_bench(quant SOURCES quant.cpp)
