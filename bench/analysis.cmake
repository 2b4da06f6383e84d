x91_bench(analysis SOURCES analysis.cpp LAYERS analysis dsp)
