// Writes the fuzzers' seed corpora from the codec's own output: a few short
// generated signals are encoded through the library, the x91 files are split
// into packets and packet fields, a few small WAV files of the layouts the
// reader meets are added, and small files of the other formats the command
// reads are written with libsndfile.
//
// usage: x91-fuzz-seeds OUTPUT_DIR
// Creates OUTPUT_DIR/{x91_decode,wave_reader,packet_readers,sndfile_input}/.
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "coding/matrix_codes.h"
#include "format/checked_settings.h"
#include "format/settings.h"
#include "framework/bit_stream.h"
#include "graphs/packet_layout.h"
#include "stream/stream_writer.h"

using namespace x91;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put_le(Bytes& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A little-endian field of a record: its value and its width in bytes.
struct Field {
    std::uint32_t value;
    int bytes;
};

void put_fields(Bytes& b, std::initializer_list<Field> fields) {
    for (const Field& f : fields) put_le(b, f.value, f.bytes);
}

void put_id(Bytes& b, const char* id) {
    b.insert(b.end(), id, id + 4);
}

bool save(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
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

// An x91 file of pcm at the default settings, as the command writes it:
// with the extension block (exact length, a tag), or plain.
Bytes encode(const std::vector<std::int16_t>& pcm, bool block) {
    Bytes file;
    StreamWriter writer([&file](const std::uint8_t* data, std::size_t size) {
        file.insert(file.end(), data, data + size);
        return true;
    });
    if (!writer.set_extension_block(block) || !writer.add_tag({"TITLE", "seed"}) ||
        !writer.push(pcm.data(), pcm.size() / 2) || !writer.finish())
        return {};
    return file;
}

// The packets behind the header, walked by their counts to the end marker.
std::vector<Bytes> packets_of(const Bytes& file) {
    std::vector<Bytes> packets;
    for (std::size_t at = 62; at + 4 <= file.size();) {
        const std::uint32_t count = file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
                                    static_cast<std::uint32_t>(file[at + 3]) << 24;
        if (count == 0 || count > file.size() - at - 4) break;
        packets.emplace_back(file.begin() + static_cast<long>(at + 4),
                             file.begin() + static_cast<long>(at + 4 + count));
        at += 4 + count;
    }
    return packets;
}

// The CD audio format record (2 channels, 44100 Hz, 16 bits) with a tag.
Bytes cd_format(std::uint32_t tag) {
    Bytes f;
    put_fields(f, {{tag, 2}, {2, 2}, {44100, 4}, {176400, 4}, {4, 2}, {16, 2}});
    return f;
}

// "RIFF" "WAVE", the format chunk, then the data chunk holding samples; the
// two sizes as given, since streaming writers leave them unknown.
Bytes wav_file(const Bytes& format, const std::vector<std::int16_t>& samples,
               std::uint32_t riff_size, std::uint32_t data_size) {
    Bytes b;
    put_id(b, "RIFF");
    put_le(b, riff_size, 4);
    put_id(b, "WAVE");
    put_id(b, "fmt ");
    put_le(b, static_cast<std::uint32_t>(format.size()), 4);
    b.insert(b.end(), format.begin(), format.end());
    put_id(b, "data");
    put_le(b, data_size, 4);
    for (std::int16_t v : samples) put_le(b, static_cast<std::uint16_t>(v), 2);
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

// A short file of `format` (libsndfile's major | subtype) from stereo pcm,
// its first channel alone when mono, with a title where the format keeps one.
bool save_audio(const std::string& path, int format, int channels, int rate,
                const std::vector<std::int16_t>& stereo) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    static_cast<void>(sf_set_string(file, SF_STR_TITLE, "seed"));
    std::vector<short> samples;
    for (std::size_t i = 0; i < stereo.size(); i += 2) {
        samples.push_back(stereo[i]);
        if (channels == 2) samples.push_back(stereo[i + 1]);
    }
    const auto frames = static_cast<sf_count_t>(stereo.size() / 2);
    const bool written = sf_writef_short(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

// The audio inputs' seeds: each format the command hands libsndfile, at a
// few depths and rates, and one FLAC file cut short.
bool save_audio_seeds(const std::string& dir) {
    const struct {
        const char* name;
        int format;
        int channels;
        int rate;
    } seeds[] = {
        {"cd.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100},
        {"24_mono.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1, 48000},
        {"cd.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 44100},
        {"float.aifc", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 2, 22050},
        {"u8.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_U8, 2, 44100},
        {"32.rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_32, 2, 96000},
        {"24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 44100},
    };
    const std::vector<std::int16_t> pcm = signal(1, 300);
    for (const auto& seed : seeds)
        if (!save_audio(dir + "/" + seed.name, seed.format, seed.channels, seed.rate, pcm))
            return false;
    std::ifstream in(dir + "/cd.flac", std::ios::binary);
    const Bytes flac((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return save(dir + "/cut.flac", Bytes(flac.begin(), flac.begin() + flac.size() / 2));
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
    const std::string audio_dir = root + "/sndfile_input";
    for (const std::string& d : {root, decode_dir, wave_dir, packet_dir, audio_dir})
        mkdir(d.c_str(), 0777);

    std::optional<CheckedSettings> checked;
    if (!check_settings({da_CodeFeatures{}, ds, is}, checked).ok()) return 1;
    const PacketLayout layout(*checked);
    int packet_seeds = 0;
    // 14 blocks fill one packet, 30 fill two.
    const int lengths[] = {14 * 882, 30 * 882};
    for (int kind = 0; kind < 4; ++kind) {
        for (int frames : lengths) {
            const Bytes file = encode(signal(kind, frames), frames > lengths[0]);
            if (file.empty()) return 1;
            const std::string tag = std::to_string(kind) + "_" + std::to_string(frames);
            if (!save(decode_dir + "/enc" + tag, file)) return 1;

            // Each packet whole, and its fields one by one from their own start.
            int p = 0;
            for (const Bytes& packet : packets_of(file)) {
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
                ++p;
            }
        }
    }

    // Small WAV files: the plain layout, an extensible one as streaming tools
    // write it, one with an odd chunk before the data, and one that stops
    // inside its data.
    const auto pcm = signal(1, 64);
    const auto data_bytes = static_cast<std::uint32_t>(2 * pcm.size());
    const Bytes plain = wav_file(cd_format(1), pcm, 36 + data_bytes, data_bytes);
    save(wave_dir + "/plain", plain);
    Bytes extensible_format = cd_format(0xFFFE);
    // The extension's size, the valid bits, the channel mask (front left and
    // right).
    put_fields(extensible_format, {{22, 2}, {16, 2}, {3, 4}});
    // The subformat GUID of PCM.
    const std::uint8_t pcm_guid[16] = {1,    0, 0, 0,    0, 0,    0x10, 0,
                                       0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    extensible_format.insert(extensible_format.end(), pcm_guid, pcm_guid + 16);
    save(wave_dir + "/extensible", wav_file(extensible_format, pcm, 0, 0xFFFFFFFF));
    Bytes listed(plain.begin(), plain.begin() + 36);
    put_id(listed, "LIST");
    put_le(listed, 5, 4);
    for (char c : std::string("INFOx")) listed.push_back(static_cast<std::uint8_t>(c));
    listed.push_back(0);
    listed.insert(listed.end(), plain.begin() + 36, plain.end());
    save(wave_dir + "/odd_chunk", listed);
    save(wave_dir + "/cut_short", Bytes(plain.begin(), plain.begin() + 101));

    if (!save_audio_seeds(audio_dir)) return 1;

    std::printf("seeds in %s: 8 x91 files, %d packet fields, 4 WAV files, 8 audio files\n",
                root.c_str(), packet_seeds);
    return 0;
}
