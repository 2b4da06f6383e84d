#include "command/conversions.h"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <vector>

#include "command/progress_line.h"
#include "command/temp_output.h"
#include "format/packet_framing.h"
#include "format/packet_walker.h"
#include "format/settings_io.h"
#include "library/api_internal.h"
#include "storage/file_stream.h"
#include "storage/wave_reader.h"
#include "storage/wave_writer.h"
#include "x91/x91.h"

namespace x91::cli {

namespace {

constexpr int kBlockBytes = x91::kBlockFrames * 4;

std::string system_reason(int error) {
    return error != 0 ? std::string(std::strerror(error)) : std::string("input/output error");
}

bool is_std_stream(const std::string& name) {
    return name == kStdStreamName;
}

std::unique_ptr<FileReader> open_reader(const Source& in) {
    if (in.stream != nullptr)
        return std::make_unique<FileReader>(in.stream, in.taken.data(),
                                            static_cast<int>(in.taken.size()));
    return std::make_unique<FileReader>(in.name.c_str());
}

// Interleaved little-endian 16-bit samples as they stand in WAV data, to
// and from sample values.
void samples_from_bytes(const unsigned char* bytes, int count, std::int16_t* samples) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(samples, bytes, 2 * static_cast<std::size_t>(count));
    } else {
        for (int k = 0; k < count; ++k)
            samples[k] = static_cast<std::int16_t>(bytes[2 * k] | bytes[2 * k + 1] << 8);
    }
}

void bytes_from_samples(const std::int16_t* samples, std::size_t count, std::vector<char>& bytes) {
    bytes.resize(2 * count);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes.data(), samples, 2 * count);
    } else {
        for (std::size_t k = 0; k < count; ++k) {
            const auto v = static_cast<std::uint16_t>(samples[k]);
            bytes[2 * k] = static_cast<char>(v & 0xFF);
            bytes[2 * k + 1] = static_cast<char>(v >> 8);
        }
    }
}

// What an x91 file being read holds behind its position: the walker checks
// each count against it. A stream has no size to check counts against; the
// bound on a packet's size still holds.
std::int64_t bytes_left(FileReader& reader) {
    return reader.seekable() ? reader.size() - reader.possition() : kUnknownLength;
}

// The next packet of an x91 file. A read that fails looks like the end of the
// file to the walker; it is reported as the failure it is.
x91::Result next_packet(PacketWalker& packets, const FileReader& reader,
                        std::vector<std::uint8_t>& packet) {
    x91::Result next = packets.next(packet);
    if (!next && reader.error() != 0)
        return {x91::Status::read_failed, "read failed: " + system_reason(reader.error())};
    return next;
}

// Outputs other than standard output go to a temporary file beside the
// target, renamed into place only when complete.
bool open_temp_output(const std::string& out, const Console& console,
                      std::unique_ptr<TempOutput>& temp) {
    temp = std::make_unique<TempOutput>(out);
    if (temp->ok()) return true;
    console.problem(out, "cannot write: " + temp->problem());
    return false;
}

}  // namespace

bool WaveToXFile(const Source& in, std::string out, const da_ESettings& esettings,
                 const da_ISettings& isettings, const da_DSettings& dsettings,
                 const da_CodeFeatures& cf, const Console& console, ConversionStats* stats) {
    std::unique_ptr<da_WaveReader> reader =
        in.stream != nullptr ? std::make_unique<da_WaveReader>(in.stream, in.taken.data(),
                                                               static_cast<int>(in.taken.size()))
                             : std::make_unique<da_WaveReader>(in.name.c_str());
    if (!reader->problem().empty()) {
        console.problem(in.name, reader->problem());
        return false;
    }
    const HeaderSettings settings{cf, dsettings, isettings};
    x91::Encoder encoder = x91::EncoderAccess::make(esettings, settings);
    if (!encoder.status()) {
        console.problem(in.name, encoder.status().message);
        return false;
    }
    const bool to_stdout = is_std_stream(out);
    std::unique_ptr<TempOutput> temp;
    if (!to_stdout && !open_temp_output(out, console, temp)) return false;
    const std::unique_ptr<FileWriter> writer_owner =
        to_stdout ? std::make_unique<FileWriter>(stdout)
                  : std::make_unique<FileWriter>(temp->path().c_str());
    FileWriter& writer = *writer_owner;
    // A failed write leaves the writer failed, which ends the loop below and
    // is reported when the writer is closed.
    static_cast<void>(write_x91_header(writer, settings));

    std::int64_t time_count = 0;
    std::int64_t byte_count = 0;
    std::vector<std::uint8_t> packet;
    // Writes every packet the encoder has ready, as its count and bytes.
    auto write_packets = [&]() {
        bool any = false;
        while (encoder.next_packet(packet)) {
            // A failed write leaves the writer failed: the loop below ends
            // and the failure is reported when the writer is closed.
            static_cast<void>(write_packet(writer, packet));
            byte_count += static_cast<std::int64_t>(packet.size());
            time_count += dsettings.group.frames;
            any = true;
        }
        return any;
    };
    auto show_progress = [&]() {
        if (time_count > 0 && console.progress)
            print_progress_line(*console.progress, time_count, byte_count);
    };

    if (console.progress)
        *console.progress << "encoding : '" << in.name << "' to : '" << out << "'" << std::endl;
    std::vector<unsigned char> block(kBlockBytes);
    std::vector<std::int16_t> samples(kBlockBytes / 2);
    bool input_failed = false;
    x91::Result encoded;
    // Blocks are read until the audio ends; its length need not be known
    // in advance, so a stream of unknown length encodes like a file.
    while (writer && encoded) {
        const int got = reader->rawread(reinterpret_cast<char*>(block.data()), kBlockBytes);
        if (reader->read_failed()) {
            input_failed = true;
            break;
        }
        if (got > 0) {
            samples_from_bytes(block.data(), got / 2, samples.data());
            encoded = encoder.push(samples.data(), static_cast<std::size_t>(got / 4));
            write_packets();
            show_progress();
        }
        if (got < kBlockBytes) break;
    }
    if (!input_failed && writer && encoded) {
        encoded = encoder.finish();
        write_packets();
        show_progress();
    }
    if (console.progress) *console.progress << '\n' << "done." << '\n' << std::flush;
    static_cast<void>(write_packet_count(writer, kEndMarker));

    if (stats) *stats = ConversionStats{time_count, byte_count};
    if (input_failed) {
        console.problem(in.name, "read failed: the file was cut short while it was read");
        return false;
    }
    if (!encoded) {
        console.problem(in.name, encoded.message);
        return false;
    }
    if (!writer.close()) {
        console.problem(out, "cannot write: " + system_reason(writer.error()));
        return false;
    }
    if (temp && !temp->commit()) {
        console.problem(out, "cannot write: " + temp->problem());
        return false;
    }
    if (reader->cut_short()) {
        console.warning(in.name, "WAV data cut short; encoded the " +
                                     std::to_string(reader->frames_read()) +
                                     " sample frames present");
        return false;
    }
    return true;
}

bool XFileToWave(const Source& in, std::string out, const Console& console,
                 ConversionStats* stats) {
    const std::unique_ptr<FileReader> reader = open_reader(in);
    if (!*reader) {
        console.problem(in.name, "cannot open: " + system_reason(reader->error()));
        return false;
    }
    std::optional<CheckedSettings> header;
    if (const x91::Result read = read_x91_header(*reader, header); !read) {
        console.problem(in.name, read.message);
        return false;
    }
    const int frames_per_packet = header->dsettings().group.frames;
    const bool to_stdout = is_std_stream(out);
    std::unique_ptr<TempOutput> temp;
    if (!to_stdout && !open_temp_output(out, console, temp)) return false;
    da_WaveWriter writer = to_stdout ? da_WaveWriter(stdout, FORMAT_CDDA)
                                     : da_WaveWriter(temp->path().c_str(), FORMAT_CDDA);

    std::int64_t time_count = 0;
    std::int64_t byte_count = 0;
    std::string damage;
    int damaged_in_a_row = 0;
    {
        x91::Decoder decoder = x91::DecoderAccess::make(*header);
        PacketWalker packets(*reader, bytes_left(*reader));
        std::vector<std::uint8_t> packet;
        std::vector<std::int16_t> pcm;
        std::vector<char> bytes_out;
        if (console.progress)
            *console.progress << "decoding : '" << in.name << "' to : '" << out << "'" << std::endl;

        while (!writer.failed()) {
            if (const x91::Result next = next_packet(packets, *reader, packet); !next) {
                damage = next.message;
                break;
            }
            if (packet.empty()) break;
            byte_count += static_cast<std::int64_t>(packet.size());
            time_count += frames_per_packet;
            const x91::Result fed = decoder.push_packet(packet.data(), packet.size());
            const bool overran = fed.status == x91::Status::packet_overrun;
            if (overran && damage.empty())
                damage =
                    "packet " + std::to_string(packets.packets()) + " is damaged: " + fed.message;
            damaged_in_a_row = overran ? damaged_in_a_row + 1 : 0;
            pcm.clear();
            decoder.pull(pcm);
            bytes_from_samples(pcm.data(), pcm.size(), bytes_out);
            for (std::size_t at = 0; at < bytes_out.size(); at += kBlockBytes)
                writer.rawwrite(bytes_out.data() + at, kBlockBytes);
            if (time_count > 0 && console.progress)
                print_progress_line(*console.progress, time_count, byte_count);
            // One damaged packet is decoded and the next ones still count:
            // framing keeps them independent. A long run of them is no
            // longer a file with a flaw but noise, and since every packet
            // yields its frames whatever its size, going on would let a
            // small file write an enormous one.
            if (damaged_in_a_row == kMaxDamagedInARow) {
                damage += "; stopped after " + std::to_string(kMaxDamagedInARow) +
                          " damaged packets in a row";
                break;
            }
        }
        if (console.progress) *console.progress << '\n' << "done." << '\n' << std::flush;
    }

    if (stats) *stats = ConversionStats{time_count, byte_count};
    if (!writer.finish()) {
        console.problem(out, writer.problem());
        return false;
    }
    if (temp && !temp->commit()) {
        console.problem(out, "cannot write: " + temp->problem());
        return false;
    }
    if (!damage.empty()) {
        console.warning(in.name, damage + "; kept the audio that could be rebuilt");
        return false;
    }
    return true;
}

XFileVerdict TestXFile(const Source& in) {
    using Kind = XFileVerdict::Kind;
    const std::unique_ptr<FileReader> reader = open_reader(in);
    if (!*reader) return {Kind::unreadable, "cannot open: " + system_reason(reader->error())};
    std::optional<CheckedSettings> header;
    if (const x91::Result read = read_x91_header(*reader, header); !read) {
        if (reader->error() != 0)
            return {Kind::unreadable, "read failed: " + system_reason(reader->error())};
        return {read.status == x91::Status::not_x91 ? Kind::unreadable : Kind::damaged,
                read.message};
    }
    x91::Decoder decoder = x91::DecoderAccess::make(*header);
    PacketWalker packets(*reader, bytes_left(*reader));
    std::vector<std::uint8_t> packet;
    std::vector<std::int16_t> pcm;
    for (;;) {
        if (const x91::Result next = next_packet(packets, *reader, packet); !next) {
            const bool read_error = next.status == x91::Status::read_failed;
            return {read_error ? Kind::unreadable : Kind::damaged, next.message};
        }
        if (packet.empty()) break;
        const x91::Result fed = decoder.push_packet(packet.data(), packet.size());
        if (!fed)
            return {Kind::damaged,
                    "packet " + std::to_string(packets.packets()) + " is damaged: " + fed.message};
        pcm.clear();
        decoder.pull(pcm);
    }
    const std::int64_t trailing = reader->skip(INT64_MAX);
    if (reader->error() != 0)
        return {Kind::unreadable, "read failed: " + system_reason(reader->error())};
    if (trailing > 0)
        return {Kind::damaged, std::to_string(trailing) + " bytes follow the end marker"};
    return {};
}

}  // namespace x91::cli
