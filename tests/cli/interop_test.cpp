// The exchange files end to end: what analyze exports agrees with its JSON,
// a round trip through each file gives back the same annotation to the
// sample, a user's TextGrid drives the elements, edit keeps the exports in
// step, and damaged files fail with one line and leave nothing behind.
#include <cmath>
#include <regex>

#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

constexpr int kRate = 16000;
constexpr int kPeriod = 128;  // 125 Hz

std::vector<long> Integers(const std::string& text, const std::string& pattern) {
  std::vector<long> values;
  std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    values.push_back(std::stol((*it)[1]));
  return values;
}

std::vector<double> Numbers(const std::string& text, const std::string& pattern) {
  std::vector<double> values;
  std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    values.push_back(std::stod((*it)[1]));
  return values;
}

std::vector<long> Samples(const std::vector<double>& seconds) {
  std::vector<long> samples;
  for (double t : seconds) samples.push_back(std::lround(t * kRate));
  return samples;
}

struct Analysed {
  test::TempDir dir;
  std::string wav, json;
  std::vector<long> starts, ends, marks;
};

// One analysis with every export; the marks counted from the peak file's
// count in the JSON, their positions from the point process.
void Analyse(Analysed& a) {
  a.wav = a.dir.File("in.wav");
  WriteWav(a.wav, TwoSyllables(kRate, kPeriod, 1600, 4800));
  RunResult run = RunTalvox({"analyze", a.wav, "--json", "-o", a.dir.File("in.peaks"), "--textgrid", a.dir.File("in.TextGrid"),
                             "--pitchtier", a.dir.File("in.PitchTier"), "--pointprocess", a.dir.File("in.PointProcess"),
                             "--labels", a.dir.File("in.txt")});
  ASSERT_EQ(run.status, 0) << run.err;
  a.json = run.out;
  a.starts = Integers(a.json, "\"start_sample\": ([0-9]+)");
  a.ends = Integers(a.json, "\"end_sample\": ([0-9]+)");
  ASSERT_GE(a.starts.size(), 3u) << a.json;
}

TEST(CliInterop, ExportsAgreeWithTheJson) {
  Analysed a;
  Analyse(a);
  if (HasFatalFailure()) return;
  std::string grid = Slurp(a.dir.File("in.TextGrid"));
  EXPECT_EQ(grid.rfind("File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\nxmin = 0 \nxmax = 0.9 \ntiers? <exists> \nsize = 2 \n", 0), 0u)
      << grid.substr(0, 200);
  std::vector<long> declared = Integers(grid, "intervals: size = ([0-9]+)");
  ASSERT_EQ(declared, std::vector<long>{long(a.starts.size())});
  EXPECT_EQ(Samples(Numbers(grid, "\n            xmin = ([0-9.e-]+) \n")), a.starts);
  EXPECT_EQ(Samples(Numbers(grid, "\n            xmax = ([0-9.e-]+) \n")), a.ends);
  std::vector<long> markCount = Integers(a.json, "\"marks\": ([0-9]+), \"elements\"");
  ASSERT_EQ(markCount.size(), 1u);
  EXPECT_EQ(Integers(grid, "points: size = ([0-9]+)"), markCount);

  std::string process = Slurp(a.dir.File("in.PointProcess"));
  EXPECT_EQ(Integers(process, "\nnt = ([0-9]+) \n"), markCount);
  std::vector<long> marks = Samples(Numbers(process, "t \\[[0-9]+\\] = ([0-9.e-]+) \n"));
  EXPECT_EQ(Samples(Numbers(grid, "number = ([0-9.e-]+) \n")), marks);
  for (size_t k = 1; k < marks.size(); k++) EXPECT_LT(marks[k - 1], marks[k]);
  std::smatch listed;
  ASSERT_TRUE(std::regex_search(a.json, listed, std::regex("\"mark_times\": \\[([^\\]]*)\\]")));
  std::string joined = listed[1];
  EXPECT_EQ(Samples(Numbers(joined, "([0-9.e-]+)")), marks);

  // The F0 track's voiced frames, every 5 ms; nearly all inside the voiced
  // stretches at the signal's 125 Hz (the tracker may call a frame at an
  // abrupt end voiced).
  std::string pitch = Slurp(a.dir.File("in.PitchTier"));
  std::vector<double> times = Numbers(pitch, "number = ([0-9.e-]+) \n"), hertz = Numbers(pitch, "value = ([0-9.e-]+) \n");
  ASSERT_EQ(times.size(), hertz.size());
  ASSERT_GT(times.size(), 100u);
  size_t onPitch = 0;
  for (size_t i = 0; i < times.size(); i++) {
    long at = std::lround(times[i] * kRate);
    EXPECT_EQ(at % 80, 0) << times[i];
    bool inside = (at >= 1600 && at < 6400) || (at >= 8000 && at < 12800);
    onPitch += inside && std::fabs(hertz[i] - double(kRate) / kPeriod) < 4;
  }
  EXPECT_GE(onPitch, times.size() * 9 / 10) << pitch.substr(0, 400);
  std::string labels = Slurp(a.dir.File("in.txt"));
  EXPECT_EQ(Samples(Numbers(labels, "(?:^|\n)([0-9.e-]+)\t")), a.starts);
  EXPECT_NE(labels.find("\tSIL\n"), std::string::npos);
}

TEST(CliInterop, EveryRoundTripGivesBackTheSameAnnotation) {
  Analysed a;
  Analyse(a);
  if (HasFatalFailure()) return;
  std::vector<uint8_t> peaks = test::ReadBytes(a.dir.File("in.peaks"));
  RunResult shortText = RunTalvox({"analyze", a.wav, "--textgrid", a.dir.File("short.TextGrid"), "--text-format", "short",
                                   "--pointprocess", a.dir.File("short.PointProcess")});
  ASSERT_EQ(shortText.status, 0) << shortText.err;
  RunResult csv = RunTalvox({"analyze", a.wav, "--csv"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  test::WriteBytes(a.dir.File("in.csv"), std::vector<uint8_t>(csv.out.begin(), csv.out.end()));
  struct Trip {
    std::string elements, marks;
  };
  std::vector<Trip> trips = {{"in.TextGrid", "in.PointProcess"}, {"in.TextGrid", "in.TextGrid"},
                             {"short.TextGrid", "short.PointProcess"}, {"in.txt", "in.PointProcess"},
                             {"in.csv", "short.TextGrid"}};
  for (const Trip& trip : trips) {
    SCOPED_TRACE(trip.elements + " + " + trip.marks);
    RunResult run = RunTalvox({"analyze", a.wav, "--json", "--elements", a.dir.File(trip.elements), "--marks",
                               a.dir.File(trip.marks), "-o", a.dir.File("back.peaks")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, a.json);
    EXPECT_EQ(test::ReadBytes(a.dir.File("back.peaks")), peaks);  // elements, marks and periods alike
  }
  // talvox's own segmentation handed back leaves the marks as they were.
  RunResult elementsOnly = RunTalvox({"analyze", a.wav, "--json", "--elements", a.dir.File("in.TextGrid")});
  EXPECT_EQ(elementsOnly.out, a.json) << elementsOnly.err;
}

std::string Utf16BigEndian(const std::string& ascii) {
  std::string out("\xFE\xFF", 2);
  for (char c : ascii) out += std::string{'\0', c};
  return out;
}

TEST(CliInterop, AUsersTextGridGivesTheElements) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(kRate, kPeriod, 1600, 4800));  // 0.9 s
  // Short format, UTF-16 big endian, CRLF; a point tier first, the words
  // tier second, an empty interval and a tier that ends early.
  std::string grid =
      "File type = \"ooTextFile\"\r\nObject class = \"TextGrid\"\r\n\r\n0\r\n0.8\r\n<exists>\r\n3\r\n"
      "\"TextTier\"\r\n\"tones\"\r\n0\r\n0.8\r\n1\r\n0.3\r\n\"H\"\r\n"
      "\"IntervalTier\"\r\n\"phones\"\r\n0\r\n0.8\r\n1\r\n0\r\n0.8\r\n\"x\"\r\n"
      "\"IntervalTier\"\r\n\"words\"\r\n0\r\n0.7\r\n3\r\n0\r\n0.1\r\n\"\"\r\n0.1\r\n0.4\r\n\"ma\"\r\n0.4\r\n0.7\r\n\"\"\"q\"\"\"\r\n";
  std::string bytes = Utf16BigEndian(grid);
  test::WriteBytes(dir.File("words.TextGrid"), std::vector<uint8_t>(bytes.begin(), bytes.end()));
  RunResult run = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--elements", dir.File("words.TextGrid"), "--tier",
                             "words", "--empty-label", "SIL"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Integers(run.out, "\"start_sample\": ([0-9]+)"), (std::vector<long>{0, 1600, 6400, 11200}));
  EXPECT_EQ(Integers(run.out, "\"end_sample\": ([0-9]+)"), (std::vector<long>{1600, 6400, 11200, 14400}));
  EXPECT_NE(run.out.find("\"desc\": \"SIL\", \"start\": 0.0,"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"desc\": \"ma\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"desc\": \"\\\"q\\\"\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"desc\": \"SIL\", \"start\": 0.7,"), std::string::npos) << run.out;

  RunResult first = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--elements", dir.File("words.TextGrid")});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.out.find("\"desc\": \"x\""), std::string::npos) << "the first interval tier is the default";
  RunResult tones = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--marks", dir.File("words.TextGrid")});
  ASSERT_EQ(tones.status, 0) << tones.err;
  EXPECT_NE(tones.out.find("\"marks\": 1, \"elements\""), std::string::npos) << tones.out;
}

TEST(CliInterop, MarksFromAFileAreSnappedAsAsked) {
  test::TempDir dir;
  Wav wav = TwoSyllables(kRate, kPeriod, 1600, 4800);
  WriteWav(dir.File("in.wav"), wav);
  // Three marks 5 samples before the largest sample of three periods.
  std::vector<long> peaks;
  for (long start : {3200, 4000, 4800}) {
    auto top = std::max_element(wav.samples.begin() + start, wav.samples.begin() + start + kPeriod);
    peaks.push_back(top - wav.samples.begin());
  }
  std::string process = "File type = \"ooTextFile\"\nObject class = \"PointProcess\"\n\n0\n0.9\n3\n";
  for (long peak : peaks) process += std::to_string((peak - 5) / double(kRate)) + "\n";
  test::WriteBytes(dir.File("m.PointProcess"), std::vector<uint8_t>(process.begin(), process.end()));
  auto marksOf = [&](const std::string& snap) {
    RunResult run = RunTalvox({"analyze", dir.File("in.wav"), "--marks", dir.File("m.PointProcess"), "--snap", snap,
                               "--pointprocess", dir.File("out.PointProcess")});
    EXPECT_EQ(run.status, 0) << run.err;
    return Samples(Numbers(Slurp(dir.File("out.PointProcess")), "t \\[[0-9]+\\] = ([0-9.e-]+) \n"));
  };
  EXPECT_EQ(marksOf("none"), (std::vector<long>{peaks[0] - 5, peaks[1] - 5, peaks[2] - 5}));
  EXPECT_EQ(marksOf("peak"), peaks);
  for (long mark : marksOf("zerocross")) {
    bool crossing = (wav.samples[size_t(mark)] >= 0) != (wav.samples[size_t(mark) - 1] >= 0) ||
                    (wav.samples[size_t(mark)] >= 0) != (wav.samples[size_t(mark) + 1] >= 0);
    EXPECT_TRUE(crossing) << mark;
  }
  RunResult bad = RunTalvox({"analyze", dir.File("in.wav"), "--marks", dir.File("m.PointProcess"), "--snap", "maybe"});
  EXPECT_EQ(bad.status, 2);
}

TEST(CliInterop, EditKeepsTheExportsInStep) {
  Analysed a;
  Analyse(a);
  if (HasFatalFailure()) return;
  RunResult edit = RunTalvox({"edit", a.wav, "-o", a.dir.File("out.wav"), "--elements", a.dir.File("in.TextGrid"), "--marks",
                              a.dir.File("in.PointProcess"), "--out-peaks", a.dir.File("out.peaks"), "--out-textgrid",
                              a.dir.File("out.TextGrid"), "--out-labels", a.dir.File("out.txt"), "cut", "0.3:0.4", "paste", "0.6"});
  ASSERT_EQ(edit.status, 0) << edit.err;
  RunResult fromPeaks = RunTalvox({"analyze", a.dir.File("out.wav"), "--json", "--peaks", a.dir.File("out.peaks")});
  RunResult fromGrid = RunTalvox({"analyze", a.dir.File("out.wav"), "--json", "--elements", a.dir.File("out.TextGrid"),
                                  "--marks", a.dir.File("out.TextGrid")});
  ASSERT_EQ(fromPeaks.status, 0) << fromPeaks.err;
  ASSERT_EQ(fromGrid.status, 0) << fromGrid.err;
  EXPECT_EQ(fromGrid.out, fromPeaks.out);
  // The stretch moved: samples 4800..6400 went to the paste position.
  std::vector<long> before = Samples(Numbers(Slurp(a.dir.File("in.PointProcess")), "t \\[[0-9]+\\] = ([0-9.e-]+) \n"));
  std::vector<long> after = Samples(Numbers(Slurp(a.dir.File("out.TextGrid")), "number = ([0-9.e-]+) \n"));
  EXPECT_EQ(before.size(), after.size());
  for (long mark : before) {
    if (mark < 4800) {
      EXPECT_NE(std::find(after.begin(), after.end(), mark), after.end()) << mark;
    }
  }
  RunResult fromLabels = RunTalvox({"analyze", a.dir.File("out.wav"), "--json", "--peaks", a.dir.File("out.peaks"),
                                    "--elements", a.dir.File("out.txt")});
  EXPECT_EQ(fromLabels.out, fromPeaks.out) << fromLabels.err;
}

TEST(CliInterop, EditMovesEveryTierOfTheUsersTextGrid) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(kRate, kPeriod, 1600, 4800));  // 0.9 s
  std::string grid = "File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n0\n0.9\n<exists>\n3\n"
                     "\"IntervalTier\"\n\"phones\"\n0\n0.9\n3\n0\n0.15\n\"p\"\n0.15\n0.5\n\"a\"\n0.5\n0.9\n\"t\"\n"
                     "\"IntervalTier\"\n\"words\"\n0\n0.9\n2\n0\n0.45\n\"pa\"\n0.45\n0.9\n\"ta\"\n"
                     "\"TextTier\"\n\"tones\"\n0\n0.9\n2\n0.05\n\"H\"\n0.6\n\"L\"\n";
  test::WriteBytes(dir.File("in.TextGrid"), std::vector<uint8_t>(grid.begin(), grid.end()));
  RunResult edit = RunTalvox({"edit", dir.File("in.wav"), "-o", dir.File("out.wav"), "--elements", dir.File("in.TextGrid"),
                              "--tier", "words", "--out-peaks", dir.File("out.peaks"), "--out-textgrid",
                              dir.File("out.TextGrid"), "--text-format", "short", "cut", "0.1:0.2"});
  ASSERT_EQ(edit.status, 0) << edit.err;
  std::string out = Slurp(dir.File("out.TextGrid"));
  // Every tier lost 0.1 s from 0.1 s on; "phones" and "tones" by the tool's
  // own bookkeeping, "words" as the library's elements, "marks" added.
  std::string phones = "\"IntervalTier\"\n\"phones\"\n0\n0.8\n3\n0\n0.1\n\"p\"\n0.1\n0.4\n\"a\"\n0.4\n0.8\n\"t\"\n";
  std::string words = "\"IntervalTier\"\n\"words\"\n0\n0.8\n2\n0\n0.35\n\"pa\"\n0.35\n0.8\n\"ta\"\n";
  std::string tones = "\"TextTier\"\n\"tones\"\n0\n0.8\n2\n0.05\n\"H\"\n0.5\n\"L\"\n\"TextTier\"\n\"marks\"\n";
  EXPECT_EQ(out.find("\"TextGrid\"\n\n0\n0.8\n<exists>\n4\n" + phones + words + tones), 40u) << out.substr(0, 600);
  RunResult fromPeaks = RunTalvox({"analyze", dir.File("out.wav"), "--json", "--peaks", dir.File("out.peaks")});
  RunResult fromGrid = RunTalvox({"analyze", dir.File("out.wav"), "--json", "--elements", dir.File("out.TextGrid"), "--tier",
                                  "words", "--marks", dir.File("out.TextGrid"), "--mark-tier", "marks"});
  ASSERT_EQ(fromGrid.status, 0) << fromGrid.err;
  EXPECT_EQ(fromGrid.out, fromPeaks.out);
}

TEST(CliInterop, DamagedFilesFailWithOneLineAndLeaveNothing) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(kRate, kPeriod, 1600, 4800));
  struct Case {
    std::string name, text, option, message;
  };
  const std::string header = "File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n0\n0.8\n<exists>\n1\n";
  std::string many = header + "\"IntervalTier\"\n\"w\"\n0\n0.8\n10001\n";
  for (int i = 0; i < 10001; i++)
    many += std::to_string(i * 0.00005) + "\n" + std::to_string((i + 1) * 0.00005) + "\n\"\"\n";
  std::vector<Case> cases = {
      {"truncated.TextGrid", header + "\"IntervalTier\"\n\"w\"\n0\n0.8\n2\n0\n0.4\n\"a\"\n0.4\n", "--elements",
       "line 17: the file ends where the end time of interval 2 of tier 'w' (a number) was expected (truncated?)"},
      {"unterminated.TextGrid", header + "\"IntervalTier\"\n\"w\"\n0\n0.8\n1\n0\n0.8\n\"a\n", "--elements",
       "line 15: the text of the text of interval 1 of tier 'w' that starts here has no closing quote"},
      {"class.TextGrid", header + "\"WordTier\"\n\"w\"\n0\n0.8\n0\n", "--elements",
       "line 8: expected the tier class \"IntervalTier\" or \"TextTier\", found \"WordTier\""},
      {"past.TextGrid", header + "\"IntervalTier\"\n\"w\"\n0\n1\n1\n0\n1\n\"a\"\n", "--elements",
       "line 13: the stretch ends at 1 s, past the end of the signal (0.9 s)"},
      {"many.TextGrid", many, "--elements", "10001 intervals; the element table holds at most 10000"},
      {"labels.txt", "0\t0.1\ta\n0.1\toops\tb\n", "--elements", "line 2: expected the end time in seconds, found 'oops'"},
      {"pitch.PointProcess", "File type = \"ooTextFile\"\nObject class = \"PitchTier\"\n\n0\n0.9\n0\n", "--marks",
       "line 2: expected a PointProcess file, found the object class \"PitchTier\""},
      {"binary.TextGrid", "ooBinaryFile\x08TextGrid", "--elements", "line 1: a binary TextGrid file; save it as a text file"},
      {"wrong.PointProcess", "File type = \"ooTextFile\"\nObject class = \"PointProcess\"\n\n0\n0.8\n3\n0.1\n0.2\n", "--marks",
       "line 9: the file ends where the time of point 3 (a number) was expected (truncated?)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(dir.File(c.name), std::vector<uint8_t>(c.text.begin(), c.text.end()));
    RunResult run = RunTalvox({"analyze", dir.File("in.wav"), c.option, dir.File(c.name), "-o", dir.File("out.peaks"),
                               "--textgrid", dir.File("out.TextGrid")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "talvox: " + dir.File(c.name) + ": " + c.message + "\n");
    EXPECT_FALSE(test::FileExists(dir.File("out.peaks")));
    EXPECT_FALSE(test::FileExists(dir.File("out.TextGrid")));
  }
  std::vector<std::string> left = ListFolder(dir.path());
  EXPECT_EQ(left.size(), cases.size() + 1) << "no temporary file is left behind";
}

TEST(CliInterop, ResynthTakesAPitchTierContour) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(kRate, kPeriod, 1600, 4800));
  std::string tier = "File type = \"ooTextFile\"\nObject class = \"PitchTier\"\n\nxmin = 0 \nxmax = 0.8 \npoints: size = 2 \n"
                     "points [1]:\n    number = 0.1 \n    value = 150 \npoints [2]:\n    number = 0.7 \n    value = 200 \n";
  test::WriteBytes(dir.File("c.PitchTier"), std::vector<uint8_t>(tier.begin(), tier.end()));
  std::string lines = "0.1 150\n0.7 200\n";
  test::WriteBytes(dir.File("c.txt"), std::vector<uint8_t>(lines.begin(), lines.end()));
  ASSERT_EQ(RunTalvox({"resynth", dir.File("in.wav"), "-o", dir.File("a.wav"), "--contour", dir.File("c.PitchTier")}).status, 0);
  ASSERT_EQ(RunTalvox({"resynth", dir.File("in.wav"), "-o", dir.File("b.wav"), "--contour", dir.File("c.txt")}).status, 0);
  EXPECT_EQ(test::ReadBytes(dir.File("a.wav")), test::ReadBytes(dir.File("b.wav")));

  // The exported F0 brought back keeps the voice at its pitch.
  ASSERT_EQ(RunTalvox({"analyze", dir.File("in.wav"), "--pitchtier", dir.File("own.PitchTier")}).status, 0);
  ASSERT_EQ(RunTalvox({"resynth", dir.File("in.wav"), "-o", dir.File("own.wav"), "--contour", dir.File("own.PitchTier")}).status, 0);
  Wav own = ReadWav(dir.File("own.wav"));
  ASSERT_GT(own.samples.size(), 12000u);
  EXPECT_NEAR(AutocorrelationF0(own.samples, kRate, 2400, 5600), double(kRate) / kPeriod, 2.5);
  EXPECT_NEAR(AutocorrelationF0(own.samples, kRate, 8800, 12000), double(kRate) / kPeriod, 2.5);

  std::string low = "File type = \"ooTextFile\"\nObject class = \"PitchTier\"\n\n0\n0.8\n1\n0.1\n5\n";
  test::WriteBytes(dir.File("low.PitchTier"), std::vector<uint8_t>(low.begin(), low.end()));
  RunResult refused = RunTalvox({"resynth", dir.File("in.wav"), "-o", dir.File("x.wav"), "--contour", dir.File("low.PitchTier")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "talvox: " + dir.File("low.PitchTier") + ": line 8: F0 must lie between 20 and 2000 Hz\n");
}

}  // namespace
}  // namespace talvox::cli_test
