// CalculatePeak: the external marks stored in the document.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_pap.h"
#include "pitch/external_pitch.h"
#include "state/document.h"
#include "test_support.h"

namespace talvox::test {
namespace {

class CalculatePeakDocument : public DocumentTest {};

TEST_F(CalculatePeakDocument, FillsPeaksAndModifiedPitch) {
  std::vector<int16_t> x = VoicedSignal(800, 3200, 800, 80, 8000);
  std::vector<double> times;
  for (int i = 0; i < 40; ++i) times.push_back((800.0 + 80.0 * i + 10.5) / 16000.0);
  FakePap pap(PointProcessText(times));
  int32_t count = CalculatePeak(x.data(), static_cast<int32_t>(x.size()), 16000);
  std::vector<int32_t> expected =
      ModelMarks(x, TimesToSamples(std::vector<float>(times.begin(), times.end()), 16000));
  ASSERT_EQ(count, static_cast<int32_t>(expected.size()));
  DocumentState& doc = TheDocument();
  EXPECT_EQ(doc.record.peakCount, count);
  EXPECT_EQ(doc.record.peakRate, 16000);
  EXPECT_EQ(doc.record.segmented, 1);
  EXPECT_EQ(doc.peakRoom, kInitialPeakRoom);
  EXPECT_EQ(doc.pitchRoom, count);
  for (int32_t i = 0; i < count; ++i) EXPECT_EQ(doc.record.peaks[i], expected[i]);
  for (int32_t i = 0; i + 1 < count; ++i) {
    EXPECT_EQ(doc.record.modifiedPitch[i], expected[i + 1] - expected[i]);
  }
  // A later run where the program writes nothing empties both tables.
  FakePap silent("", 0, false);
  EXPECT_EQ(CalculatePeak(x.data(), static_cast<int32_t>(x.size()), 16000), 0);
  EXPECT_EQ(doc.record.peakCount, 0);
  EXPECT_EQ(doc.record.modifiedPitch, nullptr);
  EXPECT_EQ(doc.pitchRoom, 0);
}

TEST_F(CalculatePeakDocument, MoreThanTheUsualRoomGrowsTheTable) {
  // 150000 times 10 samples apart over silence: each window [R-2, R+2) has no
  // hump, so each mark lands on R - 2.
  const int kCount = 150000;
  std::vector<int16_t> x(static_cast<std::size_t>(kCount) * 10 + 100, 0);
  std::string text;
  char line[64];
  for (int i = 0; i < kCount; ++i) {
    std::snprintf(line, sizeof line, "t [%d] = %.9g\n", i + 1, (10.0 * (i + 1) + 0.5) / 16000.0);
    text += line;
  }
  FakePap pap(text);
  ASSERT_EQ(CalculatePeak(x.data(), static_cast<int32_t>(x.size()), 16000), kCount);
  DocumentState& doc = TheDocument();
  EXPECT_EQ(doc.peakRoom, kCount);
  EXPECT_EQ(doc.record.peaks[0], 8);
  EXPECT_EQ(doc.record.peaks[kCount - 1], 10 * kCount - 2);
  EXPECT_EQ(doc.record.modifiedPitch[kCount - 2], 10);
}

TEST_F(CalculatePeakDocument, BadArgumentsLeaveTheDocumentAlone) {
  FakePap pap(PointProcessText({0.01, 0.02}));
  std::vector<int16_t> x(100, 0);
  EXPECT_EQ(CalculatePeak(nullptr, 100, 16000), 0);
  EXPECT_EQ(CalculatePeak(x.data(), 0, 16000), 0);
  EXPECT_EQ(CalculatePeak(x.data(), 100, -1), 0);
  EXPECT_EQ(TheDocument().record.segmented, 0);
  EXPECT_FALSE(pap.Launched());
}

}  // namespace
}  // namespace talvox::test
