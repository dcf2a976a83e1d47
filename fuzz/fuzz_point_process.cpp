// The point-process text that pap.exe writes, read as the library reads it,
// then turned into sample positions and snapped onto a fixed signal's
// half-waves as _CalculatePeak does. Every time comes from a line "t <word>
// = <number>"; every mark lies inside the signal or is the unsnapped
// position itself.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "pitch/external_pitch.h"

namespace {

using talvox::fuzz::Check;

constexpr int32_t kRate = 16000;

const std::vector<int16_t>& Signal() {
  static const std::vector<int16_t> signal = [] {
    std::vector<int16_t> s(1600);
    for (size_t i = 0; i < s.size(); ++i) {
      s[i] = static_cast<int16_t>(9000 * std::sin(6.2831854 * static_cast<double>(i) / 100.0));
    }
    return s;
  }();
  return signal;
}

size_t LineCount(const uint8_t* data, size_t size) {
  size_t lines = 1;
  for (size_t i = 0; i < size; ++i) lines += data[i] == '\n' || data[i] == '\r';
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = talvox::fuzz::WriteInput(data, size, "temp.pointprocess");
  std::vector<float> times;
  const int32_t count = talvox::ReadPointProcess(path.c_str(), times);
  Check(count == static_cast<int32_t>(times.size()), "count differs from the times kept");
  Check(times.size() <= LineCount(data, size), "more times than lines");

  // The in-memory parser gives the same times as the file reader.
  std::vector<float> again;
  talvox::ParsePointProcess(reinterpret_cast<const char*>(data), size, again);
  Check(again.size() == times.size() &&
            (times.empty() ||
             std::memcmp(again.data(), times.data(), times.size() * sizeof(float)) == 0),
        "parsing the text in memory differs from reading the file");

  const std::vector<int16_t>& signal = Signal();
  const auto length = static_cast<int32_t>(signal.size());
  std::vector<int32_t> positions = talvox::TimesToSamples(times, kRate);
  Check(positions.size() <= times.size(), "more positions than times");
  std::vector<int32_t> marks =
      talvox::SnapToHumps(positions, talvox::RawHumpAreas(signal.data(), length));
  Check(marks.size() <= positions.size(), "more marks than positions");
  for (size_t i = 1; i < marks.size(); ++i)
    Check(marks[i] != marks[i - 1], "a repeated mark was kept");
  for (int32_t mark : marks) {
    bool inside = mark >= 0 && mark < length;
    bool unsnapped = std::find(positions.begin(), positions.end(), mark) != positions.end();
    Check(inside || unsnapped, "a mark outside the signal that no time gave");
  }
  return 0;
}
