// Burg analysis, the two prediction filters and the correlation against
// plain re-computations of their formulas.
#include <cmath>
#include <random>
#include <vector>

#include "dsp_settings.h"

namespace talvox::test {
namespace {

std::vector<int16_t> Noise(int count, int amplitude, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> value(-amplitude, amplitude);
  std::vector<int16_t> x(count);
  for (auto& v : x) v = static_cast<int16_t>(value(rng));
  return x;
}

// A voiced-like frame: two damped resonances plus a little noise.
std::vector<int16_t> Resonant(int count, unsigned seed) {
  std::vector<int16_t> noise = Noise(count, 200, seed);
  std::vector<int16_t> x(count);
  for (int i = 0; i < count; ++i) {
    x[i] =
        static_cast<int16_t>(6000 * std::sin(0.3 * i) + 3000 * std::sin(1.1 * i + 0.4) + noise[i]);
  }
  return x;
}

using Lpc = DspSettingsTest;
using PredictionFilters = DspSettingsTest;
using CrossCorrelation = DspSettingsTest;

// Burg's method in single precision, with fresh arrays for every stage.
std::vector<float> ReferenceBurg(const std::vector<int16_t>& x, int order) {
  const size_t n = x.size();
  std::vector<float> f(x.begin(), x.end()), b = f;
  std::vector<float> a(order + 1, 0.0f);
  for (int m = 1; m <= order; ++m) {
    float num = 0, ef = 0, eb = 0;
    for (size_t i = 1; i < n; ++i) num += f[i] * b[i - 1];
    for (size_t i = 0; i < n; ++i) ef += f[i] * f[i];
    for (size_t i = 1; i < n; ++i) eb += b[i - 1] * b[i - 1];
    const float k = (ef + eb == 0.0f) ? 0.0f : 2.0f * num / (ef + eb);
    std::vector<float> previous = a;
    a[m] = k;
    for (int h = 1; h < m; ++h) a[h] = previous[h] - k * previous[m - h];
    std::vector<float> nf(n), nb(n);
    nf[0] = f[0];
    nb[0] = -k * f[0];
    for (size_t i = 1; i < n; ++i) {
      nf[i] = f[i] - k * b[i - 1];
      nb[i] = b[i - 1] - k * f[i];
    }
    f = nf;
    b = nb;
  }
  return a;
}

TEST_F(Lpc, WorkedFrame) {
  const std::vector<int16_t> frame = {1, 2, 3, 4};
  float c[3] = {-7.0f, 0.0f, 0.0f};
  SetLPCNum(1);
  EXPECT_EQ(Lpc_Lattice(c, frame.data(), 4), 1);
  EXPECT_FLOAT_EQ(c[1], 40.0f / 44.0f);
  EXPECT_EQ(c[0], -7.0f);  // entry 0 is not written
  SetLPCNum(2);
  EXPECT_EQ(Lpc_Lattice(c, frame.data(), 4), 1);
  EXPECT_NEAR(c[1], 1.634286f, 1e-6);
  EXPECT_NEAR(c[2], -0.797714f, 1e-6);
}

TEST_F(Lpc, OrderIsTwelveAtLoad) { EXPECT_EQ(GetLPCNum(), 12); }

TEST_F(Lpc, MatchesReferenceBitForBit) {
  for (int order : {1, 2, 3, 7, 12, 20, 50}) {
    for (unsigned seed : {1u, 2u}) {
      const std::vector<int16_t> frame =
          seed == 1 ? Resonant(320, order) : Noise(257, 30000, order);
      SetLPCNum(order);
      std::vector<float> c(order + 1, 0.0f);
      ASSERT_EQ(Lpc_Lattice(c.data(), frame.data(), static_cast<int32_t>(frame.size())), 1);
      const std::vector<float> want = ReferenceBurg(frame, order);
      for (int j = 1; j <= order; ++j) EXPECT_EQ(c[j], want[j]) << "order " << order << " j " << j;
    }
  }
}

TEST_F(Lpc, OrderIsClampedToTheWorkingArrays) {
  const std::vector<int16_t> frame = Resonant(400, 5);
  std::vector<float> c(200, 123.0f);
  SetLPCNum(150);
  EXPECT_EQ(GetLPCNum(), 150);  // stored as given
  ASSERT_EQ(Lpc_Lattice(c.data(), frame.data(), 400), 1);
  const std::vector<float> want = ReferenceBurg(frame, 100);
  for (int j = 1; j <= 100; ++j) EXPECT_EQ(c[j], want[j]);
  EXPECT_EQ(c[101], 123.0f);

  for (int order : {0, -3}) {
    std::vector<float> small(3, 123.0f);
    SetLPCNum(order);
    ASSERT_EQ(Lpc_Lattice(small.data(), frame.data(), 400), 1);
    EXPECT_EQ(small[1], ReferenceBurg(frame, 1)[1]);
    EXPECT_EQ(small[2], 123.0f);
  }
}

TEST_F(Lpc, SilentAndTinyFramesGiveFiniteCoefficients) {
  std::vector<int16_t> silence(160, 0);
  std::vector<float> c(13, 5.0f);
  ASSERT_EQ(Lpc_Lattice(c.data(), silence.data(), 160), 1);
  for (int j = 1; j <= 12; ++j) EXPECT_EQ(c[j], 0.0f);
  const int16_t one = 1000;
  ASSERT_EQ(Lpc_Lattice(c.data(), &one, 1), 1);
  for (int j = 1; j <= 12; ++j) EXPECT_EQ(c[j], 0.0f);
}

TEST_F(Lpc, RefusesMissingBuffers) {
  const std::vector<int16_t> frame = {1, 2, 3, 4};
  float c[13];
  EXPECT_EQ(Lpc_Lattice(nullptr, frame.data(), 4), 0);
  EXPECT_EQ(Lpc_Lattice(c, nullptr, 4), 0);
  EXPECT_EQ(Lpc_Lattice(c, frame.data(), 0), 0);
  EXPECT_EQ(Lpc_Lattice(c, frame.data(), -4), 0);
}

int16_t Low16(int64_t v) { return static_cast<int16_t>(v & 0xFFFF); }

std::vector<int16_t> ReferenceAnti(const float* a, const std::vector<int16_t>& x) {
  std::vector<int16_t> r(x.size());
  for (size_t i = 0; i < x.size(); ++i) {
    int64_t value = x[i];
    for (size_t j = 1; j <= 12 && j <= i; ++j) value -= static_cast<int64_t>(x[i - j] * a[j]);
    r[i] = Low16(value);
  }
  return r;
}

std::vector<int16_t> ReferenceSynth(const float* a, const std::vector<int16_t>& e) {
  std::vector<int16_t> y(e.size(), 0);
  for (size_t i = 1; i < e.size(); ++i) {
    float s = 0;
    for (size_t j = 1; j <= 12 && j <= i; ++j) s += y[i - j] * a[j];
    y[i] = Low16(static_cast<int64_t>(e[i] + s));
  }
  return y;
}

TEST_F(PredictionFilters, MatchReferenceAndUseTwelveCoefficients) {
  const std::vector<int16_t> x = Resonant(500, 9);
  std::vector<float> c(13, 0.0f);
  SetLPCNum(10);
  ASSERT_EQ(Lpc_Lattice(c.data(), x.data(), 500), 1);
  c[11] = 0.05f;  // not written by a tenth-order analysis, still used
  c[12] = -0.03f;
  std::vector<int16_t> residual(500, 1), output(500, 1);
  EXPECT_EQ(AntiFilterFromLPC(c.data(), x.data(), residual.data(), 500), 1);
  EXPECT_EQ(residual, ReferenceAnti(c.data(), x));
  EXPECT_EQ(residual[0], x[0]);
  EXPECT_EQ(SynthFromLPC(c.data(), residual.data(), output.data(), 500), 1);
  EXPECT_EQ(output, ReferenceSynth(c.data(), residual));
  EXPECT_EQ(output[0], 0);
}

TEST_F(PredictionFilters, ResidualResynthesisesApproximately) {
  const std::vector<int16_t> x = Resonant(500, 9);
  std::vector<float> c(13, 0.0f);
  ASSERT_EQ(Lpc_Lattice(c.data(), x.data(), 500), 1);
  std::vector<int16_t> residual(500), output(500);
  AntiFilterFromLPC(c.data(), x.data(), residual.data(), 500);
  SynthFromLPC(c.data(), residual.data(), output.data(), 500);
  double error = 0, energy = 0;
  for (int i = 0; i < 500; ++i) {
    error += (output[i] - x[i]) * double(output[i] - x[i]);
    energy += x[i] * double(x[i]);
  }
  EXPECT_NE(output, x);  // sample 0 is lost and the truncations differ
  EXPECT_LT(error, 0.05 * energy);
}

TEST_F(PredictionFilters, WrapInSixteenBits) {
  std::vector<float> c(13, 0.0f);
  c[1] = -1.0f;
  const std::vector<int16_t> x = {30000, 30000, -30000};
  std::vector<int16_t> r(3), y(3);
  AntiFilterFromLPC(c.data(), x.data(), r.data(), 3);
  EXPECT_EQ(r, ReferenceAnti(c.data(), x));
  EXPECT_EQ(r[1], Low16(60000));
  c[1] = 2.0f;
  SynthFromLPC(c.data(), x.data(), y.data(), 3);
  EXPECT_EQ(y, ReferenceSynth(c.data(), x));
}

TEST_F(PredictionFilters, NonFiniteCoefficientsStayDefined) {
  std::vector<float> c(13, NAN);
  const std::vector<int16_t> x = {100, 200, 300};
  std::vector<int16_t> r(3), y(3);
  EXPECT_EQ(AntiFilterFromLPC(c.data(), x.data(), r.data(), 3), 1);
  EXPECT_EQ(SynthFromLPC(c.data(), x.data(), y.data(), 3), 1);
  EXPECT_EQ(r[0], 100);
  EXPECT_EQ(y[0], 0);
}

TEST_F(PredictionFilters, RefuseMissingBuffersAndEmptyLengths) {
  std::vector<float> c(13, 0.0f);
  std::vector<int16_t> x(4, 1), y(4, 7);
  EXPECT_EQ(AntiFilterFromLPC(nullptr, x.data(), y.data(), 4), 0);
  EXPECT_EQ(AntiFilterFromLPC(c.data(), x.data(), nullptr, 4), 0);
  EXPECT_EQ(SynthFromLPC(c.data(), nullptr, y.data(), 4), 0);
  EXPECT_EQ(SynthFromLPC(c.data(), x.data(), y.data(), 0), 0);
  EXPECT_EQ(AntiFilterFromLPC(c.data(), x.data(), y.data(), -1), 0);
  EXPECT_EQ(y, std::vector<int16_t>(4, 7));
}

std::vector<float> ReferenceCorrelation(const std::vector<int16_t>& x, int length,
                                        const std::vector<int16_t>& t) {
  auto at = [&](int i) { return i < length ? x[i] : 0; };
  float tt = 0;
  for (int16_t v : t) tt += static_cast<float>(v * v);
  const float norm = std::sqrt(tt);
  std::vector<float> out(length);
  for (int i = 0; i < length; ++i) {
    float c = 0, s = 0;
    for (size_t j = 0; j < t.size(); ++j) {
      c += static_cast<float>(at(i + j) * t[j]);
      s += static_cast<float>(at(i + j) * at(i + j));
    }
    out[i] = (s == 0 || norm == 0) ? 0.0f : 100.0f * c / (std::sqrt(s) * norm);
  }
  return out;
}

TEST_F(CrossCorrelation, MatchesReferenceWithZerosPastTheSignal) {
  std::vector<int16_t> x = Resonant(300, 4);
  const std::vector<int16_t> t(x.begin() + 100, x.begin() + 140);
  const int length = 250;  // the samples beyond must not take part
  std::vector<float> out(length);
  ASSERT_EQ(Correlation(x.data(), length, t.data(), 40, out.data()), 1);
  EXPECT_EQ(out, ReferenceCorrelation(x, length, t));
  EXPECT_NEAR(out[100], 100.0f, 1e-3);
  for (float v : out) {
    EXPECT_LE(v, 100.001f);
    EXPECT_GE(v, -100.001f);
  }
}

TEST_F(CrossCorrelation, SelfAtLagZeroAndZeroTemplate) {
  const std::vector<int16_t> x = Noise(64, 20000, 8);
  std::vector<float> out(64);
  ASSERT_EQ(Correlation(x.data(), 64, x.data(), 64, out.data()), 1);
  EXPECT_NEAR(out[0], 100.0f, 1e-3);
  const std::vector<int16_t> zeros(16, 0);
  ASSERT_EQ(Correlation(x.data(), 64, zeros.data(), 16, out.data()), 1);
  for (float v : out) EXPECT_EQ(v, 0.0f);
}

TEST_F(CrossCorrelation, RefusesShortSignalsAndMissingBuffers) {
  const std::vector<int16_t> x(10, 5), t(11, 5);
  std::vector<float> out(11, -1.0f);
  EXPECT_EQ(Correlation(x.data(), 10, t.data(), 11, out.data()), 0);
  EXPECT_EQ(Correlation(nullptr, 10, t.data(), 5, out.data()), 0);
  EXPECT_EQ(Correlation(x.data(), 10, t.data(), 5, nullptr), 0);
  EXPECT_EQ(Correlation(x.data(), 10, t.data(), -1, out.data()), 0);
  EXPECT_EQ(out, std::vector<float>(11, -1.0f));
}

}  // namespace
}  // namespace talvox::test
