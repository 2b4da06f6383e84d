// Builds the transform tables once for a whole test program.
#pragma once

#include <gtest/gtest.h>

#include "dsp/fft.h"

namespace x91 {

class FftTablesEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { da_fft_init(); }
    void TearDown() override { da_fft_finit(); }
};

// Registers the environment at static initialisation, before main runs the tests.
inline ::testing::Environment* const fft_tables_environment =
    ::testing::AddGlobalTestEnvironment(new FftTablesEnvironment);

}  // namespace x91
