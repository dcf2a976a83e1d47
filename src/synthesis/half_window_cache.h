// Weights of the two half Hann windows, kept per length for the grains of one
// synthesis call. Each weight is computed by the same expression as in
// HanningRise/HanningFall, so weighing with the table gives the same bits;
// pitch periods repeat a few hundred lengths, so the cosines are paid once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "synthesis/long_half_window.h"

namespace talvox {

class HalfWindowCache {
 public:
  // Longer stretches (the lead-in before the first mark, the tail after the
  // last) are weighed directly rather than kept, to bound the memory.
  static constexpr int32_t kLongestKept = 4096;

  // Weights for the samples 0..n-1 of a rising / falling half of length n;
  // null when n is beyond kLongestKept or not positive.
  const double* Rise(int32_t n);
  const double* Fall(int32_t n);

  // Weighing for the lengths beyond kLongestKept (same results as the
  // direct half windows, far fewer cosines).
  LongHalfWindow& Long() { return long_; }

  // Weights held, over all lengths; Clear forgets them all.
  size_t KeptWeights() const { return kept_; }
  void Clear();

 private:
  std::vector<std::vector<double>> rise_;
  std::vector<std::vector<double>> fall_;
  LongHalfWindow long_;
  size_t kept_ = 0;
};

// In-place weighing with the cached weights when there are any, else by
// cache.Long() (the same samples as HanningRise/HanningFall).
void WeighRise(int16_t* samples, int32_t n, HalfWindowCache& cache);
void WeighFall(int16_t* samples, int32_t n, HalfWindowCache& cache);

}  // namespace talvox
