#include "dsp/fft.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "dsp/fft_kernels.h"
#include "dsp/fft_steps.h"

namespace talvox {

namespace {
using namespace fft_kernels;

// Sizes up to 2^16 (the largest the library itself uses) get a table;
// larger ones compute their factors per butterfly.
constexpr int32_t kMaxTabledLog2 = 16;
// Smaller sizes run the reference: the lanes need four blocks of four.
constexpr int32_t kMinTabled = 16;

// Per size n: for the pass of half-span h the entries h - 1 .. 2h - 2 hold
// the factors of k = 0 .. h - 1, each computed from the pass's own angle
// expression, so every butterfly sees exactly the floats it would compute.
struct FftPlan {
  std::vector<float> cosines;
  std::vector<float> forwardSines;  // (float)(-1 * sin)
  std::vector<float> inverseSines;
  std::vector<int32_t> blockOf;  // log2(n) - 2 bit reversal of 0 .. n/4 - 1
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
  for (int32_t r = 0; r < n / 4; ++r) plan->blockOf.push_back(ReverseBits(r, m - 2));
  return plan;
}

// Built once per size; call_once makes first use from several threads safe,
// and a built plan is only read.
const FftPlan& PlanFor(int32_t n, int32_t m) {
  static std::array<std::once_flag, kMaxTabledLog2 + 1> built;
  static std::array<std::unique_ptr<FftPlan>, kMaxTabledLog2 + 1> plans;
  std::call_once(built[m], [&] { plans[m] = BuildPlan(n, m); });
  return *plans[m];
}

// x / n and x * (1 / n) are the same correctly rounded value: 1 / n is
// exact for a power of two.
void ScaleForInverse(float* re, float* im, int32_t n) {
  const float scale = 1.0f / static_cast<float>(n);
  for (int32_t i = 0; i < n; i += kWidth<Lanes4>) {
    Lanes4 r, m;
    Load(r, re + i), Load(m, im + i);
    Store(re + i, Lanes4(r * scale)), Store(im + i, Lanes4(m * scale));
  }
}

// Passes of half-span `half` and up, V wide.
template <typename V>
TVX_FFT_INLINE void LaterPasses(float* re, float* im, const float* c, const float* w, int32_t half,
                                int32_t n) {
  auto factors = [&](int32_t h) { return Factors{c + h - 1, w + h - 1}; };
  for (; 4 * half <= n; half *= 4) TwoPasses<V>(re, im, factors(half), factors(2 * half), half, n);
  for (; half < n; half *= 2) Pass<V>(re, im, factors(half), half, n);
}

__attribute__((target("avx"))) void LaterPassesAvx(float* re, float* im, const float* c,
                                                   const float* w, int32_t n) {
  // Half-span 4 has too few butterflies for 8 lanes.
  Pass<Lanes4>(re, im, Factors{c + 3, w + 3}, 4, n);
  LaterPasses<Lanes8>(re, im, c, w, 8, n);
}

bool HasAvx() {
  static const bool avx = __builtin_cpu_supports("avx");
  return avx;
}

// Sizes below 16 (too small for the lanes) and sizes without a table.
int32_t SmallOrUntabled(float* re, float* im, int32_t direction, int32_t n) {
  return FftPerButterfly(re, im, direction, n);
}

// The transform with 8-lane passes where the processor has them.
int32_t FftWithLanes(float* re, float* im, int32_t direction, int32_t n, bool wide) {
  if (n <= 0) return 1;
  if (!IsPowerOfTwo(n)) return 0;
  const int32_t m = HalvingCount(n);
  if (n < kMinTabled || m > kMaxTabledLog2) return SmallOrUntabled(re, im, direction, n);
  const FftPlan& plan = PlanFor(n, m);
  const float* c = plan.cosines.data();
  const float* w = plan.forwardSines.data();
  if (direction != 0) {
    ScaleForInverse(re, im, n);
    w = plan.inverseSines.data();
  }
  // The reordering reads a copy: small sizes keep it on the stack.
  constexpr int32_t kStackCopy = 1024;
  float stackCopy[2 * kStackCopy];
  float* copy = stackCopy;
  if (n > kStackCopy) {
    // Kept per thread: large blocks freed on every call go back to the
    // system and cost page faults on the next.
    thread_local std::vector<float> heapCopy;
    if (heapCopy.size() < 2 * static_cast<size_t>(n)) heapCopy.resize(2 * static_cast<size_t>(n));
    copy = heapCopy.data();
  }
  std::memcpy(copy, re, n * sizeof(float));
  std::memcpy(copy + n, im, n * sizeof(float));
  ReorderAndFirstTwoPasses(re, im, copy, copy + n, plan.blockOf.data(), c, w, n);
  if (wide) {
    LaterPassesAvx(re, im, c, w, n);
  } else {
    LaterPasses<Lanes4>(re, im, c, w, 4, n);
  }
  return 1;
}
}  // namespace

int32_t Fft(float* re, float* im, int32_t direction, int32_t n) {
  return FftWithLanes(re, im, direction, n, HasAvx());
}

int32_t FftFourLanes(float* re, float* im, int32_t direction, int32_t n) {
  return FftWithLanes(re, im, direction, n, false);
}

}  // namespace talvox
