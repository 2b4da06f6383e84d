// An x91 file read for a decode or a check: opened, its header read and
// checked, then its packets one by one. A read that fails is reported as
// such, not as the damage a short read would otherwise look like.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "command/source.h"
#include "format/checked_settings.h"
#include "format/packet_walker.h"
#include "storage/file_stream.h"
#include "x91/status.h"

namespace x91::cli {

class X91Input {
  public:
    explicit X91Input(const Source& in);

    // Opens the file and reads its header: ok, read_failed ("cannot open:
    // <reason>", "read failed: <reason>"), or the header's refusal (not_x91,
    // cut_short, header_damaged).
    [[nodiscard]] Result open();

    // The header's settings, after open() succeeded.
    const CheckedSettings& settings() const { return *settings_; }

    // The packets a seekable file holds whole, counted from their counts
    // alone, before the first is read (so nothing is decoded twice); none
    // for a stream, whose end is not known in advance. Call after open().
    std::optional<std::int64_t> packets_ahead();

    // The next packet, empty at the end marker (see PacketWalker::next).
    [[nodiscard]] Result next(std::vector<std::uint8_t>& packet);
    // Packets read whole so far.
    int packets() const { return packets_->packets(); }

    // After the end marker: ok when nothing follows it, trailing_bytes ("N
    // bytes follow the end marker") or read_failed.
    [[nodiscard]] Result nothing_follows();

  private:
    Result read_failure() const;

    std::unique_ptr<FileReader> reader_;
    std::optional<CheckedSettings> settings_;
    std::optional<PacketWalker> packets_;
};

}  // namespace x91::cli
