// Real-world file shapes: 44.1 kHz stereo with a LIST chunk before the data,
// and the external pitch program run from a folder that must stay clean.
#include <unistd.h>

#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

constexpr int kRate = 44100;
constexpr int kPeriod = 441;  // 100 Hz

// A stereo file whose header carries a LIST/INFO chunk, as editors write.
void WriteStereoWithList(const std::string& path) {
  Wav mono = TwoSyllables(kRate, kPeriod, 4410, 22050);
  std::vector<uint8_t> info;
  test::PutTag(info, "INFO");
  test::PutTag(info, "ISFT");
  test::PutU32(info, 5);
  info.insert(info.end(), {'t', 'e', 's', 't', 0, 0});
  uint32_t dataBytes = static_cast<uint32_t>(mono.samples.size() * 4);
  std::vector<uint8_t> bytes;
  test::PutTag(bytes, "RIFF");
  test::PutU32(bytes, static_cast<uint32_t>(4 + 24 + 8 + info.size() + 8 + dataBytes));
  test::PutTag(bytes, "WAVE");
  test::PutTag(bytes, "fmt ");
  test::PutU32(bytes, 16);
  test::PutU16(bytes, 1);
  test::PutU16(bytes, 2);
  test::PutU32(bytes, kRate);
  test::PutU32(bytes, kRate * 4);
  test::PutU16(bytes, 4);
  test::PutU16(bytes, 16);
  test::PutTag(bytes, "LIST");
  test::PutU32(bytes, static_cast<uint32_t>(info.size()));
  bytes.insert(bytes.end(), info.begin(), info.end());
  test::PutTag(bytes, "data");
  test::PutU32(bytes, dataBytes);
  for (int16_t sample : mono.samples) {
    test::PutU16(bytes, static_cast<uint16_t>(sample));
    test::PutU16(bytes, static_cast<uint16_t>(-sample));
  }
  test::WriteBytes(path, bytes);
}

TEST(CliFormats, StereoWithListChunkAt44kHz) {
  test::TempDir dir;
  WriteStereoWithList(dir.File("in.wav"));
  RunResult info = RunTalvox({"info", dir.File("in.wav")});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("16-bit PCM, 44100 Hz, stereo"), std::string::npos) << info.out;

  RunResult analyze = RunTalvox({"analyze", dir.File("in.wav"), "--channel", "1", "--json"});
  ASSERT_EQ(analyze.status, 0) << analyze.err;
  EXPECT_NE(analyze.out.find("\"rate\": 44100, \"channels\": 2"), std::string::npos) << analyze.out;

  RunResult resynth = RunTalvox({"resynth", dir.File("in.wav"), "-o", dir.File("out.wav"), "--f0", "120"});
  ASSERT_EQ(resynth.status, 0) << resynth.err;
  Wav out = ReadWav(dir.File("out.wav"));
  ASSERT_EQ(out.channels, 2);
  ASSERT_EQ(out.rate, kRate);
  std::vector<int16_t> left;
  for (size_t i = 0; i < out.Frames(); i++) left.push_back(out.samples[2 * i]);
  // The middle of the first syllable, which now lasts 1/1.2 as long.
  size_t begin = 4410 + 4000, end = 4410 + 14000;
  EXPECT_NEAR(AutocorrelationF0(left, kRate, begin, end), 120, 0.02 * 120);
}

TEST(CliFormats, ExternalMarksLeaveTheWorkingFolderClean) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(16000, 128, 1600, 8000));
  char* previous = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  RunResult run = RunTalvox({"analyze", "in.wav", "--marks", "external", "-o", "in.peaks"});
  ASSERT_EQ(chdir(previous), 0);
  std::free(previous);
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> names = ListFolder(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"in.peaks", "in.wav"}));  // no temp.wav, pitch.psc, ...
}

TEST(CliFormats, JsonOfManyFilesParses) {
  test::TempDir dir;
  WriteWav(dir.File("a.wav"), TwoSyllables(16000, 128, 1600, 3200));
  WriteWav(dir.File("b \"quoted\".wav"), TwoSyllables(16000, 100, 1600, 3200));
  RunResult run = RunTalvox({"analyze", "--json", "-j", "2", dir.File("a.wav"), dir.File("b \"quoted\".wav")});
  ASSERT_EQ(run.status, 0) << run.err;
  test::WriteBytes(dir.File("out.json"), std::vector<uint8_t>(run.out.begin(), run.out.end()));
  std::string check = "/usr/bin/python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
                      "sys.exit(0 if len(d) == 2 and d[1][\"file\"].endswith(\"\\\"quoted\\\".wav\") else 1)' '" +
                      dir.File("out.json") + "'";
  if (std::system("/usr/bin/python3 -c 1 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3 to parse JSON";
  EXPECT_EQ(std::system(check.c_str()), 0) << run.out;
}

}  // namespace
}  // namespace talvox::cli_test
