// The length the outer header of a RIFF, RF64, W64 or AIFF file gives for
// the whole file. libsndfile reads such a file as far as it goes, as if it
// were whole: a header that promises more than the file holds is how a
// file cut short shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace x91::cli {

// The first kDeclaredLengthBytes of a file (fewer when it is shorter) give
// the length its header declares; nullopt for another format, or a header
// that leaves the length open (0, or all ones as streaming writers leave it).
inline constexpr std::size_t kDeclaredLengthBytes = 28;
std::optional<std::uint64_t> declared_length(const unsigned char* head, std::size_t n);

// True when an input whose first n bytes are head, and which holds length
// bytes in all, is shorter than its header declares, by more than the few
// bytes that careless writers count too many.
bool shorter_than_declared(const unsigned char* head, std::size_t n, std::uint64_t length);
// The same for the file `name` of `size` bytes.
bool file_shorter_than_declared(const std::string& name, std::int64_t size);

}  // namespace x91::cli
