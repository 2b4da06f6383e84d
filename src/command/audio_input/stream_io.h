// Standard input for libsndfile, through its virtual I/O: the bytes already
// taken from the stream (to see what it holds) come first, then the rest.
// libsndfile reads a header with a look ahead and a return; a pipe cannot
// go back, so what it delivered is kept, up to a limit, to be read again.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace x91::cli {

class StreamIo {
  public:
    StreamIo(std::FILE* stream, std::string start);

    // The callbacks, to pass to sf_open_virtual with this object.
    static SF_VIRTUAL_IO callbacks();

    // True when reading the stream failed (not merely ended).
    bool failed() const { return failed_; }
    // True when memory for the kept bytes ran out: the stream was then
    // treated as ended, since no exception may pass through libsndfile.
    bool out_of_memory() const { return out_of_memory_; }

    // The stream's first bytes, as far as they were read and kept.
    const std::string& first_bytes() const { return kept_; }
    // Once a read met the stream's end: the bytes it held in all.
    std::optional<std::uint64_t> length_at_end() const {
        return at_end_ ? std::optional<std::uint64_t>(taken_) : std::nullopt;
    }

  private:
    static sf_count_t length(void* self);
    static sf_count_t seek(sf_count_t offset, int whence, void* self);
    static sf_count_t read(void* data, sf_count_t count, void* self);
    static sf_count_t tell(void* self);

    sf_count_t read_at_position(char* data, sf_count_t count);
    // Takes up to count bytes from the stream (the start first), keeping
    // them while the kept bytes stay within kKeptBytes.
    sf_count_t take(char* data, sf_count_t count);

    // Bytes kept from the start of the stream: enough for any header
    // libsndfile goes back into, and for the audio of a short file, which
    // a WAV header parse reads past to find chunks behind it.
    static constexpr sf_count_t kKeptBytes = sf_count_t{16} << 20;

    std::FILE* stream_;
    std::string start_;
    std::size_t start_next_ = 0;
    std::string kept_;         // the stream's first bytes, up to kKeptBytes
    sf_count_t taken_ = 0;     // bytes taken from the stream so far
    sf_count_t position_ = 0;  // where libsndfile reads next
    bool failed_ = false;
    bool at_end_ = false;
    bool out_of_memory_ = false;
};

}  // namespace x91::cli
