// TextGrid files written by hand from the published format description, in
// every shape they come in, and damaged ones.
#include <gtest/gtest.h>

#include "format_error.h"
#include "text_decoding.h"
#include "textgrid.h"

namespace tvx::interop {
namespace {

// The long format: two interval tiers and a point tier, with a quote inside
// a label and a comment.
const char* const kLong =
    "File type = \"ooTextFile\"\n"
    "Object class = \"TextGrid\"\n"
    "\n"
    "xmin = 0 \n"
    "xmax = 2.3 \n"
    "tiers? <exists> \n"
    "size = 3 \n"
    "item []: \n"
    "    item [1]:\n"
    "        class = \"IntervalTier\" \n"
    "        name = \"words\" \n"
    "        xmin = 0 \n"
    "        xmax = 2.3 \n"
    "        intervals: size = 3 \n"
    "        intervals [1]:\n"
    "            xmin = 0 \n"
    "            xmax = 0.5 \n"
    "            text = \"\" \n"
    "        intervals [2]:\n"
    "            xmin = 0.5 \n"
    "            xmax = 1.25 \n"
    "            text = \"say \"\"hi\"\"\" ! a comment with \"quotes\"\n"
    "        intervals [3]:\n"
    "            xmin = 1.25 \n"
    "            xmax = 2.3 \n"
    "            text = \"caf\xc3\xa9\" \n"
    "    item [2]:\n"
    "        class = \"IntervalTier\" \n"
    "        name = \"phones\" \n"
    "        xmin = 0 \n"
    "        xmax = 2.3 \n"
    "        intervals: size = 1 \n"
    "        intervals [1]:\n"
    "            xmin = 0 \n"
    "            xmax = 2.3 \n"
    "            text = \"a\" \n"
    "    item [3]:\n"
    "        class = \"TextTier\" \n"
    "        name = \"bell\" \n"
    "        xmin = 0 \n"
    "        xmax = 2.3 \n"
    "        points: size = 2 \n"
    "        points [1]:\n"
    "            number = 0.75 \n"
    "            mark = \"ding\" \n"
    "        points [2]:\n"
    "            number = 1.5 \n"
    "            mark = \"\" \n";

// The same grid in the short format, as written today and by older programs.
const char* const kShortBody =
    "0\n2.3\n<exists>\n3\n"
    "\"IntervalTier\"\n\"words\"\n0\n2.3\n3\n"
    "0\n0.5\n\"\"\n0.5\n1.25\n\"say \"\"hi\"\"\"\n1.25\n2.3\n\"caf\xc3\xa9\"\n"
    "\"IntervalTier\"\n\"phones\"\n0\n2.3\n1\n0\n2.3\n\"a\"\n"
    "\"TextTier\"\n\"bell\"\n0\n2.3\n2\n0.75\n\"ding\"\n1.5\n\"\"\n";

void ExpectTheGrid(const TextGrid& grid) {
  EXPECT_EQ(grid.xmin, 0);
  EXPECT_EQ(grid.xmax, 2.3);
  ASSERT_EQ(grid.tiers.size(), 3u);
  const Tier& words = grid.tiers[0];
  EXPECT_EQ(words.kind, Tier::Kind::kInterval);
  EXPECT_EQ(words.name, "words");
  ASSERT_EQ(words.intervals.size(), 3u);
  EXPECT_EQ(words.intervals[0].text, "");
  EXPECT_EQ(words.intervals[1].text, "say \"hi\"");
  EXPECT_EQ(words.intervals[1].xmin, 0.5);
  EXPECT_EQ(words.intervals[1].xmax, 1.25);
  EXPECT_EQ(words.intervals[2].text, "caf\xc3\xa9");
  EXPECT_EQ(grid.tiers[1].intervals.at(0).text, "a");
  const Tier& bell = grid.tiers[2];
  EXPECT_EQ(bell.kind, Tier::Kind::kPoint);
  ASSERT_EQ(bell.points.size(), 2u);
  EXPECT_EQ(bell.points[0].time, 0.75);
  EXPECT_EQ(bell.points[0].mark, "ding");
  EXPECT_EQ(bell.points[1].time, 1.5);
}

std::string WithCrlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::string Utf16(const std::string& utf8, bool bigEndian) {
  // The test texts hold ASCII and é (U+00E9) only.
  std::string out = bigEndian ? std::string("\xFE\xFF", 2) : std::string("\xFF\xFE", 2);
  for (size_t i = 0; i < utf8.size(); i++) {
    unsigned code = static_cast<unsigned char>(utf8[i]);
    if (code == 0xC3) code = 0xC0 | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
    char high = static_cast<char>(code >> 8), low = static_cast<char>(code & 0xFF);
    out += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return out;
}

TEST(TextGridRead, EveryShapeGivesTheSameGrid) {
  std::string shortNew = std::string("File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n") + kShortBody;
  std::string shortOld = std::string("File type = \"ooTextFile short\"\n\"TextGrid\"\n\n") + kShortBody;
  for (const std::string& text : {std::string(kLong), shortNew, shortOld, WithCrlf(kLong), WithCrlf(shortNew)}) {
    SCOPED_TRACE(text.substr(0, 60));
    ExpectTheGrid(ParseTextGrid(DecodeText(text)));
    ExpectTheGrid(ParseTextGrid(DecodeText("\xEF\xBB\xBF" + text)));
    ExpectTheGrid(ParseTextGrid(DecodeText(Utf16(text, false))));
    ExpectTheGrid(ParseTextGrid(DecodeText(Utf16(text, true))));
  }
}

TEST(TextGridRead, Latin1FileIsTakenAsLatin1) {
  std::string latin1 = kLong;
  size_t at = latin1.find("caf\xc3\xa9");
  latin1.replace(at, 5, "caf\xe9");
  EXPECT_EQ(ParseTextGrid(DecodeText(latin1)).tiers[0].intervals[2].text, "caf\xc3\xa9");
}

TEST(TextGridRead, GridWithoutTiers) {
  TextGrid grid = ParseTextGrid("File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n0\n1\n<absent>\n");
  EXPECT_TRUE(grid.tiers.empty());
  EXPECT_EQ(grid.xmax, 1);
}

// The line and the expectation each damage must be reported with.
struct Damage {
  const char* name;
  std::string text;
  int line;
  const char* expected;
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at == std::string::npos) throw std::logic_error("test text lacks " + from);
  return text.replace(at, from.size(), to);
}

TEST(TextGridRead, DamagedFilesAreRefusedWithLineAndExpectation) {
  std::string text = kLong;
  std::vector<Damage> damages = {
      {"truncated", text.substr(0, text.find("xmax = 1.25")), 21, "the file ends where the end time of interval 2"},
      {"count too high", Replaced(text, "intervals: size = 3", "intervals: size = 4"), 28,
       "expected the start time of interval 4 of tier 'words' (a number), found a text"},
      {"count too low", Replaced(text, "points: size = 2", "points: size = 1"), 47, "unexpected data after the last item"},
      {"tier count too high", Replaced(text, "size = 3 \nitem", "size = 4 \nitem"), 49, "the file ends where the class of tier 4"},
      {"unterminated", Replaced(text, "text = \"caf\xc3\xa9\"", "text = \"caf\xc3\xa9"), 26, "starts here closes on line 28"},
      {"unterminated at the end", Replaced(text, "mark = \"\" \n", "mark = \"\n"), 48, "has no closing quote"},
      {"unknown tier class", Replaced(text, "\"TextTier\"", "\"PitchTier\""), 38,
       "expected the tier class \"IntervalTier\" or \"TextTier\", found \"PitchTier\""},
      {"word for a number", Replaced(text, "xmax = 0.5", "xmax = 0.5x"), 17, "found '0.5x'"},
      {"negative count", Replaced(text, "intervals: size = 1", "intervals: size = -1"), 32, "a whole number from 0"},
      {"fractional count", Replaced(text, "intervals: size = 1", "intervals: size = 1.5"), 32, "a whole number from 0"},
      {"interval backwards", Replaced(text, "xmax = 1.25", "xmax = 0.25"), 20, "ends before it starts"},
      {"points out of order", Replaced(text, "number = 1.5", "number = 0.5"), 47, "does not come after the point before"},
      {"point outside its tier", Replaced(text, "number = 1.5", "number = 3.5"), 47, "lies outside its tier"},
      {"other class", Replaced(text, "Object class = \"TextGrid\"", "Object class = \"Pitch\""), 2,
       "expected a TextGrid file, found the object class \"Pitch\""},
      {"not a TextGrid at all", "hello\tworld\n", 1, "expected 'File type = \"ooTextFile\"'"},
      {"binary", "ooBinaryFile\x08TextGrid", 1, "save it as a text file"},
      {"bad flag", Replaced(text, "<exists>", "<maybe>"), 6, "found '<maybe>'"},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    try {
      ParseTextGrid(DecodeText(damage.text));
      ADD_FAILURE() << "accepted";
    } catch (const FormatError& error) {
      EXPECT_EQ(error.line(), damage.line) << error.what();
      EXPECT_NE(std::string(error.what()).find(damage.expected), std::string::npos) << error.what();
      EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos) << "one line: " << error.what();
    }
  }
}

TEST(TextDecoding, BrokenUtf16AndNulAreRefused) {
  EXPECT_THROW(DecodeText(std::string("\xFF\xFE" "a\0b", 5)), FormatError);               // odd byte count
  EXPECT_THROW(DecodeText(std::string("\xFF\xFE" "\x00\xD8" "a\0", 6)), FormatError);     // lone high surrogate
  EXPECT_THROW(DecodeText(std::string("\xFE\xFF" "\xDC\x00", 4)), FormatError);           // lone low surrogate
  EXPECT_THROW(DecodeText(std::string("a\nb\0c", 5)), FormatError);
  // A pair outside the basic plane becomes four UTF-8 bytes.
  EXPECT_EQ(DecodeText(std::string("\xFE\xFF" "\xD8\x3D\xDE\x00", 6)), "\xF0\x9F\x98\x80");
}

TEST(TextGridWrite, BothFormatsReadBackAndQuoteQuotes) {
  TextGrid grid = ParseTextGrid(kLong);
  for (TextFormat format : {TextFormat::kLong, TextFormat::kShort}) {
    std::string written = WriteTextGrid(grid, format);
    EXPECT_EQ(written.rfind("File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n", 0), 0u);
    EXPECT_NE(written.find("\"say \"\"hi\"\"\""), std::string::npos);
    ExpectTheGrid(ParseTextGrid(written));
  }
  std::string longText = WriteTextGrid(grid, TextFormat::kLong);
  for (const char* line : {"xmin = 0 \n", "xmax = 2.3 \n", "tiers? <exists> \n", "size = 3 \n", "item []: \n",
                           "    item [3]:\n", "        class = \"TextTier\" \n", "        intervals: size = 3 \n",
                           "        intervals [2]:\n", "            text = \"say \"\"hi\"\"\" \n", "        points: size = 2 \n",
                           "            number = 0.75 \n", "            mark = \"ding\" \n"})
    EXPECT_NE(longText.find(line), std::string::npos) << line;
}

TEST(ExactNumber, ShortestTextThatReadsBackTheSameDouble) {
  EXPECT_EQ(ExactNumber(0.1), "0.1");
  EXPECT_EQ(ExactNumber(2.3), "2.3");
  EXPECT_EQ(ExactNumber(0), "0");
  EXPECT_EQ(ExactNumber(1.0 / 3), "0.3333333333333333");
  EXPECT_EQ(ExactNumber(0.1 + 0.2), "0.30000000000000004");  // 17 digits when needed
  EXPECT_EQ(std::stod(ExactNumber(12345.0 / 44100)), 12345.0 / 44100);
}

}  // namespace
}  // namespace tvx::interop
