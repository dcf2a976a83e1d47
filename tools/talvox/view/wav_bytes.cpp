#include "wav_bytes.h"

#include <cstring>

namespace tvx::view {
namespace {

void Put32(std::string& out, uint32_t value) {
  for (int b = 0; b < 4; b++) out += char((value >> (8 * b)) & 0xff);
}
void Put16(std::string& out, uint16_t value) {
  for (int b = 0; b < 2; b++) out += char((value >> (8 * b)) & 0xff);
}

}  // namespace

std::string WavBytes(const std::vector<int16_t>& frames, int channels, int rate) {
  uint32_t dataBytes = uint32_t(frames.size() * 2);
  std::string out;
  out.reserve(44 + dataBytes);
  out += "RIFF";
  Put32(out, 36 + dataBytes);
  out += "WAVEfmt ";
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, uint16_t(channels));
  Put32(out, uint32_t(rate));
  Put32(out, uint32_t(rate * channels * 2));
  Put16(out, uint16_t(channels * 2));
  Put16(out, 16);
  out += "data";
  Put32(out, dataBytes);
  for (int16_t s : frames) Put16(out, uint16_t(s));
  return out;
}

}  // namespace tvx::view
