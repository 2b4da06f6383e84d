// How every part of x91 reports an outcome: a Status, and for anything but
// ok a message for people. Bad input is reported this way, never through
// exceptions; only running out of memory throws.
#pragma once

#include <string>

namespace x91 {

enum class Status {
    ok,
    invalid_argument,     // an argument no call can work with (a quality out of range, ...)
    invalid_state,        // the call does not fit the object's state (push after finish, ...)
    not_x91,              // the data does not start with "x91"
    cut_short,            // the data ends inside a header, a count or a packet
    header_damaged,       // a stored setting the codec cannot run with
    packet_too_large,     // a packet count beyond kMaxPacketBytes, or negative
    packet_overrun,       // decoding ran past the packet's end: damaged, decoded as far as it goes
    packet_unread_bytes,  // decoding left whole bytes of the packet unread: the audio is
                          // there, but the packet is not what the encoder wrote
    trailing_bytes,       // bytes follow the end marker that are no extension block
    read_failed,          // the input could not be opened or read (a failed read callback)
    write_failed,         // the output could not be created or written (a failed write callback)
    no_extension,         // nothing follows the end marker: a file without the extension block
    extension_damaged,    // an extension block is there, but not as it was written
    extension_unknown,    // an extension block of a version this library does not know
    checksum_mismatch,    // the bytes before the extension block are not those it was made for
    too_damaged,          // a decode stopped: too many damaged packets in a row
    out_of_memory,        // memory ran out: the work was abandoned, nothing of it kept
};

// The outcome of a call. Ignoring one is a mistake the compiler points out.
struct [[nodiscard]] Result {
    Status status = Status::ok;
    // Empty for ok, e.g. "x91 header damaged: line count 0" otherwise.
    std::string message;

    bool ok() const { return status == Status::ok; }
    explicit operator bool() const { return ok(); }
};

}  // namespace x91
