// One file on any number of threads through the real command: files and
// pipes, intact and damaged, give what one thread gives, byte for byte and
// message for message.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

constexpr std::size_t kHeader = 62;

// An odd number of packets, enough for several runs of the default lengths
// and a last one cut short.
constexpr int kFrames = 41 * 14112 + 1234;

// Every thread count beside one: none given (every CPU), 2, 3, and 64, the
// most -j takes.
const std::vector<std::vector<std::string>> kThreadOptions = {
    {}, {"-j", "2"}, {"-j", "3"}, {"-j", "64"}};

std::vector<std::string> with(std::vector<std::string> options,
                              const std::vector<std::string>& args) {
    options.insert(options.end(), args.begin(), args.end());
    return options;
}

std::vector<Bytes> packets_of(const Bytes& x91) {
    std::vector<Bytes> packets;
    for (std::size_t at = kHeader; at + 4 <= x91.size();) {
        const std::size_t n = le32(x91, at);
        if (n == 0) break;
        packets.emplace_back(x91.begin() + static_cast<long>(at + 4),
                             x91.begin() + static_cast<long>(at + 4 + n));
        at += 4 + n;
    }
    return packets;
}

// The header of `x91`, then `packets`, then the end marker if `ended`.
Bytes x91_of(const Bytes& x91, const std::vector<Bytes>& packets, bool ended) {
    Bytes out(x91.begin(), x91.begin() + kHeader);
    for (const Bytes& p : packets) {
        put32(out, static_cast<std::uint32_t>(p.size()));
        out.insert(out.end(), p.begin(), p.end());
    }
    if (ended) put32(out, 0);
    return out;
}

class ThreadsTest : public testing::Test {
  protected:
    void SetUp() override {
        write_file(dir_.file("a.wav"), make_wav(music_like_signal(kFrames, 31)));
        ASSERT_EQ(run_x91(dir_.path(), {"-j", "1", "a.wav", "a.x91"}).status, 0);
        x91_ = read_file(dir_.file("a.x91"));
    }

    ScratchDir dir_;
    Bytes x91_;
};

TEST_F(ThreadsTest, FilesAndPipesGiveWhatOneThreadGives) {
    const Bytes wav = read_file(dir_.file("a.x91.wav"));
    ASSERT_EQ(run_piped(dir_.path(), {"-j", "1", "-"}, "a.x91", "p1.wav").status, 0);
    const Bytes piped_wav = read_file(dir_.file("p1.wav"));
    for (const auto& threads : kThreadOptions) {
        SCOPED_TRACE(threads.empty() ? "no -j" : "-j " + threads[1]);
        ASSERT_EQ(run_x91(dir_.path(), with(threads, {"-o", "b.x91", "a.wav"})).status, 0);
        EXPECT_EQ(read_file(dir_.file("b.x91")), x91_);
        ASSERT_EQ(run_x91(dir_.path(), with(threads, {"-o", "b.wav", "a.x91"})).status, 0);
        EXPECT_EQ(read_file(dir_.file("b.wav")), wav);
        ASSERT_EQ(run_piped(dir_.path(), with(threads, {"-"}), "a.wav", "p.x91").status, 0);
        EXPECT_EQ(read_file(dir_.file("p.x91")), x91_);
        ASSERT_EQ(run_piped(dir_.path(), with(threads, {"-"}), "a.x91", "p.wav").status, 0);
        EXPECT_EQ(read_file(dir_.file("p.wav")), piped_wav);
    }
}

TEST_F(ThreadsTest, DamageIsWeighedInStreamOrderAsOnOneThread) {
    std::vector<Bytes> packets = packets_of(x91_);
    ASSERT_GT(packets.size(), 40u);
    // Cut short, so that decoding runs past its end.
    const auto cut = [](Bytes p) { return Bytes(p.begin(), p.begin() + p.size() / 2); };
    std::vector<Bytes> lone = packets, in_a_row = packets;
    lone[20] = cut(lone[20]);
    lone[21].push_back(0);  // a byte nobody reads
    for (std::size_t k = 5; k < 17; ++k) in_a_row[k] = cut(in_a_row[k]);
    const struct {
        const char* name;
        Bytes file;
    } damaged[] = {
        // One damaged packet, then the walk's own damage at the end.
        {"lone.x91", x91_of(x91_, lone, false)},
        // Decoding stops at the eighth in a row, before the walk's damage.
        {"row.x91", x91_of(x91_, in_a_row, false)},
    };
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.name);
        write_file(dir_.file(d.name), d.file);
        const RunResult decoded = run_x91(dir_.path(), {"-j", "1", "-o", "one.wav", d.name});
        ASSERT_EQ(decoded.status, 1);
        const Bytes audio = read_file(dir_.file("one.wav"));
        const RunResult checked = run_x91(dir_.path(), {"-j", "1", "-t", d.name});
        ASSERT_EQ(checked.status, 1);
        for (const auto& threads : kThreadOptions) {
            SCOPED_TRACE(threads.empty() ? "no -j" : "-j " + threads[1]);
            const RunResult r = run_x91(dir_.path(), with(threads, {"-o", "n.wav", d.name}));
            EXPECT_EQ(r.status, decoded.status);
            EXPECT_EQ(r.err, decoded.err);
            EXPECT_EQ(read_file(dir_.file("n.wav")), audio);
            const RunResult t = run_x91(dir_.path(), with(threads, {"-t", d.name}));
            EXPECT_EQ(t.out, checked.out);
        }
    }
}

}  // namespace
