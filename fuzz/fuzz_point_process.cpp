// The point-process reader and the snapping on arbitrary text: the first
// bytes make a small signal, the rest is the text pap.exe would have written.
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "pitch/external_pitch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t signalBytes = size < 256 ? size & ~static_cast<size_t>(1) : 256;
  std::vector<int16_t> signal(signalBytes / 2);
  for (size_t i = 0; i < signal.size(); ++i) {
    signal[i] = static_cast<int16_t>(data[2 * i] | data[2 * i + 1] << 8);
  }
  std::string path = talvox::fuzz::WriteInput(data + signalBytes, size - signalBytes,
                                              "input.pointprocess");
  std::vector<float> times;
  int32_t count = talvox::ReadPointProcess(path.c_str(), times);
  if (count != static_cast<int32_t>(times.size())) __builtin_trap();
  const int32_t length = static_cast<int32_t>(signal.size());
  std::vector<int32_t> positions = talvox::TimesToSamples(times, 16000);
  std::vector<int32_t> marks =
      talvox::SnapToHumps(positions, talvox::RawHumpAreas(signal.data(), length));
  if (marks.size() > positions.size()) __builtin_trap();
  return 0;
}
