// Opens a WAV file, finds its format and sample data, and streams the samples.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "storage/file_stream.h"
#include "wave/riff.h"
#include "wave/riff_info.h"

namespace x91 {

// Accepts CD audio only: 16-bit stereo PCM at 44100 Hz, in a plain "fmt "
// record or in the extensible one with the PCM subformat. Other chunks may
// stand before "fmt " and between "fmt " and "data"; they are skipped.
// Anything else is refused with a reason in problem(); a refused reader has
// an all-zero format(), no samples, and rawread() delivers only zeros.
//
// A reader on a stream that cannot seek (a pipe, also when it is opened by
// a name such as a FIFO's or /dev/stdin) works in one forward pass:
// chunks are skipped by reading, "data" must follow "fmt ", and a data size
// of 0xFFFFFFFF (what streaming writers put there) means "to the end of the
// stream", so the length is known only once the stream has ended.
class da_WaveReader final {
  public:
    explicit da_WaveReader(const char* name);
    // Reads from an open stream, forward only, whose first n bytes were
    // already taken from it (to see what it holds); they are read again
    // first. The stream is not closed by the reader.
    da_WaveReader(std::FILE* stream, const char* taken, int n);

    da_WaveReader(const da_WaveReader&) = delete;
    da_WaveReader& operator=(const da_WaveReader&) = delete;

    // FORMAT_CDDA for an accepted file, all zero otherwise.
    da_PcmWaveFormat format() const { return format_; }

    // Whole sample frames present in the data chunk; -1 while not known (a
    // stream whose data runs to its end).
    std::int64_t samples() const { return length_known_ ? data_bytes_ / 4 : -1; }

    // Whole sample frames delivered by rawread() so far.
    std::int64_t frames_read() const { return consumed_ / 4; }

    // Reads n bytes of sample data at the current position; what lies past
    // the end of the sample data is delivered as zero. Returns the number of
    // sample bytes delivered; reading only ever moves forward.
    int rawread(char* buf, int n);

    // Empty for an accepted file, otherwise the reason it was refused, e.g.
    // "not 16-bit stereo 44100 Hz PCM: 1 channel".
    const std::string& problem() const { return problem_; }

    // True when the data chunk claims more bytes than the file holds (or the
    // file shrank while being read): the audio ends early.
    bool cut_short() const { return cut_short_; }

    // True when a file delivered less than its size promised when it was
    // opened: it shrank, or a read failed. Never true for a stream, where an
    // early end is only cut_short().
    bool read_failed() const { return shrank_; }

    // True when the input is not a WAV file, or one whose format is not CD
    // audio (another rate, depth, channel count or encoding): a reader of
    // other formats may take it. A WAV file of CD audio whose chunks are
    // broken is not for another reader.
    bool other_format() const { return other_format_; }

    // For a stream refused for its format: every byte read from it, from its
    // first, to be handed to that other reader; null when the header was
    // larger than kMaxStreamStart.
    const std::string* stream_start() const {
        return stream_start_kept_ ? &stream_start_ : nullptr;
    }
    static constexpr std::size_t kMaxStreamStart = std::size_t{16} << 20;

    // The texts of the LIST/INFO chunks found: on a stream those before the
    // audio, in a file also those behind it. They are kept up to
    // kMaxInfoBytes in all (counting each text's record too), more than any
    // x91 file can store; info_left_out() tells that texts beyond were not.
    const std::vector<InfoText>& info() const { return info_; }
    // The texts, handed over: the reader keeps none of them.
    std::vector<InfoText> take_info() { return std::move(info_); }
    bool info_left_out() const { return info_left_out_; }
    static constexpr std::size_t kMaxInfoBytes = std::size_t{16} << 20;

  private:
    // LIST chunks larger than this hold more than texts; they are skipped.
    static constexpr std::uint32_t kMaxListBytes = 1u << 20;

    void parse();
    bool read_riff_head(std::int64_t& riff_end);
    bool walk_to_data(std::int64_t riff_end, ReadBlockInfo& data, bool& data_before_format);
    bool skip_rest_of(const ReadBlockInfo& chunk, std::int64_t body_read);
    void take_data(const ReadBlockInfo& data, std::int64_t file_size);
    bool refuse_cut_short();
    bool info_has_room();
    bool pad_byte_follows(const ReadBlockInfo& chunk);
    bool check_format(std::uint32_t fmt_size, std::int64_t& bytes_read);
    bool read_info(std::uint32_t size);
    void read_trailing_info(const ReadBlockInfo& data, std::int64_t file_size);
    void refuse(std::string reason);

    FileReader file_;
    da_PcmWaveFormat format_;
    std::int64_t data_bytes_ = 0;  // whole frames only, within the file
    std::int64_t consumed_ = 0;    // sample bytes delivered so far
    bool streaming_ = false;
    bool length_known_ = true;
    bool ended_ = false;
    bool cut_short_ = false;
    bool shrank_ = false;
    bool other_format_ = false;
    bool stream_start_kept_ = false;
    std::string stream_start_;
    std::vector<InfoText> info_;
    std::size_t info_bytes_ = 0;
    bool info_left_out_ = false;
    std::string problem_;
};

}  // namespace x91
