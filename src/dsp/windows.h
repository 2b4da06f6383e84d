// Window shapes for the lapped transforms: symmetric, power-complementary
// (w[n]² + w[n + M/2]² = 1) windows of even length M.
#pragma once

namespace x91 {

// Each generator returns a new float[n]; the caller delete[]s it.
// sin((π/2)·(3t² − 2t³)) with t = (2i + 1)/n rising to the middle and
// mirrored after it. Defined for even n.
float* spline3insine_window_n(int n);
// The codec's window: spline3insine_window_n.
float* def_window_n(int n);

}  // namespace x91
