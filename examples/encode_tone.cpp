// Encodes two seconds of a generated tone to an x91 file in memory, decodes
// it back and reports how close the result is. With a file name argument,
// the x91 file is also written there.
#include <x91/x91.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    constexpr double kPi = 3.14159265358979323846;
    // 440 Hz left, 660 Hz right, interleaved.
    const std::size_t frames = 2 * x91::kSampleRate;
    std::vector<std::int16_t> pcm(2 * frames);
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / x91::kSampleRate;
        pcm[2 * n] = static_cast<std::int16_t>(12000 * std::sin(2 * kPi * 440 * t));
        pcm[2 * n + 1] = static_cast<std::int16_t>(12000 * std::sin(2 * kPi * 660 * t));
    }

    x91::Header header;
    if (x91::Result r = header.apply_quality(150); !r) {
        std::fprintf(stderr, "quality: %s\n", r.message.c_str());
        return 1;
    }
    x91::Encoder encoder(header);
    std::vector<std::uint8_t> file = encoder.header().bytes();
    std::vector<std::uint8_t> packet;
    // Any amounts will do; a tenth of a second at a time here.
    for (std::size_t at = 0; at < frames; at += 4410) {
        const std::size_t n = frames - at < 4410 ? frames - at : 4410;
        if (x91::Result r = encoder.push(pcm.data() + 2 * at, n); !r) {
            std::fprintf(stderr, "encoder: %s\n", r.message.c_str());
            return 1;
        }
        while (encoder.next_packet(packet)) x91::append_packet(file, packet);
    }
    if (x91::Result r = encoder.finish(); !r) {
        std::fprintf(stderr, "encoder: %s\n", r.message.c_str());
        return 1;
    }
    while (encoder.next_packet(packet)) x91::append_packet(file, packet);
    x91::append_end(file);

    if (argc > 1) {
        std::FILE* out = std::fopen(argv[1], "wb");
        if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() ||
            std::fclose(out) != 0) {
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
            return 1;
        }
    }

    x91::Header read_back;
    if (x91::Result r = x91::Header::parse(file.data(), file.size(), read_back); !r) {
        std::fprintf(stderr, "header: %s\n", r.message.c_str());
        return 1;
    }
    x91::Decoder decoder(read_back);
    std::vector<std::int16_t> decoded;
    x91::PacketReader packets(file.data(), file.size());
    for (;;) {
        if (x91::Result r = packets.next(packet); !r) {
            std::fprintf(stderr, "file: %s\n", r.message.c_str());
            return 1;
        }
        if (packet.empty()) break;  // the end marker
        if (x91::Result r = decoder.push_packet(packet.data(), packet.size()); !r) {
            std::fprintf(stderr, "packet: %s\n", r.message.c_str());
            return 1;
        }
        decoder.pull(decoded);
    }

    // The decoded audio starts one block (882 frames) late.
    const std::size_t delay = 2 * x91::kBlockFrames;
    if (decoded.size() < delay + pcm.size()) {
        std::fprintf(stderr, "decoded audio too short\n");
        return 1;
    }
    double signal = 0, noise = 0;
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const double d = decoded[delay + i] - pcm[i];
        signal += static_cast<double>(pcm[i]) * pcm[i];
        noise += d * d;
    }
    const double snr = 10 * std::log10(signal / (noise > 0 ? noise : 1));
    std::printf("x91 %s: %zu frames -> %zu bytes -> %zu frames, SNR %.1f dB\n", x91::version(),
                frames, file.size(), decoded.size() / 2, snr);
    return snr > 10 ? 0 : 1;
}
