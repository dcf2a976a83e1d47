// Shared helpers for the test programs: a fresh document per test, private
// temporary folders, and small file utilities.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "talvox.h"

namespace talvox::test {

// Sets up the wave buffer, the document and the clipboard as a host would,
// and releases them after the test.
class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// A private folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);

// Little-endian appenders for building file images by hand.
void PutU16(std::vector<uint8_t>& out, uint16_t value);
void PutU32(std::vector<uint8_t>& out, uint32_t value);
void PutTag(std::vector<uint8_t>& out, const char* tag);  // 4 characters

// Loads samples into the wave buffer through the exports: mono, or stereo
// from interleaved frames when channels is 2.
void LoadSignal(const std::vector<int16_t>& samples, int channels, int rate);

// A voiced test signal: glottal-like pulses (a sum of harmonics with falling
// amplitudes) at a fixed period in samples, between stretches of silence.
std::vector<int16_t> VoicedSignal(int silenceBefore, int voiced, int silenceAfter, int period,
                                  int amplitude);

}  // namespace talvox::test
