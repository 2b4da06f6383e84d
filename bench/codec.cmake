x91_bench(codec SOURCES codec.cpp music_signal.cpp LAYERS graphs)
