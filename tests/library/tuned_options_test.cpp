// The tuned mode's public entry points refuse what they cannot work with and
// leave the caller's options as they were.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "format/checked_settings.h"
#include "library/bitrate_search.h"
#include "library/decoder.h"
#include "library/encoder.h"
#include "support/test_signals.h"
#include "support/x91_framing.h"

namespace {

TEST(TunedOptionsTest, RefusalsLeaveTheOptionsUnchanged) {
    const std::vector<std::int16_t> pcm(2 * 44100, 1000);
    const struct {
        const char* name;
        x91::Result (*call)(const std::vector<std::int16_t>& pcm, x91::EncoderOptions& out,
                            float& quality);
    } cases[] = {
        {"quality below range", [](const std::vector<std::int16_t>&, x91::EncoderOptions& out,
                                   float&) { return x91::tuned_options(5.0f, out); }},
        {"quality above range", [](const std::vector<std::int16_t>&, x91::EncoderOptions& out,
                                   float&) { return x91::options_at_quality(401.0f, false, out); }},
        {"rate not positive",
         [](const std::vector<std::int16_t>& p, x91::EncoderOptions&, float& q) {
             return x91::quality_for_bitrate(p.data(), p.size() / 2, 0.0, true, q);
         }},
        {"rate not a number",
         [](const std::vector<std::int16_t>& p, x91::EncoderOptions&, float& q) {
             return x91::quality_for_bitrate(p.data(), p.size() / 2, std::nan(""), false, q);
         }},
        {"no samples",
         [](const std::vector<std::int16_t>& p, x91::EncoderOptions&, float& q) {
             return x91::quality_for_bitrate(p.data(), 0, 96.0, true, q);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        x91::EncoderOptions options;
        options.header.dsettings.global.lines = 640;
        float quality = -1.0f;
        const x91::Result r = c.call(pcm, options, quality);
        EXPECT_EQ(r.status, x91::Status::invalid_argument);
        EXPECT_EQ(options.header.dsettings.global.lines, 640);
        EXPECT_FALSE(options.tuned);
        EXPECT_EQ(quality, -1.0f);
    }
}

TEST(TunedOptionsTest, AnEncoderRefusesTunedChoicesOutOfRange) {
    const struct {
        float x91::TunedChoices::*choice;
        float value;
    } cases[] = {
        {&x91::TunedChoices::rate_weight, -1.0f},     {&x91::TunedChoices::rate_weight, 101.0f},
        {&x91::TunedChoices::rate_weight, NAN},       {&x91::TunedChoices::high_band_db, -21.0f},
        {&x91::TunedChoices::high_band_db, INFINITY}, {&x91::TunedChoices::tonal_db, -1.0f},
        {&x91::TunedChoices::tonal_db, 21.0f},
    };
    for (const auto& c : cases) {
        x91::EncoderOptions options;
        ASSERT_TRUE(x91::tuned_options(100.0f, options));
        options.tuning.*c.choice = c.value;
        EXPECT_EQ(x91::Encoder(options).status().status, x91::Status::invalid_argument) << c.value;
    }
}

// Tuned files at the qualities where the tuned mode changes its header (the
// band counts below quality 120) and at any line count a caller chooses are
// read by the plain decoder with nothing but their header settings.
TEST(TunedOptionsTest, ThePlainDecoderReadsTunedFilesAtAnyLineCount) {
    const x91test::Pcm pcm = x91test::music_like_signal(3 * 14112, 9);
    for (const float quality : {40.0f, 100.0f, 119.0f, 120.0f, 400.0f}) {
        for (const int lines : {800, 720, 640, 400}) {
            SCOPED_TRACE(testing::Message() << "quality " << quality << ", lines " << lines);
            x91::EncoderOptions options;
            ASSERT_TRUE(x91::tuned_options(quality, options));
            options.header.dsettings.global.lines = lines;
            x91::Encoder encoder(options);
            ASSERT_TRUE(encoder.status().ok()) << encoder.status().message;
            ASSERT_TRUE(encoder.push(pcm.data(), pcm.size() / 2).ok());
            ASSERT_TRUE(encoder.finish().ok());
            std::optional<x91::CheckedSettings> header;
            ASSERT_TRUE(x91::check_settings(encoder.settings(), header).ok());
            x91::Decoder decoder(*header);
            x91test::Pcm out;
            x91test::Bytes packet;
            while (encoder.next_packet(packet)) {
                ASSERT_TRUE(decoder.push_packet(packet.data(), packet.size()).ok());
                decoder.pull(out);
            }
            ASSERT_GE(out.size(), pcm.size() + 2 * 882);
            // Lines above the coded band are lost; what is coded is kept.
            EXPECT_GT(x91test::snr_db(pcm, out, 882), 3.0);
        }
    }
}

}  // namespace
