// Snapping onto maxima and zero crossings, and moving all peaks at once;
// every window near the signal's ends stays inside it (run under ASan).
#include <cstdlib>
#include <random>
#include <vector>

#include "pitch/peak_snapping.h"
#include "test_support.h"

namespace talvox::test {
namespace {

// Straightforward forms of the two searches; reads outside x count as
// absent (the window is clipped).
int32_t ReferenceMaximum(const std::vector<int16_t>& x, int32_t position) {
  const int32_t n = static_cast<int32_t>(x.size());
  if (position >= n) return -1;
  if (position < 11) return position;
  int32_t best = position - 11;
  for (int32_t i = position - 10; i <= position + 9 && i < n; ++i) {
    if (x[i] > x[best]) best = i;
  }
  return best == position - 11 ? position : best;
}

int32_t ReferenceZeroCross(const std::vector<int16_t>& x, int32_t position) {
  const int32_t n = static_cast<int32_t>(x.size());
  if (position > n - 10 || position < 11) return position;
  int32_t left = -1, right = -1;
  for (int32_t i = position; i >= position - 10; --i) {
    if (x[i] * x[i - 1] <= 0) left = std::abs(x[i]) > std::abs(x[i - 1]) ? i - 1 : i;
  }
  for (int32_t i = position; i <= position + 10 && i + 1 < n; ++i) {
    if (x[i] * x[i + 1] <= 0) right = std::abs(x[i]) > std::abs(x[i + 1]) ? i + 1 : i;
  }
  if (left < 0 && right < 0) return position;
  const int32_t dl = left < 0 ? position + 1 : position - left;
  const int32_t dr = right < 0 ? position + 1 : right - position;
  return dl <= dr ? left : right;
}

std::vector<int16_t> RandomSignal(int n, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(-300, 300);
  std::vector<int16_t> x(static_cast<size_t>(n));
  for (auto& v : x) v = static_cast<int16_t>(value(random) / 20 * 20);  // zeros and ties too
  return x;
}

class Snapping : public DocumentTest {};

TEST_F(Snapping, WorkedEdgeCases) {
  LoadSignal(RandomSignal(200, 1), 1, 16000);
  EXPECT_EQ(GetClosedMaximumPeak(5, 0), 5);
  EXPECT_EQ(GetClosedMaximumPeak(200, 0), -1);
  EXPECT_EQ(GetClosedMaximumPeak(50, 2), -1);
  EXPECT_EQ(GetClosedMaximumPeak(50, -1), -1);
  EXPECT_EQ(GetClosedMaximumPeak(50, 1), -1);  // mono: no channel 1
  EXPECT_EQ(GetClosedZerocross(191, 0), 191);
  EXPECT_EQ(GetClosedZerocross(5000, 7), 5000);  // the length test comes first
  EXPECT_EQ(GetClosedZerocross(50, 2), -1);
  EXPECT_EQ(GetClosedZerocross(50, 1), -1);
}

TEST_F(Snapping, MaximumEarliestWinsAndFirstSampleKeepsThePosition) {
  std::vector<int16_t> x(100, 0);
  x[45] = 7;
  x[48] = 7;
  LoadSignal(x, 1, 16000);
  EXPECT_EQ(GetClosedMaximumPeak(50, 0), 45);
  x.assign(100, 0);
  x[39] = 9;  // position - 11 holds the largest: the position is kept
  LoadSignal(x, 1, 16000);
  EXPECT_EQ(GetClosedMaximumPeak(50, 0), 50);
}

TEST_F(Snapping, ZeroCrossingKeepsTheFarthestOnEachSide) {
  std::vector<int16_t> x(100, 5);
  x[42] = -5;  // left crossings at 48 and 42: the farthest, 42, is kept
  x[48] = 0;
  x[53] = -1;  // right: pair (52, 53) -> 53, three samples away
  LoadSignal(x, 1, 16000);
  EXPECT_EQ(GetClosedZerocross(50, 0), ReferenceZeroCross(x, 50));
  EXPECT_EQ(GetClosedZerocross(50, 0), 53);
}

TEST_F(Snapping, WindowsAtBothEndsMatchTheClippedReference) {
  for (int n : {1, 11, 20, 21, 22, 40, 257}) {
    std::vector<int16_t> x = RandomSignal(n, static_cast<unsigned>(n));
    LoadSignal(x, 1, 8000);
    for (int32_t p = -3; p < n + 3; ++p) {
      ASSERT_EQ(GetClosedMaximumPeak(p, 0), ReferenceMaximum(x, p)) << n << " " << p;
      ASSERT_EQ(GetClosedZerocross(p, 0), ReferenceZeroCross(x, p)) << n << " " << p;
      ASSERT_EQ(ClosedZeroCrossing(x.data(), n, p), ReferenceZeroCross(x, p));
    }
  }
}

TEST_F(Snapping, SecondChannelOfAStereoSignal) {
  std::vector<int16_t> frames(2 * 60, 0);
  frames[2 * 30 + 1] = 100;
  LoadSignal(frames, 2, 16000);
  EXPECT_EQ(GetClosedMaximumPeak(32, 1), 30);
  EXPECT_EQ(GetClosedMaximumPeak(32, 0), 32);
}

// Moving peaks onto the signal.
class AdjustPeaks : public DocumentTest {
 protected:
  static void SetPeaks(const std::vector<int32_t>& peaks) {
    DeleteAllPeak();
    for (int32_t p : peaks) AddPeak(p, nullptr);
  }
  static std::vector<int32_t> Peaks() {
    int32_t* p = nullptr;
    int32_t n = GetFullPeaks(&p);
    return std::vector<int32_t>(p, p + n);
  }
  static std::vector<int32_t> Periods() {
    int32_t* p = nullptr;
    int32_t n = GetFullModifiedPitch(&p);
    return std::vector<int32_t>(p, p + n);
  }
};

TEST_F(AdjustPeaks, ToZeroCrossings) {
  //                       0  1  2  3   4   5  6  7  8   9
  std::vector<int16_t> x = {3, 4, 5, 6, -2, -9, -8, 7, 1, -1};
  SetPeaks({3, 6, 8});
  AdjustPeakToZerocross(x.data(), 10);
  // 8: pair (8,7) same sign, (7,6) crosses: |7| <= |-8| -> 7.
  // 6: (6,5), (5,4) same, (4,3) crosses: |-2| > |6|? no -> 4.
  // 3: no crossing down to 0: 1, and the walk stops.
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{1, 4, 7}));
  EXPECT_EQ(Periods(), (std::vector<int32_t>{3, 3}));
}

TEST_F(AdjustPeaks, ZeroCrossingWalkStopsAtTheStart) {
  std::vector<int16_t> x = {3, 4, 5, 6, 7, 8, -8};
  SetPeaks({2, 5});
  AdjustPeakToZerocross(x.data(), 7);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{2, 1}));  // 5 has no crossing: 1; 2 is left
}

TEST_F(AdjustPeaks, ToMaxima) {
  //                       0  1  2  3  4  5  6  7
  std::vector<int16_t> x = {9, 1, 2, 3, 3, 1, 2, 5};
  SetPeaks({0, 4, 5});
  AdjustZerocrossToPeak(x.data(), 8);
  // 0 is taken as 1: 1 < 2, 2 < 3, 3 >= 3 and >= 2 -> 3. 4: 3 >= 1, 3 >= 3 -> 4.
  // 5: no maximum before 7: 6, and the walk stops.
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{3, 4, 6}));
  EXPECT_EQ(Periods(), (std::vector<int32_t>{1, 2}));
}

TEST_F(AdjustPeaks, PeaksOutsideTheSamplesAndShortInputsAreLeftAlone) {
  std::vector<int16_t> x = {1, -1, 1, -1};
  SetPeaks({-3, 2, 4, 100});
  int32_t periods[] = {50, 50, 50};
  SetModifiedPitch(periods);
  AdjustPeakToZerocross(x.data(), 1);
  AdjustZerocrossToPeak(nullptr, 4);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{-3, 2, 4, 100}));
  EXPECT_EQ(Periods(), (std::vector<int32_t>{50, 50, 50}));
  AdjustPeakToZerocross(x.data(), 4);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{-3, 2, 4, 100}));  // 2: (2,1) crosses, tie -> 2
  EXPECT_EQ(Periods(), (std::vector<int32_t>{5, 2, 96}));
  AdjustZerocrossToPeak(x.data(), 4);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{-3, 2, 4, 100}));  // 2: 1 >= -1, 1 >= -1
}

TEST_F(AdjustPeaks, RandomPeaksStayInsideTheSignal) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    const int n = std::uniform_int_distribution<int>(2, 40)(random);
    std::vector<int16_t> x = RandomSignal(n, static_cast<unsigned>(round));
    std::vector<int32_t> peaks;
    for (int k = 0; k < 5; ++k) peaks.push_back(std::uniform_int_distribution<int>(0, n - 1)(random));
    SetPeaks(peaks);
    if (round % 2) {
      AdjustPeakToZerocross(x.data(), n);
    } else {
      AdjustZerocrossToPeak(x.data(), n);
    }
    for (int32_t p : Peaks()) {
      ASSERT_GE(p, 0);
      ASSERT_LT(p, n);
    }
  }
}

}  // namespace
}  // namespace talvox::test
