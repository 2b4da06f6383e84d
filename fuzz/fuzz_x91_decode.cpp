// Decodes arbitrary bytes through the stream layer twice: read at will, as a
// file, and pushed in pieces whose sizes come from the bytes themselves, as
// a stream read in one pass. Whatever the bytes, both must end, stay in
// bounds and give the same audio and the same outcomes, and a file read at
// will must deliver exactly the length it announced.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "stream/stream_decoder.h"

namespace {

// Every packet yields its frames whatever it holds, so a file of tiny
// packets at 256 frames each decodes for minutes; beyond a few packets'
// worth nothing new is reached, and longer inputs are only scanned.
constexpr std::uint64_t kMaxFrames = 3 * 16 * 882;

void check(bool condition) {
    if (!condition) std::abort();
}

class Memory final : public x91::ByteSource {
  public:
    Memory(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::int64_t read(std::uint8_t* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, size_ - at_);
        if (n > 0) std::memcpy(buffer, data_ + at_, n);
        at_ += n;
        return static_cast<std::int64_t>(n);
    }
    std::optional<std::uint64_t> size() override { return size_; }
    bool seek(std::uint64_t offset) override {
        if (offset > size_) return false;
        at_ = static_cast<std::size_t>(offset);
        return true;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

struct Decoded {
    std::vector<std::int16_t> pcm;
    std::vector<std::string> outcomes;
};

// Reads whatever is ready; false when the decoder needs more bytes.
bool read_ready(x91::StreamDecoder& decoder, Decoded& out) {
    std::int16_t pcm[2 * 4000];
    for (;;) {
        std::size_t frames = 0;
        const x91::Result outcome = decoder.read(pcm, 4000, frames);
        if (!outcome) out.outcomes.push_back(outcome.message);
        out.pcm.insert(out.pcm.end(), pcm, pcm + 2 * frames);
        check(out.pcm.size() <= 2 * kMaxFrames + 2 * 4000);
        if (decoder.ended()) return true;
        if (frames == 0 && outcome) return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Memory file(data, size);
    x91::StreamDecoder at_will;
    const x91::Result opened = at_will.open(file);
    if (!opened) return 0;
    const std::uint64_t length = at_will.length();
    if (length > kMaxFrames) return 0;
    Decoded whole;
    check(read_ready(at_will, whole));
    check(whole.pcm.size() <= 2 * length);

    x91::StreamDecoder pushed;
    Decoded pieces;
    bool ended = false;
    for (std::size_t at = 0; !ended;) {
        const std::size_t n = std::min<std::size_t>(1 + data[at % size] % 97, size - at);
        const x91::Result fed = pushed.feed(data + at, n);
        at += n;
        check(fed.ok());
        if (at == size) check(pushed.end_input().ok());
        if (pushed.settings()) ended = read_ready(pushed, pieces);
        check(at < size || ended);
    }
    check(pieces.pcm == whole.pcm && pieces.outcomes == whole.outcomes);
    check(pushed.extension().status == at_will.extension().status);
    return 0;
}
