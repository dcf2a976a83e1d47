#include "features/spectrogram.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/fft.h"
#include "features/frame_grid.h"
#include "features/spectrum_levels.h"
#include "state/memory.h"

namespace talvox {

namespace {
// The Hann window's value of 2 pi, short of full precision as in Hanning.
constexpr double kWindowTwoPi = 6.28318;
// Byte 0 stands for 60 dB, each step for a quarter decibel.
constexpr float kFloorDb = 60.0f;
constexpr float kStepsPerDb = 4.0f;
constexpr int32_t kLargestByte = 255;
// Powers safely below 60 dB (59.996 dB) and above 123.75 dB (123.98 dB):
// their bytes are 0 and 255 whatever the last bits of the logarithm, so the
// logarithm is skipped. The test sweeps both edges against the formula.
constexpr float kSurelyZero = 999000.0f;
constexpr float kSurelyFull = 2.5e12f;

// The Hann weights of one frame, by the expression of Hanning, so weighing
// with them gives the same bits as calling it.
struct FrameWindow {
  double weight[kFrameLength];
  FrameWindow() {
    for (int32_t i = 0; i < kFrameLength; ++i) {
      weight[i] = 0.5 - 0.5 * std::cos(kWindowTwoPi * i / kFrameLength);
    }
  }
};

using Shorts4 = int16_t __attribute__((vector_size(8)));
using Ints4 = int32_t __attribute__((vector_size(16)));
using Doubles4 = double __attribute__((vector_size(32)));
using Floats4 = float __attribute__((vector_size(16)));

// re[j] = float(int16(weight[j] * x[j])) for a frame wholly inside the
// signal, four samples a step. Weights are at most 1, so every product fits
// 16 bits and truncating it to 32 bits is the same truncation.
__attribute__((always_inline)) inline void WeighInLanes(const int16_t* x, const double* weight,
                                                        float* re) {
  for (int32_t j = 0; j < kFrameLength; j += 4) {
    Shorts4 samples;
    Doubles4 weights;
    std::memcpy(&samples, x + j, sizeof samples);
    std::memcpy(&weights, weight + j, sizeof weights);
    const Ints4 wide = __builtin_convertvector(samples, Ints4);
    const Doubles4 products = __builtin_convertvector(wide, Doubles4) * weights;
    const Floats4 values = __builtin_convertvector(__builtin_convertvector(products, Ints4), Floats4);
    std::memcpy(re + j, &values, sizeof values);
  }
}

__attribute__((target("avx"))) void WeighInWideLanes(const int16_t* x, const double* weight,
                                                     float* re) {
  WeighInLanes(x, weight, re);
}

void WeighInNarrowLanes(const int16_t* x, const double* weight, float* re) {
  WeighInLanes(x, weight, re);
}

bool HasAvx() {
  static const bool avx = __builtin_cpu_supports("avx");
  return avx;
}

void FrameSpectrum(const int16_t* samples, int32_t count, int32_t start, const FrameWindow& window,
                   bool wide, const SpectrumLevels& levels, uint8_t* bytes) {
  float re[kFrameLength];
  float im[kFrameLength] = {};
  const int32_t present = std::min(kFrameLength, count - start);
  if (present == kFrameLength) {
    (wide ? WeighInWideLanes : WeighInNarrowLanes)(samples + start, window.weight, re);
  } else {
    for (int32_t j = 0; j < kFrameLength; ++j) {
      const int16_t x = j < present ? samples[start + j] : int16_t{0};
      re[j] = static_cast<float>(static_cast<int16_t>(window.weight[j] * x));
    }
  }
  Fft(re, im, 0, kFrameLength);
  for (int32_t k = 0; k < kSpectrumBins; ++k)
    bytes[k] = levels.Byte(re[k] * re[k] + im[k] * im[k]);
}
}  // namespace

uint8_t SpectrumByte(float power) {
  if (power < kSurelyZero) return 0;
  if (power > kSurelyFull) return kLargestByte;
  // All in single precision.
  float level = 10.0f * std::log10(power) - kFloorDb;
  if (level < 0.0f) level = 0.0f;
  const int32_t v = static_cast<int32_t>(kStepsPerDb * level);
  return static_cast<uint8_t>(std::clamp(v, 0, kLargestByte));
}

int32_t SpectrogramFrames(const int16_t* samples, int32_t count, uint8_t* output) {
  if (samples == nullptr || output == nullptr || count <= 0) return 0;
  static const FrameWindow window;
  const bool wide = HasAvx();
  const SpectrumLevels& levels = TheSpectrumLevels();
  const int32_t frames = FrameCount(count);
  for (int32_t f = 0; f < frames; ++f) {
    FrameSpectrum(samples, count, f * kFrameHop, window, wide, levels,
                  output + static_cast<size_t>(f) * kSpectrumBins);
  }
  return frames;
}

int32_t CalculateSpectrumInto(TvxDocument& doc, const int16_t* samples, int32_t count,
                              uint8_t* output) {
  const int32_t frames = SpectrogramFrames(samples, count, output);
  if (frames > 0) doc.spectrumFrames = frames;
  return frames;
}

int32_t CalculateDocumentSpectrum(DocumentState& doc, const int16_t* samples, int32_t count) {
  if (samples == nullptr || count <= 0) return 0;
  const int32_t room = count / kFrameHop + kSpectrumSlackFrames;
  doc.record.spectrum = Reallocate(doc.record.spectrum, static_cast<size_t>(room) * kSpectrumBins);
  doc.spectrumRoom = room;
  return CalculateSpectrumInto(doc.record, samples, count, doc.record.spectrum);
}

}  // namespace talvox
