#include "voice/closure_path.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace talvox {

namespace {
// Two pulses closer than this, or than this share of the period, are one
// candidate (the larger).
constexpr double kCandidateSpacingSeconds = 0.0004;
constexpr double kCandidateSpacingPeriods = 1.0 / 6;
// A candidate's strength is relative to the largest pulse within this many
// periods on either side, so the choice does not depend on the level.
constexpr double kStrengthReachPeriods = 1.5;
// Cost of an interval's deviation from the period (squared, in periods).
constexpr double kDeviationWeight = 10.0;
// Cost of every cycle left without a closure.
constexpr double kMissCost = 0.5;
// Intervals searched between successive closures, in periods.
constexpr double kShortestStep = 0.5;
constexpr double kLongestStep = 2.5;
// Candidates weaker than this share of their neighbourhood's largest pulse
// take no part. The soft cycles just before a strong onset are often a
// tenth of its pulse or less; they still belong to the voice.
constexpr double kWeakestShare = 0.05;

struct Candidate {
  double position = 0;
  double value = 0;
  double strength = 0;
  double period = 0;
  double cycle = 0;  // cycles elapsed since the residual's start, by the track
};

// Cycles elapsed at each entry of the period table.
std::vector<double> CycleTable(const ClosureSearch& s) {
  std::vector<double> cycles(static_cast<size_t>(s.periodCount) + 1, 0.0);
  for (int32_t i = 0; i < s.periodCount; ++i) {
    cycles[i + 1] = cycles[i] + s.periodStep / std::max(1.0f, s.periods[i]);
  }
  return cycles;
}

double CycleAt(const ClosureSearch& s, const std::vector<double>& table, double position) {
  const int64_t i =
      std::clamp<int64_t>(static_cast<int64_t>(position) / s.periodStep, 0, s.periodCount - 1);
  return table[i] +
         (position - static_cast<double>(i) * s.periodStep) / std::max(1.0f, s.periods[i]);
}

std::vector<Candidate> FindCandidates(const ClosureSearch& s) {
  std::vector<Candidate> found;
  const float* e = s.residual;
  const double sign = s.polarity >= 0 ? 1.0 : -1.0;
  for (int32_t t : DominantPeaks(s)) {
    const double v = sign * e[t];
    const double left = sign * e[t - 1];
    const double right = sign * e[t + 1];
    const double curvature = left - 2 * v + right;
    const double shift =
        curvature < 0 ? std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5) : 0.0;
    found.push_back({t + shift, v, 0.0, 0.0});
  }
  // Strength against the neighbourhood's largest pulse (two moving pointers).
  size_t lo = 0, hi = 0;
  for (Candidate& c : found) {
    c.period = std::max(2.0, s.PeriodAt(c.position));
    const double span = kStrengthReachPeriods * c.period;
    while (found[lo].position < c.position - span) ++lo;
    while (hi < found.size() && found[hi].position <= c.position + span) ++hi;
    double largest = 0;
    for (size_t k = lo; k < hi; ++k) largest = std::max(largest, found[k].value);
    c.strength = largest > 0 ? c.value / largest : 0.0;
  }
  found.erase(std::remove_if(found.begin(), found.end(),
                             [](const Candidate& c) { return c.strength < kWeakestShare; }),
              found.end());
  return found;
}

double Skipped(double from, double to, double period) {
  return to > from ? std::floor((to - from) / period) : 0.0;
}
}  // namespace

std::vector<int32_t> DominantPeaks(const ClosureSearch& s) {
  std::vector<int32_t> peaks;
  const int32_t n = s.length;
  if (n < 3) return peaks;
  // Multiplying by +-1 is exact, so the comparisons of the sign-corrected
  // floats are those of the values in double, one load each.
  const float sign = s.polarity >= 0 ? 1.0f : -1.0f;
  std::vector<float> y(static_cast<size_t>(n));
  for (int32_t t = 0; t < n; ++t) y[t] = sign * s.residual[t];
  const int32_t shortest = std::max(1, static_cast<int32_t>(kCandidateSpacingSeconds * s.rate));
  for (int32_t t = 1; t + 1 < n; ++t) {
    const float v = y[t];
    if (!(v > 0 && v > y[t - 1] && v >= y[t + 1])) continue;
    const int32_t reach =
        std::max(shortest, static_cast<int32_t>(kCandidateSpacingPeriods * s.PeriodAt(t)));
    // None before it as large, none after it larger; nearest first, where
    // a larger neighbour usually stands.
    bool largest = true;
    for (int32_t k = t - 1; k >= std::max(0, t - reach) && largest; --k) largest = !(y[k] >= v);
    const int32_t last = std::min(n - 1, t + reach);
    for (int32_t k = t + 1; k <= last && largest; ++k) largest = !(y[k] > v);
    if (largest) peaks.push_back(t);
  }
  return peaks;
}

double ClosureSearch::PeriodAt(double position) const {
  const int64_t i = static_cast<int64_t>(position) / periodStep;
  return periods[std::clamp<int64_t>(i, 0, periodCount - 1)];
}

void FillSkippedCycles(const ClosureSearch& search, std::vector<ChosenClosure>& closures) {
  // Whether the step to closure k spans two periods of the track, taken
  // where the hidden cycle would stand (the track may change at a closure).
  auto skips = [&](size_t k) {
    if (k == 0 || k >= closures.size()) return false;
    const double middle = 0.5 * (closures[k - 1].position + closures[k].position);
    const double period = std::max(2.0, search.PeriodAt(middle));
    const double step = closures[k].position - closures[k - 1].position;
    return step <= kLongestStep * period && std::round(step / period) == 2;
  };
  std::vector<ChosenClosure> filled;
  filled.reserve(closures.size());
  for (size_t k = 0; k < closures.size(); ++k) {
    // A skip beside another is a track at twice the voice's F0 (a range
    // set above the voice), not a cycle hidden by noise.
    if (skips(k) && !skips(k - 1) && !skips(k + 1)) {
      const ChosenClosure& a = closures[k - 1];
      const ChosenClosure& b = closures[k];
      filled.push_back({0.5 * (a.position + b.position), std::min(a.pulse, b.pulse)});
    }
    filled.push_back(closures[k]);
  }
  closures.swap(filled);
}

std::vector<ChosenClosure> ChooseClosures(const ClosureSearch& search) {
  std::vector<Candidate> c = FindCandidates(search);
  const size_t n = c.size();
  const std::vector<double> cycleTable = CycleTable(search);
  for (Candidate& candidate : c) candidate.cycle = CycleAt(search, cycleTable, candidate.position);
  std::vector<double> score(n);
  std::vector<int64_t> from(n, -1);
  // The best closure beyond the longest step (a pause, a stop), valued with
  // the cycles it leaves unmarked: score + kMissCost * cycle, kept as a
  // running maximum.
  size_t passed = 0;
  double bestBeyond = -std::numeric_limits<double>::max();
  int64_t bestBeyondAt = -1;
  for (size_t k = 0; k < n; ++k) {
    const double period = c[k].period;
    while (passed < k && c[k].position - c[passed].position > kLongestStep * period) {
      const double value = score[passed] + kMissCost * c[passed].cycle;
      if (value > bestBeyond) {
        bestBeyond = value;
        bestBeyondAt = static_cast<int64_t>(passed);
      }
      ++passed;
    }
    score[k] = c[k].strength - kMissCost * Skipped(search.coreStart, c[k].position, period);
    if (bestBeyondAt >= 0) {
      const double total = bestBeyond + c[k].strength - kMissCost * (c[k].cycle - 1);
      if (total > score[k]) {
        score[k] = total;
        from[k] = bestBeyondAt;
      }
    }
    for (size_t j = k; j-- > 0;) {
      const double step = c[k].position - c[j].position;
      if (step > kLongestStep * period) break;
      if (step < kShortestStep * period) continue;
      const double cycles = std::max(1.0, std::round(step / period));
      const double deviation = (step - cycles * period) / period;
      const double total = score[j] + c[k].strength - kDeviationWeight * deviation * deviation -
                           kMissCost * (cycles - 1);
      if (total > score[k]) {
        score[k] = total;
        from[k] = static_cast<int64_t>(j);
      }
    }
  }
  std::vector<ChosenClosure> chosen;
  if (n == 0) return chosen;
  double best = -std::numeric_limits<double>::max();
  int64_t last = -1;
  for (size_t k = 0; k < n; ++k) {
    const double total = score[k] - kMissCost * Skipped(c[k].position, search.coreEnd, c[k].period);
    if (total > best) {
      best = total;
      last = static_cast<int64_t>(k);
    }
  }
  for (int64_t k = last; k >= 0; k = from[k]) chosen.push_back({c[k].position, c[k].value});
  std::reverse(chosen.begin(), chosen.end());
  FillSkippedCycles(search, chosen);
  return chosen;
}

}  // namespace talvox
