#include "stream/stream_writer.h"

#include <utility>

#include "format/crc32.h"
#include "format/extension_block.h"
#include "format/limits.h"
#include "format/packet_framing.h"
#include "format/settings_io.h"

namespace x91 {

namespace {

const Result kStarted{Status::invalid_state, "settings change after encoding began"};

constexpr std::size_t kFieldHead = 8;  // a field's id and length

}  // namespace

std::size_t extension_block_bytes(const std::vector<std::string>& tags) {
    // Head, footer, the three fixed fields with their bodies (8, 4 and 4
    // bytes), and each tag's field.
    std::size_t bytes = kExtensionHeadSize + kExtensionFooterBytes + 3 * kFieldHead + 8 + 4 + 4;
    for (const std::string& tag : tags) bytes += tag_field_bytes(tag);
    return bytes;
}

std::size_t tag_field_bytes(const std::string& tag) {
    return kFieldHead + tag.size();
}

StreamWriter::StreamWriter(Sink sink) : sink_(std::move(sink)) {}

Result StreamWriter::set_options(const EncoderOptions& options) {
    if (encoder_) return kStarted;
    options_ = options;
    return {};
}

Result StreamWriter::set_threads(const Threading& threading) {
    if (encoder_) return kStarted;
    threading_ = threading;
    shared_ = nullptr;
    return {};
}

Result StreamWriter::share_threads(ThreadBudget& shared) {
    if (encoder_) return kStarted;
    shared_ = &shared;
    return {};
}

Result StreamWriter::set_extension_block(bool write) {
    if (finished_) return {Status::invalid_state, "the extension block after finish"};
    write_block_ = write;
    return {};
}

Result StreamWriter::add_tag(const Tag& tag) {
    if (finished_) return {Status::invalid_state, "a tag after finish"};
    std::vector<std::string> text;
    if (Result valid = texts_from_tags({tag}, text); !valid) return valid;
    // Counted as they come: a block of many small tags is measured once.
    const std::size_t bytes = tag_field_bytes(text.front());
    if (bytes > kMaxExtensionBytes - block_bytes_)
        return {Status::invalid_argument, "the tags do not fit an extension block"};
    tags_.push_back(std::move(text.front()));
    block_bytes_ += bytes;
    return {};
}

const HeaderSettings* StreamWriter::settings() const {
    return encoder_ ? &encoder_->settings() : nullptr;
}

Result StreamWriter::begin() {
    if (encoder_ || !failure_.ok()) return failure_;
    if (shared_) {
        encoder_.emplace(options_, *shared_);
    } else {
        encoder_.emplace(options_, threading_);
    }
    failure_ = encoder_->status();
    if (!failure_) return failure_;
    const auto header = x91_header_image(encoder_->settings());
    return write(header.data(), header.size());
}

// Every byte before the block goes into its CRC on the way out.
Result StreamWriter::write(const std::uint8_t* data, std::size_t size) {
    if (!failure_.ok()) return failure_;
    crc_ = crc32_update(crc_, data, size);
    if (!sink_(data, size)) failure_ = {Status::write_failed, "write failed"};
    return failure_;
}

Result StreamWriter::write_packets() {
    while (encoder_->next_packet(packet_)) {
        const auto count = packet_count_image(static_cast<std::int32_t>(packet_.size()));
        if (Result written = write(count.data(), count.size()); !written) return written;
        if (Result written = write(packet_.data(), packet_.size()); !written) return written;
        ++packets_;
        packet_bytes_ += packet_.size();
    }
    return {};
}

Result StreamWriter::push(const std::int16_t* pcm, std::size_t frames) {
    if (Result begun = begin(); !begun) return begun;
    if (finished_) return {Status::invalid_state, "push after finish"};
    if (Result pushed = encoder_->push(pcm, frames); !pushed) return pushed;
    return write_packets();
}

Result StreamWriter::finish() {
    if (Result begun = begin(); !begun) return begun;
    if (finished_) return {Status::invalid_state, "finish called twice"};
    if (Result ended = encoder_->finish(); !ended) return ended;
    finished_ = true;
    if (Result written = write_packets(); !written) return written;
    return write_end();
}

Result StreamWriter::write_end() {
    const auto end = packet_count_image(kEndMarker);
    if (Result written = write(end.data(), end.size()); !written || !write_block_) return written;
    ExtensionContent content;
    content.frames = encoder_->frames_pushed();
    content.lead_in = static_cast<std::uint32_t>(kBlockFrames);
    content.tags = tags_;
    content.stream_crc = crc_;
    const std::vector<unsigned char> block = extension_block_image(content);
    if (!sink_(block.data(), block.size())) failure_ = {Status::write_failed, "write failed"};
    return failure_;
}

}  // namespace x91
