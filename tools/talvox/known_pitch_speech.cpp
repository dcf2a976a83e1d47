#include "known_pitch_speech.h"

#include <algorithm>
#include <cmath>

#include "analysis.h"

namespace tvx {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kOpenShare = 0.40;     // of the period: glottis opening
constexpr double kClosingShare = 0.16;  // of the period: glottis closing
constexpr double kMatchTolerance = 0.001;  // seconds
constexpr double kLeadSilence = 0.15, kGap = 0.20;  // seconds
constexpr double kRamp = 0.015;         // seconds of fade at syllable edges
constexpr double kPeakLevel = 14000;

struct Syllable {
  double seconds;
  double f0Start, f0End;
};
constexpr Syllable kSyllables[] = {{0.32, 130, 112}, {0.28, 118, 142}, {0.30, 120, 100}, {0.36, 104, 84}};

struct Formant {
  double hertz, bandwidth;
};
constexpr Formant kFormants[] = {{650, 90}, {1150, 110}, {2600, 160}};

double Rosenberg(double phase) {  // phase in periods, 0..1
  if (phase < kOpenShare) return 0.5 * (1 - std::cos(kPi * phase / kOpenShare));
  if (phase < kOpenShare + kClosingShare) return std::cos(kPi * (phase - kOpenShare) / (2 * kClosingShare));
  return 0.0;
}

void Resonate(std::vector<double>& signal, const Formant& formant, int rate) {
  double r = std::exp(-kPi * formant.bandwidth / rate);
  double a1 = 2 * r * std::cos(2 * kPi * formant.hertz / rate), a2 = -r * r;
  double gain = 1 - a1 - a2;  // unity at 0 Hz
  double y1 = 0, y2 = 0;
  for (double& x : signal) {
    double y = gain * x + a1 * y1 + a2 * y2;
    y2 = y1;
    y1 = y;
    x = y;
  }
}

}  // namespace

KnownPitchSpeech GenerateKnownPitchSpeech(int rate) {
  KnownPitchSpeech speech;
  speech.rate = rate;
  double total = kLeadSilence * 2;
  for (const Syllable& s : kSyllables) total += s.seconds + kGap;
  std::vector<double> glottal(static_cast<size_t>(total * rate), 0.0);
  std::vector<double> envelope(glottal.size(), 0.0);

  double t = kLeadSilence;
  for (const Syllable& s : kSyllables) {
    double end = t + s.seconds;
    for (double start = t; start < end;) {
      double f0 = s.f0Start + (s.f0End - s.f0Start) * (start - t) / s.seconds;
      double period = rate / f0;
      if (start + 1.0 / f0 > end) break;
      int64_t first = static_cast<int64_t>(std::ceil(start * rate));
      for (int64_t n = first; n < static_cast<int64_t>((start + 1.0 / f0) * rate); n++)
        glottal[static_cast<size_t>(n)] = Rosenberg((n - start * rate) / period);
      speech.closures.push_back(static_cast<int32_t>(std::lround(start * rate + (kOpenShare + kClosingShare) * period)));
      speech.closureF0.push_back(f0);
      start += 1.0 / f0;
    }
    for (int64_t n = static_cast<int64_t>(t * rate); n < static_cast<int64_t>(end * rate); n++) {
      double inside = std::min(n / double(rate) - t, end - n / double(rate));
      envelope[static_cast<size_t>(n)] = inside >= kRamp ? 1.0 : 0.5 - 0.5 * std::cos(kPi * inside / kRamp);
    }
    t = end + kGap;
  }
  // Lip radiation: the first difference of the glottal flow.
  std::vector<double> signal(glottal.size(), 0.0);
  for (size_t n = 1; n < glottal.size(); n++) signal[n] = glottal[n] - glottal[n - 1];
  for (const Formant& formant : kFormants) Resonate(signal, formant, rate);
  double peak = 1e-9;
  for (size_t n = 0; n < signal.size(); n++) peak = std::max(peak, std::fabs(signal[n] * envelope[n]));
  speech.samples.resize(signal.size());
  for (size_t n = 0; n < signal.size(); n++)
    speech.samples[n] = static_cast<int16_t>(std::lround(signal[n] * envelope[n] / peak * kPeakLevel));
  return speech;
}

MarkAgreement CompareMarks(const KnownPitchSpeech& truth, const std::vector<int32_t>& marks) {
  MarkAgreement agreement;
  agreement.knownPulses = static_cast<int32_t>(truth.closures.size());
  agreement.toleranceSamples = static_cast<int32_t>(kMatchTolerance * truth.rate);
  if (marks.empty() || truth.closures.empty()) return agreement;
  auto nearest = [&](int32_t position) {
    auto after = std::lower_bound(marks.begin(), marks.end(), position);
    if (after == marks.end()) return marks.back();
    if (after == marks.begin()) return *after;
    return (*after - position < position - *(after - 1)) ? *after : *(after - 1);
  };
  std::vector<double> lags;
  for (int32_t closure : truth.closures) lags.push_back(nearest(closure) - closure);
  agreement.markLag = Median(lags);
  int32_t matched = 0;
  for (int32_t closure : truth.closures) {
    int32_t expected = closure + static_cast<int32_t>(std::lround(agreement.markLag));
    if (std::abs(nearest(expected) - expected) <= agreement.toleranceSamples) matched++;
  }
  agreement.matchedShare = double(matched) / truth.closures.size();

  // F0 error over mark intervals that lie between two known closures of one
  // syllable (an interval no longer than 1.5 true periods).
  std::vector<double> errors;
  int32_t longest = LongestPeriod(truth.rate);
  for (size_t k = 0; k + 1 < marks.size(); k++) {
    int32_t period = marks[k + 1] - marks[k];
    if (period <= 0 || period > longest) continue;
    auto at = std::lower_bound(truth.closures.begin(), truth.closures.end(), marks[k]);
    if (at == truth.closures.end()) continue;
    size_t index = static_cast<size_t>(at - truth.closures.begin());
    double trueF0 = truth.closureF0[index];
    if (period > 1.5 * truth.rate / trueF0) continue;
    errors.push_back(std::fabs(double(truth.rate) / period - trueF0) / trueF0);
  }
  for (int32_t mark : marks) {
    auto at = std::lower_bound(truth.closures.begin(), truth.closures.end(), mark);
    bool inside = at != truth.closures.end() && at != truth.closures.begin() && *at - *(at - 1) <= longest;
    agreement.marksInVoicing += inside ? 1 : 0;
  }
  agreement.medianF0Error = Median(errors);
  return agreement;
}

}  // namespace tvx
