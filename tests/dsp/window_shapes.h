// Window shapes of the codec's toolbox that nothing in the codec builds, kept and checked here.
#pragma once

namespace x91 {

// Alternatives to the codec's window, each symmetric and power complementary.
// Each generator returns a new float[n]; the caller delete[]s it.
// sin((2i + 1)·π / (2n)), all in float.
float* sine_window_n(int n);
// sin((π/4)·(1 − cos((2i + 1)·π / n))).
float* cosinsine_window_n(int n);
// sin((π/2)·sin²((2i + 1)·π / (2n))).
float* vorbis_window_n(int n);
// sin((π/4)·(1 − cos³((2i + 1)·π / n))).
float* cos3insine_window_n(int n);

// Reshapes a window in place: the outer quarters become √2·w², and the inner
// quarters are recomputed from them. A symmetric window whose length is a
// multiple of 4 stays symmetric and power complementary.
void powering_window_n(float* w, int n);

}  // namespace x91
