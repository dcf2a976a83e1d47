// plot and demo: the picture holds every layer; the demo writes what it lists.
#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

// The picture is drawn by cairo, so its text is glyph outlines: the layers
// are checked through the format, the embedded spectrogram image, the size
// that every channel adds and the notes on what was left out.
TEST(CliPlot, SvgHoldsSpectrogramWaveformElementsMarksAndF0) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(16000, 128, 1600, 4800));
  RunResult run = RunTalvox({"plot", dir.File("in.wav"), "-o", dir.File("in.svg")});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<uint8_t> bytes = test::ReadBytes(dir.File("in.svg"));
  std::string svg(bytes.begin(), bytes.end());
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("data:image/png;base64,iVBORw0KGgo"), std::string::npos);  // the spectrogram
  EXPECT_NE(svg.find("rgb(83.921569%,15.294118%,15.686275%)"), std::string::npos);  // marks and F0, #d62728
  EXPECT_NE(svg.rfind("</svg>"), std::string::npos);

  RunResult ranged = RunTalvox({"plot", dir.File("in.wav"), "-o", dir.File("r.svg"), "--range", "0.1:0.2"});
  ASSERT_EQ(ranged.status, 0) << ranged.err;
  if (std::system("command -v rsvg-convert >/dev/null 2>&1") == 0) {
    std::string command = "rsvg-convert -o '" + dir.File("in.png") + "' '" + dir.File("in.svg") + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(test::FileExists(dir.File("in.png")));
  }
}

uint32_t BigEndian32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

TEST(CliPlot, TheExtensionChoosesPngPdfOrSvgAndEveryChannelIsDrawn) {
  test::TempDir dir;
  Wav mono = TwoSyllables(16000, 128, 1600, 4800);
  Wav stereo = mono;
  stereo.channels = 2;
  stereo.samples.clear();
  for (int16_t s : mono.samples) stereo.samples.insert(stereo.samples.end(), {s, int16_t(-s / 2)});
  WriteWav(dir.File("mono.wav"), mono);
  WriteWav(dir.File("stereo.wav"), stereo);
  ASSERT_EQ(RunTalvox({"plot", dir.File("mono.wav"), "-o", dir.File("mono.png")}).status, 0);
  ASSERT_EQ(RunTalvox({"plot", dir.File("stereo.wav"), "-o", dir.File("stereo.PNG"), "--width", "900"}).status, 0);
  std::vector<uint8_t> png = test::ReadBytes(dir.File("mono.png"));
  std::vector<uint8_t> png2 = test::ReadBytes(dir.File("stereo.PNG"));
  ASSERT_GT(png.size(), 24u);
  ASSERT_GT(png2.size(), 24u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
  EXPECT_EQ(BigEndian32(png, 16), 1600u);   // IHDR width
  EXPECT_EQ(BigEndian32(png2, 16), 900u);
  EXPECT_GT(BigEndian32(png2, 20), BigEndian32(png, 20));  // a second waveform lane

  ASSERT_EQ(RunTalvox({"plot", dir.File("mono.wav"), "-o", dir.File("mono.pdf"), "--spectrum-ceiling", "8000"}).status, 0);
  std::vector<uint8_t> pdf = test::ReadBytes(dir.File("mono.pdf"));
  ASSERT_GT(pdf.size(), 5u);
  EXPECT_EQ(std::string(pdf.begin(), pdf.begin() + 5), "%PDF-");

  RunResult wrong = RunTalvox({"plot", dir.File("mono.wav"), "-o", dir.File("mono.jpg")});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find(".svg, .png or .pdf"), std::string::npos) << wrong.err;
  EXPECT_FALSE(test::FileExists(dir.File("mono.jpg")));
  EXPECT_EQ(RunTalvox({"plot", dir.File("mono.wav"), "-o", dir.File("x.png"), "--dynamic-range", "0"}).status, 2);
}

// On a long file the picture thins the boundaries and leaves the marks out,
// and says so.
TEST(CliPlot, LongFilesGetThinnedBoundariesAndANote) {
  test::TempDir dir;
  Wav syllables = TwoSyllables(16000, 128, 1600, 4800);
  Wav longer = syllables;
  for (int copy = 0; copy < 150; copy++)
    longer.samples.insert(longer.samples.end(), syllables.samples.begin(), syllables.samples.end());
  WriteWav(dir.File("long.wav"), longer);
  RunResult run = RunTalvox({"plot", dir.File("long.wav"), "-o", dir.File("long.png")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("boundaries drawn"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("pitch marks not drawn"), std::string::npos) << run.err;
  RunResult shortRun = RunTalvox({"plot", dir.File("long.wav"), "-o", dir.File("short.png"), "--range", "0:0.5"});
  ASSERT_EQ(shortRun.status, 0) << shortRun.err;
  EXPECT_EQ(shortRun.err.find("boundaries drawn"), std::string::npos) << shortRun.err;
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
