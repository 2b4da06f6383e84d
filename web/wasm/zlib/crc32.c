/* zlib's crc32() for the WebAssembly build: the reflected IEEE polynomial,
 * one table lookup per byte. The browser module runs on one thread, so the
 * table is filled on first use without a lock. */
#include <stdint.h>

#include "zlib.h"

static uint32_t table[256];
static int table_ready;

static void fill_table(void) {
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    table_ready = 1;
}

uLong crc32(uLong crc, const Bytef* buf, uInt len) {
    if (buf == 0) return 0; /* zlib's way of giving the starting value */
    if (!table_ready) fill_table();
    uint32_t c = (uint32_t)crc ^ 0xFFFFFFFFu;
    while (len--) c = table[(c ^ *buf++) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}
