#include "voice/lp_residual.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "voice/dot_product.h"

namespace talvox {

namespace {
constexpr double kPi = 3.14159265358979323846;
// Long enough for two periods of a low voice, short enough to follow the
// vocal tract from vowel to vowel.
constexpr double kFrameSeconds = 0.025;
constexpr double kHopSeconds = 0.010;
// A faint noise floor added to the zero-lag value keeps the solution stable
// on near-silent frames.
constexpr double kNoiseFloor = 1e-3;

// Levinson-Durbin: a[1..order] of A(z) = 1 + sum a_k z^-k from r[0..order].
void Levinson(const double* r, int32_t order, double* a) {
  std::fill(a, a + order + 1, 0.0);
  a[0] = 1.0;
  double error = r[0] * (1 + kNoiseFloor);
  if (!(error > 0)) return;
  std::vector<double> previous(static_cast<size_t>(order) + 1);
  for (int32_t i = 1; i <= order; ++i) {
    double acc = r[i];
    for (int32_t j = 1; j < i; ++j) acc += a[j] * r[i - j];
    const double k = -acc / error;
    std::copy(a, a + i, previous.begin());
    for (int32_t j = 1; j < i; ++j) a[j] = previous[j] + k * previous[i - j];
    a[i] = k;
    error *= 1 - k * k;
    if (!(error > 0)) break;
  }
}
}  // namespace

namespace {
using Doubles4 = double __attribute__((vector_size(32)));
constexpr int32_t kLanes = 8;

// Outputs t..t+7, each summed over k in order as the scalar loop does, in
// two registers of four lanes.
__attribute__((always_inline)) inline void InverseLanes(const double* x, const double* a,
                                                        int32_t order, int32_t t,
                                                        float* residual) {
  Doubles4 low, high;
  std::memcpy(&low, x + t, sizeof low);
  std::memcpy(&high, x + t + 4, sizeof high);
  for (int32_t k = 1; k <= order; ++k) {
    const Doubles4 c = {a[k], a[k], a[k], a[k]};
    Doubles4 past, later;
    std::memcpy(&past, x + (t - k), sizeof past);
    std::memcpy(&later, x + (t - k + 4), sizeof later);
    low += c * past;
    high += c * later;
  }
  for (int32_t j = 0; j < 4; ++j) {
    residual[t + j] = static_cast<float>(low[j]);
    residual[t + 4 + j] = static_cast<float>(high[j]);
  }
}

// The outputs from t on in blocks of eight; returns the first one left.
__attribute__((always_inline)) inline int32_t InverseBlocks(const double* x, const double* a,
                                                            int32_t order, int32_t t,
                                                            int32_t end, float* residual) {
  for (; t + kLanes <= end; t += kLanes) InverseLanes(x, a, order, t, residual);
  return t;
}

__attribute__((target("avx"))) int32_t WideInverseBlocks(const double* x, const double* a,
                                                         int32_t order, int32_t t, int32_t end,
                                                         float* residual) {
  return InverseBlocks(x, a, order, t, end, residual);
}

int32_t NarrowInverseBlocks(const double* x, const double* a, int32_t order, int32_t t,
                            int32_t end, float* residual) {
  return InverseBlocks(x, a, order, t, end, residual);
}

bool HasAvx() {
  static const bool avx = __builtin_cpu_supports("avx");
  return avx;
}
}  // namespace

void InverseFilter(const double* x, const double* a, int32_t order, int32_t start, int32_t end,
                   float* residual) {
  int32_t t = start;
  for (; t < end && t < order; ++t) {
    double e = x[t];
    for (int32_t k = 1; k <= t; ++k) e += a[k] * x[t - k];
    residual[t] = static_cast<float>(e);
  }
  t = (HasAvx() ? WideInverseBlocks : NarrowInverseBlocks)(x, a, order, t, end, residual);
  for (; t < end; ++t) {
    double e = x[t];
    for (int32_t k = 1; k <= order; ++k) e += a[k] * x[t - k];
    residual[t] = static_cast<float>(e);
  }
}

std::vector<float> PredictionResidual(const float* x, int32_t n, double rate, int32_t order) {
  std::vector<float> residual(static_cast<size_t>(std::max(n, 0)), 0.0f);
  if (n <= 0) return residual;
  const int32_t frame = std::max(order + 2, static_cast<int32_t>(kFrameSeconds * rate));
  const int32_t hop = std::max(1, static_cast<int32_t>(kHopSeconds * rate));
  std::vector<float> window(static_cast<size_t>(frame));
  for (int32_t k = 0; k < frame; ++k) {
    window[k] = static_cast<float>(0.5 - 0.5 * std::cos(2 * kPi * (k + 0.5) / frame));
  }
  std::vector<float> windowed(static_cast<size_t>(frame));
  std::vector<double> r(static_cast<size_t>(order) + 1);
  std::vector<double> a(static_cast<size_t>(order) + 1);
  // The inverse filter's products are in double: the samples converted once.
  const std::vector<double> wide(x, x + n);
  for (int32_t start = 0; start < n; start += hop) {
    const int32_t end = std::min(n, start + hop);
    const int32_t from = start + hop / 2 - frame / 2;
    if (from >= 0 && from + frame <= n) {
      for (int32_t k = 0; k < frame; ++k) windowed[k] = x[from + k] * window[k];
    } else {
      for (int32_t k = 0; k < frame; ++k) {
        const int32_t at = from + k;
        windowed[k] = at >= 0 && at < n ? x[at] * window[k] : 0.0f;
      }
    }
    for (int32_t lag = 0; lag <= order; ++lag) {
      r[lag] = Dot(windowed.data(), windowed.data() + lag, frame - lag);
    }
    Levinson(r.data(), order, a.data());
    InverseFilter(wide.data(), a.data(), order, start, end, residual.data());
  }
  return residual;
}

}  // namespace talvox
