// resynth's timing and tones: the duration kept or scaled, every period
// given the pitch (the F0 measured on the output by autocorrelation), the
// output's annotation, tone contours and their one-line errors.
#include <cmath>
#include <filesystem>

#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

constexpr int kRate = 16000;
constexpr int kPeriod = 128;  // 125 Hz
constexpr int kSilence = 1600, kVoiced = 8000;

class CliTiming : public ::testing::Test {
 protected:
  void SetUp() override {
    in = TwoSyllables(kRate, kPeriod, kSilence, kVoiced);
    WriteWav(dir.File("in.wav"), in);
  }
  RunResult Run(std::vector<std::string> extra) {
    std::vector<std::string> args = {"resynth", dir.File("in.wav"), "-o", dir.File("out.wav")};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunTalvox(args);
  }
  Wav Resynth(std::vector<std::string> extra) {
    RunResult run = Run(extra);
    EXPECT_EQ(run.status, 0) << run.err;
    return ReadWav(dir.File("out.wav"));
  }
  // F0 over a fraction of syllable 0 or 1, placed by the output's timing.
  static double F0Of(const Wav& out, int syllable, double from, double to, double durationScale = 1.0) {
    double begin = (kSilence + syllable * (kVoiced + kSilence)) * durationScale;
    double length = kVoiced * durationScale;
    return AutocorrelationF0(out.samples, out.rate, size_t(begin + from * length), size_t(begin + to * length));
  }
  Wav in;
  test::TempDir dir;
};

TEST_F(CliTiming, PitchChangesKeepTheDuration) {
  for (double semitones : {7.0, 4.0, -5.0}) {
    Wav out = Resynth({"--semitones", std::to_string(semitones)});
    ASSERT_EQ(out.samples.size(), in.samples.size()) << semitones;
    double wanted = 125 * std::pow(2.0, semitones / 12);
    for (int syllable : {0, 1})
      EXPECT_NEAR(F0Of(out, syllable, 0.2, 0.8), wanted, 0.02 * wanted) << semitones;
  }
  // The old timing on request: a fifth up shortens the voiced stretches.
  Wav free = Resynth({"--semitones", "7", "--free-duration"});
  EXPECT_LT(free.samples.size(), in.samples.size() - kVoiced / 2);
}

TEST_F(CliTiming, DurationScaleSetsTheLength) {
  for (double scale : {0.7, 1.5}) {
    Wav out = Resynth({"--f0", "150", "--duration-scale", std::to_string(scale)});
    // The last sample stays outside the scaled range.
    EXPECT_NEAR(double(out.samples.size()), (in.samples.size() - 1) * scale + 1, 1.0) << scale;
    for (int syllable : {0, 1}) EXPECT_NEAR(F0Of(out, syllable, 0.25, 0.75, scale), 150, 3) << scale;
  }
  Wav same = Resynth({"--pitch-scale", "1"});
  EXPECT_EQ(same.samples, in.samples);  // exactly, not within rounding
}

TEST_F(CliTiming, EveryVoicedPeriodGetsThePitchWhateverItsElementIsCalled) {
  // Analyse, then call every element silence: the pitch must change anyway.
  ASSERT_EQ(RunTalvox({"analyze", dir.File("in.wav"), "-o", dir.File("in.peaks")}).status, 0);
  InitTalvox();
  ASSERT_EQ(ReadPeaks(dir.File("in.peaks").c_str()), 1);
  for (int32_t e = 0; e < GetElementNum(); e++) SetElementDesc(e, "SIL");
  ASSERT_EQ(SavePeaks(dir.File("sil.peaks").c_str()), 1);
  FreeTalvox();
  Wav out = Resynth({"--f0", "180", "--peaks", dir.File("sil.peaks"), "--out-peaks", dir.File("out.peaks")});
  for (int syllable : {0, 1}) EXPECT_NEAR(F0Of(out, syllable, 0.1, 0.9), 180, 3.6);

  // The output's annotation: same elements, marks at the new period.
  InitTalvox();
  ASSERT_EQ(ReadPeaks(dir.File("out.peaks").c_str()), 1);
  int32_t* marks = nullptr;
  int32_t count = GetFullPeaks(&marks);
  int32_t* periods = nullptr;
  ASSERT_EQ(GetFullModifiedPitch(&periods), count - 1);
  int near = 0, voiced = 0;
  for (int32_t i = 0; i + 1 < count; i++) {
    ASSERT_EQ(periods[i], marks[i + 1] - marks[i]);
    if (periods[i] < 200) {
      voiced++;
      near += std::abs(periods[i] - kRate / 180.0) <= 1 ? 1 : 0;
    }
  }
  EXPECT_GT(voiced, 2 * kVoiced / (kRate / 180) - 10);
  EXPECT_GE(near, voiced - 4);
  EXPECT_GT(GetElementNum(), 1);
  FreeTalvox();
}

TEST_F(CliTiming, AStrayMarkMakesNoJumpInTheNewPeriods) {
  ASSERT_EQ(RunTalvox({"analyze", dir.File("in.wav"), "-o", dir.File("in.peaks")}).status, 0);
  InitTalvox();
  ASSERT_EQ(ReadPeaks(dir.File("in.peaks").c_str()), 1);
  int32_t* marks = nullptr;
  const int32_t count = GetFullPeaks(&marks);
  int32_t middle = 0;
  while (middle < count && marks[middle] < kSilence + kVoiced / 2) middle++;
  ASSERT_LT(middle, count);
  const int32_t stray = marks[middle] + 30;
  marks[middle] = stray;
  ASSERT_EQ(SavePeaks(dir.File("stray.peaks").c_str()), 1);
  FreeTalvox();
  Resynth({"--semitones", "12", "--peaks", dir.File("stray.peaks"), "--out-peaks", dir.File("out.peaks")});
  InitTalvox();
  ASSERT_EQ(ReadPeaks(dir.File("out.peaks").c_str()), 1);
  int32_t* out = nullptr;
  const int32_t placed = GetFullPeaks(&out);
  int checked = 0;
  for (int32_t i = 0; i + 1 < placed; i++) {
    if (std::abs(out[i] - stray) > 6 * kPeriod) continue;
    EXPECT_NEAR(out[i + 1] - out[i], kPeriod / 2, 1) << out[i];  // not 79 and 49
    checked++;
  }
  EXPECT_GT(checked, 16);
  FreeTalvox();
}

TEST_F(CliTiming, RunsAreContinuedOverUnmarkedEdgeCyclesUnlessMarksAreTakenAsGiven) {
  // The first syllable marked on its middle half only.
  ASSERT_EQ(RunTalvox({"analyze", dir.File("in.wav"), "-o", dir.File("in.peaks")}).status, 0);
  InitTalvox();
  ASSERT_EQ(ReadPeaks(dir.File("in.peaks").c_str()), 1);
  DeleteRangePeak(kSilence, kSilence + kVoiced / 4);
  DeleteRangePeak(kSilence + 3 * kVoiced / 4, kSilence + kVoiced);
  ASSERT_EQ(SavePeaks(dir.File("middle.peaks").c_str()), 1);
  FreeTalvox();
  // Six cycles (768 samples) on at each end take the new pitch.
  Wav out = Resynth({"--f0", "180", "--peaks", dir.File("middle.peaks")});
  EXPECT_NEAR(F0Of(out, 0, 0.4, 0.6), 180, 3.6);
  EXPECT_NEAR(F0Of(out, 0, 0.17, 0.24), 180, 3.6);
  EXPECT_NEAR(F0Of(out, 0, 0.76, 0.83), 180, 3.6);
  EXPECT_NEAR(F0Of(out, 0, 0.03, 0.12), 125, 2.5);  // beyond them the old pitch
  // As given: only the marked half changes.
  out = Resynth({"--f0", "180", "--peaks", dir.File("middle.peaks"), "--marks-as-given"});
  EXPECT_NEAR(F0Of(out, 0, 0.4, 0.6), 180, 3.6);
  EXPECT_NEAR(F0Of(out, 0, 0.03, 0.2), 125, 2.5);
  EXPECT_NEAR(F0Of(out, 0, 0.8, 0.97), 125, 2.5);
}

TEST_F(CliTiming, TonesGiveTheirContours) {
  Wav out = Resynth({"--tones", "35,51"});
  ASSERT_EQ(out.samples.size(), in.samples.size());
  // A flat voice is widened to 5 semitones around its F0: level 3 is 125 Hz.
  double rising[2] = {F0Of(out, 0, 0.02, 0.2), F0Of(out, 0, 0.8, 0.98)};
  double falling[2] = {F0Of(out, 1, 0.02, 0.2), F0Of(out, 1, 0.8, 0.98)};
  EXPECT_GT(rising[1], rising[0] * 1.1);  // 2.5 semitones at the very end
  EXPECT_GT(falling[0], falling[1] * 1.25);
  EXPECT_NEAR(falling[0], 125 * std::pow(2.0, 2.5 / 12), 6);  // level 5

  // The same from the elements' names.
  ASSERT_EQ(RunTalvox({"analyze", dir.File("in.wav"), "-o", dir.File("in.peaks")}).status, 0);
  InitTalvox();
  ASSERT_EQ(ReadPeaks(dir.File("in.peaks").c_str()), 1);
  int named = 0;
  for (int32_t e = 0; e < GetElementNum(); e++) {
    char desc[104] = {0};
    GetElementDesc(e, desc);
    if (std::string(desc) != "SIL") SetElementDesc(e, named++ == 0 ? "ma2" : "ma4");
  }
  ASSERT_EQ(named, 2);
  ASSERT_EQ(SavePeaks(dir.File("named.peaks").c_str()), 1);
  FreeTalvox();
  Wav labelled = Resynth({"--tones-from-labels", "mandarin", "--peaks", dir.File("named.peaks")});
  EXPECT_EQ(labelled.samples, out.samples);
}

// The output takes the input's place in the wave buffer; three channels,
// more than it holds, go the way of copies and tell what must come out.
TEST_F(CliTiming, OutputsWrittenInPlaceEqualThoseMadeInCopies) {
  auto equalChannels = [&](int channels) {
    Wav wav{in.rate, channels, {}};
    for (int16_t v : in.samples) wav.samples.insert(wav.samples.end(), size_t(channels), v);
    return wav;
  };
  WriteWav(dir.File("two.wav"), equalChannels(2));
  WriteWav(dir.File("three.wav"), equalChannels(3));
  auto resynth = [&](const std::string& input, const std::string& output, const std::vector<std::string>& change) {
    std::vector<std::string> args = {"resynth", dir.File(input), "-o", dir.File(output)};
    args.insert(args.end(), change.begin(), change.end());
    const RunResult run = RunTalvox(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return test::ReadBytes(dir.File(output));
  };
  const std::vector<std::vector<std::string>> changes = {
      {"--semitones", "4"}, {"--f0", "150", "--duration-scale", "1.5"}, {"--semitones", "-5", "--range", "0.05:0.9"}};
  for (const auto& change : changes) {
    const std::vector<uint8_t> copies = resynth("three.wav", "three.raw", change);
    resynth("two.wav", "both.wav", change);
    const Wav one = Resynth(change), two = ReadWav(dir.File("both.wav"));
    ASSERT_EQ(copies.size(), 6 * one.samples.size()) << change[0];
    ASSERT_EQ(two.samples.size(), 2 * one.samples.size()) << change[0];
    for (size_t i = 0; i < one.samples.size(); i++) {
      const int16_t reference = static_cast<int16_t>(copies[6 * i] | copies[6 * i + 1] << 8);
      ASSERT_EQ(one.samples[i], reference) << change[0] << " at " << i;
      ASSERT_EQ(two.samples[2 * i], reference) << change[0] << " at " << i;
      ASSERT_EQ(two.samples[2 * i + 1], reference) << change[0] << " at " << i;
    }
    EXPECT_EQ(std::filesystem::file_size(dir.File("out.wav")), 44 + 2 * one.samples.size()) << change[0];
  }
}

TEST_F(CliTiming, BadTimingAndTonesGetOneLine) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
    int status;
  } cases[] = {
      {{"--tones", "55,35,214"}, "--tones gives 3 contours but there are 2 voiced elements", 1},
      {{"--tones", "55"}, "but there are 2 voiced elements", 1},
      {{"--tones", "55,36"}, "unknown tone digit '6'", 2},
      {{"--tones", "55,"}, "'' is not a tone contour", 2},
      {{"--tones", "55,35", "--f0", "100"}, "not both", 2},
      {{"--tones-from-labels", "klingon"}, "mandarin or cantonese", 2},
      {{"--f0", "100", "--duration-scale", "9"}, "--duration-scale", 2},
      {{"--f0", "100", "--duration-scale", "0"}, "--duration-scale", 2},
      {{"--f0", "100", "--duration-scale", "2", "--free-duration"}, "not both", 2},
  };
  for (const Case& c : cases) {
    RunResult run = Run(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0] << " " << c.args[1];
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(test::FileExists(dir.File("out.wav")));
  }
}

}  // namespace
}  // namespace talvox::cli_test
