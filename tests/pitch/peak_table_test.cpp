// Peak table: snapping tolerance, editing, element views and the periods.
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "pitch/peak_table.h"
#include "state/document.h"
#include "test_support.h"

namespace talvox::test {
namespace {

class PeakTable : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    LoadSignal(std::vector<int16_t>(1000, 0), 1, 16000);
  }
  void SetPeaks(const std::vector<int32_t>& peaks) {
    DeleteAllPeak();
    for (int32_t p : peaks) ASSERT_EQ(AddPeak(p, nullptr), 1);
  }
  static std::vector<int32_t> Peaks() {
    int32_t* p = nullptr;
    int32_t n = GetFullPeaks(&p);
    return n > 0 ? std::vector<int32_t>(p, p + n) : std::vector<int32_t>{};
  }
  static void SetElement(int32_t index, int32_t start, int32_t end) {
    TvxDocument& record = TheDocument().record;
    record.elements[index].start = start;
    record.elements[index].end = end;
    record.elementCount = std::max(record.elementCount, index + 1);
  }
};

TEST_F(PeakTable, ClosedPeakWithinFivePixels) {
  SetPeaks({100, 200, 300});
  EXPECT_EQ(GetClosedPeak(96, 1.0f), 0);
  EXPECT_EQ(GetClosedPeak(94, 1.0f), -1);
  EXPECT_EQ(GetClosedPeak(150, 1.0f), -1);
  EXPECT_EQ(GetClosedPeak(203, 1.0f), 1);
  EXPECT_EQ(GetClosedPeak(305, 1.0f), 2);
  EXPECT_EQ(GetClosedPeak(306, 1.0f), -1);
  EXPECT_EQ(GetClosedPeak(150, 0.0625f), 0);  // a tie goes to the lower peak
  EXPECT_EQ(GetClosedPeak(151, 0.0625f), 1);
}

TEST_F(PeakTable, ToleranceIsTruncatedFromTheFloatScale) {
  // 0.1f is slightly above 0.1, so 5 / 0.1f is just below 50.
  EXPECT_EQ(ToleranceForScale(0.1f), 49);
  SetPeaks({100, 200, 300});
  EXPECT_EQ(GetClosedPeak(51, 0.1f), 0);
  EXPECT_EQ(GetClosedPeak(50, 0.1f), -1);
  EXPECT_EQ(ToleranceForScale(1e-30f), INT32_MAX);
  EXPECT_EQ(GetClosedPeak(-2000000000, 1e-30f), 0);
}

TEST_F(PeakTable, UnusableScalesFindNothing) {
  SetPeaks({100, 200, 300});
  for (float scale : {0.0f, -1.0f, std::nanf("")}) {
    EXPECT_EQ(GetClosedPeak(100, scale), -1);
    int32_t removed = 7;
    EXPECT_EQ(DeletePeak(100, &removed, scale), 0);
    EXPECT_EQ(removed, 7);
  }
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{100, 200, 300}));
}

TEST_F(PeakTable, SinglePeakAndEmptyTable) {
  EXPECT_EQ(GetClosedPeak(100, 1.0f), -1);
  SetPeaks({100});
  EXPECT_EQ(GetClosedPeak(100, 1.0f), 0);
}

TEST_F(PeakTable, DeletePeakReportsThePosition) {
  SetPeaks({100, 200, 300});
  int32_t removed = 0;
  EXPECT_EQ(DeletePeak(198, &removed, 1.0f), 1);
  EXPECT_EQ(removed, 200);
  EXPECT_EQ(DeletePeak(150, nullptr, 1.0f), 0);
  EXPECT_EQ(DeletePeak(301, nullptr, 1.0f), 1);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{100}));
}

TEST_F(PeakTable, AddPeakKeepsTheOrder) {
  SetPeaks({100, 200, 300});
  int32_t added = 0;
  EXPECT_EQ(AddPeak(250, &added), 1);
  EXPECT_EQ(added, 250);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{100, 200, 250, 300}));
  SetPeaks({100, 200, 300});
  AddPeak(150, nullptr);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{100, 150, 200, 300}));
  AddPeak(400, nullptr);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{100, 150, 200, 300, 400}));
}

TEST_F(PeakTable, AddPeakBelowAllGoesFirstAndRefusesDuplicates) {
  SetPeaks({100, 200});
  EXPECT_EQ(AddPeak(0, nullptr), 1);
  EXPECT_EQ(AddPeak(-5, nullptr), 1);
  int32_t added = 42;
  EXPECT_EQ(AddPeak(200, &added), 0);
  EXPECT_EQ(added, 42);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{-5, 0, 100, 200}));
}

TEST_F(PeakTable, AddPeakKeepsRoomForThePeriods) {
  SetPeaks({100, 200, 300});
  int32_t periods[] = {11, 22};
  ASSERT_EQ(SetModifiedPitch(periods), 1);
  AddPeak(150, nullptr);
  const DocumentState& doc = TheDocument();
  EXPECT_GE(doc.peakRoom, 4);
  EXPECT_GE(doc.pitchRoom, 4);
  int32_t* mp = nullptr;
  ASSERT_EQ(GetFullModifiedPitch(&mp), 3);
  // Not shifted: the values after the new peak no longer match.
  EXPECT_EQ(mp[0], 11);
  EXPECT_EQ(mp[1], 22);
  AdjustZerocrossToPeak(nullptr, 0);  // refused: nothing changes
  EXPECT_EQ(mp[1], 22);
  int32_t fresh[] = {1, 2, 3};
  ASSERT_EQ(SetModifiedPitch(fresh), 1);
  GetFullModifiedPitch(&mp);
  EXPECT_EQ(std::vector<int32_t>(mp, mp + 3), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(SetModifiedPitch(nullptr), 0);
}

TEST_F(PeakTable, DeleteAllReleasesTheTable) {
  SetPeaks({100, 200});
  DeleteAllPeak();
  int32_t* p = reinterpret_cast<int32_t*>(1);
  EXPECT_EQ(GetFullPeaks(&p), 0);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(AddPeak(5, nullptr), 1);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{5}));
  EXPECT_EQ(GetFullModifiedPitch(nullptr), 0);
}

TEST_F(PeakTable, DeleteRange) {
  SetPeaks({100, 200, 300});
  DeleteRangePeak(150, 250);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{100, 300}));
  SetPeaks({100, 200, 300});
  DeleteRangePeak(120, 180);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{100, 200, 300}));
  SetPeaks({100, 200, 300});
  DeleteRangePeak(150, 1000);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{100}));
  SetPeaks({100, 200, 300});
  DeleteRangePeak(100, 300);
  EXPECT_EQ(Peaks(), std::vector<int32_t>{});
}

TEST_F(PeakTable, NearestPeakAndPeriod) {
  SetPeaks({100, 200, 300});
  int32_t peak = 0, index = 0;
  EXPECT_EQ(GetNearestPeak(120, &peak, &index), 1);
  EXPECT_EQ(peak, 100);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(GetNearestPeak(280, &peak, &index), 1);
  EXPECT_EQ(peak, 300);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(GetNearestPeak(150, &peak, &index), 1);  // a tie goes left
  EXPECT_EQ(peak, 100);
  EXPECT_EQ(GetNearestPeak(5, &peak, &index), 1);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(GetNearestPeak(999, &peak, &index), 1);
  EXPECT_EQ(index, 2);
  peak = index = 9;
  EXPECT_EQ(GetNearestPeak(1000, &peak, &index), 0);  // at the sample length
  EXPECT_EQ(peak, 9);
  EXPECT_EQ(index, 9);

  int32_t period = 0;
  AddPeak(360, nullptr);
  EXPECT_EQ(GetNearestPitch(190, &period), 1);
  EXPECT_EQ(period, 100);
  EXPECT_EQ(GetNearestPitch(900, &period), 1);  // last peak: the interval before it
  EXPECT_EQ(period, 60);
}

TEST_F(PeakTable, NearestWithoutPeaksOrWithOne) {
  DeleteAllPeak();
  int32_t peak = 0, index = 5, period = 3;
  EXPECT_EQ(GetNearestPeak(10, &peak, &index), 0);
  EXPECT_EQ(peak, -1);
  EXPECT_EQ(index, 5);
  EXPECT_EQ(GetNearestPitch(10, &period), 0);
  AddPeak(100, nullptr);
  EXPECT_EQ(GetNearestPeak(10, &peak, &index), 1);
  EXPECT_EQ(GetNearestPitch(10, &period), 0);  // no interval to measure
  EXPECT_EQ(period, 3);
}

TEST_F(PeakTable, ElementViews) {
  SetPeaks({100, 200, 300});
  int32_t periods[] = {100, 100};
  SetModifiedPitch(periods);
  SetElement(0, 0, 100);
  SetElement(1, 100, 300);
  SetElement(2, 300, 1000);
  SetElement(3, 400, 1000);
  int32_t* p = nullptr;
  EXPECT_EQ(GetElementPeak(1, &p), 2);
  EXPECT_EQ(p, TheDocument().record.peaks);
  int32_t* mp = nullptr;
  EXPECT_EQ(GetElementModifiedPitch(1, &mp), 1);
  EXPECT_EQ(mp, TheDocument().record.modifiedPitch);
  EXPECT_EQ(GetElementPeak(2, &p), 1);  // a peak on an element's end belongs to the next
  EXPECT_EQ(*p, 300);
  EXPECT_EQ(GetElementModifiedPitch(2, &mp), 0);
  EXPECT_EQ(mp, TheDocument().record.modifiedPitch + 2);
  for (int32_t element : {0, 3, 4, -1, 10000}) {
    p = mp = reinterpret_cast<int32_t*>(1);
    EXPECT_EQ(GetElementPeak(element, &p), 0) << element;
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(GetElementModifiedPitch(element, &mp), 0);
    EXPECT_EQ(mp, nullptr);
  }
}

TEST(PeakTableBeforeInit, BehavesAsEmpty) {
  FreeTalvox();
  int32_t* p = nullptr;
  EXPECT_EQ(GetFullPeaks(&p), 0);
  EXPECT_EQ(GetClosedPeak(10, 1.0f), -1);
  EXPECT_EQ(DeletePeak(10, nullptr, 1.0f), 0);
  DeleteRangePeak(0, 100);
  EXPECT_EQ(GetElementPeak(0, &p), 0);
  EXPECT_EQ(GetFullModifiedPitch(&p), 0);
  EXPECT_EQ(AddPeak(10, nullptr), 1);
  EXPECT_EQ(GetFullPeaks(&p), 1);
  EXPECT_EQ(p[0], 10);
  FreeTalvox();
}

// Random edits against a plain sorted-vector model of the table.
TEST_F(PeakTable, RandomEditsMatchAModel) {
  std::mt19937 random(1234);
  std::vector<int32_t> model;
  DeleteAllPeak();
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  for (int step = 0; step < 4000; ++step) {
    const int32_t position = pick(-50, 1100);
    switch (pick(0, 9)) {
      case 0: case 1: case 2: case 3: {
        const bool present = std::find(model.begin(), model.end(), position) != model.end();
        ASSERT_EQ(AddPeak(position, nullptr), present ? 0 : 1);
        if (!present) model.insert(std::upper_bound(model.begin(), model.end(), position), position);
        break;
      }
      case 4: case 5: {
        const float scale = pick(1, 20) / 10.0f;
        const int64_t tolerance = static_cast<int64_t>(5.0 / scale);
        int64_t best = -1;
        for (size_t i = 0; i < model.size(); ++i) {
          const int64_t d = std::abs(int64_t{model[i]} - position);
          if (d <= tolerance && (best < 0 || d < std::abs(int64_t{model[best]} - position))) {
            best = static_cast<int64_t>(i);
          }
        }
        ASSERT_EQ(GetClosedPeak(position, scale), best);
        int32_t removed = -7;
        ASSERT_EQ(DeletePeak(position, &removed, scale), best < 0 ? 0 : 1);
        if (best >= 0) {
          ASSERT_EQ(removed, model[best]);
          model.erase(model.begin() + best);
        }
        break;
      }
      case 6: {
        const int32_t to = position + pick(0, 60);
        DeleteRangePeak(position, to);
        model.erase(std::remove_if(model.begin(), model.end(),
                                   [&](int32_t p) { return position <= p && p <= to; }),
                    model.end());
        break;
      }
      case 7: {
        int32_t peak = 0, index = 0;
        const int32_t got = GetNearestPeak(position, &peak, &index);
        if (position >= 1000 || model.empty()) {
          ASSERT_EQ(got, 0);
          break;
        }
        size_t want = 0;
        for (size_t i = 1; i < model.size(); ++i) {
          if (std::abs(int64_t{model[i]} - position) < std::abs(int64_t{model[want]} - position)) want = i;
        }
        ASSERT_EQ(got, 1);
        ASSERT_EQ(index, static_cast<int32_t>(want));
        ASSERT_EQ(peak, model[want]);
        break;
      }
      case 8: {
        std::vector<int32_t> periods(model.size() + 1, pick(1, 99));
        ASSERT_EQ(SetModifiedPitch(periods.data()), 1);
        break;
      }
      default:
        if (pick(0, 20) == 0) {
          DeleteAllPeak();
          model.clear();
        }
    }
    ASSERT_EQ(Peaks(), model);
    const DocumentState& doc = TheDocument();
    ASSERT_GE(doc.peakRoom, doc.record.peakCount);
    if (doc.record.peakCount > 0 && doc.record.modifiedPitch != nullptr) {
      ASSERT_GE(doc.pitchRoom, doc.record.peakCount - 1);
    }
  }
}

}  // namespace
}  // namespace talvox::test
