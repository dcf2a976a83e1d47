// The median over a run of pitch periods, shared by the command's planning
// of periods and the benchmark that measures it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tvx {

// The median of value(j) over 2 reach + 1 intervals around k in its run of
// pitch periods (value(j) > 0 there), fewer where the run is shorter. The
// window is moved inward at the run's ends, so an edge interval (where
// trackers read least surely) is outvoted too.
template <typename Value>
double RunMedian(size_t k, size_t count, size_t reach, Value value) {
  size_t first = k, last = k;
  while (first > 0 && k - first < 2 * reach && value(first - 1) > 0) --first;
  while (last + 1 < count && last - k < 2 * reach && value(last + 1) > 0) ++last;
  const size_t latestStart = last - std::min(last - first, 2 * reach);
  const size_t from = std::min(k - std::min(k - first, reach), latestStart);
  const size_t to = std::min(last, from + 2 * reach);
  std::vector<double> near;
  for (size_t j = from; j <= to; ++j) near.push_back(value(j));
  const auto middle = near.begin() + static_cast<std::ptrdiff_t>(near.size() / 2);
  std::nth_element(near.begin(), middle, near.end());
  return *middle;
}

}  // namespace tvx
