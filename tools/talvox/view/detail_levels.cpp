#include "detail_levels.h"

#include <algorithm>

namespace tvx::view {
namespace {

Extremes Merge(Extremes a, Extremes b) { return {std::min(a.low, b.low), std::max(a.high, b.high)}; }

Extremes OfSamples(const std::vector<int16_t>& samples, int64_t from, int64_t to) {
  Extremes e{samples[from], samples[from]};
  for (int64_t i = from + 1; i < to; i++) e = Merge(e, {samples[i], samples[i]});
  return e;
}

}  // namespace

void DetailLevels::Build(const std::vector<std::vector<int16_t>>& channels) {
  levels_.assign(channels.size(), {});
  for (size_t c = 0; c < channels.size(); c++) {
    const std::vector<int16_t>& samples = channels[c];
    std::vector<Extremes> finest;
    for (int64_t begin = 0; begin < int64_t(samples.size()); begin += kFinestBlock)
      finest.push_back(OfSamples(samples, begin, std::min<int64_t>(begin + kFinestBlock, samples.size())));
    levels_[c].push_back(std::move(finest));
    while (levels_[c].back().size() > 1) {
      const std::vector<Extremes>& below = levels_[c].back();
      std::vector<Extremes> above;
      for (size_t b = 0; b < below.size(); b += kLevelFactor) {
        Extremes e = below[b];
        for (size_t k = b + 1; k < std::min(below.size(), b + kLevelFactor); k++) e = Merge(e, below[k]);
        above.push_back(e);
      }
      levels_[c].push_back(std::move(above));
    }
  }
}

// Whole blocks of the coarsest fitting level inside [from, to), the ragged
// ends from finer levels or the samples.
Extremes DetailLevels::Range(const std::vector<int16_t>& samples, const std::vector<std::vector<Extremes>>& levels,
                             int64_t from, int64_t to) const {
  Extremes e = OfSamples(samples, from, std::min(to, from + 1));
  int64_t position = from;
  while (position < to) {
    int level = -1;
    int64_t block = kFinestBlock;
    for (size_t l = 0; l < levels.size(); l++, block *= kLevelFactor) {
      if (position % block != 0 || position + block > to) break;
      level = int(l);
    }
    if (level < 0) {
      int64_t next = std::min(to, (position / kFinestBlock + 1) * kFinestBlock);
      e = Merge(e, OfSamples(samples, position, next));
      position = next;
      continue;
    }
    int64_t size = kFinestBlock;
    for (int l = 0; l < level; l++) size *= kLevelFactor;
    e = Merge(e, levels[level][position / size]);
    position += size;
  }
  return e;
}

std::vector<std::vector<Extremes>> DetailLevels::Columns(const std::vector<std::vector<int16_t>>& channels,
                                                         int64_t from, int64_t to, int columns) const {
  std::vector<std::vector<Extremes>> result(channels.size());
  int64_t span = to - from;
  if (span <= 0 || columns <= 0) return result;
  int64_t count = std::min<int64_t>(columns, span);
  for (size_t c = 0; c < channels.size(); c++) {
    result[c].reserve(count);
    for (int64_t k = 0; k < count; k++) {
      int64_t a = from + span * k / count;
      int64_t b = std::max(a + 1, from + span * (k + 1) / count);
      result[c].push_back(Range(channels[c], levels_[c], a, b));
    }
  }
  return result;
}

}  // namespace tvx::view
