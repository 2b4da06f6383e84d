#include "command/codec_handles.h"

namespace x91::cli {

Result from_library(x91_status status, const std::string& message) {
    Status mapped = Status::ok;
    switch (status) {
        case X91_OK:
            return {};
        case X91_ERR_INVALID_ARGUMENT:
            mapped = Status::invalid_argument;
            break;
        case X91_ERR_NOT_X91:
            mapped = Status::not_x91;
            break;
        case X91_ERR_CUT_SHORT:
            mapped = Status::cut_short;
            break;
        case X91_ERR_HEADER_DAMAGED:
            mapped = Status::header_damaged;
            break;
        case X91_ERR_PACKET_TOO_LARGE:
            mapped = Status::packet_too_large;
            break;
        case X91_ERR_PACKET_DAMAGED:
            mapped = Status::packet_overrun;
            break;
        case X91_ERR_PACKET_UNREAD_BYTES:
            mapped = Status::packet_unread_bytes;
            break;
        case X91_ERR_NO_EXTENSION:
            mapped = Status::no_extension;
            break;
        case X91_ERR_EXTENSION_DAMAGED:
            mapped = Status::extension_damaged;
            break;
        case X91_ERR_EXTENSION_UNKNOWN:
            mapped = Status::extension_unknown;
            break;
        case X91_ERR_CHECKSUM_MISMATCH:
            mapped = Status::checksum_mismatch;
            break;
        case X91_ERR_READ_FAILED:
            mapped = Status::read_failed;
            break;
        case X91_ERR_WRITE_FAILED:
            mapped = Status::write_failed;
            break;
        case X91_ERR_TOO_DAMAGED:
            mapped = Status::too_damaged;
            break;
        case X91_ERR_TRAILING_BYTES:
            mapped = Status::trailing_bytes;
            break;
        case X91_ERR_OUT_OF_MEMORY:
            mapped = Status::out_of_memory;
            break;
        case X91_ERR_INVALID_STATE:
        case X91_ERR_INTERNAL:
            mapped = Status::invalid_state;
            break;
    }
    return {mapped, message.empty() ? x91_status_text(status) : message};
}

}  // namespace x91::cli
