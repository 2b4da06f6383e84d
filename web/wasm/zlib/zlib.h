/* The one zlib routine the codec calls, for the WebAssembly build: emscripten
 * as Debian ships it has no zlib, and the codec needs only its CRC-32. Same
 * name, types and results as zlib's, so the codec's sources build unchanged. */
#ifndef X91_WASM_ZLIB_H
#define X91_WASM_ZLIB_H

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned int uInt;
typedef unsigned long uLong;
typedef unsigned char Bytef;

/* Continues crc over len more bytes at buf; start with 0. */
uLong crc32(uLong crc, const Bytef* buf, uInt len);

#ifdef __cplusplus
}
#endif

#endif /* X91_WASM_ZLIB_H */
