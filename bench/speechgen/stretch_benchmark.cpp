// stretch_benchmark: SynthesisSpeechStretch on generated speech whose glottal
// closures are known (they serve as the pitch marks, so the figures are
// those of the resynthesis alone).
//   stretch_benchmark quality [rate]   frames within 3% of the target F0 (measured
//                               by autocorrelation, not by marks), frames left
//                               at the old pitch, HNR and local jitter as a
//                               phonetics tracker measures them (input, the
//                               same speech generated at the target, output),
//                               duration out / asked, sample jumps and
//                               clipped samples against the input's
//   stretch_benchmark recording FILE.wav [floor [ceiling]]   the same on a
//                               16-bit mono recording at its rate and at
//                               half of it (marks of the voice route,
//                               targets from the input's own F0; the
//                               trackers' floor, default 75 Hz, and the
//                               path tracker's ceiling, default 600 Hz: a
//                               speaker's range, such as 75-300 Hz for a
//                               man, keeps fricatives from being read as
//                               voice at 500-600 Hz)
//   stretch_benchmark speed [seconds [scale]]   CPU time and memory of one
//                               call at 16 kHz, +4 semitones (default an
//                               hour, duration scale 1)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "f0_path.h"
#include "f0_track.h"
#include "run_edges.h"
#include "speech_generator.h"
#include "talvox.h"

namespace {

constexpr double kFrameSeconds = 0.04;
constexpr double kHopSeconds = 0.01;
constexpr double kOnTarget = 0.03;  // relative F0 error still on target
constexpr double kLowestF0 = 50, kHighestF0 = 600;

struct Change {
  const char* name;
  double semitones;  // ignored when flatHz > 0
  double flatHz;
  double durationScale;
  // The command then keeps the marks and their distances: the input comes back.
  bool Unchanged() const { return semitones == 0 && flatHz == 0 && durationScale == 1; }
};

const Change kChanges[] = {
    {"none (the measure's own)", 0, 0, 1.0},
    {"0 st, x1.5", 0, 0, 1.5},
    {"0 st, x0.7", 0, 0, 0.7},
    {"flat 160 Hz", 0, 160, 1.0},
    {"+4 st", 4, 0, 1.0},
    {"+7 st", 7, 0, 1.0},
    {"-5 st", -5, 0, 1.0},
    {"flat 150 Hz", 0, 150, 1.0},
    {"+4 st, x0.7", 4, 0, 0.7},
    {"-5 st, x1.5", -5, 0, 1.5},
};

std::vector<int32_t> Marks(const speechgen::GeneratedSpeech& speech) {
  std::vector<int32_t> marks;
  for (const speechgen::Closure& c : speech.closures) {
    int32_t at = static_cast<int32_t>(std::lround(c.sample));
    if (marks.empty() || at > marks.back()) marks.push_back(at);
  }
  return marks;
}

// The present period per interval as the command takes it (from the voice
// tracker's F0 over the speaker's own range).
std::vector<double> PresentPeriods(const std::vector<int32_t>& marks, const std::vector<int16_t>& x, int rate,
                                   int longest) {
  const tvx::F0Track track = tvx::TrackSamples(x.data(), static_cast<int32_t>(x.size()), rate, {});
  return tvx::PresentPeriods(marks, rate, track, longest);
}

// The periods a change asks for after each mark (the gaps between runs, at
// least longest, kept), rounded by positions, as the host does, so the
// mean F0 stays exact. present: the present period per interval (null: the
// mark distances).
std::vector<int32_t> WantedPeriods(const std::vector<int32_t>& marks, int rate, int longest,
                                   const Change& change, const std::vector<double>* present = nullptr) {
  std::vector<int32_t> periods;
  double exact = 0;
  int64_t placed = 0;
  for (size_t k = 0; k + 1 < marks.size(); k++) {
    const int32_t d = marks[k + 1] - marks[k];
    if (d > longest || d <= 0) {
      periods.push_back(d);
      exact = 0;
      placed = 0;
      continue;
    }
    const double now = present && !change.Unchanged() && (*present)[k] > 0 ? (*present)[k] : d;
    const double f0 = change.flatHz > 0 ? change.flatHz : double(rate) / now * std::pow(2.0, change.semitones / 12);
    exact += rate / f0;
    const int64_t next = std::llround(exact);
    periods.push_back(static_cast<int32_t>(std::max<int64_t>(next - placed, 1)));
    placed = next;
  }
  return periods;
}

// Source F0 at a sample: from the period around it, 0 outside the runs.
double SourceF0(const speechgen::GeneratedSpeech& speech, double at, int longest) {
  const auto& c = speech.closures;
  auto next = std::upper_bound(c.begin(), c.end(), at, [](double v, const speechgen::Closure& x) { return v < x.sample; });
  if (next == c.begin() || next == c.end()) return 0;
  auto previous = next - 1;
  double period = next->sample - previous->sample;
  return previous->run == next->run && period <= longest ? speech.sampleRate / period : 0;
}

// F0 by normalised autocorrelation of one frame; 0 when not clearly periodic.
double FrameF0(const std::vector<int16_t>& x, size_t from, size_t length, int rate) {
  int shortest = static_cast<int>(rate / kHighestF0), longest = static_cast<int>(rate / kLowestF0);
  if (from + length + longest >= x.size()) return 0;
  std::vector<double> r(longest + 2, 0);
  for (int lag = shortest - 1; lag <= longest + 1; lag++) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = from; i < from + length; i++) {
      xy += double(x[i]) * x[i + lag];
      xx += double(x[i]) * x[i];
      yy += double(x[i + lag]) * x[i + lag];
    }
    r[lag] = xy / std::sqrt(xx * yy + 1e-9);
  }
  double best = *std::max_element(r.begin() + shortest, r.begin() + longest + 1);
  if (best < 0.5) return 0;
  for (int lag = shortest; lag <= longest; lag++) {
    if (r[lag] >= 0.85 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
      double a = r[lag - 1], b = r[lag], c = r[lag + 1];
      double shift = 0.5 * (a - c) / (a - 2 * b + c + 1e-12);  // parabolic refinement
      return rate / (lag + std::clamp(shift, -0.5, 0.5));
    }
  }
  return 0;
}

// Two passes of a one-pole low-pass at about 1 kHz: the measure looks at the
// strong low harmonics, as pitch trackers do, not at formant ringing.
std::vector<int16_t> LowPassed(const std::vector<int16_t>& x, int rate) {
  const double a = std::exp(-2 * 3.141592653589793 * 1000.0 / rate);
  std::vector<double> y(x.begin(), x.end());
  for (int pass = 0; pass < 2; pass++) {
    double state = 0;
    for (double& v : y) v = state = (1 - a) * v + a * state;
  }
  return std::vector<int16_t>(y.begin(), y.end());
}

double Correlation(const std::vector<int16_t>& x, size_t from, size_t length, size_t lag) {
  double xy = 0, xx = 0, yy = 0;
  for (size_t i = from; i < from + length; i++) {
    xy += double(x[i]) * x[i + lag];
    xx += double(x[i]) * x[i];
    yy += double(x[i + lag]) * x[i + lag];
  }
  return xy / std::sqrt(xx * yy + 1e-9);
}

// Harmonics-to-noise ratio of one frame from the normalised autocorrelation
// r at the period, 10 log10(r / (1 - r)) dB; r is the parabola's top through
// the lags around the period, so a period between two lags is not mistaken
// for noise.
double FrameHnr(const std::vector<int16_t>& x, size_t from, size_t length, double period) {
  size_t lag = static_cast<size_t>(std::lround(period));
  if (lag < 2 || from + length + lag + 1 >= x.size()) return 0;
  double a = Correlation(x, from, length, lag - 1), b = Correlation(x, from, length, lag),
         c = Correlation(x, from, length, lag + 1);
  double curve = a - 2 * b + c;
  double top = curve < 0 ? b - (a - c) * (a - c) / (8 * curve) : b;
  double r = std::clamp(top, 1e-4, 0.9999);
  return 10 * std::log10(r / (1 - r));
}

// Periodicity as a phonetics tracker measures it, knowing nothing of marks
// or closures: frames of 4.5 periods of the lowest F0, mean removed, Hann
// window; the autocorrelation of the windowed frame divided by the window's
// own (so that lags are not penalised for the shrinking overlap) and by its
// value at lag 0; the highest local peak between the shortest and longest
// period, topped by a parabola. A frame is voiced when that peak passes
// 0.45 and its level passes a tenth of the signal's largest sample.
struct Periodicity {
  double r = 0;    // normalised autocorrelation peak, 0 when unvoiced
  double lag = 0;  // its lag in samples (fractional)
};

constexpr double kTrackerLowestF0 = 75, kTrackerHighestF0 = 600;
constexpr double kPeriodsPerWindow = 4.5;
constexpr double kVoicedPeak = 0.45, kSilence = 0.1, kOctaveCost = 0.01;

class PeriodicityTrack {
 public:
  PeriodicityTrack(const std::vector<int16_t>& x, int rate, double lowestF0 = kTrackerLowestF0)
      : rate_(rate) {
    window_ = static_cast<size_t>(kPeriodsPerWindow * rate / lowestF0);
    hop_ = static_cast<size_t>(kHopSeconds * rate);
    shortest_ = static_cast<size_t>(rate / kTrackerHighestF0);
    longest_ = static_cast<size_t>(std::ceil(rate / lowestF0));
    std::vector<double> w(window_);
    for (size_t i = 0; i < window_; i++) w[i] = 0.5 - 0.5 * std::cos(2 * 3.141592653589793 * (i + 0.5) / window_);
    std::vector<double> rw(longest_ + 2, 0);
    for (size_t lag = 0; lag < rw.size(); lag++)
      for (size_t i = 0; i + lag < window_; i++) rw[lag] += w[i] * w[i + lag];
    int peak = 1;
    for (int16_t v : x) peak = std::max(peak, std::abs(static_cast<int>(v)));
    std::vector<double> a(window_), r(longest_ + 2);
    for (size_t from = 0; from + window_ <= x.size(); from += hop_) {
      double mean = 0;
      int local = 0;
      for (size_t i = 0; i < window_; i++) {
        mean += x[from + i];
        local = std::max(local, std::abs(static_cast<int>(x[from + i])));
      }
      mean /= window_;
      for (size_t i = 0; i < window_; i++) a[i] = (x[from + i] - mean) * w[i];
      Periodicity p;
      if (local >= kSilence * peak) {
        for (size_t lag = 0; lag < r.size(); lag++) {
          double sum = 0;
          for (size_t i = 0; i + lag < window_; i++) sum += a[i] * a[i + lag];
          r[lag] = sum / rw[lag];
        }
        const double zero = r[0];
        double best = -1e9;
        for (size_t lag = shortest_; lag <= longest_ && zero > 0; lag++) {
          if (r[lag] < r[lag - 1] || r[lag] < r[lag + 1]) continue;
          const double y0 = r[lag - 1] / zero, y1 = r[lag] / zero, y2 = r[lag + 1] / zero;
          const double curve = y0 - 2 * y1 + y2;
          const double shift = curve < 0 ? std::clamp(0.5 * (y0 - y2) / curve, -0.5, 0.5) : 0.0;
          const double top = y1 - 0.25 * (y0 - y2) * shift;
          // A perfectly periodic frame peaks as high at twice the period;
          // the slight preference for short lags (as trackers give) keeps the period.
          const double score = top - kOctaveCost * std::log2((lag + shift) * lowestF0 / rate);
          if (top >= kVoicedPeak && score > best) {
            best = score;
            p = {top, lag + shift};
          }
        }
        if (p.r < kVoicedPeak) p = {};
      }
      frames_.push_back(p);
    }
  }

  size_t Hop() const { return hop_; }
  size_t Window() const { return window_; }
  const std::vector<Periodicity>& Frames() const { return frames_; }
  // The frame whose window is centred nearest to sample `at`, or null.
  const Periodicity* Near(double at) const {
    const double index = std::round((at - 0.5 * window_) / hop_);
    if (index < 0 || index >= static_cast<double>(frames_.size())) return nullptr;
    return &frames_[static_cast<size_t>(index)];
  }

  // Harmonics-to-noise ratio, 10 log10(r / (1 - r)) averaged over the voiced frames.
  double Hnr() const {
    double sum = 0;
    int count = 0;
    for (const Periodicity& p : frames_) {
      if (p.r <= 0) continue;
      const double r = std::min(p.r, 0.99999);
      sum += 10 * std::log10(r / (1 - r));
      count++;
    }
    return count > 0 ? sum / count : 0;
  }

 private:
  int rate_;
  size_t window_ = 0, hop_ = 0, shortest_ = 0, longest_ = 0;
  std::vector<Periodicity> frames_;
};

// Four times the samples, by a Hann-windowed sinc of 16 taps per side: the
// cycle matching below then finds periods to a fraction of a sample
// without the bias a parabola through coarse lags has.
constexpr int kFine = 4;
// A cycle counts only when the next matches it this well: the ramps at
// voicing on- and offsets (in input and output alike) would otherwise rule.
constexpr double kCycleMatch = 0.9;
std::vector<float> Upsampled(const std::vector<int16_t>& x) {
  constexpr int kTaps = 16;
  constexpr double kPi = 3.141592653589793;
  std::vector<float> y(x.size() * kFine, 0.0f);
  double weights[kFine][2 * kTaps];
  for (int phase = 0; phase < kFine; phase++)
    for (int j = 0; j < 2 * kTaps; j++) {
      const double d = (j - kTaps + 1) - double(phase) / kFine;  // source offset from the point
      const double sinc = std::fabs(d) < 1e-12 ? 1.0 : std::sin(kPi * d) / (kPi * d);
      weights[phase][j] = sinc * (0.5 + 0.5 * std::cos(kPi * d / kTaps));
    }
  for (size_t i = 0; i < x.size(); i++)
    for (int phase = 0; phase < kFine; phase++) {
      double sum = 0;
      for (int j = 0; j < 2 * kTaps; j++) {
        const int64_t at = static_cast<int64_t>(i) + j - kTaps + 1;
        if (at >= 0 && at < static_cast<int64_t>(x.size())) sum += weights[phase][j] * x[static_cast<size_t>(at)];
      }
      y[i * kFine + phase] = static_cast<float>(sum);
    }
  return y;
}

// Local jitter in %: the mean absolute difference of consecutive periods
// over the mean period. Periods are found cycle by cycle within the voiced
// frames of the track: from a cycle's start the next lies where a period of
// waveform matches best (normalised cross-correlation between 0.8 and 1.25
// of the frame's period on the four times finer signal, topped by a
// parabola); neighbours differing by more than a factor 1.3 are not
// compared, as trackers do, nor cycles matching their successor poorly.
double LocalJitter(const std::vector<int16_t>& signal, const PeriodicityTrack& track) {
  const std::vector<float> x = Upsampled(signal);
  double differences = 0, periods = 0;
  int64_t pairs = 0, count = 0;
  const auto& frames = track.Frames();
  auto lagAt = [&](double at) {
    const Periodicity* p = track.Near(at);
    return p != nullptr ? p->lag : 0.0;
  };
  auto match = [&](int64_t from, int64_t length, int64_t lag) {
    double xy = 0, xx = 0, yy = 0;
    for (int64_t i = 0; i < length; i++) {
      const double a = x[static_cast<size_t>(from + i)], b = x[static_cast<size_t>(from + lag + i)];
      xy += a * b;
      xx += a * a;
      yy += b * b;
    }
    return xy / std::sqrt(xx * yy + 1e-9);
  };
  size_t f = 0;
  while (f < frames.size()) {
    if (frames[f].r <= 0) {
      f++;
      continue;
    }
    size_t last = f;
    while (last + 1 < frames.size() && frames[last + 1].r > 0) last++;
    // One voiced run: cycles from its first frame's centre on (in fine samples).
    double at = (f * track.Hop() + 0.5 * track.Window()) * kFine;
    const double end = (last * track.Hop() + 0.5 * track.Window()) * kFine;
    double previous = 0;
    while (at < end) {
      const double period = lagAt(at / kFine) * kFine;
      if (period <= 0) break;
      const int64_t t = std::llround(at), half = std::llround(0.5 * period);
      const int64_t low = static_cast<int64_t>(0.8 * period), high = static_cast<int64_t>(std::ceil(1.25 * period));
      if (t - half < 0 || t + high + half + 1 >= static_cast<int64_t>(x.size())) break;
      // Coarse search every fine sample would be slow: every kFine, then around the best.
      int64_t coarse = low;
      double coarseBest = -2;
      for (int64_t lag = low; lag <= high; lag += kFine) {
        const double c = match(t - half, 2 * half, lag);
        if (c > coarseBest) {
          coarseBest = c;
          coarse = lag;
        }
      }
      int64_t bestLag = coarse;
      double y1 = -2;
      for (int64_t lag = std::max(low, coarse - kFine); lag <= std::min(high, coarse + kFine); lag++) {
        const double c = match(t - half, 2 * half, lag);
        if (c > y1) {
          y1 = c;
          bestLag = lag;
        }
      }
      const double y0 = match(t - half, 2 * half, bestLag - 1), y2 = match(t - half, 2 * half, bestLag + 1);
      const double curve = y0 - 2 * y1 + y2;
      const double shift = curve < 0 ? std::clamp(0.5 * (y0 - y2) / curve, -0.5, 0.5) : 0.0;
      const double found = (static_cast<double>(bestLag) + shift) / kFine;  // in samples
      if (y1 < kCycleMatch) {
        previous = 0;
      } else {
        if (previous > 0 && std::max(found, previous) <= 1.3 * std::min(found, previous)) {
          differences += std::fabs(found - previous);
          pairs++;
        }
        periods += found;
        count++;
        previous = found;
      }
      at = static_cast<double>(t) + found * kFine;
    }
    f = last + 1;
  }
  if (pairs == 0 || count == 0) return 0;
  return 100.0 * (differences / pairs) / (periods / count);
}

// Jitter of known period boundaries (the closures of generated speech).
double ClosureJitter(const speechgen::GeneratedSpeech& speech, int longest) {
  double differences = 0, periods = 0;
  int64_t pairs = 0, count = 0;
  const auto& c = speech.closures;
  for (size_t k = 0; k + 1 < c.size(); k++) {
    if (c[k].run != c[k + 1].run) continue;
    const double p = c[k + 1].sample - c[k].sample;
    if (p > longest) continue;
    periods += p;
    count++;
    if (k > 0 && c[k - 1].run == c[k].run) {
      differences += std::fabs(p - (c[k].sample - c[k - 1].sample));
      pairs++;
    }
  }
  return pairs > 0 ? 100.0 * (differences / pairs) / (periods / count) : 0;
}

std::string Figure(double value, int decimals) {
  if (value == 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

int32_t LargestJump(const int16_t* x, size_t n) {
  int32_t jump = 0;
  for (size_t i = 1; i < n; i++) jump = std::max(jump, std::abs(x[i] - x[i - 1]));
  return jump;
}

// SynthesisSpeechStretch of samples 0..end-1 of the signal in the wave
// buffer with these marks (one element over all) and the periods after
// them; empty when refused.
std::vector<int16_t> Stretched(const std::vector<int32_t>& marks, const std::vector<int32_t>& periods,
                               int32_t end, double durationScale) {
  for (int32_t m : marks) AddPeak(m, nullptr);
  std::vector<int32_t> pitch = periods;
  pitch.push_back(0);
  SetModifiedPitch(pitch.data());
  SetFullSegmentation();
  if (!SynthesisSpeechStretch(0, 0, end, static_cast<float>(durationScale))) return {};
  return std::vector<int16_t>(GetSynthesisSpeech(), GetSynthesisSpeech() + GetSynthesisLength());
}

void Quality(int onlyRate) {
  std::printf("| voice | rate | change | frames | on target | old pitch | HNR in / ideal / out dB | HNR on target in / out dB | jitter in / ideal / out %% | duration out/asked | largest jump in/out | clipped |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  struct Voice {
    const char* name;
    speechgen::VoiceRange range;
    double jitter, shimmer;
  } voices[] = {{"male", speechgen::kMaleVoice, 0, 0},
                {"female", speechgen::kFemaleVoice, 0, 0},
                {"male, 1% jitter, 5% shimmer", speechgen::kMaleVoice, 0.01, 0.05},
                {"steady 137 Hz", {137.0, 137.0}, 0, 0}};
  for (const Voice& voice : voices) {
    for (int rate : {8000, 16000}) {
      if (onlyRate > 0 && rate != onlyRate) continue;
      speechgen::SpeechSettings settings;
      settings.sampleRate = rate;
      settings.seconds = 20;
      settings.voice = voice.range;
      settings.jitter = voice.jitter;
      settings.shimmer = voice.shimmer;
      speechgen::GeneratedSpeech speech = speechgen::GenerateSpeech(settings);
      const int32_t length = static_cast<int32_t>(speech.samples.size());
      const int longest = rate / 40;
      const PeriodicityTrack inputTrack(speech.samples, rate);
      const double inputHnr = inputTrack.Hnr(), inputJitter = LocalJitter(speech.samples, inputTrack);
      std::fprintf(stderr, "%s %d: jitter of the closures %.3f%%, measured %.3f%%\n", voice.name, rate,
                   ClosureJitter(speech, longest), inputJitter);
      for (const Change& change : kChanges) {
        // The same utterance generated at the target pitch and pace: what the
        // measures give for a flawless resynthesis (not for a flat target).
        double idealHnr = 0, idealJitter = 0;
        if (change.flatHz <= 0) {
          speechgen::SpeechSettings at = settings;
          at.f0Scale = std::pow(2.0, change.semitones / 12);
          at.timeScale = change.durationScale;
          const speechgen::GeneratedSpeech ideal = speechgen::GenerateSpeech(at);
          const PeriodicityTrack idealTrack(ideal.samples, rate);
          idealHnr = idealTrack.Hnr();
          idealJitter = LocalJitter(ideal.samples, idealTrack);
        }
        InitTalvox();
        SetChannels(1);
        SetDataBuffer(0, speech.samples.data(), length);
        const std::vector<int32_t> marks = Marks(speech);
        const int32_t end = length - 1;
        const std::vector<int16_t> y =
            Stretched(marks, WantedPeriods(marks, rate, longest, change), end, change.durationScale);
        if (y.empty()) {
          std::printf("refused\n");
          continue;
        }
        const std::vector<int16_t> smooth = LowPassed(y, rate);
        size_t frame = static_cast<size_t>(kFrameSeconds * rate), hop = static_cast<size_t>(kHopSeconds * rate);
        int frames = 0, onTarget = 0, old = 0, hnrFrames = 0;
        double hnrIn = 0, hnrOut = 0;
        for (size_t from = 0; from + frame < y.size(); from += hop) {
          // The source place of the frame, and its F0 there (whole frame voiced).
          double sourceStart = from / change.durationScale, sourceEnd = (from + frame) / change.durationScale;
          double f0a = SourceF0(speech, sourceStart, longest), f0b = SourceF0(speech, sourceEnd, longest);
          double f0 = SourceF0(speech, 0.5 * (sourceStart + sourceEnd), longest);
          if (f0a <= 0 || f0b <= 0 || f0 <= 0) continue;
          double target = change.flatHz > 0 ? change.flatHz : f0 * std::pow(2.0, change.semitones / 12);
          double measured = FrameF0(smooth, from, frame, rate);
          frames++;
          if (measured > 0 && std::fabs(measured / target - 1) <= kOnTarget) {
            onTarget++;
            size_t source = static_cast<size_t>(sourceStart);
            hnrOut += FrameHnr(y, from, frame, rate / measured);
            hnrIn += FrameHnr(speech.samples, source, frame, rate / f0);
            hnrFrames++;
          }
          if (measured > 0 && std::fabs(measured / f0 - 1) <= kOnTarget && std::fabs(target / f0 - 1) > 2 * kOnTarget) old++;
        }
        int clipped = 0;
        for (int16_t v : y) clipped += (v >= 32767 || v <= -32768) ? 1 : 0;
        double asked = end * change.durationScale;
        const PeriodicityTrack outputTrack(y, rate);
        std::printf("| %s | %d | %s | %d | %.1f%% | %.1f%% | %.1f / %s / %.1f | %.1f / %.1f | %.2f / %s / %.2f | %.5f | %d / %d | %d |\n",
                    voice.name, rate, change.name, frames, 100.0 * onTarget / std::max(frames, 1),
                    100.0 * old / std::max(frames, 1), inputHnr, Figure(idealHnr, 1).c_str(), outputTrack.Hnr(),
                    hnrIn / std::max(hnrFrames, 1), hnrOut / std::max(hnrFrames, 1), inputJitter,
                    Figure(idealJitter, 2).c_str(), LocalJitter(y, outputTrack),
                    double(y.size()) / asked, LargestJump(speech.samples.data(), speech.samples.size()),
                    LargestJump(y.data(), y.size()), clipped);
      }
    }
  }
}

// 16-bit mono PCM samples of a WAV file (the data chunk), and its rate.
std::vector<int16_t> ReadWav(const char* path, int& rate) {
  std::vector<int16_t> samples;
  FILE* file = std::fopen(path, "rb");
  if (!file) return samples;
  unsigned char header[12];
  if (std::fread(header, 1, 12, file) != 12 || std::memcmp(header, "RIFF", 4) != 0) {
    std::fclose(file);
    return samples;
  }
  unsigned char chunk[8];
  while (std::fread(chunk, 1, 8, file) == 8) {
    const uint32_t size = chunk[4] | chunk[5] << 8 | chunk[6] << 16 | static_cast<uint32_t>(chunk[7]) << 24;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      std::vector<unsigned char> format(size);
      if (std::fread(format.data(), 1, size, file) != size || size < 16) break;
      rate = format[4] | format[5] << 8 | format[6] << 16 | format[7] << 24;
      if ((format[2] | format[3] << 8) != 1 || (format[14] | format[15] << 8) != 16) break;  // mono, 16-bit
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      samples.resize(size / 2);
      const size_t got = std::fread(samples.data(), 2, samples.size(), file);
      samples.resize(got);
      break;
    } else {
      std::fseek(file, size + (size & 1), SEEK_CUR);
    }
  }
  std::fclose(file);
  return samples;
}

// Every second sample after a Hann-windowed sinc low-pass at 0.45 of the new rate.
std::vector<int16_t> Halved(const std::vector<int16_t>& x) {
  constexpr int kTaps = 32;
  constexpr double kPi = 3.141592653589793, kCut = 0.45 * 0.5;  // of the old rate
  double w[2 * kTaps + 1];
  for (int j = -kTaps; j <= kTaps; j++) {
    const double sinc = j == 0 ? 2 * kCut : std::sin(2 * kPi * kCut * j) / (kPi * j);
    w[j + kTaps] = sinc * (0.5 + 0.5 * std::cos(kPi * j / (kTaps + 1)));
  }
  std::vector<int16_t> y;
  for (size_t i = 0; i < x.size(); i += 2) {
    double sum = 0;
    for (int j = -kTaps; j <= kTaps; j++) {
      const int64_t at = static_cast<int64_t>(i) + j;
      if (at >= 0 && at < static_cast<int64_t>(x.size())) sum += w[j + kTaps] * x[static_cast<size_t>(at)];
    }
    y.push_back(static_cast<int16_t>(std::lround(std::clamp(sum, -32768.0, 32767.0))));
  }
  return y;
}

// Frames whose reading leaves no doubt: strongly periodic, and within the
// reader's plausible range around its median F0 (the tracker also reads
// fricatives and creak at 500-600 Hz).
constexpr double kClearPeriodicity = 0.7;
constexpr double kPlausibleBelow = 2.5, kPlausibleAbove = 2.0;

double MedianF0(const PeriodicityTrack& track, int rate) {
  std::vector<double> f0;
  for (const Periodicity& p : track.Frames())
    if (p.r > 0) f0.push_back(rate / p.lag);
  if (f0.empty()) return 0;
  std::nth_element(f0.begin(), f0.begin() + static_cast<std::ptrdiff_t>(f0.size() / 2), f0.end());
  return f0[f0.size() / 2];
}

// Frames the path tracker finds voiced in the input against the output's
// reading at the mapped place.
struct PathScore {
  int frames = 0, onTarget = 0, old = 0;
  double OnTarget() const { return 100.0 * onTarget / std::max(frames, 1); }
  double OldPitch() const { return 100.0 * old / std::max(frames, 1); }
};

PathScore ScorePath(const speechgen::F0Path& input, const speechgen::F0Path& output, const Change& change) {
  PathScore score;
  for (size_t k = 0; k < input.F0().size(); k++) {
    const double f0 = input.F0()[k];
    const double measured = output.Near(input.Centre(k) * change.durationScale);
    if (f0 <= 0 || measured < 0) continue;
    const double target = change.flatHz > 0 ? change.flatHz : f0 * std::pow(2.0, change.semitones / 12);
    score.frames++;
    if (measured > 0 && std::fabs(measured / target - 1) <= kOnTarget) score.onTarget++;
    if (measured > 0 && std::fabs(measured / f0 - 1) <= kOnTarget && std::fabs(target / f0 - 1) > 2 * kOnTarget) score.old++;
  }
  return score;
}

// A real recording at its own rate and halved: marks of the voice route (as
// the command uses by default), periods planned as the command plans them,
// F0 targets from the input's own F0 at the place (measured as above).
// false when the file cannot be read.
bool Recording(const char* path, double trackerFloor, double pathCeiling) {
  int fileRate = 0;
  const std::vector<int16_t> file = ReadWav(path, fileRate);
  if (file.empty() || fileRate <= 0) {
    std::fprintf(stderr, "%s: not a 16-bit mono WAV file\n", path);
    return false;
  }
  std::printf("| rate | change | frames | on target | old pitch | on target, tracker | old pitch, tracker | on target, clear frames (their share) | on target, path tracker | old pitch, path tracker | HNR in / out dB | jitter in / out %% | duration out/asked | largest jump in/out | clipped |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (int halve = 0; halve < 2; halve++) {
    if (halve && fileRate < 16000) break;  // a copy below 8 kHz would say little
    const std::vector<int16_t> x = halve ? Halved(file) : file;
    const int rate = halve ? fileRate / 2 : fileRate;
    const int32_t length = static_cast<int32_t>(x.size());
    const int longest = rate / 40;
    const PeriodicityTrack inputTrack(x, rate, trackerFloor);
    speechgen::F0PathSettings pathSettings;
    pathSettings.floorHz = trackerFloor;
    pathSettings.ceilingHz = pathCeiling;
    const speechgen::F0Path inputPath(x, rate, pathSettings);
    const double inputMedianF0 = MedianF0(inputTrack, rate);
    const double inputHnr = inputTrack.Hnr(), inputJitter = LocalJitter(x, inputTrack);
    const std::vector<int16_t> smoothIn = LowPassed(x, rate);
    // Marks of the voice route and the present periods, once for every change.
    std::vector<int32_t> marks(static_cast<size_t>(_CalculateVoiceMarks(x.data(), length, rate, 0, 0, nullptr, 0)));
    _CalculateVoiceMarks(x.data(), length, rate, 0, 0, marks.data(), static_cast<int32_t>(marks.size()));
    // For a change the command continues the runs' faint edges first.
    const std::vector<int32_t> continued = tvx::ContinueRuns(x.data(), length, marks, longest, 0, length);
    const std::vector<double> present = PresentPeriods(continued, x, rate, longest);
    for (const Change& change : kChanges) {
      const std::vector<int32_t>& used = change.Unchanged() ? marks : continued;
      InitTalvox();
      SetChannels(1);
      std::vector<int16_t> buffer = x;
      SetDataBuffer(0, buffer.data(), length);
      const int32_t end = length - 1;
      const std::vector<int16_t> y =
          Stretched(used, WantedPeriods(used, rate, longest, change, change.Unchanged() ? nullptr : &present), end,
                    change.durationScale);
      if (y.empty()) {
        std::printf("refused\n");
        continue;
      }
      const std::vector<int16_t> smooth = LowPassed(y, rate);
      const size_t frame = static_cast<size_t>(kFrameSeconds * rate), hop = static_cast<size_t>(kHopSeconds * rate);
      int frames = 0, onTarget = 0, old = 0;
      for (size_t from = 0; from + frame < y.size(); from += hop) {
        const size_t source = static_cast<size_t>(from / change.durationScale);
        const double f0 = FrameF0(smoothIn, source, frame, rate);
        if (f0 <= 0) continue;
        const double target = change.flatHz > 0 ? change.flatHz : f0 * std::pow(2.0, change.semitones / 12);
        const double measured = FrameF0(smooth, from, frame, rate);
        frames++;
        if (measured > 0 && std::fabs(measured / target - 1) <= kOnTarget) onTarget++;
        if (measured > 0 && std::fabs(measured / f0 - 1) <= kOnTarget && std::fabs(target / f0 - 1) > 2 * kOnTarget) old++;
      }
      int clipped = 0;
      for (int16_t v : y) clipped += (v >= 32767 || v <= -32768) ? 1 : 0;
      const PeriodicityTrack outputTrack(y, rate, trackerFloor);
      // The same with the autocorrelation tracker of the HNR: F0 of every
      // frame it finds voiced in the input against the output's at the
      // mapped place.
      int tracked = 0, trackedOn = 0, trackedOld = 0, clear = 0, clearOn = 0;
      const std::vector<Periodicity>& inputFrames = inputTrack.Frames();
      for (size_t f = 0; f < inputFrames.size(); f++) {
        if (inputFrames[f].r <= 0) continue;
        const double centre = static_cast<double>(f * inputTrack.Hop() + inputTrack.Window() / 2);
        const Periodicity* out = outputTrack.Near(centre * change.durationScale);
        if (!out) continue;
        const double f0 = rate / inputFrames[f].lag;
        const double target = change.flatHz > 0 ? change.flatHz : f0 * std::pow(2.0, change.semitones / 12);
        const double measured = out->r > 0 ? rate / out->lag : 0;
        tracked++;
        const bool on = measured > 0 && std::fabs(measured / target - 1) <= kOnTarget;
        if (on) trackedOn++;
        if (measured > 0 && std::fabs(measured / f0 - 1) <= kOnTarget && std::fabs(target / f0 - 1) > 2 * kOnTarget) trackedOld++;
        if (inputFrames[f].r >= kClearPeriodicity && f0 >= inputMedianF0 / kPlausibleBelow &&
            f0 <= inputMedianF0 * kPlausibleAbove) {
          clear++;
          if (on) clearOn++;
        }
      }
      const PathScore path = ScorePath(inputPath, speechgen::F0Path(y, rate, pathSettings), change);
      std::printf("| %d | %s | %d | %.1f%% | %.1f%% | %.1f%% | %.1f%% | %.1f%% (%.0f%%) | %.1f%% | %.1f%% | %.1f / %.1f | %.2f / %.2f | %.5f | %d / %d | %d |\n", rate,
                  change.name, frames, 100.0 * onTarget / std::max(frames, 1), 100.0 * old / std::max(frames, 1),
                  100.0 * trackedOn / std::max(tracked, 1), 100.0 * trackedOld / std::max(tracked, 1),
                  100.0 * clearOn / std::max(clear, 1), 100.0 * clear / std::max(tracked, 1),
                  path.OnTarget(), path.OldPitch(),
                  inputHnr, outputTrack.Hnr(), inputJitter, LocalJitter(y, outputTrack),
                  double(y.size()) / (end * change.durationScale), LargestJump(x.data(), x.size()),
                  LargestJump(y.data(), y.size()), clipped);
    }
  }
  return true;
}

// Any output file against its input under the path tracker, the change
// given by its pitch factor and duration scale: for calibrating the measure
// with outputs made elsewhere (a resampled copy shifts pitch and time
// exactly). false when the files cannot be compared.
bool Compare(const char* inputPath, const char* outputPath, double semitones, double durationScale,
             double floorHz, double ceilingHz) {
  int inRate = 0, outRate = 0;
  const std::vector<int16_t> x = ReadWav(inputPath, inRate), y = ReadWav(outputPath, outRate);
  if (x.empty() || y.empty() || inRate != outRate) {
    std::fprintf(stderr, "compare: two 16-bit mono WAV files of one rate\n");
    return false;
  }
  speechgen::F0PathSettings settings;
  settings.floorHz = floorHz;
  settings.ceilingHz = ceilingHz;
  const Change change{"compared", semitones, 0, durationScale};
  const speechgen::F0Path in(x, inRate, settings), out(y, outRate, settings);
  const PathScore score = ScorePath(in, out, change);
  if (std::getenv("STRETCH_COMPARE_FRAMES"))  // every voiced input frame: time, input, wanted, output
    for (size_t k = 0; k < in.F0().size(); k++)
      if (in.F0()[k] > 0)
        std::printf("%.3f %.1f %.1f %.1f\n", in.Centre(k) / inRate, in.F0()[k],
                    in.F0()[k] * std::pow(2.0, semitones / 12), out.Near(in.Centre(k) * durationScale));
  std::printf("frames %d, on target %.1f%%, old pitch %.1f%%\n", score.frames, score.OnTarget(), score.OldPitch());
  return true;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Resident and peak resident memory (kB) from /proc; the peak can be reset
// so that it tells the peak of one call.
long StatusKilobytes(const char* field) {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return -1;
  char line[256];
  long value = -1;
  while (std::fgets(line, sizeof line, status))
    if (std::strncmp(line, field, std::strlen(field)) == 0) value = std::atol(line + std::strlen(field));
  std::fclose(status);
  return value;
}

void ResetPeak() {
  if (FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", refs);
    std::fclose(refs);
  }
}

void Speed(double seconds, float scale) {
  speechgen::SpeechSettings settings;
  settings.seconds = seconds;
  settings.seed = 7;
  speechgen::GeneratedSpeech speech = speechgen::GenerateSpeech(settings);
  const int32_t length = static_cast<int32_t>(speech.samples.size());
  InitWaveFileProc();
  InitTalvox();
  SetChannels(1);
  SetDataBuffer(0, speech.samples.data(), length);
  std::vector<int32_t> marks = Marks(speech), periods;
  for (size_t k = 0; k + 1 < marks.size(); k++)
    periods.push_back(static_cast<int32_t>(std::lround((marks[k + 1] - marks[k]) / std::pow(2.0, 4 / 12.0))));
  // The peak table through the peak-file reader's record would be faster;
  // AddPeak appends cheaply when the marks come in order.
  for (int32_t m : marks) AddPeak(m, nullptr);
  SetModifiedPitch(periods.data());
  SetFullSegmentation();
  speechgen::GeneratedSpeech().samples.swap(speech.samples);  // only the wave buffer keeps the signal
  const double signalMb = 2.0 * length / 1e6;
  {
    ResetPeak();
    const long before = StatusKilobytes("VmRSS:");
    const double cpu0 = CpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    if (!SynthesisSpeechStretch(0, 0, length - 1, scale)) std::printf("refused\n");
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double cpu = CpuSeconds() - cpu0;
    const double outputMb = 2.0 * GetSynthesisLength() / 1e6;
    const double grownMb = (StatusKilobytes("VmHWM:") - before) * 1024.0 / 1e6;
    std::printf("%.0f s at 16 kHz, +4 st, duration x%.1f: CPU %.2f s (wall %.2f s), %.0fx real time; "
                "memory of the call at its peak %.0f MB (output %.0f MB, signal %.0f MB)\n",
                seconds, scale, cpu, wall, seconds / cpu, grownMb, outputMb, signalMb);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "quality";
  if (mode == "speed") {
    Speed(argc > 2 ? std::atof(argv[2]) : 3600.0, argc > 3 ? static_cast<float>(std::atof(argv[3])) : 1.0f);
  } else if (mode == "recording" && argc > 2) {
    if (!Recording(argv[2], argc > 3 ? std::atof(argv[3]) : kTrackerLowestF0,
                   argc > 4 ? std::atof(argv[4]) : speechgen::F0PathSettings().ceilingHz))
      return 1;
  } else if (mode == "compare" && argc > 7) {
    if (!Compare(argv[2], argv[3], std::atof(argv[4]), std::atof(argv[5]), std::atof(argv[6]), std::atof(argv[7])))
      return 1;
  } else if (mode == "quality") {
    Quality(argc > 2 ? std::atoi(argv[2]) : 0);
  } else {
    std::fprintf(stderr, "usage: stretch_benchmark quality [rate] | recording FILE.wav [floor [ceiling]] | speed [seconds [scale]]\n"
                 "       | compare IN.wav OUT.wav semitones duration-scale floor ceiling\n");
    return 2;
  }
  return 0;
}
