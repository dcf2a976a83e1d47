// Bad input and bad usage: one line on standard error naming the file, exit
// status 1 (2 for usage), and nothing half-written in the output folder.
#include <sys/stat.h>
#include <unistd.h>

#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST(CliErrors, BadInputFilesGiveOneLineAndStatusOne) {
  test::TempDir dir;
  test::WriteBytes(dir.File("empty.wav"), {});
  test::WriteBytes(dir.File("text.wav"), {'h', 'e', 'l', 'l', 'o', '\n'});
  struct Case {
    std::string file;
    std::string problem;
  } cases[] = {{dir.File("missing.wav"), "no such file"},
               {dir.File("empty.wav"), "empty file"},
               {dir.File("text.wav"), "not an audio file talvox can read"}};
  for (const Case& c : cases) {
    for (const char* command : {"analyze", "plot"}) {
      RunResult run = RunTalvox({command, c.file, "-o", dir.File("out")});
      EXPECT_EQ(run.status, 1) << command << " " << c.file;
      EXPECT_EQ(Lines(run.err), 1) << run.err;
      EXPECT_EQ(run.err.rfind("talvox: " + c.file + ": ", 0), 0u) << run.err;
      EXPECT_NE(run.err.find(c.problem), std::string::npos) << run.err;
    }
  }
  EXPECT_FALSE(test::FileExists(dir.File("out")));
}

TEST(CliErrors, TwentyFourBitInputIsConvertedAndSaid) {
  test::TempDir dir;
  std::vector<uint8_t> bytes;
  test::PutTag(bytes, "RIFF");
  test::PutU32(bytes, 36 + 6);
  test::PutTag(bytes, "WAVE");
  test::PutTag(bytes, "fmt ");
  test::PutU32(bytes, 16);
  test::PutU16(bytes, 1);
  test::PutU16(bytes, 1);
  test::PutU32(bytes, 16000);
  test::PutU32(bytes, 48000);
  test::PutU16(bytes, 3);
  test::PutU16(bytes, 24);
  test::PutTag(bytes, "data");
  test::PutU32(bytes, 6);
  bytes.insert(bytes.end(), 6, 0);
  test::WriteBytes(dir.File("deep.wav"), bytes);
  RunResult run = RunTalvox({"resynth", dir.File("deep.wav"), "-o", dir.File("out.wav"), "--pitch-scale", "2"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find(dir.File("deep.wav") + ": 24-bit PCM read as 16-bit"), std::string::npos) << run.err;
  RunResult info = RunTalvox({"info", dir.File("deep.wav")});
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("24-bit PCM"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("readable:  yes, as 16-bit"), std::string::npos) << info.out;
  // The output keeps the input's 24 bits.
  std::vector<uint8_t> out = test::ReadBytes(dir.File("out.wav"));
  ASSERT_GE(out.size(), 36u);
  EXPECT_EQ(out[34], 24);
}

TEST(CliErrors, UnwritableFolderFailsBeforeWorkAndLeavesNothing) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(16000, 128, 1600, 4800));
  RunResult missingFolder = RunTalvox({"collect", dir.File("in.wav"), "-o", dir.File("nowhere/out.wav")});
  EXPECT_EQ(missingFolder.status, 1);
  EXPECT_NE(missingFolder.err.find("cannot write in folder"), std::string::npos) << missingFolder.err;

  std::string locked = dir.File("locked");
  ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
  if (access(locked.c_str(), W_OK) == 0) GTEST_SKIP() << "running with rights that ignore folder permissions";
  RunResult run = RunTalvox({"resynth", dir.File("in.wav"), "-o", locked + "/out.wav", "--f0", "100"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(Lines(run.err), 1);
  EXPECT_TRUE(ListFolder(locked).empty());
}

TEST(CliErrors, AFailureAfterTheWorkStartedLeavesNoTemporaryFile) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(16000, 128, 1600, 4800));
  test::WriteBytes(dir.File("bad.peaks"), std::vector<uint8_t>(200, 7));
  RunResult run = RunTalvox({"resynth", dir.File("in.wav"), "-o", dir.File("out.wav"), "--pitch-scale", "1.5",
                             "--peaks", dir.File("bad.peaks")});
  EXPECT_EQ(run.status, 1);
  std::vector<std::string> names = ListFolder(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"bad.peaks", "in.wav"}));
}

TEST(CliErrors, UsageErrorsGiveStatusTwo) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"frobnicate"},
           {"analyze"},
           {"analyze", "x.wav", "--no-such-option"},
           {"analyze", "x.wav", "--marks", "psychic"},
           {"resynth", "x.wav", "-o", "y.wav"},
           {"resynth", "x.wav", "-o", "y.wav", "--f0", "100", "--semitones", "2"},
           {"resynth", "x.wav", "-o", "y.wav", "--pitch-scale", "abc"},
           {"resynth", "x.wav", "--f0", "100"},
           {"edit", "x.wav", "-o", "y.wav", "twist", "1:2"},
           {"edit", "x.wav", "-o", "y.wav", "delete", "1:2", "paste", "0.5"},
           {"analyze", "x.wav", "-j"},
       }) {
    RunResult run = RunTalvox(args);
    std::string joined;
    for (const std::string& arg : args) joined += arg + " ";
    EXPECT_EQ(run.status, 2) << joined << "\n" << run.err;
    EXPECT_FALSE(run.err.empty()) << joined;
  }
}

TEST(CliErrors, HelpForEveryCommandAndVersion) {
  for (const char* command : {"info", "analyze", "resynth", "collect", "edit", "plot", "play", "record", "demo"}) {
    RunResult run = RunTalvox({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find(std::string("usage: talvox ") + command), std::string::npos) << command << run.out;
  }
  RunResult overview = RunTalvox({"--help"});
  EXPECT_EQ(overview.status, 0);
  EXPECT_NE(overview.out.find("resynth"), std::string::npos);
  RunResult version = RunTalvox({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("talvox ", 0), 0u);
}

}  // namespace
}  // namespace talvox::cli_test
