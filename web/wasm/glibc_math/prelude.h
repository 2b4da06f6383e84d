/* What glibc's own build gives its single-precision sine and cosine sources,
 * for compiling them into the WebAssembly build (see glibc_math.cmake). */
#ifndef X91_GLIBC_MATH_PRELUDE_H
#define X91_GLIBC_MATH_PRELUDE_H

#define attribute_hidden
#define __glibc_likely(cond) __builtin_expect((cond), 1)
#define __glibc_unlikely(cond) __builtin_expect((cond), 0)

#endif
