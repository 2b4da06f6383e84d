// An x91 file read for a decode or a check: opened, its header read and
// checked, its extension block looked for at the end, then its packets one
// by one while a CRC of every byte is kept. A read that fails is reported
// as such, not as the damage a short read would otherwise look like.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "command/source.h"
#include "format/checked_settings.h"
#include "format/extension_block.h"
#include "format/packet_walker.h"
#include "storage/file_stream.h"
#include "x91/status.h"

namespace x91::cli {

class X91Input {
  public:
    explicit X91Input(const Source& in);
    ~X91Input();
    X91Input(const X91Input&) = delete;
    X91Input& operator=(const X91Input&) = delete;

    // Opens the file, looks for its extension block with one seek from the
    // end, and reads its header: ok, read_failed ("cannot open: <reason>",
    // "read failed: <reason>"), or the header's refusal (not_x91, cut_short,
    // header_damaged). A stream is first copied whole to an unnamed
    // temporary file: the block that tells the length stands at its end,
    // and the audio's first samples depend on it.
    [[nodiscard]] Result open();

    // The header's settings, after open() succeeded.
    const CheckedSettings& settings() const { return *settings_; }

    // What open() found at the end: ok with content() filled, no_extension,
    // extension_damaged or extension_unknown (see parse_extension_block).
    const Result& extension() const { return extension_; }
    const ExtensionContent& content() const { return content_; }

    // The packets a seekable file holds whole, counted from their counts
    // alone, before the first is read (so nothing is decoded twice); none
    // for a stream, whose end is not known in advance. Call after open().
    std::optional<std::int64_t> packets_ahead();

    // The next packet, empty at the end marker (see PacketWalker::next).
    [[nodiscard]] Result next(std::vector<std::uint8_t>& packet);
    // Packets read whole so far.
    int packets() const { return packets_->packets(); }

    // After the end marker: ok when nothing follows it, trailing_bytes ("N
    // bytes follow the end marker") or read_failed; extension_damaged
    // ("checksum mismatch in the extension block") when what follows is an
    // extension block that find_extension() could not find.
    [[nodiscard]] Result nothing_follows();

    // With the block found, whatever was read so far (even a header that
    // was refused): reads on to the block and compares the CRC of every byte
    // before it with the block's. ok, checksum_mismatch, or trailing_bytes
    // when the end marker is not right before the block.
    [[nodiscard]] Result check_stream_crc();

  private:
    // The reader's bytes as the walk takes them, with their CRC: the header
    // and packets are read through it.
    class CrcInput final : public InputStream {
      public:
        explicit CrcInput(FileReader& reader) : reader_(reader) {}
        int read(char* buf, int n) override;
        std::int64_t offset() const { return offset_; }
        std::uint32_t crc() const { return crc_; }
        // Bytes at or past end are left out of the CRC.
        void end_crc_at(std::int64_t end) { crc_end_ = end; }

      private:
        FileReader& reader_;
        std::int64_t offset_ = 0;
        std::int64_t crc_end_ = INT64_MAX;
        std::uint32_t crc_ = 0;
    };

    Result read_failure() const;
    Result spool(const Source& in);
    Result find_extension();

    std::FILE* spooled_ = nullptr;  // the temporary copy of a stream
    Result spool_status_;
    std::unique_ptr<FileReader> reader_;
    std::optional<CrcInput> input_;
    std::optional<CheckedSettings> settings_;
    std::optional<PacketWalker> packets_;
    Result extension_;
    ExtensionContent content_;
    std::int64_t block_start_ = -1;
};

}  // namespace x91::cli
