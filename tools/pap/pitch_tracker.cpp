#include "pitch_tracker.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace pap {

namespace {

constexpr double kPeriodsPerWindow = 3.0;   // at the floor: enough for a stable peak
constexpr int kVoicedCandidates = 8;        // best local maxima kept per frame
constexpr float kVoicingThreshold = 0.45f;  // periodicity a voiced frame must show
constexpr float kSilenceThreshold = 0.03f;  // frame peak relative to the loudest, below: silence
constexpr float kOctaveCost = 0.01f;        // per octave, favours the higher of equal candidates
constexpr float kOctaveJumpCost = 0.35f;    // per octave between neighbouring frames
constexpr float kVoicingChangeCost = 0.14f; // per change between voiced and unvoiced
// Band of the periodicity measure: full weight below kBandFull, tapering to
// nothing at kBandTop (Hz).
constexpr double kBandFull = 900.0;
constexpr double kBandTop = 1800.0;
// Frames quieter than this (relative to the loudest) can never be voiced on
// the path, so their autocorrelation is not computed.
constexpr float kSkipBelow = 0.02f;

struct Candidate {
  float frequency = 0.0f;  // 0: unvoiced
  float strength = 0.0f;
};

struct FftDeleter {
  void operator()(float* p) const { fftwf_free(p); }
};
struct ComplexDeleter {
  void operator()(fftwf_complex* p) const { fftwf_free(p); }
};

// Autocorrelation of one real block of nfft samples through the FFT.
class Autocorrelator {
 public:
  explicit Autocorrelator(int nfft)
      : nfft_(nfft),
        time_(fftwf_alloc_real(static_cast<std::size_t>(nfft))),
        spectrum_(fftwf_alloc_complex(static_cast<std::size_t>(nfft / 2 + 1))) {
    forward_ = fftwf_plan_dft_r2c_1d(nfft, time_.get(), spectrum_.get(), FFTW_ESTIMATE);
    backward_ = fftwf_plan_dft_c2r_1d(nfft, spectrum_.get(), time_.get(), FFTW_ESTIMATE);
  }
  ~Autocorrelator() {
    fftwf_destroy_plan(forward_);
    fftwf_destroy_plan(backward_);
  }
  Autocorrelator(const Autocorrelator&) = delete;
  Autocorrelator& operator=(const Autocorrelator&) = delete;

  float* input() { return time_.get(); }
  // Weights of the power spectrum per bin (empty: all 1).
  void SetWeights(std::vector<float> weights) { weights_ = std::move(weights); }
  // Replaces the input (zero-padded past the window) by its autocorrelation.
  const float* Run() {
    fftwf_execute(forward_);
    fftwf_complex* s = spectrum_.get();
    for (int k = 0; k <= nfft_ / 2; ++k) {
      s[k][0] = s[k][0] * s[k][0] + s[k][1] * s[k][1];
      s[k][1] = 0.0f;
    }
    if (!weights_.empty()) {
      for (int k = 0; k <= nfft_ / 2; ++k) s[k][0] *= weights_[static_cast<std::size_t>(k)];
    }
    fftwf_execute(backward_);
    return time_.get();
  }

 private:
  int nfft_;
  std::vector<float> weights_;
  std::unique_ptr<float, FftDeleter> time_;
  std::unique_ptr<fftwf_complex, ComplexDeleter> spectrum_;
  fftwf_plan forward_;
  fftwf_plan backward_;
};

struct FrameAnalyser {
  int window = 0;
  int minLag = 0;
  int maxLag = 0;
  int sampleRate = 0;
  float floor = 0.0f;
  std::vector<float> hann;
  std::vector<float> windowCorrelation;  // normalised, per lag
  Autocorrelator correlator;

  FrameAnalyser(int windowLength, int nfft) : correlator(nfft) { window = windowLength; }
};

int NextPowerOfTwo(int n) {
  int p = 1;
  while (p < n) p *= 2;
  return p;
}

void PrepareWindow(FrameAnalyser& a, int nfft) {
  const double kTwoPi = 6.283185307179586;
  a.hann.resize(static_cast<std::size_t>(a.window));
  for (int i = 0; i < a.window; ++i) {
    a.hann[static_cast<std::size_t>(i)] =
        static_cast<float>(0.5 - 0.5 * std::cos(kTwoPi * (i + 0.5) / a.window));
  }
  float* in = a.correlator.input();
  std::fill(in, in + nfft, 0.0f);
  std::copy(a.hann.begin(), a.hann.end(), in);
  const float* r = a.correlator.Run();
  a.windowCorrelation.resize(static_cast<std::size_t>(a.maxLag + 2));
  for (int lag = 0; lag <= a.maxLag + 1; ++lag) {
    a.windowCorrelation[static_cast<std::size_t>(lag)] = r[lag] / r[0];
  }
  // From here on, frames are weighed towards the band where voices keep their
  // periodicity, so that broadband noise counts less.
  std::vector<float> weights(static_cast<std::size_t>(nfft / 2 + 1));
  const double kPi = 3.141592653589793;
  for (int k = 0; k <= nfft / 2; ++k) {
    double f = static_cast<double>(k) * a.sampleRate / nfft;
    double w = 1.0;
    if (f >= kBandTop) w = 0.0;
    else if (f > kBandFull) w = 0.5 + 0.5 * std::cos(kPi * (f - kBandFull) / (kBandTop - kBandFull));
    weights[static_cast<std::size_t>(k)] = static_cast<float>(w);
  }
  a.correlator.SetWeights(std::move(weights));
}

// Voiced candidates of one frame, strongest first, appended to out.
void VoicedCandidates(FrameAnalyser& a, const int16_t* x, float mean, int nfft,
                      std::vector<Candidate>& out) {
  float* in = a.correlator.input();
  for (int i = 0; i < a.window; ++i) {
    in[i] = (static_cast<float>(x[i]) - mean) * a.hann[static_cast<std::size_t>(i)];
  }
  std::fill(in + a.window, in + nfft, 0.0f);
  const float* r = a.correlator.Run();
  if (!(r[0] > 0.0f)) return;
  auto normalised = [&](int lag) {
    return r[lag] / r[0] / a.windowCorrelation[static_cast<std::size_t>(lag)];
  };
  const std::size_t first = out.size();
  float before = normalised(a.minLag - 1);
  float here = normalised(a.minLag);
  for (int lag = a.minLag; lag <= a.maxLag; ++lag) {
    float after = normalised(lag + 1);
    if (here > before && here >= after && here > 0.0f) {
      float curvature = before - 2.0f * here + after;
      float shift = curvature < 0.0f ? 0.5f * (before - after) / curvature : 0.0f;
      float peak = here - 0.25f * (before - after) * shift;
      if (peak > 1.0f) peak = 1.0f / peak;  // window correction overshoot
      float lagExact = static_cast<float>(lag) + shift;
      Candidate c;
      c.frequency = static_cast<float>(a.sampleRate) / lagExact;
      c.strength = peak - kOctaveCost * std::log2(a.floor * lagExact / static_cast<float>(a.sampleRate));
      out.push_back(c);
    }
    before = here;
    here = after;
  }
  auto begin = out.begin() + static_cast<std::ptrdiff_t>(first);
  std::sort(begin, out.end(), [](const Candidate& l, const Candidate& r2) {
    return l.strength > r2.strength;
  });
  if (out.size() - first > static_cast<std::size_t>(kVoicedCandidates)) {
    out.resize(first + kVoicedCandidates);
  }
}

float TransitionCost(const Candidate& from, const Candidate& to, float stepScale) {
  bool fromVoiced = from.frequency > 0.0f;
  bool toVoiced = to.frequency > 0.0f;
  if (!fromVoiced && !toVoiced) return 0.0f;
  if (fromVoiced != toVoiced) return kVoicingChangeCost * stepScale;
  return kOctaveJumpCost * stepScale * std::fabs(std::log2(from.frequency / to.frequency));
}

}  // namespace

PitchTrack TrackPitch(const std::vector<int16_t>& samples, int sampleRate,
                      const PitchSettings& settings) {
  PitchTrack track;
  const int n = static_cast<int>(samples.size());
  const double windowLength = std::ceil(kPeriodsPerWindow * sampleRate / settings.floor);
  // A window longer than the sound gives no frame at all (and keeps the
  // sizes below within int).
  if (sampleRate <= 0 || !(windowLength <= n)) return track;
  const int window = static_cast<int>(windowLength);
  const int minLag = std::max(2, static_cast<int>(std::floor(sampleRate / settings.ceiling)));
  const int maxLag = static_cast<int>(std::ceil(sampleRate / settings.floor));
  if (maxLag + 2 >= window || minLag > maxLag) return track;
  // At most one frame per sample.
  const double hop = std::max(1.0, settings.timeStep * sampleRate);
  const int frames = static_cast<int>(std::floor((n - window) / hop)) + 1;
  track.timeStep = hop / sampleRate;
  track.firstTime = 0.5 * window / sampleRate;

  const int nfft = NextPowerOfTwo(window + maxLag + 2);
  FrameAnalyser analyser(window, nfft);
  analyser.minLag = minLag;
  analyser.maxLag = maxLag;
  analyser.sampleRate = sampleRate;
  analyser.floor = static_cast<float>(settings.floor);
  PrepareWindow(analyser, nfft);

  int globalPeak = 1;
  for (int16_t s : samples) globalPeak = std::max(globalPeak, std::abs(static_cast<int>(s)));

  // Candidates of all frames in one array; offsets[f] is where frame f's
  // begin (the unvoiced candidate first).
  std::vector<Candidate> candidates;
  std::vector<uint32_t> offsets(static_cast<std::size_t>(frames) + 1);
  candidates.reserve(static_cast<std::size_t>(frames) * 3);
  for (int f = 0; f < frames; ++f) {
    offsets[static_cast<std::size_t>(f)] = static_cast<uint32_t>(candidates.size());
    const int start = std::min(n - window, static_cast<int>(std::lround(f * hop)));
    const int16_t* x = samples.data() + start;
    long long sum = 0;
    for (int i = 0; i < window; ++i) sum += x[i];
    const float mean = static_cast<float>(sum) / static_cast<float>(window);
    float localPeak = 0.0f;
    for (int i = 0; i < window; ++i) localPeak = std::max(localPeak, std::fabs(x[i] - mean));
    const float loudness = localPeak / static_cast<float>(globalPeak);
    Candidate unvoiced;
    unvoiced.strength =
        kVoicingThreshold +
        std::max(0.0f, 2.0f - loudness / (kSilenceThreshold / (1.0f + kVoicingThreshold)));
    candidates.push_back(unvoiced);
    if (loudness >= kSkipBelow) VoicedCandidates(analyser, x, mean, nfft, candidates);
  }
  offsets[static_cast<std::size_t>(frames)] = static_cast<uint32_t>(candidates.size());

  // Viterbi: best score of a path ending in each candidate, with back links.
  const float stepScale = static_cast<float>(0.01 * sampleRate / hop);
  std::vector<float> score(candidates.size());
  std::vector<uint8_t> back(candidates.size(), 0);
  for (uint32_t c = offsets[0]; c < offsets[1]; ++c) score[c] = candidates[c].strength;
  for (int f = 1; f < frames; ++f) {
    const uint32_t p0 = offsets[static_cast<std::size_t>(f) - 1];
    const uint32_t p1 = offsets[static_cast<std::size_t>(f)];
    const uint32_t c1 = offsets[static_cast<std::size_t>(f) + 1];
    for (uint32_t c = p1; c < c1; ++c) {
      float best = -1e30f;
      uint8_t from = 0;
      for (uint32_t p = p0; p < p1; ++p) {
        float value = score[p] - TransitionCost(candidates[p], candidates[c], stepScale);
        if (value > best) {
          best = value;
          from = static_cast<uint8_t>(p - p0);
        }
      }
      score[c] = best + candidates[c].strength;
      back[c] = from;
    }
  }
  track.frequency.assign(static_cast<std::size_t>(frames), 0.0f);
  if (frames == 0) return track;
  uint32_t at = offsets[static_cast<std::size_t>(frames) - 1];
  for (uint32_t c = at; c < offsets[static_cast<std::size_t>(frames)]; ++c) {
    if (score[c] > score[at]) at = c;
  }
  for (int f = frames - 1; f >= 0; --f) {
    track.frequency[static_cast<std::size_t>(f)] = candidates[at].frequency;
    if (f > 0) at = offsets[static_cast<std::size_t>(f) - 1] + back[at];
  }
  return track;
}

}  // namespace pap
