# Transform timings; with FFTW's single-precision library installed the run
# also times its 1764-point transform as a yardstick.
x91_bench(transforms SOURCES transforms.cpp LAYERS dsp)

find_path(FFTW3_INCLUDE_DIR fftw3.h)
find_library(FFTW3F_LIBRARY fftw3f)
if(FFTW3_INCLUDE_DIR AND FFTW3F_LIBRARY)
  target_compile_definitions(transforms PRIVATE X91_BENCH_WITH_FFTW=1)
  target_include_directories(transforms PRIVATE ${FFTW3_INCLUDE_DIR})
  target_link_libraries(transforms PRIVATE ${FFTW3F_LIBRARY})
else()
  # Nothing is missing for the build: only shown with --log-level=VERBOSE.
  message(VERBOSE "fftw3f not found: the transforms benchmark runs without its comparison")
endif()
