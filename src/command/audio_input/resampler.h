// Sample-rate conversion to 44100 Hz with libsoxr at its very high quality
// setting, on interleaved stereo doubles.
#pragma once

#include <cstddef>
#include <vector>

#include "x91/status.h"

struct soxr;

namespace x91::cli {

class Resampler {
  public:
    // status() tells whether libsoxr could be set up for the rate.
    explicit Resampler(double input_rate);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    const Result& status() const { return status_; }

    // Converts `frames` stereo frames and appends the frames ready to out.
    Result process(const double* input, std::size_t frames, std::vector<double>& out);
    // At the end of the input: appends every frame still held.
    Result flush(std::vector<double>& out);

  private:
    Result run(const double* input, std::size_t frames, std::vector<double>& out);

    soxr* soxr_ = nullptr;
    double ratio_;
    Result status_;
};

}  // namespace x91::cli
