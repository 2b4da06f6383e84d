#include "stream/file_scan.h"

#include <vector>

#include "format/limits.h"
#include "format/packet_framing.h"
#include "format/settings_io.h"
#include "stream/stream_info.h"

namespace x91 {

namespace {

const Result kReadFailed{Status::read_failed, "read failed"};

bool read_at(ByteSource& source, std::uint64_t offset, std::uint8_t* buffer, std::size_t size,
             bool& failed) {
    failed = !source.seek(offset);
    return !failed && read_fully(source, buffer, size, failed);
}

// The block behind the end marker, found from the end of the file.
Result scan_block(ByteSource& source, std::uint64_t size, FileScan& scan) {
    if (size < kHeaderBytes + kPacketCountBytes + kExtensionFooterBytes) return {};
    std::uint8_t footer[kExtensionFooterBytes];
    bool failed = false;
    if (!read_at(source, size - sizeof footer, footer, sizeof footer, failed))
        return failed ? kReadFailed : Result{};
    std::uint64_t bytes = 0;
    scan.block = extension_size(footer, bytes);
    if (!scan.block) return {};
    if (bytes > size - kHeaderBytes - kPacketCountBytes) {
        scan.block = {Status::extension_damaged, "extension block: longer than the file"};
        return {};
    }
    std::vector<std::uint8_t> block(static_cast<std::size_t>(bytes));
    if (!read_at(source, size - bytes, block.data(), block.size(), failed)) return kReadFailed;
    scan.block = parse_extension(block.data(), block.size(), scan.layout.block);
    if (scan.block) scan.layout.block_start = size - bytes;
    return {};
}

// Seeks from count to count; the walk ends where a decode would stop: at
// the end marker, or at a count the file cannot hold.
Result scan_packets(ByteSource& source, std::uint64_t size, PacketIndex& index) {
    std::uint64_t at = kHeaderBytes;
    for (;;) {
        std::uint8_t count[kPacketCountBytes];
        bool failed = false;
        if (at + sizeof count > size) break;
        if (!read_at(source, at, count, sizeof count, failed)) {
            if (failed) return kReadFailed;
            break;
        }
        const std::int32_t bytes = packet_count_from(count);
        if (bytes <= 0 || bytes > kMaxPacketCount ||
            static_cast<std::uint64_t>(bytes) > size - at - sizeof count)
            break;
        index.add(at);
        at += sizeof count + static_cast<std::uint64_t>(bytes);
    }
    index.end_at(at);
    return {};
}

}  // namespace

bool read_fully(ByteSource& source, std::uint8_t* buffer, std::size_t size, bool& failed) {
    failed = false;
    std::size_t got = 0;
    while (got < size) {
        const std::int64_t n = source.read(buffer + got, size - got);
        if (n < 0) failed = true;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

Result scan_file(ByteSource& source, std::uint64_t size, FileScan& scan, bool with_index) {
    scan.layout.size = size;
    if (Result found = scan_block(source, size, scan); !found) return found;
    std::uint8_t header[kHeaderBytes];
    if (!source.seek(0)) return kReadFailed;
    std::size_t got = 0;
    while (got < sizeof header) {
        const std::int64_t n = source.read(header + got, sizeof header - got);
        if (n < 0) return kReadFailed;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    scan.header = parse_x91_header(header, got, scan.settings);
    if (!scan.header || !with_index) return {};
    return scan_packets(source, size, scan.index);
}

Result packet_offset(ByteSource& source, const PacketIndex& index, std::uint64_t packet,
                     std::uint64_t& offset) {
    auto [at_packet, at] = index.at_or_before(packet);
    for (; at_packet < packet; ++at_packet) {
        std::uint8_t count[kPacketCountBytes];
        bool failed = false;
        if (!read_at(source, at, count, sizeof count, failed)) return kReadFailed;
        at += sizeof count + static_cast<std::uint64_t>(packet_count_from(count));
    }
    offset = at;
    return {};
}

}  // namespace x91
