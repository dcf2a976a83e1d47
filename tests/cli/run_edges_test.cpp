// The continuation of runs of marks over their unmarked edge cycles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "run_edges.h"

namespace {

constexpr int32_t kPeriod = 100;
constexpr int32_t kLongest = 400;  // 40 Hz at 16 kHz

// A decaying pulse every kPeriod samples over [from, to), quiet noise elsewhere.
std::vector<int16_t> Pulses(size_t length, int32_t from, int32_t to, unsigned seed = 1) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0, 30);
  std::vector<int16_t> x(length);
  for (size_t i = 0; i < length; ++i) {
    double v = noise(random);
    const int32_t at = static_cast<int32_t>(i);
    if (at >= from && at < to) v += 8000 * std::exp(-(at - from) % kPeriod / 15.0) * std::cos((at - from) % kPeriod * 0.5);
    x[i] = static_cast<int16_t>(std::lround(v));
  }
  return x;
}

std::vector<int32_t> Marks(int32_t from, int32_t to) {
  std::vector<int32_t> marks;
  for (int32_t m = from; m < to; m += kPeriod) marks.push_back(m);
  return marks;
}

TEST(RunEdges, ARunGoesOnOverTheCyclesThatRepeatAndNoFurther) {
  // Voice over 2000..5000; marks only on 2500..4500.
  const std::vector<int16_t> x = Pulses(8000, 2000, 5000);
  const std::vector<int32_t> got = tvx::ContinueRuns(x.data(), 8000, Marks(2500, 4500), kLongest, 0, 8000);
  // Five cycles before (2000 stands on the voice's first pulse, whose
  // predecessor is noise) and five after, each on its pulse.
  EXPECT_EQ(got, Marks(2000, 5000));
}

TEST(RunEdges, AtMostSixCyclesAtEachEnd) {
  const std::vector<int16_t> x = Pulses(12000, 0, 12000);
  const std::vector<int32_t> got = tvx::ContinueRuns(x.data(), 12000, Marks(5000, 5500), kLongest, 0, 12000);
  EXPECT_EQ(got, Marks(4400, 6100));
}

TEST(RunEdges, NeighboursRangeEndsAndShortRunsBoundIt) {
  const std::vector<int16_t> x = Pulses(12000, 0, 12000);
  // Two runs 1000 samples apart: each grows towards the other until the gap
  // would be a period no longer than the longest.
  std::vector<int32_t> marks = Marks(2000, 2500);
  for (int32_t m : Marks(3500, 4000)) marks.push_back(m);
  std::vector<int32_t> got = tvx::ContinueRuns(x.data(), 12000, marks, kLongest, 0, 12000);
  for (size_t k = 0; k + 1 < got.size(); ++k) {
    ASSERT_LT(got[k], got[k + 1]);
    const int32_t step = got[k + 1] - got[k];
    if (got[k] >= 2400 && got[k + 1] <= 3500) {
      ASSERT_TRUE(step == kPeriod || step > kLongest) << got[k];
    }
  }
  EXPECT_NE(std::find(got.begin(), got.end(), 3000), got.end());  // six cycles on
  EXPECT_EQ(std::find(got.begin(), got.end(), 3100), got.end());  // within the longest period of 3500
  EXPECT_EQ(std::find(got.begin(), got.end(), 3400), got.end());
  // The range [1900, 2700): each added cycle lies wholly inside it.
  got = tvx::ContinueRuns(x.data(), 12000, Marks(2000, 2500), kLongest, 1900, 2700);
  EXPECT_EQ(got, Marks(2000, 2700));
  // Two marks are no run to continue.
  EXPECT_EQ(tvx::ContinueRuns(x.data(), 12000, {3000, 3100}, kLongest, 0, 12000), (std::vector<int32_t>{3000, 3100}));
}

TEST(RunEdges, CyclesAtTheSignalsEndsStayInside) {
  // Voice to both ends of a short buffer: the search never reads outside it.
  const std::vector<int16_t> x = Pulses(1000, 0, 1000);
  const std::vector<int32_t> got = tvx::ContinueRuns(x.data(), 1000, Marks(400, 700), kLongest, 0, 1000);
  ASSERT_FALSE(got.empty());
  EXPECT_GE(got.front() - kPeriod / 2, 0);
  EXPECT_LE(got.back() + kPeriod / 2, 1000);
  EXPECT_EQ(got.front(), 100);
  EXPECT_EQ(got.back(), 900);
}

}  // namespace
