// The tuned mode's public entry points refuse what they cannot work with and
// leave the caller's options as they were.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "library/bitrate_search.h"
#include "library/encoder.h"

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

}  // namespace
