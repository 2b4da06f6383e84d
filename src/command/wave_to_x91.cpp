#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#include "command/conversions.h"
#include "command/io_failure.h"
#include "command/output.h"
#include "command/progress_display.h"
#include "format/packet_framing.h"
#include "format/settings_io.h"
#include "library/api_internal.h"
#include "storage/file_stream.h"
#include "storage/wave_reader.h"
#include "x91/x91.h"

namespace x91::cli {

namespace {

constexpr int kBlockBytes = x91::kBlockFrames * 4;

// Interleaved little-endian 16-bit samples as they stand in WAV data.
void samples_from_bytes(const unsigned char* bytes, int count, std::int16_t* samples) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(samples, bytes, 2 * static_cast<std::size_t>(count));
    } else {
        for (int k = 0; k < count; ++k)
            samples[k] = static_cast<std::int16_t>(bytes[2 * k] | bytes[2 * k + 1] << 8);
    }
}

std::unique_ptr<da_WaveReader> open_wave(const Source& in) {
    if (in.stream != nullptr)
        return std::make_unique<da_WaveReader>(in.stream, in.taken.data(),
                                               static_cast<int>(in.taken.size()));
    return std::make_unique<da_WaveReader>(in.name.c_str());
}

}  // namespace

ConversionResult WaveToXFile(const Source& in, const std::string& out,
                             const EncodeSettings& settings, ProgressDisplay& display,
                             ThreadBudget& threads) {
    const std::unique_ptr<da_WaveReader> reader = open_wave(in);
    // The reader says why it refuses a file in words only; every refusal is
    // of the input.
    if (!reader->problem().empty()) return {.result = {Status::not_cd_audio, reader->problem()}};
    const HeaderSettings header{settings.features, settings.dsettings, settings.isettings};
    x91::Encoder encoder = x91::EncoderAccess::make(settings.esettings, header, threads);
    if (!encoder.status()) return {.result = encoder.status()};
    Output output;
    if (Result opened = output.open(out); !opened) return {.result = std::move(opened)};
    FileWriter writer(output.stream());

    ConversionResult done;
    ConversionStats& stats = done.stats;
    std::vector<std::uint8_t> packet;
    // Writes every packet the encoder has ready; false once a write failed.
    auto write_ready_packets = [&] {
        while (encoder.next_packet(packet)) {
            if (!write_packet(writer, packet)) return false;
            stats.byte_count += static_cast<std::int64_t>(packet.size());
            stats.time_count += settings.dsettings.group.frames;
        }
        if (stats.time_count > 0) display.update(stats.time_count, stats.byte_count);
        return true;
    };

    display.begin("encoding", in.name, out);
    std::vector<unsigned char> block(kBlockBytes);
    std::vector<std::int16_t> samples(kBlockBytes / 2);
    bool input_failed = false;
    Result encoded;
    bool writing = write_x91_header(writer, header);
    // Blocks are read until the audio ends; its length need not be known
    // in advance, so a stream of unknown length encodes like a file.
    while (writing && encoded) {
        const int got = reader->rawread(reinterpret_cast<char*>(block.data()), kBlockBytes);
        if (reader->read_failed()) {
            input_failed = true;
            break;
        }
        if (got > 0) {
            samples_from_bytes(block.data(), got / 2, samples.data());
            encoded = encoder.push(samples.data(), static_cast<std::size_t>(got / 4));
            writing = write_ready_packets();
        }
        if (got < kBlockBytes) break;
    }
    if (!input_failed && writing && encoded) {
        encoded = encoder.finish();
        writing = write_ready_packets();
    }
    const bool ended = writing && write_packet_count(writer, kEndMarker);

    if (input_failed) {
        done.result = {Status::read_failed,
                       "read failed: the file was cut short while it was read"};
    } else if (!encoded) {
        done.result = std::move(encoded);
    } else if (!writer.close() || !ended) {
        // A write that failed left the writer failed, with the reason.
        done.result = io_failure(Status::write_failed, "cannot write", writer.error());
    } else if (Result committed = output.commit(); !committed) {
        done.result = std::move(committed);
    } else if (reader->cut_short()) {
        done.result = {Status::cut_short, "WAV data cut short; encoded the " +
                                              std::to_string(reader->frames_read()) +
                                              " sample frames present"};
        done.output_kept = true;
    }
    display.end(done.result.ok() || done.output_kept);
    return done;
}

}  // namespace x91::cli
