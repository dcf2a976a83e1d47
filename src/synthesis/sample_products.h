// Sums of products of 16-bit samples for the cycle matching of the stretch
// resynthesis: whole numbers, exact in any order.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace talvox {

namespace sample_products {
inline int64_t Scalar(const int16_t* a, const int16_t* b, int32_t n) {
  int64_t sum = 0;
  for (int32_t i = 0; i < n; ++i) sum += int32_t{a[i]} * b[i];
  return sum;
}

// Eight products at a time in 32-bit lanes (a product of two samples fits),
// added into four 64-bit lanes.
__attribute__((target("avx2"))) inline int64_t Wide(const int16_t* a, const int16_t* b,
                                                     int32_t n) {
  __m256i low = _mm256_setzero_si256(), high = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i x = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)));
    const __m256i y = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)));
    const __m256i p = _mm256_mullo_epi32(x, y);
    low = _mm256_add_epi64(low, _mm256_cvtepi32_epi64(_mm256_castsi256_si128(p)));
    high = _mm256_add_epi64(high, _mm256_cvtepi32_epi64(_mm256_extracti128_si256(p, 1)));
  }
  alignas(32) int64_t lanes[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), _mm256_add_epi64(low, high));
  return lanes[0] + lanes[1] + lanes[2] + lanes[3] + Scalar(a + i, b + i, n - i);
}

inline bool HasAvx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}
}  // namespace sample_products

// The sum of a[i] * b[i] for i < n.
inline int64_t SampleProductSum(const int16_t* a, const int16_t* b, int32_t n) {
  return sample_products::HasAvx2() ? sample_products::Wide(a, b, n)
                                    : sample_products::Scalar(a, b, n);
}

}  // namespace talvox
