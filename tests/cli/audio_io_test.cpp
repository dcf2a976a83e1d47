// Audio of every common format through the command line: samples after the
// documented 16-bit conversion, outputs in the input's format, channels,
// rates, standard input, FIFOs and devices.
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>

#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

struct Sound {
  int format = 0;
  int rate = 0;
  int channels = 0;
  std::vector<double> samples;  // interleaved, full scale -1..1
};

Sound ReadSound(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) throw std::runtime_error(path + ": " + sf_strerror(nullptr));
  Sound sound{info.format, info.samplerate, info.channels, {}};
  sound.samples.resize(size_t(info.frames) * size_t(info.channels));
  sf_readf_double(file, sound.samples.data(), info.frames);
  sf_close(file);
  return sound;
}

// Writes 32-bit integers (left-justified, as libsndfile's int interface
// takes them) in the given format.
void WriteInts(const std::string& path, int format, int rate, int channels, const std::vector<int32_t>& samples) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_FALSE);
  sf_writef_int(file, samples.data(), sf_count_t(samples.size() / size_t(channels)));
  sf_close(file);
}

// The documented conversion of a full-scale value.
int16_t Expected16(double x) {
  double scaled = std::round(x * 32768.0);
  return static_cast<int16_t>(std::clamp(scaled, -32768.0, 32767.0));
}

std::vector<int32_t> Noise(size_t count, uint32_t seed) {
  std::vector<int32_t> out;
  for (size_t i = 0; i < count; i++) {
    seed = seed * 1664525u + 1013904223u;
    out.push_back(static_cast<int32_t>(seed & 0xFFFFFF00u));  // 24 significant bits
  }
  return out;
}

std::vector<int32_t> Widen(const std::vector<int16_t>& samples) {
  std::vector<int32_t> out;
  for (int16_t s : samples) out.push_back(int32_t(s) * 65536);
  return out;
}

RunResult RunWithInput(const std::vector<std::string>& args, const std::string& input) {
  test::TempDir scratch;
  std::string command = Quote(std::string(TALVOX_BINARY_DIR) + "/bin/talvox");
  for (const std::string& arg : args) command += " " + Quote(arg);
  command = "cat " + Quote(input) + " | " + command + " >" + Quote(scratch.File("out")) + " 2>" +
            Quote(scratch.File("err"));
  int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(scratch.File("out")), Slurp(scratch.File("err"))};
}

class CliAudio : public ::testing::Test {
 protected:
  test::TempDir dir;
};

TEST_F(CliAudio, LosslessFormatsComeBackInTheirOwnFormatWithTheConvertedSamples) {
  const int kFormats[] = {
      SF_FORMAT_WAV | SF_FORMAT_PCM_U8,    SF_FORMAT_WAV | SF_FORMAT_PCM_24,  SF_FORMAT_WAV | SF_FORMAT_PCM_32,
      SF_FORMAT_WAV | SF_FORMAT_FLOAT,     SF_FORMAT_WAV | SF_FORMAT_DOUBLE,  SF_FORMAT_WAV | SF_FORMAT_ULAW,
      SF_FORMAT_WAV | SF_FORMAT_ALAW,      SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, SF_FORMAT_RF64 | SF_FORMAT_PCM_16,
      SF_FORMAT_W64 | SF_FORMAT_PCM_24,    SF_FORMAT_AIFF | SF_FORMAT_PCM_16, SF_FORMAT_AIFF | SF_FORMAT_PCM_24,
      SF_FORMAT_FLAC | SF_FORMAT_PCM_24,   SF_FORMAT_FLAC | SF_FORMAT_PCM_16, SF_FORMAT_CAF | SF_FORMAT_PCM_32,
  };
  const int kRate = 48000, kChannels = 2;
  std::vector<int32_t> written = Noise(4000 * kChannels, 11);
  for (int format : kFormats) {
    SCOPED_TRACE(format);
    std::string in = dir.File("in.data"), out = dir.File("out.data");
    WriteInts(in, format, kRate, kChannels, written);
    Sound input = ReadSound(in);  // what the file really holds after its own encoding
    // "copy" changes no sample: the output is the input as talvox read it.
    RunResult run = RunTalvox({"edit", in, "-o", out, "copy", "0:2s"});
    ASSERT_EQ(run.status, 0) << run.err;
    Sound output = ReadSound(out);
    EXPECT_EQ(output.format, input.format);
    EXPECT_EQ(output.rate, kRate);
    ASSERT_EQ(output.channels, kChannels);
    ASSERT_EQ(output.samples.size(), input.samples.size());
    size_t wrong = 0;
    for (size_t i = 0; i < input.samples.size(); i++) {
      int16_t expected = Expected16(input.samples[i]);
      // Companded encodings store the 16-bit value to their own precision.
      bool companded = (format & SF_FORMAT_SUBMASK) == SF_FORMAT_ULAW || (format & SF_FORMAT_SUBMASK) == SF_FORMAT_ALAW;
      int16_t got = Expected16(output.samples[i]);
      if (companded ? got != Expected16(input.samples[i]) : output.samples[i] != expected / 32768.0) wrong++;
    }
    EXPECT_EQ(wrong, 0u);
    bool exact = (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    EXPECT_EQ(run.err.find("read as 16-bit") != std::string::npos, !exact) << run.err;
  }
}

TEST_F(CliAudio, InfoNamesTheRealFormatAndAgreesWithTheCommands) {
  std::vector<int32_t> samples = Noise(1600, 5);
  WriteInts(dir.File("u.wav"), SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 1, samples);
  WriteInts(dir.File("big.rf64"), SF_FORMAT_RF64 | SF_FORMAT_PCM_24, 96000, 1, samples);
  RunResult info = RunTalvox({"info", dir.File("u.wav"), dir.File("big.rf64")});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("mu-law, 8000 Hz, mono"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("24-bit PCM, 96000 Hz, mono"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("container: RF64"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("length:    1600 samples"), std::string::npos) << info.out;

  // Not audio at all: info and every command refuse it with the same words.
  test::WriteBytes(dir.File("notes.wav"), {'n', 'o', 't', 'e', 's', '\n', 0, 1, 2, 3, 4, 5});
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"info", dir.File("notes.wav")},
        {"analyze", dir.File("notes.wav")},
        {"resynth", dir.File("notes.wav"), "-o", dir.File("o.wav"), "--f0", "100"},
        {"plot", dir.File("notes.wav"), "-o", dir.File("o.svg")}}) {
    RunResult run = RunTalvox(args);
    EXPECT_EQ(run.status, 1) << args[0];
    EXPECT_NE(run.err.find("not an audio file talvox can read"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("sox '" + dir.File("notes.wav") + "' -b 16 converted.wav"), std::string::npos) << run.err;
  }
  EXPECT_FALSE(test::FileExists(dir.File("o.wav")));
}

TEST_F(CliAudio, LossyContainersAreReadAndKept) {
  Wav speech = TwoSyllables(48000, 480, 4800, 19200);
  for (const std::string name : {"x.ogg", "x.opus", "x.mp3"}) {
    SCOPED_TRACE(name);
    int format = name == "x.ogg" ? SF_FORMAT_OGG | SF_FORMAT_VORBIS
                 : name == "x.opus" ? SF_FORMAT_OGG | SF_FORMAT_OPUS
                                    : SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    WriteInts(dir.File(name), format, 48000, 1, Widen(speech.samples));
    RunResult run = RunTalvox({"resynth", dir.File(name), "-o", dir.File("out-" + name), "--f0", "150"});
    ASSERT_EQ(run.status, 0) << run.err;
    Sound out = ReadSound(dir.File("out-" + name));
    EXPECT_EQ(out.format & SF_FORMAT_TYPEMASK, format & SF_FORMAT_TYPEMASK);
    EXPECT_EQ(out.format & SF_FORMAT_SUBMASK, format & SF_FORMAT_SUBMASK);
    EXPECT_EQ(out.rate, 48000);
  }
}

TEST_F(CliAudio, FormatAndBitsChooseTheOutput) {
  WriteWav(dir.File("in.wav"), TwoSyllables(16000, 128, 1600, 6400));
  ASSERT_EQ(RunTalvox({"collect", dir.File("in.wav"), "-o", dir.File("out.flac")}).status, 0);
  EXPECT_EQ(ReadSound(dir.File("out.flac")).format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  ASSERT_EQ(RunTalvox({"collect", dir.File("in.wav"), "-o", dir.File("o.x"), "--format", "aiff", "--bits", "24"}).status, 0);
  EXPECT_EQ(ReadSound(dir.File("o.x")).format & ~SF_FORMAT_ENDMASK, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
  ASSERT_EQ(RunTalvox({"collect", dir.File("in.wav"), "-o", dir.File("f.wav"), "--bits", "float"}).status, 0);
  Sound floating = ReadSound(dir.File("f.wav"));
  EXPECT_EQ(floating.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  for (double x : floating.samples) EXPECT_LE(std::fabs(x), 1.0);  // scaled, not raw 16-bit numbers
  RunResult bad = RunTalvox({"collect", dir.File("in.wav"), "-o", dir.File("b.wav"), "--bits", "12"});
  EXPECT_EQ(bad.status, 2);
  RunResult unwritable = RunTalvox({"collect", dir.File("in.wav"), "-o", dir.File("b.flac"), "--bits", "float"});
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_NE(unwritable.err.find("cannot write 32-bit float FLAC"), std::string::npos) << unwritable.err;
}

TEST_F(CliAudio, AnyChannelCountAndTheMonoMix) {
  const int kRate = 16000, kChannels = 4;
  Wav voice = TwoSyllables(kRate, 128, 1600, 8000);
  std::vector<int32_t> frames;
  for (int16_t s : voice.samples)
    for (int c = 0; c < kChannels; c++) frames.push_back(c == 2 ? int32_t(s) * 65536 : c == 3 ? 65536 * 5 : 0);
  WriteInts(dir.File("four.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, kChannels, frames);

  RunResult voiced = RunTalvox({"analyze", dir.File("four.wav"), "--channel", "2", "--json"});
  ASSERT_EQ(voiced.status, 0) << voiced.err;
  EXPECT_NE(voiced.out.find("\"channels\": 4"), std::string::npos);
  EXPECT_EQ(voiced.out.find("\"marks\": 0, \"elements\""), std::string::npos) << voiced.out;
  RunResult missing = RunTalvox({"analyze", dir.File("four.wav"), "--channel", "4"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("has no channel 4 (it is 4 channels"), std::string::npos) << missing.err;

  // Every channel is resynthesised with the marks of the analysed one.
  RunResult run = RunTalvox({"resynth", dir.File("four.wav"), "--channel", "2", "-o", dir.File("out.wav"), "--f0", "160"});
  ASSERT_EQ(run.status, 0) << run.err;
  Sound out = ReadSound(dir.File("out.wav"));
  ASSERT_EQ(out.channels, kChannels);
  size_t frameCount = out.samples.size() / kChannels;
  EXPECT_EQ(frameCount, voice.samples.size());  // the timing is kept
  double loudness[kChannels] = {0, 0, 0, 0};
  for (size_t i = 0; i < frameCount; i++)
    for (int c = 0; c < kChannels; c++) loudness[c] += std::fabs(out.samples[i * kChannels + c]);
  EXPECT_EQ(loudness[0], 0.0);
  EXPECT_GT(loudness[2], 100.0);
  EXPECT_GT(loudness[3], 0.0);

  ASSERT_EQ(RunTalvox({"collect", dir.File("four.wav"), "--mix", "-o", dir.File("mix.wav")}).status, 0);
  EXPECT_EQ(ReadSound(dir.File("mix.wav")).channels, 1);
  EXPECT_EQ(RunTalvox({"collect", dir.File("four.wav"), "--mix", "--channel", "1", "-o", dir.File("x.wav")}).status, 2);
}

TEST_F(CliAudio, HighRatesGiveTheMarksOfTheLowRate) {
  Wav low = TwoSyllables(16000, 160, 1600, 8000);
  WriteWav(dir.File("low.wav"), low);
  // The same speech at 96 kHz: six samples for each of the original.
  Wav high{96000, 1, {}};
  for (size_t i = 0; i + 1 < low.samples.size(); i++)
    for (int k = 0; k < 6; k++)
      high.samples.push_back(static_cast<int16_t>(low.samples[i] + (low.samples[i + 1] - low.samples[i]) * k / 6));
  WriteWav(dir.File("high.wav"), high);
  RunResult a = RunTalvox({"analyze", dir.File("low.wav"), "--marks", "internal", "-o", dir.File("low.peaks")});
  RunResult b = RunTalvox({"analyze", dir.File("high.wav"), "--marks", "internal", "-o", dir.File("high.peaks")});
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  auto peaks = [](const std::string& path) {
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    auto u32 = [&](size_t at) { return uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24); };
    std::vector<int32_t> out;
    for (uint32_t k = 0; k < u32(32); k++) out.push_back(int32_t(u32(36 + 4 * k)));
    return out;
  };
  std::vector<int32_t> lowPeaks = peaks(dir.File("low.peaks")), highPeaks = peaks(dir.File("high.peaks"));
  ASSERT_GT(lowPeaks.size(), 80u);
  EXPECT_NEAR(double(highPeaks.size()), double(lowPeaks.size()), 2.0);
  size_t close = 0;
  for (int32_t p : highPeaks) {
    EXPECT_EQ(p % 6, 0);  // mapped back from the decimated copy exactly
    for (int32_t q : lowPeaks) close += std::abs(p - 6 * q) <= 6;
  }
  EXPECT_GE(close, highPeaks.size() - 2);
  // The decimated copy is not dithered: the same file gets the same marks
  // every time.
  for (int again = 0; again < 3; again++) {
    ASSERT_EQ(RunTalvox({"analyze", dir.File("high.wav"), "--marks", "internal", "-o", dir.File("again.peaks")}).status, 0);
    EXPECT_EQ(peaks(dir.File("again.peaks")), highPeaks);
  }
}

TEST_F(CliAudio, StandardInputAndRawLayouts) {
  WriteWav(dir.File("in.wav"), TwoSyllables(16000, 128, 1600, 6400));
  RunResult info = RunWithInput({"info", "-"}, dir.File("in.wav"));
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("standard input\n  format:    16-bit PCM, 16000 Hz, mono"), std::string::npos) << info.out;
  RunResult fromPipe = RunWithInput({"analyze", "-", "--json"}, dir.File("in.wav"));
  RunResult fromFile = RunTalvox({"analyze", dir.File("in.wav"), "--json"});
  ASSERT_EQ(fromPipe.status, 0) << fromPipe.err;
  EXPECT_EQ(fromPipe.out.substr(fromPipe.out.find("\"rate\"")), fromFile.out.substr(fromFile.out.find("\"rate\"")));

  std::vector<uint8_t> wav = test::ReadBytes(dir.File("in.wav"));
  test::WriteBytes(dir.File("in.raw"), std::vector<uint8_t>(wav.begin() + 44, wav.end()));
  RunResult raw = RunTalvox({"analyze", dir.File("in.raw"), "--raw", "16000,1,s16", "--json"});
  ASSERT_EQ(raw.status, 0) << raw.err;
  EXPECT_EQ(raw.out.substr(raw.out.find("\"rate\"")), fromFile.out.substr(fromFile.out.find("\"rate\"")));
  EXPECT_EQ(RunTalvox({"info", dir.File("in.raw"), "--raw", "16000,1,s12"}).status, 2);
  EXPECT_EQ(RunWithInput({"info", "-"}, "/dev/null").status, 1);
}

TEST_F(CliAudio, FifosAndDevicesNeverHang) {
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  auto start = std::chrono::steady_clock::now();
  RunResult nobody = RunTalvox({"info", dir.File("pipe")});
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(nobody.status, 1);
  EXPECT_NE(nobody.err.find("nothing was written to this FIFO"), std::string::npos) << nobody.err;
  EXPECT_LT(seconds, 10.0);

  WriteWav(dir.File("in.wav"), TwoSyllables(16000, 128, 1600, 6400));
  std::string writer = "cat " + Quote(dir.File("in.wav")) + " > " + Quote(dir.File("pipe")) + " &";
  ASSERT_EQ(std::system(writer.c_str()), 0);
  RunResult fed = RunTalvox({"analyze", dir.File("pipe")});
  EXPECT_EQ(fed.status, 0) << fed.err;

  RunResult device = RunTalvox({"info", "/dev/zero"});
  EXPECT_EQ(device.status, 1);
  EXPECT_NE(device.err.find("is a device"), std::string::npos) << device.err;
}

}  // namespace
}  // namespace talvox::cli_test
