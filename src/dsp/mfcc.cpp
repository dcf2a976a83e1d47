#include <array>
#include <cmath>
#include <vector>

#include "dsp/fft.h"
#include "dsp/frame_analysis.h"

namespace talvox {

namespace {
// The first 20 critical bands (Bark scale), in Hz.
constexpr int32_t kLowerEdge[kMfccBands] = {0,    100,  200,  300,  400,  510,  630,
                                            770,  920,  1080, 1270, 1480, 1720, 2000,
                                            2320, 2700, 3150, 3700, 4400, 5300};
constexpr int32_t kCentre[kMfccBands] = {50,   150,  250,  350,  450,  570,  700,
                                         840,  1000, 1170, 1370, 1600, 1850, 2150,
                                         2500, 2900, 3400, 4000, 4800, 5800};
constexpr int32_t kUpperEdge[kMfccBands] = {100,  200,  300,  400,  510,  630,  770,
                                            920,  1080, 1270, 1480, 1720, 2000, 2320,
                                            2700, 3150, 3700, 4400, 5300, 6400};
// The DCT's value of pi; the coefficients depend on it.
constexpr double kDctPi = 3.1415927;

int32_t Bin(int32_t frequency, int32_t n, int32_t rate) {
  return static_cast<int32_t>(int64_t{n} * frequency / rate);
}

double DirectDctCosine(int32_t k, int32_t j) {
  return std::cos(k * (j - 0.5) * kDctPi / kMfccBands);
}

// The cosines of the usual vector lengths, computed once (the same values).
constexpr int32_t kTabledCoefficients = 32;

double DctCosine(int32_t k, int32_t j) {
  using Table = std::array<std::array<double, kMfccBands + 1>, kTabledCoefficients + 1>;
  static const Table table = [] {
    Table t{};
    for (int32_t k = 1; k <= kTabledCoefficients; ++k) {
      for (int32_t j = 1; j <= kMfccBands; ++j) t[k][j] = DirectDctCosine(k, j);
    }
    return t;
  }();
  return k <= kTabledCoefficients ? table[k][j] : DirectDctCosine(k, j);
}

// Triangle-weighted power of one band, bins past n/2 dropped.
float BandEnergy(const std::vector<float>& power, BandBins bins) {
  float energy = 0.0f;
  const int32_t bound = static_cast<int32_t>(power.size());
  for (int32_t i = std::max(bins.lo, 0); i <= bins.hi && i < bound; ++i) {
    if (bins.lo == bins.mid && i == bins.lo) {
      energy = power[i];
    } else if (i <= bins.mid) {
      energy += power[i] * (i - bins.lo) / (bins.mid - bins.lo);
    } else {
      energy += power[i] * (bins.hi - i) / (bins.hi - bins.mid);
    }
  }
  return energy;
}

// Working arrays of one analysis, kept per thread between calls: a frame
// of 257 samples or more takes 640 KiB, which handed back to the system on
// every call costs more than the transform itself. Per thread, so frames may
// still be analysed on several threads at once.
struct SpectrumScratch {
  std::vector<int16_t> windowed;
  std::vector<float> re, im, power;
};

SpectrumScratch& Scratch() {
  thread_local SpectrumScratch scratch;
  return scratch;
}

// Power spectrum bins 0 .. size/2 - 1 of the Hann-windowed frame, in the
// thread's scratch (valid until the thread's next analysis).
const std::vector<float>& PowerSpectrum(const int16_t* frame, int32_t n, int32_t size) {
  SpectrumScratch& s = Scratch();
  s.windowed.assign(frame, frame + n);
  HanningWindow(s.windowed.data(), n);
  s.re.resize(static_cast<size_t>(size));
  s.im.resize(static_cast<size_t>(size));
  std::copy(s.windowed.begin(), s.windowed.end(), s.re.begin());
  std::fill(s.re.begin() + n, s.re.end(), 0.0f);
  std::fill(s.im.begin(), s.im.end(), 0.0f);
  Fft(s.re.data(), s.im.data(), 0, size);
  s.power.resize(static_cast<size_t>(size / 2));
  for (int32_t i = 0; i < size / 2; ++i) s.power[i] = s.re[i] * s.re[i] + s.im[i] * s.im[i];
  return s.power;
}
}  // namespace

BandBins MfccBandBins(int32_t band, int32_t n, int32_t rate) {
  return {Bin(kLowerEdge[band], n, rate), Bin(kCentre[band], n, rate),
          Bin(kUpperEdge[band], n, rate)};
}

void MfccCoefficients(const int16_t* frame, int32_t n, int32_t rate, int32_t length,
                      float* output) {
  const int32_t size = AnalysisTransformSize(n);
  const std::vector<float>& power = PowerSpectrum(frame, n, size);
  double logEnergy[kMfccBands];
  for (int32_t b = 0; b < kMfccBands; ++b) {
    logEnergy[b] = std::log10(double{BandEnergy(power, MfccBandBins(b, size, rate))});
  }
  // Unnormalised DCT-II, coefficients 1..length; each double term is added
  // to a float sum.
  for (int32_t k = 1; k <= length; ++k) {
    float sum = 0.0f;
    for (int32_t j = 1; j <= kMfccBands; ++j) {
      sum += logEnergy[j - 1] * DctCosine(k, j);
    }
    output[k - 1] = sum;
  }
}

}  // namespace talvox
