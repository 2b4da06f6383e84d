#include "api/api_status.h"

#include <optional>

#include "format/settings_io.h"
#include "library/threading.h"
#include "library/version.h"
#include "stream/stream_info.h"
#include "stream/tags.h"

namespace x91 {

x91_status to_c_status(Status status) {
    switch (status) {
        case Status::ok:
            return X91_OK;
        case Status::invalid_argument:
            return X91_ERR_INVALID_ARGUMENT;
        case Status::invalid_state:
            return X91_ERR_INVALID_STATE;
        case Status::not_x91:
            return X91_ERR_NOT_X91;
        case Status::cut_short:
            return X91_ERR_CUT_SHORT;
        case Status::header_damaged:
            return X91_ERR_HEADER_DAMAGED;
        case Status::packet_too_large:
            return X91_ERR_PACKET_TOO_LARGE;
        case Status::packet_overrun:
            return X91_ERR_PACKET_DAMAGED;
        case Status::packet_unread_bytes:
            return X91_ERR_PACKET_UNREAD_BYTES;
        case Status::no_extension:
            return X91_ERR_NO_EXTENSION;
        case Status::extension_damaged:
            return X91_ERR_EXTENSION_DAMAGED;
        case Status::extension_unknown:
            return X91_ERR_EXTENSION_UNKNOWN;
        case Status::checksum_mismatch:
            return X91_ERR_CHECKSUM_MISMATCH;
        case Status::out_of_memory:
            return X91_ERR_OUT_OF_MEMORY;
        case Status::read_failed:
            return X91_ERR_READ_FAILED;
        case Status::write_failed:
            return X91_ERR_WRITE_FAILED;
        case Status::too_damaged:
            return X91_ERR_TOO_DAMAGED;
        case Status::trailing_bytes:
            return X91_ERR_TRAILING_BYTES;
    }
    return X91_ERR_INTERNAL;
}

std::string& thread_last_error() {
    thread_local std::string error;
    return error;
}

}  // namespace x91

extern "C" {

const char* x91_status_text(x91_status status) {
    switch (status) {
        case X91_OK:
            return "ok";
        case X91_ERR_INVALID_ARGUMENT:
            return "invalid argument";
        case X91_ERR_INVALID_STATE:
            return "call out of order";
        case X91_ERR_OUT_OF_MEMORY:
            return "out of memory";
        case X91_ERR_NOT_X91:
            return "not an x91 file";
        case X91_ERR_CUT_SHORT:
            return "cut short";
        case X91_ERR_HEADER_DAMAGED:
            return "header damaged";
        case X91_ERR_PACKET_TOO_LARGE:
            return "packet too large";
        case X91_ERR_PACKET_DAMAGED:
            return "packet damaged";
        case X91_ERR_PACKET_UNREAD_BYTES:
            return "packet has unread bytes";
        case X91_ERR_INTERNAL:
            return "internal error";
        case X91_ERR_NO_EXTENSION:
            return "no extension block";
        case X91_ERR_EXTENSION_DAMAGED:
            return "extension block damaged";
        case X91_ERR_EXTENSION_UNKNOWN:
            return "extension block of an unknown version";
        case X91_ERR_CHECKSUM_MISMATCH:
            return "checksum mismatch";
        case X91_ERR_READ_FAILED:
            return "read failed";
        case X91_ERR_WRITE_FAILED:
            return "write failed";
        case X91_ERR_TOO_DAMAGED:
            return "too many damaged packets in a row";
        case X91_ERR_TRAILING_BYTES:
            return "bytes follow the end marker";
    }
    return "unknown status";
}

const char* x91_version(void) {
    return x91::version();
}

x91_status x91_probe(const uint8_t* data, size_t size) {
    if (data == nullptr && size > 0) return X91_ERR_INVALID_ARGUMENT;
    std::string ignored;
    return x91::guarded(ignored, [&] {
        std::optional<x91::CheckedSettings> settings;
        return x91::parse_x91_header(data, size, settings);
    });
}

x91_status x91_extension_size(const uint8_t* footer, size_t size, uint64_t* block_bytes) {
    if (footer == nullptr || block_bytes == nullptr || size != X91_EXTENSION_FOOTER_BYTES)
        return X91_ERR_INVALID_ARGUMENT;
    std::string ignored;
    return x91::guarded(ignored, [&] {
        std::uint64_t bytes = 0;
        x91::Result found = x91::extension_size(footer, bytes);
        *block_bytes = found ? bytes : 0;
        return found;
    });
}

}  // extern "C"

extern "C" {

x91_status x91_tag_check(const char* name, const char* value) {
    if (name == nullptr || value == nullptr) return X91_ERR_INVALID_ARGUMENT;
    std::string ignored;
    return x91::guarded(ignored, [&] {
        std::vector<std::string> texts;
        return x91::texts_from_tags({{name, value}}, texts);
    });
}

const char* x91_thread_last_error(void) {
    return x91::thread_last_error().c_str();
}

int x91_available_threads(void) {
    return x91::available_threads();
}

}  // extern "C"
