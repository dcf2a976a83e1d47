// The median the command plans periods from, against a direct count.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "run_median.h"

namespace {

// The run around k, then 2 reach + 1 of its intervals, moved inward at its ends.
double Direct(const std::vector<double>& v, size_t k, size_t reach) {
  size_t first = k, last = k;
  while (first > 0 && v[first - 1] > 0) --first;
  while (last + 1 < v.size() && v[last + 1] > 0) ++last;
  const long begin = std::max<long>(long(first), std::min<long>(long(k) - long(reach), long(last) - 2 * long(reach)));
  std::vector<double> near(v.begin() + begin, v.begin() + std::min<long>(long(last), begin + 2 * long(reach)) + 1);
  std::sort(near.begin(), near.end());
  return near[near.size() / 2];
}

TEST(RunMedian, MatchesADirectCountWithinEachRun) {
  std::mt19937 random(5);
  const double choices[] = {0, 60, 90, 100, 130, 0};
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<double> v(random() % 30 + 1);
    for (double& x : v) x = choices[random() % 6];
    for (size_t reach : {1u, 2u, 4u}) {
      for (size_t k = 0; k < v.size(); ++k) {
        if (v[k] <= 0) continue;
        EXPECT_EQ(tvx::RunMedian(k, v.size(), reach, [&](size_t j) { return v[j]; }), Direct(v, k, reach));
      }
    }
  }
}

TEST(RunMedian, AnEdgeReadingDoesNotRuleItsOwnInterval) {
  const std::vector<double> v = {0, 170, 160, 161, 0, 150};
  auto at = [&](size_t j) { return v[j]; };
  EXPECT_EQ(tvx::RunMedian(1, v.size(), 1, at), 161);
  EXPECT_EQ(tvx::RunMedian(3, v.size(), 1, at), 161);
  EXPECT_EQ(tvx::RunMedian(5, v.size(), 1, at), 150);  // a run of one
}

}  // namespace
