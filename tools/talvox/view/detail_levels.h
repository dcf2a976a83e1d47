// Minimum and maximum of each channel over blocks of samples, in levels of
// 4x coarser blocks, so that a waveform column over an hour is a handful of
// block reads instead of a pass over millions of samples.
#pragma once

#include <cstdint>
#include <vector>

namespace tvx::view {

struct Extremes {
  int16_t low;
  int16_t high;
};

class DetailLevels {
 public:
  // channels: the samples of each channel (equal lengths).
  void Build(const std::vector<std::vector<int16_t>>& channels);

  // Per channel, columns x {min, max} of [from, to) split into columns
  // equal stretches (at most one sample each). Reads the samples themselves
  // where a column is shorter than the finest block.
  std::vector<std::vector<Extremes>> Columns(const std::vector<std::vector<int16_t>>& channels, int64_t from,
                                             int64_t to, int columns) const;

  static constexpr int64_t kFinestBlock = 64;  // samples; below it reading samples is as fast
  static constexpr int64_t kLevelFactor = 4;

 private:
  Extremes Range(const std::vector<int16_t>& samples, const std::vector<std::vector<Extremes>>& levels,
                 int64_t from, int64_t to) const;

  std::vector<std::vector<std::vector<Extremes>>> levels_;  // [channel][level][block]
};

}  // namespace tvx::view
