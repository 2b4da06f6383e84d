#include "storage/wave_writer.h"

#include <cstring>
#include <string>

namespace x91 {

da_WaveWriter::da_WaveWriter(const char* name, da_PcmWaveFormat format,
                             const std::vector<InfoText>& info)
    : file_(name), format_(format) {
    if (!file_) {
        status_ = {Status::write_failed,
                   std::string("cannot create: ") + std::strerror(file_.error())};
        return;
    }
    // Each write's own result is not needed: the file's failure state is
    // sticky and note_failure() reads it once at the end.
    riff_ = prepare_block_header(file_, ID4_RIFF);
    static_cast<void>(file_ <= ID4_WAVE);
    const WriteBlockInfo fmt = prepare_block_header(file_, ID4_FMT);
    static_cast<void>(file_ <= format_);
    finish_block__fix_header(file_, fmt);
    write_info(info);
    data_ = prepare_block_header(file_, ID4_DATA);
    note_failure();
}

da_WaveWriter::da_WaveWriter(std::FILE* stream, da_PcmWaveFormat format,
                             const std::vector<InfoText>& info)
    : file_(stream), format_(format), streaming_(true) {
    if (!file_) {
        status_ = {Status::write_failed,
                   std::string("cannot write: ") + std::strerror(file_.error())};
        return;
    }
    constexpr std::uint32_t kUnknown = 0xFFFFFFFF;
    static_cast<void>(file_ <= BlockHeader(ID4_RIFF, kUnknown));
    static_cast<void>(file_ <= ID4_WAVE);
    static_cast<void>(file_ <= BlockHeader(ID4_FMT, 16));
    static_cast<void>(file_ <= format_);
    write_info(info);
    static_cast<void>(file_ <= BlockHeader(ID4_DATA, kUnknown));
    note_failure();
}

void da_WaveWriter::write_info(const std::vector<InfoText>& info) {
    const std::vector<unsigned char> list = info_list_image(info);
    static_cast<void>(
        file_.write(reinterpret_cast<const char*>(list.data()), static_cast<int>(list.size())));
}

da_WaveWriter::~da_WaveWriter() {
    static_cast<void>(finish());
}

void da_WaveWriter::note_failure() {
    if (!file_ && status_) {
        status_ = {Status::write_failed, "write failed"};
        if (file_.error() != 0) status_.message += std::string(": ") + std::strerror(file_.error());
    }
}

int da_WaveWriter::rawwrite(const char* buf, int n) {
    const int written = file_.write(buf, n);
    note_failure();
    return written;
}

Result da_WaveWriter::finish() {
    if (finished_) return status_;
    finished_ = true;
    if (!file_) {
        file_.close();
        return status_;
    }
    if (streaming_) {
        file_.close();
        note_failure();
        return status_;
    }
    const bool data_fits = finish_block__fix_header(file_, data_);
    const bool riff_fits = finish_block__fix_header(file_, riff_);
    const bool closed = file_.close();
    note_failure();
    if (closed && !(data_fits && riff_fits) && status_) {
        status_ = {Status::write_failed, "WAV data too large for its 32-bit size fields"};
    }
    return status_;
}

}  // namespace x91
