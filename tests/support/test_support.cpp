#include "test_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace talvox::test {

void DocumentTest::SetUp() {
  InitWaveFileProc();
  InitTalvox();
  InitSpeechBackup();
}

void DocumentTest::TearDown() {
  FreeSpeechBackup();
  FreeTalvox();
  FreeWaveFileProc();
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "talvox-test-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    ADD_FAILURE() << "cannot create a temporary folder";
  }
  path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

void LoadSignal(const std::vector<int16_t>& samples, int channels, int rate) {
  TvxWaveHeader* header = GetWaveFileHead();
  header->channels = static_cast<uint16_t>(channels);
  header->samplesPerSec = static_cast<uint32_t>(rate);
  header->blockAlign = static_cast<uint16_t>(2 * channels);
  header->avgBytesPerSec = static_cast<uint32_t>(rate * 2 * channels);
  int32_t frames = static_cast<int32_t>(samples.size()) / channels;
  ASSERT_EQ(SetDataBuffer(channels == 2 ? 2 : 0, samples.data(), frames), 1);
  SetChannels(static_cast<uint16_t>(channels));
  ASSERT_EQ(GetWaveLength(), frames);
}

std::vector<int16_t> VoicedSignal(int silenceBefore, int voiced, int silenceAfter, int period,
                                  int amplitude) {
  std::vector<int16_t> out(static_cast<size_t>(silenceBefore + voiced + silenceAfter), 0);
  const double kTwoPi = 6.283185307179586;
  for (int i = 0; i < voiced; ++i) {
    double phase = kTwoPi * (i % period) / period;
    double value = 0;
    for (int h = 1; h <= 6; ++h) value += std::sin(h * phase) / h;
    out[static_cast<size_t>(silenceBefore + i)] = static_cast<int16_t>(amplitude * value / 1.9);
  }
  return out;
}

}  // namespace talvox::test
