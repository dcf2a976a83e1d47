// Frame energy by hop blocks must equal the direct per-frame sum.
#include <random>
#include <vector>

#include "pitch/voiced_regions.h"
#include "test_support.h"

namespace talvox::test {
namespace {

std::vector<int32_t> DirectEnergy(const std::vector<int16_t>& x, int32_t window, int32_t hop) {
  const int32_t n = static_cast<int32_t>(x.size());
  std::vector<int32_t> out;
  for (int32_t start = 0; start < n; start += hop) {
    int32_t sum = 0;
    for (int32_t k = start; k < start + window && k < n; ++k) sum += x[k] * x[k] / window;
    out.push_back(sum);
  }
  return out;
}

TEST(FrameEnergy, MatchesTheDirectSumForManyShapes) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  for (int round = 0; round < 300; ++round) {
    const int32_t n = std::uniform_int_distribution<int32_t>(1, 3000)(random);
    const int32_t hop = std::uniform_int_distribution<int32_t>(1, 40)(random);
    const int32_t window = std::uniform_int_distribution<int32_t>(1, 1000)(random);
    std::vector<int16_t> x(static_cast<size_t>(n));
    for (auto& v : x) v = static_cast<int16_t>(round % 3 ? sample(random) : -32768);
    const std::vector<int32_t> want = DirectEnergy(x, window, hop);
    std::vector<int32_t> got(want.size() + 10, -1);
    ASSERT_EQ(FrameEnergy(x.data(), got.data(), n, window, hop), static_cast<int32_t>(want.size()));
    got.resize(want.size());
    ASSERT_EQ(got, want) << n << " " << window << " " << hop;
  }
}

TEST(FrameEnergy, EverySquareDividesExactlyForTheRatesInUse) {
  // Window = rate / 50 for the usual rates: one frame per squared value.
  for (int32_t rate : {8000, 11025, 16000, 22050, 44100, 48000, 96000}) {
    const int32_t window = rate / 50;
    std::vector<int16_t> one(1);
    for (int32_t v = -32768; v <= 32767; ++v) {
      one[0] = static_cast<int16_t>(v);
      int32_t e = 0;
      FrameEnergy(one.data(), &e, 1, window, 16);
      ASSERT_EQ(e, v * v / window) << rate << " " << v;
    }
  }
}

TEST(FrameEnergy, RefusesUnusableArguments) {
  std::vector<int16_t> x(10, 100);
  int32_t e[4] = {};
  EXPECT_EQ(FrameEnergy(nullptr, e, 10, 4, 4), 0);
  EXPECT_EQ(FrameEnergy(x.data(), e, 0, 4, 4), 0);
  EXPECT_EQ(FrameEnergy(x.data(), e, 10, 0, 4), 0);
  EXPECT_EQ(FrameEnergy(x.data(), e, 10, 4, 0), 0);
}

}  // namespace
}  // namespace talvox::test
