#include "synthesis/half_window_cache.h"

#include <cmath>


namespace talvox {

namespace {
// The half windows' value of pi, short of full precision as in HanningRise.
constexpr double kHalfWindowPi = 3.14159;

std::vector<double>& Slot(std::vector<std::vector<double>>& table, int32_t n) {
  if (table.size() <= static_cast<size_t>(n)) table.resize(static_cast<size_t>(n) + 1);
  return table[static_cast<size_t>(n)];
}

void Weigh(int16_t* samples, int32_t n, const double* weights) {
  for (int32_t i = 0; i < n; ++i) samples[i] = static_cast<int16_t>(weights[i] * samples[i]);
}
}  // namespace

const double* HalfWindowCache::Rise(int32_t n) {
  if (n <= 0 || n > kLongestKept) return nullptr;
  std::vector<double>& weights = Slot(rise_, n);
  if (weights.empty()) {
    weights.resize(static_cast<size_t>(n));
    kept_ += weights.size();
    for (int32_t i = 0; i < n; ++i) weights[i] = 0.5 - 0.5 * std::cos(kHalfWindowPi * i / n);
  }
  return weights.data();
}

const double* HalfWindowCache::Fall(int32_t n) {
  if (n <= 0 || n > kLongestKept) return nullptr;
  std::vector<double>& weights = Slot(fall_, n);
  if (weights.empty()) {
    weights.resize(static_cast<size_t>(n));
    kept_ += weights.size();
    for (int32_t i = 0; i < n; ++i) {
      const double fraction = static_cast<double>(i) / n;
      weights[i] = 0.5 - 0.5 * std::cos((1 - fraction) * kHalfWindowPi);
    }
  }
  return weights.data();
}

void HalfWindowCache::Clear() {
  rise_.clear();
  fall_.clear();
  kept_ = 0;
}

void WeighRise(int16_t* samples, int32_t n, HalfWindowCache& cache) {
  if (const double* weights = cache.Rise(n)) {
    Weigh(samples, n, weights);
  } else if (n > 0) {
    cache.Long().WeighRise(samples, n);
  }
}

void WeighFall(int16_t* samples, int32_t n, HalfWindowCache& cache) {
  if (const double* weights = cache.Fall(n)) {
    Weigh(samples, n, weights);
  } else if (n > 0) {
    cache.Long().WeighFall(samples, n);
  }
}

}  // namespace talvox
