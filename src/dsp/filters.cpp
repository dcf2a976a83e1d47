#include "dsp/filters.h"

#include <algorithm>
#include <cmath>

#include "dsp/sample_cast.h"

namespace talvox {

namespace {
// The designs' value of pi (seven decimals); the coefficients depend on it.
constexpr double kFilterPi = 3.1415927;
constexpr int32_t kMaxSections = kFilterStateSize - 1;

// Delay state shared by every call of RunFilter: entry 0 is the scaled
// input, entry j + 1 the output of section j.
struct DelayState {
  double w0[kFilterStateSize];
  double w1[kFilterStateSize];
  double w2[kFilterStateSize];
};
DelayState delay{};

double Cosh(double x) { return (std::exp(x) + std::exp(-x)) / 2; }
double Sinh(double x) { return (std::exp(x) - std::exp(-x)) / 2; }
double Acosh(double x) { return std::log(x + std::sqrt(x * x - 1)); }
double Asinh(double x) { return std::log(x + std::sqrt(x * x + 1)); }

double PrewarpedCutoff(int32_t rate, double cutoff) {
  return std::tan(cutoff / rate * kFilterPi);
}

// Bilinear-transformed pole pairs at sinScale * (-sin t) +- i cosScale * cos t,
// one section per pair; returns the gain that makes the cascade 1 at 0 Hz
// times `gain`.
double DesignSections(int32_t order, double sinScale, double cosScale, double gain, double* a,
                      double* b) {
  for (int32_t j = 0; j < order / 2; ++j) {
    const double theta = (j + 0.5) * kFilterPi / order;
    const double p = 2 * sinScale * std::sin(theta);
    const double q = p * p / 4 + cosScale * cosScale * std::cos(theta) * std::cos(theta);
    const double d = 1 + p + q;
    a[j] = (2 * q - 2) / d;
    b[j] = (1 - p + q) / d;
    gain = gain * (1 + a[j] + b[j]) / 4;
  }
  return gain;
}
}  // namespace

double ButterworthLowPass(int32_t rate, int32_t order, double cutoff, double* a, double* b) {
  const double t = PrewarpedCutoff(rate, cutoff);
  return DesignSections(order, t, t, 1.0, a, b);
}

double ChebyshevLowPass(int32_t rate, int32_t order, double rippleDb, double cutoff, double* a,
                        double* b) {
  const double epsilon = std::sqrt(std::exp(0.1 * rippleDb * std::log(10.0)) - 1);
  const double gain = 1 / std::sqrt(epsilon * epsilon + 1);
  const double t = PrewarpedCutoff(rate, cutoff);
  const double k = t / Cosh(Acosh(1 / epsilon) / order);
  const double v = Asinh(1 / epsilon) / order;
  return DesignSections(order, k * Sinh(v), k * Cosh(v), gain, a, b);
}

namespace {
// The last three outputs of one stage of the cascade (stage 0 is the scaled
// input, stage j + 1 the output of section j).
struct StageHistory {
  double last = 0, before = 0, third = 0;
  void Push(double value) {
    third = before;
    before = last;
    last = value;
  }
};

// The cascade with its delays held in locals for the whole call: the
// coefficient pointers could alias the process-wide state, which would
// otherwise force a reload of every delay at every sample. The stages run
// skewed, stage j on sample t - j while stage 0 takes sample t, each stage
// reading the history its predecessor left the step before: the sections of
// one step are then independent and the processor overlaps them, where one
// sample at a time through every section waits on each section in turn.
// Each output is the same expression of the same values as one sample at a
// time on the shared state, so the bits are the same.
template <int32_t Sections>
void RunCascade(int16_t* samples, int32_t count, double gain, const double* a, const double* b) {
  double ca[Sections + 1] = {};
  double cb[Sections + 1] = {};
  StageHistory stage[Sections + 1];
  for (int32_t j = 0; j < Sections; ++j) {
    ca[j] = a[j];
    cb[j] = b[j];
  }
  for (int32_t j = 0; j <= Sections; ++j) {
    stage[j].last = delay.w1[j];
    stage[j].before = delay.w2[j];
  }
  auto section = [&](int32_t j) {  // section j - 1 on the next sample of stage j
    const StageHistory& in = stage[j - 1];
    StageHistory& out = stage[j];
    out.Push(in.last + 2 * in.before + in.third - ca[j - 1] * out.last - cb[j - 1] * out.before);
  };
  auto edgeStep = [&](int32_t t) {  // a step where some stage has no sample
    for (int32_t j = Sections; j >= 1; --j) {
      if (t - j >= 0 && t - j < count) section(j);
    }
    if (t < count) stage[0].Push(samples[t] * gain);
    if (t - Sections >= 0 && t - Sections < count) {
      samples[t - Sections] = WrapToSample(stage[Sections].last);
    }
  };
  const int32_t steadyEnd = count;
  int32_t t = 0;
  for (; t < std::min(Sections, steadyEnd); ++t) edgeStep(t);
  for (; t < steadyEnd; ++t) {
#pragma GCC unroll 16
    for (int32_t j = Sections; j >= 1; --j) section(j);
    stage[0].Push(samples[t] * gain);
    samples[t - Sections] = WrapToSample(stage[Sections].last);
  }
  for (; t < count + Sections; ++t) edgeStep(t);
  for (int32_t j = 0; j <= Sections; ++j) {
    delay.w0[j] = stage[j].last;
    delay.w1[j] = stage[j].last;
    delay.w2[j] = stage[j].before;
  }
}

using CascadeRunner = void (*)(int16_t*, int32_t, double, const double*, const double*);
constexpr CascadeRunner kCascades[kMaxSections + 1] = {
    RunCascade<0>, RunCascade<1>, RunCascade<2>, RunCascade<3>, RunCascade<4>,
    RunCascade<5>, RunCascade<6>, RunCascade<7>, RunCascade<8>, RunCascade<9>};
}  // namespace

void RunFilter(int16_t* samples, int32_t count, int32_t order, double gain, const double* a,
               const double* b) {
  if (samples == nullptr || count <= 0) return;
  const int32_t sections = std::clamp(order / 2, 0, kMaxSections);
  if (sections > 0 && (a == nullptr || b == nullptr)) return;
  kCascades[sections](samples, count, gain, a, b);
}

void ResetFilterState() { delay = DelayState{}; }

}  // namespace talvox
