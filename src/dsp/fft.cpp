#include "dsp/fft.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "dsp/fft_steps.h"

namespace talvox {

namespace {
// Sizes up to 2^16 (the largest the library itself uses) get a table;
// larger ones compute their factors per butterfly.
constexpr int32_t kMaxTabledLog2 = 16;

// Per size n: for the pass of half-span h the entries h - 1 .. 2h - 2 hold
// the factors of k = 0 .. h - 1, each computed from the pass's own angle
// expression, so every butterfly sees exactly the floats it would compute.
struct FftPlan {
  std::vector<float> cosines;
  std::vector<float> forwardSines;  // (float)(-sin): rounding is symmetric
  std::vector<float> inverseSines;
  std::vector<std::pair<int32_t, int32_t>> swaps;
};

std::unique_ptr<FftPlan> BuildPlan(int32_t n, int32_t m) {
  auto plan = std::make_unique<FftPlan>();
  for (int32_t half = 1, groups = n / 2; half < n; half *= 2, groups /= 2) {
    for (int32_t k = 0; k < half; ++k) {
      const double angle = TwiddleAngle(groups, k, n);
      plan->cosines.push_back(static_cast<float>(std::cos(angle)));
      plan->forwardSines.push_back(static_cast<float>(-1 * std::sin(angle)));
      plan->inverseSines.push_back(static_cast<float>(1 * std::sin(angle)));
    }
  }
  for (int32_t j = 0; j < n - 2; ++j) {
    const int32_t r = ReverseBits(j, m);
    if (j < r) plan->swaps.emplace_back(j, r);
  }
  return plan;
}

// Built once per size; call_once makes first use from several threads safe.
const FftPlan& PlanFor(int32_t n, int32_t m) {
  static std::array<std::once_flag, kMaxTabledLog2 + 1> built;
  static std::array<std::unique_ptr<FftPlan>, kMaxTabledLog2 + 1> plans;
  std::call_once(built[m], [&] { plans[m] = BuildPlan(n, m); });
  return *plans[m];
}

using Lanes = float __attribute__((vector_size(16)));
constexpr int32_t kLanes = 4;

inline Lanes Load(const float* from) {
  Lanes v;
  std::memcpy(&v, from, sizeof v);
  return v;
}

inline void Store(float* to, Lanes v) { std::memcpy(to, &v, sizeof v); }

// One pass: the same float operations in the same order as the reference,
// four butterflies at a time where the half-span allows.
void Pass(float* re, float* im, const float* c, const float* w, int32_t half, int32_t groups) {
  for (int32_t g = 0; g < groups; ++g) {
    float* pRe = re + 2 * half * g;
    float* pIm = im + 2 * half * g;
    float* qRe = pRe + half;
    float* qIm = pIm + half;
    int32_t k = 0;
    for (; k + kLanes <= half; k += kLanes) {
      const Lanes vc = Load(c + k), vw = Load(w + k);
      const Lanes xRe = Load(qRe + k), xIm = Load(qIm + k);
      const Lanes tRe = vc * xRe - vw * xIm;
      const Lanes tIm = vw * xRe + vc * xIm;
      const Lanes aRe = Load(pRe + k), aIm = Load(pIm + k);
      Store(qRe + k, aRe - tRe);
      Store(qIm + k, aIm - tIm);
      Store(pRe + k, aRe + tRe);
      Store(pIm + k, aIm + tIm);
    }
    for (; k < half; ++k) {
      const float tRe = c[k] * qRe[k] - w[k] * qIm[k];
      const float tIm = w[k] * qRe[k] + c[k] * qIm[k];
      qRe[k] = pRe[k] - tRe;
      qIm[k] = pIm[k] - tIm;
      pRe[k] = pRe[k] + tRe;
      pIm[k] = pIm[k] + tIm;
    }
  }
}
}  // namespace

int32_t Fft(float* re, float* im, int32_t direction, int32_t n) {
  if (n <= 0) return 1;
  if (!IsPowerOfTwo(n)) return 0;
  const int32_t m = HalvingCount(n);
  if (m > kMaxTabledLog2) return FftPerButterfly(re, im, direction, n);
  const FftPlan& plan = PlanFor(n, m);
  const float* sines = plan.forwardSines.data();
  if (direction != 0) {
    // x / n and x * (1 / n) are the same correctly rounded value: 1 / n is
    // exact for a power of two.
    const float scale = 1.0f / static_cast<float>(n);
    for (int32_t i = 0; i < n; ++i) {
      re[i] = re[i] * scale;
      im[i] = im[i] * scale;
    }
    sines = plan.inverseSines.data();
  }
  for (const auto& [j, r] : plan.swaps) {
    std::swap(re[j], re[r]);
    std::swap(im[j], im[r]);
  }
  for (int32_t half = 1, groups = n / 2; half < n; half *= 2, groups /= 2) {
    Pass(re, im, plan.cosines.data() + half - 1, sines + half - 1, half, groups);
  }
  return 1;
}

}  // namespace talvox
