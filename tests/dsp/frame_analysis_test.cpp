// Cepstrum and MFCC against a plain re-computation of their definitions
// (bit for bit) and against double precision (within float rounding).
#include "dsp/frame_analysis.h"

#include <atomic>
#include <cmath>
#include <complex>
#include <random>
#include <thread>
#include <vector>

#include "dsp/fft.h"
#include "dsp_settings.h"

namespace talvox::test {
namespace {

using Cepstrum = DspSettingsTest;
using Mfcc = DspSettingsTest;

std::vector<int16_t> Frame(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-3000, 3000);
  std::vector<int16_t> x(n);
  for (int i = 0; i < n; ++i) {
    x[i] = static_cast<int16_t>(8000 * std::sin(0.21 * i) + 4000 * std::sin(0.9 * i) + noise(rng));
  }
  return x;
}

int SizeFor(int n) { return n <= 2 ? 2 : n <= 4 ? 4 : n <= 16 ? 16 : n <= 256 ? 256 : 65536; }

const int kLower[20] = {0,    100,  200,  300,  400,  510,  630,  770,  920,  1080,
                        1270, 1480, 1720, 2000, 2320, 2700, 3150, 3700, 4400, 5300};
const int kCentre[20] = {50,   150,  250,  350,  450,  570,  700,  840,  1000, 1170,
                         1370, 1600, 1850, 2150, 2500, 2900, 3400, 4000, 4800, 5800};
const int kUpper[20] = {100,  200,  300,  400,  510,  630,  770,  920,  1080, 1270,
                        1480, 1720, 2000, 2320, 2700, 3150, 3700, 4400, 5300, 6400};

// ---- plain single-precision re-computations

std::vector<float> PlainCepstrum(const std::vector<int16_t>& x, int length) {
  const int size = SizeFor(static_cast<int>(x.size()));
  std::vector<float> re(size, 0.0f), im(size, 0.0f);
  for (size_t i = 0; i < x.size(); ++i) re[i] = x[i];
  FftPerButterfly(re.data(), im.data(), 0, size);
  for (int i = 0; i < size; ++i) {
    const float m = std::sqrt(re[i] * re[i] + im[i] * im[i]);
    re[i] = static_cast<float>(10 * std::log10(double{m}));
    im[i] = 0;
  }
  FftPerButterfly(re.data(), im.data(), 1, size);
  std::vector<float> out(length, 0.0f);
  for (int i = 0; i < length && i < size; ++i) out[i] = std::sqrt(re[i] * re[i] + im[i] * im[i]);
  return out;
}

std::vector<float> PlainMfcc(const std::vector<int16_t>& x, int rate, int length) {
  const int n = static_cast<int>(x.size());
  const int size = SizeFor(n);
  std::vector<float> re(size, 0.0f), im(size, 0.0f);
  for (int i = 0; i < n; ++i) {
    re[i] = static_cast<int16_t>((0.5 - 0.5 * std::cos(6.28318 * i / n)) * x[i]);
  }
  FftPerButterfly(re.data(), im.data(), 0, size);
  double logEnergy[20];
  for (int b = 0; b < 20; ++b) {
    const int lo = size * kLower[b] / rate, mid = size * kCentre[b] / rate,
              hi = size * kUpper[b] / rate;
    float e = 0;
    for (int i = lo; i <= hi && i < size / 2; ++i) {
      const float p = re[i] * re[i] + im[i] * im[i];
      if (lo == mid && i == lo) {
        e = p;
      } else if (i <= mid) {
        e += p * (i - lo) / (mid - lo);
      } else {
        e += p * (hi - i) / (hi - mid);
      }
    }
    logEnergy[b] = std::log10(double{e});
  }
  std::vector<float> out(length);
  for (int k = 1; k <= length; ++k) {
    float sum = 0;
    for (int j = 1; j <= 20; ++j)
      sum += logEnergy[j - 1] * std::cos(k * (j - 0.5) * 3.1415927 / 20);
    out[k - 1] = sum;
  }
  return out;
}

// ---- double-precision versions of the same definitions

std::vector<std::complex<double>> Dft(const std::vector<std::complex<double>>& x, double sign) {
  const size_t n = x.size();
  std::vector<std::complex<double>> out(n);
  for (size_t k = 0; k < n; ++k) {
    for (size_t t = 0; t < n; ++t)
      out[k] += x[t] * std::polar(1.0, sign * 2 * M_PI * (k * t % n) / n);
  }
  return out;
}

std::vector<double> DoubleCepstrum(const std::vector<int16_t>& x, int length) {
  const int size = SizeFor(static_cast<int>(x.size()));
  std::vector<std::complex<double>> s(size);
  for (size_t i = 0; i < x.size(); ++i) s[i] = x[i];
  s = Dft(s, -1);
  for (auto& v : s) v = 10 * std::log10(std::abs(v));
  s = Dft(s, 1);
  std::vector<double> out(length);
  for (int i = 0; i < length; ++i) out[i] = std::abs(s[i]) / size;
  return out;
}

std::vector<double> DoubleMfcc(const std::vector<int16_t>& x, int rate, int length) {
  const int n = static_cast<int>(x.size());
  const int size = SizeFor(n);
  std::vector<std::complex<double>> s(size);
  for (int i = 0; i < n; ++i) {
    s[i] = static_cast<int16_t>((0.5 - 0.5 * std::cos(6.28318 * i / n)) * x[i]);
  }
  s = Dft(s, -1);
  double logEnergy[20];
  for (int b = 0; b < 20; ++b) {
    const int lo = size * kLower[b] / rate, mid = size * kCentre[b] / rate,
              hi = size * kUpper[b] / rate;
    double e = 0;
    for (int i = lo; i <= hi && i < size / 2; ++i) {
      const double p = std::norm(s[i]);
      e += (lo == mid && i == lo) ? p
           : i <= mid             ? p * (i - lo) / (mid - lo)
                                  : p * (hi - i) / (hi - mid);
    }
    logEnergy[b] = std::log10(e);
  }
  std::vector<double> out(length);
  for (int k = 1; k <= length; ++k) {
    for (int j = 1; j <= 20; ++j)
      out[k - 1] += logEnergy[j - 1] * std::cos(k * (j - 0.5) * M_PI / 20);
  }
  return out;
}

// ---- transform size and band bins

TEST(FrameAnalysis, TransformSizes) {
  const std::vector<std::pair<int, int>> cases = {
      {1, 2},    {2, 2},     {3, 4},       {5, 16},        {13, 16},  {16, 16},
      {17, 256}, {256, 256}, {257, 65536}, {65536, 65536}, {65537, 0}};
  for (auto [n, size] : cases) EXPECT_EQ(AnalysisTransformSize(n), size) << n;
}

TEST(FrameAnalysis, BandBinsFor256At16kHz) {
  const BandBins want[20] = {{0, 0, 1},    {1, 2, 3},    {3, 4, 4},    {4, 5, 6},    {6, 7, 8},
                             {8, 9, 10},   {10, 11, 12}, {12, 13, 14}, {14, 16, 17}, {17, 18, 20},
                             {20, 21, 23}, {23, 25, 27}, {27, 29, 32}, {32, 34, 37}, {37, 40, 43},
                             {43, 46, 50}, {50, 54, 59}, {59, 64, 70}, {70, 76, 84}, {84, 92, 102}};
  for (int b = 0; b < 20; ++b) {
    const BandBins got = MfccBandBins(b, 256, 16000);
    EXPECT_EQ(got.lo, want[b].lo) << b;
    EXPECT_EQ(got.mid, want[b].mid) << b;
    EXPECT_EQ(got.hi, want[b].hi) << b;
  }
  const BandBins band17 = MfccBandBins(17, 256, 8000);
  EXPECT_EQ(band17.lo, 118);
  EXPECT_EQ(band17.mid, 128);
  EXPECT_EQ(band17.hi, 140);
}

// ---- cepstrum

TEST_F(Cepstrum, SettingsAtLoad) {
  EXPECT_EQ(GetCeplen(), 50);
  EXPECT_EQ(GetMFCCVecLen(), 13);
}

TEST_F(Cepstrum, MatchesPlainComputation) {
  for (int n : {13, 16, 17, 200, 256, 300}) {
    const std::vector<int16_t> x = Frame(n, n);
    std::vector<float> out(50);
    ASSERT_EQ(CalculateCepstral(x.data(), n, out.data()), 50) << n;
    EXPECT_EQ(out, PlainCepstrum(x, 50)) << n;
    for (float v : out) EXPECT_GE(v, 0.0f);
  }
}

TEST_F(Cepstrum, AgreesWithDoublePrecision) {
  const std::vector<int16_t> x = Frame(240, 1);
  SetCeplen(100);
  std::vector<float> out(100);
  ASSERT_EQ(CalculateCepstral(x.data(), 240, out.data()), 100);
  const std::vector<double> want = DoubleCepstrum(x, 100);
  for (int i = 0; i < 100; ++i) EXPECT_NEAR(out[i], want[i], 1e-4 * (1 + want[0])) << i;
}

TEST_F(Cepstrum, LengthBeyondTransformIsZeroFilled) {
  const std::vector<int16_t> x = Frame(14, 2);
  std::vector<float> out(50, -1.0f);
  ASSERT_EQ(CalculateCepstral(x.data(), 14, out.data()), 50);
  const std::vector<float> want = PlainCepstrum(x, 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], want[i]);
  for (int i = 16; i < 50; ++i) EXPECT_EQ(out[i], 0.0f);
}

TEST_F(Cepstrum, RefusedArgumentsWriteNothing) {
  std::vector<int16_t> x = Frame(70000, 3);
  std::vector<float> out(60, -1.0f);
  EXPECT_EQ(CalculateCepstral(x.data(), 12, out.data()), 0);
  EXPECT_EQ(CalculateCepstral(x.data(), 65537, out.data()), 0);
  EXPECT_EQ(CalculateCepstral(nullptr, 100, out.data()), 0);
  EXPECT_EQ(CalculateCepstral(x.data(), 100, nullptr), 0);
  SetCeplen(0);
  EXPECT_EQ(CalculateCepstral(x.data(), 100, out.data()), 0);
  SetCeplen(-5);
  EXPECT_EQ(GetCeplen(), -5);
  EXPECT_EQ(CalculateCepstral(x.data(), 100, out.data()), 0);
  EXPECT_EQ(out, std::vector<float>(60, -1.0f));
}

// ---- MFCC

TEST_F(Mfcc, MatchesPlainComputation) {
  for (int n : {20, 100, 256, 257, 400}) {
    const std::vector<int16_t> x = Frame(n, n + 1);
    std::vector<float> out(13);
    ASSERT_EQ(MFCCCalculateParam(x.data(), n, out.data()), 13) << n;
    EXPECT_EQ(out, PlainMfcc(x, 16000, 13)) << n;
  }
}

// The working arrays are kept between calls: a longer frame before a
// shorter one of the same transform size, or a size change, must leave
// nothing behind, and threads analysing at once must not share them.
TEST_F(Mfcc, KeptWorkingArraysLeaveNothingBehind) {
  const std::vector<int> lengths = {400, 300, 256, 60000, 257, 20, 65536, 1000};
  std::vector<std::vector<float>> want;
  for (int n : lengths) want.push_back(PlainMfcc(Frame(n, n + 7), 16000, 13));
  for (size_t k = 0; k < lengths.size(); ++k) {
    const std::vector<int16_t> x = Frame(lengths[k], lengths[k] + 7);
    std::vector<float> out(13);
    ASSERT_EQ(MFCCCalculateParam(x.data(), lengths[k], out.data()), 13);
    ASSERT_EQ(out, want[k]) << lengths[k];
  }
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 6; ++round) {
        const size_t k = static_cast<size_t>(t + round) % lengths.size();
        const std::vector<int16_t> x = Frame(lengths[k], lengths[k] + 7);
        std::vector<float> out(13);
        MFCCCalculateParam(x.data(), lengths[k], out.data());
        if (out != want[k]) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(Mfcc, OtherRatesAndLengths) {
  const std::vector<int16_t> x = Frame(256, 4);
  MFCCSetSampleingRate(22050);
  SetMFCCVecLen(20);
  std::vector<float> out(20);
  ASSERT_EQ(MFCCCalculateParam(x.data(), 256, out.data()), 20);
  EXPECT_EQ(out, PlainMfcc(x, 22050, 20));
  SetMFCCVecLen(40);  // the DCT has no upper bound on k
  std::vector<float> longer(40);
  ASSERT_EQ(MFCCCalculateParam(x.data(), 256, longer.data()), 40);
  EXPECT_EQ(longer, PlainMfcc(x, 22050, 40));
}

TEST_F(Mfcc, AgreesWithDoublePrecision) {
  const std::vector<int16_t> x = Frame(256, 5);
  std::vector<float> out(13);
  ASSERT_EQ(MFCCCalculateParam(x.data(), 256, out.data()), 13);
  const std::vector<double> want = DoubleMfcc(x, 16000, 13);
  for (int k = 0; k < 13; ++k) EXPECT_NEAR(out[k], want[k], 1e-4) << k;
}

TEST_F(Mfcc, EmptyBandsAtLowRateGiveNonFiniteValues) {
  const std::vector<int16_t> x = Frame(256, 6);
  MFCCSetSampleingRate(8000);
  std::vector<float> out(13);
  ASSERT_EQ(MFCCCalculateParam(x.data(), 256, out.data()), 13);
  for (float v : out) EXPECT_FALSE(std::isfinite(v));
}

TEST_F(Mfcc, RefusedArgumentsWriteNothing) {
  std::vector<int16_t> x = Frame(70000, 7);
  std::vector<float> out(20, -1.0f);
  EXPECT_EQ(MFCCCalculateParam(x.data(), 19, out.data()), 0);
  EXPECT_EQ(MFCCCalculateParam(x.data(), 65537, out.data()), 0);
  EXPECT_EQ(MFCCCalculateParam(nullptr, 256, out.data()), 0);
  EXPECT_EQ(MFCCCalculateParam(x.data(), 256, nullptr), 0);
  SetMFCCVecLen(0);
  EXPECT_EQ(MFCCCalculateParam(x.data(), 256, out.data()), 0);
  SetMFCCVecLen(-3);
  EXPECT_EQ(GetMFCCVecLen(), -3);
  EXPECT_EQ(MFCCCalculateParam(x.data(), 256, out.data()), 0);
  SetMFCCVecLen(13);
  for (int rate : {0, -16000}) {
    MFCCSetSampleingRate(rate);
    EXPECT_EQ(MFCCCalculateParam(x.data(), 256, out.data()), 0);
  }
  EXPECT_EQ(out, std::vector<float>(20, -1.0f));
}

}  // namespace
}  // namespace talvox::test
