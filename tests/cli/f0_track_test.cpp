// The F0 the command plans periods from, read between the track's frames.
#include <gtest/gtest.h>

#include "f0_track.h"

namespace {

TEST(F0TrackAt, InterpolatesBetweenVoicedFramesOnlyAndClampsAtTheEnds) {
  tvx::F0Track track;
  track.hop = 10;
  track.f0 = {100, 0, 120, 130};
  EXPECT_DOUBLE_EQ(track.At(25), 125);  // a glide between two voiced frames
  EXPECT_DOUBLE_EQ(track.At(27.5), 127.5);
  EXPECT_DOUBLE_EQ(track.At(14), 0);     // nearer the unvoiced frame
  EXPECT_DOUBLE_EQ(track.At(15), 120);   // halfway: the later frame, as rounding gave
  EXPECT_DOUBLE_EQ(track.At(4), 100);    // never blended with an unvoiced frame
  EXPECT_DOUBLE_EQ(track.At(-50), 100);
  EXPECT_DOUBLE_EQ(track.At(1e9), 130);
  EXPECT_DOUBLE_EQ(tvx::F0Track().At(5), 0);
}

}  // namespace
