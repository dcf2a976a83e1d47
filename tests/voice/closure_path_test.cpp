// The choice of closures in a residual built by hand: a pulse train of a
// known period, some pulses taken out.
#include <gtest/gtest.h>

#include <vector>

#include "voice/closure_path.h"

namespace {

constexpr double kPeriod = 20.0;

struct Residual {
  std::vector<float> samples;
  std::vector<float> periods;
  talvox::ClosureSearch search;
};

// Unit pulses at the given positions in `length` samples of zeros, the
// period constant; the voiced core is the whole residual.
Residual Pulses(const std::vector<int32_t>& at, int32_t length) {
  Residual r;
  r.samples.assign(static_cast<size_t>(length), 0.0f);
  for (int32_t t : at) r.samples[t] = 1.0f;
  r.periods.assign(static_cast<size_t>(length) + 1, static_cast<float>(kPeriod));
  r.search.residual = r.samples.data();
  r.search.length = length;
  r.search.rate = 8000;
  r.search.coreStart = 0;
  r.search.coreEnd = length;
  r.search.periods = r.periods.data();
  r.search.periodCount = static_cast<int32_t>(r.periods.size());
  r.search.periodStep = 1;
  return r;
}

std::vector<double> Positions(const std::vector<talvox::ChosenClosure>& closures) {
  std::vector<double> p;
  for (const talvox::ChosenClosure& c : closures) p.push_back(c.position);
  return p;
}

TEST(ClosurePath, OnlyTwoPeriodStepsAreFilledAtTheirMidpoint) {
  Residual r = Pulses({}, 400);
  // Steps of 1, 2, 1, 3, 2.4, 2.6 and 1.6 periods.
  std::vector<talvox::ChosenClosure> closures = {
      {10, 0.9}, {30, 0.8}, {70, 0.5}, {90, 0.7}, {150, 0.6}, {198, 0.4}, {250, 0.3}, {282, 0.2}};
  talvox::FillSkippedCycles(r.search, closures);
  const std::vector<double> expected = {10, 30, 50, 70, 90, 150, 174, 198, 250, 266, 282};
  EXPECT_EQ(Positions(closures), expected);
  // The filled cycles are as faint as the fainter neighbour.
  EXPECT_DOUBLE_EQ(closures[2].pulse, 0.5);
  EXPECT_DOUBLE_EQ(closures[6].pulse, 0.4);
  EXPECT_DOUBLE_EQ(closures[9].pulse, 0.2);
}

TEST(ClosurePath, ASkipIsJudgedByThePeriodWhereTheHiddenCycleStands) {
  // The track's period falls from 20 to 13 at 110, between the closures at
  // 80 and 120: by the period at 120 the step would be three cycles, by
  // the one where the hidden cycle stands it is two.
  Residual r = Pulses({}, 200);
  for (size_t i = 110; i < r.periods.size(); ++i) r.periods[i] = 13.0f;
  std::vector<talvox::ChosenClosure> closures = {{40, 1.0}, {60, 1.0}, {80, 1.0}, {120, 1.0}, {133, 1.0}, {146, 1.0}};
  talvox::FillSkippedCycles(r.search, closures);
  const std::vector<double> expected = {40, 60, 80, 100, 120, 133, 146};
  EXPECT_EQ(Positions(closures), expected);
}

TEST(ClosurePath, StepsOfTwoPeriodsInARowAreAVoiceBelowTheRangeNotSkippedCycles) {
  // A track at twice the voice's F0 (a range set above it): every step is
  // two periods, and no midpoint is a cycle. One lone skip further on is.
  Residual r = Pulses({}, 400);
  std::vector<talvox::ChosenClosure> closures = {
      {10, 1.0}, {50, 1.0}, {90, 1.0}, {130, 1.0}, {150, 1.0}, {170, 1.0}, {210, 1.0}, {230, 1.0}};
  talvox::FillSkippedCycles(r.search, closures);
  const std::vector<double> expected = {10, 50, 90, 130, 150, 170, 190, 210, 230};
  EXPECT_EQ(Positions(closures), expected);
}

TEST(ClosurePath, AHiddenPulseIsMarkedAndAPauseIsNot) {
  std::vector<int32_t> at;
  for (int32_t k = 0; k < 10; ++k) at.push_back(20 + 20 * k);  // 20..200
  // 220 hidden; then a pause of four periods after 240 (260..300 silent).
  at.push_back(240);
  for (int32_t k = 0; k < 8; ++k) at.push_back(320 + 20 * k);  // 320..460
  Residual r = Pulses(at, 500);
  std::vector<double> expected;
  for (int32_t t = 20; t <= 240; t += 20) expected.push_back(t);
  for (int32_t t = 320; t <= 460; t += 20) expected.push_back(t);
  EXPECT_EQ(Positions(talvox::ChooseClosures(r.search)), expected);
}

TEST(ClosurePath, SoftCyclesBeforeAStrongOnsetKeepTheirMarks) {
  // Cycles at 7% of the onset that follows them, the last one lengthened
  // (as before a stressed syllable): it lies within reach of the onset's
  // pulse and must not be taken for noise beside it.
  std::vector<int32_t> at;
  for (int32_t t = 20; t <= 180; t += 20) at.push_back(t);
  at.push_back(203);
  for (int32_t t = 228; t <= 408; t += 20) at.push_back(t);
  Residual r = Pulses(at, 440);
  for (int32_t t : at)
    if (t <= 203) r.samples[t] = 0.07f;
  std::vector<double> expected(at.begin(), at.end());
  EXPECT_EQ(Positions(talvox::ChooseClosures(r.search)), expected);
}

TEST(ClosurePath, FillingLeavesEmptyAndSingleChoicesAlone) {
  Residual r = Pulses({}, 100);
  std::vector<talvox::ChosenClosure> none;
  talvox::FillSkippedCycles(r.search, none);
  EXPECT_TRUE(none.empty());
  std::vector<talvox::ChosenClosure> one = {{50, 1.0}};
  talvox::FillSkippedCycles(r.search, one);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_DOUBLE_EQ(one[0].position, 50);
}

}  // namespace
