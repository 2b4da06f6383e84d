/* Encodes two seconds of a generated tone, with a title, to an x91 file in
 * memory, decodes it back to its exact length, checks that a seek gives the
 * same samples as reading through, and reports how close the result is.
 * With a file name argument, the x91 file is also written there. Plain C99
 * against the C interface. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <x91/x91.h>

#define SECONDS 2
#define FRAMES (SECONDS * X91_SAMPLE_RATE)

/* Appends every piece the encoder has ready to *file. */
static int take_output(x91_encoder* encoder, uint8_t** file, size_t* size) {
    for (;;) {
        const uint8_t* piece;
        size_t piece_size;
        if (x91_encoder_take_output(encoder, &piece, &piece_size) != X91_OK) return 0;
        if (piece_size == 0) return 1;
        uint8_t* grown = realloc(*file, *size + piece_size);
        if (!grown) return 0;
        memcpy(grown + *size, piece, piece_size);
        *file = grown;
        *size += piece_size;
    }
}

static int fail(const char* what, const char* why) {
    fprintf(stderr, "%s: %s\n", what, why);
    return 1;
}

int main(int argc, char** argv) {
    static int16_t pcm[2 * FRAMES];
    const double pi = 3.14159265358979323846;
    /* 440 Hz left, 660 Hz right, interleaved. */
    for (size_t n = 0; n < FRAMES; ++n) {
        const double t = (double)n / X91_SAMPLE_RATE;
        pcm[2 * n] = (int16_t)(12000 * sin(2 * pi * 440 * t));
        pcm[2 * n + 1] = (int16_t)(12000 * sin(2 * pi * 660 * t));
    }

    x91_encoder* encoder;
    if (x91_encoder_create(&encoder) != X91_OK) return fail("encoder", "cannot create");
    if (x91_encoder_set_quality(encoder, 150) != X91_OK)
        return fail("quality", x91_encoder_last_error(encoder));
    if (x91_encoder_add_tag(encoder, "TITLE", "Two tones") != X91_OK)
        return fail("tag", x91_encoder_last_error(encoder));
    uint8_t* file = NULL;
    size_t file_size = 0;
    /* Any amounts will do; a tenth of a second at a time here. */
    for (size_t at = 0; at < FRAMES; at += 4410) {
        const size_t n = FRAMES - at < 4410 ? FRAMES - at : 4410;
        if (x91_encoder_push(encoder, pcm + 2 * at, n) != X91_OK ||
            !take_output(encoder, &file, &file_size))
            return fail("encoder", x91_encoder_last_error(encoder));
    }
    if (x91_encoder_finish(encoder) != X91_OK || !take_output(encoder, &file, &file_size))
        return fail("encoder", x91_encoder_last_error(encoder));
    x91_encoder_destroy(encoder);

    if (argc > 1) {
        FILE* out = fopen(argv[1], "wb");
        if (!out || fwrite(file, 1, file_size, out) != file_size || fclose(out) != 0)
            return fail(argv[1], "cannot write");
    }

    x91_decoder* decoder;
    x91_status status = x91_decoder_open_memory(&decoder, file, file_size);
    if (status != X91_OK) return fail("decoder", x91_status_text(status));
    /* The extension block gives the exact length, and the decoder delivers
     * exactly the frames that were pushed. */
    uint64_t exact = 0;
    const char* value;
    if (x91_decoder_exact_length(decoder, &exact, NULL) != X91_OK || exact != FRAMES ||
        x91_decoder_tag(decoder, 0, NULL, &value) != X91_OK)
        return fail("decoder", "no exact length or tag");
    char title[64]; /* the tag's text lives as long as the decoder */
    snprintf(title, sizeof title, "%s", value);
    const uint64_t length = x91_decoder_length(decoder);
    int16_t* decoded = malloc(sizeof(int16_t) * 2 * (size_t)length);
    size_t got = 0, frames = 0;
    while (decoded &&
           (status = x91_decoder_read(decoder, decoded + 2 * frames, length - frames, &got)) ==
               X91_OK &&
           got > 0)
        frames += got;
    if (!decoded || status != X91_OK || frames != length)
        return fail("decoder", x91_decoder_last_error(decoder));

    /* A seek lands on the very samples a read from the start gives. */
    int16_t after_seek[2 * 1000];
    const uint64_t seek_to = length / 2 + 123;
    if (x91_decoder_seek(decoder, seek_to) != X91_OK ||
        x91_decoder_read(decoder, after_seek, 1000, &got) != X91_OK || got == 0 ||
        memcmp(after_seek, decoded + 2 * seek_to, 4 * got) != 0)
        return fail("seek", "samples differ from a read from the start");
    x91_decoder_destroy(decoder);

    if (frames != FRAMES) return fail("decoder", "not the exact length");
    double signal = 0, noise = 0;
    for (size_t i = 0; i < 2 * FRAMES; ++i) {
        const double d = decoded[i] - pcm[i];
        signal += (double)pcm[i] * pcm[i];
        noise += d * d;
    }
    const double snr = 10 * log10(signal / (noise > 0 ? noise : 1));
    printf("x91 %s: \"%s\" %d frames -> %zu bytes -> %zu frames, SNR %.1f dB\n", x91_version(),
           title, FRAMES, file_size, frames, snr);
    free(decoded);
    free(file);
    return snr > 10 ? 0 : 1;
}
