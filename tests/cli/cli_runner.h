// Helpers for the end-to-end tests: run the built talvox binary, write and
// read WAV files byte by byte, and measure F0 independently of the library.
#pragma once

#include <dirent.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_support.h"

namespace talvox::cli_test {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

struct Wav {
  int rate = 0;
  int channels = 0;
  std::vector<int16_t> samples;  // interleaved
  size_t Frames() const { return channels ? samples.size() / channels : 0; }
};


inline std::string Quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}


inline RunResult RunTalvox(const std::vector<std::string>& args) {
  test::TempDir scratch;
  std::string outPath = scratch.File("out"), errPath = scratch.File("err");
  std::string command = Quote(std::string(TALVOX_BINARY_DIR) + "/bin/talvox");
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " >" + Quote(outPath) + " 2>" + Quote(errPath) + " </dev/null";
  int raw = std::system(command.c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = Slurp(outPath);
  result.err = Slurp(errPath);
  return result;
}

inline void WriteWav(const std::string& path, const Wav& wav) {
  std::vector<uint8_t> bytes;
  uint32_t dataBytes = static_cast<uint32_t>(wav.samples.size() * 2);
  test::PutTag(bytes, "RIFF");
  test::PutU32(bytes, 36 + dataBytes);
  test::PutTag(bytes, "WAVE");
  test::PutTag(bytes, "fmt ");
  test::PutU32(bytes, 16);
  test::PutU16(bytes, 1);
  test::PutU16(bytes, static_cast<uint16_t>(wav.channels));
  test::PutU32(bytes, static_cast<uint32_t>(wav.rate));
  test::PutU32(bytes, static_cast<uint32_t>(wav.rate * 2 * wav.channels));
  test::PutU16(bytes, static_cast<uint16_t>(2 * wav.channels));
  test::PutU16(bytes, 16);
  test::PutTag(bytes, "data");
  test::PutU32(bytes, dataBytes);
  for (int16_t sample : wav.samples) test::PutU16(bytes, static_cast<uint16_t>(sample));
  test::WriteBytes(path, bytes);
}

inline Wav ReadWav(const std::string& path) {
  std::vector<uint8_t> bytes = test::ReadBytes(path);
  if (bytes.size() < 44) throw std::runtime_error(path + ": too short for a WAV file");
  auto u16 = [&](size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); };
  auto u32 = [&](size_t at) { return static_cast<uint32_t>(u16(at) | u16(at + 2) << 16); };
  Wav wav;
  wav.channels = u16(22);
  wav.rate = static_cast<int>(u32(24));
  uint32_t dataBytes = u32(40);
  if (44 + size_t(dataBytes) > bytes.size()) throw std::runtime_error(path + ": data chunk runs past the file");
  for (size_t at = 44; at + 1 < 44 + size_t(dataBytes); at += 2) wav.samples.push_back(static_cast<int16_t>(u16(at)));
  return wav;
}

inline Wav TwoSyllables(int rate, int period, int silence, int voiced) {
  Wav wav;
  wav.rate = rate;
  wav.channels = 1;
  std::vector<int16_t> first = test::VoicedSignal(silence, voiced, 0, period, 12000);
  std::vector<int16_t> second = test::VoicedSignal(silence, voiced, silence, period, 12000);
  wav.samples = first;
  wav.samples.insert(wav.samples.end(), second.begin(), second.end());
  return wav;
}

inline double AutocorrelationF0(const std::vector<int16_t>& mono, int rate, size_t begin, size_t end) {
  size_t shortest = static_cast<size_t>(rate / 500), longest = static_cast<size_t>(rate / 50);
  std::vector<double> score(longest + 2, 0.0);
  for (size_t lag = shortest - 1; lag <= longest + 1; lag++) {
    double cross = 0, energyA = 0, energyB = 0;
    for (size_t i = begin; i + lag < end; i++) {
      cross += double(mono[i]) * mono[i + lag];
      energyA += double(mono[i]) * mono[i];
      energyB += double(mono[i + lag]) * mono[i + lag];
    }
    score[lag] = energyA > 0 && energyB > 0 ? cross / std::sqrt(energyA * energyB) : 0;
  }
  // The first lag whose score comes near the best one: the fundamental, not a multiple.
  double best = 0;
  for (size_t lag = shortest; lag <= longest; lag++) best = std::max(best, score[lag]);
  size_t chosen = shortest;
  for (size_t lag = shortest; lag <= longest; lag++) {
    if (score[lag] >= 0.9 * best && score[lag] >= score[lag - 1] && score[lag] >= score[lag + 1]) {
      chosen = lag;
      break;
    }
  }
  double a = score[chosen - 1], b = score[chosen], c = score[chosen + 1];
  double shift = (a - 2 * b + c) != 0 ? 0.5 * (a - c) / (a - 2 * b + c) : 0;
  return rate / (chosen + shift);
}

inline std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  DIR* folder = opendir(path.c_str());
  if (!folder) return names;
  while (dirent* entry = readdir(folder)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
  return names;
}

}  // namespace talvox::cli_test
