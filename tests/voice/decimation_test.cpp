// The pitch copy against a textbook computation of the same filters, and
// its behaviour in digital silence.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "voice/decimation.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Transposed-form Butterworth sections in long double, then the DC block on
// every factor-th output: the filter the pitch copy is meant to be.
std::vector<double> ReferencePitchCopy(const std::vector<int16_t>& x, int32_t factor, double rate) {
  const double reduced = rate / factor;
  const double w = 2 * kPi * 0.25 * reduced / rate;
  struct Section {
    long double b0, b1, b2, a1, a2, z1 = 0, z2 = 0;
  };
  std::vector<Section> sections;
  for (double q : {0.54119610, 1.30656296}) {
    const long double alpha = std::sin(w) / (2 * q), c = std::cos(w), a0 = 1 + alpha;
    sections.push_back({(1 - c) / 2 / a0, (1 - c) / a0, (1 - c) / 2 / a0, -2 * c / a0,
                        (1 - alpha) / a0});
  }
  const long double pole = std::exp(-2 * kPi * 20.0 / reduced);
  long double previousIn = 0, previousOut = 0;
  std::vector<double> out;
  for (size_t n = 0; n < x.size(); ++n) {
    long double v = x[n];
    for (Section& s : sections) {
      const long double y = s.b0 * v + s.z1;
      s.z1 = s.b1 * v - s.a1 * y + s.z2;
      s.z2 = s.b2 * v - s.a2 * y;
      v = y;
    }
    if (n % static_cast<size_t>(factor) == 0) {
      previousOut = v - previousIn + pole * previousOut;
      previousIn = v;
      out.push_back(static_cast<double>(previousOut));
    }
  }
  return out;
}

TEST(VoiceDecimation, PitchCopyIsTheButterworthLowPassAndDcBlock) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> sample(-20000, 20000);
  std::vector<int16_t> x(4001);
  for (int16_t& v : x) v = static_cast<int16_t>(sample(random));
  for (int32_t factor : {1, 3, 4, 12}) {
    SCOPED_TRACE(factor);
    const std::vector<float> got =
        talvox::DecimateForPitch(x.data(), static_cast<int32_t>(x.size()), factor, 16000.0);
    const std::vector<double> want = ReferencePitchCopy(x, factor, 16000.0);
    ASSERT_EQ(got.size(), want.size());
    for (size_t k = 0; k < got.size(); ++k) ASSERT_NEAR(got[k], want[k], 1e-3) << k;
  }
}

// After sound, long digital silence decays to exactly 0 instead of through
// subnormal numbers (a hundredfold slower), and a DC offset is blocked the
// same way; a sound after the silence is filtered as if the silence had
// been there from the start.
TEST(VoiceDecimation, SilenceAfterSoundBecomesExactZero) {
  std::vector<int16_t> x(160000, 0);
  for (size_t n = 0; n < 800; ++n) x[n] = static_cast<int16_t>(12000 * std::sin(0.05 * n));
  for (size_t n = 60000; n < 100000; ++n) x[n] = -7;
  for (size_t n = 150000; n < 150800; ++n) x[n] = x[n - 150000];
  const std::vector<float> got =
      talvox::DecimateForPitch(x.data(), static_cast<int32_t>(x.size()), 4, 16000.0);
  ASSERT_EQ(got.size(), 40000u);
  for (size_t k = 10000; k < 15000; ++k) ASSERT_EQ(got[k], 0.0f) << k;
  for (size_t k = 35000; k < 37500; ++k) ASSERT_EQ(got[k], 0.0f) << k;
  for (size_t k = 0; k < 400; ++k) ASSERT_FLOAT_EQ(got[37500 + k], got[k]) << k;
  for (float v : got) ASSERT_NE(std::fpclassify(v), FP_SUBNORMAL);
}

}  // namespace
