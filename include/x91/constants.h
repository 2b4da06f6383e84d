/* The fixed numbers of x91 files and of the library that reads and writes
 * them, for C and C++ alike. Each is written here once; the library's own
 * code takes them from here. */
#ifndef X91_CONSTANTS_H
#define X91_CONSTANTS_H

#define X91_SAMPLE_RATE 44100
#define X91_CHANNELS 2
/* The codec works on blocks of this many stereo frames (1/50 s). */
#define X91_BLOCK_FRAMES 882
#define X91_HEADER_BYTES 62
/* The largest packet a decoder accepts (4 MiB). The encoder's packets stay
 * far below it (loud noise at the highest quality gives about 12 KB), so a
 * larger count only comes from a damaged file. */
#define X91_MAX_PACKET_BYTES 4194304
#define X91_EXTENSION_FOOTER_BYTES 12
/* The largest extension block a decoder accepts (16 MiB). */
#define X91_MAX_EXTENSION_BYTES 16777216

/* Encoding quality in percent. Below 10 the quantiser base grows towards
 * infinity; above 400 it comes so close to 1 that indices, and coding time,
 * grow without any gain. */
#define X91_QUALITY_MIN 10
#define X91_QUALITY_MAX 400
#define X91_QUALITY_DEFAULT 100

/* A decode stops after this many damaged packets in a row: what follows is
 * no longer a file with a flaw but noise, and every packet yields its frames
 * whatever its size, so going on would let a small file decode to an
 * enormous one. */
#define X91_MAX_DAMAGED_IN_A_ROW 8

/* The most threads an encoder or decoder works on. */
#define X91_MAX_THREADS 256

#endif /* X91_CONSTANTS_H */
