// Internal pitch marks: the selection on chosen low-passed signals, the
// whole pipeline against a plain re-computation, and the document update.
#include <cmath>
#include <random>
#include <vector>

#include "pitch/internal_pitch.h"
#include "pitch_reference.h"
#include "state/document.h"
#include "test_support.h"

namespace talvox::test {
namespace {

constexpr int32_t kRate = 16000;

// Low-passed values: each sample v gives a rectified v - 1000.
std::vector<int32_t> Marks(const std::vector<int16_t>& lowPassed) {
  return MarksFromLowPassed(lowPassed.data(), static_cast<int32_t>(lowPassed.size()));
}

TEST(MarkSelection, WeakHalfWavesAreDroppedAndStillServeAsReference) {
  // Areas 100, 50 (= 100 / 2: dropped), 26 (26 - 25 > 0: kept), 52.
  EXPECT_EQ(Marks({0, 2000, 0, 1500, 0, 1260, 0, 1520, 0}), (std::vector<int32_t>{1, 5, 7}));
}

TEST(MarkSelection, FirstOfEqualMaximaAndAHumpAtTheEnd) {
  EXPECT_EQ(Marks({0, 1500, 3000, 3000, 1500, 0}), (std::vector<int32_t>{2}));
  EXPECT_EQ(Marks({0, 0, 2500, 3000}), (std::vector<int32_t>{3}));
  EXPECT_EQ(Marks({3000}), (std::vector<int32_t>{0}));
}

TEST(MarkSelection, ZeroAreasAreNoCandidates) {
  // 1005 rectifies to 5, area 0: the next hump still compares with 100.
  EXPECT_EQ(Marks({0, 2000, 0, 1005, 0, 1500, 0}), (std::vector<int32_t>{1}));
  // 20 x 3176 + 2016 = 65536 wraps to 0 as well.
  std::vector<int16_t> x = {0, 2000, 0};
  for (int i = 0; i < 20; ++i) x.push_back(32767);
  x.push_back(21160);
  x.insert(x.end(), {0, 1500, 0});
  EXPECT_EQ(Marks(x), (std::vector<int32_t>{1}));
}

TEST(MarkSelection, WrappedAreasAreComparedAsStored) {
  // 12 x 3176 = 38112 is stored as -27424: dropped after 100, and the next
  // small hump (area 1) passes 1 - (-13712) > 0.
  std::vector<int16_t> x = {0, 2000, 0};
  for (int i = 0; i < 12; ++i) x.push_back(32767);
  x.insert(x.end(), {0, 1010, 0});
  EXPECT_EQ(Marks(x), (std::vector<int32_t>{1, 16}));
}

TEST(MarkSelection, FarBelowZeroIsNoHump) {
  EXPECT_EQ(Marks({-32000, -32768, 0, 1999, -32000}), (std::vector<int32_t>{3}));
  EXPECT_TRUE(Marks({1000, 999, -5, 1009}).empty());
}

// The algorithm written out plainly: full filtered copy, rectified copy,
// sparse area array, selection.
std::vector<int32_t> ReferenceMarks(const std::vector<int16_t>& x, int32_t rate) {
  ReferenceFilter filter;
  std::vector<int16_t> low = filter.LowPass(x, rate, 300.0);
  const size_t n = low.size();
  std::vector<int32_t> rect(n);
  for (size_t i = 0; i < n; ++i) rect[i] = std::max(0, low[i] - 1000);
  std::vector<int16_t> areas(n, 0);
  size_t i = 0;
  while (i < n) {
    if (rect[i] == 0) {
      ++i;
      continue;
    }
    size_t top = i;
    int32_t sum = 0;
    for (; i < n && rect[i] > 0; ++i) {
      if (rect[i] > rect[top]) top = i;
      sum += rect[i] / 10;
    }
    areas[top] = static_cast<int16_t>(sum);
  }
  std::vector<int32_t> marks;
  bool first = true;
  int32_t previous = 0;
  for (size_t k = 0; k < n; ++k) {
    if (areas[k] == 0) continue;
    if (first || areas[k] - previous / 2 > 0) marks.push_back(static_cast<int32_t>(k));
    first = false;
    previous = areas[k];
  }
  return marks;
}

TEST(InternalPitch, WholePipelineMatchesThePlainComputation) {
  std::mt19937 random(3);
  for (int round = 0; round < 12; ++round) {
    const int32_t n = std::uniform_int_distribution<int32_t>(1, 20000)(random);
    const int32_t rate = round % 3 == 0 ? 8000 : kRate;
    const double f0 = std::uniform_real_distribution<double>(70, 280)(random);
    const double amplitude = std::uniform_real_distribution<double>(500, 30000)(random);
    std::normal_distribution<double> noise(0, round % 2 ? 2000 : 50);
    std::vector<int16_t> x(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      const double v = amplitude * std::sin(6.283185307 * f0 * i / rate) +
                       0.5 * amplitude * std::sin(6.283185307 * 2.7 * f0 * i / rate) +
                       noise(random);
      x[i] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
    const std::vector<int32_t> want = ReferenceMarks(x, rate);
    ResetFilterState();
    std::vector<int32_t> got(want.size() + 1, -1);
    ASSERT_EQ(_CalculatePitch(x.data(), n, rate, got.data()), static_cast<int32_t>(want.size()));
    got.pop_back();
    ASSERT_EQ(got, want) << "round " << round;
    ResetFilterState();
    ASSERT_EQ(_CalculatePitch(x.data(), n, rate, nullptr), static_cast<int32_t>(want.size()));
  }
}

TEST(InternalPitch, SineAt100HzGivesOneMarkPerPeriod) {
  std::vector<int16_t> x(16000);
  for (int i = 0; i < 16000; ++i) {
    x[static_cast<size_t>(i)] = static_cast<int16_t>(5000 * std::sin(6.283185307 * 100 * i / kRate));
  }
  ResetFilterState();
  std::vector<int32_t> marks(200);
  const int32_t n = _CalculatePitch(x.data(), 16000, kRate, marks.data());
  EXPECT_GE(n, 98);
  EXPECT_LE(n, 100);
  for (int32_t k = 3; k + 1 < n; ++k) {
    EXPECT_NEAR(marks[k + 1] - marks[k], 160, 1) << k;
  }
  // Each mark is the top of its half-wave in the filtered signal.
  ReferenceFilter filter;
  const std::vector<int16_t> low = filter.LowPass(x, kRate, 300.0);
  for (int32_t k = 3; k < n - 1; ++k) {
    const int32_t p = marks[k];
    for (int32_t d = 1; d < 20; ++d) {
      EXPECT_LT(low[p - d], low[p] + 1);
      EXPECT_LE(low[p + d], low[p]);
    }
  }
}

TEST(InternalPitch, UnservedInputsGiveNoMarks) {
  std::vector<int16_t> x(1000, 20000);
  int32_t out = -1;
  EXPECT_EQ(_CalculatePitch(nullptr, 1000, kRate, &out), 0);
  EXPECT_EQ(_CalculatePitch(x.data(), 0, kRate, &out), 0);
  EXPECT_EQ(_CalculatePitch(x.data(), -1, kRate, &out), 0);
  EXPECT_EQ(_CalculatePitch(x.data(), 1000, 600, &out), 0);
  EXPECT_EQ(_CalculatePitch(x.data(), 1000, 0, &out), 0);
  EXPECT_EQ(out, -1);
  EXPECT_GT(_CalculatePitch(x.data(), 1000, 601, nullptr), 0);  // served, though it rings
}

// CalculatePitch on the document.
// The filter state starts fresh, as in a newly loaded library.
class DocumentPitch : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    ResetFilterState();
  }
};

TEST_F(DocumentPitch, SegmentsThenFillsPeaksAndPeriods) {
  constexpr int kPeriod = 128;  // 125 Hz
  const std::vector<int16_t> x = VoicedSignal(8000, 16000, 8000, kPeriod, 12000);
  LoadSignal(x, 1, kRate);
  const TvxDocument& doc = TheDocument().record;
  ASSERT_EQ(doc.segmented, 0);
  const int32_t n = CalculatePitch(GetDataBuffer(0), GetWaveLength(), kRate);
  EXPECT_EQ(doc.segmented, 1);
  ASSERT_EQ(doc.elementCount, 3);
  EXPECT_STREQ(doc.elements[0].desc, "SIL");
  EXPECT_NEAR(doc.elements[1].start, 8000, 400);
  EXPECT_NEAR(doc.elements[1].end, 24000, 400);
  EXPECT_EQ(doc.elements[2].end, 32000);
  EXPECT_EQ(doc.peakRate, kRate);
  EXPECT_GE(TheDocument().peakRoom, 100000);

  int32_t* peaks = nullptr;
  ASSERT_EQ(GetFullPeaks(&peaks), n);
  // One mark per period over the voiced stretch, none in the silence.
  EXPECT_NEAR(n, 16000 / kPeriod, 3);
  for (int32_t k = 0; k < n; ++k) {
    EXPECT_GE(peaks[k], 8000);
    EXPECT_LT(peaks[k], 24000 + 300);
  }
  int32_t* periods = nullptr;
  ASSERT_EQ(GetFullModifiedPitch(&periods), n - 1);
  EXPECT_EQ(TheDocument().pitchRoom, n);
  for (int32_t k = 0; k + 1 < n; ++k) {
    EXPECT_EQ(periods[k], peaks[k + 1] - peaks[k]);
    if (k > 2 && k + 3 < n) {
      EXPECT_NEAR(periods[k], kPeriod, 2) << k;
    }
  }
  // The marks are those of the worker on the same signal, and the voiced
  // element holds all of them.
  int32_t* inVoiced = nullptr;
  EXPECT_EQ(GetElementPeak(1, &inVoiced), n - (peaks[n - 1] >= doc.elements[1].end));

  // Hand edits: move one mark, then give new periods.
  const int32_t moved = peaks[10];
  int32_t removed = 0;
  ASSERT_EQ(DeletePeak(moved + 2, &removed, 1.0f), 1);
  EXPECT_EQ(removed, moved);
  ASSERT_EQ(AddPeak(moved + 5, nullptr), 1);
  ASSERT_EQ(GetFullPeaks(&peaks), n);
  EXPECT_EQ(peaks[10], moved + 5);
  std::vector<int32_t> fresh(static_cast<size_t>(n - 1), 100);
  ASSERT_EQ(SetModifiedPitch(fresh.data()), 1);
  ASSERT_EQ(GetFullModifiedPitch(&periods), n - 1);
  EXPECT_EQ(std::vector<int32_t>(periods, periods + n - 1), fresh);
  int32_t period = 0;
  ASSERT_EQ(GetNearestPitch(moved, &period), 1);
  EXPECT_EQ(period, peaks[11] - peaks[10]);
}

TEST_F(DocumentPitch, SegmentedDocumentKeepsItsElements) {
  const std::vector<int16_t> x = VoicedSignal(4000, 8000, 4000, 100, 12000);
  TvxDocument& doc = TheDocument().record;
  doc.segmented = 1;
  doc.elementCount = 1;
  doc.elements[0].start = 0;
  doc.elements[0].end = 16000;
  const int32_t n = CalculatePitch(x.data(), 16000, kRate);
  EXPECT_GT(n, 70);
  EXPECT_EQ(doc.elementCount, 1);
  EXPECT_EQ(doc.elements[0].end, 16000);
}

TEST_F(DocumentPitch, SilenceGivesNoPeaksAndNoPeriods) {
  std::vector<int16_t> x(16000, 0);
  EXPECT_EQ(CalculatePitch(x.data(), 16000, kRate), 0);
  int32_t* p = nullptr;
  EXPECT_EQ(GetFullPeaks(&p), 0);
  EXPECT_EQ(GetFullModifiedPitch(&p), 0);
  EXPECT_EQ(TheDocument().record.segmented, 1);
}

TEST_F(DocumentPitch, TableGrowsPastItsUsualRoom) {
  // 1000 Hz rate, 120 Hz tone: a mark about every 8 samples.
  constexpr int32_t kLowRate = 1000;
  std::vector<int16_t> x(1000000);
  for (size_t i = 0; i < x.size(); ++i) {
    x[i] = static_cast<int16_t>(20000 * std::sin(6.283185307 * 120 * static_cast<double>(i) / kLowRate));
  }
  TheDocument().record.segmented = 1;
  const int32_t n = CalculatePitch(x.data(), 1000000, kLowRate);
  ASSERT_GT(n, 100000);
  EXPECT_GE(TheDocument().peakRoom, n);
  int32_t* peaks = nullptr;
  ASSERT_EQ(GetFullPeaks(&peaks), n);
  EXPECT_GT(peaks[n - 1], 990000);
  ResetFilterState();
  EXPECT_EQ(_CalculatePitch(x.data(), 1000000, kLowRate, nullptr), n);
}

}  // namespace
}  // namespace talvox::test
