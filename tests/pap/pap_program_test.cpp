// pap.exe run as a program: script handling, WAV reading, refusals, and the
// pulses it finds on signals of known period.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace talvox::test {
namespace {

const char kScript[] =
    "Read from file... in.wav\n\t\t#Play\n\t\tTo Pitch... 0.01 125 500\n\t\tTo PointProcess\n"
    "\t\tWrite to text file... out.pointprocess\n\t\tselect all\n\t\tRemove";

std::string Program() {
  const char* dir = std::getenv("TALVOX_BINARY_DIR");
  return std::string(dir != nullptr ? dir : TALVOX_BINARY_DIR) + "/bin/pap.exe";
}

std::vector<uint8_t> Wav(const std::vector<int16_t>& interleaved, int channels, int rate,
                         bool extraChunk = false, int bits = 16) {
  std::vector<uint8_t> out;
  const uint32_t data = static_cast<uint32_t>(2 * interleaved.size());
  PutTag(out, "RIFF");
  PutU32(out, 36 + data + (extraChunk ? 14 : 0));
  PutTag(out, "WAVE");
  if (extraChunk) {  // an odd-sized chunk before the format, with its pad byte
    PutTag(out, "LIST");
    PutU32(out, 5);
    out.insert(out.end(), {'a', 'b', 'c', 'd', 'e', 0});
  }
  PutTag(out, "fmt ");
  PutU32(out, 16);
  PutU16(out, 1);
  PutU16(out, static_cast<uint16_t>(channels));
  PutU32(out, static_cast<uint32_t>(rate));
  PutU32(out, static_cast<uint32_t>(rate * 2 * channels));
  PutU16(out, static_cast<uint16_t>(2 * channels));
  PutU16(out, static_cast<uint16_t>(bits));
  PutTag(out, "data");
  PutU32(out, data);
  for (int16_t s : interleaved) PutU16(out, static_cast<uint16_t>(s));
  return out;
}

struct ProgramRun {
  int status = -1;
  std::string error;
  bool wroteOutput = false;
  std::vector<double> times;
  std::vector<std::string> headerWords;  // first words of the other lines
};

class PapProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FileExists(Program())) GTEST_SKIP() << "pap.exe not built";
  }

  ProgramRun Execute(const std::string& script) {
    std::ofstream(dir_.File("script.psc"), std::ios::binary) << script;
    std::string command = "cd '" + dir_.path() + "' && '" + Program() +
                          "' script.psc 2> err.txt > /dev/null";
    ProgramRun run;
    int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::vector<uint8_t> error = ReadBytes(dir_.File("err.txt"));
    run.error.assign(error.begin(), error.end());
    run.wroteOutput = FileExists(dir_.File("out.pointprocess"));
    std::ifstream in(dir_.File("out.pointprocess"));
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      std::string first, index, equals;
      double value = 0;
      words >> first;
      if (first == "t" && words >> index >> equals >> value && equals == "=") {
        EXPECT_EQ(index, "[" + std::to_string(run.times.size() + 1) + "]");
        run.times.push_back(value);
      } else {
        run.headerWords.push_back(first);
      }
    }
    return run;
  }

  void PutWav(const std::vector<uint8_t>& bytes) { WriteBytes(dir_.File("in.wav"), bytes); }

  // Periods (in samples) between successive pulses. A signal switched on
  // out of digital silence, or off into it, excites a pulse of its own at
  // the switch: the first and last intervals of each stretch are left out.
  static std::vector<double> Periods(const ProgramRun& run, int rate) {
    std::vector<double> all = AllPeriods(run, rate);
    std::vector<double> periods;
    for (size_t i = 0; i < all.size(); ++i) {
      const bool stretchEdge = i == 0 || i + 1 == all.size() || all[i - 1] > 1.5 * all[i] ||
                               all[i + 1] > 1.5 * all[i] || all[i] > 1.5 * all[i - 1] ||
                               all[i] > 1.5 * all[i + 1];
      if (!stretchEdge) periods.push_back(all[i]);
    }
    return periods;
  }
  static std::vector<double> AllPeriods(const ProgramRun& run, int rate) {
    std::vector<double> periods;
    for (std::size_t i = 1; i < run.times.size(); ++i) {
      periods.push_back((run.times[i] - run.times[i - 1]) * rate);
    }
    return periods;
  }

  TempDir dir_;
};

TEST_F(PapProgram, PulsesFollowAKnownPeriod) {
  for (int period : {40, 80, 120}) {  // 400, 200 and 133 Hz at 16 kHz
    PutWav(Wav(VoicedSignal(4000, 16000, 4000, period, 8000), 1, 16000));
    ProgramRun run = Execute(kScript);
    ASSERT_EQ(run.status, 0) << run.error;
    // One pulse per period over the voiced second, give or take its edges.
    EXPECT_NEAR(static_cast<double>(run.times.size()), 16000.0 / period, 4.0) << period;
    // Within two samples: each pulse sits on the cycle's excitation as the
    // prediction residual places it.
    for (double p : Periods(run, 16000)) EXPECT_NEAR(p, period, 2.01) << period;
    // Even at the switching, no period is lost or doubled.
    for (double p : AllPeriods(run, 16000)) EXPECT_NEAR(p, period, 0.25 * period) << period;
    for (double t : run.times) {
      EXPECT_GT(t * 16000, 4000 - period);
      EXPECT_LT(t * 16000, 20000 + period);
    }
    for (const std::string& word : run.headerWords) EXPECT_NE(word, "t");
  }
}

TEST_F(PapProgram, PulsesSitOnTheSameWaveformPointEachCycle) {
  // Each pulse lands on the cycle's main excitation, so the phase within
  // the period is the same from cycle to cycle (within a sample).
  const int period = 100;
  PutWav(Wav(VoicedSignal(3200, 16000, 3200, period, 8000), 1, 16000));
  ProgramRun run = Execute(kScript);
  ASSERT_EQ(run.status, 0) << run.error;
  ASSERT_GT(run.times.size(), 100u);
  // The pulses of the first and last cycles (the switching) are left out.
  int phase = static_cast<int>(run.times[1] * 16000 - 3200) % period;
  for (size_t i = 1; i + 1 < run.times.size(); ++i) {
    EXPECT_NEAR(static_cast<int>(run.times[i] * 16000 - 3200) % period, phase, 1);
  }
}

TEST_F(PapProgram, PulsesAscendAcrossShortGaps) {
  // Voiced stretches of different periods with gaps of 5 to 40 ms.
  std::vector<int16_t> x;
  const int periods[] = {70, 90, 50, 110, 64};
  const int gaps[] = {80, 160, 320, 640, 4000};
  for (int k = 0; k < 5; ++k) {
    std::vector<int16_t> part = VoicedSignal(gaps[k], 3200, 0, periods[k], 7000);
    x.insert(x.end(), part.begin(), part.end());
  }
  PutWav(Wav(x, 1, 16000));
  ProgramRun run = Execute(kScript);
  ASSERT_EQ(run.status, 0) << run.error;
  EXPECT_GT(run.times.size(), 200u);
  for (double p : Periods(run, 16000)) EXPECT_GT(p, 20.0);
}

TEST_F(PapProgram, SilenceGivesAnEmptyPointProcess) {
  PutWav(Wav(std::vector<int16_t>(16000, 0), 1, 16000));
  ProgramRun run = Execute(kScript);
  EXPECT_EQ(run.status, 0) << run.error;
  EXPECT_TRUE(run.wroteOutput);
  EXPECT_TRUE(run.times.empty());
}

TEST_F(PapProgram, ScriptLineEndsCommentsAndStereoWithExtraChunks) {
  std::vector<int16_t> mono = VoicedSignal(1600, 8000, 1600, 64, 6000);
  std::vector<int16_t> stereo;
  for (int16_t s : mono) {
    stereo.push_back(s);
    stereo.push_back(s);
  }
  PutWav(Wav(stereo, 2, 16000, true));
  std::string crlf =
      "# a comment\r\n\r\nRead from file... in.wav  \r\n  #Play\r\nTo Pitch... 0.01 125 500\r\n"
      "To PointProcess\r\nWrite to text file... out.pointprocess\r\nselect all\r\nRemove\r\n";
  ProgramRun run = Execute(crlf);
  ASSERT_EQ(run.status, 0) << run.error;
  EXPECT_NEAR(static_cast<double>(run.times.size()), 8000.0 / 64, 4.0);
  for (double p : Periods(run, 16000)) EXPECT_NEAR(p, 64, 2.01);
}

TEST_F(PapProgram, UnusableScriptsAreRefusedBeforeAnyOutput) {
  PutWav(Wav(VoicedSignal(1600, 8000, 1600, 64, 6000), 1, 16000));
  const std::string bad[] = {
      std::string(kScript) + "\n\t\tPlay it again",
      "Read from file... in.wav\nTo Pitch... 0.01 500 125\nTo PointProcess\n"
      "Write to text file... out.pointprocess",
      "Read from file... in.wav\nTo Pitch... 0.01\nTo PointProcess\n"
      "Write to text file... out.pointprocess",
      "Read from file... in.wav\nTo PointProcess\nWrite to text file... out.pointprocess",
      "Write to text file... out.pointprocess",
      "Read from file...\n",
  };
  for (const std::string& script : bad) {
    ProgramRun run = Execute(script);
    EXPECT_NE(run.status, 0) << script;
    EXPECT_FALSE(run.wroteOutput) << script;
    EXPECT_FALSE(run.error.empty());
    EXPECT_EQ(run.error.find('\n'), run.error.size() - 1) << run.error;  // one line
  }
}

TEST_F(PapProgram, UnusableWavFilesAreRefused) {
  std::vector<int16_t> x = VoicedSignal(1600, 8000, 1600, 64, 6000);
  std::vector<uint8_t> eightBit = Wav(x, 1, 16000, false, 8);
  std::vector<uint8_t> threeChannels = Wav(std::vector<int16_t>(300, 0), 3, 16000);
  std::vector<uint8_t> notRiff = Wav(x, 1, 16000);
  notRiff[0] = 'X';
  std::vector<uint8_t> cut = Wav(x, 1, 16000);
  cut.resize(30);  // ends inside the format chunk
  std::vector<uint8_t> zeroRate = Wav(x, 1, 0);
  for (const auto& bytes : {eightBit, threeChannels, notRiff, cut, zeroRate}) {
    PutWav(bytes);
    ProgramRun run = Execute(kScript);
    EXPECT_NE(run.status, 0);
    EXPECT_FALSE(run.wroteOutput);
    EXPECT_FALSE(run.error.empty());
  }
  std::remove(dir_.File("in.wav").c_str());
  ProgramRun missing = Execute(kScript);
  EXPECT_NE(missing.status, 0);
  EXPECT_FALSE(missing.wroteOutput);
}

TEST_F(PapProgram, ADataChunkCutShortKeepsTheFramesPresent) {
  std::vector<uint8_t> bytes = Wav(VoicedSignal(1600, 8000, 1600, 64, 6000), 1, 16000);
  bytes.resize(bytes.size() - 4001);  // the data size now claims more than is there
  PutWav(bytes);
  ProgramRun run = Execute(kScript);
  ASSERT_EQ(run.status, 0) << run.error;
  EXPECT_GT(run.times.size(), 100u);
}

}  // namespace
}  // namespace talvox::test
