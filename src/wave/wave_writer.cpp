#include "wave/wave_writer.h"

#include <cstring>
#include <string>

namespace x91 {

namespace {

constexpr std::uint32_t kSizeUnknown = 0xFFFFFFFF;
constexpr Id4 ID4_RF64{"RF64"};
constexpr Id4 ID4_DS64{"ds64"};
// RIFF size, data size and sample count (64 bits each), then the length of
// a table of other chunk sizes, which stays empty.
constexpr std::uint32_t kDs64Bytes = 28;
constexpr std::int64_t kLargestRiffSize = 0xFFFFFFFF;

}  // namespace

da_WaveWriter::da_WaveWriter(const char* name, da_PcmWaveFormat format,
                             std::int64_t expected_data_bytes, const std::vector<InfoText>& info)
    : file_(name), format_(format) {
    if (!file_) {
        status_ = {Status::write_failed,
                   std::string("cannot create: ") + std::strerror(file_.error())};
        return;
    }
    write_header(expected_data_bytes, info);
}

da_WaveWriter::da_WaveWriter(std::FILE* stream, da_PcmWaveFormat format, Sizes sizes,
                             std::int64_t expected_data_bytes, const std::vector<InfoText>& info)
    : file_(stream), format_(format), streaming_(sizes == Sizes::streamed) {
    if (!file_) {
        status_ = {Status::write_failed,
                   std::string("cannot write: ") + std::strerror(file_.error())};
        return;
    }
    if (!streaming_) {
        write_header(expected_data_bytes, info);
        return;
    }
    static_cast<void>(file_ <= BlockHeader(ID4_RIFF, kSizeUnknown));
    static_cast<void>(file_ <= ID4_WAVE);
    static_cast<void>(file_ <= BlockHeader(ID4_FMT, 16));
    static_cast<void>(file_ <= format_);
    write_list(info_list_image(info));
    static_cast<void>(file_ <= BlockHeader(ID4_DATA, kSizeUnknown));
    note_failure();
}

void da_WaveWriter::write_list(const std::vector<unsigned char>& list) {
    static_cast<void>(
        file_.write(reinterpret_cast<const char*>(list.data()), static_cast<int>(list.size())));
}

da_WaveWriter::~da_WaveWriter() {
    static_cast<void>(finish());
}

// Each write's own result is not needed: the file's failure state is sticky
// and note_failure() reads it once at the end. The RIFF size counts the
// texts too, so they take their room from the data's.
void da_WaveWriter::write_header(std::int64_t expected_data_bytes,
                                 const std::vector<InfoText>& info) {
    const std::vector<unsigned char> list = info_list_image(info);
    if (expected_data_bytes > kLargestRiffData - static_cast<std::int64_t>(list.size())) {
        riff_.header_position = file_.possition();
        static_cast<void>(file_ <= BlockHeader(ID4_RF64, kSizeUnknown));
        static_cast<void>(file_ <= ID4_WAVE);
        static_cast<void>(file_ <= BlockHeader(ID4_DS64, kDs64Bytes));
        ds64_start_ = file_.possition();
        for (int i = 0; i < 3; ++i) static_cast<void>(write(file_, std::uint64_t{0}));
        static_cast<void>(write(file_, std::uint32_t{0}));
    } else {
        riff_ = prepare_block_header(file_, ID4_RIFF);
        static_cast<void>(file_ <= ID4_WAVE);
    }
    const WriteBlockInfo fmt = prepare_block_header(file_, ID4_FMT);
    static_cast<void>(file_ <= format_);
    finish_block__fix_header(file_, fmt);
    write_list(list);
    if (ds64_start_ >= 0) {
        static_cast<void>(file_ <= BlockHeader(ID4_DATA, kSizeUnknown));
        data_.start = file_.possition();
    } else {
        data_ = prepare_block_header(file_, ID4_DATA);
    }
    note_failure();
}

void da_WaveWriter::note_failure() {
    if (!file_ && status_) {
        status_ = {Status::write_failed, "write failed"};
        if (file_.error() != 0) status_.message += std::string(": ") + std::strerror(file_.error());
    }
}

int da_WaveWriter::rawwrite(const char* buf, int n) {
    // The RIFF size, which counts everything behind its own field, is the
    // first to overflow.
    const bool sizes_fit =
        streaming_ || ds64_start_ >= 0 || file_.possition() + n - riff_.start <= kLargestRiffSize;
    if (!sizes_fit && status_) {
        status_ = {Status::write_failed, "WAV data too large for its 32-bit size fields"};
    }
    if (failed()) return 0;
    const int written = file_.write(buf, n);
    note_failure();
    return written;
}

// The three 64-bit sizes, measured from the header's own start so that a
// file written at an offset of its stream counts right.
bool da_WaveWriter::fix_rf64_sizes() {
    const std::int64_t end = file_.possition();
    const auto data_bytes = static_cast<std::uint64_t>(end - data_.start);
    const auto riff_bytes = static_cast<std::uint64_t>(end - riff_.header_position - 8);
    const bool written = file_.seek(ds64_start_) == ds64_start_ && write(file_, riff_bytes) &&
                         write(file_, data_bytes) && write(file_, data_bytes / format_.block_align);
    return file_.seek(end) == end && written;
}

Result da_WaveWriter::finish() {
    if (finished_) return status_;
    finished_ = true;
    if (failed() || streaming_) {
        file_.close();
        note_failure();
        return status_;
    }
    if (ds64_start_ >= 0) {
        static_cast<void>(fix_rf64_sizes());
    } else {
        static_cast<void>(finish_block__fix_header(file_, data_));
        static_cast<void>(finish_block__fix_header(file_, riff_));
    }
    file_.close();
    note_failure();
    return status_;
}

}  // namespace x91
