// resynth: the F0 of the output, measured by autocorrelation, is the one
// asked for; scale 1 gives the input back; the rest of the signal stays.
#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

constexpr int kRate = 16000;
constexpr int kPeriod = 128;  // 125 Hz
constexpr int kSilence = 1600, kVoiced = 8000;
constexpr double kTolerance = 0.02;

// F0 in the middle of each voiced stretch of a resynthesised two-syllable
// signal; stretch lengths changed, so they are found by their energy.
std::vector<double> SyllableF0(const Wav& wav) {
  std::vector<double> f0;
  const std::vector<int16_t>& x = wav.samples;
  size_t i = 0;
  while (i < x.size()) {
    while (i < x.size() && x[i] == 0) i++;
    size_t begin = i;
    size_t quiet = 0;
    while (i < x.size() && quiet < 200) quiet = x[i++] == 0 ? quiet + 1 : 0;
    size_t end = i - quiet;
    if (end > begin + 2000) {
      size_t margin = (end - begin) / 4;
      f0.push_back(AutocorrelationF0(x, wav.rate, begin + margin, end - margin));
    }
  }
  return f0;
}

class CliResynth : public ::testing::Test {
 protected:
  void SetUp() override { WriteWav(dir.File("in.wav"), TwoSyllables(kRate, kPeriod, kSilence, kVoiced)); }
  Wav Resynth(std::vector<std::string> pitch) {
    std::vector<std::string> args = {"resynth", dir.File("in.wav"), "-o", dir.File("out.wav")};
    args.insert(args.end(), pitch.begin(), pitch.end());
    RunResult run = RunTalvox(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return ReadWav(dir.File("out.wav"));
  }
  test::TempDir dir;
};

TEST_F(CliResynth, OutputF0IsTheRequestedOne) {
  struct Case {
    std::vector<std::string> pitch;
    double expected;
  } cases[] = {
      {{"--pitch-scale", "1.25"}, 125 * 1.25},
      {{"--semitones", "-5"}, 125 * std::pow(2.0, -5 / 12.0)},
      {{"--f0", "180"}, 180},
      {{"--f0", "90"}, 90},
  };
  for (const Case& c : cases) {
    std::vector<double> f0 = SyllableF0(Resynth(c.pitch));
    ASSERT_EQ(f0.size(), 2u) << c.pitch[0] << " " << c.pitch[1];
    for (double value : f0) EXPECT_NEAR(value, c.expected, kTolerance * c.expected) << c.pitch[0] << " " << c.pitch[1];
  }
}

TEST_F(CliResynth, ContourIsFollowed) {
  test::WriteBytes(dir.File("c.txt"), {});
  std::string contour = "# time F0\n0 160\n100 160\n";
  test::WriteBytes(dir.File("c.txt"), std::vector<uint8_t>(contour.begin(), contour.end()));
  std::vector<double> f0 = SyllableF0(Resynth({"--contour", dir.File("c.txt")}));
  ASSERT_EQ(f0.size(), 2u);
  for (double value : f0) EXPECT_NEAR(value, 160, kTolerance * 160);

  // A ramp: the second syllable is lower than the first.
  contour = "0.0 200\n1.3 100\n";
  test::WriteBytes(dir.File("c.txt"), std::vector<uint8_t>(contour.begin(), contour.end()));
  f0 = SyllableF0(Resynth({"--contour", dir.File("c.txt")}));
  ASSERT_EQ(f0.size(), 2u);
  EXPECT_GT(f0[0], f0[1] + 30);
}

TEST_F(CliResynth, ScaleOneGivesTheInputBack) {
  Wav in = ReadWav(dir.File("in.wav"));
  Wav out = Resynth({"--pitch-scale", "1"});
  ASSERT_EQ(out.samples.size(), in.samples.size());
  int worst = 0;
  for (size_t i = 0; i < in.samples.size(); i++) worst = std::max(worst, std::abs(in.samples[i] - out.samples[i]));
  EXPECT_LE(worst, 2);  // the window products are truncated
}

TEST_F(CliResynth, OutsideTheRangeNothingChanges) {
  Wav in = ReadWav(dir.File("in.wav"));
  size_t secondStart = kSilence + kVoiced + kSilence;  // the second syllable only
  for (bool free : {false, true}) {
    std::vector<std::string> args = {"--f0", "150", "--range", std::to_string(secondStart - 400) + "s:"};
    if (free) args.push_back("--free-duration");
    Wav out = Resynth(args);
    if (free) {
      ASSERT_LT(out.samples.size(), in.samples.size());
    } else {
      ASSERT_EQ(out.samples.size(), in.samples.size());
    }
    for (size_t i = 0; i < secondStart - 400; i++) ASSERT_EQ(out.samples[i], in.samples[i]) << i;
    std::vector<double> f0 = SyllableF0(out);
    ASSERT_EQ(f0.size(), 2u);
    EXPECT_NEAR(f0[0], 125, kTolerance * 125);
    EXPECT_NEAR(f0[1], 150, kTolerance * 150);
  }
}

TEST_F(CliResynth, TheReportCountsStretchesInWords) {
  const size_t secondStart = kSilence + kVoiced + kSilence;
  const std::vector<std::string> base = {"resynth", dir.File("in.wav"), "-o", dir.File("out.wav"), "--f0", "150"};
  RunResult whole = RunTalvox(base);
  std::vector<std::string> ranged = base;
  ranged.insert(ranged.end(), {"--range", std::to_string(secondStart - 400) + "s:"});
  RunResult one = RunTalvox(ranged);
  EXPECT_NE(whole.err.find("over 2 voiced stretches ("), std::string::npos) << whole.err;
  EXPECT_NE(one.err.find("over 1 voiced stretch ("), std::string::npos) << one.err;
}

TEST_F(CliResynth, StereoKeepsBothChannels) {
  Wav mono = TwoSyllables(kRate, kPeriod, kSilence, kVoiced);
  Wav stereo;
  stereo.rate = kRate;
  stereo.channels = 2;
  for (int16_t sample : mono.samples) stereo.samples.insert(stereo.samples.end(), {sample, int16_t(sample / 2)});
  WriteWav(dir.File("in.wav"), stereo);
  Wav out = Resynth({"--pitch-scale", "1.5"});
  ASSERT_EQ(out.channels, 2);
  std::vector<int16_t> left, right;
  for (size_t i = 0; i < out.Frames(); i++) {
    left.push_back(out.samples[2 * i]);
    right.push_back(out.samples[2 * i + 1]);
  }
  Wav leftWav{kRate, 1, left}, rightWav{kRate, 1, right};
  for (const Wav& channel : {leftWav, rightWav}) {
    std::vector<double> f0 = SyllableF0(channel);
    ASSERT_EQ(f0.size(), 2u);
    for (double value : f0) EXPECT_NEAR(value, 187.5, kTolerance * 187.5);
  }
}

}  // namespace
}  // namespace talvox::cli_test
