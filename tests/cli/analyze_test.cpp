// analyze and info on generated speech-like signals: the element table, the
// peak file, reloading it, JSON, and many files in worker processes.
#include <sys/stat.h>

#include <regex>

#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

constexpr int kRate = 16000;
constexpr int kPeriod = 128;  // 125 Hz

std::vector<double> JsonF0s(const std::string& json) {
  std::vector<double> values;
  std::regex f0("\"f0\": ([0-9.]+)");
  for (auto it = std::sregex_iterator(json.begin(), json.end(), f0); it != std::sregex_iterator(); ++it)
    values.push_back(std::stod((*it)[1]));
  return values;
}

TEST(CliAnalyze, InfoReportsFormatAndLength) {
  test::TempDir dir;
  Wav wav = TwoSyllables(kRate, kPeriod, 1600, 4800);
  WriteWav(dir.File("in.wav"), wav);
  RunResult run = RunTalvox({"info", dir.File("in.wav")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("16-bit PCM, 16000 Hz, mono"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(std::to_string(wav.Frames()) + " samples"), std::string::npos) << run.out;
}

TEST(CliAnalyze, VoicedElementsCarryTheirF0AndThePeakFileReloads) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(kRate, kPeriod, 1600, 4800));
  RunResult run = RunTalvox({"analyze", dir.File("in.wav"), "--json", "-o", dir.File("in.peaks")});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<double> f0 = JsonF0s(run.out);
  ASSERT_GE(f0.size(), 2u) << run.out;
  for (double value : f0) EXPECT_NEAR(value, double(kRate) / kPeriod, 0.02 * kRate / kPeriod) << run.out;
  EXPECT_NE(run.out.find("\"desc\": \"SIL\""), std::string::npos);
  ASSERT_TRUE(test::FileExists(dir.File("in.peaks")));

  RunResult reloaded = RunTalvox({"analyze", dir.File("in.wav"), "--json", "--peaks", dir.File("in.peaks")});
  ASSERT_EQ(reloaded.status, 0) << reloaded.err;
  EXPECT_EQ(reloaded.out, run.out);

  ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0777), 0);
  ASSERT_EQ(RunTalvox({"analyze", dir.File("in.wav"), "-o", dir.File("folder")}).status, 0);
  EXPECT_EQ(test::ReadBytes(dir.File("folder/in.peaks")), test::ReadBytes(dir.File("in.peaks")));

  RunResult table = RunTalvox({"analyze", dir.File("in.wav")});
  ASSERT_EQ(table.status, 0);
  EXPECT_NE(table.out.find("F0 Hz"), std::string::npos);
  EXPECT_NE(table.out.find("125.0"), std::string::npos) << table.out;
}

TEST(CliAnalyze, AForeignPeakFileIsRefused) {
  test::TempDir dir;
  WriteWav(dir.File("long.wav"), TwoSyllables(kRate, kPeriod, 1600, 16000));
  WriteWav(dir.File("short.wav"), TwoSyllables(kRate, kPeriod, 160, 800));
  ASSERT_EQ(RunTalvox({"analyze", dir.File("long.wav"), "-o", dir.File("long.peaks")}).status, 0);
  RunResult run = RunTalvox({"analyze", dir.File("short.wav"), "--peaks", dir.File("long.peaks")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("do not fit"), std::string::npos) << run.err;
}

TEST(CliAnalyze, ManyFilesRunInWorkersInInputOrderWithASummary) {
  test::TempDir dir;
  ASSERT_EQ(mkdir(dir.File("peaks").c_str(), 0777), 0);
  std::vector<std::string> args = {"analyze", "-j", "2", "--json", "-o", dir.File("peaks")};
  for (int i = 0; i < 4; i++) {
    std::string name = dir.File("f" + std::to_string(i) + ".wav");
    WriteWav(name, TwoSyllables(kRate, kPeriod + 8 * i, 800 + 100 * i, 3200));
    args.push_back(name);
  }
  args.push_back(dir.File("missing.wav"));
  RunResult run = RunTalvox(args);
  EXPECT_EQ(run.status, 1);  // one input failed
  size_t last = 0;
  for (int i = 0; i < 4; i++) {
    size_t at = run.out.find("f" + std::to_string(i) + ".wav");
    ASSERT_NE(at, std::string::npos) << run.out;
    EXPECT_GT(at, last);
    last = at;
    EXPECT_TRUE(test::FileExists(dir.File("peaks/f" + std::to_string(i) + ".peaks")));
  }
  EXPECT_NE(run.out.find("\"error\""), std::string::npos);
  EXPECT_EQ(run.out.front(), '[');
  EXPECT_NE(run.err.find("missing.wav"), std::string::npos);
  EXPECT_NE(run.err.find("analysed 4 of 5 files (1 failed)"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace talvox::cli_test
