// PitchTier, point-process text, label tracks and CSV tables: hand-written
// files in each variant, damaged ones, and the writers read back.
#include <gtest/gtest.h>

#include "csv.h"
#include "format_error.h"
#include "labels.h"
#include "pitchtier.h"
#include "point_process_text.h"
#include "text_decoding.h"

namespace tvx::interop {
namespace {

template <typename Parse>
void ExpectRefused(Parse parse, const std::string& text, int line, const std::string& expected) {
  try {
    parse(text);
    ADD_FAILURE() << "accepted: " << text;
  } catch (const FormatError& error) {
    EXPECT_EQ(error.line(), line) << error.what();
    EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
  }
}

TEST(PitchTierRead, LongAndShortText) {
  const std::string longText =
      "File type = \"ooTextFile\"\r\nObject class = \"PitchTier\"\r\n\r\n"
      "xmin = 0 \r\nxmax = 1.5 \r\npoints: size = 2 \r\n"
      "points [1]:\r\n    number = 0.25 \r\n    value = 110 \r\n"
      "points [2]:\r\n    number = 1 \r\n    value = 220.5 \r\n";
  const std::string shortText = "File type = \"ooTextFile short\"\n\"PitchTier\"\n\n0\n1.5\n2\n0.25\n110\n1\n220.5\n";
  for (const std::string& text : {longText, shortText}) {
    PitchTier tier = ParsePitchTier(DecodeText(text));
    EXPECT_EQ(tier.xmax, 1.5);
    ASSERT_EQ(tier.points.size(), 2u);
    EXPECT_EQ(tier.points[0].time, 0.25);
    EXPECT_EQ(tier.points[0].hertz, 110);
    EXPECT_EQ(tier.points[1].hertz, 220.5);
  }
  const std::string header = "File type = \"ooTextFile\"\nObject class = \"PitchTier\"\n\n";
  auto parse = [](const std::string& text) { return ParsePitchTier(text); };
  ExpectRefused(parse, header + "0\n1.5\n2\n0.25\n110\n", 9, "the file ends where the time of point 2");
  ExpectRefused(parse, header + "0\n1.5\n1\n0.25\n110\n1\n220\n", 9, "unexpected data after the last item");
  ExpectRefused(parse, header + "0\n1.5\n2\n0.5\n110\n0.25\n220\n", 9, "does not come after the point before");
  ExpectRefused(parse, header + "0\n1.5\n1\n0.5\n-3\n", 8, "the frequency must be above 0 Hz");
  ExpectRefused(parse, header + "0\n1.5\n1\n2\n100\n", 7, "lies outside the tier");
}

TEST(PitchTierWrite, ReadsBackInBothFormats) {
  PitchTier tier;
  tier.xmax = 2.5;
  tier.points = {{0.1, 123.456789012345678, 0, 0}, {1.0 / 3, 98.6, 0, 0}};
  for (TextFormat format : {TextFormat::kLong, TextFormat::kShort}) {
    PitchTier back = ParsePitchTier(WritePitchTier(tier, format));
    ASSERT_EQ(back.points.size(), 2u);
    EXPECT_EQ(back.points[0].hertz, tier.points[0].hertz);
    EXPECT_EQ(back.points[1].time, tier.points[1].time);
  }
  EXPECT_NE(WritePitchTier(tier, TextFormat::kLong).find("points [2]:\n    number = 0.3333333333333333 \n    value = 98.6 \n"),
            std::string::npos);
}

TEST(PointProcessRead, LongShortAndUtf16) {
  const std::string longText =
      "File type = \"ooTextFile\"\nObject class = \"PointProcess\"\n\nxmin = 0 \nxmax = 0.5 \nnt = 3 \n"
      "t [1] = 0.01 \nt [2] = 0.02 \nt [3] = 0.0305 \n";
  std::string utf16 = "\xFF\xFE";
  for (char c : longText) utf16 += std::string{c, '\0'};
  const std::string shortText = "File type = \"ooTextFile\"\nObject class = \"PointProcess\"\n\n0\n0.5\n3\n0.01\n0.02\n0.0305\n";
  for (const std::string& text : {longText, utf16, shortText}) {
    PointProcess points = ParsePointProcess(DecodeText(text));
    EXPECT_EQ(points.xmax, 0.5);
    EXPECT_EQ(points.times, (std::vector<double>{0.01, 0.02, 0.0305}));
  }
  auto parse = [](const std::string& text) { return ParsePointProcess(text); };
  const std::string header = "File type = \"ooTextFile\"\nObject class = \"PointProcess\"\n\n";
  ExpectRefused(parse, header + "0\n0.5\n3\n0.01\n0.02\n", 9, "the file ends where the time of point 3");
  ExpectRefused(parse, header + "0\n0.5\n2\n0.02\n0.01\n", 8, "does not come after the point before");
  ExpectRefused(parse, header + "0\n0.5\n1\n0.7\n", 7, "lies outside xmin..xmax");
  ExpectRefused(parse, header + "0\n0.5\n\"3\"\n", 6, "expected the point count (a number), found a text");
  ExpectRefused(parse, "File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n", 2, "expected a PointProcess file");
}

TEST(PointProcessWrite, ExactTimesReadBack) {
  PointProcess points;
  points.xmax = 3;
  for (int i = 1; i <= 50; i++) points.times.push_back(i * 997.0 / 44100);
  for (TextFormat format : {TextFormat::kLong, TextFormat::kShort})
    EXPECT_EQ(ParsePointProcess(WritePointProcess(points, format)).times, points.times);
  std::string longText = WritePointProcess(points, TextFormat::kLong);
  EXPECT_NE(longText.find("xmin = 0 \nxmax = 3 \nnt = 50 \nt [1] = "), std::string::npos);
}

TEST(LabelsRead, RegionsPointsSpectralLinesAndCrlf) {
  std::vector<Label> labels = ParseLabels(
      "0.000000\t0.500000\tfirst word\r\n"
      "\\\t100.0\t4000.0\r\n"  // a frequency range line
      "0.5\t0.5\tclick\r\n"
      "\r\n"
      "0.75\t1.25\r\n"
      "1.25\t2\twith\ttab\n");
  ASSERT_EQ(labels.size(), 4u);
  EXPECT_EQ(labels[0].text, "first word");
  EXPECT_EQ(labels[0].end, 0.5);
  EXPECT_EQ(labels[1].start, labels[1].end);
  EXPECT_EQ(labels[2].text, "");
  EXPECT_EQ(labels[2].line, 5);
  EXPECT_EQ(labels[3].text, "with\ttab");
  auto parse = [](const std::string& text) { return ParseLabels(text); };
  ExpectRefused(parse, "0\t1\ta\n1 2 b\n", 2, "no tab");
  ExpectRefused(parse, "0\tx\ta\n", 1, "expected the end time in seconds, found 'x'");
  ExpectRefused(parse, "0\t1\ta\n2\t1.5\tb\n", 2, "ends before it starts");
  ExpectRefused(parse, "1\t2\ta\n0.5\t0.7\tb\n", 2, "starts before the label above it");
  ExpectRefused(parse, "-1\t2\ta\n", 1, "the start time");
}

TEST(LabelsWrite, ReadBackExactly) {
  std::vector<Label> labels = {{0, 0.1, "SIL", 0}, {0.1, 1.0 / 7, "ma\t3", 0}, {1.0 / 7, 0.9, "", 0}};
  std::vector<Label> back = ParseLabels(WriteLabels(labels));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[1].end, 1.0 / 7);
  EXPECT_EQ(back[1].text, "ma 3");  // the format has no way to keep a tab
  EXPECT_EQ(back[2].text, "");
}

TEST(CsvRead, QuotedFieldsCrlfAndDamage) {
  CsvTable table = ParseCsv("desc,start_sample,end_sample\r\n\"a, \"\"b\"\"\",0,10\r\n\"two\nlines\",10,20\r\n\r\nplain,20,30");
  ASSERT_EQ(table.rows.size(), 3u);
  EXPECT_EQ(table.rows[0][0], "a, \"b\"");
  EXPECT_EQ(table.rows[1][0], "two\nlines");
  EXPECT_EQ(table.lines, (std::vector<int>{2, 3, 6}));
  EXPECT_EQ(table.Column("end_sample"), 2);
  EXPECT_EQ(table.Column("f0"), -1);
  auto parse = [](const std::string& text) { return ParseCsv(text); };
  ExpectRefused(parse, "a,b\n1,2\n3\n", 3, "expected 2 fields as in the header, found 1");
  ExpectRefused(parse, "a,b\n1,\"2\n", 2, "has no closing quote");
  ExpectRefused(parse, "a,b\n1,x\"y\n", 2, "a quote inside an unquoted field");
  ExpectRefused(parse, "", 0, "an empty table");
}

TEST(CsvWrite, FieldsThatNeedQuotesGetThem) {
  EXPECT_EQ(CsvLine({"plain", "with,comma", "say \"hi\"", "two\nlines", ""}),
            "plain,\"with,comma\",\"say \"\"hi\"\"\",\"two\nlines\",\n");
  CsvTable back = ParseCsv("h1,h2,h3,h4,h5\n" + CsvLine({"plain", "with,comma", "say \"hi\"", "two\nlines", ""}));
  EXPECT_EQ(back.rows.at(0), (std::vector<std::string>{"plain", "with,comma", "say \"hi\"", "two\nlines", ""}));
}

}  // namespace
}  // namespace tvx::interop
