// A fixture holding a short encode and its decode made by the real command in
// a scratch directory: the outputs each case of a command test is held to.
#pragma once

#include <gtest/gtest.h>

#include "support/command_runner.h"
#include "support/scratch_dir.h"
#include "support/test_signals.h"
#include "support/wav_bytes.h"

namespace x91test {

class EncodedPairTest : public testing::Test {
  protected:
    // seed picks the generated music, so each suite codes its own.
    explicit EncodedPairTest(int seed) : seed_(seed) {}

    void SetUp() override {
        write_file(dir_.file("a.wav"), make_wav(music_like_signal(2 * 14112, seed_)));
        ASSERT_EQ(run_x91(dir_.path(), {"--quiet", "a.wav", "a.x91"}).status, 0);
        x91_ = read_file(dir_.file("a.x91"));
        wav_ = read_file(dir_.file("a.x91.wav"));
        ASSERT_GT(wav_.size(), 44u);
    }

    int seed_;
    ScratchDir dir_;
    Bytes x91_;
    Bytes wav_;
};

}  // namespace x91test
