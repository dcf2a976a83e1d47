// The mark routes of the command-line tool: the voice tracker by default,
// its F0 range options, and the F0 column from its track.
#include <cmath>
#include <regex>

#include "cli_runner.h"
#include "speech_generator.h"

namespace talvox::cli_test {
namespace {

int MarkCount(const std::string& json) {
  std::smatch match;
  std::regex marks("\"samples\": [0-9]+, \"seconds\": [0-9.]+, \"marks\": ([0-9]+)");
  return std::regex_search(json, match, marks) ? std::stoi(match[1]) : -1;
}

Wav LowVoice() {
  speechgen::SpeechSettings settings;
  settings.seconds = 2.0;
  settings.voice = speechgen::kLowMaleVoice;
  Wav wav;
  wav.rate = settings.sampleRate;
  wav.channels = 1;
  wav.samples = speechgen::GenerateSpeech(settings).samples;
  return wav;
}

TEST(CliVoiceMarks, TheVoiceRouteIsTheDefaultAndTakesARange) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), LowVoice());
  RunResult byDefault = RunTalvox({"analyze", dir.File("in.wav"), "--json"});
  RunResult voice = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--marks", "voice"});
  RunResult ranged =
      RunTalvox({"analyze", dir.File("in.wav"), "--json", "--floor", "60", "--ceiling", "200"});
  RunResult floorOnly = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--floor", "60"});
  ASSERT_EQ(byDefault.status, 0) << byDefault.err;
  EXPECT_EQ(byDefault.out, voice.out);
  ASSERT_EQ(ranged.status, 0) << ranged.err;
  ASSERT_EQ(floorOnly.status, 0) << floorOnly.err;
  const int marks = MarkCount(voice.out);
  EXPECT_GT(marks, 100) << voice.out;
  EXPECT_NEAR(MarkCount(ranged.out), marks, 2);
  // A range above the voice leaves it (nearly) unmarked.
  RunResult above = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--floor", "300", "--ceiling", "600"});
  ASSERT_EQ(above.status, 0) << above.err;
  EXPECT_LT(MarkCount(above.out), marks / 3);
}

TEST(CliVoiceMarks, F0OfEveryVoicedElementLiesInTheVoicesRange) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), LowVoice());
  for (const char* route : {"voice", "internal"}) {
    RunResult run = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--marks", route});
    ASSERT_EQ(run.status, 0) << run.err;
    std::regex f0("\"f0\": ([0-9.]+)");
    int voiced = 0;
    for (auto it = std::sregex_iterator(run.out.begin(), run.out.end(), f0); it != std::sregex_iterator(); ++it) {
      const double value = std::stod((*it)[1]);
      EXPECT_GE(value, 65.0) << route;
      EXPECT_LE(value, 130.0) << route;
      ++voiced;
    }
    EXPECT_GE(voiced, 3) << route << run.out;
  }
}

TEST(CliVoiceMarks, BadRoutesAndRangesAreUsageErrors) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), LowVoice());
  for (std::vector<std::string> extra :
       {std::vector<std::string>{"--marks", "psychic"}, {"--floor", "200", "--ceiling", "100"},
        {"--floor", "-5"}, {"--ceiling", "abc"}, {"--floor", "700"}, {"--ceiling", "5000"}}) {
    std::vector<std::string> args = {"analyze", dir.File("in.wav")};
    args.insert(args.end(), extra.begin(), extra.end());
    RunResult run = RunTalvox(args);
    EXPECT_EQ(run.status, 2) << extra[0] << " " << run.err;
    EXPECT_NE(run.err.find("talvox analyze"), std::string::npos) << run.err;
  }
  for (const char* command : {"plot", "resynth", "edit"}) {
    RunResult run = RunTalvox({command, "--help"});
    EXPECT_NE(run.out.find("--floor"), std::string::npos) << command;
    EXPECT_NE(run.out.find("voice"), std::string::npos) << command;
  }
}

}  // namespace
}  // namespace talvox::cli_test
