#include "speech_files.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace speechgen {

namespace {

void Put(std::ofstream& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, int sampleRate) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const uint32_t dataBytes = static_cast<uint32_t>(2 * samples.size());
  out.write("RIFF", 4);
  Put(out, 36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  Put(out, 16, 4);
  Put(out, 1, 2);
  Put(out, 1, 2);
  Put(out, static_cast<uint32_t>(sampleRate), 4);
  Put(out, 2 * static_cast<uint32_t>(sampleRate), 4);
  Put(out, 2, 2);
  Put(out, 16, 2);
  out.write("data", 4);
  Put(out, dataBytes, 4);
  for (int16_t s : samples) Put(out, static_cast<uint16_t>(s), 2);
  return static_cast<bool>(out);
}

bool WriteClosures(const std::string& path, const std::vector<Closure>& closures, int sampleRate) {
  std::ofstream out(path, std::ios::trunc);
  out.precision(9);
  for (const Closure& c : closures) out << c.sample / sampleRate << ' ' << c.run << '\n';
  return static_cast<bool>(out);
}

bool ReadClosures(const std::string& path, int sampleRate, std::vector<Closure>& closures) {
  std::ifstream in(path);
  if (!in) return false;
  closures.clear();
  double seconds = 0;
  int run = 0;
  while (in >> seconds >> run) closures.push_back({seconds * sampleRate, run});
  return true;
}

bool ReadMarks(const std::string& path, int sampleRate, std::vector<double>& marks) {
  std::ifstream in(path);
  if (!in) return false;
  marks.clear();
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string first, index, equals;
    double value = 0;
    if (!(words >> first)) continue;
    if (first == "t") {
      if (words >> index >> equals >> value && equals == "=") marks.push_back(value * sampleRate);
    } else {
      std::istringstream number(first);
      if (number >> value && number.eof()) marks.push_back(value);
    }
  }
  return true;
}

}  // namespace speechgen
