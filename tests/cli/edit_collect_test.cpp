// edit and collect: the signal is edited like text and the annotation moves
// with it; collecting halves the silences.
#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

constexpr int kRate = 16000;
constexpr int kPeriod = 128;
constexpr int kSilence = 1600, kVoiced = 4800;

struct PeakFile {
  std::vector<int32_t> peaks;
  std::vector<TvxElement> elements;
};

PeakFile LoadPeakFile(const std::string& path) {
  int32_t peakCount = 0, elementCount = 0;
  std::vector<int32_t> peaks(100000);
  std::vector<TvxElement> elements(10000);
  EXPECT_EQ(LoadTag(path.c_str(), peaks.data(), &peakCount, elements.data(), &elementCount), 1) << path;
  peaks.resize(static_cast<size_t>(peakCount));
  elements.resize(static_cast<size_t>(elementCount));
  return {peaks, elements};
}

class CliEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    in = TwoSyllables(kRate, kPeriod, kSilence, kVoiced);
    WriteWav(dir.File("in.wav"), in);
    RunResult run = RunTalvox({"analyze", dir.File("in.wav"), "-o", dir.File("in.peaks")});
    ASSERT_EQ(run.status, 0) << run.err;
    before = LoadPeakFile(dir.File("in.peaks"));
  }
  RunResult Edit(std::vector<std::string> ops) {
    std::vector<std::string> args = {"edit", dir.File("in.wav"), "-o", dir.File("out.wav"), "--peaks",
                                     dir.File("in.peaks"), "--out-peaks", dir.File("out.peaks")};
    args.insert(args.end(), ops.begin(), ops.end());
    return RunTalvox(args);
  }
  test::TempDir dir;
  Wav in;
  PeakFile before;
};

TEST_F(CliEdit, DeleteShortensSignalAndShiftsTheAnnotation) {
  ASSERT_FALSE(before.peaks.empty());
  RunResult run = Edit({"delete", "100s:1100s"});  // 1000 samples of the leading silence
  ASSERT_EQ(run.status, 0) << run.err;
  Wav out = ReadWav(dir.File("out.wav"));
  ASSERT_EQ(out.samples.size(), in.samples.size() - 1000);
  for (size_t i = 1100; i < in.samples.size(); i++) ASSERT_EQ(out.samples[i - 1000], in.samples[i]);
  PeakFile after = LoadPeakFile(dir.File("out.peaks"));
  ASSERT_EQ(after.peaks.size(), before.peaks.size());
  for (size_t i = 0; i < before.peaks.size(); i++) EXPECT_EQ(after.peaks[i], before.peaks[i] - 1000);
  EXPECT_EQ(after.elements.back().end, static_cast<int32_t>(out.samples.size()));
}

TEST_F(CliEdit, CutThenPasteAtTheSamePlaceRestoresTheSignal) {
  RunResult run = Edit({"cut", "0.3:0.5", "paste", "0.3"});
  ASSERT_EQ(run.status, 0) << run.err;
  Wav out = ReadWav(dir.File("out.wav"));
  EXPECT_EQ(out.samples, in.samples);
  PeakFile after = LoadPeakFile(dir.File("out.peaks"));
  EXPECT_EQ(after.peaks, before.peaks);
}

TEST_F(CliEdit, CopyPasteDuplicatesASyllableWithItsMarks) {
  int32_t begin = kSilence, end = kSilence + kVoiced;
  std::string op = std::to_string(begin) + "s:" + std::to_string(end) + "s";
  RunResult run = Edit({"copy " + op, "paste", "end"});
  ASSERT_EQ(run.status, 0) << run.err;
  Wav out = ReadWav(dir.File("out.wav"));
  ASSERT_EQ(out.samples.size(), in.samples.size() + kVoiced);
  for (int i = 0; i < kVoiced; i++) ASSERT_EQ(out.samples[in.samples.size() + i], in.samples[begin + i]);
  PeakFile after = LoadPeakFile(dir.File("out.peaks"));
  size_t copied = 0;
  for (int32_t peak : before.peaks) copied += peak >= begin && peak < end ? 1 : 0;
  EXPECT_EQ(after.peaks.size(), before.peaks.size() + copied);
  EXPECT_TRUE(std::is_sorted(after.peaks.begin(), after.peaks.end()));
  EXPECT_GE(after.peaks.back(), static_cast<int32_t>(in.samples.size()));
}

TEST_F(CliEdit, PositionsPastTheSignalAreUsageErrors) {
  RunResult run = Edit({"delete", "10:11"});
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(test::FileExists(dir.File("out.wav")));
  EXPECT_FALSE(test::FileExists(dir.File("out.peaks")));
}

TEST_F(CliEdit, CollectHalvesTheSilences) {
  RunResult run = RunTalvox({"collect", dir.File("in.wav"), "-o", dir.File("c.wav"), "--peaks", dir.File("in.peaks")});
  ASSERT_EQ(run.status, 0) << run.err;
  Wav out = ReadWav(dir.File("c.wav"));
  int64_t expected = 0;
  for (const TvxElement& e : before.elements)
    expected += std::string(e.desc) == "SIL" ? (e.end - e.start) / 2 : e.end - e.start;
  EXPECT_EQ(static_cast<int64_t>(out.samples.size()), expected);
  EXPECT_LT(out.samples.size(), in.samples.size());

  RunResult ranged = RunTalvox({"collect", dir.File("in.wav"), "-o", dir.File("r.wav"), "--peaks",
                                dir.File("in.peaks"), "--range", "0.2:0.3"});
  ASSERT_EQ(ranged.status, 0) << ranged.err;
  EXPECT_EQ(ReadWav(dir.File("r.wav")).samples.size(), 1600u);  // inside one voiced element
}

}  // namespace
}  // namespace talvox::cli_test
