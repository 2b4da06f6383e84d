#include "command/x91_tag_tool.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "command/block_metadata.h"
#include "command/codec_handles.h"
#include "command/console.h"
#include "command/conversions.h"
#include "command/io_failure.h"
#include "command/output.h"
#include "command/tag_names.h"
#include "command/x91_reader.h"

namespace x91::cli {

namespace {

struct BlockDeleter {
    void operator()(x91_block* block) const { x91_block_destroy(block); }
};
using BlockHandle = std::unique_ptr<x91_block, BlockDeleter>;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

Result read_failure(const std::string& what) {
    return io_failure(Status::read_failed, what, errno);
}

bool read_at(std::FILE* file, std::int64_t at, std::vector<std::uint8_t>& bytes) {
    return fseeko(file, at, SEEK_SET) == 0 &&
           std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// The decoder over the whole file, for its length and its block.
Result open_decoder(X91Reader& reader, DecoderHandle& decoder) {
    if (Result opened = reader.open(); !opened) return opened;
    x91_decoder* made = nullptr;
    const x91_status s = x91_decoder_open_callbacks(&made, &reader.io(), reader.user());
    if (s == X91_ERR_READ_FAILED) return reader.read_failure();
    if (s != X91_OK) return from_library(s, x91_thread_last_error());
    decoder.reset(made);
    return {};
}

// The CRC-32 of the file's first `bytes` bytes.
Result crc_of(std::FILE* file, std::int64_t bytes, std::uint32_t& crc) {
    std::vector<std::uint8_t> piece(1 << 20);
    crc = 0;
    if (fseeko(file, 0, SEEK_SET) != 0) return read_failure("read failed");
    for (std::int64_t left = bytes; left > 0;) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, piece.size()));
        if (std::fread(piece.data(), 1, n, file) != n) return read_failure("read failed");
        crc = x91_crc32(crc, piece.data(), n);
        left -= static_cast<std::int64_t>(n);
    }
    return {};
}

// The file's block as it stands and where it starts, or, for a file
// without one, a new block to follow its last byte.
Result current_block(const std::string& name, std::FILE* file, std::int64_t size,
                     BlockHandle& block, std::int64_t& block_at) {
    std::vector<std::uint8_t> footer(X91_EXTENSION_FOOTER_BYTES);
    std::uint64_t block_bytes = 0;
    const std::int64_t footer_at = size - static_cast<std::int64_t>(footer.size());
    if (footer_at < 0 || !read_at(file, footer_at, footer)) return read_failure("read failed");
    x91_block* made = nullptr;
    x91_status s = x91_extension_size(footer.data(), footer.size(), &block_bytes);
    if (s == X91_OK) {
        std::vector<std::uint8_t> bytes(block_bytes);
        block_at = size - static_cast<std::int64_t>(block_bytes);
        if (!read_at(file, block_at, bytes)) return read_failure("read failed");
        s = x91_block_open(&made, bytes.data(), bytes.size());
    } else {
        // What the file decodes to stays so: all of it, no lead-in cut.
        X91Reader reader{Source(name)};
        DecoderHandle decoder;
        if (Result opened = open_decoder(reader, decoder); !opened) return opened;
        std::uint32_t crc = 0;
        if (Result counted = crc_of(file, size, crc); !counted) return counted;
        s = x91_block_create(&made, x91_decoder_length(decoder.get()), 0, crc);
        block_at = size;
    }
    if (s != X91_OK) return from_library(s, x91_thread_last_error());
    block.reset(made);
    return {};
}

Result block_outcome(x91_status s, const char* what) {
    return s == X91_OK ? Result{} : Result{Status::invalid_argument, what};
}

Result apply_edits(x91_block* block, const TagEdits& edits) {
    Result r;
    if (edits.remove_all) r = block_outcome(x91_block_remove_tags(block, nullptr), "no tags");
    for (const std::string& name : edits.remove)
        if (r) r = block_outcome(x91_block_remove_tags(block, name.c_str()), "no tags");
    for (const Tag& tag : edits.set)
        if (r) r = block_outcome(x91_block_remove_tags(block, tag.name.c_str()), "no tags");
    for (const Tag& tag : edits.set)
        if (r)
            r = block_outcome(x91_block_add_tag(block, tag.name.c_str(), tag.value.c_str()),
                              "the tags do not fit the extension block's 16 MiB");
    for (const Picture& picture : edits.add_pictures) {
        const x91_picture p = library_picture(picture);
        if (r)
            r = block_outcome(x91_block_add_picture(block, &p),
                              "the picture does not fit the extension block's 16 MiB");
    }
    return r;
}

// The first `keep` bytes of the file, then the block's image, into a
// temporary file put in place of the original once complete.
Result rewrite(const std::string& name, std::FILE* file, std::int64_t keep, x91_block* block) {
    Output out;
    if (Result opened = out.open(name); !opened) return opened;
    std::vector<std::uint8_t> piece(1 << 20);
    if (fseeko(file, 0, SEEK_SET) != 0) return read_failure("read failed");
    for (std::int64_t left = keep; left > 0;) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, piece.size()));
        if (std::fread(piece.data(), 1, n, file) != n) return read_failure("read failed");
        if (std::fwrite(piece.data(), 1, n, out.stream()) != n)
            return io_failure(Status::write_failed, "cannot write", errno);
        left -= static_cast<std::int64_t>(n);
    }
    const std::uint8_t* image = nullptr;
    std::size_t size = 0;
    static_cast<void>(x91_block_image(block, &image, &size));
    if (std::fwrite(image, 1, size, out.stream()) != size)
        return io_failure(Status::write_failed, "cannot write", errno);
    return out.commit();
}

// The front cover, else the first picture, written to its file.
Result export_picture(const std::string& to, const Metadata& metadata) {
    if (metadata.pictures.empty()) return {Status::invalid_argument, "no picture to export"};
    const Picture* chosen = &metadata.pictures.front();
    for (const Picture& p : metadata.pictures)
        if (p.type == 3) {
            chosen = &p;
            break;
        }
    Output out;
    if (Result opened = out.open(to); !opened) return opened;
    if (std::fwrite(chosen->data.data(), 1, chosen->data.size(), out.stream()) !=
        chosen->data.size())
        return io_failure(Status::write_failed, "cannot write " + to, errno);
    return out.commit();
}

FileHandle open_regular(const std::string& name, std::int64_t& size, Result& failure) {
    struct stat info {};
    FileHandle file(std::fopen(name.c_str(), "rb"));
    if (!file) {
        failure = io_failure(Status::read_failed, "cannot open", errno);
    } else if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
        failure = {Status::invalid_argument, "not a regular file, which alone is changed in place"};
        file.reset();
    }
    size = info.st_size;
    return file;
}

std::string picture_line(const Picture& p) {
    std::string line = "picture: type " + std::to_string(p.type) + ", " + p.mime_type + ", ";
    if (p.width > 0) line += std::to_string(p.width) + "x" + std::to_string(p.height) + ", ";
    return line + std::to_string(p.data.size()) + " bytes" +
           (p.description.empty() ? "" : ", \"" + p.description + "\"");
}

}  // namespace

Result EditXFile(const std::string& name, const TagEdits& edits, x91_threads* threads) {
    if (Result checked = TestXFile(Source(name), threads); !check_passed(checked))
        return {checked.status, check_verdict(checked) + "; not changed"};
    Result failure;
    std::int64_t size = 0;
    const FileHandle file = open_regular(name, size, failure);
    if (!file) return failure;
    BlockHandle block;
    std::int64_t block_at = 0;
    if (Result found = current_block(name, file.get(), size, block, block_at); !found) return found;
    if (Result applied = apply_edits(block.get(), edits); !applied) return applied;
    if (edits.changes_file()) {
        if (Result written = rewrite(name, file.get(), block_at, block.get()); !written)
            return written;
    }
    return edits.export_picture ? export_picture(*edits.export_picture, block_metadata(block.get()))
                                : Result{};
}

Result ListXFile(const std::string& name, x91_threads* threads, std::string& listing) {
    X91Reader reader{Source(name)};
    DecoderHandle decoder;
    if (Result opened = open_decoder(reader, decoder); !opened) return opened;
    const std::uint64_t frames = x91_decoder_length(decoder.get());
    const bool exact = x91_decoder_exact_length(decoder.get(), nullptr, nullptr) == X91_OK;
    struct stat info {};
    const double seconds = static_cast<double>(frames) / kSampleRate;
    const double kbps = stat(name.c_str(), &info) == 0 && seconds > 0
                            ? static_cast<double>(info.st_size) * 8 / seconds / 1000
                            : 0.0;
    char line[160];
    std::snprintf(line, sizeof line,
                  "length: %" PRIu64 ":%06.3f (%" PRIu64
                  " sample frames%s)\n"
                  "average bit rate: %.1f kbit/s\n",
                  static_cast<std::uint64_t>(seconds / 60), seconds - 60 * std::floor(seconds / 60),
                  frames, exact ? ", exact" : ", as decoded: no extension block", kbps);
    listing = name + ":\n" + line;
    double quality = 0;
    if (x91_decoder_quality(decoder.get(), &quality) == X91_OK) {
        std::snprintf(line, sizeof line, "encoder settings: quality %.1f %%\n", quality);
        listing += line;
    }
    listing += "integrity: " + check_verdict(TestXFile(Source(name), threads)) + "\n";
    const Metadata metadata = decoder_metadata(decoder.get());
    for (const Tag& tag : metadata.tags) listing += tag.name + "=" + tag.value + "\n";
    for (const Picture& p : metadata.pictures) listing += picture_line(p) + "\n";
    return {};
}

}  // namespace x91::cli
