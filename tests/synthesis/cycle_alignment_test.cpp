// Marks moved to the same phase of every cycle: a stray mark goes back to
// its cycle's phase, sound marks and kept runs stay, the marks stay
// ascending, and windows never leave the signal.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "synthesis/cycle_alignment.h"

namespace {

constexpr int32_t kPeriod = 160;
constexpr int32_t kLongest = 400;

// A decaying resonance started every period: the same waveform each cycle.
std::vector<int16_t> PulseTrain(int32_t length) {
  std::vector<int16_t> x(static_cast<size_t>(length));
  for (int32_t n = 0; n < length; ++n) {
    const int32_t phase = n % kPeriod;
    x[static_cast<size_t>(n)] =
        static_cast<int16_t>(9000 * std::exp(-phase / 30.0) * std::sin(2 * 3.14159265 * phase / 23.0));
  }
  return x;
}

std::vector<int32_t> Marks(int32_t first, int32_t count) {
  std::vector<int32_t> at;
  for (int32_t k = 0; k < count; ++k) at.push_back(first + k * kPeriod);
  return at;
}

TEST(CycleAlignment, AStrayMarkGoesBackToItsCyclesPhase) {
  const std::vector<int16_t> x = PulseTrain(8000);
  std::vector<int32_t> at = Marks(400, 40);
  at[10] += 27;
  at[20] -= 18;
  // Farther off than a mark may move from itself: found again one period
  // after its predecessor, where its cycle continues.
  at[30] -= 56;
  const std::vector<int32_t> aligned =
      talvox::AlignCycles(x.data(), 8000, at, std::vector<bool>(at.size(), false), kLongest);
  const std::vector<int32_t> want = Marks(400, 40);
  ASSERT_EQ(aligned.size(), want.size());
  for (size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(aligned[k], want[k], 1) << k;
}

TEST(CycleAlignment, KeptRunsSoundMarksAndUnmatchedCyclesStay) {
  const std::vector<int16_t> x = PulseTrain(8000);
  std::vector<int32_t> at = Marks(400, 40);
  at[10] += 27;
  EXPECT_EQ(talvox::AlignCycles(x.data(), 8000, at, std::vector<bool>(at.size(), true), kLongest), at);
  // One sample off is rounding, left to the sub-sample placement.
  std::vector<int32_t> close = Marks(400, 40);
  close[5] += 1;
  EXPECT_EQ(talvox::AlignCycles(x.data(), 8000, close, std::vector<bool>(40, false), kLongest), close);
  // Noise matches nothing convincingly.
  std::mt19937 random(2);
  std::uniform_int_distribution<int> sample(-9000, 9000);
  std::vector<int16_t> noise(8000);
  for (int16_t& v : noise) v = static_cast<int16_t>(sample(random));
  EXPECT_EQ(talvox::AlignCycles(noise.data(), 8000, at, std::vector<bool>(40, false), kLongest), at);
}

TEST(CycleAlignment, MarksStayAscendingAndInsideTheSignal) {
  const std::vector<int16_t> x = PulseTrain(8000);
  // A doubled mark behind a moved one: the run keeps its marks.
  std::vector<int32_t> doubled = Marks(400, 20);
  doubled[6] -= 30;
  doubled.insert(doubled.begin() + 7, doubled[6] + 4);
  const std::vector<int32_t> kept =
      talvox::AlignCycles(x.data(), 8000, doubled, std::vector<bool>(doubled.size(), false), kLongest);
  for (size_t k = 1; k < kept.size(); ++k) ASSERT_LT(kept[k - 1], kept[k]) << k;
  // Runs at both ends of the signal: windows would leave it, marks stay.
  std::vector<int32_t> edges = {2, 2 + kPeriod - 30, 2 + 2 * kPeriod, 7990 - 2 * kPeriod, 7990 - kPeriod + 30, 7990};
  const std::vector<int32_t> aligned =
      talvox::AlignCycles(x.data(), 8000, edges, std::vector<bool>(edges.size(), false), kLongest);
  for (size_t k = 0; k < aligned.size(); ++k) {
    ASSERT_GE(aligned[k], 0);
    ASSERT_LT(aligned[k], 8000);
    if (k > 0) {
      ASSERT_LT(aligned[k - 1], aligned[k]);
    }
  }
}

}  // namespace
