// The rate of a run's residual: about 6 kHz, more for a high voice.
#include <gtest/gtest.h>

#include <vector>

#include "voice/voice_marks.h"

namespace {

talvox::VoiceTrack Track(const std::vector<float>& f0) {
  talvox::VoiceTrack track;
  track.sampleRate = 16000;
  track.hop = 80;
  track.f0 = f0;
  return track;
}

int32_t Factor(const std::vector<float>& f0, int32_t rate) {
  const talvox::VoiceTrack track = Track(f0);
  return talvox::MarkReductionFactor(track, {0, static_cast<int32_t>(f0.size()) - 1}, rate);
}

TEST(MarkReduction, LowVoicesStayAtSixKilohertzHighOnesGoUpToEight) {
  // 16 kHz: 30 samples per period at 150 Hz is 4.5 kHz, below 6 -> 5.33
  // kHz; at 400 Hz it is 12 kHz, above 8 -> 8 kHz.
  EXPECT_EQ(Factor({150, 150, 150}, 16000), 3);
  EXPECT_EQ(Factor({400, 400, 400}, 16000), 2);
  // 44.1 kHz: 6 kHz -> 8 (5.5 kHz), 7.5 kHz at 250 Hz -> 6 (7.35 kHz),
  // 8 kHz -> 6.
  EXPECT_EQ(Factor({150, 150, 150}, 44100), 8);
  EXPECT_EQ(Factor({250, 250, 250}, 44100), 6);
  EXPECT_EQ(Factor({420, 420, 420}, 44100), 6);
  // 48 kHz: 7.2 kHz at 240 Hz -> 7 (6.86 kHz).
  EXPECT_EQ(Factor({240, 240, 240}, 48000), 7);
  // At 8 kHz and below nothing is reduced.
  EXPECT_EQ(Factor({400, 400, 400}, 8000), 1);
  EXPECT_EQ(Factor({150, 150, 150}, 6000), 1);
}

TEST(MarkReduction, TheMedianOfTheVoicedFramesDecides) {
  // Unvoiced frames do not count; one high frame among low ones does not
  // make a high voice, a majority of them does.
  EXPECT_EQ(Factor({0, 150, 0, 150, 420, 150, 0}, 16000), 3);
  EXPECT_EQ(Factor({0, 420, 150, 420, 420, 0}, 16000), 2);
  // Only the run's frames count.
  const talvox::VoiceTrack track = Track({420, 420, 420, 150, 150, 150, 420});
  EXPECT_EQ(talvox::MarkReductionFactor(track, {3, 5}, 16000), 3);
  EXPECT_EQ(talvox::MarkReductionFactor(track, {0, 2}, 16000), 2);
  // A run with no voiced frame keeps the usual rate.
  EXPECT_EQ(Factor({0, 0, 0}, 16000), 3);
}

}  // namespace
