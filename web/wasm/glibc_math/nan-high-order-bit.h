/* As on x86 and WebAssembly: a quiet NaN has the high mantissa bit set. */
#define HIGH_ORDER_BIT_IS_SET_FOR_SNAN 0
