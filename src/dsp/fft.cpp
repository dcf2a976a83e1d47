#include "dsp/fft.h"

#include <cmath>
#include <utility>

namespace talvox {

namespace {
// The transform's value of 2 pi, short of full precision: results depend on it.
constexpr double kFftTwoPi = 6.2831854;

bool IsPowerOfTwo(int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

int32_t Log2(int32_t n) {
  int32_t m = 0;
  for (int32_t k = n; k > 1; k /= 2) ++m;
  return m;
}

int32_t ReverseBits(int32_t value, int32_t bits) {
  int32_t reversed = 0;
  for (int32_t b = 0; b < bits; ++b) {
    reversed = (reversed << 1) | (value & 1);
    value >>= 1;
  }
  return reversed;
}

void ScaleForInverse(float* re, float* im, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    re[i] = re[i] / static_cast<float>(n);
    im[i] = im[i] / static_cast<float>(n);
  }
}

void BitReverse(float* re, float* im, int32_t n, int32_t m) {
  for (int32_t j = 0; j < n - 2; ++j) {
    int32_t r = ReverseBits(j, m);
    if (j < r) {
      std::swap(re[j], re[r]);
      std::swap(im[j], im[r]);
    }
  }
}
}  // namespace

int32_t Fft(float* re, float* im, int32_t direction, int32_t n) {
  if (n <= 0) return 1;
  if (!IsPowerOfTwo(n)) return 0;
  const int32_t m = Log2(n);
  int32_t sign = -1;
  if (direction != 0) {
    ScaleForInverse(re, im, n);
    sign = 1;
  }
  BitReverse(re, im, n, m);
  int32_t groups = n / 2;
  for (int32_t half = 1, pass = 0; pass < m; ++pass, groups /= 2, half *= 2) {
    for (int32_t g = 0; g < groups; ++g) {
      const int32_t base = 2 * half * g;
      for (int32_t k = 0; k < half; ++k) {
        const double angle = kFftTwoPi * groups * k / n;
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
