// Element bounds in the tool's outputs stay within the signal, and the tool
// takes back the peak files it wrote, also when the segmentation let the
// last element run past the end.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "talvox.h"

namespace talvox::cli_test {
namespace {

// Voiced up to the very last sample, at a length that is no whole number of
// analysis frames: the last element then ends past the signal.
Wav VoicedToTheEnd(int frames) {
  Wav wav;
  wav.rate = 16000;
  wav.channels = 1;
  wav.samples.assign(4000, 0);
  for (int i = 0; wav.Frames() < static_cast<size_t>(frames); i++) {
    double level = (i % 133) < 60 ? 1.0 : 0.3;
    wav.samples.push_back(static_cast<int16_t>(8000 * level * std::sin(2 * M_PI * 120 * i / 16000.0)));
  }
  return wav;
}

// The numbers after each "key": in a JSON text.
std::vector<double> Values(const std::string& json, const std::string& key) {
  std::vector<double> values;
  for (size_t at = json.find("\"" + key + "\": "); at != std::string::npos; at = json.find("\"" + key + "\": ", at + 1))
    values.push_back(std::stod(json.substr(at + key.size() + 4)));
  return values;
}

TEST(CliAnnotationRange, OwnPeakFilesAreTakenBackAndEndsStayInTheSignal) {
  test::TempDir dir;
  for (int frames : {16037, 16074, 16111}) {
    SCOPED_TRACE(frames);
    std::string in = dir.File("speech.wav"), peaks = dir.File("speech.peaks");
    WriteWav(in, VoicedToTheEnd(frames));
    ASSERT_EQ(RunTalvox({"analyze", in, "-o", peaks}).status, 0);
    // The file holds no element past the signal.
    std::vector<int32_t> marks(100000);
    std::vector<TvxElement> elements(10000);
    int32_t markCount = 0, elementCount = 0;
    ASSERT_EQ(LoadTag(peaks.c_str(), marks.data(), &markCount, elements.data(), &elementCount), 1);
    ASSERT_GT(elementCount, 0);
    EXPECT_EQ(elements[elementCount - 1].end, frames);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"resynth", in, "--peaks", peaks, "-o", dir.File("up.wav"), "--semitones", "2"},
          std::vector<std::string>{"edit", in, "--peaks", peaks, "-o", dir.File("cut.wav"), "cut", "0.5:0.6"},
          std::vector<std::string>{"plot", in, "--peaks", peaks, "-o", dir.File("plot.svg")}}) {
      RunResult run = RunTalvox(args);
      EXPECT_EQ(run.status, 0) << args[0] << ": " << run.err;
    }
    RunResult json = RunTalvox({"analyze", in, "--json"});
    ASSERT_EQ(json.status, 0);
    std::vector<double> ends = Values(json.out, "end_sample"), seconds = Values(json.out, "end");
    ASSERT_FALSE(ends.empty());
    EXPECT_EQ(ends.back(), frames);
    EXPECT_LE(seconds.back(), frames / 16000.0 + 1e-4);
    RunResult table = RunTalvox({"analyze", in});
    ASSERT_EQ(table.status, 0);
    std::string last = table.out.substr(table.out.rfind('\n', table.out.size() - 2) + 1);
    char name[32];
    double start = 0, end = 0;
    ASSERT_EQ(std::sscanf(last.c_str(), "%*d %31s %lf %lf", name, &start, &end), 3) << last;
    EXPECT_LE(end, frames / 16000.0 + 0.0005);
  }
}

TEST(CliAnnotationRange, ForeignPeakFilesAreStillRefused) {
  test::TempDir dir;
  std::string longer = dir.File("long.wav"), shorter = dir.File("short.wav"), peaks = dir.File("long.peaks");
  WriteWav(longer, TwoSyllables(16000, 100, 3000, 6000));
  WriteWav(shorter, VoicedToTheEnd(12000));
  ASSERT_EQ(RunTalvox({"analyze", longer, "-o", peaks}).status, 0);
  RunResult run = RunTalvox({"resynth", shorter, "--peaks", peaks, "-o", dir.File("x.wav"), "--semitones", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("made for another signal"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace talvox::cli_test
