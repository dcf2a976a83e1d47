#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "state/document.h"
#include "test_support.h"

namespace talvox::test {
namespace {

class ElementTable : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    LoadSignal(std::vector<int16_t>(1000, 0), 1, 16000);
    SetFullSegmentation();
  }
  // Replaces the table with elements of the given bounds, named e0, e1, ...
  void SetTable(const std::vector<std::pair<int32_t, int32_t>>& bounds) {
    TvxDocument& doc = TheDocument().record;
    doc.elementCount = static_cast<int32_t>(bounds.size());
    for (std::size_t i = 0; i < bounds.size(); ++i) {
      std::snprintf(doc.elements[i].desc, sizeof doc.elements[i].desc, "e%zu", i);
      doc.elements[i].start = bounds[i].first;
      doc.elements[i].end = bounds[i].second;
    }
  }
  std::vector<std::pair<int32_t, int32_t>> Bounds() {
    std::vector<std::pair<int32_t, int32_t>> out;
    for (int32_t i = 0; i < GetElementNum(); ++i) {
      int32_t s = 0, e = 0;
      GetElementSegment(i, &s, &e);
      out.emplace_back(s, e);
    }
    return out;
  }
  std::string Desc(int32_t index) {
    char text[104];
    EXPECT_EQ(GetElementDesc(index, text), 1);
    return text;
  }
  using B = std::vector<std::pair<int32_t, int32_t>>;
};

TEST_F(ElementTable, FullSegmentationCoversTheSignal) {
  EXPECT_EQ(Bounds(), (B{{0, 1000}}));
  EXPECT_EQ(GetElement(1000), 0);
  EXPECT_EQ(GetElement(1001), -1);
  EXPECT_EQ(GetElement(-1), -1);
}

TEST_F(ElementTable, AddBoundarySplitsKeepingTheDescription) {
  SetElementDesc(0, "ma3");
  EXPECT_EQ(AddBoundary(0), 0);
  EXPECT_EQ(AddBoundary(1000), 0);
  ASSERT_EQ(AddBoundary(1), 1);
  EXPECT_EQ(Bounds(), (B{{0, 1}, {1, 1000}}));
  EXPECT_EQ(Desc(0), "ma3");
  EXPECT_EQ(Desc(1), "ma3");
  EXPECT_EQ(AddBoundary(1), 0);
}

TEST_F(ElementTable, AddBoundaryOnAFullTableIsRefused) {
  TvxDocument& doc = TheDocument().record;
  doc.elementCount = 10000;
  for (int32_t i = 0; i < 10000; ++i) {
    doc.elements[i].start = 2 * i;
    doc.elements[i].end = 2 * i + 2;
  }
  EXPECT_EQ(AddBoundary(1), 0);
  EXPECT_EQ(GetElementNum(), 10000);
  DelBoundary(0, 2);
  EXPECT_EQ(AddBoundary(1), 1);
}

TEST_F(ElementTable, MovingAStartPastThePreviousCollapsesIt) {
  SetTable({{0, 100}, {100, 200}, {200, 1000}});
  ASSERT_EQ(SetElementSegment(2, 50, 1), 1);
  EXPECT_EQ(Bounds(), (B{{0, 100}, {100, 100}, {100, 1000}}));
  TidyElements();
  EXPECT_EQ(Bounds(), (B{{0, 100}, {100, 1000}}));
  EXPECT_EQ(Desc(1), "e2");
}

TEST_F(ElementTable, MovingBoundariesClamps) {
  SetTable({{0, 100}, {100, 200}, {200, 1000}});
  SetElementSegment(2, 1100, 2);
  EXPECT_EQ(Bounds().back(), std::make_pair(200, 999));
  SetElementSegment(0, -5, 1);
  EXPECT_EQ(Bounds()[0], std::make_pair(0, 100));
  SetElementSegment(0, 150, 1);
  EXPECT_EQ(Bounds()[0], std::make_pair(100, 100));
  SetElementSegment(1, 1200, 2);  // past the next end: the next collapses
  EXPECT_EQ(Bounds(), (B{{100, 100}, {100, 999}, {999, 999}}));
  EXPECT_EQ(SetElementSegment(3, 0, 1), 0);
  EXPECT_EQ(SetElementSegment(-1, 0, 1), 0);
  EXPECT_EQ(SetElementSegment(0, 0, 3), 0);
}

TEST_F(ElementTable, DelBoundaryAtTheOuterEdgesChangesNothing) {
  SetTable({{0, 100}, {100, 200}, {200, 1000}});
  EXPECT_EQ(DelBoundary(0, 1), 1);
  EXPECT_EQ(DelBoundary(2, 2), 1);
  EXPECT_EQ(DelBoundary(1, 7), 1);
  EXPECT_EQ(GetElementNum(), 3);
  EXPECT_EQ(DelBoundary(3, 1), 0);
  EXPECT_EQ(DelBoundary(-1, 1), 0);
  ASSERT_EQ(DelBoundary(1, 2), 1);  // the right neighbour absorbs it
  EXPECT_EQ(Bounds(), (B{{0, 100}, {100, 1000}}));
  EXPECT_EQ(Desc(1), "e2");
  ASSERT_EQ(DelBoundary(1, 1), 1);  // the left neighbour absorbs it
  EXPECT_EQ(Bounds(), (B{{0, 1000}}));
  EXPECT_EQ(Desc(0), "e0");
}

TEST_F(ElementTable, TidyingOnlyZeroWidthElementsLeavesTheWholeSignal) {
  SetTable({{5, 5}, {5, 5}, {9, 3}});
  TidyElements();
  EXPECT_EQ(Bounds(), (B{{0, 1000}}));
  EXPECT_EQ(Desc(0), "e2");  // the last record removed stays in slot 0
}

TEST_F(ElementTable, ZeroWidthElementIsFoundAtItsPosition) {
  SetTable({{0, 10}, {10, 10}, {10, 20}});
  EXPECT_EQ(GetElement(10), 1);
  EXPECT_EQ(GetElement(20), 2);
  EXPECT_EQ(GetElement(9), 0);
}

TEST_F(ElementTable, NearestBoundaryTolerance) {
  SetTable({{0, 10}, {10, 100}, {200, 300}});
  int32_t side = 0;
  EXPECT_EQ(GetNearestElementBoundary(5, &side, 0.5f), 0);
  EXPECT_EQ(side, 1);  // a tie goes to the start
  EXPECT_EQ(GetNearestElementBoundary(52, &side, 0.5f), -1);
  EXPECT_EQ(GetNearestElementBoundary(91, &side, 0.5f), 1);
  EXPECT_EQ(side, 2);
  EXPECT_EQ(GetNearestElementBoundary(195, &side, 0.5f), 2);  // gap, nearer the next start
  EXPECT_EQ(side, 1);
  EXPECT_EQ(GetNearestElementBoundary(310, &side, 0.5f), 2);
  EXPECT_EQ(side, 2);
  EXPECT_EQ(GetNearestElementBoundary(311, &side, 0.5f), -1);
  EXPECT_EQ(GetNearestElementBoundary(-10, &side, 0.5f), 0);
  EXPECT_EQ(GetNearestElementBoundary(11, &side, 10.0f), -1);
  EXPECT_EQ(GetNearestElementBoundary(10, &side, 10.0f), 0);  // end of element 0 first
  EXPECT_EQ(side, 2);
  side = 42;
  EXPECT_EQ(GetNearestElementBoundary(10, &side, 0.0f), -1);
  EXPECT_EQ(GetNearestElementBoundary(10, &side, -1.0f), -1);
  EXPECT_EQ(GetNearestElementBoundary(10, &side, std::nanf("")), -1);
  EXPECT_EQ(side, 42);
  EXPECT_EQ(GetNearestElementBoundary(1 << 30, nullptr, 1e-30f), 2);
}

TEST_F(ElementTable, Descriptions) {
  char text[104];
  EXPECT_EQ(GetElementDesc(-1, text), 0);
  EXPECT_EQ(SetElementDesc(-1, "x"), 0);
  EXPECT_EQ(GetElementDesc(1, text), 0);
  EXPECT_EQ(GetElementDesc(0, nullptr), 0);
  EXPECT_EQ(SetElementDesc(0, nullptr), 0);
  const std::string longText(200, 'a');
  ASSERT_EQ(SetElementDesc(0, longText.c_str()), 1);
  EXPECT_EQ(Desc(0), std::string(103, 'a'));
  ASSERT_EQ(SetElementDesc(0, "SIL"), 1);
  EXPECT_EQ(Desc(0), "SIL");
}

TEST_F(ElementTable, NullOutPointersAreTolerated) {
  int32_t end = 0;
  EXPECT_EQ(GetElementSegment(0, nullptr, &end), 1);
  EXPECT_EQ(end, 1000);
  EXPECT_EQ(GetElementSegment(0, nullptr, nullptr), 1);
}

TEST(ElementTableWithoutDocument, BehavesAsEmpty) {
  EXPECT_EQ(GetElementNum(), 0);
  EXPECT_EQ(AddBoundary(5), 0);
  EXPECT_EQ(GetElement(0), -1);
  EXPECT_EQ(GetNearestElementBoundary(0, nullptr, 1.0f), -1);
  SetFullSegmentation();
  TidyElements();
  EXPECT_EQ(GetElementNum(), 0);
  EXPECT_EQ(SetElementDesc(0, "x"), 0);
}

}  // namespace
}  // namespace talvox::test
