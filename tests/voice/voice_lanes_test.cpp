// The voice tracker's vector loops against the scalar sums they replace:
// the same operations in the same order, so the same bits, on every length,
// alignment and order, with and without the wide registers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "voice/closure_path.h"
#include "voice/decimation.h"
#include "voice/dot_product.h"
#include "voice/lp_residual.h"

namespace {

uint32_t Bits(float v) {
  uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}
uint64_t Bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Eight running float sums, lane j over k = j, j + 8, ..., the tail into
// lane 0, combined in pairs, as the tracker has always summed.
double DirectDot(const float* a, const float* b, int32_t n) {
  float s[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    for (int32_t j = 0; j < 8; ++j) s[j] += a[k + j] * b[k + j];
  }
  for (; k < n; ++k) s[0] += a[k] * b[k];
  return static_cast<double>((s[0] + s[1]) + (s[2] + s[3])) +
         static_cast<double>((s[4] + s[5]) + (s[6] + s[7]));
}

TEST(VoiceLanes, DotProductsMatchTheEightScalarSums) {
  std::mt19937 random(7);
  std::normal_distribution<float> speech(0.0f, 3000.0f);
  std::vector<float> x(2048 + 16);
  for (float& v : x) v = speech(random);
  x[100] = 1e30f;  // a product near overflow, and tiny ones
  x[101] = 1e-30f;
  for (int32_t n : {0, 1, 7, 8, 9, 15, 16, 17, 40, 41, 63, 400, 399, 2048}) {
    for (int32_t shift : {0, 1, 3, 5}) {
      const float* a = x.data() + shift;
      const float* b = x.data() + 2 * shift + 1;
      SCOPED_TRACE(testing::Message() << n << " " << shift);
      const double direct = DirectDot(a, b, n);
      EXPECT_EQ(Bits(talvox::Dot(a, b, n)), Bits(direct));
      EXPECT_EQ(Bits(talvox::dot_lanes::Sum(a, b, n)), Bits(direct));
      EXPECT_EQ(Bits(talvox::dot_lanes::NarrowSum(a, b, n)), Bits(direct));
      if (talvox::dot_lanes::HasAvx()) {
        EXPECT_EQ(Bits(talvox::dot_lanes::WideSum(a, b, n)), Bits(direct));
      }
    }
  }
}

TEST(VoiceLanes, InverseFilterMatchesTheScalarRecurrence) {
  std::mt19937 random(11);
  std::normal_distribution<float> speech(0.0f, 5000.0f);
  std::uniform_real_distribution<double> coefficient(-2.0, 2.0);
  std::vector<float> samples(700);
  for (float& v : samples) v = speech(random);
  const std::vector<double> x(samples.begin(), samples.end());
  const int32_t n = static_cast<int32_t>(x.size());
  for (int32_t order : {1, 2, 8, 20, 30}) {
    std::vector<double> a(static_cast<size_t>(order) + 1);
    a[0] = 1.0;
    for (int32_t k = 1; k <= order; ++k) a[k] = coefficient(random);
    for (int32_t start : {0, 3, order, order + 5, 160}) {
      for (int32_t end : {start, start + 1, start + 7, start + 8, start + 29, n}) {
        if (end > n) continue;
        SCOPED_TRACE(testing::Message() << order << " " << start << " " << end);
        std::vector<float> got(x.size(), -1.0f);
        talvox::InverseFilter(x.data(), a.data(), order, start, end, got.data());
        for (int32_t t = 0; t < n; ++t) {
          if (t < start || t >= end) {
            ASSERT_EQ(got[t], -1.0f) << t;  // outside the range: untouched
            continue;
          }
          double e = x[t];
          for (int32_t k = 1; k <= order && k <= t; ++k) e += a[k] * x[t - k];
          ASSERT_EQ(Bits(got[t]), Bits(static_cast<float>(e))) << t;
        }
      }
    }
  }
}

// The candidate pulses against the scan over every sample of each peak's
// reach in double: smooth pulses, noise, plateaus of equal values (ties go
// to the earlier sample), both polarities, short and long periods, a
// non-number (which never wins nor blocks), and the shortest residuals.
std::vector<int32_t> DirectPeaks(const talvox::ClosureSearch& s) {
  std::vector<int32_t> peaks;
  const float* e = s.residual;
  const double sign = s.polarity >= 0 ? 1.0 : -1.0;
  const int32_t shortest = std::max(1, static_cast<int32_t>(0.0004 * s.rate));
  for (int32_t t = 1; t + 1 < s.length; ++t) {
    const double v = sign * e[t];
    if (!(v > 0 && v > sign * e[t - 1] && v >= sign * e[t + 1])) continue;
    const int32_t reach = std::max(shortest, static_cast<int32_t>(s.PeriodAt(t) / 6));
    bool largest = true;
    for (int32_t k = std::max(0, t - reach); k <= std::min(s.length - 1, t + reach); ++k) {
      if (k != t && (sign * e[k] > v || (sign * e[k] == v && k < t))) largest = false;
    }
    if (largest) peaks.push_back(t);
  }
  return peaks;
}

TEST(VoiceLanes, CandidatePulsesMatchTheScanOfEveryReach) {
  std::mt19937 random(5);
  std::normal_distribution<float> noise(0.0f, 1.0f);
  for (float period : {8.0f, 60.0f, 200.0f}) {
    for (int32_t length : {1, 2, 3, 4, 17, 5000}) {
      for (bool plateaus : {false, true}) {
        std::vector<float> e(static_cast<size_t>(length));
        for (int32_t t = 0; t < length; ++t) {
          const float pulse = std::fmod(static_cast<float>(t), period) < 1.0f ? 8.0f : 0.0f;
          e[t] = pulse + noise(random);
          if (plateaus) e[t] = std::round(e[t]);  // many equal neighbours
        }
        if (length > 100) {
          for (int32_t at : {50, 51, 97, length - 2}) e[at] = std::numeric_limits<float>::quiet_NaN();
        }
        std::vector<float> periods(static_cast<size_t>(length / 16 + 1));
        for (size_t i = 0; i < periods.size(); ++i) periods[i] = period * (1.0f + 0.3f * std::sin(0.01f * i));
        for (int32_t polarity : {1, -1}) {
          SCOPED_TRACE(testing::Message() << period << " " << length << " " << plateaus << " " << polarity);
          talvox::ClosureSearch search;
          search.residual = e.data();
          search.length = length;
          search.rate = 16000;
          search.polarity = polarity;
          search.periods = periods.data();
          search.periodCount = static_cast<int32_t>(periods.size());
          search.periodStep = 16;
          const std::vector<int32_t> direct = DirectPeaks(search);
          EXPECT_EQ(talvox::DominantPeaks(search), direct);
          if (length == 5000) {
            EXPECT_GT(direct.size(), 10u);
          }
        }
      }
    }
  }
}

// The linear-phase reduction four outputs at a time against each output
// computed alone (one output takes the one-output loop), near both ends
// (where the signal's outside counts as 0) and inside.
TEST(VoiceLanes, ReductionFourAtATimeMatchesEachOutputAlone) {
  std::mt19937 random(3);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::vector<int16_t> x(3001);
  for (int16_t& v : x) v = static_cast<int16_t>(sample(random));
  const int32_t n = static_cast<int32_t>(x.size());
  for (int32_t factor : {1, 2, 3, 4, 8}) {
    for (int64_t first : {-40, 0, 7, 200}) {
      for (int32_t count : {1, 3, 4, 5, 37, (n - 7) / factor}) {
        SCOPED_TRACE(testing::Message() << factor << " " << first << " " << count);
        const std::vector<float> all = talvox::DecimateLinearPhase(x.data(), n, first, count, factor);
        ASSERT_EQ(all.size(), static_cast<size_t>(count));
        for (int32_t k = 0; k < count; ++k) {
          const std::vector<float> one =
              talvox::DecimateLinearPhase(x.data(), n, first + int64_t{k} * factor, 1, factor);
          ASSERT_EQ(Bits(all[k]), Bits(one[0])) << k;
        }
      }
    }
  }
}

}  // namespace
