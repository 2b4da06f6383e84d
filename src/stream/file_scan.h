// A file read at will, looked over before its first packet is decoded: its
// extension block found with one seek from its end, its header, and the
// walk of its packets' byte counts, so that the exact length, the tags and
// where every packet stands are known from the start.
#pragma once

#include <cstdint>
#include <optional>

#include "format/checked_settings.h"
#include "stream/byte_source.h"
#include "stream/packet_index.h"
#include "stream/stream_parser.h"
#include "x91/status.h"

namespace x91 {

struct FileScan {
    // The size, and the block's start and content when it is intact.
    FileLayout layout;
    // ok, no_extension, extension_damaged or extension_unknown.
    Result block{Status::no_extension, ""};
    // ok, or not_x91, cut_short or header_damaged; settings on ok.
    Result header{Status::cut_short, ""};
    std::optional<CheckedSettings> settings;
    // Filled only when the header is ok.
    PacketIndex index;
};

// Scans source, of `size` bytes: ok, or read_failed ("read failed") when a
// read or a seek fails. The header's own refusal is in scan.header. The
// packets' counts are walked only `with_index`.
Result scan_file(ByteSource& source, std::uint64_t size, FileScan& scan, bool with_index = true);

// The offset of packet `packet`'s count, walking the counts from the
// nearest indexed packet: ok, or read_failed.
Result packet_offset(ByteSource& source, const PacketIndex& index, std::uint64_t packet,
                     std::uint64_t& offset);

}  // namespace x91
