#include "synthesis/cycle_alignment.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "synthesis/sample_products.h"

namespace talvox {

namespace {
// How far a mark may move from itself or from one local period after its
// aligned predecessor, as a share of the local period.
constexpr double kLargestMove = 0.2;
// The first search looks at every this many positions.
constexpr int32_t kCoarseStep = 2;
// Moves of at most this many samples are left to the sub-sample placement.
constexpr int32_t kSmallestMove = 1;
// A weaker match than this is no evidence against the mark.
constexpr double kConvincingMatch = 0.7;
// The local period: the median distance over this many intervals either side.
constexpr size_t kPeriodReach = 4;

int32_t LocalPeriod(const std::vector<int32_t>& at, size_t first, size_t last, size_t k) {
  std::array<int32_t, 2 * kPeriodReach + 1> distances{};
  const size_t from = std::max(first + 1, k >= kPeriodReach ? k - kPeriodReach : 0);
  const size_t to = std::min(last, k + kPeriodReach);
  size_t count = 0;
  for (size_t j = from; j <= to; ++j) distances[count++] = at[j] - at[j - 1];
  const auto middle = distances.begin() + static_cast<std::ptrdiff_t>(count / 2);
  std::nth_element(distances.begin(), middle, distances.begin() + static_cast<std::ptrdiff_t>(count));
  return *middle;
}

int64_t Energy(const int16_t* x, int32_t n) { return SampleProductSum(x, x, n); }

// The position within [from, to] whose period-long window best matches the
// one at reference (both windows start half a period before their mark), or
// -1 where no window matches convincingly. Every second position first (a
// match changes little from one sample to the next), then the two beside
// the best of those.
int32_t BestMatch(const int16_t* source, int32_t reference, int32_t from, int32_t to,
                  int32_t period) {
  const int32_t half = period / 2;
  const int16_t* x = source + reference - half;
  const double xx = static_cast<double>(Energy(x, period));
  auto match = [&](int32_t c, int64_t yy) {
    return static_cast<double>(SampleProductSum(x, source + c - half, period)) /
           std::sqrt(xx * static_cast<double>(yy) + 1.0);
  };
  auto square = [&](int32_t i) { return int64_t{source[i]} * source[i]; };
  double best = kConvincingMatch;
  int32_t place = -1, coarse = -1;
  double coarseBest = -2;
  int64_t yy = Energy(source + from - half, period);
  for (int32_t c = from; c <= to; c += kCoarseStep) {
    const double m = match(c, yy);
    if (m > coarseBest) {
      coarseBest = m;
      coarse = c;
    }
    if (c + kCoarseStep > to) break;
    for (int32_t s = 0; s < kCoarseStep; ++s) yy += square(c - half + period + s) - square(c - half + s);
  }
  for (int32_t c = std::max(from, coarse - 1); c <= std::min(to, coarse + 1); ++c) {
    const double m = c == coarse ? coarseBest : match(c, Energy(source + c - half, period));
    if (m > best) {
      best = m;
      place = c;
    }
  }
  return place;
}

void AlignRun(const int16_t* source, int32_t length, const std::vector<int32_t>& at, size_t first,
              size_t last, std::vector<int32_t>& aligned) {
  for (size_t k = first + 1; k <= last; ++k) {
    const int32_t period = LocalPeriod(at, first, last, k);
    const int32_t half = period / 2;
    const int32_t reach = static_cast<int32_t>(kLargestMove * period);
    // Around the mark and around one period after its aligned predecessor:
    // a mark set off its cycle's phase (an irregular pulse won the mark)
    // is found again where the cycle continues.
    const int32_t next = aligned[k - 1] + period;
    const int32_t from = std::max(std::min(at[k], next) - reach, aligned[k - 1] + half + 1);
    const int32_t to = std::max(at[k], next) + reach;
    if (period < 4 || aligned[k - 1] - half < 0 || from - half < 0 || to - half + period >= length ||
        from > to) {
      continue;
    }
    const int32_t place = BestMatch(source, aligned[k - 1], from, to, period);
    // Whole-sample differences are rounding, which the sub-sample placement
    // of the grains takes care of.
    if (place >= 0 && std::abs(place - at[k]) > kSmallestMove) aligned[k] = place;
  }
  // A mark left in place may now stand behind a moved predecessor (doubled
  // marks); such a run keeps its marks as they were.
  for (size_t k = first + 1; k <= last; ++k) {
    if (aligned[k] <= aligned[k - 1]) {
      std::copy(at.begin() + static_cast<std::ptrdiff_t>(first),
                at.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                aligned.begin() + static_cast<std::ptrdiff_t>(first));
      return;
    }
  }
}
}  // namespace

std::vector<PeriodRun> PeriodRuns(const std::vector<int32_t>& at, int32_t longestPeriod) {
  std::vector<PeriodRun> runs;
  const size_t n = at.size();
  for (size_t first = 0; first < n;) {
    size_t last = first;
    while (last + 1 < n && at[last + 1] - at[last] > 0 && at[last + 1] - at[last] <= longestPeriod)
      ++last;
    runs.push_back({first, last});
    first = last + 1;
  }
  return runs;
}

std::vector<int32_t> AlignCycles(const int16_t* source, int32_t length,
                                 const std::vector<int32_t>& at, const std::vector<bool>& keep,
                                 int32_t longestPeriod) {
  std::vector<int32_t> aligned = at;
  for (const PeriodRun& run : PeriodRuns(at, longestPeriod)) {
    if (run.last >= run.first + 2 && !keep[run.first])
      AlignRun(source, length, at, run.first, run.last, aligned);
  }
  return aligned;
}

}  // namespace talvox
