x91_bench(quant SOURCES quant.cpp LAYERS quant dsp)
