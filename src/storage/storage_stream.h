// Abstract byte streams and seekable storage, and the read/write templates
// that move one fixed-size value through them in little-endian order.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace x91 {

class InputStream {
  public:
    // Moves up to n bytes from the stream into buf and returns the count
    // moved; only a result equal to n is success.
    virtual int read(char* buf, int n) = 0;

  protected:
    ~InputStream() = default;
};

class OutputStream {
  public:
    // Moves n bytes from buf into the stream and returns the count moved;
    // only a result equal to n is success.
    virtual int write(const char* buf, int n) = 0;

  protected:
    ~OutputStream() = default;
};

// Positions are 64-bit so that WAV files between 2 and 4 GiB stay
// addressable; a failed storage reports -1 for every position and size.
class StorageSpace {
  public:
    virtual std::int64_t possition() = 0;
    // Moves to the absolute offset pos and returns possition() afterwards.
    virtual std::int64_t seek(std::int64_t pos) = 0;
    // Total length in bytes; the position is left where it was.
    virtual std::int64_t size() = 0;

  protected:
    ~StorageSpace() = default;
};

// The storage is a virtual base so that a reader or writer holds exactly one
// storage part, reachable through the stream side and through StorageSpace.
class StorageReader : public InputStream, public virtual StorageSpace {
  protected:
    ~StorageReader() = default;
};

class StorageWriter : public OutputStream, public virtual StorageSpace {
  protected:
    ~StorageWriter() = default;
};

namespace storage_detail {

// Integers, enums and floats are stored least significant byte first on any
// host; anything else (four-character ids) is a plain byte sequence.
template <class T>
inline constexpr bool is_numeric_v =
    std::is_integral_v<T> || std::is_enum_v<T> || std::is_floating_point_v<T>;

template <class T>
using bits_t = std::conditional_t<
    sizeof(T) == 1, std::uint8_t,
    std::conditional_t<sizeof(T) == 2, std::uint16_t,
                       std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;

template <class T>
void to_bytes(const T& value, unsigned char* out) {
    if constexpr (is_numeric_v<T>) {
        static_assert(sizeof(T) == sizeof(bits_t<T>));
        auto bits = std::bit_cast<bits_t<T>>(value);
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            out[i] = static_cast<unsigned char>(bits >> (8 * i));
        }
    } else {
        std::memcpy(out, &value, sizeof(T));
    }
}

template <class T>
void from_bytes(const unsigned char* in, T& value) {
    if constexpr (is_numeric_v<T>) {
        bits_t<T> bits = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            bits |= static_cast<bits_t<T>>(static_cast<bits_t<T>>(in[i]) << (8 * i));
        }
        value = std::bit_cast<T>(bits);
    } else {
        std::memcpy(&value, in, sizeof(T));
    }
}

}  // namespace storage_detail

// Reads one value; true only if all sizeof(T) bytes arrived. The value is
// left untouched by a short read, so a half-read number never escapes.
template <class T>
bool read(InputStream& in, T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    unsigned char bytes[sizeof(T)];
    if (in.read(reinterpret_cast<char*>(bytes), static_cast<int>(sizeof(T))) !=
        static_cast<int>(sizeof(T))) {
        return false;
    }
    storage_detail::from_bytes(bytes, value);
    return true;
}

// Writes one value; true only if all sizeof(T) bytes were accepted.
template <class T>
bool write(OutputStream& out, const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    unsigned char bytes[sizeof(T)];
    storage_detail::to_bytes(value, bytes);
    return out.write(reinterpret_cast<const char*>(bytes), static_cast<int>(sizeof(T))) ==
           static_cast<int>(sizeof(T));
}

}  // namespace x91
