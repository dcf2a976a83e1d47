// The drawing choices the picture and the page share.
#include <gtest/gtest.h>

#include <cmath>

#include "plot_choices.h"

namespace tvx {
namespace {

TEST(PlotChoices, ThinningKeepsPositionsAtLeastTheGapApart) {
  std::vector<double> x;
  for (int i = 0; i < 1000; i++) x.push_back(i * 0.7);
  std::vector<size_t> kept = ThinnedPositions(x, 6.0);
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(kept[0], 0u);
  for (size_t k = 1; k < kept.size(); k++) EXPECT_GE(x[kept[k]] - x[kept[k - 1]], 6.0);
  // Nothing dropped could have been drawn: each gap between kept ones is short.
  for (size_t k = 1; k < kept.size(); k++) EXPECT_LT(x[kept[k] - 1] - x[kept[k - 1]], 6.0);
  std::vector<double> sparse = {0, 10, 20};
  EXPECT_EQ(ThinnedPositions(sparse, 6.0).size(), 3u);
  EXPECT_TRUE(ThinnedPositions({}, 6.0).empty());
}

TEST(PlotChoices, TheF0AxisSpansTheSpeakerNotTheSpectrum) {
  std::vector<double> f0(1000, 0.0);
  for (int i = 0; i < 500; i++) f0[i * 2] = 100 + (i % 50);  // 100..149 Hz, unvoiced between
  f0[10] = 8000;   // a stray interval
  f0[20] = 25000;
  auto [low, high] = SpeakerRange(f0);
  EXPECT_EQ(low, 80);
  EXPECT_EQ(high, 180);
  EXPECT_EQ(SpeakerRange({}), std::make_pair(50.0, 400.0));
  EXPECT_EQ(SpeakerRange({0, 0, 120}), std::make_pair(50.0, 400.0));
  auto [flatLow, flatHigh] = SpeakerRange(std::vector<double>(10, 200.0));
  EXPECT_LT(flatLow, 200);
  EXPECT_GT(flatHigh, 200);
}

TEST(PlotChoices, FullScaleAndSteps) {
  EXPECT_EQ(AmplitudeFullScale(0), 1);
  EXPECT_EQ(AmplitudeFullScale(1000), 1024);
  EXPECT_EQ(AmplitudeFullScale(1024), 1024);
  EXPECT_EQ(AmplitudeFullScale(32768), 32768);
  EXPECT_DOUBLE_EQ(NiceStep(7.1, 12), 1.0);
  EXPECT_DOUBLE_EQ(NiceStep(3600, 12), 500);
  EXPECT_DOUBLE_EQ(NiceStep(0.01, 5), 0.002);
  EXPECT_DOUBLE_EQ(NiceStep(0, 5), 1.0);
  EXPECT_EQ(TimeLabel(1.5, 0.5), "1.5");
  EXPECT_EQ(TimeLabel(125, 5), "2:05");
  EXPECT_EQ(TimeLabel(3725, 100), "1:02:05");
  EXPECT_EQ(TimeLabel(0.25, 0.05), "0.25");
}

}  // namespace
}  // namespace tvx
