// The library's C handles, owned the C++ way, and their outcomes as the
// command's Result.
#pragma once

#include <memory>
#include <string>

#include "x91/status.h"
#include "x91/x91.h"

namespace x91::cli {

struct EncoderDeleter {
    void operator()(x91_encoder* encoder) const { x91_encoder_destroy(encoder); }
};
struct DecoderDeleter {
    void operator()(x91_decoder* decoder) const { x91_decoder_destroy(decoder); }
};
struct ThreadsDeleter {
    void operator()(x91_threads* threads) const { x91_threads_destroy(threads); }
};
using EncoderHandle = std::unique_ptr<x91_encoder, EncoderDeleter>;
using DecoderHandle = std::unique_ptr<x91_decoder, DecoderDeleter>;
using ThreadsHandle = std::unique_ptr<x91_threads, ThreadsDeleter>;

// The library's status as the command's: the same outcome, with message
// as its text (or the status's own name when message is empty).
Result from_library(x91_status status, const std::string& message);

// A place of a shared pool, held for as long as the object lives.
class HeldPlace {
  public:
    explicit HeldPlace(x91_threads* threads) : threads_(threads) { x91_threads_hold(threads_); }
    ~HeldPlace() { x91_threads_release(threads_); }
    HeldPlace(const HeldPlace&) = delete;
    HeldPlace& operator=(const HeldPlace&) = delete;

  private:
    x91_threads* threads_;
};

}  // namespace x91::cli
