// Writes the fuzzers' seed corpora from the codec's own output: a few short
// generated signals are written as WAV files, encoded by the conversion
// driver, and the x91 files are split into packets and packet fields.
//
// usage: x91-fuzz-seeds OUTPUT_DIR
// Creates OUTPUT_DIR/{x91_decode,wave_reader,packet_readers}/.
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "coding/matrix_codes.h"
#include "command/conversions.h"
#include "dsp/fft.h"
#include "format/checked_settings.h"
#include "format/settings.h"
#include "format/settings_io.h"
#include "framework/bit_stream.h"
#include "graphs/packet_layout.h"
#include "storage/wave_writer.h"

using namespace x91;
using namespace x91::cli;

namespace {

using Bytes = std::vector<unsigned char>;

void put_le(Bytes& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

std::uint32_t get_le32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

bool save(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

Bytes load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Interleaved 16-bit stereo of one of a few characters.
std::vector<std::int16_t> signal(int kind, int frames) {
    std::vector<std::int16_t> pcm;
    std::mt19937 noise(91 + kind);
    std::normal_distribution<double> gauss(0.0, 0.2);
    for (int n = 0; n < frames; ++n) {
        const double t = n / 44100.0;
        double l = 0.0;
        double r = 0.0;
        switch (kind) {
            case 0:  // silence
                break;
            case 1:  // a tone panned hard left, another right
                l = 0.5 * std::sin(6.283185307179586 * 440.0 * t);
                r = 0.3 * std::sin(6.283185307179586 * 3000.0 * t);
                break;
            case 2:  // noise
                l = gauss(noise);
                r = gauss(noise);
                break;
            default:  // clicks
                l = r = (n % 2000 < 5) ? 0.9 : 0.0;
                break;
        }
        for (double v : {l, r})
            pcm.push_back(static_cast<std::int16_t>(
                std::lround(std::fmax(-1.0, std::fmin(1.0, v)) * 32767.0)));
    }
    return pcm;
}

Bytes canonical_wav(const std::vector<std::int16_t>& pcm) {
    Bytes b;
    const std::uint32_t data = static_cast<std::uint32_t>(pcm.size() * 2);
    for (char c : std::string("RIFF")) b.push_back(static_cast<unsigned char>(c));
    put_le(b, 36 + data, 4);
    for (char c : std::string("WAVEfmt ")) b.push_back(static_cast<unsigned char>(c));
    put_le(b, 16, 4);
    put_le(b, 1, 2);
    put_le(b, 2, 2);
    put_le(b, 44100, 4);
    put_le(b, 176400, 4);
    put_le(b, 4, 2);
    put_le(b, 16, 2);
    for (char c : std::string("data")) b.push_back(static_cast<unsigned char>(c));
    put_le(b, data, 4);
    for (std::int16_t s : pcm) put_le(b, static_cast<std::uint16_t>(s), 2);
    return b;
}

// The bits of `packet` from bit `from` on, packed from bit 0 of a new buffer.
Bytes bits_from(const Bytes& packet, int from) {
    Bytes out((packet.size() * 8 - static_cast<std::size_t>(from) + 7) / 8, 0);
    for (int p = from; p < static_cast<int>(packet.size()) * 8; ++p)
        set_bit(out.data(), p - from, get_bit(packet.data(), p) != 0);
    return out;
}

Bytes with_mode(unsigned char mode, const Bytes& body) {
    Bytes b{mode};
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: x91-fuzz-seeds OUTPUT_DIR\n");
        return 2;
    }
    const std::string root = argv[1];
    const std::string decode_dir = root + "/x91_decode";
    const std::string wave_dir = root + "/wave_reader";
    const std::string packet_dir = root + "/packet_readers";
    for (const std::string& d : {root, decode_dir, wave_dir, packet_dir}) mkdir(d.c_str(), 0777);

    da_fft_init();
    const PacketLayout layout(check_settings({da_CodeFeatures{}, ds, is}).settings.value());
    const Console quiet{nullptr, &std::cerr};
    int packet_seeds = 0;
    // 14 blocks fill one packet, 30 fill two.
    const int lengths[] = {14 * 882, 30 * 882};
    for (int kind = 0; kind < 4; ++kind) {
        for (int frames : lengths) {
            const std::string name =
                root + "/seed" + std::to_string(kind) + "_" + std::to_string(frames);
            if (!save(name + ".wav", canonical_wav(signal(kind, frames)))) return 1;
            if (!WaveToXFile(name + ".wav", name + ".x91", es, is, ds, da_CodeFeatures{}, quiet))
                return 1;
            const Bytes x91 = load(name + ".x91");
            std::remove((name + ".wav").c_str());
            std::remove((name + ".x91").c_str());
            const std::string tag = std::to_string(kind) + "_" + std::to_string(frames);
            if (!save(decode_dir + "/enc" + tag, x91)) return 1;

            // Each packet whole, and its fields one by one from their own start.
            std::size_t at = X91_HEADER_BYTES;
            for (int p = 0; at + 4 <= x91.size(); ++p) {
                const std::uint32_t n = get_le32(x91, at);
                at += 4;
                if (n == 0 || at + n > x91.size()) break;
                const Bytes packet(x91.begin() + static_cast<long>(at),
                                   x91.begin() + static_cast<long>(at + n));
                at += n;
                const std::string base = packet_dir + "/p" + tag + "_" + std::to_string(p);
                save(base + "_whole", with_mode(0, packet));
                Bytes copy = packet;
                da_BinRWBase view(copy.data(), static_cast<int>(copy.size()), false);
                da_BinReader r(view);
                for (int m = 0; m < 3; ++m) {
                    save(base + "_matrix" + std::to_string(m + 1),
                         with_mode(static_cast<unsigned char>(m + 1),
                                   bits_from(packet, r.possition())));
                    const da_ArraySetup& shape = layout.matrices[m];
                    znmatrix_read2(r, layout.group.frames, shape.cols, shape.modulus);
                }
                save(base + "_spectrum", with_mode(4, bits_from(packet, r.possition())));
                packet_seeds += 5;
            }
        }
    }
    da_fft_finit();

    // Small WAV files: the plain layout, an extensible one, one with an odd
    // chunk before the data, and one that stops inside its data.
    const auto pcm = signal(1, 64);
    const Bytes plain = canonical_wav(pcm);
    save(wave_dir + "/plain", plain);
    Bytes extensible;
    for (char c : std::string("RIFF")) extensible.push_back(static_cast<unsigned char>(c));
    put_le(extensible, 0, 4);
    for (char c : std::string("WAVEfmt ")) extensible.push_back(static_cast<unsigned char>(c));
    put_le(extensible, 40, 4);
    put_le(extensible, 0xFFFE, 2);
    put_le(extensible, 2, 2);
    put_le(extensible, 44100, 4);
    put_le(extensible, 176400, 4);
    put_le(extensible, 4, 2);
    put_le(extensible, 16, 2);
    put_le(extensible, 22, 2);
    put_le(extensible, 16, 2);
    put_le(extensible, 3, 4);
    const unsigned char guid[16] = {1,    0, 0, 0,    0, 0,    0x10, 0,
                                    0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    extensible.insert(extensible.end(), guid, guid + 16);
    for (char c : std::string("data")) extensible.push_back(static_cast<unsigned char>(c));
    put_le(extensible, 0xFFFFFFFF, 4);
    extensible.insert(extensible.end(), plain.begin() + 44, plain.end());
    save(wave_dir + "/extensible", extensible);
    Bytes listed(plain.begin(), plain.begin() + 36);
    for (char c : std::string("LIST")) listed.push_back(static_cast<unsigned char>(c));
    put_le(listed, 5, 4);
    for (char c : std::string("INFOx")) listed.push_back(static_cast<unsigned char>(c));
    listed.push_back(0);
    listed.insert(listed.end(), plain.begin() + 36, plain.end());
    save(wave_dir + "/odd_chunk", listed);
    save(wave_dir + "/cut_short", Bytes(plain.begin(), plain.begin() + 101));

    std::printf("seeds in %s: 8 x91 files, %d packet fields, 4 WAV files\n", root.c_str(),
                packet_seeds);
    return 0;
}
