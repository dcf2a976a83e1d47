#include "plot_choices.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tvx {

std::vector<size_t> ThinnedPositions(const std::vector<double>& x, double minGap) {
  std::vector<size_t> kept;
  double last = -INFINITY;
  for (size_t i = 0; i < x.size(); i++) {
    if (x[i] - last < minGap) continue;
    kept.push_back(i);
    last = x[i];
  }
  return kept;
}

std::pair<double, double> SpeakerRange(std::vector<double> f0) {
  f0.erase(std::remove_if(f0.begin(), f0.end(), [](double v) { return !(v > 0); }), f0.end());
  if (f0.size() < 2) return {50.0, 400.0};
  std::sort(f0.begin(), f0.end());
  double low = f0[size_t(f0.size() * 0.02)], high = f0[std::min(f0.size() - 1, size_t(f0.size() * 0.98))];
  double bottom = std::max(20.0, std::floor(low * 0.8 / 10) * 10);
  double top = std::max(bottom + 20, std::ceil(high * 1.2 / 10) * 10);
  return {bottom, top};
}

int32_t AmplitudeFullScale(int32_t largestMagnitude) {
  int32_t scale = 1;
  while (scale < largestMagnitude && scale < 32768) scale *= 2;
  return scale;
}

double NiceStep(double span, double ticks) {
  double raw = span / std::max(1.0, ticks);
  if (!(raw > 0)) return 1.0;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0, 10.0})
    if (factor * power >= raw * (1 - 1e-9)) return factor * power;
  return 10 * power;
}

std::string TimeLabel(double seconds, double step) {
  char text[64];
  if (step >= 1 && seconds >= 3600) {
    long whole = std::lround(seconds);
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  } else if (step >= 1 && seconds >= 60) {
    long whole = std::lround(seconds);
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  } else {
    int decimals = std::clamp(int(-std::floor(std::log10(step) + 1e-9)), 0, 6);
    std::snprintf(text, sizeof text, "%.*f", decimals, seconds);
  }
  return text;
}

}  // namespace tvx
