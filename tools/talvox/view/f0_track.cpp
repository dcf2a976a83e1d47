#include "f0_track.h"

#include <cstring>

#include "talvox.h"

namespace tvx::view {
namespace {

constexpr double kLowestVoiceHz = 40.0;  // longer periods are pauses between voiced runs

}  // namespace

std::vector<double> F0Track(const std::vector<int32_t>& peaks, const std::vector<int32_t>& periods, int rate) {
  std::vector<double> f0(peaks.empty() ? 0 : peaks.size() - 1, 0.0);
  int32_t count = GetElementNum();
  int32_t element = 0;
  int32_t start = 0, end = 0;
  char desc[104];
  for (size_t k = 0; k < f0.size(); k++) {
    while (element < count && GetElementSegment(element, &start, &end) && end <= peaks[k]) element++;
    if (element >= count) break;
    if (peaks[k] < start || peaks[k + 1] >= end) continue;
    if (GetElementDesc(element, desc) && std::strcmp(desc, "SIL") == 0) continue;
    int32_t source = peaks[k + 1] - peaks[k];
    int32_t period = k < periods.size() ? periods[k] : source;
    if (source <= 0 || source > rate / kLowestVoiceHz || period <= 0) continue;
    f0[k] = double(rate) / period;
  }
  return f0;
}

}  // namespace tvx::view
