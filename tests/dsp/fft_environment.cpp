// Builds the transform tables once for the whole test run.
#include <gtest/gtest.h>

#include "dsp/fft.h"

namespace x91 {

namespace {

class FftEnvironment final : public testing::Environment {
  public:
    void SetUp() override { da_fft_init(); }
    void TearDown() override { da_fft_finit(); }
};

testing::Environment* const fft_environment = testing::AddGlobalTestEnvironment(new FftEnvironment);

}  // namespace

}  // namespace x91
