// A piecewise-linear, strictly rising map from source time to output time
// over one synthesis range, both measured in samples from the range start.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace talvox {

class TimeMap {
 public:
  // Longest duration scale accepted: beyond it the output outgrows any use.
  static constexpr double kLargestScale = 8.0;

  // The range of `length` samples lasting length x scale (at least one
  // sample); empty for a scale not finite, <= 0 or above kLargestScale, or
  // an output beyond 32-bit lengths.
  static std::optional<TimeMap> Scaled(int32_t length, float scale);

  // Through (0, 0), the count pairs and the range end. The pairs ascend
  // strictly on both sides from (0, 0); a source point may reach the range
  // end only as the last pair, which then sets the output length; otherwise
  // the stretch after the last pair keeps its length. Empty for a negative
  // count, null points with count > 0, any other order, a source point
  // beyond the range, or an output beyond 32-bit lengths.
  static std::optional<TimeMap> Through(int32_t length, const int32_t* sourcePoints,
                                        const int32_t* outputPoints, int32_t count);

  // Every knot on the diagonal: output time is source time.
  bool IsIdentity() const { return source_ == output_; }
  int32_t OutputLength() const { return static_cast<int32_t>(output_.back()); }
  double Forward(double sourcePosition) const;
  double Inverse(double outputPosition) const;

 private:
  std::vector<double> source_;  // ascending knots, from 0 to the range length
  std::vector<double> output_;  // their output positions, from 0 to the output length
};

}  // namespace talvox
