#include "interval_f0.h"

#include <algorithm>
#include <cstring>

#include "talvox.h"

namespace tvx::view {
namespace {

constexpr double kLowestVoiceHz = 40.0;  // longer periods are pauses between voiced runs

}  // namespace

struct Stretch {
  int32_t start;
  int32_t end;
  bool silent;
};

std::vector<Stretch> ElementStretches() {
  std::vector<Stretch> stretches(size_t(std::max(0, GetElementNum())));
  char desc[104];
  for (size_t i = 0; i < stretches.size(); i++) {
    GetElementSegment(int32_t(i), &stretches[i].start, &stretches[i].end);
    stretches[i].silent = GetElementDesc(int32_t(i), desc) && std::strcmp(desc, "SIL") == 0;
  }
  return stretches;
}

std::vector<double> IntervalF0(const std::vector<int32_t>& peaks, const std::vector<int32_t>& periods, int rate) {
  std::vector<double> f0(peaks.empty() ? 0 : peaks.size() - 1, 0.0);
  std::vector<Stretch> elements = ElementStretches();
  size_t e = 0;
  for (size_t k = 0; k < f0.size(); k++) {
    while (e < elements.size() && elements[e].end <= peaks[k]) e++;
    if (e == elements.size()) break;
    const Stretch& element = elements[e];
    if (peaks[k] < element.start || peaks[k + 1] >= element.end || element.silent) continue;
    int32_t source = peaks[k + 1] - peaks[k];
    int32_t period = k < periods.size() ? periods[k] : source;
    if (source <= 0 || source > rate / kLowestVoiceHz || period <= 0) continue;
    f0[k] = double(rate) / period;
  }
  return f0;
}

}  // namespace tvx::view
