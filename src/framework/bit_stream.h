// Packet objects: one byte buffer with a bit position, written and read bit by bit.
//
// Stream bit p is bit (p mod 8) of byte p / 8, bit 0 being the least
// significant: each byte fills from its low bit upwards. A value of several
// bits goes most significant bit first, so write(6, 3) at position 0 puts the
// bits 1, 1, 0 into bits 0, 1, 2 of byte 0.
//
// A packet travels on the queues as an owned da_BinRWBase. The encoder fills
// it through a da_BinWriter, the decoder drains it through a da_BinReader;
// both are views that keep no state of their own, so the writer's position is
// the reader's position and any number of views may come and go.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace x91 {

// Entry i is the mask of bit i of a byte: 1, 2, 4, ... 128.
extern const unsigned char BITS[8];

int get_bit(const unsigned char* buf, int p);
void set_bit(unsigned char* buf, int p, bool value);

struct BinRWState {
    explicit BinRWState(int position) : bit_pos(position) {}
    int bit_pos;  // bits from the start of the buffer
};

class da_BinRWBase {
  public:
    // capacity is the buffer's size in bytes; owns makes the destructor free
    // the buffer (allocated with new unsigned char[]).
    da_BinRWBase(unsigned char* buffer, int capacity, bool owns, BinRWState state = BinRWState(0));
    ~da_BinRWBase();
    da_BinRWBase(const da_BinRWBase&) = delete;
    da_BinRWBase& operator=(const da_BinRWBase&) = delete;

    // The buffer. A writer that outgrows it moves to a larger one, so take
    // data() only once writing is done.
    unsigned char* data() const { return buffer_; }
    // Bytes holding the bits written or read so far, rounded up.
    int bytes() const { return static_cast<int>((static_cast<long long>(state_.bit_pos) + 7) / 8); }
    int capacity() const { return capacity_; }
    bool owns() const { return owns_; }

    int possition() const { return state_.bit_pos; }
    void set_possition(int bit_pos) { state_.bit_pos = bit_pos; }

    // True once a read asked for bits beyond the buffer's end: the packet was
    // cut short or is not what its reader expects.
    bool overran() const { return overran_; }

    // Clears the bits of the last byte above the position. Trial encodings
    // may leave bits there; clearing them makes the same input give the same
    // file. Bits below the position are untouched.
    void finish();

  private:
    friend class da_BinWriter;
    friend class da_BinReader;

    void grow(long long needed_bits);
    void write_slow(std::uint32_t stream_bits, int nbits);
    std::uint32_t read_slow(int nbits);

    unsigned char* buffer_;
    int capacity_;
    bool owns_;
    BinRWState state_;
    bool overran_ = false;
};

namespace bit_stream_detail {

constexpr std::array<unsigned char, 256> make_reversed_bytes() {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b) {
        int r = 0;
        for (int i = 0; i < 8; ++i)
            if (b & (1 << i)) r |= 0x80 >> i;
        t[b] = static_cast<unsigned char>(r);
    }
    return t;
}

inline constexpr std::array<unsigned char, 256> kReversedByte = make_reversed_bytes();

// The low n bits of v (1 <= n <= 32) in reverse order.
inline std::uint32_t reverse_bits(std::uint32_t v, int n) {
    const std::uint32_t r = (std::uint32_t{kReversedByte[v & 0xFF]} << 24) |
                            (std::uint32_t{kReversedByte[(v >> 8) & 0xFF]} << 16) |
                            (std::uint32_t{kReversedByte[(v >> 16) & 0xFF]} << 8) |
                            std::uint32_t{kReversedByte[v >> 24]};
    return r >> (32 - n);
}

// All 64 bits of v in reverse order: the bytes swapped, then the bits within
// each byte.
inline std::uint64_t reverse_bits64(std::uint64_t v) {
    v = __builtin_bswap64(v);
    v = ((v >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((v & 0x0F0F0F0F0F0F0F0FULL) << 4);
    v = ((v >> 2) & 0x3333333333333333ULL) | ((v & 0x3333333333333333ULL) << 2);
    return ((v >> 1) & 0x5555555555555555ULL) | ((v & 0x5555555555555555ULL) << 1);
}

// Little-endian 64-bit words at any byte address; one plain load or store
// on little-endian machines.
inline std::uint64_t load_le64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

inline void store_le64(unsigned char* p, std::uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    std::memcpy(p, &v, sizeof v);
}

}  // namespace bit_stream_detail

// Appends bits at the packet's position. The buffer grows when a write would
// pass its end; a packet that fits is written exactly as it would be in place.
class da_BinWriter {
  public:
    explicit da_BinWriter(da_BinRWBase& packet) : p_(&packet) {}

    // The nbits low bits of value (0..31 bits), most significant first.
    // Every bit is set or cleared, so rewriting over trial bits leaves exactly
    // the new ones.
    void write(int value, int nbits) {
        if (nbits <= 0) return;
        const int pos = p_->state_.bit_pos;
        const long long end = static_cast<long long>(pos) + nbits;
        if (end > static_cast<long long>(p_->capacity_) * 8) p_->grow(end);
        const std::uint32_t v =
            static_cast<std::uint32_t>(value) & ((std::uint32_t{1} << nbits) - 1);
        const std::uint32_t stream_bits = bit_stream_detail::reverse_bits(v, nbits);
        const int byte = pos >> 3;
        if (byte + 8 <= p_->capacity_) {
            // Up to 7 + 31 bits span at most 5 bytes: one 64-bit word holds them.
            const int shift = pos & 7;
            const std::uint64_t mask = ((std::uint64_t{1} << nbits) - 1) << shift;
            unsigned char* at = p_->buffer_ + byte;
            const std::uint64_t word = bit_stream_detail::load_le64(at);
            bit_stream_detail::store_le64(at,
                                          (word & ~mask) | (std::uint64_t{stream_bits} << shift));
            p_->state_.bit_pos = static_cast<int>(end);
        } else {
            p_->write_slow(stream_bits, nbits);
        }
    }

    int possition() const { return p_->possition(); }
    void set_possition(int bit_pos) { p_->set_possition(bit_pos); }
    da_BinRWBase& packet() const { return *p_; }

  private:
    da_BinRWBase* p_;
};

// Takes bits from the packet's position. Bits beyond the buffer read as 0 and
// mark the packet as overran; nothing outside the buffer is ever touched.
class da_BinReader {
  public:
    explicit da_BinReader(da_BinRWBase& packet) : p_(&packet) {}

    // nbits (0..31) bits, the first one read becoming the most significant.
    int read(int nbits) {
        if (nbits <= 0) return 0;
        const int pos = p_->state_.bit_pos;
        const int byte = pos >> 3;
        std::uint32_t stream_bits;
        if (byte + 8 <= p_->capacity_) {
            const std::uint64_t word = bit_stream_detail::load_le64(p_->buffer_ + byte);
            stream_bits =
                static_cast<std::uint32_t>((word >> (pos & 7)) & ((std::uint64_t{1} << nbits) - 1));
            p_->state_.bit_pos = pos + nbits;
        } else {
            stream_bits = p_->read_slow(nbits);
        }
        return static_cast<int>(bit_stream_detail::reverse_bits(stream_bits, nbits));
    }

    int possition() const { return p_->possition(); }
    bool overran() const { return p_->overran(); }
    da_BinRWBase& packet() const { return *p_; }

  private:
    da_BinRWBase* p_;
};

}  // namespace x91
