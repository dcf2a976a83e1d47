#include "voice/voice_marks.h"

#include <algorithm>
#include <cmath>

#include "voice/closure_path.h"
#include "voice/decimation.h"
#include "voice/lp_residual.h"
#include "voice/run_ends.h"

namespace talvox {

namespace {
// The residual is computed at no more than this rate: the closure pulses
// stand out of noise best in the band where voiced speech has most of its
// power, and interpolation still places them to a few hundredths of a
// millisecond.
constexpr double kHighestMarkRate = 6000.0;
// A high voice has few samples per period at that rate, and in noise its
// closure pulse and the weaker pulse of the glottis opening half a period
// later blur into the same height: its runs are reduced to no fewer than
// this many samples per period (of the run's median F0), up to the higher
// rate.
constexpr double kSamplesPerPeriod = 30.0;
constexpr double kHighVoiceMarkRate = 8000.0;
// Prediction order: two per kHz of bandwidth plus a few for the glottal
// and radiation tilt.
constexpr double kOrderPerKilohertz = 1.0;
constexpr int32_t kExtraOrder = 4;
constexpr int32_t kLowestOrder = 8;
// Voiced runs closer than this many frames are one; shorter runs are noise.
constexpr int32_t kBridgedGapFrames = 2;
constexpr int32_t kShortestRunFrames = 3;
// Each run is searched this many periods beyond its voiced frames.
constexpr double kRunMarginPeriods = 1.0;
// Faint closures this many frames inside a run's voiced frames are a soft
// stretch of the voice (a weak closure that the tracker still finds
// periodic), not its fading in or out: they keep their marks.
constexpr double kSureVoicedFrames = 2.0;

struct RunMarks {
  std::vector<int32_t> positive;
  std::vector<int32_t> negative;
  // Mean sign-corrected pulse of the closures each polarity chose.
  double positivePulse = 0;
  double negativePulse = 0;
};

double MeanPulse(const std::vector<ChosenClosure>& closures) {
  double sum = 0;
  for (const ChosenClosure& c : closures) sum += c.pulse;
  return closures.empty() ? 0.0 : sum / static_cast<double>(closures.size());
}

int32_t OrderFor(double rate) {
  const int32_t order =
      static_cast<int32_t>(std::lround(kOrderPerKilohertz * rate / 1000.0)) + kExtraOrder;
  return std::max(order, kLowestOrder);
}

double PeriodNear(const VoiceTrack& track, double sample, const FrameRun& run) {
  float f0 = F0At(track, sample);
  if (!(f0 > 0)) {
    const double frame = std::clamp(sample / track.hop, static_cast<double>(run.first),
                                    static_cast<double>(run.last));
    f0 = track.f0[static_cast<size_t>(std::lround(frame))];
    if (!(f0 > 0)) f0 = track.f0[run.first];
  }
  return track.sampleRate / f0;
}
}  // namespace

int32_t MarkReductionFactor(const VoiceTrack& track, const FrameRun& run, int32_t sampleRate) {
  std::vector<float> f0;
  for (int32_t f = run.first; f <= run.last; ++f) {
    if (track.f0[f] > 0) f0.push_back(track.f0[f]);
  }
  double rate = kHighestMarkRate;
  if (!f0.empty()) {
    const auto middle = f0.begin() + static_cast<std::ptrdiff_t>(f0.size() / 2);
    std::nth_element(f0.begin(), middle, f0.end());
    rate = std::clamp(kSamplesPerPeriod * *middle, kHighestMarkRate, kHighVoiceMarkRate);
  }
  return std::max(1, static_cast<int32_t>(std::ceil(sampleRate / rate)));
}

namespace {

// The period is looked up at this spacing: the track changes slowly.
constexpr double kPeriodStepSeconds = 0.001;

int32_t PeriodStep(double rate) {
  return std::max(1, static_cast<int32_t>(kPeriodStepSeconds * rate));
}

// Periods in reduced samples for residual positions 0, step, 2 step, ...
std::vector<float> PeriodTable(const VoiceTrack& track, const FrameRun& run, int64_t start,
                               int32_t factor, int32_t count) {
  const int32_t step = PeriodStep(track.sampleRate / factor);
  std::vector<float> periods(static_cast<size_t>(count / step + 1));
  for (size_t i = 0; i < periods.size(); ++i) {
    const double at = static_cast<double>(start) + (static_cast<double>(i) + 0.5) * step * factor;
    periods[i] = static_cast<float>(PeriodNear(track, at, run) / factor);
  }
  return periods;
}
}  // namespace

std::vector<int32_t> VoiceMarks(const int16_t* samples, int32_t length, int32_t sampleRate,
                                const VoiceTrack& track) {
  const std::vector<FrameRun> runs = VoicedRuns(track, kBridgedGapFrames, kShortestRunFrames);
  std::vector<RunMarks> found(runs.size());
  const double floorPower = NoiseFloorPower(samples, length, sampleRate);
  double skew = 0;
  for (size_t r = 0; r < runs.size(); ++r) {
    const FrameRun& run = runs[r];
    const int32_t factor = MarkReductionFactor(track, run, sampleRate);
    const double markRate = static_cast<double>(sampleRate) / factor;
    const int32_t order = OrderFor(markRate);
    const double coreStart = (run.first - 0.5) * track.hop;
    const double coreEnd = (run.last + 0.5) * track.hop;
    const double before = kRunMarginPeriods * PeriodNear(track, coreStart, run);
    const double after = kRunMarginPeriods * PeriodNear(track, coreEnd, run);
    const int64_t start = std::max<int64_t>(0, static_cast<int64_t>(coreStart - before));
    const int64_t end = std::min<int64_t>(length, static_cast<int64_t>(coreEnd + after) + 1);
    if (end - start < 4 * factor) continue;
    // A lead-in of real signal for the prediction filter.
    const int64_t leadIn = std::min<int64_t>(start / factor, order);
    const int64_t first = start - leadIn * factor;
    const int32_t count = static_cast<int32_t>((end - first) / factor);
    const std::vector<float> x = DecimateLinearPhase(samples, length, first, count, factor);
    const std::vector<float> e = PredictionResidual(x.data(), count, markRate, order);
    double power = 0;
    for (int32_t t = static_cast<int32_t>(leadIn); t < count; ++t)
      power += static_cast<double>(e[t]) * e[t];
    power /= std::max<int64_t>(1, count - leadIn);
    if (power > 0) {
      const double scale = 1.0 / std::sqrt(power);
      for (int32_t t = static_cast<int32_t>(leadIn); t < count; ++t) {
        const double v = e[t] * scale;
        skew += v * v * v;
      }
    }
    ClosureSearch search;
    search.residual = e.data() + leadIn;
    search.length = static_cast<int32_t>(count - leadIn);
    search.rate = markRate;
    search.coreStart = (coreStart - start) / factor;
    search.coreEnd = (coreEnd - start) / factor;
    const std::vector<float> periods = PeriodTable(track, run, start, factor, search.length);
    search.periods = periods.data();
    search.periodCount = static_cast<int32_t>(periods.size());
    search.periodStep = PeriodStep(markRate);
    auto toSamples = [&](std::vector<ChosenClosure> closures, std::vector<int32_t>& out,
                         double& pulse) {
      pulse = MeanPulse(closures);
      const double sure = kSureVoicedFrames * track.hop / factor;
      TrimFaintPulses(closures, search.coreStart + sure, search.coreEnd - sure);
      for (const ChosenClosure& c : closures) {
        const int64_t at = start + std::llround(c.position * factor);
        if (at >= 0 && at < length) out.push_back(static_cast<int32_t>(at));
      }
      TrimQuietCycles(samples, length, sampleRate, floorPower, out);
    };
    search.polarity = 1;
    toSamples(ChooseClosures(search), found[r].positive, found[r].positivePulse);
    search.polarity = -1;
    toSamples(ChooseClosures(search), found[r].negative, found[r].negativePulse);
  }
  // Each run takes the polarity whose chosen pulses stand out more: where
  // noise or a low first formant blurs the closures, the side of the
  // residual that holds them varies from run to run. Equal runs take the
  // sign of the whole signal's skewness, so an inverted signal still gets
  // the same marks.
  const bool positive = skew >= 0;

  std::vector<int32_t> marks;
  for (const RunMarks& run : found) {
    const bool usePositive = run.positivePulse != run.negativePulse
                                 ? run.positivePulse > run.negativePulse
                                 : positive;
    for (int32_t m : usePositive ? run.positive : run.negative) {
      if (marks.empty() || m > marks.back()) marks.push_back(m);
    }
  }
  return marks;
}

}  // namespace talvox
