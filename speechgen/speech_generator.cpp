#include "speech_generator.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace speechgen {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kOpenPhase = 0.50;     // of the period: glottal flow rising
constexpr double kClosingPhase = 0.06;  // of the period: falling to closure
constexpr double kRampSeconds = 0.02;   // syllable onset and offset
// Pulses fainter than this (relative to the syllable's level) in the onset
// and offset ramps are not listed as closures: a laryngograph reference
// would not show them either.
constexpr double kFaintestPulse = 0.1;
constexpr double kBandwidthScale = 1.6;

struct Vowel {
  double formant[4];
  double bandwidth[4];
};

constexpr Vowel kVowels[] = {
    {{730, 1090, 2440, 3400}, {80, 90, 120, 150}},   // a
    {{270, 2290, 3010, 3500}, {60, 100, 120, 150}},  // i
    {{300, 870, 2240, 3300}, {60, 80, 120, 150}},    // u
    {{530, 1840, 2480, 3500}, {70, 90, 120, 150}},   // e
    {{570, 840, 2410, 3400}, {70, 80, 120, 150}},    // o
};

// Second-order resonator with unit gain at DC.
struct Resonator {
  double a1 = 0, a2 = 0, gain = 1, y1 = 0, y2 = 0;
  Resonator(double frequency, double bandwidth, int rate) {
    double r = std::exp(-kPi * bandwidth / rate);
    a1 = 2 * r * std::cos(2 * kPi * frequency / rate);
    a2 = -r * r;
    gain = 1 - a1 - a2;
  }
  double Step(double x) {
    double y = gain * x + a1 * y1 + a2 * y2;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// Rosenberg glottal flow at phase u (0..1 of the period).
double GlottalFlow(double u) {
  if (u < kOpenPhase) return 0.5 * (1 - std::cos(kPi * u / kOpenPhase));
  if (u < kOpenPhase + kClosingPhase) return std::cos(0.5 * kPi * (u - kOpenPhase) / kClosingPhase);
  return 0.0;
}

struct Syllable {
  int64_t start = 0;  // samples
  int64_t length = 0;
  double f0Start = 0, f0End = 0, gain = 1, formantScale = 1;
  double rampSeconds = kRampSeconds;
  const Vowel* vowel = nullptr;
  uint32_t seed = 0;  // of the cycle-to-cycle perturbations
};

// Cycle-to-cycle perturbation of period and amplitude.
struct Perturbation {
  double jitter = 0, shimmer = 0;
};

// Voiced signal of one syllable into out[start..], closures appended.
void Voice(const Syllable& s, int rate, int run, const Perturbation& perturbation,
           std::vector<double>& out, std::vector<Closure>& closures) {
  std::mt19937 rng(s.seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  auto draw = [&](double spread) { return spread > 0 ? std::clamp(1.0 + spread * gauss(rng), 0.5, 1.5) : 1.0; };
  double periodScale = draw(perturbation.jitter);
  double amplitude = draw(perturbation.shimmer);
  const double k = s.formantScale;
  Resonator formants[4] = {
      {k * s.vowel->formant[0], kBandwidthScale * s.vowel->bandwidth[0], rate},
      {k * s.vowel->formant[1], kBandwidthScale * s.vowel->bandwidth[1], rate},
      {k * s.vowel->formant[2], kBandwidthScale * s.vowel->bandwidth[2], rate},
      {k * s.vowel->formant[3], kBandwidthScale * s.vowel->bandwidth[3], rate}};
  const int64_t ramp = static_cast<int64_t>(s.rampSeconds * rate);
  double phase = 0.0;  // in periods
  double previousFlow = 0.0;
  // Let the resonators ring out after the last pulse.
  const int64_t tail = rate / 20;
  for (int64_t i = 0; i < s.length + tail; ++i) {
    double flowDerivative = 0.0;
    if (i < s.length) {
      double position = static_cast<double>(i) / static_cast<double>(s.length);
      // A smooth glide between the syllable's start and end F0.
      double glide = 0.5 - 0.5 * std::cos(kPi * position);
      double f0 = s.f0Start + (s.f0End - s.f0Start) * glide;
      double step = f0 / periodScale / rate;
      double before = phase;
      phase += step;
      if (std::floor(phase) > std::floor(before)) {
        periodScale = draw(perturbation.jitter);
        amplitude = draw(perturbation.shimmer);
      }
      // The closure of a period falls where the phase passes the end of its
      // closing phase; place it by linear interpolation within the sample.
      double envelope = 1.0;
      if (i < ramp) envelope = 0.5 - 0.5 * std::cos(kPi * i / ramp);
      if (s.length - i < ramp) envelope = 0.5 - 0.5 * std::cos(kPi * (s.length - i) / ramp);
      double closureAt = std::floor(before) + kOpenPhase + kClosingPhase;
      if (before < closureAt && phase >= closureAt && envelope >= kFaintestPulse) {
        closures.push_back({static_cast<double>(s.start + i) - 1 + (closureAt - before) / step, run});
      }
      double flow = envelope * amplitude * GlottalFlow(phase - std::floor(phase));
      // Polarity: the sharp excitation at closure points upward, so each
      // cycle's strongest positive half-wave follows its closure.
      flowDerivative = (previousFlow - flow) * s.gain;
      previousFlow = flow;
    }
    double y = flowDerivative;
    for (Resonator& r : formants) y = r.Step(y);
    std::size_t at = static_cast<std::size_t>(s.start + i);
    if (at < out.size()) out[at] += y;
  }
}

}  // namespace

GeneratedSpeech GenerateSpeech(const SpeechSettings& settings) {
  GeneratedSpeech speech;
  speech.sampleRate = settings.sampleRate;
  const int rate = settings.sampleRate;
  const int64_t total = static_cast<int64_t>(settings.seconds * rate * settings.timeScale);
  std::mt19937 rng(settings.seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto between = [&](double lo, double hi) { return lo + (hi - lo) * unit(rng); };

  std::vector<Syllable> syllables;
  const double time = settings.timeScale;
  int64_t at = static_cast<int64_t>(between(0.05, 0.2) * rate * time);
  while (true) {
    Syllable s;
    s.start = at;
    s.length = static_cast<int64_t>(between(0.12, 0.35) * rate * time);
    if (s.start + s.length + static_cast<int64_t>(rate / 10 * time) > total) break;
    s.f0Start = between(settings.voice.lowF0, settings.voice.highF0);
    // Glides of up to a few semitones, kept inside the range.
    s.f0End = std::clamp(s.f0Start * std::pow(2.0, between(-0.3, 0.3)), settings.voice.lowF0,
                         settings.voice.highF0);
    s.f0Start *= settings.f0Scale;
    s.f0End *= settings.f0Scale;
    s.rampSeconds = kRampSeconds * time;
    s.gain = std::pow(10.0, between(-6.0, 0.0) / 20.0);
    s.vowel = &kVowels[rng() % (sizeof kVowels / sizeof kVowels[0])];
    s.seed = static_cast<uint32_t>(rng());
    // Shorter vocal tracts of higher voices: formants up to 17% higher.
    s.formantScale = 1.0 + 0.17 * std::clamp((settings.voice.lowF0 - 100.0) / 80.0, 0.0, 1.0);
    syllables.push_back(s);
    at = s.start + s.length + static_cast<int64_t>(between(0.08, 0.25) * rate * time);
  }

  std::vector<double> signal(static_cast<std::size_t>(total), 0.0);
  for (std::size_t k = 0; k < syllables.size(); ++k) {
    Voice(syllables[k], rate, static_cast<int>(k), {settings.jitter, settings.shimmer}, signal,
          speech.closures);
  }
  double peak = 1e-9;
  for (double v : signal) peak = std::max(peak, std::fabs(v));
  const double scale = settings.peakLevel / peak;
  double power = 0.0;
  int64_t voiced = 0;
  for (const Syllable& s : syllables) {
    for (int64_t i = s.start; i < s.start + s.length; ++i) {
      double v = signal[static_cast<std::size_t>(i)] * scale;
      power += v * v;
      ++voiced;
    }
  }
  double noiseLevel = 0.0;
  if (settings.addNoise && voiced > 0) {
    noiseLevel = std::sqrt(power / voiced / std::pow(10.0, settings.snrDb / 10.0));
  }
  std::normal_distribution<double> gauss(0.0, 1.0);
  speech.samples.resize(signal.size());
  for (std::size_t i = 0; i < signal.size(); ++i) {
    double v = signal[i] * scale + (noiseLevel > 0.0 ? noiseLevel * gauss(rng) : 0.0);
    if (settings.invert) v = -v;
    speech.samples[i] = static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
  }
  return speech;
}

}  // namespace speechgen
