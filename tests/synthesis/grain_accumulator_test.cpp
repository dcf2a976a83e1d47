// Delayed grains against a direct computation: Catmull-Rom interpolation
// of the source (its ends held), raised and lowered by half Hann windows,
// summed and rounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "synthesis/grain_accumulator.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double Held(const std::vector<int16_t>& x, int64_t i) {
  return x[static_cast<size_t>(std::clamp<int64_t>(i, 0, static_cast<int64_t>(x.size()) - 1))];
}

// The source at fractional position p, cubic through its four neighbours.
double CubicAt(const std::vector<int16_t>& x, double p) {
  const int64_t i = static_cast<int64_t>(std::floor(p));
  const double u = p - static_cast<double>(i);
  const double a = Held(x, i - 1), b = Held(x, i), c = Held(x, i + 1), d = Held(x, i + 2);
  return b + 0.5 * u * (c - a + u * (2 * a - 5 * b + 4 * c - d + u * (3 * (b - c) + d - a)));
}

TEST(GrainAccumulator, DelayedGrainsReachingPastTheSourceEndsHoldTheEnds) {
  std::mt19937 random(4);
  std::uniform_int_distribution<int> sample(-20000, 20000);
  std::vector<int16_t> source(60);
  for (int16_t& v : source) v = static_cast<int16_t>(sample(random));
  const int64_t n = static_cast<int64_t>(source.size());
  for (double delay : {0.3, -0.7, 2.5, -3.25}) {
    for (int64_t centre : {int64_t{2}, int64_t{30}, n - 3}) {
      SCOPED_TRACE(testing::Message() << delay << " " << centre);
      const int32_t left = 12, right = 9;
      std::vector<int16_t> out(40, 0);
      talvox::GrainAccumulator sum(out.data(), static_cast<int64_t>(out.size()));
      sum.AddDelayed(20, source.data(), n, centre, left, right, delay);
      sum.Finish();
      for (int32_t i = 0; i < left + right; ++i) {
        const double weight = i < left ? 0.5 - 0.5 * std::cos(kPi * i / left)
                                       : 0.5 + 0.5 * std::cos(kPi * (i - left) / right);
        const double want = weight * CubicAt(source, static_cast<double>(centre - left + i) - delay);
        ASSERT_NEAR(out[static_cast<size_t>(20 - left + i)], want, 1.0) << i;
      }
    }
  }
}

}  // namespace
