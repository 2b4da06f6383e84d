// The settings records that steer the codec, and their process-wide defaults.
//
// Each record is plain data whose byte image is its fields in order, every
// value 4 bytes, little-endian in files. da_ISettings and da_DSettings travel
// in every x91 header so that the decoder builds itself as the encoder was.
#pragma once

namespace x91 {

// --- Parts of da_DSettings (stored in the header) ---------------------------

struct da_DGlobalSettings {
    int lines;  // spectral lines coded per channel and frame, 25 Hz apart
};

struct da_DIntensitySetup {
    int bands;  // intensity bands per frame
    int steps;  // attenuation steps; indices run 0 .. steps-1
    int range;  // attenuation covered by the steps, in level units
};

struct da_DSideStereoSetup {
    int bands;   // side-stereo bands per frame
    int levels;  // balance levels
};

struct da_DGroupCodingSetup {
    int frames;  // frames coded together in one packet
};

struct da_DSettings {
    da_DGlobalSettings global;
    da_DIntensitySetup intensity;
    da_DSideStereoSetup side_stereo;
    da_DGroupCodingSetup group;
};

// --- Parts of da_ISettings (stored in the header) ---------------------------

struct da_IMaskingSetup {
    float level_scale;    // scale of the masking curve
    float downward_base;  // energy decay per Bark towards lower lines
    float upward_base;    // energy decay per Bark towards higher lines
    float reserved4;      // carried in the header, read by no computation
    float reserved5;
    float reserved6;
};

struct da_IQuantizeSetup {
    float base;  // base of the logarithmic quantiser
};

struct da_ISettings {
    da_IMaskingSetup masking;
    da_IQuantizeSetup quantize;
};

// --- da_ESettings (encoder only, never stored) ------------------------------

struct da_EQuantizeSetup {
    float rounding_point;         // third argument of log_quant
    float first_block_threshold;  // switch factor for line block 0
    float block_threshold;        // switch factor for line blocks 1 and up
};

struct da_EPacketCreatorSetup {
    int packet_bytes;   // initial buffer size of every packet
    int packets_ahead;  // empty packets kept waiting for the coders
};

struct da_ESettings {
    da_EQuantizeSetup quantize;
    da_EPacketCreatorSetup packet_creator;
};

// Three reserved header bytes, always written as zero.
struct da_CodeFeatures {
    unsigned char reserved[3];
};

// Configures one array coder: column count and modulus.
struct da_ArraySetup {
    int cols;
    int modulus;
};

static_assert(sizeof(da_DSettings) == 28 && sizeof(da_ISettings) == 28 &&
              sizeof(da_ESettings) == 20 && sizeof(da_CodeFeatures) == 3);

extern const da_ESettings es;
extern const da_ISettings is;
extern const da_DSettings ds;
extern const char* const XFileExt;

}  // namespace x91
