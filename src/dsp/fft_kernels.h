// Butterfly kernels of the table-driven transform, written once for any
// vector width. Each lane runs exactly the reference butterfly's float
// operations in the same order (no fused multiply-add: the build disables
// contraction), so the width never changes a bit of the result.
#pragma once

#include <cstdint>
#include <cstring>

#define TVX_FFT_INLINE inline __attribute__((always_inline))

namespace talvox::fft_kernels {

using Lanes4 = float __attribute__((vector_size(16)));
using Lanes8 = float __attribute__((vector_size(32)));

template <typename V>
constexpr int32_t kWidth = sizeof(V) / sizeof(float);

// Values pass by reference: wide vectors by value would change the calling
// convention between targets.
template <typename V>
TVX_FFT_INLINE void Load(V& v, const float* from) {
  std::memcpy(&v, from, sizeof v);
}

template <typename V>
TVX_FFT_INLINE void Store(float* to, const V& v) {
  std::memcpy(to, &v, sizeof v);
}

struct Factors {
  const float* c;
  const float* w;
};

// p, q become p + t, p - t with t = (c + i w) q.
template <typename V>
TVX_FFT_INLINE void Butterfly(V& pr, V& pi, V& qr, V& qi, const V& c, const V& w) {
  const V tr = c * qr - w * qi;
  const V ti = w * qr + c * qi;
  qr = pr - tr;
  qi = pi - ti;
  pr = pr + tr;
  pi = pi + ti;
}

// One pass of half-span `half` (a multiple of the width).
template <typename V>
TVX_FFT_INLINE void Pass(float* re, float* im, Factors f, int32_t half, int32_t n) {
  for (int32_t base = 0; base < n; base += 2 * half) {
    for (int32_t k = 0; k < half; k += kWidth<V>) {
      float* r = re + base + k;
      float* i = im + base + k;
      V pr, pi, qr, qi, c, w;
      Load(pr, r), Load(pi, i), Load(qr, r + half), Load(qi, i + half);
      Load(c, f.c + k), Load(w, f.w + k);
      Butterfly(pr, pi, qr, qi, c, w);
      Store(r, pr), Store(i, pi), Store(r + half, qr), Store(i + half, qi);
    }
  }
}

// Passes of half-span h and 2h in one sweep: every value is loaded and
// stored once for both. h a multiple of the width.
template <typename V>
TVX_FFT_INLINE void TwoPasses(float* re, float* im, Factors first, Factors second, int32_t half,
                              int32_t n) {
  for (int32_t base = 0; base < n; base += 4 * half) {
    for (int32_t k = 0; k < half; k += kWidth<V>) {
      float* r = re + base + k;
      float* i = im + base + k;
      V ar, ai, br, bi, cr, ci, dr, di, c, w;
      Load(ar, r), Load(ai, i), Load(br, r + half), Load(bi, i + half);
      Load(cr, r + 2 * half), Load(ci, i + 2 * half);
      Load(dr, r + 3 * half), Load(di, i + 3 * half);
      Load(c, first.c + k), Load(w, first.w + k);
      Butterfly(ar, ai, br, bi, c, w);
      Butterfly(cr, ci, dr, di, c, w);
      Load(c, second.c + k), Load(w, second.w + k);
      Butterfly(ar, ai, cr, ci, c, w);
      Load(c, second.c + k + half), Load(w, second.w + k + half);
      Butterfly(br, bi, dr, di, c, w);
      Store(r, ar), Store(i, ai), Store(r + half, br), Store(i + half, bi);
      Store(r + 2 * half, cr), Store(i + 2 * half, ci);
      Store(r + 3 * half, dr), Store(i + 3 * half, di);
    }
  }
}

template <typename V>
TVX_FFT_INLINE void Transpose(V& a, V& b, V& c, V& d) {
  const V ab0 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
  const V cd0 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
  const V ab1 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  const V cd1 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
  a = __builtin_shufflevector(ab0, cd0, 0, 1, 4, 5);
  b = __builtin_shufflevector(ab0, cd0, 2, 3, 6, 7);
  c = __builtin_shufflevector(ab1, cd1, 0, 1, 4, 5);
  d = __builtin_shufflevector(ab1, cd1, 2, 3, 6, 7);
}

// Bit reversal together with the passes of half-span 1 and 2, from a copy
// of the input (`fromRe`, `fromIm`) into re, im; n >= 16. After reversal the
// block of four at 4 * rev(r) (r reversed in log2(n) - 2 bits) holds the
// inputs r, r + n/2, r + n/4, r + 3n/4: for four consecutive r those are
// four contiguous loads, and the butterflies run with the blocks across the
// lanes. `blockOf[r]` is rev(r); c and w point at the tables' first entries
// (pass 1: k = 0; pass 2: k = 0, 1).
TVX_FFT_INLINE void ReorderAndFirstTwoPasses(float* re, float* im, const float* fromRe,
                                             const float* fromIm, const int32_t* blockOf,
                                             const float* c, const float* w, int32_t n) {
  const Lanes4 c1 = {c[0], c[0], c[0], c[0]}, w1 = {w[0], w[0], w[0], w[0]};
  const Lanes4 c20 = {c[1], c[1], c[1], c[1]}, w20 = {w[1], w[1], w[1], w[1]};
  const Lanes4 c21 = {c[2], c[2], c[2], c[2]}, w21 = {w[2], w[2], w[2], w[2]};
  const int32_t quarter = n / 4;
  auto blocksFrom = [&](int32_t r) __attribute__((always_inline)) {
    Lanes4 r0, r1, r2, r3, i0, i1, i2, i3;
    Load(r0, fromRe + r), Load(r1, fromRe + r + 2 * quarter);
    Load(r2, fromRe + r + quarter), Load(r3, fromRe + r + 3 * quarter);
    Load(i0, fromIm + r), Load(i1, fromIm + r + 2 * quarter);
    Load(i2, fromIm + r + quarter), Load(i3, fromIm + r + 3 * quarter);
    Butterfly(r0, i0, r1, i1, c1, w1);
    Butterfly(r2, i2, r3, i3, c1, w1);
    Butterfly(r0, i0, r2, i2, c20, w20);
    Butterfly(r1, i1, r3, i3, c21, w21);
    Transpose(r0, r1, r2, r3);
    Transpose(i0, i1, i2, i3);
    Store(re + 4 * blockOf[r], r0), Store(im + 4 * blockOf[r], i0);
    Store(re + 4 * blockOf[r + 1], r1), Store(im + 4 * blockOf[r + 1], i1);
    Store(re + 4 * blockOf[r + 2], r2), Store(im + 4 * blockOf[r + 2], i2);
    Store(re + 4 * blockOf[r + 3], r3), Store(im + 4 * blockOf[r + 3], i3);
  };
  // In an order that fills the output a cache line at a time: the blocks
  // from r = 4 h go to rev(j) quarter/4 + rev(h) for j = 0..3, so with rev(h)
  // counting up four output rows each advance one block per step (more rows
  // at once, or r in order, write lines that evict each other first). Every
  // block is written once, from the same values, in any order.
  for (int32_t column = 0; column < quarter / 4; ++column) blocksFrom(4 * blockOf[4 * column]);
}

}  // namespace talvox::fft_kernels
