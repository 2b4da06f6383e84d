// Integer codes over bounds that writer and reader both know: range numbers,
// increasing sets and bounded sequences with a known total.
//
// Each reader consumes exactly the bits its writer produced when given the
// same bounds. Given foreign bits, a reader still returns values inside the
// range its code allows, reads at most a bounded number of bits and
// allocates nothing beyond its output; it never fails.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/bit_stream.h"

namespace x91 {

// Number of significant bits of x; 0 for x <= 0.
constexpr int bin_size(int x) {
    if (x <= 0) return 0;
    return 32 - __builtin_clz(static_cast<unsigned>(x));
}
// 2 to the power k, k in 0..30.
constexpr int i_exp2(int k) {
    return 1 << k;
}

// Collects codes of up to 31 bits in a word and hands them to the packet 24
// bits at a time: the stream gets the same bits in the same order, with far
// fewer writes for codes of a few bits. The packet's position lags until
// flush(), which must come before anything else writes or reads the position.
class da_BitBatch {
  public:
    explicit da_BitBatch(da_BinWriter& w) : w_(&w) {}

    void write(int value, int nbits) {
        if (nbits <= 0) return;
        acc_ = (acc_ << nbits) | (static_cast<std::uint64_t>(static_cast<std::uint32_t>(value)) &
                                  ((std::uint64_t{1} << nbits) - 1));
        count_ += nbits;  // at most 23 + 31 bits pending
        if (count_ >= 24) {
            count_ -= 24;
            w_->write(static_cast<int>((acc_ >> count_) & 0xFFFFFF), 24);
        }
    }
    void flush() {
        if (count_ > 0)
            w_->write(static_cast<int>(acc_ & ((std::uint64_t{1} << count_) - 1)), count_);
        count_ = 0;
    }

  private:
    da_BinWriter* w_;
    std::uint64_t acc_ = 0;
    int count_ = 0;
};

// Reads ahead of the codes that use it, holding the next stream bits in one
// 64-bit word, first bit at the top: a code's bits are a shift away, with no
// reversal per read, and a range number costs one look and one skip. Bits past
// the buffer's end read as 0, exactly as the packet's own reads give them; the
// packet learns the position (and that it ran past its end, if so) only at
// release(), which must come before anything else reads or looks at it.
class da_BitWindow {
  public:
    explicit da_BitWindow(da_BinReader& r)
        : r_(&r),
          buffer_(r.packet().data()),
          capacity_(r.packet().capacity()),
          base_(static_cast<long long>(r.possition()) - kWordBits) {}

    // The next nbits (1..32) bits without taking them.
    std::uint32_t peek(int nbits) {
        if (count_ < nbits) refill();
        return static_cast<std::uint32_t>(acc_ >> (kWordBits - nbits));
    }
    void skip(int nbits) {  // at most the bits that were peeked
        acc_ <<= nbits;
        count_ -= nbits;
    }
    int read(int nbits) {  // 0..31 bits
        if (nbits <= 0) return 0;
        const std::uint32_t v = peek(nbits);
        skip(nbits);
        return static_cast<int>(v);
    }
    long long possition() const { return base_ + kWordBits - count_; }
    void release();

  private:
    static constexpr int kWordBits = 64;
    // Loads the 64 bits from the byte holding the position on, so at least
    // 57 bits lie ahead afterwards.
    void refill() {
        const long long pos = possition();
        const long long byte = pos >> 3;
        const std::uint64_t word = byte + 8 <= capacity_
                                       ? bit_stream_detail::load_le64(buffer_ + byte)
                                       : word_at_end(buffer_, capacity_, byte);
        acc_ = bit_stream_detail::reverse_bits64(word) << (pos & 7);
        base_ = byte * 8;
        count_ = kWordBits - static_cast<int>(pos & 7);
    }
    // The bytes from `byte` on as refill() sees them, zeros past the end.
    // Static, so that a window held in a local variable can live in
    // registers.
    static std::uint64_t word_at_end(const unsigned char* buffer, int capacity, long long byte);

    da_BinReader* r_;
    const unsigned char* buffer_;
    int capacity_;
    long long base_;  // stream position of the loaded word's first bit
    std::uint64_t acc_ = 0;
    int count_ = 0;  // bits of acc_ not yet taken
};

// Shape of the set coders that the layered codes take: (stream, set, lo, hi, k).
using SetWriterFn = void (*)(da_BinWriter&, int const*, int, int, int);
using SetReaderFn = void (*)(da_BinReader&, int*, int, int, int);

// v in 0..n-1 in the fewest whole bits, counting down from n-1: with h the
// largest power of two not above n, values n-h..h-1 take bin_size(n)-1 bits
// and the others one more. n < 2 writes nothing. For n = 5 the codewords of
// v = 0..4 are 001, 11, 10, 01, 000.
template <typename Writer>
constexpr void write_rng_num(Writer& w, int n, int v) {
    if (n < 2) return;
    const int s = bin_size(n);
    const int h = i_exp2(s - 1);
    const int u = n - 1 - v;
    const int low = u & (h - 1);  // u mod h
    // n mod h is n - h, since h <= n < 2h. The optional bit (u div h) follows
    // the low bits, so both go out as one s-bit word.
    if (low < n - h)
        w.write((low << 1) | (u >> (s - 1)), s);
    else
        w.write(low, s - 1);
}
// The number of bits write_rng_num(w, n, v) writes, found without writing.
constexpr int rng_num_bits(int n, int v) {
    if (n < 2) return 0;
    const int s = bin_size(n);
    const int h = i_exp2(s - 1);
    const int low = (n - 1 - v) & (h - 1);
    return low < n - h ? s : s - 1;
}
// 0..n-1 for any bits when n >= 1; n - 1 for n <= 0 (no value exists).
template <typename Reader>
constexpr int read_rng_num(Reader& r, int n) {
    if (n < 2) return n - 1;
    const int s = bin_size(n);
    const int h = i_exp2(s - 1);
    int c = r.read(s - 1);  // c < h
    // The extra bit only follows c < n - h, so c + h stays below n and the
    // result below n: no bit pattern can leave the range.
    if (c < n - h) c += h * r.read(1);
    return n - 1 - c;
}

// The same range number from a window: all s bits are looked at once, and the
// last one is taken only when the shorter codeword does not apply.
inline int read_rng_num(da_BitWindow& r, int n) {
    if (n < 2) return n - 1;
    const int s = bin_size(n);
    const std::uint32_t w = r.peek(s);
    std::uint32_t c = w >> 1;
    const std::uint32_t longer = c < static_cast<std::uint32_t>(n) - (1u << (s - 1)) ? 1 : 0;
    c |= (w & longer) << (s - 1);
    r.skip(s - 1 + static_cast<int>(longer));
    return n - 1 - static_cast<int>(c);
}

// A strictly increasing set p[0..k-1] within [lo, hi], by median splits: the
// middle element as a range number, then the left part, then the right part.
// The empty set and the full range cost nothing. Requires 0 <= k <= hi-lo+1.
void write_known_set_1(da_BinWriter& w, int const* p, int lo, int hi, int k);
// The same into a batch that the caller flushes.
void write_known_set_1(da_BitBatch& w, int const* p, int lo, int hi, int k);
void read_known_set_1(da_BinReader& r, int* p, int lo, int hi, int k);

// k values in 0..M whose total S the reader knows, by splitting the total
// between the two halves recursively. k <= 1 or S = 0 cost nothing.
void write_n0_seq(da_BinWriter& w, int const* v, int M, int k);
// The number of bits write_n0_seq(w, v, M, k) writes, found without writing.
long long n0_seq_bits(int const* v, int M, int k);
// The same from the values' prefix sums (sums[0] = 0, sums[i + 1] = sums[i] +
// v[i]), for values all within 0..M with M·k below 2^24.
long long n0_seq_bits_of_sums(const int* sums, int M, int k);
// Room for the k + 1 prefix sums n0_seq_bits_of_sums takes: on the stack for
// the sizes a frame gives, on the heap beyond.
class PrefixSumRoom {
  public:
    explicit PrefixSumRoom(int k) : heap_(k < kOnStack ? 0 : static_cast<std::size_t>(k) + 1) {}
    int* data() { return heap_.empty() ? stack_ : heap_.data(); }

  private:
    static constexpr int kOnStack = 1024;
    int stack_[kOnStack + 1];
    std::vector<int> heap_;
};
// S outside 0..M*k is taken as the nearest total that is possible.
void read_n0_seq(da_BinReader& r, int* v, int M, int k, int S);

}  // namespace x91
