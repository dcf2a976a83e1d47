// Overlap-add of grains in floating point into a 16-bit output, through a
// short rolling sum: grains arrive in output order, so everything before
// the start of the newest grain is final and is rounded out as it goes.
// Complementary half windows (rise + fall = 1) give back the source exactly.
#pragma once

#include <cstdint>
#include <vector>

namespace talvox {

class GrainAccumulator {
 public:
  GrainAccumulator(int16_t* output, int64_t length);

  // Adds source[centre - left .. centre + right) at output[at - left ..
  // at + right), the first `left` samples raised by a half Hann window and
  // the rest lowered by one. Grains must not start before an earlier
  // grain's start; output positions outside 0..length-1 are dropped.
  void Add(int64_t at, const int16_t* source, int64_t centre, int32_t left, int32_t right);

  // The same with the grain's content delayed by delay samples (a fraction,
  // or a few), read from the source of sourceLength samples by cubic
  // interpolation (its ends held); a delay of 0 is Add itself.
  void AddDelayed(int64_t at, const int16_t* source, int64_t sourceLength, int64_t centre, int32_t left,
                  int32_t right, double delay);

  // Rounds out every sample not yet written; the output is then complete.
  void Finish();

 private:
  template <typename Sample>
  void Sum(int64_t at, const Sample* grain, int32_t left, int32_t right);
  const float* Rise(int32_t n);
  void Settle(int64_t upTo);
  void Cover(int64_t from, int64_t to);

  int16_t* output_;
  int64_t length_;
  int64_t base_ = 0;  // output position of sums_[0]; all before it is written
  std::vector<float> sums_;
  std::vector<std::vector<float>> rises_;  // per half length, for the usual ones
  std::vector<float> scratchRise_;
  std::vector<float> delayed_;  // one delayed grain
};

}  // namespace talvox
