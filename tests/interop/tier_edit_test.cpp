// The tiers of a user's TextGrid follow cut, copy, delete and paste: a hand
// example, and random edits undone by pasting back, compared sample by
// sample with the tiers before.
#include <gtest/gtest.h>

#include <random>

#include "tier_edit.h"

namespace tvx::interop {
namespace {

// At 1 Hz a second is a sample, so the example reads in samples.
TextGrid Example() {
  TextGrid grid;
  grid.xmax = 50;
  Tier words;
  words.name = "words";
  words.xmax = 50;
  words.intervals = {{0, 10, "a", 0}, {10, 30, "b", 0}, {30, 50, "c", 0}};
  Tier tones;
  tones.kind = Tier::Kind::kPoint;
  tones.name = "tones";
  tones.xmax = 50;
  tones.points = {{3, "H", 0}, {12, "L", 0}, {33, "H", 0}};
  grid.tiers = {words, tones};
  return grid;
}

std::vector<std::tuple<double, double, std::string>> Intervals(const Tier& tier) {
  std::vector<std::tuple<double, double, std::string>> out;
  for (const Interval& i : tier.intervals) out.emplace_back(i.xmin, i.xmax, i.text);
  return out;
}

std::vector<std::pair<double, std::string>> Points(const Tier& tier) {
  std::vector<std::pair<double, std::string>> out;
  for (const Point& p : tier.points) out.emplace_back(p.time, p.mark);
  return out;
}

TEST(TierEditor, CutAndPasteMoveIntervalsAndPoints) {
  TextGrid grid = Example();
  TierEditor editor(grid, 1, 50);
  editor.Cut(5, 14);  // ten samples: the end of "a", the start of "b", the L
  TextGrid cut = editor.Result();
  EXPECT_EQ(cut.xmax, 40);
  using I = std::vector<std::tuple<double, double, std::string>>;
  using P = std::vector<std::pair<double, std::string>>;
  EXPECT_EQ(Intervals(cut.tiers[0]), (I{{0, 5, "a"}, {5, 20, "b"}, {20, 40, "c"}}));
  EXPECT_EQ(Points(cut.tiers[1]), (P{{3, "H"}, {23, "H"}}));
  editor.Paste(30);  // into "c"
  TextGrid pasted = editor.Result();
  EXPECT_EQ(pasted.xmax, 50);
  EXPECT_EQ(Intervals(pasted.tiers[0]),
            (I{{0, 5, "a"}, {5, 20, "b"}, {20, 30, "c"}, {30, 35, "a"}, {35, 40, "b"}, {40, 50, "c"}}));
  EXPECT_EQ(Points(pasted.tiers[1]), (P{{3, "H"}, {23, "H"}, {37, "L"}}));
  editor.Delete(0, 49);
  EXPECT_EQ(editor.Result().tiers[0].intervals.size(), 0u);
  editor.Paste(0);  // the copy outlives the delete
  EXPECT_EQ(Intervals(editor.Result().tiers[0]), (I{{0, 5, "a"}, {5, 10, "b"}}));
}

// The label of every sample and the points, for comparing tiers whatever
// their boundaries.
std::vector<std::string> SampleLabels(const Tier& tier, int64_t length) {
  std::vector<std::string> labels(size_t(length), "<none>");
  for (const Interval& i : tier.intervals)
    for (int64_t s = int64_t(i.xmin); s < int64_t(i.xmax) && s < length; s++) labels[size_t(s)] = i.text;
  return labels;
}

TEST(TierEditor, RandomCutsPastedBackRestoreEverySample) {
  std::mt19937 random(17);
  for (int trial = 0; trial < 200; trial++) {
    int64_t length = std::uniform_int_distribution<int64_t>(20, 400)(random);
    TextGrid grid;
    grid.xmax = double(length);
    Tier words, tones;
    words.name = "w";
    tones.kind = Tier::Kind::kPoint;
    double at = 0;
    for (int n = 0; at < double(length); n++) {
      double end = std::min(double(length), at + std::uniform_int_distribution<int>(1, 40)(random));
      words.intervals.push_back({at, end, std::to_string(n), 0});
      at = end;
    }
    for (int64_t p = 1; p < length; p += std::uniform_int_distribution<int>(1, 30)(random))
      tones.points.push_back({double(p), std::to_string(p), 0});
    grid.tiers = {words, tones};
    int64_t a = std::uniform_int_distribution<int64_t>(0, length - 2)(random);
    int64_t b = std::uniform_int_distribution<int64_t>(a + 1, length - 1)(random);
    TierEditor editor(grid, 1, length);
    editor.Cut(a, b);
    editor.Paste(a);
    TextGrid back = editor.Result();
    SCOPED_TRACE("length " + std::to_string(length) + ", cut " + std::to_string(a) + ".." + std::to_string(b));
    ASSERT_EQ(back.xmax, double(length));
    ASSERT_EQ(SampleLabels(back.tiers[0], length), SampleLabels(words, length));
    ASSERT_EQ(Points(back.tiers[1]), Points(tones));
    // The tier stays a connected row from 0 to the end.
    const std::vector<Interval>& row = back.tiers[0].intervals;
    ASSERT_EQ(row.front().xmin, 0);
    ASSERT_EQ(row.back().xmax, double(length));
    for (size_t i = 1; i < row.size(); i++) ASSERT_EQ(row[i].xmin, row[i - 1].xmax);
  }
}

}  // namespace
}  // namespace tvx::interop
