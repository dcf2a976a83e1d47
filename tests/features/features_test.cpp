// Spectrogram and energy contour: worked values, agreement with a direct
// computation of the formulas, and the refusals.
#include <cmath>
#include <random>
#include <vector>

#include "features/energy_contour.h"
#include "features/spectrogram.h"
#include "features/spectrum_levels.h"
#include "pitch/voiced_regions.h"
#include "test_support.h"

namespace talvox::test {
namespace {

// The transform exactly as described: twiddles computed afresh for every
// butterfly from 6.2831854.
void LiteralFft(float* re, float* im, int n) {
  int m = 0;
  for (int k = n; k > 1; k /= 2) ++m;
  for (int j = 0; j < n - 2; ++j) {
    int r = 0;
    for (int b = 0, v = j; b < m; ++b, v >>= 1) r = (r << 1) | (v & 1);
    if (j < r) {
      std::swap(re[j], re[r]);
      std::swap(im[j], im[r]);
    }
  }
  for (int groups = n / 2, half = 1, pass = 0; pass < m; ++pass, groups /= 2, half *= 2) {
    for (int g = 0; g < groups; ++g) {
      for (int k = 0; k < half; ++k) {
        const double angle = 6.2831854 * groups * k / n;
        const float c = static_cast<float>(std::cos(angle));
        const float w = static_cast<float>(-1 * std::sin(angle));
        const int p = 2 * half * g + k, q = p + half;
        const float tr = c * re[q] - w * im[q];
        const float ti = w * re[q] + c * im[q];
        re[q] = re[p] - tr;
        im[q] = im[p] - ti;
        re[p] = re[p] + tr;
        im[p] = im[p] + ti;
      }
    }
  }
}

uint8_t LiteralByte(float p) {
  float level = p > 1 ? 10.0f * std::log10(p) : 0.0f;
  level = level - 60.0f;
  if (level < 0) level = 0;
  int v = static_cast<int>(4.0f * level);
  return static_cast<uint8_t>(v > 255 ? 255 : (v < 0 ? 0 : v));
}

std::vector<uint8_t> LiteralSpectrogram(const std::vector<int16_t>& x) {
  const int count = static_cast<int>(x.size());
  std::vector<uint8_t> out;
  for (int start = 0; start < count; start += 16) {
    std::vector<int16_t> frame(128, 0);
    for (int j = 0; j < 128 && start + j < count; ++j) frame[j] = x[start + j];
    Hanning(frame.data(), 128);
    std::vector<float> re(frame.begin(), frame.end()), im(128, 0.0f);
    LiteralFft(re.data(), im.data(), 128);
    for (int k = 0; k < 64; ++k) out.push_back(LiteralByte(re[k] * re[k] + im[k] * im[k]));
  }
  return out;
}

std::vector<int16_t> Speechlike(int count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<int16_t> x = VoicedSignal(0, count, 0, 90 + static_cast<int>(seed % 40), 14000);
  for (auto& s : x) s = static_cast<int16_t>(s + static_cast<int>(random() % 2001) - 1000);
  return x;
}

class Features : public DocumentTest {};

TEST_F(Features, FrameCounts) {
  std::vector<int16_t> x(128, 5);
  EXPECT_EQ(CalculateSpectrum(x.data(), 16), 1);
  EXPECT_EQ(CalculateSpectrum(x.data(), 17), 2);
  EXPECT_EQ(CalculateSpectrum(x.data(), 128), 8);
  EXPECT_EQ(GetSpectrumFrameNum(), 8);
  ASSERT_EQ(CalculateEnergy(x.data(), 17), 1);
  EXPECT_EQ(GetEnergyLength(), 2);
}

TEST_F(Features, SilenceGivesZeros) {
  std::vector<int16_t> x(1000, 0);
  ASSERT_EQ(CalculateSpectrum(x.data(), 1000), 63);
  const uint8_t* s = GetSpectrum();
  for (int i = 0; i < 63 * 64; ++i) ASSERT_EQ(s[i], 0);
  ASSERT_EQ(CalculateEnergy(x.data(), 1000), 1);
  for (int i = 0; i < GetEnergyLength(); ++i) ASSERT_EQ(GetEnergy()[i], 0);
}

TEST_F(Features, ConstantFrameBytes) {
  std::vector<int16_t> x(128, 1000);
  ASSERT_EQ(CalculateSpectrum(x.data(), 128), 8);
  const uint8_t* s = GetSpectrum();
  EXPECT_EQ(s[0], 144);
  EXPECT_EQ(s[1], 120);
  for (int k = 2; k < 64; ++k) EXPECT_EQ(s[k], 0) << k;
}

TEST_F(Features, EnergyWorkedValues) {
  std::vector<int16_t> loud(1000, 1000);
  ASSERT_EQ(CalculateEnergy(loud.data(), 1000), 1);
  for (int f = 0; 16 * f + 128 <= 1000; ++f) EXPECT_EQ(GetEnergy()[f], 77) << f;

  int32_t e[8], n = 0;
  std::vector<int16_t> five(5, 160);  // 5 x trunc(25600 / 128) = 1000
  ASSERT_EQ(_CalculateEnergy(five.data(), 5, e, &n), 1);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(e[0], 17);
  std::vector<int16_t> two(2, 12);  // 2 x trunc(144 / 128) = 2
  ASSERT_EQ(_CalculateEnergy(two.data(), 2, e, &n), 1);
  EXPECT_EQ(e[0], -36);
  std::vector<int16_t> quiet(128, 11);  // trunc(121 / 128) = 0 each
  quiet[127] = 0;
  ASSERT_EQ(_CalculateEnergy(quiet.data(), 128, e, &n), 1);
  EXPECT_EQ(n, 8);
  EXPECT_EQ(e[0], 0);
  std::vector<int16_t> one(1, 12);  // energy 1 gives 0 dB, as does 128
  ASSERT_EQ(_CalculateEnergy(one.data(), 1, e, &n), 1);
  EXPECT_EQ(e[0], 0);
}

TEST_F(Features, RunningEnergyEqualsTheFrameSums) {
  for (int32_t count : {1, 15, 16, 17, 127, 128, 129, 1000, 4099, 20000}) {
    std::mt19937 random(static_cast<uint32_t>(count));
    std::vector<int16_t> x(static_cast<size_t>(count));
    for (auto& s : x) s = static_cast<int16_t>(static_cast<int32_t>(random() % 65536) - 32768);
    const size_t frames = static_cast<size_t>((count + 15) / 16);
    std::vector<int32_t> direct(frames), running(frames);
    ASSERT_EQ(FrameEnergy(x.data(), direct.data(), count, 128, 16), static_cast<int32_t>(frames));
    ASSERT_EQ(SlidingFrameEnergy(x.data(), count, running.data()), static_cast<int32_t>(frames));
    ASSERT_EQ(running, direct) << count;
  }
}

TEST_F(Features, SpectrogramAgreesWithTheDirectFormulas) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    const int count = 3000 + static_cast<int>(seed) * 7;
    std::vector<int16_t> x = Speechlike(count, seed);
    if (seed == 3) {
      for (auto& s : x) s = static_cast<int16_t>(s > 0 ? 32767 : -32768);  // full scale
    }
    std::vector<uint8_t> bytes(static_cast<size_t>((count + 15) / 16) * 64);
    ASSERT_EQ(_CalculateSpectrum(x.data(), count, bytes.data()), (count + 15) / 16);
    ASSERT_EQ(bytes, LiteralSpectrogram(x)) << seed;
  }
}

// The byte table stands for the logarithm: every float power where the
// byte can be anything but 0 or 255, and the edges beyond, must give the
// formula's byte.
TEST_F(Features, TabledBytesMatchTheFormulaForEveryFloat) {
  const SpectrumLevels& levels = TheSpectrumLevels();
  const float from = std::nextafter(999000.0f, 0.0f) / 2, to = 5e12f;
  int64_t wrong = 0;
  for (float f = from; f <= to; f = std::nextafter(f, INFINITY)) {
    wrong += levels.Byte(f) != LiteralByte(f);
  }
  EXPECT_EQ(wrong, 0);
  // Outside that range, as the present skips.
  for (float f : {0.0f, -1.0f, 1.0f, 1e30f, INFINITY, NAN}) {
    EXPECT_EQ(levels.Byte(f), SpectrumByte(f)) << f;
  }
}

TEST_F(Features, SkippedLogarithmsGiveTheFormulasBytes) {
  // Dense sweep across both edges where the logarithm is skipped, and every
  // float next to them.
  for (double p = 1e5; p < 1e13; p *= 1.0001) {
    const float f = static_cast<float>(p);
    ASSERT_EQ(SpectrumByte(f), LiteralByte(f)) << p;
  }
  for (float edge : {999000.0f, 1e6f, 2.37e12f, 2.5e12f}) {
    float f = edge;
    for (int i = 0; i < 2000; ++i) f = std::nextafter(f, 0.0f);
    for (int i = 0; i < 4000; ++i, f = std::nextafter(f, 1e30f)) {
      ASSERT_EQ(SpectrumByte(f), LiteralByte(f)) << f;
    }
  }
  EXPECT_EQ(SpectrumByte(0.0f), 0);
  EXPECT_EQ(SpectrumByte(1e30f), 255);
}

TEST_F(Features, HostBufferChangesOnlyTheFrameCount) {
  std::vector<int16_t> x = Speechlike(800, 9);
  ASSERT_EQ(CalculateSpectrum(x.data(), 800), 50);
  const uint8_t* own = GetSpectrum();
  const std::vector<uint8_t> kept(own, own + 50 * 64);
  std::vector<uint8_t> host(50 * 64);
  EXPECT_EQ(_CalculateSpectrum(x.data(), 800, host.data()), 50);
  EXPECT_EQ(host, kept);
  EXPECT_EQ(_CalculateSpectrum(x.data(), 20, host.data()), 2);
  EXPECT_EQ(GetSpectrumFrameNum(), 2);
  EXPECT_EQ(GetSpectrum(), own);
  EXPECT_EQ(std::vector<uint8_t>(own, own + 50 * 64), kept);
}

TEST_F(Features, RefusalsChangeNothing) {
  std::vector<int16_t> x(100, 300);
  ASSERT_EQ(CalculateSpectrum(x.data(), 100), 7);
  ASSERT_EQ(CalculateEnergy(x.data(), 100), 1);
  const uint8_t* spectrum = GetSpectrum();
  const int32_t* energy = GetEnergy();
  const int32_t energyLength = GetEnergyLength();
  std::vector<uint8_t> host(64 * 8, 0xAB);
  int32_t e[8] = {9, 9, 9, 9, 9, 9, 9, 9}, n = 42;

  EXPECT_EQ(CalculateSpectrum(nullptr, 100), 0);
  EXPECT_EQ(CalculateSpectrum(x.data(), 0), 0);
  EXPECT_EQ(CalculateSpectrum(x.data(), -5), 0);
  EXPECT_EQ(_CalculateSpectrum(x.data(), 100, nullptr), 0);
  EXPECT_EQ(_CalculateSpectrum(nullptr, 100, host.data()), 0);
  EXPECT_EQ(_CalculateSpectrum(x.data(), 0, host.data()), 0);
  EXPECT_EQ(CalculateEnergy(nullptr, 100), 0);
  EXPECT_EQ(CalculateEnergy(x.data(), 0), 0);
  EXPECT_EQ(_CalculateEnergy(nullptr, 100, e, &n), 0);
  EXPECT_EQ(_CalculateEnergy(x.data(), 0, e, &n), 0);
  EXPECT_EQ(_CalculateEnergy(x.data(), 100, nullptr, &n), 0);
  EXPECT_EQ(_CalculateEnergy(x.data(), 100, e, nullptr), 0);

  EXPECT_EQ(GetSpectrum(), spectrum);
  EXPECT_EQ(GetSpectrumFrameNum(), 7);
  EXPECT_EQ(GetEnergy(), energy);
  EXPECT_EQ(GetEnergyLength(), energyLength);
  EXPECT_EQ(host, std::vector<uint8_t>(64 * 8, 0xAB));
  EXPECT_EQ(n, 42);
  EXPECT_EQ(e[0], 9);
}

TEST_F(Features, BeforeTheFirstCalculation) {
  EXPECT_EQ(GetSpectrum(), nullptr);
  EXPECT_EQ(GetSpectrumFrameNum(), 0);
  EXPECT_EQ(GetEnergy(), nullptr);
  EXPECT_EQ(GetEnergyLength(), 0);
}

}  // namespace
}  // namespace talvox::test
