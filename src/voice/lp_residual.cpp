#include "voice/lp_residual.h"

#include <algorithm>
#include <cmath>

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
// residual[t] = x[t] + sum a_k x[t - k] for start <= t < end; four outputs
// at a time keep the adder busy where the whole history lies in x.
void Inverse(const float* x, const double* a, int32_t order, int32_t start, int32_t end,
             float* residual) {
  int32_t t = start;
  for (; t < end && t < order; ++t) {
    double e = x[t];
    for (int32_t k = 1; k <= t; ++k) e += a[k] * x[t - k];
    residual[t] = static_cast<float>(e);
  }
  for (; t + 4 <= end; t += 4) {
    double e0 = x[t], e1 = x[t + 1], e2 = x[t + 2], e3 = x[t + 3];
    for (int32_t k = 1; k <= order; ++k) {
      const double c = a[k];
      e0 += c * x[t - k];
      e1 += c * x[t + 1 - k];
      e2 += c * x[t + 2 - k];
      e3 += c * x[t + 3 - k];
    }
    residual[t] = static_cast<float>(e0);
    residual[t + 1] = static_cast<float>(e1);
    residual[t + 2] = static_cast<float>(e2);
    residual[t + 3] = static_cast<float>(e3);
  }
  for (; t < end; ++t) {
    double e = x[t];
    for (int32_t k = 1; k <= order; ++k) e += a[k] * x[t - k];
    residual[t] = static_cast<float>(e);
  }
}
}  // namespace

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
  for (int32_t start = 0; start < n; start += hop) {
    const int32_t end = std::min(n, start + hop);
    const int32_t from = start + hop / 2 - frame / 2;
    int32_t used = 0;
    for (int32_t k = 0; k < frame; ++k) {
      const int32_t at = from + k;
      windowed[k] = at >= 0 && at < n ? x[at] * window[k] : 0.0f;
      used = k + 1;
    }
    for (int32_t lag = 0; lag <= order; ++lag) {
      r[lag] = Dot(windowed.data(), windowed.data() + lag, used - lag);
    }
    Levinson(r.data(), order, a.data());
    Inverse(x, a.data(), order, start, end, residual.data());
  }
  return residual;
}

}  // namespace talvox
