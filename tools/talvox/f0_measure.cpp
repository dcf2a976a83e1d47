#include "f0_measure.h"

#include <cmath>

namespace tvx {
namespace {

constexpr double kFrameSeconds = 0.040;
constexpr double kLowestHz = 60, kHighestHz = 400;
constexpr double kLoudRms = 800;        // quieter frames are left out
constexpr double kPeriodicity = 0.5;    // normalised autocorrelation needed

}  // namespace

std::vector<FrameF0> AutocorrelationF0(const std::vector<int16_t>& samples, int rate) {
  std::vector<FrameF0> result;
  size_t length = static_cast<size_t>(kFrameSeconds * rate);
  size_t shortest = static_cast<size_t>(rate / kHighestHz), longest = static_cast<size_t>(rate / kLowestHz);
  std::vector<double> frame(length);
  for (size_t start = 0; start + length <= samples.size(); start += length / 2) {
    double mean = 0;
    for (size_t i = 0; i < length; i++) mean += samples[start + i];
    mean /= length;
    double energy = 0;
    for (size_t i = 0; i < length; i++) {
      frame[i] = samples[start + i] - mean;
      energy += frame[i] * frame[i];
    }
    if (std::sqrt(energy / length) < kLoudRms) continue;
    double best = 0;
    size_t bestLag = 0;
    for (size_t lag = shortest; lag <= longest && lag < length; lag++) {
      double sum = 0;
      for (size_t i = 0; i + lag < length; i++) sum += frame[i] * frame[i + lag];
      if (sum > best) {
        best = sum;
        bestLag = lag;
      }
    }
    if (bestLag == 0 || best / energy < kPeriodicity) continue;
    result.push_back({(start + length / 2.0) / rate, double(rate) / bestLag});
  }
  return result;
}

}  // namespace tvx
