// The trimming of a voiced run's ends, on signals built by hand: strong
// cycles, then cycles of noise only or of a fading voice.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "voice/run_ends.h"

namespace {

constexpr int32_t kRate = 16000;
constexpr int32_t kPeriod = 100;

// Cycles of a decaying pulse at `amplitudes`, one per period from sample
// kPeriod on, over white noise of `noiseRms`; the marks at each cycle start.
struct Built {
  std::vector<int16_t> samples;
  std::vector<int32_t> marks;
};

Built Cycles(const std::vector<double>& amplitudes, double noiseRms, int32_t pause,
             int32_t period = kPeriod) {
  Built b;
  const int32_t length = 2 * pause + period * static_cast<int32_t>(amplitudes.size());
  std::vector<double> x(static_cast<size_t>(length), 0.0);
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0.0, noiseRms);
  for (double& v : x) v = noiseRms > 0 ? noise(rng) : 0.0;
  for (size_t k = 0; k < amplitudes.size(); ++k) {
    const int32_t at = pause + period * static_cast<int32_t>(k);
    b.marks.push_back(at);
    for (int32_t t = 0; t < period; ++t) x[at + t] += amplitudes[k] * std::exp(-t / 15.0);
  }
  for (double v : x) b.samples.push_back(static_cast<int16_t>(std::lround(v)));
  return b;
}

TEST(RunEnds, CyclesOfNoiseAtEitherEndGoAndTheVoiceStays) {
  // Two marks the search put into the pause before the voice and three
  // after it: cycles that hold nothing but the noise.
  std::vector<double> amplitudes = {0, 0};
  for (int k = 0; k < 20; ++k) amplitudes.push_back(16000);
  for (int k = 0; k < 3; ++k) amplitudes.push_back(0);
  Built b = Cycles(amplitudes, 300, 4000);
  const double floor = talvox::NoiseFloorPower(b.samples.data(),
                                               static_cast<int32_t>(b.samples.size()), kRate);
  EXPECT_NEAR(floor, 300.0 * 300.0, 0.05 * 300.0 * 300.0);
  const std::vector<int32_t> voiced(b.marks.begin() + 2, b.marks.begin() + 22);
  talvox::TrimQuietCycles(b.samples.data(), static_cast<int32_t>(b.samples.size()), kRate, floor,
                          b.marks);
  EXPECT_EQ(b.marks, voiced);
}

TEST(RunEnds, AFadingVoiceInSilenceKeepsItsAudibleCycles) {
  // No noise: the fading cycles keep their marks down to a small share of
  // the run's power, and only the last, nearly silent one goes.
  std::vector<double> amplitudes(20, 8000);
  for (double a : {4000.0, 2000.0, 1000.0, 200.0}) amplitudes.push_back(a);
  Built b = Cycles(amplitudes, 0, 4000);
  const std::vector<int32_t> kept(b.marks.begin(), b.marks.end() - 1);
  talvox::TrimQuietCycles(b.samples.data(), static_cast<int32_t>(b.samples.size()), kRate, 0.0,
                          b.marks);
  EXPECT_EQ(b.marks, kept);
}

// A run of 20 cycles with one faint cycle at its end, over noise; true when
// the faint cycle keeps its mark.
bool FaintLastCycleStays(double faintShare, double noiseShare) {
  constexpr double kAmplitude = 8000;
  // The decaying pulse's mean power over a period, for amplitude 1.
  const double unitPower = 15.0 / 2.0 / kPeriod;
  const double typical = kAmplitude * kAmplitude * unitPower;
  std::vector<double> amplitudes(20, kAmplitude);
  amplitudes.push_back(kAmplitude * std::sqrt(faintShare));
  Built b = Cycles(amplitudes, std::sqrt(noiseShare * typical), 4000);
  const double floor = talvox::NoiseFloorPower(b.samples.data(),
                                               static_cast<int32_t>(b.samples.size()), kRate);
  talvox::TrimQuietCycles(b.samples.data(), static_cast<int32_t>(b.samples.size()), kRate, floor,
                          b.marks);
  return b.marks.size() == amplitudes.size();
}

TEST(RunEnds, WithNoiseAnEdgeCycleMustStandAboveIt) {
  // 1% of the typical cycle: kept in silence, but in noise of half that
  // power it holds only twice the noise and goes.
  EXPECT_TRUE(FaintLastCycleStays(0.01, 0.0));
  EXPECT_FALSE(FaintLastCycleStays(0.01, 0.005));
  // In strong noise (5% of the typical cycle) a cycle of 4% stays: the
  // demand is bounded by the run's own level, not by the noise alone.
  EXPECT_TRUE(FaintLastCycleStays(0.04, 0.05));
  EXPECT_FALSE(FaintLastCycleStays(0.003, 0.0));
}

// Without noise but with a given noise floor of floorShare of the typical
// cycle's power: true when a last cycle holding faintShare of that power
// above the floor keeps its mark.
bool LastCycleStaysAboveFloor(double faintShare, double floorShare, int32_t period) {
  constexpr double kAmplitude = 8000;
  const std::vector<double> full(20, kAmplitude);
  const Built one = Cycles({kAmplitude}, 0, 0, period);
  double power = 0;
  for (int16_t v : one.samples) power += double(v) * v;
  power /= period;
  std::vector<double> amplitudes = full;
  amplitudes.push_back(kAmplitude * std::sqrt(faintShare + floorShare));
  Built b = Cycles(amplitudes, 0, 4000, period);
  talvox::TrimQuietCycles(b.samples.data(), static_cast<int32_t>(b.samples.size()), kRate,
                          floorShare * power, b.marks);
  return b.marks.size() == amplitudes.size();
}

TEST(RunEnds, AShortEdgeCycleNeedsLessVoiceAboveTheNoiseThanALongOne) {
  // Noise at 0.5% of the typical cycle asks three times that, but at most
  // 1.1% of it from a cycle shorter than 4 ms and 1.5% from a longer one: a
  // cycle holding 1.3% keeps its mark at 3.1 ms and loses it at 6.25 ms.
  EXPECT_TRUE(LastCycleStaysAboveFloor(0.013, 0.005, 50));
  EXPECT_FALSE(LastCycleStaysAboveFloor(0.013, 0.005, 100));
  // Above both bounds it stays either way; without a floor 0.5% is enough.
  EXPECT_TRUE(LastCycleStaysAboveFloor(0.017, 0.005, 100));
  EXPECT_TRUE(LastCycleStaysAboveFloor(0.006, 0.0, 100));
}

TEST(RunEnds, MarksNearTheSignalsEndsStayInsideIt) {
  // The last cycle reaches one period beyond the last mark: clipped at the
  // signal's end, never read past it.
  std::vector<int16_t> samples(250, 1000);
  std::vector<int32_t> marks = {0, 100, 200};
  talvox::TrimQuietCycles(samples.data(), static_cast<int32_t>(samples.size()), kRate, 0.0,
                          marks);
  EXPECT_EQ(marks, (std::vector<int32_t>{0, 100, 200}));
}

TEST(RunEnds, FaintPulsesAtTheEndsGo) {
  std::vector<talvox::ChosenClosure> closures;
  // Median 0.9: below 8% of it (0.072) a pulse is the voice fading.
  for (double p : {0.06, 0.5, 1.0, 1.0, 0.02, 1.0, 0.9, 1.0, 0.08, 0.01}) closures.push_back({0, p});
  constexpr double kNowhere = std::numeric_limits<double>::infinity();
  talvox::TrimFaintPulses(closures, kNowhere, -kNowhere);
  ASSERT_EQ(closures.size(), 8u);  // the faint one inside the run stays
  EXPECT_EQ(closures.front().pulse, 0.5);
  EXPECT_EQ(closures.back().pulse, 0.08);
}

TEST(RunEnds, FaintPulsesWhereTheVoiceIsSureStay) {
  // Closures at positions 0..9 with a soft end; the voice is sure from 0.5
  // to 8.5. The weak closures at 7 and 8 lie where it is sure and stay; the
  // faint ones at 0 and 9, beyond, go. With no sure stretch 7 and 8 go too.
  std::vector<talvox::ChosenClosure> closures;
  double at = 0;
  for (double p : {0.06, 1.0, 1.0, 1.0, 0.02, 1.0, 1.0, 0.05, 0.04, 0.01}) closures.push_back({at++, p});
  std::vector<talvox::ChosenClosure> unsure = closures;
  talvox::TrimFaintPulses(closures, 0.5, 8.5);
  ASSERT_EQ(closures.size(), 8u);
  EXPECT_EQ(closures.front().position, 1.0);
  EXPECT_EQ(closures.back().position, 8.0);
  constexpr double kNowhere = std::numeric_limits<double>::infinity();
  talvox::TrimFaintPulses(unsure, kNowhere, -kNowhere);
  ASSERT_EQ(unsure.size(), 6u);
  EXPECT_EQ(unsure.back().position, 6.0);
}

}  // namespace
