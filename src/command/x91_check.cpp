// -t: an x91 file judged by the library without writing anything.
#include "command/codec_handles.h"
#include "command/conversions.h"
#include "command/x91_reader.h"

namespace x91::cli {

Result TestXFile(const Source& in, x91_threads* threads) {
    X91Reader reader(in);
    if (Result opened = reader.open(); !opened) return opened;
    const x91_status verdict = x91_check_callbacks(&reader.io(), reader.user(), threads);
    if (verdict == X91_ERR_READ_FAILED) return reader.read_failure();
    return from_library(verdict, x91_thread_last_error());
}

}  // namespace x91::cli
