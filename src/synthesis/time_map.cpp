#include "synthesis/time_map.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace talvox {

namespace {
constexpr int64_t kLongestOutput = std::numeric_limits<int32_t>::max();

// Linear between the knots around x (held at the ends); the fraction form
// lands exactly on a knot's value at the knot.
double Interpolate(const std::vector<double>& from, const std::vector<double>& to, double x) {
  if (x <= from.front()) return to.front() + (x - from.front());
  if (x >= from.back()) return to.back() + (x - from.back());
  const size_t i = static_cast<size_t>(std::upper_bound(from.begin(), from.end(), x) - from.begin());
  const double fraction = (x - from[i - 1]) / (from[i] - from[i - 1]);
  return to[i - 1] + fraction * (to[i] - to[i - 1]);
}
}  // namespace

std::optional<TimeMap> TimeMap::Scaled(int32_t length, float scale) {
  if (length <= 0 || !std::isfinite(scale) || scale <= 0 || scale > kLargestScale) return std::nullopt;
  const int64_t output = std::max<int64_t>(1, std::llround(static_cast<double>(length) * scale));
  if (output > kLongestOutput) return std::nullopt;
  TimeMap map;
  map.source_ = {0.0, static_cast<double>(length)};
  map.output_ = {0.0, static_cast<double>(output)};
  return map;
}

std::optional<TimeMap> TimeMap::Through(int32_t length, const int32_t* sourcePoints,
                                        const int32_t* outputPoints, int32_t count) {
  if (length <= 0 || count < 0) return std::nullopt;
  if (count > 0 && (sourcePoints == nullptr || outputPoints == nullptr)) return std::nullopt;
  TimeMap map;
  map.source_.push_back(0.0);
  map.output_.push_back(0.0);
  int64_t lastSource = 0, lastOutput = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int64_t s = sourcePoints[i], o = outputPoints[i];
    if (s <= lastSource || o <= lastOutput || s > length) return std::nullopt;
    if (s == length && i != count - 1) return std::nullopt;
    map.source_.push_back(static_cast<double>(s));
    map.output_.push_back(static_cast<double>(o));
    lastSource = s;
    lastOutput = o;
  }
  if (lastSource < length) {
    lastOutput += length - lastSource;
    map.source_.push_back(static_cast<double>(length));
    map.output_.push_back(static_cast<double>(lastOutput));
  }
  if (lastOutput > kLongestOutput) return std::nullopt;
  return map;
}

double TimeMap::Forward(double sourcePosition) const {
  return Interpolate(source_, output_, sourcePosition);
}

double TimeMap::Inverse(double outputPosition) const {
  return Interpolate(output_, source_, outputPosition);
}

}  // namespace talvox
