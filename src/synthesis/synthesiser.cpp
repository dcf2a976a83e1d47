#include "synthesis/synthesiser.h"

#include <algorithm>
#include <cstring>

namespace talvox {

namespace {
// The synthesiser's sums are held inside these limits, one short of the
// 16-bit range on the positive side and one inside it on the negative.
constexpr int32_t kSumCeiling = 32766;
constexpr int32_t kSumFloor = -32767;

const Synthesiser kSynthesiser;

inline int16_t ClampedSum(int16_t a, int16_t b) {
  const int32_t sum = static_cast<int32_t>(a) + b;
  if (sum > kSumCeiling) return kSumCeiling;
  if (sum < kSumFloor) return kSumFloor;
  return static_cast<int16_t>(sum);
}
}  // namespace

const Synthesiser& TheSynthesiser() { return kSynthesiser; }

int32_t Synthesiser::BuildGrain(int16_t* destination, const int16_t* source, int32_t left,
                                int32_t right, HalfWindowCache& windows) const {
  std::memcpy(destination, source, static_cast<size_t>(left + right) * sizeof(int16_t));
  WeighRise(destination, left, windows);
  WeighFall(destination + left, right, windows);
  return left + right;
}

int32_t Synthesiser::OverlapAddGrains(int16_t* output, int32_t room, const GrainMarks& marks,
                                      const int16_t* source, int32_t regionLength, int16_t* scratch,
                                      HalfWindowCache& windows) const {
  const int32_t n = marks.count;
  const int32_t* o = marks.source;
  const int64_t* q = marks.placed;
  const int64_t wanted = q[n - 1] + (regionLength - o[n - 1]);
  const int32_t length = static_cast<int32_t>(std::clamp<int64_t>(wanted, 0, room));
  std::fill(output, output + length, int16_t{0});
  for (int32_t i = 0; i < n; ++i) {
    const int32_t left = i == 0 ? o[0] : o[i] - o[i - 1];
    const int32_t right = i == n - 1 ? regionLength - o[n - 1] : o[i + 1] - o[i];
    const int32_t size = BuildGrain(scratch, source + (o[i] - left), left, right, windows);
    // Output position of grain sample j is q[i] - left + j; keep 0..length-1.
    const int64_t origin = q[i] - left;
    const int64_t from = std::max<int64_t>(0, -origin);
    const int64_t to = std::min<int64_t>(size, length - origin);
    for (int64_t j = from; j < to; ++j) {
      int16_t& out = output[origin + j];
      out = ClampedSum(out, scratch[j]);
    }
  }
  return length;
}

}  // namespace talvox
