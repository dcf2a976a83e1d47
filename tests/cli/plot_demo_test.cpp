// plot and demo: the picture holds every layer; the demo writes what it lists.
#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

TEST(CliPlot, SvgHoldsSpectrogramWaveformElementsMarksAndF0) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(16000, 128, 1600, 4800));
  RunResult run = RunTalvox({"plot", dir.File("in.wav"), "-o", dir.File("in.svg")});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<uint8_t> bytes = test::ReadBytes(dir.File("in.svg"));
  std::string svg(bytes.begin(), bytes.end());
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("data:image/png;base64,iVBORw0KGgo"), std::string::npos);  // a PNG signature
  EXPECT_NE(svg.find(">SIL</text>"), std::string::npos);
  EXPECT_NE(svg.find("F0 (Hz)"), std::string::npos);
  EXPECT_NE(svg.find("time (s)"), std::string::npos);
  EXPECT_NE(svg.find("#d62728"), std::string::npos);  // marks and contour
  EXPECT_NE(svg.rfind("</svg>"), std::string::npos);

  RunResult ranged = RunTalvox({"plot", dir.File("in.wav"), "-o", dir.File("r.svg"), "--range", "0.1:0.2"});
  ASSERT_EQ(ranged.status, 0) << ranged.err;
  if (std::system("command -v rsvg-convert >/dev/null 2>&1") == 0) {
    std::string command = "rsvg-convert -o '" + dir.File("in.png") + "' '" + dir.File("in.svg") + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(test::FileExists(dir.File("in.png")));
  }
}

TEST(CliDemo, WritesEverythingItLists) {
  test::TempDir dir;
  RunResult run = RunTalvox({"demo", "--out", dir.File("demo")});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* name : {"austen.peaks", "austen.svg", "austen-fifth-up.wav", "austen-falling.wav",
                           "falling.contour", "known-pitch.wav", "known-pitch-higher.wav",
                           "known-pitch-female.wav", "known-pitch-child.wav"}) {
    EXPECT_TRUE(test::FileExists(dir.File(std::string("demo/") + name))) << name;
    EXPECT_NE(run.out.find(name), std::string::npos) << name;
  }
  EXPECT_NE(run.out.find("exactly one mark"), std::string::npos);
  // The table names the default route and shows it on every voice, with an
  // identification rate (the fourth column after the route) of at least 99%.
  int rows = 0;
  for (size_t at = run.out.find("voice (default)"); at != std::string::npos;
       at = run.out.find("voice (default)", at + 1)) {
    double cycles = 0, idr = 0;
    ASSERT_EQ(std::sscanf(run.out.c_str() + at, "voice (default) %lf %lf", &cycles, &idr), 2);
    EXPECT_GE(idr, 99.0);
    ++rows;
  }
  EXPECT_EQ(rows, 4);
  for (const char* route : {"internal", "external"}) EXPECT_NE(run.out.find(route), std::string::npos);
}

}  // namespace
}  // namespace talvox::cli_test
