// A whole x91 file read and judged without delivering its audio: whether it
// is exactly as its encoder wrote it.
#pragma once

#include "stream/byte_source.h"
#include "stream/packet_sequence.h"
#include "x91/status.h"

namespace x91 {

// Reads source to its end (at will when it tells its size, in one pass
// otherwise) and decodes every packet. ok when the file is intact: its
// header is valid, the decoders read every packet to within its last byte
// and no further, the end marker is there, and the extension block right
// behind it is intact with the CRC of every byte before it. no_extension,
// intact too, when nothing follows the end marker; extension_unknown, intact
// as far as can be told, for a block of a later version. Otherwise the
// first thing that is not so, in file order; but when the block is intact
// and the bytes before it are not those it was made for, checksum_mismatch
// comes first, since it tells more than the damage it causes further on. A
// source that fails gives read_failed.
Result check_stream(ByteSource& source, const DecodeThreads& threads);

}  // namespace x91
