// The low-pass designs and the cascade against a direct re-computation of
// the recurrence, with its delay state carried from call to call.
#include "dsp/filters.h"

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "test_support.h"

namespace talvox::test {
namespace {

// The recurrence written out plainly, with its own delay state.
class ReferenceCascade {
 public:
  void Run(std::vector<int16_t>& x, int order, double gain, const double* a, const double* b) {
    int sections = order / 2;
    if (sections > 9) sections = 9;
    if (sections < 0) sections = 0;
    for (auto& sample : x) {
      w0_[0] = sample * gain;
      for (int j = 0; j < sections; ++j) {
        w0_[j + 1] = w0_[j] + 2 * w1_[j] + w2_[j] - a[j] * w1_[j + 1] - b[j] * w2_[j + 1];
      }
      sample = static_cast<int16_t>(static_cast<int64_t>(w0_[sections]) & 0xFFFF);
      for (int j = 0; j <= sections; ++j) {
        w2_[j] = w1_[j];
        w1_[j] = w0_[j];
      }
    }
  }

 private:
  double w0_[10] = {}, w1_[10] = {}, w2_[10] = {};
};

std::vector<int16_t> Noise(int count, int amplitude, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> value(-amplitude, amplitude);
  std::vector<int16_t> x(count);
  for (auto& v : x) v = static_cast<int16_t>(value(rng));
  return x;
}

// Runs two consecutive calls through the library and the reference.
void ExpectSameAsReference(int order, double gain, const double* a, const double* b,
                           int amplitude) {
  ResetFilterState();
  ReferenceCascade reference;
  for (unsigned call = 0; call < 2; ++call) {
    std::vector<int16_t> mine = Noise(500, amplitude, 17 + call), theirs = mine;
    filter(mine.data(), static_cast<int32_t>(mine.size()), order, gain, a, b);
    reference.Run(theirs, order, gain, a, b);
    ASSERT_EQ(mine, theirs) << "order " << order << ", call " << call;
  }
}

TEST(Filter, MatchesRecurrenceAcrossCalls) {
  for (int order : {2, 3, 4, 5, 6, 7, 18, 19}) {
    double a[10], b[10];
    const double g = butt_low_pass(16000, order, 800.0, a, b);
    ExpectSameAsReference(order, g, a, b, 20000);
    const double gc = cheby_low_pass(16000, order, 0.5, 2000.0, a, b);
    ExpectSameAsReference(order, gc, a, b, 20000);
  }
}

TEST(Filter, StateCarriesOverBetweenSignals) {
  double a[10], b[10];
  const double g = butt_low_pass(16000, 6, 300.0, a, b);
  ResetFilterState();
  std::vector<int16_t> first(200, 8000);
  filter(first.data(), 200, 6, g, a, b);
  std::vector<int16_t> silence(50, 0);
  filter(silence.data(), 50, 6, g, a, b);
  // The ringing of the first signal leaks into the second.
  EXPECT_NE(silence[0], 0);
}

TEST(Filter, OrdersBelowTwoOnlyScale) {
  for (int order : {0, 1, -4}) {
    ResetFilterState();
    std::vector<int16_t> x = {100, -100, 7, -7};
    filter(x.data(), 4, order, 0.5, nullptr, nullptr);
    EXPECT_EQ(x, (std::vector<int16_t>{50, -50, 3, -3})) << order;
  }
}

TEST(Filter, OutputWrapsToSixteenBits) {
  ResetFilterState();
  std::vector<int16_t> x = {20000, -20000, 32767};
  filter(x.data(), 3, 0, 2.0, nullptr, nullptr);
  EXPECT_EQ(x, (std::vector<int16_t>{static_cast<int16_t>(40000 - 65536),
                                     static_cast<int16_t>(-40000 + 65536), -2}));
  double a[10], b[10];
  const double g = butt_low_pass(16000, 4, 1000.0, a, b);
  ExpectSameAsReference(4, g * 7, a, b, 32000);
}

TEST(Filter, OrdersAboveNineteenUseNineSections) {
  double a[20], b[20];
  const double g = butt_low_pass(16000, 40, 3000.0, a, b);
  ResetFilterState();
  std::vector<int16_t> mine = Noise(300, 10000, 3), theirs = mine;
  filter(mine.data(), 300, 40, g, a, b);
  ReferenceCascade reference;
  reference.Run(theirs, 19, g, a, b);
  EXPECT_EQ(mine, theirs);
}

TEST(Filter, CountZeroOrNullLeavesStateAlone) {
  double a[10], b[10];
  const double g = butt_low_pass(16000, 2, 1000.0, a, b);
  ResetFilterState();
  filter(nullptr, 10, 2, g, a, b);
  std::vector<int16_t> x = {10000, 0, 0, 0, 0};
  filter(x.data(), 0, 2, g, a, b);
  filter(x.data(), -5, 2, g, a, b);
  filter(x.data(), 5, 2, g, a, b);
  EXPECT_EQ(x, (std::vector<int16_t>{299, 1034, 1632, 1779, 1651}));
}

// Frequency response of the designed cascade, g * prod (1 + z^-1)^2 / (...).
double Magnitude(double g, const double* a, const double* b, int sections, double omega) {
  const std::complex<double> z1 = std::polar(1.0, -omega);
  std::complex<double> h = g;
  for (int j = 0; j < sections; ++j) {
    h *= (1.0 + 2.0 * z1 + z1 * z1) / (1.0 + a[j] * z1 + b[j] * z1 * z1);
  }
  return std::abs(h);
}

TEST(Designs, ButterworthIsUnityAtZeroAndHalfPowerAtCutoff) {
  for (int order : {2, 4, 6, 8}) {
    double a[10], b[10];
    const double g = butt_low_pass(16000, order, 1200.0, a, b);
    EXPECT_NEAR(Magnitude(g, a, b, order / 2, 0.0), 1.0, 1e-9);
    EXPECT_NEAR(Magnitude(g, a, b, order / 2, 2 * M_PI * 1200 / 16000), std::sqrt(0.5), 1e-6);
  }
}

TEST(Designs, ChebyshevHasItsRippleGainAtZeroAndHalfPowerAtCutoff) {
  for (int order : {2, 4, 6}) {
    const double ripple = 1.0;
    double a[10], b[10];
    const double g = cheby_low_pass(16000, order, ripple, 1000.0, a, b);
    const double epsilon = std::sqrt(std::pow(10.0, ripple / 10) - 1);
    EXPECT_NEAR(Magnitude(g, a, b, order / 2, 0.0), 1 / std::sqrt(1 + epsilon * epsilon), 1e-9);
    EXPECT_NEAR(Magnitude(g, a, b, order / 2, 2 * M_PI * 1000 / 16000), std::sqrt(0.5), 1e-6);
  }
}

TEST(Designs, OddOrderBuildsTheLowerSections) {
  double a[10] = {}, b[10] = {};
  a[2] = b[2] = 99.0;
  butt_low_pass(16000, 5, 1000.0, a, b);
  EXPECT_EQ(a[2], 99.0);
  EXPECT_EQ(b[2], 99.0);
  // Pole angles of the fifth-order prototype: (j + 0.5) pi / 5.
  const double t = std::tan(1000.0 / 16000 * 3.1415927);
  const double p = 2 * t * std::sin(1.5 * 3.1415927 / 5);
  const double q =
      p * p / 4 + t * t * std::cos(1.5 * 3.1415927 / 5) * std::cos(1.5 * 3.1415927 / 5);
  EXPECT_NEAR(a[1], (2 * q - 2) / (1 + p + q), 1e-15);
  EXPECT_NEAR(b[1], (1 - p + q) / (1 + p + q), 1e-15);
}

}  // namespace
}  // namespace talvox::test
