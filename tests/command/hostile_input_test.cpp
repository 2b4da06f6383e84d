// The x91 command on damaged and hostile files: cut at every offset, bits
// flipped, header values at their extremes, chunk sizes that lie. Every case
// must end in bounded time and memory, say what is wrong in one line naming
// the file, exit with status 1 rather than a signal, and leave no temporary
// file behind.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/test_seed.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

constexpr int kBlock = 882;
constexpr std::size_t kHeader = 62;
constexpr std::size_t kWavHeader = 44;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// A hung or runaway process is killed (status 137) rather than left to stall
// the suite. The address space limit stands for a machine with little memory;
// AddressSanitizer reserves terabytes of shadow space, so it runs without.
std::string limits(int seconds) {
    std::string prefix;
    if (!kAddressSanitizer) prefix += "ulimit -v 300000; ";
    return prefix + "timeout -s KILL " + std::to_string(seconds) + " ";
}

std::string numbered(const char* stem, std::size_t k, const char* suffix) {
    std::ostringstream name;
    name << stem << k << suffix;
    return name.str();
}

// The lines of stderr grouped by the file they name ("x91: NAME: ...").
std::map<std::string, std::vector<std::string>> lines_by_file(const std::string& err) {
    std::map<std::string, std::vector<std::string>> by_file;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
        std::string name = "(no file named)";
        if (line.rfind("x91: ", 0) == 0) {
            const auto colon = line.find(": ", 5);
            if (colon != std::string::npos) name = line.substr(5, colon - 5);
        }
        by_file[name].push_back(line);
    }
    return by_file;
}

// Temporary outputs are hidden files beside the target; none may survive.
void expect_no_temporaries(const std::string& dir) {
    for (const std::string& name : list_dir(dir))
        EXPECT_NE(name[0], '.') << "left behind: " << name;
}

Bytes encode(const Pcm& pcm) {
    ScratchDir dir;
    write_file(dir.file("s.wav"), make_wav(pcm));
    // The layout every decoder reads; the extension block has tests of its own.
    const RunResult r = run_x91(dir.path(), {"--plain", "s.wav"});
    EXPECT_EQ(r.status, 0) << r.err;
    return read_file(dir.file("s.x91"));
}

// One packet of a quiet tone and noise: small, but every field of a packet
// carries something.
const Bytes& one_packet_file() {
    static const Bytes file = [] {
        Pcm pcm = tone_signal(14 * kBlock, 1000.0, 0.05);
        const Pcm hiss = noise_signal(14 * kBlock, 0.002, 3);
        for (std::size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = static_cast<std::int16_t>(pcm[i] + hiss[i]);
        return encode(pcm);
    }();
    return file;
}

const Bytes& two_packet_file() {
    static const Bytes file = encode(music_like_signal(30 * kBlock, 11));
    return file;
}

std::uint32_t first_packet_bytes(const Bytes& x91) {
    return le32(x91, kHeader);
}

// Decodes every file in one run of the command (one process per file would
// make the sweeps slow) and checks that each file either converted silently
// or has exactly one line naming it. Returns the lines per file.
std::map<std::string, std::vector<std::string>> decode_all(const ScratchDir& dir,
                                                           const std::vector<std::string>& names,
                                                           int seconds) {
    const RunResult r = run_x91(dir.path(), names, limits(seconds));
    EXPECT_LT(r.status, 128) << "killed by a signal; stderr:\n" << r.err.substr(0, 2000);
    auto by_file = lines_by_file(r.err);
    EXPECT_EQ(by_file.count("(no file named)"), 0u) << r.err.substr(0, 2000);
    bool any_failed = false;
    for (const std::string& name : names) {
        const auto it = by_file.find(name);
        if (it == by_file.end()) continue;
        any_failed = true;
        EXPECT_EQ(it->second.size(), 1u) << name << ":\n" << it->second.front();
    }
    EXPECT_EQ(r.status, any_failed ? 1 : 0);
    expect_no_temporaries(dir.path());
    return by_file;
}

std::size_t wav_data_bytes(const std::string& path) {
    const Bytes wav = read_file(path);
    return wav.size() < kWavHeader ? 0 : wav.size() - kWavHeader;
}

TEST(HostileX91Test, CutAtEveryOffsetIsRefusedOrDecodedAsFarAsItGoes) {
    const Bytes& whole = one_packet_file();
    ASSERT_GT(whole.size(), kHeader + 8) << "the encode this starts from failed";
    const std::uint32_t packet = first_packet_bytes(whole);
    ASSERT_EQ(whole.size(), kHeader + 4 + packet + 4);
    ScratchDir dir;
    std::vector<std::string> names;
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        names.push_back(numbered("c", cut, ".x91"));
        write_file(dir.file(names.back()),
                   Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
    }
    auto by_file = decode_all(dir, names, 120);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const std::string& name = names[cut];
        SCOPED_TRACE(name);
        ASSERT_EQ(by_file[name].size(), 1u);
        const std::string& line = by_file[name].front();
        const std::string wav = dir.file(name + ".wav");
        if (cut < 3) {
            EXPECT_EQ(line, "x91: " + name + ": not an x91 file");
            EXPECT_FALSE(file_exists(wav));
        } else if (cut < kHeader) {
            EXPECT_EQ(line, "x91: " + name + ": x91 header cut short");
            EXPECT_FALSE(file_exists(wav));
        } else {
            // Past the header the file is damaged, not refused: what could
            // be decoded is kept.
            EXPECT_EQ(line.rfind("x91: " + name + ": warning: ", 0), 0u) << line;
            const bool packet_whole = cut >= kHeader + 4 + packet;
            EXPECT_EQ(wav_data_bytes(wav), packet_whole ? 15u * kBlock * 4 : 0u);
        }
    }
}

TEST(HostileX91Test, FlippedBitsNeverCrashAndKeepTheFraming) {
    const Bytes& whole = two_packet_file();
    ASSERT_GT(whole.size(), kHeader + 8) << "the encode this starts from failed";
    SeededRng rng(20240601);
    // Every bit of the header, and a sample of the packets' bits and counts.
    std::vector<std::size_t> bits;
    for (std::size_t b = 24; b < kHeader * 8; ++b) bits.push_back(b);
    std::uniform_int_distribution<std::size_t> anywhere(kHeader * 8, whole.size() * 8 - 1);
    for (int k = 0; k < 160; ++k) bits.push_back(anywhere(rng));

    ScratchDir dir;
    std::vector<std::string> names;
    for (std::size_t b : bits) {
        Bytes damaged = whole;
        damaged[b / 8] ^= static_cast<unsigned char>(1u << (b % 8));
        names.push_back(numbered("f", b, ".x91"));
        write_file(dir.file(names.back()), damaged);
    }
    auto by_file = decode_all(dir, names, 300);
    for (std::size_t i = 0; i < bits.size(); ++i) {
        const std::string& name = names[i];
        SCOPED_TRACE(name);
        const std::string wav = dir.file(name + ".wav");
        if (by_file.count(name) == 0) {
            // Decoded without complaint: whole blocks, as the framing says.
            ASSERT_TRUE(file_exists(wav));
            EXPECT_EQ(wav_data_bytes(wav) % (kBlock * 4), 0u);
        } else if (by_file[name].front().find(": x91 header damaged: ") != std::string::npos) {
            EXPECT_FALSE(file_exists(wav));
        } else if (file_exists(wav)) {
            EXPECT_EQ(wav_data_bytes(wav) % (kBlock * 4), 0u);
        }
    }
}

struct FieldValue {
    std::size_t offset;
    const char* field;  // as the refusal names it; empty when any value is accepted
    bool is_float;
    std::uint32_t bits;
};

TEST(HostileX91Test, HeaderFieldsAtTheirExtremesAreRefusedOrDecodedSafely) {
    const struct {
        std::size_t offset;
        const char* field;
    } ints[] = {
        {6, "line count"},        {10, "intensity band count"},   {14, "intensity step count"},
        {18, "level range"},      {22, "side-stereo band count"}, {26, "side-stereo level count"},
        {30, "frames per packet"}};
    const struct {
        std::size_t offset;
        const char* field;
    } reals[] = {{34, "masking level scale"},
                 {38, "downward base"},
                 {42, "upward base"},
                 {46, ""},
                 {50, ""},
                 {54, ""},
                 {58, "quantiser base"}};
    std::vector<FieldValue> cases;
    for (const auto& f : ints)
        for (std::uint32_t v : {0u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 1000000000u})
            cases.push_back({f.offset, f.field, false, v});
    for (const auto& f : reals)
        for (float v : {0.0f, -1.0f, std::nanf(""), INFINITY, -INFINITY, FLT_MAX, 1e-45f})
            cases.push_back({f.offset, f.field, true, std::bit_cast<std::uint32_t>(v)});

    const Bytes& whole = one_packet_file();

    ASSERT_GT(whole.size(), kHeader + 8) << "the encode this starts from failed";
    ScratchDir dir;
    std::vector<std::string> names;
    for (std::size_t k = 0; k < cases.size(); ++k) {
        Bytes damaged = whole;
        set_le32(damaged, cases[k].offset, cases[k].bits);
        names.push_back(numbered("h", k, ".x91"));
        write_file(dir.file(names.back()), damaged);
    }
    auto by_file = decode_all(dir, names, 120);
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const FieldValue& c = cases[k];
        const std::string& name = names[k];
        SCOPED_TRACE(name + " offset " + std::to_string(c.offset) + " bits " +
                     std::to_string(c.bits));
        const std::string wav = dir.file(name + ".wav");
        const std::string refusal = "x91: " + name + ": x91 header damaged: " + c.field + " ";
        if (by_file.count(name) && by_file[name].front().rfind(refusal, 0) == 0) {
            EXPECT_NE(std::string(c.field), "") << "a value nothing reads was refused";
            EXPECT_FALSE(file_exists(wav));
            continue;
        }
        // Accepted: only the huge but finite level scale, the smallest
        // positive values and the unread reserved fields may get this far.
        float value;
        std::memcpy(&value, &c.bits, sizeof value);
        const bool usable =
            std::string(c.field).empty() || (c.is_float && std::isfinite(value) && value > 0.0f &&
                                             (c.offset == 34 || (c.offset != 58 && value <= 1.0f)));
        EXPECT_TRUE(usable) << (by_file.count(name) ? by_file[name].front() : "decoded");
        ASSERT_TRUE(file_exists(wav));
        EXPECT_EQ(wav_data_bytes(wav), 15u * kBlock * 4);
    }
}

TEST(HostileX91Test, LargestHeaderSettingsStayWithinTimeAndMemory) {
    // The most lines and frames a header may ask for, over a packet far too
    // small for them: the decoder reads zeros past its end and says so.
    Bytes x91 = one_packet_file();
    ASSERT_GT(x91.size(), kHeader + 8) << "the encode this starts from failed";
    set_le32(x91, 6, 1764);
    set_le32(x91, 30, 256);
    ScratchDir dir;
    write_file(dir.file("big.x91"), x91);
    const RunResult r = run_x91(dir.path(), {"big.x91"}, limits(120));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err,
              "x91: big.x91: warning: packet 1 is damaged: its bits run past its end; kept the "
              "audio that could be rebuilt\n");
    EXPECT_EQ(wav_data_bytes(dir.file("big.x91.wav")), 255u * kBlock * 4);
    expect_no_temporaries(dir.path());
}

// A count of 2^31 - 1 must not become an allocation, and a negative one is
// damage, not a quiet end of the file.
TEST(HostileX91Test, WildPacketCountsAreDamageNotAnAllocation) {
    const struct {
        std::uint32_t count;
        const char* damage;
    } counts[] = {{0x7FFFFFFF, " claims 2147483647 bytes, more than the file holds"},
                  {0xFFFFFFF0, " has a negative byte count, -16"}};
    for (const auto& c : counts) {
        for (std::size_t packet : {0u, 1u}) {
            SCOPED_TRACE("packet " + std::to_string(packet + 1) + c.damage);
            Bytes x91 = two_packet_file();
            ASSERT_GT(x91.size(), kHeader + 8) << "the encode this starts from failed";
            const std::size_t at = packet == 0 ? kHeader : kHeader + 4 + first_packet_bytes(x91);
            set_le32(x91, at, c.count);
            ScratchDir dir;
            write_file(dir.file("n.x91"), x91);
            const RunResult r = run_x91(dir.path(), {"n.x91"}, limits(60));
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, "x91: n.x91: warning: packet " + std::to_string(packet + 1) +
                                 c.damage + "; kept the audio that could be rebuilt\n");
            EXPECT_EQ(wav_data_bytes(dir.file("n.x91.wav")), packet == 0 ? 0u : 15u * kBlock * 4);
            expect_no_temporaries(dir.path());
        }
    }
}

// --- WAV input ---------------------------------------------------------------

Bytes small_wav() {
    return make_wav(tone_signal(3 * kBlock, 440.0, 0.3));
}

// Encodes every file in one run; each must be refused with one line naming
// it, and refused files leave no output at all.
std::map<std::string, std::vector<std::string>> encode_all(const ScratchDir& dir,
                                                           const std::vector<std::string>& names) {
    const RunResult r = run_x91(dir.path(), names, limits(120));
    EXPECT_LT(r.status, 128) << r.err.substr(0, 2000);
    EXPECT_EQ(r.status, 1);
    auto by_file = lines_by_file(r.err);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(by_file[name].size(), 1u);
    }
    expect_no_temporaries(dir.path());
    return by_file;
}

TEST(HostileWavTest, CutAtEveryHeaderOffsetIsRefusedWithoutOutput) {
    const Bytes whole = small_wav();
    ScratchDir dir;
    std::vector<std::string> names;
    for (std::size_t cut = 0; cut <= kWavHeader; ++cut) {
        names.push_back(numbered("w", cut, ".wav"));
        write_file(dir.file(names.back()),
                   Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
    }
    auto by_file = encode_all(dir, names);
    for (std::size_t cut = 0; cut <= kWavHeader; ++cut) {
        const std::string& name = names[cut];
        SCOPED_TRACE(name);
        const std::string x91 = dir.file(name.substr(0, name.size() - 4) + ".x91");
        const std::string& line = by_file[name].front();
        if (cut < kWavHeader) {
            EXPECT_EQ(line, "x91: " + name + ": WAV header cut short");
            EXPECT_FALSE(file_exists(x91));
        } else {
            // The header is whole and its data is missing: an empty encode
            // with a warning.
            EXPECT_EQ(line, "x91: " + name +
                                ": warning: WAV data cut short; encoded the 0 sample "
                                "frames present");
            // The header, the end marker, and the extension block saying 0 frames.
            const Bytes file = read_file(x91);
            ASSERT_GT(file.size(), kHeader + 4);
            EXPECT_EQ(le32(file, kHeader), 0u);
            EXPECT_EQ(Bytes(file.begin() + kHeader + 4, file.begin() + kHeader + 8),
                      (Bytes{'X', '9', '1', 'E'}));
        }
    }
}

TEST(HostileWavTest, ChunkSizesBeyondTheFileAndMissingChunks) {
    const Bytes base = small_wav();
    struct Case {
        const char* name;
        Bytes content;
        std::string reason;
        bool output_kept;
    };
    std::vector<Case> cases;
    {
        Bytes b = base;
        set_le32(b, 16, 0xFFFFFFF0u);  // fmt chunk reaching far beyond the file
        cases.push_back({"fmt_huge.wav", b, "WAV header cut short", false});
    }
    {
        Bytes b = base;
        set_le32(b, 16, 0x7FFFFFFFu);
        cases.push_back({"fmt_2g.wav", b, "WAV header cut short", false});
    }
    {
        Bytes b = base;
        set_le32(b, 40, 0x7FFFFFF0u);  // data chunk longer than the file
        cases.push_back({"data_huge.wav", b,
                         "warning: WAV data cut short; encoded the 2646 sample frames present",
                         true});
    }
    {
        Bytes b = base;
        set_le32(b, 4, 0xFFFFFFFFu);  // RIFF size beyond the file, data chunk removed
        b.resize(36);
        cases.push_back({"no_data_riff_huge.wav", b, "WAV header cut short", false});
    }
    {
        Bytes b(base.begin(), base.begin() + 36);  // fmt whole, no data chunk
        set_le32(b, 4, 28);
        cases.push_back({"no_data.wav", b, "no data chunk", false});
    }
    {
        Bytes b(base.begin(), base.begin() + 12);  // RIFF header only
        set_le32(b, 4, 4);
        cases.push_back({"no_fmt.wav", b, "no fmt chunk", false});
    }
    {
        // A chunk before fmt claiming the whole 4 GiB.
        Bytes b(base.begin(), base.begin() + 12);
        b.insert(b.end(), {'L', 'I', 'S', 'T', 0xFF, 0xFF, 0xFF, 0xFF});
        b.insert(b.end(), base.begin() + 12, base.end());
        cases.push_back({"list_huge.wav", b, "WAV header cut short", false});
    }
    {
        // "data" before "fmt ": still a WAV file, read as written.
        Bytes b(base.begin(), base.begin() + 12);
        b.insert(b.end(), base.begin() + 36, base.end());
        b.insert(b.end(), base.begin() + 12, base.begin() + 36);
        cases.push_back({"data_first.wav", b, "", true});
    }
    ScratchDir dir;
    std::vector<std::string> names;
    for (const Case& c : cases) {
        names.push_back(c.name);
        write_file(dir.file(c.name), c.content);
    }
    const RunResult r = run_x91(dir.path(), names, limits(60));
    EXPECT_EQ(r.status, 1);
    auto by_file = lines_by_file(r.err);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string stem = std::string(c.name).substr(0, std::strlen(c.name) - 4);
        EXPECT_EQ(file_exists(dir.file(stem + ".x91")), c.output_kept);
        if (c.reason.empty()) {
            EXPECT_EQ(by_file.count(c.name), 0u);
            continue;
        }
        ASSERT_EQ(by_file[c.name].size(), 1u);
        EXPECT_EQ(by_file[c.name].front(), "x91: " + std::string(c.name) + ": " + c.reason);
    }
    expect_no_temporaries(dir.path());
}

}  // namespace
