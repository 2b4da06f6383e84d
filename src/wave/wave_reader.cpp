#include "wave/wave_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "wave/riff_info.h"

namespace x91 {

namespace {

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string tag_text(std::uint32_t tag) {
    std::string text = "format tag " + std::to_string(tag);
    if (tag == 3) text += " (float)";
    return text;
}

// What the format is instead of CD audio, one phrase per difference. Block
// align and byte rate follow from the other fields, so they are named only
// when those fields are right and the record still disagrees with itself.
std::string differences(const std::string& tag_difference, const da_PcmWaveFormat& f) {
    std::vector<std::string> parts;
    if (!tag_difference.empty()) parts.push_back(tag_difference);
    if (f.channels != 2) {
        parts.push_back(std::to_string(f.channels) + (f.channels == 1 ? " channel" : " channels"));
    }
    if (f.samples_per_second != 44100)
        parts.push_back(std::to_string(f.samples_per_second) + " Hz");
    if (f.bits_per_sample != 16) parts.push_back(std::to_string(f.bits_per_sample) + " bits");
    if (f.channels == 2 && f.bits_per_sample == 16 && f.block_align != 4) {
        parts.push_back("block align " + std::to_string(f.block_align));
    }
    if (f.samples_per_second == 44100 && f.block_align == 4 && f.bytes_per_second != 176400) {
        parts.push_back(std::to_string(f.bytes_per_second) + " bytes per second");
    }
    std::string joined;
    for (const std::string& part : parts) {
        if (!joined.empty()) joined += ", ";
        joined += part;
    }
    return joined;
}

constexpr const char* kNotCd = "not 16-bit stereo 44100 Hz PCM: ";
constexpr const char* kCutShort = "WAV header cut short";

// Extensible format: 16-byte record, then cbSize, valid bits, channel mask
// and the 16-byte subformat GUID. Every standard subformat shares this tail
// and carries its plain format tag in the first four bytes.
constexpr std::uint16_t kExtensibleTag = 0xFFFE;
constexpr std::uint32_t kExtensibleBytes = 40;
constexpr unsigned char kGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                         0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// A data size of all ones is what streaming writers leave when they cannot
// go back to fix the header: the data runs to the end of the file.
constexpr std::uint32_t kSizeUnknown = 0xFFFFFFFF;

// Empty when the record is CD audio, otherwise why not. `ext` is the tail of
// an extensible record (cbSize onwards), null when the chunk is too short to
// carry one.
std::string format_problem(const da_PcmWaveFormat& format, const unsigned char* ext) {
    std::string tag_difference;
    if (format.format_tag == kExtensibleTag) {
        if (ext == nullptr || static_cast<unsigned>(ext[0] | ext[1] << 8) < 22) {
            tag_difference = "format tag 65534 (no subformat)";
        } else if (std::memcmp(ext + 12, kGuidTail, sizeof kGuidTail) != 0) {
            tag_difference = "format tag 65534 (unknown subformat)";
        } else if (const std::uint32_t sub = le32(ext + 8); sub != 1) {
            tag_difference = tag_text(sub);
        }
    } else if (format.format_tag != 1) {
        tag_difference = tag_text(format.format_tag);
    }
    const std::string diff = differences(tag_difference, format);
    return diff.empty() ? diff : kNotCd + diff;
}

// "RIFF" and "WAVE" at their places in the first bytes of a file; only the
// part present is compared, so a short file of the right start is "cut
// short" rather than "not a WAV file".
bool riff_wave_start(const unsigned char* head, int n) {
    for (int i = 0; i < n && i < 12; ++i) {
        if ((i < 4 && head[i] != static_cast<unsigned char>(ID4_RIFF.c[i])) ||
            (i >= 8 && head[i] != static_cast<unsigned char>(ID4_WAVE.c[i - 8]))) {
            return false;
        }
    }
    return true;
}

// Chunk ids are four printable ASCII characters ("data", "LIST", "fmt ").
bool chunk_id_like(const char* bytes) {
    return std::all_of(bytes, bytes + 4, [](char c) { return c >= 0x20 && c <= 0x7E; });
}

}  // namespace

// A name may stand for a pipe (a FIFO, /dev/stdin, a shell's <(...)): it is
// read as the stream it is.
da_WaveReader::da_WaveReader(const char* name) : file_(name) {
    streaming_ = file_ && !file_.seekable();
    parse();
}

da_WaveReader::da_WaveReader(std::FILE* stream, const char* taken, int n)
    : file_(stream, taken, n), streaming_(true) {
    // What the walk reads of a stream is kept, so that a reader of other
    // formats can start over from the first byte when this one refuses the
    // format.
    file_.keep_reads(kMaxStreamStart);
    parse();
    const std::string* kept = file_.stop_keeping();
    if (other_format_ && kept) stream_start_ = *kept;
    stream_start_kept_ = kept != nullptr;
}

void da_WaveReader::refuse(std::string reason) {
    problem_ = std::move(reason);
    format_ = da_PcmWaveFormat();
    data_bytes_ = 0;
}

// One forward walk over the chunks serves files and streams alike: the
// reader skips a file's chunks by seeking and a stream's by reading them, so
// both meet the same checks. What differs is only what a file allows
// besides: its size bounds the data from the start, and it can go back to
// sample data that stands before "fmt ".
void da_WaveReader::parse() {
    if (!file_) {
        refuse(std::string("cannot open: ") + std::strerror(file_.error()));
        return;
    }
    const std::int64_t file_size = streaming_ ? -1 : file_.size();
    if (!streaming_ && file_size < 0) {
        refuse(std::string("cannot open: ") + std::strerror(file_.error()));
        return;
    }
    std::int64_t riff_end = 0;
    ReadBlockInfo data;
    bool data_before_format = false;
    if (!read_riff_head(riff_end) || !walk_to_data(riff_end, data, data_before_format)) return;
    take_data(data, file_size);
    if (!streaming_ && !cut_short_ && !data_before_format && data.size != kSizeUnknown)
        read_trailing_info(data, file_size);
}

// "RIFF", form size, "WAVE". Whatever part of it is present must match.
bool da_WaveReader::read_riff_head(std::int64_t& riff_end) {
    unsigned char head[12];
    const int head_bytes = file_.read(reinterpret_cast<char*>(head), 12);
    if (!riff_wave_start(head, head_bytes)) {
        refuse("not a WAV file");
        other_format_ = true;
        return false;
    }
    if (head_bytes < 12) {
        refuse(kCutShort);
        return false;
    }
    // The form size is used only to tell an input that ends too early from
    // one that lacks a chunk; files from aborted runs carry 0 there.
    riff_end = std::int64_t{8} + le32(head + 4);
    return true;
}

// Walks the chunks until both "fmt " and "data" are found, reading the
// format and the texts on the way. True with the reader at the first
// sample byte and data the data chunk's header; data_before_format when the
// walk went back to it and so has passed the chunks behind it.
bool da_WaveReader::walk_to_data(std::int64_t riff_end, ReadBlockInfo& data,
                                 bool& data_before_format) {
    bool have_format = false;
    bool data_seen = false;
    for (;;) {
        if (file_.at_end()) {
            const char* missing = have_format ? "no data chunk" : "no fmt chunk";
            refuse(riff_end > file_.possition() ? kCutShort : missing);
            return false;
        }
        const ReadBlockInfo chunk = read_block_header(file_);
        if (!file_) return refuse_cut_short();
        std::int64_t body_read = 0;
        if (chunk.id == ID4_DATA && !data_seen) {
            data = chunk;
            data_seen = true;
            if (have_format) return true;
            if (streaming_) {
                refuse("data chunk before the fmt chunk, which a stream cannot go back to");
                return false;
            }
        } else if (chunk.id == ID4_LIST && chunk.size <= kMaxListBytes && info_has_room()) {
            if (!read_info(chunk.size)) return refuse_cut_short();
            body_read = chunk.size;
        } else if (chunk.id == ID4_FMT && !have_format) {
            if (!check_format(chunk.size, body_read)) return false;
            have_format = true;
            if (data_seen) {
                data_before_format = true;
                return file_.seek(data.start) == data.start || refuse_cut_short();
            }
        }
        if (!skip_rest_of(chunk, body_read)) return refuse_cut_short();
    }
}

// Skips what is left of a chunk of which body_read bytes were read, and its
// pad byte.
bool da_WaveReader::skip_rest_of(const ReadBlockInfo& chunk, std::int64_t body_read) {
    const std::int64_t rest = chunk.size - body_read;
    if (file_.skip(rest) != rest) return false;
    if (pad_byte_follows(chunk)) file_.skip(next_block_position(chunk) - file_.possition());
    return true;
}

// Accepts the format and settles how much sample data there is.
void da_WaveReader::take_data(const ReadBlockInfo& data, std::int64_t file_size) {
    format_ = FORMAT_CDDA;
    std::int64_t bytes = data.size;
    if (streaming_) {
        // Data of unknown size runs to the end of the stream; data that
        // claims more than the stream holds is found out while reading.
        length_known_ = data.size != kSizeUnknown;
        if (!length_known_) bytes = 0;
    } else {
        const std::int64_t available = file_size - data.start;
        if (data.size == kSizeUnknown) {
            bytes = available;
        } else if (bytes > available) {
            bytes = available;
            cut_short_ = true;
        }
    }
    // Only whole frames are audio; a stray partial frame at the end is not.
    data_bytes_ = bytes - bytes % FORMAT_CDDA.block_align;
}

bool da_WaveReader::refuse_cut_short() {
    refuse(kCutShort);
    return false;
}

// The texts are kept while their bytes stay within kMaxInfoBytes; the
// chunks beyond are skipped unread, so that a file of many LIST chunks
// takes no more memory than that.
bool da_WaveReader::info_has_room() {
    if (info_bytes_ < kMaxInfoBytes) return true;
    info_left_out_ = true;
    return false;
}

bool da_WaveReader::read_info(std::uint32_t size) {
    std::vector<unsigned char> body(size);
    const int n = static_cast<int>(size);
    if (file_.read(reinterpret_cast<char*>(body.data()), n) != n) return false;
    for (InfoText& text : parse_info_list(body.data(), body.size())) {
        // A text costs its bytes and its record besides.
        const std::size_t cost = text.text.size() + sizeof(InfoText);
        if (info_bytes_ + cost > kMaxInfoBytes) {
            info_left_out_ = true;
            info_bytes_ = kMaxInfoBytes;
            break;
        }
        info_bytes_ += cost;
        info_.push_back(std::move(text));
    }
    return true;
}

// Many writers put their texts behind the audio. A file can look there and
// come back; a stream cannot, and keeps only the texts before the audio.
// Every read stays inside the file, so nothing here can fail the reader.
void da_WaveReader::read_trailing_info(const ReadBlockInfo& data, std::int64_t file_size) {
    constexpr int kMaxChunksBehind = 64;
    std::int64_t at = next_block_position(data);
    for (int k = 0; k < kMaxChunksBehind && at + 8 <= file_size; ++k) {
        if (file_.seek(at) != at) break;
        const ReadBlockInfo chunk = read_block_header(file_);
        if (!file_ || chunk.start + chunk.size > file_size) break;
        if (chunk.id == ID4_LIST && chunk.size <= kMaxListBytes && info_has_room() &&
            !read_info(chunk.size))
            break;
        at = next_block_position(chunk);
    }
    file_.seek(data.start);
}

// Behind an odd-sized chunk stands a pad byte of zero, though some writers
// leave it out, and the last chunk may end the file without one. A pad byte
// is missing where the next chunk's id starts right away: ids are printable,
// so they never start with the zero of a pad.
bool da_WaveReader::pad_byte_follows(const ReadBlockInfo& chunk) {
    if ((chunk.size & 1u) == 0) return false;
    char ahead[4];
    const int got = file_.peek(ahead, 4);
    return got > 0 && !(got == 4 && ahead[0] != 0 && chunk_id_like(ahead));
}

// Reads the bytes of a "fmt " chunk that decide the format and refuses the
// input unless they are CD audio; bytes_read tells how much of the chunk was
// taken.
bool da_WaveReader::check_format(std::uint32_t fmt_size, std::int64_t& bytes_read) {
    if (fmt_size < 16) {
        refuse(kNotCd + std::string("format record of ") + std::to_string(fmt_size) + " bytes");
        return false;
    }
    da_PcmWaveFormat format;
    if (!(file_ >= format)) {
        refuse(kCutShort);
        return false;
    }
    // An extensible record names its real format in a subformat behind the
    // plain record, when the chunk is long enough to hold one.
    unsigned char ext[kExtensibleBytes - 16];
    const bool has_ext = format.format_tag == kExtensibleTag && fmt_size >= kExtensibleBytes;
    const int ext_bytes = has_ext ? static_cast<int>(sizeof ext) : 0;
    if (file_.read(reinterpret_cast<char*>(ext), ext_bytes) != ext_bytes) {
        refuse(kCutShort);
        return false;
    }
    if (std::string problem = format_problem(format, has_ext ? ext : nullptr); !problem.empty()) {
        refuse(std::move(problem));
        other_format_ = true;
        return false;
    }
    bytes_read = 16 + ext_bytes;
    return true;
}

int da_WaveReader::rawread(char* buf, int n) {
    if (n <= 0) return 0;
    std::int64_t limit = n;
    if (length_known_) limit = std::min<std::int64_t>(n, data_bytes_ - consumed_);
    if (format_ != FORMAT_CDDA || ended_) limit = 0;
    const int want = static_cast<int>(std::max<std::int64_t>(0, limit));
    int got = 0;
    if (want > 0) {
        got = file_.read(buf, want);
        if (got < want) {
            ended_ = true;
            if (streaming_) {
                // Data of unknown length ends with the stream; one that
                // claimed more ends early. Only whole frames are audio.
                if (length_known_) cut_short_ = true;
                got -= got % FORMAT_CDDA.block_align;
            } else {
                cut_short_ = true;
                shrank_ = true;
            }
        }
        consumed_ += got;
    }
    std::memset(buf + got, 0, static_cast<std::size_t>(n - got));
    return got;
}

}  // namespace x91
