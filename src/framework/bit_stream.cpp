#include "framework/bit_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace x91 {

const unsigned char BITS[8] = {1, 2, 4, 8, 16, 32, 64, 128};

int get_bit(const unsigned char* buf, int p) {
    return (buf[p >> 3] & BITS[p & 7]) ? 1 : 0;
}

void set_bit(unsigned char* buf, int p, bool value) {
    if (value)
        buf[p >> 3] |= BITS[p & 7];
    else
        buf[p >> 3] &= static_cast<unsigned char>(~BITS[p & 7]);
}

da_BinRWBase::da_BinRWBase(unsigned char* buffer, int capacity, bool owns, BinRWState state)
    : buffer_(buffer), capacity_(capacity > 0 ? capacity : 0), owns_(owns), state_(state) {}

da_BinRWBase::~da_BinRWBase() {
    if (owns_) delete[] buffer_;
}

void da_BinRWBase::finish() {
    const int pos = state_.bit_pos;
    if ((pos & 7) == 0 || (pos >> 3) >= capacity_) return;
    buffer_[pos >> 3] &= static_cast<unsigned char>((1u << (pos & 7)) - 1);
}

void da_BinRWBase::grow(long long needed_bits) {
    // Positions are ints, so a packet can hold at most INT_MAX bits; an
    // encoder that needs more has run out of room like running out of memory.
    const long long limit = static_cast<long long>(INT_MAX) / 8 + 1;
    const long long needed = (needed_bits + 7) / 8;
    if (needed > limit) throw std::bad_alloc();
    const long long grown = std::min(limit, std::max({needed, 2LL * capacity_, 64LL}));
    unsigned char* larger = new unsigned char[grown];
    if (capacity_ > 0) std::memcpy(larger, buffer_, static_cast<std::size_t>(capacity_));
    if (owns_) delete[] buffer_;
    buffer_ = larger;
    capacity_ = static_cast<int>(grown);
    owns_ = true;
}

void da_BinRWBase::write_slow(std::uint32_t stream_bits, int nbits) {
    for (int i = 0; i < nbits; ++i) set_bit(buffer_, state_.bit_pos++, (stream_bits >> i) & 1);
}

std::uint32_t da_BinRWBase::read_slow(int nbits) {
    const long long end_bits = static_cast<long long>(capacity_) * 8;
    std::uint32_t stream_bits = 0;
    for (int i = 0; i < nbits; ++i) {
        const int p = state_.bit_pos++;
        if (p < end_bits)
            stream_bits |= static_cast<std::uint32_t>(get_bit(buffer_, p)) << i;
        else
            overran_ = true;
    }
    return stream_bits;
}

}  // namespace x91
