#include "command/file_names.h"

#include <gtest/gtest.h>

namespace x91::cli {

namespace {

TEST(SuffixTest, ExactCaseSensitiveEndings) {
    EXPECT_TRUE(suffix("song.wav", ".wav"));
    EXPECT_TRUE(suffix(".wav", ".wav"));
    EXPECT_FALSE(suffix("SONG.WAV", ".wav"));
    EXPECT_FALSE(suffix("song.Wav", ".wav"));
    EXPECT_FALSE(suffix("xwav", ".wav"));
    EXPECT_FALSE(suffix("wav", ".wav"));
    EXPECT_FALSE(suffix("", ".wav"));
    EXPECT_FALSE(suffix("song.wav.bak", ".wav"));
    EXPECT_TRUE(suffix("anything", ""));
    EXPECT_TRUE(suffix("", ""));
}

TEST(FileNamesTest, KindsOfName) {
    EXPECT_TRUE(is_wave_name("a.wav"));
    EXPECT_FALSE(is_wave_name("a.x91"));
    EXPECT_TRUE(is_x91_name("b.x91"));
    EXPECT_TRUE(is_x91_name(".x91"));
    EXPECT_FALSE(is_x91_name("x91"));
    EXPECT_FALSE(is_x91_name("c.txt"));
}

TEST(FileNamesTest, OutputNames) {
    EXPECT_EQ(x91_output_name("song.wav"), "song.x91");
    EXPECT_EQ(x91_output_name(".wav"), ".x91");
    EXPECT_EQ(x91_output_name("dir.wav/take.wav"), "dir.wav/take.x91");
    EXPECT_EQ(wave_output_name("song.x91"), "song.x91.wav");
    EXPECT_EQ(wave_output_name(".x91"), ".x91.wav");
}

}  // namespace

}  // namespace x91::cli
