// Collecting segmented speech: silences halved, gaps left out, pieces kept
// inside their elements.
#include <vector>

#include "edit_fixture.h"

namespace talvox::test {
namespace {

class Collect : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    signal_.resize(4000);
    for (int i = 0; i < 4000; ++i) signal_[i] = static_cast<int16_t>(i % 3000 + 1);
    LoadSignal(signal_, 1, 16000);
    SetSegments({{"SIL", 0, 1000}, {"ba1", 1000, 3000}, {"SIL", 3000, 4000}});
  }
  std::vector<int16_t> Output() const {
    const int16_t* y = GetCollectSegmentedSpeech();
    return std::vector<int16_t>(y, y + GetCollectSegmentedSpeechLength());
  }
  std::vector<int16_t> Samples(int from, int to) const {
    return std::vector<int16_t>(signal_.begin() + from, signal_.begin() + to);
  }
  std::vector<int16_t> signal_;
};

TEST_F(Collect, SilencesAreHalved) {
  ASSERT_EQ(CollectSegmentedSpeech(0, 500, 3500), 1);
  std::vector<int16_t> expected(250, 0);
  const std::vector<int16_t> voiced = Samples(1000, 3000);
  expected.insert(expected.end(), voiced.begin(), voiced.end());
  expected.insert(expected.end(), 250, 0);
  EXPECT_EQ(Output(), expected);
  EXPECT_EQ(GetSynthesisSpeech(), GetCollectSegmentedSpeech());
  EXPECT_EQ(GetSynthesisLength(), 2500);
}

TEST_F(Collect, RangesInsideOneElement) {
  ASSERT_EQ(CollectSegmentedSpeech(0, 1500, 1700), 1);
  EXPECT_EQ(Output(), Samples(1500, 1700));
  ASSERT_EQ(CollectSegmentedSpeech(0, 100, 201), 1);
  EXPECT_EQ(Output(), std::vector<int16_t>(50, 0));
}

TEST_F(Collect, OnlyTheExactSilenceTextIsSilence) {
  SetSegments({{"sil", 0, 1000}, {"SIL ", 1000, 3000}, {"SIL", 3000, 4000}});
  ASSERT_EQ(CollectSegmentedSpeech(0, 0, 3999), 1);
  std::vector<int16_t> expected = Samples(0, 3000);
  expected.insert(expected.end(), 499, 0);
  EXPECT_EQ(Output(), expected);
}

TEST_F(Collect, GapsAreLeftOut) {
  SetSegments({{"ba1", 0, 1000}, {"ma3", 1500, 3000}});
  ASSERT_EQ(CollectSegmentedSpeech(0, 900, 1600), 1);
  std::vector<int16_t> expected = Samples(900, 1000);
  const std::vector<int16_t> second = Samples(1500, 1600);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(Output(), expected);
  ASSERT_EQ(CollectSegmentedSpeech(0, 1100, 1400), 1);  // wholly inside the gap
  EXPECT_EQ(GetCollectSegmentedSpeechLength(), 0);
}

TEST_F(Collect, PiecesAreClippedToTheirElements) {
  // The elements cover only 1000..2000: the stretches before and after are
  // no element's and add nothing.
  SetSegments({{"ba1", 1000, 1500}, {"SIL", 1500, 2000}});
  ASSERT_EQ(CollectSegmentedSpeech(0, 0, 3999), 1);
  std::vector<int16_t> expected = Samples(1000, 1500);
  expected.insert(expected.end(), 250, 0);
  EXPECT_EQ(Output(), expected);
}

TEST_F(Collect, RefusalsLeaveTheOutputAlone) {
  ASSERT_EQ(CollectSegmentedSpeech(0, 1500, 1700), 1);
  const int16_t* kept = GetCollectSegmentedSpeech();
  EXPECT_EQ(CollectSegmentedSpeech(0, 100, 4000), 0);  // end at the length
  EXPECT_EQ(CollectSegmentedSpeech(0, 100, 100), 0);
  EXPECT_EQ(CollectSegmentedSpeech(0, -1, 100), 0);
  EXPECT_EQ(CollectSegmentedSpeech(2, 100, 200), 0);
  EXPECT_EQ(CollectSegmentedSpeech(1, 100, 200), 0);  // mono: no channel 1
  SetSegments({{"ba1", 0, 1000}});
  EXPECT_EQ(CollectSegmentedSpeech(0, 2000, 3000), 0);  // nothing overlaps
  SetSegments({});
  EXPECT_EQ(CollectSegmentedSpeech(0, 100, 200), 0);
  EXPECT_EQ(GetCollectSegmentedSpeech(), kept);
  EXPECT_EQ(Output(), Samples(1500, 1700));
}

}  // namespace
}  // namespace talvox::test
