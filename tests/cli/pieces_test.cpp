// Recordings whose segmentation is longer than the element table: a few
// minutes of generated speech with the table limit lowered (through the
// tool's test setting) must be worked in pieces and joined, so every output
// covers the whole file and agrees with the same file analysed in one table.
#include <cstdlib>
#include <regex>

#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

constexpr int kRate = 16000;
constexpr int kMinutes = 3;

// Syllables of 0.15 to 0.3 s at 100 to 180 Hz between pauses of 0.1 to
// 0.4 s, a little noise throughout.
Wav MinutesOfSpeech() {
  Wav wav;
  wav.rate = kRate;
  wav.channels = 1;
  uint32_t noise = 99;
  for (int k = 0; wav.samples.size() < size_t(kMinutes) * 60 * kRate; k++) {
    int pause = kRate / 10 + (k * 1237) % (kRate * 3 / 10);
    int voiced = kRate * 15 / 100 + (k * 2011) % (kRate * 15 / 100);
    int period = kRate / (100 + (k * 53) % 80);
    std::vector<int16_t> syllable = test::VoicedSignal(pause, voiced, 0, period, 9000);
    wav.samples.insert(wav.samples.end(), syllable.begin(), syllable.end());
  }
  for (int16_t& s : wav.samples) {
    noise = noise * 1664525u + 1013904223u;
    s = static_cast<int16_t>(s + static_cast<int>(noise >> 28) - 8);
  }
  return wav;
}

struct Element {
  std::string desc;
  long start, end, marks;
};

std::vector<Element> JsonElements(const std::string& json) {
  std::vector<Element> elements;
  std::regex element(
      "\"desc\": \"([^\"]*)\"[^}]*\"start_sample\": ([0-9]+), \"end_sample\": ([0-9]+), \"marks\": ([0-9]+)");
  for (auto it = std::sregex_iterator(json.begin(), json.end(), element); it != std::sregex_iterator(); ++it)
    elements.push_back({(*it)[1], std::stol((*it)[2]), std::stol((*it)[3]), std::stol((*it)[4])});
  return elements;
}

class CliPieces : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteWav(dir.File("in.wav"), MinutesOfSpeech());
    unsetenv("TALVOX_ELEMENT_LIMIT");
    RunResult whole = RunTalvox({"analyze", dir.File("in.wav"), "--json"});
    ASSERT_EQ(whole.status, 0) << whole.err;
    oneTable = JsonElements(whole.out);
    ASSERT_GT(oneTable.size(), 3 * kLimit) << "the signal must need several pieces";
    setenv("TALVOX_ELEMENT_LIMIT", std::to_string(kLimit).c_str(), 1);
  }
  void TearDown() override { unsetenv("TALVOX_ELEMENT_LIMIT"); }

  static constexpr size_t kLimit = 150;
  test::TempDir dir;
  std::vector<Element> oneTable;
};

// The joined elements against one table: the same elements, no gap or
// overlap at the cuts, the file covered to its end. A piece starts its
// analysis afresh inside a pause, so bounds may move by a few analysis
// frames and marks by one (the energy route) or, for the voice tracker,
// whose voicing looks further around, by more at a few cuts.
void ExpectJoinedLikeOneTable(const std::vector<Element>& joined, const std::vector<Element>& one, long length,
                              size_t looseElements) {
  ASSERT_EQ(joined.size(), one.size());
  EXPECT_GE(joined.back().end, length);
  EXPECT_EQ(joined.back().end, one.back().end);
  long joinedMarks = 0, oneMarks = 0;
  size_t loose = 0;
  for (size_t i = 0; i < joined.size(); i++) {
    ASSERT_EQ(joined[i].desc, one[i].desc) << i;
    if (i > 0) {
      ASSERT_EQ(joined[i].start, joined[i - 1].end) << i;
    }
    if (std::abs(joined[i].start - one[i].start) > 400 || std::abs(joined[i].marks - one[i].marks) > 1) loose++;
    joinedMarks += joined[i].marks;
    oneMarks += one[i].marks;
  }
  EXPECT_LE(loose, looseElements);
  EXPECT_NEAR(joinedMarks, oneMarks, 2);
}

TEST_F(CliPieces, JoinedElementsCoverTheFileAsOneTableWould) {
  const long length = long(ReadWav(dir.File("in.wav")).samples.size());
  RunResult run = RunTalvox({"analyze", dir.File("in.wav"), "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("pieces cut in silences"), std::string::npos) << run.err;
  ExpectJoinedLikeOneTable(JsonElements(run.out), oneTable, length, oneTable.size() / 50);  // 16 pieces

  unsetenv("TALVOX_ELEMENT_LIMIT");
  RunResult whole = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--marks", "internal"});
  ASSERT_EQ(whole.status, 0) << whole.err;
  setenv("TALVOX_ELEMENT_LIMIT", std::to_string(kLimit).c_str(), 1);
  RunResult internal = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--marks", "internal"});
  ASSERT_EQ(internal.status, 0) << internal.err;
  ExpectJoinedLikeOneTable(JsonElements(internal.out), JsonElements(whole.out), length, 0);
}

// The voice route tracks the whole file once and segments every window from
// those marks: the joined elements are the one table's exactly, the cuts
// leaving no trace.
TEST_F(CliPieces, VoiceRouteJoinsExactlyTheOneTable) {
  RunResult run = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--marks", "voice"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("pieces cut in silences"), std::string::npos) << run.err;
  const std::vector<Element> joined = JsonElements(run.out);
  ASSERT_EQ(joined.size(), oneTable.size());
  for (size_t i = 0; i < joined.size(); i++) {
    EXPECT_EQ(joined[i].desc, oneTable[i].desc) << i;
    EXPECT_EQ(joined[i].start, oneTable[i].start) << i;
    EXPECT_EQ(joined[i].end, oneTable[i].end) << i;
    EXPECT_EQ(joined[i].marks, oneTable[i].marks) << i;
  }
}

TEST_F(CliPieces, PeakFilesAreWrittenPerPieceOnlyWhenAskedFor) {
  RunResult refused = RunTalvox({"analyze", dir.File("in.wav"), "-o", dir.File("in.peaks")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("--split"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("more than a peak file holds"), std::string::npos) << refused.err;
  EXPECT_FALSE(test::FileExists(dir.File("in.peaks")));

  RunResult split = RunTalvox({"analyze", dir.File("in.wav"), "--split", "-o", dir.File("in.peaks")});
  ASSERT_EQ(split.status, 0) << split.err;
  long covered = 0, marks = 0;
  for (int n = 1; test::FileExists(dir.File("in." + std::to_string(n) + ".peaks")); n++) {
    unsetenv("TALVOX_ELEMENT_LIMIT");  // a piece's file loads as any peak file
    RunResult piece = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--peaks",
                                 dir.File("in." + std::to_string(n) + ".peaks")});
    ASSERT_EQ(piece.status, 0) << piece.err;
    std::vector<Element> elements = JsonElements(piece.out);
    ASSERT_FALSE(elements.empty());
    EXPECT_LE(elements.size(), kLimit);
    EXPECT_EQ(elements.front().start, covered) << "piece " << n;
    covered = elements.back().end;
    for (const Element& e : elements) marks += e.marks;
  }
  EXPECT_EQ(covered, oneTable.back().end);
  long wholeMarks = 0;
  for (const Element& e : oneTable) wholeMarks += e.marks;
  EXPECT_NEAR(marks, wholeMarks, long(oneTable.size()));
}

TEST_F(CliPieces, ResynthesisAndCollectionReachTheEnd) {
  RunResult same = RunTalvox({"resynth", dir.File("in.wav"), "--pitch-scale", "1", "-o", dir.File("same.wav")});
  ASSERT_EQ(same.status, 0) << same.err;
  Wav in = ReadWav(dir.File("in.wav")), out = ReadWav(dir.File("same.wav"));
  ASSERT_EQ(out.samples.size(), in.samples.size());
  // The last minute is resynthesised too: with its pitch kept it comes
  // back within the overlap-add's rounding.
  size_t lastMinute = in.samples.size() - size_t(60) * kRate;
  int worst = 0;
  for (size_t i = lastMinute; i < in.samples.size(); i++) worst = std::max(worst, std::abs(in.samples[i] - out.samples[i]));
  EXPECT_LE(worst, 600);
  RunResult higher = RunTalvox({"resynth", dir.File("in.wav"), "--semitones", "7", "-o", dir.File("higher.wav")});
  ASSERT_EQ(higher.status, 0) << higher.err;
  std::smatch stretches;
  std::string text = higher.err;
  ASSERT_TRUE(std::regex_search(text, stretches, std::regex("over ([0-9]+) voiced stretches")));
  EXPECT_GE(std::stol(stretches[1]), long(oneTable.size() / 2) - 2);

  RunResult pieces = RunTalvox({"collect", dir.File("in.wav"), "-o", dir.File("pieces.wav")});
  ASSERT_EQ(pieces.status, 0) << pieces.err;
  unsetenv("TALVOX_ELEMENT_LIMIT");
  RunResult whole = RunTalvox({"collect", dir.File("in.wav"), "-o", dir.File("whole.wav")});
  ASSERT_EQ(whole.status, 0) << whole.err;
  const long a = long(ReadWav(dir.File("pieces.wav")).samples.size()), b = long(ReadWav(dir.File("whole.wav")).samples.size());
  EXPECT_LT(b, long(in.samples.size()) * 9 / 10);  // silences were halved
  EXPECT_NEAR(a, b, 4000);
}

// Segmented in windows (the file is longer than one) but within the table:
// one table, one peak file, as for a short file.
TEST_F(CliPieces, WindowsWithinTheTableGiveOnePeakFile) {
  setenv("TALVOX_ELEMENT_LIMIT", "1000", 1);
  RunResult run = RunTalvox({"analyze", dir.File("in.wav"), "--json", "-o", dir.File("in.peaks")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("pieces"), std::string::npos) << run.err;
  EXPECT_EQ(JsonElements(run.out).size(), oneTable.size());
  RunResult reload = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--peaks", dir.File("in.peaks")});
  ASSERT_EQ(reload.status, 0) << reload.err;
  EXPECT_EQ(JsonElements(reload.out).size(), oneTable.size());
}

TEST_F(CliPieces, EditRefusesAJoinedSegmentation) {
  RunResult run = RunTalvox({"edit", dir.File("in.wav"), "delete", "0:1", "-o", dir.File("out.wav")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("edit a shorter excerpt"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace talvox::cli_test

namespace talvox::cli_test {
namespace {

// A signal within one window whose segmentation still fills the (lowered)
// table: the rest is segmented window by window. On the voice route those
// windows are segmented from the marks already placed, so the result is the
// one table's exactly.
TEST(CliPiecesFill, ShortSignalFillingTheTableJoinsExactlyTheOneTable) {
  test::TempDir dir;
  Wav wav;
  wav.rate = kRate;
  wav.channels = 1;
  for (int period : {120, 100, 140, 110}) {
    std::vector<int16_t> syllable = test::VoicedSignal(kRate / 10, kRate * 12 / 100, 0, period, 9000);
    wav.samples.insert(wav.samples.end(), syllable.begin(), syllable.end());
  }
  wav.samples.resize(wav.samples.size() + kRate / 10, 0);
  ASSERT_LT(wav.samples.size(), size_t(kRate));  // within one (shortest) window
  WriteWav(dir.File("short.wav"), wav);
  unsetenv("TALVOX_ELEMENT_LIMIT");
  RunResult whole = RunTalvox({"analyze", dir.File("short.wav"), "--json"});
  ASSERT_EQ(whole.status, 0) << whole.err;
  const std::vector<Element> one = JsonElements(whole.out);
  ASSERT_GE(one.size(), 7u);
  setenv("TALVOX_ELEMENT_LIMIT", "3", 1);
  RunResult filled = RunTalvox({"analyze", dir.File("short.wav"), "--json"});
  unsetenv("TALVOX_ELEMENT_LIMIT");
  ASSERT_EQ(filled.status, 0) << filled.err;
  EXPECT_NE(filled.err.find("pieces cut in silences"), std::string::npos) << filled.err;
  const std::vector<Element> joined = JsonElements(filled.out);
  ASSERT_EQ(joined.size(), one.size());
  for (size_t i = 0; i < joined.size(); i++) {
    EXPECT_EQ(joined[i].desc, one[i].desc) << i;
    EXPECT_EQ(joined[i].start, one[i].start) << i;
    EXPECT_EQ(joined[i].end, one[i].end) << i;
    EXPECT_EQ(joined[i].marks, one[i].marks) << i;
  }
}

}  // namespace
}  // namespace talvox::cli_test
