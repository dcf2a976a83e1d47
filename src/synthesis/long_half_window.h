// Half Hann windows longer than the per-length tables (the stretches across
// pauses between voiced runs, the lead-in and the tail), weighed without a
// cosine per sample but with the same 16-bit results as HanningRise and
// HanningFall.
#pragma once

#include <cstdint>
#include <vector>

namespace talvox {

class LongHalfWindow {
 public:
  // Weighs samples 0..n-1 in place with the rising / falling half of
  // length n (n > 0).
  void WeighRise(int16_t* samples, int32_t n);
  void WeighFall(int16_t* samples, int32_t n);

 private:
  // cos and sin of pi * m / n split as m = kBlock * h + l, so each weight
  // costs two table reads and a rotation; built once per length.
  void Prepare(int32_t n);
  double Cosine(int32_t m) const;

  int32_t length_ = 0;
  std::vector<double> coarseCos_, coarseSin_, fineCos_, fineSin_;
};

}  // namespace talvox
