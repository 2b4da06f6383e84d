#include "app/conversions.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <vector>

#include "app/progress_line.h"
#include "app/settings/settings_io.h"
#include "app/temp_output.h"
#include "pipeline/decode_chain.h"
#include "pipeline/encode_chain.h"
#include "storage/file_stream.h"
#include "storage/wave_reader.h"
#include "storage/wave_writer.h"

namespace {

std::string system_reason(int error) {
    return error != 0 ? std::string(std::strerror(error)) : std::string("input/output error");
}

// Blocks fed to the encoder for an input of `frames` sample frames. Every
// input frame must reach a packet: the blocks of the input (the last one
// zero-filled), then silence until the packet holding the last input block
// has left the encoder. Its packet leaves one frame after its group is full,
// and decoding rebuilds a block one frame late, so P = ceil((B + 2) / 16)
// packets hold all B input blocks; they need 16·P + 1 blocks fed.
std::int64_t blocks_to_feed(std::int64_t frames, int frames_per_packet) {
    if (frames <= 0) return 0;
    const std::int64_t blocks = (frames + EncodeChain::kBlockFrames - 1) / EncodeChain::kBlockFrames;
    const std::int64_t packets = (blocks + 2 + frames_per_packet - 1) / frames_per_packet;
    return packets * frames_per_packet + 1;
}

}  // namespace

bool WaveToXFile(std::string in, std::string out, const da_ESettings& esettings,
                 const da_ISettings& isettings, const da_DSettings& dsettings,
                 const da_CodeFeatures& cf, const Console& console) {
    da_WaveReader reader(in.c_str());
    if (!reader.problem().empty()) {
        console.problem(in, reader.problem());
        return false;
    }
    TempOutput temp(out);
    if (!temp.ok()) {
        console.problem(out, "cannot write: " + temp.problem());
        return false;
    }
    FileWriter writer(temp.path().c_str());
    write_x91_header(writer, cf, dsettings, isettings);

    std::int64_t time_count = 0;
    std::int64_t byte_count = 0;
    bool input_failed = false;
    {
        EncodeChain chain(esettings, isettings, dsettings, cf);
        if (console.progress)
            *console.progress << "encoding : '" << in << "' to : '" << out << "'" << std::endl;

        const std::int64_t frames = reader.samples();
        const std::int64_t input_blocks =
            (frames + EncodeChain::kBlockFrames - 1) / EncodeChain::kBlockFrames;
        const std::int64_t total_blocks = blocks_to_feed(frames, dsettings.group.frames);
        std::vector<unsigned char> block(EncodeChain::kBlockBytes);
        for (std::int64_t i = 0; i < total_blocks && writer; ++i) {
            if (i < input_blocks) {
                const std::int64_t left = (frames - i * EncodeChain::kBlockFrames) * 4;
                const int expected = static_cast<int>(std::min<std::int64_t>(EncodeChain::kBlockBytes, left));
                // rawread zero-fills what lies beyond the audio.
                if (reader.rawread(reinterpret_cast<char*>(block.data()), EncodeChain::kBlockBytes) <
                    expected) {
                    input_failed = true;
                    break;
                }
            } else if (i == input_blocks) {
                std::fill(block.begin(), block.end(), 0);
            }
            chain.feed_block(block.data());
            while (chain.has_packet()) {
                const auto packet = chain.take_packet();
                const int n = packet->bytes();
                writer << n;
                writer.write(reinterpret_cast<const char*>(packet->data()), n);
                byte_count += n;
                time_count += dsettings.group.frames;
            }
            if (time_count > 0 && console.progress)
                print_progress_line(*console.progress, time_count, byte_count);
        }
        if (console.progress) *console.progress << '\n' << "done." << '\n' << std::flush;
    }
    writer << 0;

    if (input_failed) {
        console.problem(in, "read failed: the file was cut short while it was read");
        return false;
    }
    if (!writer.close()) {
        console.problem(out, "cannot write: " + system_reason(writer.error()));
        return false;
    }
    if (!temp.commit()) {
        console.problem(out, "cannot write: " + temp.problem());
        return false;
    }
    if (reader.cut_short()) {
        console.warning(in, "WAV data cut short; encoded the " + std::to_string(reader.samples()) +
                                " sample frames present");
        return false;
    }
    return true;
}

bool XFileToWave(std::string in, std::string out, const Console& console) {
    FileReader reader(in.c_str());
    if (!reader) {
        console.problem(in, "cannot open: " + system_reason(reader.error()));
        return false;
    }
    da_CodeFeatures features{};
    da_DSettings dsettings{};
    da_ISettings isettings{};
    const X91HeaderRead header = read_x91_header(reader, features, dsettings, isettings);
    if (!header.ok()) {
        console.problem(in, header.problem);
        return false;
    }
    TempOutput temp(out);
    if (!temp.ok()) {
        console.problem(out, "cannot write: " + temp.problem());
        return false;
    }
    da_WaveWriter writer(temp.path().c_str(), FORMAT_CDDA);

    const std::int64_t file_size = reader.size();
    std::int64_t time_count = 0;
    std::int64_t byte_count = 0;
    std::string damage;
    {
        DecodeChain chain(isettings, dsettings, features);
        if (console.progress)
            *console.progress << "decoding : '" << in << "' to : '" << out << "'" << std::endl;

        for (std::int64_t packet_number = 1; !writer.failed(); ++packet_number) {
            int n = 0;
            if (!read(reader, n)) {
                damage = "ends without its end marker";
                break;
            }
            if (n <= 0) break;
            const std::string which = "packet " + std::to_string(packet_number);
            const std::int64_t remaining = file_size - reader.possition();
            if (n > kMaxPacketBytes || (file_size >= 0 && n > remaining)) {
                damage = which + " claims " + std::to_string(n) + " bytes, more than the file holds";
                break;
            }
            std::unique_ptr<unsigned char[]> bytes(new unsigned char[n]);
            if (reader.read(reinterpret_cast<char*>(bytes.get()), n) != n) {
                damage = which + " is cut short";
                break;
            }
            byte_count += n;
            time_count += dsettings.group.frames;
            auto packet = std::make_unique<da_BinRWBase>(bytes.release(), n, true);
            if (!chain.feed_packet(std::move(packet)) && damage.empty())
                damage = which + " is damaged: its bits run past its end";
            while (chain.has_block()) {
                const auto pcm = chain.take_block();
                writer.rawwrite(reinterpret_cast<const char*>(pcm.get()), DecodeChain::kBlockBytes);
            }
            if (time_count > 0 && console.progress)
                print_progress_line(*console.progress, time_count, byte_count);
        }
        if (console.progress) *console.progress << '\n' << "done." << '\n' << std::flush;
    }

    if (!writer.finish()) {
        console.problem(out, writer.problem());
        return false;
    }
    if (!temp.commit()) {
        console.problem(out, "cannot write: " + temp.problem());
        return false;
    }
    if (!damage.empty()) {
        console.warning(in, damage + "; kept the audio that could be rebuilt");
        return false;
    }
    return true;
}
