#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/fft.h"
#include "dsp/frame_analysis.h"

namespace talvox {

namespace {
constexpr int32_t kForward = 0;
constexpr int32_t kInverse = 1;

float Magnitude(float re, float im) { return std::sqrt(re * re + im * im); }
}  // namespace

void RealCepstrum(const int16_t* frame, int32_t n, int32_t length, float* output) {
  const int32_t size = AnalysisTransformSize(n);
  std::vector<float> re(size, 0.0f), im(size, 0.0f);
  std::copy(frame, frame + n, re.begin());
  Fft(re.data(), im.data(), kForward, size);
  for (int32_t i = 0; i < size; ++i) {
    re[i] = static_cast<float>(10 * std::log10(double{Magnitude(re[i], im[i])}));
    im[i] = 0.0f;
  }
  Fft(re.data(), im.data(), kInverse, size);
  // Only `size` cepstral values exist; the rest of the caller's room is 0.
  const int32_t computed = std::min(length, size);
  for (int32_t i = 0; i < computed; ++i) output[i] = Magnitude(re[i], im[i]);
  std::fill(output + computed, output + length, 0.0f);
}

}  // namespace talvox
