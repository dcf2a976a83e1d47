#include "voice/decimation.h"

#include <algorithm>
#include <cmath>

namespace talvox {

namespace {
constexpr double kPi = 3.14159265358979323846;
// The pitch copy keeps the first harmonics and the first formant: up to a
// quarter of its rate (about 1 kHz).
constexpr double kPitchCutoffShare = 0.25;
// Q of the two sections of a fourth-order Butterworth response.
constexpr double kButterworthQ[2] = {0.54119610, 1.30656296};
// DC block corner: far below any voice.
constexpr double kDcCornerHz = 20.0;
// Taps per unit of decimation factor on each side of the linear-phase
// low-pass, and its cutoff relative to the reduced Nyquist frequency.
constexpr int32_t kTapsPerFactor = 8;
constexpr double kLinearCutoffShare = 0.9;
// The linear-phase reduction converts its input block by block.
constexpr int32_t kOutputsPerBlock = 4096;

// Below this a filter state no longer matters to any sample (the input is
// whole numbers) but decays on in digital silence into subnormal numbers,
// which cost a hundred times a normal operation.
constexpr double kNegligibleState = 1e-20;
// States are checked once per this many outputs.
constexpr size_t kFlushOutputs = 16;

void FlushNegligible(double& state) {
  if (std::abs(state) < kNegligibleState) state = 0;
}

// Direct form: the recurrence on the last output is one multiply and one
// subtraction, the rest depends on older values only.
struct Biquad {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double Step(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a2 * y2 - a1 * y1;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
  void Flush() {
    FlushNegligible(y1);
    FlushNegligible(y2);
  }
};

Biquad LowPassSection(double cutoff, double rate, double q) {
  const double w = 2 * kPi * cutoff / rate;
  const double alpha = std::sin(w) / (2 * q);
  const double c = std::cos(w);
  const double a0 = 1 + alpha;
  Biquad s;
  s.b0 = (1 - c) / 2 / a0;
  s.b1 = (1 - c) / a0;
  s.b2 = s.b0;
  s.a1 = -2 * c / a0;
  s.a2 = (1 - alpha) / a0;
  return s;
}
}  // namespace

std::vector<float> DecimateForPitch(const int16_t* samples, int32_t length, int32_t factor,
                                    double sampleRate) {
  factor = std::max(factor, 1);
  const double reduced = sampleRate / factor;
  const double cutoff = kPitchCutoffShare * reduced;
  Biquad first = LowPassSection(cutoff, sampleRate, kButterworthQ[0]);
  Biquad second = LowPassSection(cutoff, sampleRate, kButterworthQ[1]);
  const double pole = std::exp(-2 * kPi * kDcCornerHz / reduced);
  double previousIn = 0, previousOut = 0;
  std::vector<float> out(static_cast<size_t>(std::max(length, 0) / factor +
                                             (std::max(length, 0) % factor != 0)));
  for (size_t k = 0; k < out.size(); ++k) {
    const int32_t n = static_cast<int32_t>(k) * factor;
    const double y = second.Step(first.Step(samples[n]));
    const double blocked = y - previousIn + pole * previousOut;
    previousIn = y;
    previousOut = blocked;
    out[k] = static_cast<float>(blocked);
    const int32_t end = std::min(length, n + factor);
    for (int32_t m = n + 1; m < end; ++m) second.Step(first.Step(samples[m]));
    if (k % kFlushOutputs == 0) {
      first.Flush();
      second.Flush();
      FlushNegligible(previousOut);
    }
  }
  return out;
}

std::vector<float> DecimateLinearPhase(const int16_t* samples, int32_t length, int64_t first,
                                       int32_t count, int32_t factor) {
  std::vector<float> out(static_cast<size_t>(std::max(count, 0)), 0.0f);
  auto at = [&](int64_t n) { return n >= 0 && n < length ? static_cast<double>(samples[n]) : 0.0; };
  if (factor <= 1) {
    for (int32_t k = 0; k < count; ++k) out[k] = static_cast<float>(at(first + k));
    return out;
  }
  const int32_t half = kTapsPerFactor * factor;
  const double cutoff = kLinearCutoffShare / factor;  // of the input Nyquist frequency
  std::vector<double> taps(static_cast<size_t>(2 * half + 1));
  double sum = 0;
  for (int32_t j = -half; j <= half; ++j) {
    const double x = kPi * cutoff * j;
    const double sinc = j == 0 ? 1.0 : std::sin(x) / x;
    const double window =
        0.42 + 0.5 * std::cos(kPi * j / (half + 1)) + 0.08 * std::cos(2 * kPi * j / (half + 1));
    taps[j + half] = sinc * window;
    sum += taps[j + half];
  }
  for (double& t : taps) t /= sum;
  const int32_t width = 2 * half + 1;
  std::vector<double> span;
  for (int32_t blockStart = 0; blockStart < count; blockStart += kOutputsPerBlock) {
    const int32_t block = std::min(kOutputsPerBlock, count - blockStart);
    // The block's input as doubles, once, zeros outside the signal: every
    // output's taps then read it directly, in the order of the plain sum.
    const int64_t from = first + static_cast<int64_t>(blockStart) * factor - half;
    span.resize(static_cast<size_t>((block - 1) * factor + width));
    for (size_t i = 0; i < span.size(); ++i) span[i] = at(from + static_cast<int64_t>(i));
    int32_t k = 0;
    // Four outputs at a time: four independent sums, so the adder is not
    // kept waiting on one chain.
    for (; k + 4 <= block; k += 4) {
      const double* x = span.data() + static_cast<size_t>(k) * factor;
      const double* x1 = x + factor;
      const double* x2 = x + 2 * factor;
      const double* x3 = x + 3 * factor;
      double a0 = 0, a1 = 0, a2 = 0, a3 = 0;
      for (int32_t j = 0; j < width; ++j) {
        const double t = taps[j];
        a0 += t * x[j];
        a1 += t * x1[j];
        a2 += t * x2[j];
        a3 += t * x3[j];
      }
      out[blockStart + k] = static_cast<float>(a0);
      out[blockStart + k + 1] = static_cast<float>(a1);
      out[blockStart + k + 2] = static_cast<float>(a2);
      out[blockStart + k + 3] = static_cast<float>(a3);
    }
    for (; k < block; ++k) {
      const double* x = span.data() + static_cast<size_t>(k) * factor;
      double acc = 0;
      for (int32_t j = 0; j < width; ++j) acc += taps[j] * x[j];
      out[blockStart + k] = static_cast<float>(acc);
    }
  }
  return out;
}

}  // namespace talvox
