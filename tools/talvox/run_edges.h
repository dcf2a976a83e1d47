// Voiced cycles beyond a run's last mark. A mark route leaves the faint
// first and last cycles of a run unmarked (it lists only the cycles it is
// sure of); the overlap-add copies them unchanged, so a listener and an
// outside tracker hear the old pitch at the syllable's edges. Before a change
// of pitch or timing the command continues each run while the waveform keeps
// repeating. Shared by the command and the benchmark that measures it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tvx {

struct RunEdgeSettings {
  double leastMatch = 0.6;  // normalised correlation of a cycle with its neighbour
  int mostCycles = 6;       // added at each end of a run
  double reach = 0.15;      // the next cycle's length within this share of the last
};

namespace run_edges {

// Normalised correlation of count samples from a and from b.
inline double Match(const int16_t* x, int64_t a, int64_t b, int64_t count) {
  double ab = 0, aa = 0, bb = 0;
  for (int64_t i = 0; i < count; ++i) {
    const double u = x[a + i], v = x[b + i];
    ab += u * v;
    aa += u * u;
    bb += v * v;
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

// The mark one cycle on from mark (direction +1) or back (-1), whose cycle
// of period samples best repeats the cycle around mark; -1 when none
// repeats it well enough or the cycle would leave [lowest, highest].
inline int64_t NextCycle(const int16_t* x, int64_t mark, int64_t period, int direction, int64_t lowest,
                         int64_t highest, int64_t longest, const RunEdgeSettings& s) {
  const int64_t half = period / 2;
  if (half < 1 || mark - half < lowest || mark + half > highest) return -1;
  const int64_t shortest = std::max<int64_t>(2, static_cast<int64_t>(std::floor(period * (1 - s.reach))));
  const int64_t longestLag = std::min(longest, static_cast<int64_t>(std::ceil(period * (1 + s.reach))));
  double best = s.leastMatch;
  int64_t found = -1;
  for (int64_t lag = shortest; lag <= longestLag; ++lag) {
    const int64_t next = mark + direction * lag;
    if (next - half < lowest || next + half > highest) continue;
    const double match = Match(x, mark - half, next - half, 2 * half);
    if (match >= best) {
      best = match;
      found = next;
    }
  }
  return found;
}

}  // namespace run_edges

// marks (ascending) with each run of at least three marks joined by periods
// (distances up to longest) continued at both ends, inside [begin, end) of
// the length samples x, never closer than longest to a neighbouring run.
inline std::vector<int32_t> ContinueRuns(const int16_t* x, int64_t length, const std::vector<int32_t>& marks,
                                         int32_t longest, int64_t begin, int64_t end,
                                         const RunEdgeSettings& s = {}) {
  begin = std::max<int64_t>(begin, 0);
  end = std::min<int64_t>(end, length);
  std::vector<int32_t> out;
  out.reserve(marks.size());
  size_t i = 0;
  while (i < marks.size()) {
    size_t j = i;
    while (j + 1 < marks.size() && marks[j + 1] > marks[j] && marks[j + 1] - marks[j] <= longest) ++j;
    std::vector<int32_t> run(marks.begin() + static_cast<std::ptrdiff_t>(i),
                             marks.begin() + static_cast<std::ptrdiff_t>(j + 1));
    const bool inside = run.front() >= begin && run.back() < end;
    if (run.size() >= 3 && inside) {
      const int64_t before = out.empty() ? begin - longest - 1 : out.back();
      const int64_t after = j + 1 < marks.size() ? marks[j + 1] : end + longest + 1;
      for (int added = 0; added < s.mostCycles; ++added) {
        const int64_t next = run_edges::NextCycle(x, run[0], run[1] - run[0], -1, begin, end, longest, s);
        if (next < 0 || next - before <= longest) break;
        run.insert(run.begin(), static_cast<int32_t>(next));
      }
      for (int added = 0; added < s.mostCycles; ++added) {
        const int64_t period = run.back() - run[run.size() - 2];
        const int64_t next = run_edges::NextCycle(x, run.back(), period, +1, begin, end, longest, s);
        if (next < 0 || after - next <= longest) break;
        run.push_back(static_cast<int32_t>(next));
      }
    }
    out.insert(out.end(), run.begin(), run.end());
    i = j + 1;
  }
  return out;
}

}  // namespace tvx
