// Builds the transform tables once for a whole test program: linked into
// every test program whose code runs the transforms.
#include <gtest/gtest.h>

#include "dsp/fft.h"

namespace x91 {

namespace {

class FftTablesEnvironment final : public testing::Environment {
  public:
    void SetUp() override { da_fft_init(); }
    void TearDown() override { da_fft_finit(); }
};

// Registered at static initialisation, before main runs the tests.
testing::Environment* const fft_tables_environment =
    testing::AddGlobalTestEnvironment(new FftTablesEnvironment);

}  // namespace

}  // namespace x91
