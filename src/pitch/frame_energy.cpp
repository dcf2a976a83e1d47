#include <algorithm>
#include <cstdint>

#include "pitch/voiced_regions.h"

namespace talvox {

namespace {
// trunc(n / d) for 0 <= n < 2^31 by one multiplication: with l = ceil(log2 d)
// and m = floor(2^(31 + l) / d) + 1, floor(n * m / 2^(31 + l)) equals
// floor(n / d) for every such n, and n * m stays below 2^64.
class Divider {
 public:
  explicit Divider(uint32_t d) {
    while ((uint64_t{1} << log2_) < d) ++log2_;
    shift_ = 31 + log2_;
    multiplier_ = (uint64_t{1} << shift_) / d + 1;
  }
  uint32_t operator()(uint32_t n) const {
    return static_cast<uint32_t>((n * multiplier_) >> shift_);
  }

 private:
  uint32_t log2_ = 0;
  uint32_t shift_ = 0;
  uint64_t multiplier_ = 0;
};

// One frame is `window / hop` whole hop blocks plus the first window % hop
// samples of the block after them. Sums wrap in 32 bits (each frame's true
// sum is at most 2^30, so the wrapped result is exact).
uint32_t SquareSum(const int16_t* x, int64_t begin, int64_t end, const Divider& divide) {
  uint32_t sum = 0;
  for (int64_t k = begin; k < end; ++k) {
    const int32_t v = x[k];
    sum += divide(static_cast<uint32_t>(v * v));
  }
  return sum;
}
}  // namespace

int32_t FrameEnergy(const int16_t* samples, int32_t* energies, int32_t length, int32_t window,
                    int32_t hop) {
  if (samples == nullptr || energies == nullptr || length <= 0 || window <= 0 || hop <= 0) return 0;
  const int32_t frames = length / hop + (length % hop != 0);
  const Divider divide(static_cast<uint32_t>(window));
  const int32_t wholeBlocks = window / hop;
  const int32_t rest = window % hop;
  auto blockStart = [hop](int64_t m) { return m * hop; };
  auto clip = [length](int64_t k) { return std::min<int64_t>(k, length); };
  // Block sums first (into energies), then the frames over them, each
  // overwriting its own block sum once it has been taken out of the window.
  for (int32_t m = 0; m < frames; ++m) {
    energies[m] = static_cast<int32_t>(
        SquareSum(samples, blockStart(m), clip(blockStart(m + 1)), divide));
  }
  auto block = [&](int64_t m) -> uint32_t {
    return m < frames ? static_cast<uint32_t>(energies[m]) : 0;
  };
  uint32_t running = 0;
  for (int64_t m = 0; m < wholeBlocks; ++m) running += block(m);
  for (int32_t f = 0; f < frames; ++f) {
    const int64_t tailStart = blockStart(int64_t{f} + wholeBlocks);
    const uint32_t tail =
        rest > 0 && tailStart < length
            ? SquareSum(samples, tailStart, clip(tailStart + rest), divide)
            : 0;
    const uint32_t own = block(f);
    energies[f] = static_cast<int32_t>(running + tail);
    if (wholeBlocks > 0) running = running - own + block(int64_t{f} + wholeBlocks);
  }
  return frames;
}

}  // namespace talvox
