// The table-driven transform against the per-butterfly definition (bit for
// bit), against a double-precision DFT, and its handling of odd sizes.
#include "dsp/fft.h"

#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "test_support.h"

namespace talvox::test {
namespace {

struct Complex {
  std::vector<float> re, im;
};

Complex RandomSignal(int32_t n, std::mt19937& rng) {
  std::uniform_real_distribution<float> value(-32768.0f, 32767.0f);
  std::uniform_int_distribution<int> scale(-20, 20);
  Complex x{std::vector<float>(n), std::vector<float>(n)};
  for (int32_t i = 0; i < n; ++i) {
    x.re[i] = std::ldexp(value(rng), scale(rng));
    x.im[i] = value(rng);
  }
  if (n > 2) x.re[1] = -0.0f;  // signed zeros must travel the same way
  return x;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(Fft, MatchesPerButterflyBitForBitForEverySize) {
  std::mt19937 rng(7);
  for (int32_t n = 2; n <= 65536; n *= 2) {
    for (int32_t direction : {0, 1}) {
      Complex fast = RandomSignal(n, rng);
      Complex narrow = fast, slow = fast;
      ASSERT_EQ(Fft(fast.re.data(), fast.im.data(), direction, n), 1);
      ASSERT_EQ(FftFourLanes(narrow.re.data(), narrow.im.data(), direction, n), 1);
      ASSERT_EQ(FftPerButterfly(slow.re.data(), slow.im.data(), direction, n), 1);
      EXPECT_TRUE(SameBits(fast.re, slow.re)) << "n=" << n << " direction=" << direction;
      EXPECT_TRUE(SameBits(fast.im, slow.im)) << "n=" << n << " direction=" << direction;
      EXPECT_TRUE(SameBits(narrow.re, slow.re)) << "n=" << n << " direction=" << direction;
      EXPECT_TRUE(SameBits(narrow.im, slow.im)) << "n=" << n << " direction=" << direction;
    }
  }
}

// Tables are built on first use; threads meeting there on the same and on
// different sizes all get complete tables.
TEST(Fft, ConcurrentFirstUseGivesTheSameBits) {
  std::vector<std::thread> threads;
  std::vector<int> ok(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &ok] {
      const int32_t n = 1 << (5 + t % 4);
      std::mt19937 rng(t);
      Complex fast = RandomSignal(n, rng), slow = fast;
      Fft(fast.re.data(), fast.im.data(), 0, n);
      FftPerButterfly(slow.re.data(), slow.im.data(), 0, n);
      ok[t] = SameBits(fast.re, slow.re) && SameBits(fast.im, slow.im);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(ok, std::vector<int>(8, 1));
}

TEST(Fft, AgreesWithDoublePrecisionDft) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  for (int32_t n : {2, 4, 8, 16, 128, 256, 1024}) {
    for (int32_t direction : {0, 1}) {
      std::vector<float> re(n), im(n);
      double total = 0;
      for (int32_t i = 0; i < n; ++i) {
        re[i] = value(rng);
        im[i] = value(rng);
        total += std::fabs(re[i]) + std::fabs(im[i]);
      }
      const double sign = direction == 0 ? -1.0 : 1.0;
      const double scale = direction == 0 ? 1.0 : 1.0 / n;
      std::vector<double> wantRe(n), wantIm(n);
      for (int32_t k = 0; k < n; ++k) {
        for (int32_t t = 0; t < n; ++t) {
          const double angle = sign * 2 * M_PI * (static_cast<int64_t>(k) * t % n) / n;
          wantRe[k] += re[t] * std::cos(angle) - im[t] * std::sin(angle);
          wantIm[k] += re[t] * std::sin(angle) + im[t] * std::cos(angle);
        }
        wantRe[k] *= scale;
        wantIm[k] *= scale;
      }
      fft(re.data(), im.data(), direction, n);
      // Single-precision rounding grows with the number of passes.
      const double tolerance = 4e-7 * (std::log2(n) + 1) * total * scale;
      for (int32_t k = 0; k < n; ++k) {
        EXPECT_NEAR(re[k], wantRe[k], tolerance) << "n=" << n << " k=" << k;
        EXPECT_NEAR(im[k], wantIm[k], tolerance) << "n=" << n << " k=" << k;
      }
    }
  }
}

TEST(Fft, ForwardThenInverseRestoresTheInput) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> value(-32768.0f, 32767.0f);
  for (int32_t n : {16, 256, 65536}) {
    std::vector<float> re(n), im(n);
    for (auto& v : re) v = value(rng);
    const std::vector<float> original = re;
    fft(re.data(), im.data(), 0, n);
    fft(re.data(), im.data(), 1, n);
    for (int32_t i = 0; i < n; ++i) {
      EXPECT_NEAR(re[i], original[i], 0.05) << "n=" << n;
      EXPECT_NEAR(im[i], 0.0f, 0.05) << "n=" << n;
    }
  }
}

TEST(Fft, SizeOneAndAnyNonZeroDirection) {
  float re = 3.5f, im = -2.0f;
  EXPECT_EQ(fft(&re, &im, 0, 1), 1);
  EXPECT_EQ(fft(&re, &im, 1, 1), 1);
  EXPECT_EQ(re, 3.5f);
  EXPECT_EQ(im, -2.0f);

  std::mt19937 rng(5);
  Complex five = RandomSignal(64, rng);
  Complex one = five;
  fft(five.re.data(), five.im.data(), 5, 64);
  fft(one.re.data(), one.im.data(), 1, 64);
  EXPECT_TRUE(SameBits(five.re, one.re));
  EXPECT_TRUE(SameBits(five.im, one.im));
}

TEST(Fft, RefusedSizesLeaveTheDataAlone) {
  std::vector<float> re = {1, 2, 3, 4, 5, 6}, im = {6, 5, 4, 3, 2, 1};
  const std::vector<float> re0 = re, im0 = im;
  EXPECT_EQ(fft(re.data(), im.data(), 0, 0), 1);
  EXPECT_EQ(fft(re.data(), im.data(), 1, -8), 1);
  EXPECT_EQ(fft(re.data(), im.data(), 0, 6), 0);
  EXPECT_EQ(fft(re.data(), im.data(), 1, 3), 0);
  EXPECT_EQ(re, re0);
  EXPECT_EQ(im, im0);
  EXPECT_EQ(fft(nullptr, im.data(), 0, 4), 0);
  EXPECT_EQ(fft(re.data(), nullptr, 0, 0), 1);
}

// The windows, computed directly from their definitions.
int16_t Weighted(double weight, int16_t x) { return static_cast<int16_t>(weight * x); }

TEST(Windows, MatchDirectComputation) {
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> value(-32768, 32767);
  // Lengths repeat and alternate: the full window keeps the last length's
  // weights.
  for (int32_t n : {1, 2, 3, 7, 128, 128, 400, 128, 1001, 70000, 3}) {
    std::vector<int16_t> x(n);
    for (auto& v : x) v = static_cast<int16_t>(value(rng));
    std::vector<int16_t> full = x, rise = x, fall = x;
    Hanning(full.data(), n);
    HanningRise(rise.data(), n);
    HanningFall(fall.data(), n);
    for (int32_t i = 0; i < n; ++i) {
      EXPECT_EQ(full[i], Weighted(0.5 - 0.5 * std::cos(6.28318 * i / n), x[i]));
      EXPECT_EQ(rise[i], Weighted(0.5 - 0.5 * std::cos(3.14159 * i / n), x[i]));
      const double fraction = static_cast<double>(i) / n;
      EXPECT_EQ(fall[i], Weighted(0.5 - 0.5 * std::cos((1 - fraction) * 3.14159), x[i]));
    }
  }
}

TEST(Windows, HalfWindowWorkedValues) {
  std::vector<int16_t> rise(4, 1000), fall(4, 1000);
  HanningRise(rise.data(), 4);
  HanningFall(fall.data(), 4);
  EXPECT_EQ(rise, (std::vector<int16_t>{0, 146, 499, 853}));
  EXPECT_EQ(fall, (std::vector<int16_t>{999, 853, 499, 146}));
}

TEST(Windows, NonPositiveLengthOrNullDoesNothing) {
  std::vector<int16_t> x = {1000, 1000};
  Hanning(x.data(), 0);
  Hanning(x.data(), -3);
  HanningRise(x.data(), -1);
  HanningFall(x.data(), 0);
  Hanning(nullptr, 4);
  EXPECT_EQ(x, (std::vector<int16_t>{1000, 1000}));
}

}  // namespace
}  // namespace talvox::test
