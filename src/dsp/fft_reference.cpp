// The transform with every twiddle factor computed afresh per butterfly: the
// definition the table-driven Fft must match bit for bit (tests compare them).
#include <cmath>
#include <utility>

#include "dsp/fft.h"
#include "dsp/fft_steps.h"

namespace talvox {

int32_t FftPerButterfly(float* re, float* im, int32_t direction, int32_t n) {
  if (n <= 0) return 1;
  if (!IsPowerOfTwo(n)) return 0;
  const int32_t m = HalvingCount(n);
  int32_t sign = -1;
  if (direction != 0) {
    for (int32_t i = 0; i < n; ++i) {
      re[i] = re[i] / static_cast<float>(n);
      im[i] = im[i] / static_cast<float>(n);
    }
    sign = 1;
  }
  for (int32_t j = 0; j < n - 2; ++j) {
    const int32_t r = ReverseBits(j, m);
    if (j < r) {
      std::swap(re[j], re[r]);
      std::swap(im[j], im[r]);
    }
  }
  int32_t groups = n / 2;
  for (int32_t half = 1, pass = 0; pass < m; ++pass, groups /= 2, half *= 2) {
    for (int32_t g = 0; g < groups; ++g) {
      const int32_t base = 2 * half * g;
      for (int32_t k = 0; k < half; ++k) {
        const double angle = TwiddleAngle(groups, k, n);
        const float c = static_cast<float>(std::cos(angle));
        const float w = static_cast<float>(sign * std::sin(angle));
        const int32_t p = base + k;
        const int32_t q = p + half;
        const float tRe = c * re[q] - w * im[q];
        const float tIm = w * re[q] + c * im[q];
        re[q] = re[p] - tRe;
        im[q] = im[p] - tIm;
        re[p] = re[p] + tRe;
        im[p] = im[p] + tIm;
      }
    }
  }
  return 1;
}

}  // namespace talvox
