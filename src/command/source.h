// Where a conversion reads from: a named file, or an open stream (standard
// input, or a named pipe) of which the first bytes were already taken to see
// what it holds.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

namespace x91::cli {

struct Source {
    std::string name;             // shown in messages
    std::FILE* stream = nullptr;  // null: open name
    std::string taken;            // bytes taken from stream, read again first
    // Closes a stream the command opened itself once the last copy of the
    // source is gone; empty for standard input.
    std::shared_ptr<std::FILE> owned_stream;

    Source(std::string file_name) : name(std::move(file_name)) {}
    Source(const char* file_name) : name(file_name) {}
    Source(std::string shown_name, std::FILE* open_stream, std::string taken_bytes)
        : name(std::move(shown_name)), stream(open_stream), taken(std::move(taken_bytes)) {}
};

}  // namespace x91::cli
