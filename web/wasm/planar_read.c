/* Decoded audio as a browser's audio graph takes it: one float array per
 * channel instead of interleaved 16-bit samples. */
#include <stddef.h>
#include <stdint.h>
#include <x91/x91.h>

/* Frames converted per call; a read may give fewer than asked anyway. */
enum { kPlanarChunk = 4096 };

/* As x91_decoder_read, but the frames go to left[i] and right[i], each the
 * 16-bit sample over 32768. Every such quotient is a float exactly, so
 * Math.round(x * 32768) gives the 16-bit sample back. At most kPlanarChunk
 * frames per call. */
__attribute__((used)) x91_status x91_web_read_planar(x91_decoder* decoder, float* left,
                                                     float* right, size_t max_frames,
                                                     size_t* frames) {
    int16_t pcm[2 * kPlanarChunk];
    if (max_frames > kPlanarChunk) max_frames = kPlanarChunk;
    const x91_status status = x91_decoder_read(decoder, pcm, max_frames, frames);
    for (size_t i = 0; i < *frames; ++i) {
        left[i] = (float)pcm[2 * i] / 32768.0f;
        right[i] = (float)pcm[2 * i + 1] / 32768.0f;
    }
    return status;
}
