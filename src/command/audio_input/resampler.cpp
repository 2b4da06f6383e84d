#include "command/audio_input/resampler.h"

#include <soxr.h>

#include <string>

#include "command/cd_audio.h"

namespace x91::cli {

namespace {

constexpr unsigned kStereo = 2;

Result soxr_failure(soxr_error_t error) {
    return {Status::read_failed, std::string("resampling failed: ") + error};
}

}  // namespace

Resampler::Resampler(double input_rate) : ratio_(kSampleRate / input_rate) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    // One thread: the same input gives the same samples on every run.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    soxr_ = soxr_create(input_rate, kSampleRate, kStereo, &error, &io, &quality, &runtime);
    if (error != nullptr) status_ = soxr_failure(error);
}

Resampler::~Resampler() {
    if (soxr_ != nullptr) soxr_delete(soxr_);
}

Result Resampler::run(const double* input, std::size_t frames, std::vector<double>& out) {
    // Room for what the input becomes, plus what libsoxr still holds.
    const std::size_t room = static_cast<std::size_t>(static_cast<double>(frames) * ratio_) + 4096;
    std::size_t taken = 0;
    for (;;) {
        const std::size_t at = out.size();
        out.resize(at + kStereo * room);
        std::size_t in_done = 0;
        std::size_t out_done = 0;
        const double* from = input ? input + kStereo * taken : nullptr;
        const soxr_error_t error = soxr_process(soxr_, from, input ? frames - taken : 0, &in_done,
                                                out.data() + at, room, &out_done);
        out.resize(at + kStereo * out_done);
        if (error != nullptr) return soxr_failure(error);
        taken += in_done;
        // Input is taken whole when there is room; a full output asks for
        // another round, and so does a flush until nothing more comes.
        const bool more = input ? taken < frames || out_done == room : out_done > 0;
        if (!more) return {};
    }
}

Result Resampler::process(const double* input, std::size_t frames, std::vector<double>& out) {
    if (!status_) return status_;
    if (frames == 0) return {};
    return run(input, frames, out);
}

Result Resampler::flush(std::vector<double>& out) {
    if (!status_) return status_;
    return run(nullptr, 0, out);
}

}  // namespace x91::cli
