// Moving averages of contours against a direct re-computation.
#include <random>
#include <vector>

#include "test_support.h"

namespace talvox::test {
namespace {

// Direct form: every value either copied or averaged over 2h + 1 values.
std::vector<int32_t> DirectAverage(const std::vector<int32_t>& src, int window) {
  const int n = static_cast<int>(src.size()), h = window / 2;
  std::vector<int32_t> dst(n);
  for (int i = 0; i < n; ++i) {
    if (i < h || i >= n - h) {
      dst[i] = src[i];
      continue;
    }
    int64_t sum = 0;
    for (int j = i - h; j <= i + h; ++j) sum += src[j];
    dst[i] = static_cast<int16_t>(static_cast<uint16_t>(sum / window));
  }
  return dst;
}

std::vector<int32_t> DirectPitch(const std::vector<int32_t>& src, int window) {
  std::vector<int32_t> dst(src.size(), 0);
  size_t i = 0;
  while (i < src.size()) {
    if (src[i] <= 50) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < src.size() && src[end] > 50) ++end;
    const std::vector<int32_t> run(src.begin() + i, src.begin() + end);
    const std::vector<int32_t> smoothed = DirectAverage(run, window);
    std::copy(smoothed.begin(), smoothed.end(), dst.begin() + i);
    i = end;
  }
  return dst;
}

std::vector<int32_t> Contour(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> value(-20, 300);
  std::vector<int32_t> x(n);
  for (auto& v : x) v = value(rng);
  return x;
}

TEST(PointFilter, WorkedContour) {
  const std::vector<int32_t> src = {0, 0, 100, 130, 100, 130, 100, 0};
  std::vector<int32_t> dst(8, -1);
  EXPECT_EQ(FilterPitch(src.data(), dst.data(), 8, 3), 1);
  EXPECT_EQ(dst, (std::vector<int32_t>{0, 0, 100, 110, 120, 110, 100, 0}));
}

TEST(PointFilter, MatchesDirectComputation) {
  for (int window : {1, 2, 3, 4, 5, 8, 31}) {
    for (int n : {1, 2, 5, 40, 500}) {
      const std::vector<int32_t> src = Contour(n, window * 1000 + n);
      std::vector<int32_t> dst(n, -1);
      EXPECT_EQ(FilterInPoints(src.data(), dst.data(), n, window), 1);
      EXPECT_EQ(dst, DirectAverage(src, window)) << "window " << window << " n " << n;
      EXPECT_EQ(FilterPitch(src.data(), dst.data(), n, window), 1);
      EXPECT_EQ(dst, DirectPitch(src, window)) << "window " << window << " n " << n;
    }
  }
}

TEST(PointFilter, RunsEndAtFiftyAndEvenWindowsDivideByWindow) {
  const std::vector<int32_t> src = {100, 100, 100, 50, 200, 200, 200, 200, 200, 60};
  std::vector<int32_t> dst(10);
  FilterPitch(src.data(), dst.data(), 10, 4);
  // First run (3 values) is shorter than 2h + 1: copied. Second run (60 is
  // voiced): 6 values, the inner two sum five values and divide by 4.
  EXPECT_EQ(dst, (std::vector<int32_t>{100, 100, 100, 0, 200, 200, 250, 215, 200, 60}));
  std::vector<int32_t> none = {0, 50, -3, 10}, out(4, 9);
  EXPECT_EQ(FilterPitch(none.data(), out.data(), 4, 3), 1);
  EXPECT_EQ(out, std::vector<int32_t>(4, 0));
}

TEST(PointFilter, AveragesWrapToSixteenBits) {
  const std::vector<int32_t> src = {40000, 40000, 40000, 2000000000, 2000000000, 2000000000};
  std::vector<int32_t> dst(6);
  FilterInPoints(src.data(), dst.data(), 6, 3);
  EXPECT_EQ(dst, DirectAverage(src, 3));
  EXPECT_EQ(dst[1], static_cast<int16_t>(40000 - 65536));
}

TEST(PointFilter, EmptyContourIsAccepted) {
  int32_t src = 100, dst = 7;
  EXPECT_EQ(FilterInPoints(&src, &dst, 0, 3), 1);
  EXPECT_EQ(FilterPitch(&src, &dst, 0, 3), 1);
  EXPECT_EQ(dst, 7);
}

TEST(PointFilter, RefusalsWriteNothing) {
  const std::vector<int32_t> src = {100, 120, 140};
  std::vector<int32_t> dst(3, 7);
  for (auto fn : {FilterInPoints, FilterPitch}) {
    EXPECT_EQ(fn(src.data(), dst.data(), 3, 0), 0);
    EXPECT_EQ(fn(src.data(), dst.data(), 3, -2), 0);
    EXPECT_EQ(fn(src.data(), dst.data(), -1, 3), 0);
    EXPECT_EQ(fn(nullptr, dst.data(), 3, 3), 0);
    EXPECT_EQ(fn(src.data(), nullptr, 3, 3), 0);
    EXPECT_EQ(dst, std::vector<int32_t>(3, 7));
  }
}

}  // namespace
}  // namespace talvox::test
