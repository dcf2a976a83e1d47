// Hump areas: positions at the first largest sample, areas wrapped to 16 bits.
#include <cstdint>
#include <vector>

#include "pitch/hump_areas.h"
#include "test_support.h"

namespace talvox::test {
namespace {

std::vector<int16_t> Areas(const std::vector<int16_t>& x) {
  std::vector<int16_t> areas(x.size(), 77);
  HumpAreas(x.data(), static_cast<int32_t>(x.size()), areas.data());
  return areas;
}

TEST(HumpAreas, MarksTheFirstLargestSampleWithTheTruncatedSum) {
  // Hump 1: 15 30 30 9 -> 1 + 3 + 3 + 0 = 7 at index 2; hump 2: 25 at the end.
  std::vector<int16_t> x = {0, 15, 30, 30, 9, -4, 0, 25};
  std::vector<int16_t> want = {0, 0, 7, 0, 0, 0, 0, 2};
  EXPECT_EQ(Areas(x), want);
}

TEST(HumpAreas, SmallSamplesGiveAZeroArea) {
  std::vector<int16_t> x = {5, 9, 9, 0, -30000};
  EXPECT_EQ(Areas(x), std::vector<int16_t>(5, 0));
}

TEST(HumpAreas, LargeHumpsWrapTo16Bits) {
  // 20 samples of 32767 add 20 x 3276 = 65520, stored as -16.
  std::vector<int16_t> x(20, 32767);
  x.push_back(0);
  std::vector<int16_t> areas = Areas(x);
  EXPECT_EQ(areas[0], -16);
  for (size_t i = 1; i < areas.size(); ++i) EXPECT_EQ(areas[i], 0);
}

TEST(HumpAreas, ScannerFedInPiecesReportsTheSameHumps) {
  std::vector<int16_t> x = {0, 200, 300, 0, 400, 400, 100};
  std::vector<std::pair<int32_t, int16_t>> whole, pieces;
  HumpScanner a;
  for (int32_t i = 0; i < 7; ++i) a.Feed(i, x[i], [&](int32_t p, int16_t v) { whole.push_back({p, v}); });
  a.Finish([&](int32_t p, int16_t v) { whole.push_back({p, v}); });
  HumpScanner b;
  for (int32_t i = 0; i < 5; ++i) b.Feed(i, x[i], [&](int32_t p, int16_t v) { pieces.push_back({p, v}); });
  for (int32_t i = 5; i < 7; ++i) b.Feed(i, x[i], [&](int32_t p, int16_t v) { pieces.push_back({p, v}); });
  b.Finish([&](int32_t p, int16_t v) { pieces.push_back({p, v}); });
  std::vector<std::pair<int32_t, int16_t>> want = {{2, 50}, {4, 90}};
  EXPECT_EQ(whole, want);
  EXPECT_EQ(pieces, want);
}

}  // namespace
}  // namespace talvox::test
