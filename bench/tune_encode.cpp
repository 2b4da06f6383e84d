// Encodes a WAV file with either encoder mode, a quality or an average bit
// rate, and any header setting or tuned choice overridden, and prints the
// bit rate. The files it writes are ordinary x91 files.
//
//   tune_encode [--tuned] [-q PCT | -b KBPS] [--SETTING VALUE]... IN.wav OUT.x91
//
// -b searches the quality (of either mode) that gives that average rate; the
// overrides below then apply on top of the settings found.
// Settings: --lines, --intensity-bands, --intensity-steps, --level-range,
// --side-bands, --side-levels, --frames (integers); --masking-level,
// --masking-down, --masking-up, --quantizer-base (reals) override the header
// that -q (and --tuned) chose; --rate-weight, --high-band-db and --tonal-db
// the tuned choices.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "format/limits.h"
#include "library/bitrate_search.h"
#include "stream/stream_writer.h"
#include "wave/wave_reader.h"

namespace {

int usage(const std::string& why) {
    std::fprintf(stderr,
                 "tune_encode: %s\nusage: tune_encode [--tuned] [-q PCT | -b KBPS] "
                 "[--SETTING VALUE]... IN.wav OUT.x91\n",
                 why.c_str());
    return 1;
}

bool read_wave(const char* name, std::vector<std::int16_t>& pcm) {
    x91::da_WaveReader reader(name);
    if (!reader.problem().empty()) {
        std::fprintf(stderr, "tune_encode: %s: %s\n", name, reader.problem().c_str());
        return false;
    }
    std::vector<char> bytes(1 << 16);
    for (;;) {
        const int got = reader.rawread(bytes.data(), static_cast<int>(bytes.size()));
        for (int i = 0; i + 1 < got; i += 2)
            pcm.push_back(static_cast<std::int16_t>(static_cast<unsigned char>(bytes[i]) |
                                                    static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (got < static_cast<int>(bytes.size())) break;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool tuned = false;
    float quality = 100.0f;
    double kbps = 0.0;
    std::map<std::string, std::string> overrides;
    std::vector<const char*> files;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--tuned") {
            tuned = true;
        } else if (arg.rfind("-", 0) == 0 && arg.size() > 1) {
            if (a + 1 >= argc) return usage("missing value of " + arg);
            if (arg == "-q")
                quality = std::strtof(argv[++a], nullptr);
            else if (arg == "-b")
                kbps = std::strtod(argv[++a], nullptr);
            else
                overrides[arg.substr(2)] = argv[++a];
        } else {
            files.push_back(argv[a]);
        }
    }
    if (files.size() != 2) return usage("one input and one output");

    std::vector<std::int16_t> pcm;
    if (!read_wave(files[0], pcm)) return 1;
    const auto start = std::chrono::steady_clock::now();
    if (kbps > 0.0) {
        if (x91::Result r =
                x91::quality_for_bitrate(pcm.data(), pcm.size() / 2, kbps, tuned, quality);
            !r)
            return usage(r.message);
    }
    x91::EncoderOptions options;
    if (x91::Result r = x91::options_at_quality(quality, tuned, options); !r)
        return usage(r.message);
    x91::da_DSettings& d = options.header.dsettings;
    x91::da_ISettings& i = options.header.isettings;
    const std::map<std::string, std::function<void(const char*)>> setters = {
        {"lines", [&](const char* v) { d.global.lines = std::atoi(v); }},
        {"intensity-bands", [&](const char* v) { d.intensity.bands = std::atoi(v); }},
        {"intensity-steps", [&](const char* v) { d.intensity.steps = std::atoi(v); }},
        {"level-range", [&](const char* v) { d.intensity.range = std::atoi(v); }},
        {"side-bands", [&](const char* v) { d.side_stereo.bands = std::atoi(v); }},
        {"side-levels", [&](const char* v) { d.side_stereo.levels = std::atoi(v); }},
        {"frames", [&](const char* v) { d.group.frames = std::atoi(v); }},
        {"masking-level", [&](const char* v) { i.masking.level_scale = std::strtof(v, nullptr); }},
        {"masking-down", [&](const char* v) { i.masking.downward_base = std::strtof(v, nullptr); }},
        {"masking-up", [&](const char* v) { i.masking.upward_base = std::strtof(v, nullptr); }},
        {"quantizer-base", [&](const char* v) { i.quantize.base = std::strtof(v, nullptr); }},
        {"rate-weight",
         [&](const char* v) { options.tuning.rate_weight = std::strtof(v, nullptr); }},
        {"high-band-db",
         [&](const char* v) { options.tuning.high_band_db = std::strtof(v, nullptr); }},
        {"tonal-db", [&](const char* v) { options.tuning.tonal_db = std::strtof(v, nullptr); }},
    };
    for (const auto& [key, value] : overrides) {
        const auto it = setters.find(key);
        if (it == setters.end()) return usage("unknown setting --" + key);
        it->second(value.c_str());
    }

    std::vector<std::uint8_t> file;
    x91::StreamWriter writer([&file](const std::uint8_t* data, std::size_t size) {
        file.insert(file.end(), data, data + size);
        return true;
    });
    (void)writer.set_options(options);
    (void)writer.set_extension_block(false);
    (void)writer.push(pcm.data(), pcm.size() / 2);
    if (x91::Result r = writer.finish(); !r) return usage(r.message);
    const std::size_t packet_bytes = writer.packet_bytes();
    const double seconds_taken =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::ofstream out(files[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    if (!out) {
        std::fprintf(stderr, "tune_encode: %s: cannot write\n", files[1]);
        return 1;
    }
    const double audio_seconds = static_cast<double>(pcm.size() / 2) / x91::kSampleRate;
    std::printf("kbps %.2f  seconds %.3f  x_realtime %.1f\n",
                audio_seconds > 0 ? packet_bytes * 8.0 / audio_seconds / 1000.0 : 0.0,
                seconds_taken, seconds_taken > 0 ? audio_seconds / seconds_taken : 0.0);
    return 0;
}
