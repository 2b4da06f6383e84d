// The parts of the C++20 standard library the codec uses that the libc++ of
// emscripten 3.1.6 (Debian 12's) does not have yet, given to every C++ file
// of the WebAssembly build. Each follows the standard's definition and
// disappears where the library has it.
#pragma once

#include <version>

#if !defined(__cpp_lib_bit_cast)
#include <type_traits>

namespace std {
template <class To, class From>
requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> &&
         is_trivially_copyable_v<From>) constexpr To bit_cast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif

#if !defined(__cpp_lib_smart_ptr_for_overwrite)
#include <cstddef>
#include <memory>
#include <type_traits>

namespace std {
// Storage left uninitialised, for buffers that are written before they are read.
template <class T>
requires is_unbounded_array_v<T> unique_ptr<T> make_unique_for_overwrite(size_t n) {
    return unique_ptr<T>(new remove_extent_t<T>[n]);
}
template <class T>
requires(!is_array_v<T>) unique_ptr<T> make_unique_for_overwrite() {
    return unique_ptr<T>(new T);
}
}  // namespace std
#endif

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace std {
// The shortest text that reads back as the same float, as the standard's
// to_chars gives it (its only use is in messages about damaged settings).
inline to_chars_result to_chars(char* first, char* last, float value) {
    char text[32];
    int length = 0;
    for (int digits = 1; digits <= 9; ++digits) {
        length = snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (strtof(text, nullptr) == value) break;
    }
    if (length < 0 || length > last - first) return {last, errc::value_too_large};
    for (int i = 0; i < length; ++i) first[i] = text[i];
    return {first + length, errc{}};
}
}  // namespace std
#endif
