// _CalculatePeak and CalculatePeak against a scripted pap.exe: working files,
// script bytes, point-process parsing and the snapping onto hump areas.
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "fake_pap.h"
#include "pitch/external_pitch.h"
#include "state/document.h"
#include "test_support.h"

namespace talvox::test {
namespace {

const char kExpectedScript[] =
    "Read from file... temp.wav\n\t\t#Play\n\t\tTo Pitch... 0.01 125 500\n\t\tTo PointProcess\n"
    "\t\tWrite to text file... temp.pointprocess\n\t\tselect all\n\t\tRemove";

std::vector<float> Parse(const std::string& text) {
  std::vector<float> times;
  ParsePointProcess(text.data(), text.size(), times);
  return times;
}

TEST(PointProcessParsing, LineEndsAndIgnoredLines) {
  std::vector<float> expected = {0.5f, 0.4375f, 1.25f};
  std::vector<double> times = {0.5, 0.4375, 1.25};
  EXPECT_EQ(Parse(PointProcessText(times, "\n")), expected);
  EXPECT_EQ(Parse(PointProcessText(times, "\r\n")), expected);
  EXPECT_EQ(Parse(PointProcessText(times, "\n\n")), expected);
  EXPECT_EQ(Parse(PointProcessText(times, "\r")), expected);
  // Only "t <word> = <number>" counts, with any blanks between the words.
  EXPECT_EQ(Parse("xmin = 0\nt [1] : 0.5\nt [2] =\nt\nx [3] = 0.7\n\tt   [4]\t=  +0.25 rest\n"),
            std::vector<float>{0.25f});
  // No line end after the last line; an empty text; a text cut by a zero.
  EXPECT_EQ(Parse("t [1] = 0.75"), std::vector<float>{0.75f});
  EXPECT_TRUE(Parse("").empty());
  EXPECT_EQ(Parse(std::string("t [1] = 0.5\n\0t [2] = 0.6\n", 26)), std::vector<float>{0.5f});
}

TEST(PointProcessParsing, OverlongWordsAndLinesAreReadWhole) {
  std::string longWord(500, 'x');
  std::string longGap(2000, ' ');
  // A first word of more than 99 characters is not "t"; a long line is kept.
  EXPECT_TRUE(Parse("t" + longWord + " [1] = 0.5\n").empty());
  EXPECT_TRUE(Parse("t [" + longWord + "] =" + longWord + " 0.5\n").empty());
  EXPECT_EQ(Parse("t [" + longWord + "] =" + longGap + "0.5\n"), std::vector<float>{0.5f});
}

TEST(PointProcessParsing, TimesToSamplesTruncatesTheDoubleProduct) {
  EXPECT_EQ(TimesToSamples({0.5f}, 16000), std::vector<int32_t>{8000});
  // 0.1f is 0.100000001490116...; 44100 * that truncates to 4410.
  EXPECT_EQ(TimesToSamples({0.1f, -0.00001f}, 44100), (std::vector<int32_t>{4410, 0}));
  // Unusable times are dropped instead of overflowing.
  EXPECT_EQ(TimesToSamples({NAN, INFINITY, 1e9f, 2.0f}, 16000), std::vector<int32_t>{32000});
}

TEST(HumpSnapping, WorkedRules) {
  // Humps: [1..3] top at 2 area 30+50+20 -> 10; [6..7] top 7 area 200; a
  // later hump of equal area 200 at 11.
  std::vector<int16_t> x(40, 0);
  x[1] = 30; x[2] = 50; x[3] = 20;
  x[6] = 1000; x[7] = 1000;  // equal largest: the first is the top
  x[11] = 2000;
  std::vector<int16_t> areas = RawHumpAreas(x.data(), static_cast<int32_t>(x.size()));
  EXPECT_EQ(areas[2], 10);
  EXPECT_EQ(areas[6], 200);
  EXPECT_EQ(areas[7], 0);
  EXPECT_EQ(areas[11], 200);
  // Window for 8 with d = 20: [1, 15): area 200 first at 6 (tie with 11).
  // For 28 (last, d = 20) the window [21, 35) holds no hump: its first position.
  EXPECT_EQ(SnapToHumps({8, 28}, areas), (std::vector<int32_t>{6, 21}));
  // 6 stays (d = 2); 8 (following 32 > twice its preceding 2) ends a
  // stretch: d = 2, an empty window, it stays; 40 (last, d = 32) -> 27.
  EXPECT_EQ(SnapToHumps({6, 8, 40}, areas), (std::vector<int32_t>{6, 8, 27}));
  // With the following interval at most twice the preceding one it is a
  // period: 20 (d = 20 after 20) takes the window [13, 27): the hump at 11
  // is out of reach, and the first position 13 wins; 40 (last) -> [33, 40).
  EXPECT_EQ(SnapToHumps({0, 20, 40}, areas), (std::vector<int32_t>{6, 13, 33}));
  // d <= 7: empty window, the position stays; so does a single time.
  EXPECT_EQ(SnapToHumps({8, 15}, areas), (std::vector<int32_t>{8, 15}));
  EXPECT_EQ(SnapToHumps({9}, areas), std::vector<int32_t>{9});
  // Non-ascending: the negative period keeps 30; marks are not sorted.
  EXPECT_EQ(SnapToHumps({30, 10, 30}, areas), (std::vector<int32_t>{30, 6, 23}));
  // A window wholly outside the signal keeps the position.
  EXPECT_EQ(SnapToHumps({100, 140}, areas), (std::vector<int32_t>{100, 140}));
}

TEST(HumpSnapping, AStretchEndKeepsToItsOwnCycle) {
  // Two voiced stretches of 100-sample cycles, each cycle's half-wave 30
  // samples after its pulse time, with 1000 samples of silence between: the
  // last time of the first stretch must not use the 1000-sample gap as its
  // period (its window would reach back over the marked cycles and into the
  // silence) but the preceding interval.
  std::vector<int16_t> x(4000, 0);
  std::vector<int32_t> times;
  auto stretch = [&](int32_t first, int cycles) {
    for (int k = 0; k < cycles; ++k) {
      const int32_t t = first + 100 * k;
      times.push_back(t);
      for (int j = 25; j < 35; ++j) x[static_cast<size_t>(t + j)] = 3000;
    }
  };
  stretch(200, 8);   // 200 .. 900
  stretch(1900, 8);  // 1900 .. 2600
  // A louder half-wave in the pause, where a window of half the gap reaches.
  for (int j = 0; j < 20; ++j) x[static_cast<size_t>(1200 + j)] = 9000;
  std::vector<int16_t> areas = RawHumpAreas(x.data(), static_cast<int32_t>(x.size()));
  const std::vector<int32_t> marks = SnapToHumps(times, areas);
  ASSERT_EQ(marks.size(), times.size());
  for (size_t k = 0; k < marks.size(); ++k) EXPECT_EQ(marks[k], times[k] + 25) << k;
  EXPECT_TRUE(std::is_sorted(marks.begin(), marks.end()));
  // The same through the whole route, pap.exe's times as text.
  EXPECT_EQ(marks, ModelMarks(x, times));
}

TEST(HumpSnapping, WrappedAreasNeverWin) {
  // A run of 40 samples of 10000 sums to 40000: stored as 40000 - 65536.
  std::vector<int16_t> x(200, 0);
  for (int i = 50; i < 90; ++i) x[i] = 10000;
  x[120] = 50;
  std::vector<int16_t> areas = RawHumpAreas(x.data(), static_cast<int32_t>(x.size()));
  EXPECT_EQ(areas[50], static_cast<int16_t>(40000 - 65536));
  EXPECT_EQ(SnapToHumps({100, 200}, areas).front(), 120);
  // Without any positive area the first in-range position wins.
  x[120] = 0;
  areas = RawHumpAreas(x.data(), static_cast<int32_t>(x.size()));
  EXPECT_EQ(SnapToHumps({70, 170}, areas).front(), 23);
}

TEST(HumpSnapping, AgreesWithModelOnRandomSignals) {
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    int n = 50 + static_cast<int>(rng() % 2000);
    std::vector<int16_t> x(static_cast<std::size_t>(n));
    std::uniform_int_distribution<int> amp(-32768, 32767);
    int run = 0, value = 0;
    for (auto& s : x) {
      if (run-- <= 0) { run = static_cast<int>(rng() % 60); value = amp(rng); }
      s = static_cast<int16_t>(value + static_cast<int>(rng() % 7) - 3);
    }
    std::vector<int32_t> r;
    int count = static_cast<int>(rng() % 40);
    int32_t pos = static_cast<int32_t>(rng() % 100) - 50;
    for (int i = 0; i < count; ++i) {
      r.push_back(pos);
      pos += static_cast<int32_t>(rng() % 150) - 20;  // sometimes backwards
    }
    EXPECT_EQ(SnapToHumps(r, RawHumpAreas(x.data(), n)), ModelMarks(x, r)) << "round " << round;
  }
}

TEST(PitchScript, PathsAndText) {
  EXPECT_EQ(ScriptPathFor("temp.wav"), "pitch.psc");
  EXPECT_EQ(ScriptPathFor("C:\\work\\a.wav"), "C:\\work\\pitch.psc");
  EXPECT_EQ(PointProcessPathFor("temp.wav"), "temp.pointprocess");
  EXPECT_EQ(PointProcessPathFor("noext"), "");
  EXPECT_EQ(PitchScriptText("temp.wav", "temp.pointprocess"), kExpectedScript);
  TempDir dir;
  EXPECT_EQ(WritePitchScript("noext", dir.File("a.psc").c_str()), 0);
  EXPECT_EQ(WritePitchScript("temp.wav", dir.File("none/a.psc").c_str()), 0);
  ASSERT_EQ(WritePitchScript("temp.wav", dir.File("a.psc").c_str()), 1);
  std::vector<uint8_t> bytes = ReadBytes(dir.File("a.psc"));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), kExpectedScript);
}

TEST(CalculatePeakExternal, WorkingFilesScriptAndWav) {
  FakePap pap(PointProcessText({0.001}));
  std::vector<int16_t> x = {1, -2, 300, -32768, 32767, 0};
  int32_t peaks[4] = {-1, -1, -1, -1};
  EXPECT_EQ(_CalculatePeak(x.data(), 6, 8000, peaks), 1);
  EXPECT_EQ(peaks[0], 8);  // one time: 8000 * 0.001 stays
  std::vector<uint8_t> script = ReadBytes(pap.Capture("seen.psc"));
  EXPECT_EQ(std::string(script.begin(), script.end()), kExpectedScript);
  std::vector<uint8_t> wav;
  PutTag(wav, "RIFF"); PutU32(wav, 36 + 12); PutTag(wav, "WAVE"); PutTag(wav, "fmt ");
  PutU32(wav, 16); PutU16(wav, 1); PutU16(wav, 1); PutU32(wav, 8000); PutU32(wav, 16000);
  PutU16(wav, 2); PutU16(wav, 16); PutTag(wav, "data"); PutU32(wav, 12);
  for (int16_t s : x) PutU16(wav, static_cast<uint16_t>(s));
  EXPECT_EQ(ReadBytes(pap.Capture("seen.wav")), wav);
  EXPECT_FALSE(pap.WorkingFilesLeft());
}

TEST(CalculatePeakExternal, SnapsReportedTimesOnASignal) {
  // Period 100 at 16000 Hz; the program reports times 20 samples late.
  std::vector<int16_t> x = VoicedSignal(1000, 4000, 1000, 100, 8000);
  std::vector<double> times;
  for (int i = 0; i < 38; ++i) times.push_back((1020.0 + 100.0 * i + 0.5) / 16000.0);
  FakePap pap(PointProcessText(times, "\r\n"));
  std::vector<int32_t> expected = ModelMarks(x, TimesToSamples(
      std::vector<float>(times.begin(), times.end()), 16000));
  std::vector<int32_t> peaks(times.size());
  ASSERT_EQ(_CalculatePeak(x.data(), static_cast<int32_t>(x.size()), 16000, peaks.data()),
            static_cast<int32_t>(expected.size()));
  peaks.resize(expected.size());
  EXPECT_EQ(peaks, expected);
  for (std::size_t i = 1; i + 1 < peaks.size(); ++i) EXPECT_EQ(peaks[i] - peaks[i - 1], 100);
  // A null array only counts.
  EXPECT_EQ(_CalculatePeak(x.data(), static_cast<int32_t>(x.size()), 16000, nullptr),
            static_cast<int32_t>(expected.size()));
}

TEST(CalculatePeakExternal, FailuresGiveNoMarksAndLeaveNoFiles) {
  std::vector<int16_t> x = VoicedSignal(100, 1000, 100, 80, 5000);
  int32_t peaks[8];
  {
    FakePap failing("", 3, false);
    EXPECT_EQ(_CalculatePeak(x.data(), 1200, 16000, peaks), 0);
    EXPECT_TRUE(failing.Launched());
    EXPECT_FALSE(failing.WorkingFilesLeft());
  }
  {
    FakePap empty("");
    EXPECT_EQ(_CalculatePeak(x.data(), 1200, 16000, peaks), 0);
    EXPECT_FALSE(empty.WorkingFilesLeft());
  }
  {
    TempDir dir;
    FakePap::WithoutProgram(dir);
    EXPECT_EQ(_CalculatePeak(x.data(), 1200, 16000, peaks), 0);
    EXPECT_FALSE(FileExists(dir.File("temp.wav")) || FileExists(dir.File("pitch.psc")));
  }
  {
    // temp.wav cannot be created: nothing is launched.
    FakePap blocked(PointProcessText({0.01, 0.02}));
    ASSERT_EQ(::mkdir(blocked.WorkFile("temp.wav").c_str(), 0755), 0);
    EXPECT_EQ(_CalculatePeak(x.data(), 1200, 16000, peaks), 0);
    EXPECT_FALSE(blocked.Launched());
    EXPECT_FALSE(FileExists(blocked.WorkFile("pitch.psc")));
  }
  FakePap pap(PointProcessText({0.01, 0.02}));
  EXPECT_EQ(_CalculatePeak(nullptr, 1200, 16000, peaks), 0);
  EXPECT_EQ(_CalculatePeak(x.data(), 0, 16000, peaks), 0);
  EXPECT_EQ(_CalculatePeak(x.data(), 1200, 0, peaks), 0);
  EXPECT_FALSE(pap.Launched());
}

}  // namespace
}  // namespace talvox::test
