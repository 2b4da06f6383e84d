#include "format/packet_framing.h"

namespace x91 {

static_assert(sizeof(std::int32_t) == kPacketCountBytes);

bool write_packet_count(OutputStream& out, std::int32_t count) {
    return write(out, count);
}

bool read_packet_count(InputStream& in, std::int32_t& count) {
    return read(in, count);
}

}  // namespace x91
