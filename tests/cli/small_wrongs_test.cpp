// Small things a user meets: JSON for any file name, aligned tables with
// UTF-8 descriptions, ranges past the end, "end" in ranges, plot names and
// the one-line messages of play and plot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "talvox.h"

namespace talvox::cli_test {
namespace {

std::string Speech(const test::TempDir& dir, const std::string& name = "in.wav") {
  std::string path = dir.File(name);
  WriteWav(path, TwoSyllables(16000, 100, 3000, 6000));
  return path;
}

// Columns a line takes: CJK ideographs two, other characters one.
int Columns(const std::string& line) {
  int columns = 0;
  for (size_t i = 0; i < line.size();) {
    unsigned char lead = static_cast<unsigned char>(line[i]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    columns += length == 3 ? 2 : 1;  // the test's texts: 3-byte characters are CJK
    i += length;
  }
  return columns;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t begin = 0; begin < text.size();) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

TEST(CliSmallWrongs, JsonIsValidForAFileNameThatIsNotUtf8) {
  test::TempDir dir;
  std::string in = Speech(dir, "caf\xe9\xff.wav");
  RunResult run = RunTalvox({"analyze", in, "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("caf\xef\xbf\xbd\xef\xbf\xbd.wav"), std::string::npos) << run.out;  // U+FFFD twice
  test::WriteBytes(dir.File("out.json"), std::vector<uint8_t>(run.out.begin(), run.out.end()));
  if (std::system("/usr/bin/python3 -c 1 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3 to parse JSON";
  std::string check = "/usr/bin/python3 -c 'import json,sys; json.load(open(sys.argv[1], encoding=\"utf-8\"))' " +
                      Quote(dir.File("out.json"));
  EXPECT_EQ(std::system(check.c_str()), 0) << run.out;
}

TEST(CliSmallWrongs, TableColumnsStayAlignedWithUtf8Descriptions) {
  test::TempDir dir;
  std::string in = Speech(dir), peaks = dir.File("in.peaks");
  ASSERT_EQ(RunTalvox({"analyze", in, "-o", peaks}).status, 0);
  InitTalvox();
  ASSERT_EQ(ReadPeaks(peaks.c_str()), 1);
  ASSERT_GE(GetElementNum(), 3);
  SetElementDesc(0, "\xc3\xa9t\xc3\xa9");                            // été
  SetElementDesc(1, "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e");          // 日本語
  SetElementDesc(2, "\xc5\x9d\xc4\x9d\xc4\x89\xe6\x97\xa5\xe6\x97\xa5\xe6\x97\xa5\xe6\x97\xa5\xe6\x97\xa5"
                    "\xe6\x97\xa5\xe6\x97\xa5\xe6\x97\xa5");             // past 16 columns
  ASSERT_EQ(SavePeaks(peaks.c_str()), 1);
  FreeTalvox();
  RunResult run = RunTalvox({"analyze", in, "--peaks", peaks});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_GE(lines.size(), 5u);
  for (size_t i = 2; i < lines.size(); i++) EXPECT_EQ(Columns(lines[i]), Columns(lines[1])) << lines[i];
  EXPECT_NE(lines[3].find("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"), std::string::npos);
}

TEST(CliSmallWrongs, RangesPastTheEndAreRefusedAndEndIsAWord) {
  test::TempDir dir;
  std::string in = Speech(dir);  // 21000 samples, 1.3125 s
  RunResult past = RunTalvox({"resynth", in, "-o", dir.File("x.wav"), "--range", "0.5:99", "--semitones", "1"});
  EXPECT_EQ(past.status, 2);
  EXPECT_NE(past.err.find("ends past the end of the signal (1.312 s, 21000 samples)"), std::string::npos) << past.err;
  EXPECT_FALSE(test::FileExists(dir.File("x.wav")));
  RunResult whole = RunTalvox({"resynth", in, "-o", dir.File("x.wav"), "--range", "0.5:1.3125", "--semitones", "1"});
  EXPECT_EQ(whole.status, 0) << whole.err;
  RunResult copy = RunTalvox({"edit", in, "-o", dir.File("e.wav"), "copy", "0.8:end", "paste", "end"});
  ASSERT_EQ(copy.status, 0) << copy.err;
  EXPECT_EQ(ReadWav(dir.File("e.wav")).Frames(), 21000u + (21000u - 12800u));
}

TEST(CliSmallWrongs, PlotNamesAndOneLineMessages) {
  test::TempDir dir;
  std::string in = Speech(dir);
  // PNG is drawn as PNG (not SVG under a .png name); a format it cannot
  // draw is refused before anything is written.
  RunResult png = RunTalvox({"plot", in, "-o", dir.File("x.png")});
  ASSERT_EQ(png.status, 0) << png.err;
  EXPECT_EQ(Lines(png.err).size(), 1u) << png.err;
  std::vector<uint8_t> pngBytes = test::ReadBytes(dir.File("x.png"));
  const uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  ASSERT_GE(pngBytes.size(), sizeof kPngSignature);
  EXPECT_TRUE(std::equal(kPngSignature, kPngSignature + sizeof kPngSignature, pngBytes.begin()));
  RunResult gif = RunTalvox({"plot", in, "-o", dir.File("x.gif")});
  EXPECT_EQ(gif.status, 2);
  EXPECT_NE(gif.err.find(".svg"), std::string::npos) << gif.err;
  EXPECT_FALSE(test::FileExists(dir.File("x.gif")));
  RunResult svg = RunTalvox({"plot", in, "-o", dir.File("x.SVG")});
  ASSERT_EQ(svg.status, 0) << svg.err;
  EXPECT_EQ(Lines(svg.err).size(), 1u) << svg.err;
  EXPECT_NE(svg.err.find("x.SVG: plot of 0.000 to 1.312 s"), std::string::npos) << svg.err;
  for (const std::vector<std::string>& args : {std::vector<std::string>{"play"},
                                               std::vector<std::string>{"play", in, "extra"},
                                               std::vector<std::string>{"record", dir.File("r.wav")}}) {
    RunResult run = RunTalvox(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
  }
}

// The editor reads other tools' elements through the same reader as
// analyze: a damaged or missing file is one line before any analysis and
// before the server starts.
TEST(CliSmallWrongs, ViewRefusesUnreadableElementFilesAtOnce) {
  test::TempDir dir;
  std::string in = Speech(dir);
  test::WriteBytes(dir.File("bad.TextGrid"), {'j', 'u', 'n', 'k', '\n'});
  for (const std::string& name : {std::string("bad.TextGrid"), std::string("missing.TextGrid")}) {
    RunResult run = RunTalvox({"view", in, "--elements", dir.File(name), "--no-open"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("http://"), std::string::npos) << run.out;
  }
}

}  // namespace
}  // namespace talvox::cli_test
