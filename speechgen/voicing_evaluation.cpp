#include "voicing_evaluation.h"

#include <algorithm>

namespace speechgen {

namespace {
constexpr double kFrameSeconds = 0.010;

bool Inside(const std::vector<Interval>& intervals, double at) {
  auto after = std::upper_bound(intervals.begin(), intervals.end(), at,
                                [](double t, const Interval& i) { return t < i.start; });
  return after != intervals.begin() && at < std::prev(after)->end;
}
}  // namespace

std::vector<Interval> VoicedRuns(const std::vector<Closure>& closures) {
  std::vector<Interval> runs;
  for (std::size_t k = 0; k < closures.size();) {
    std::size_t last = k;
    while (last + 1 < closures.size() && closures[last + 1].run == closures[k].run) ++last;
    const double period =
        last > k ? (closures[last].sample - closures[k].sample) / double(last - k) : 0.0;
    runs.push_back({closures[k].sample - period / 2, closures[last].sample + period / 2});
    k = last + 1;
  }
  return runs;
}

VoicingEvaluation EvaluateVoicing(const std::vector<Closure>& closures,
                                  const std::vector<Interval>& voiced, int64_t length,
                                  int sampleRate) {
  const std::vector<Interval> truth = VoicedRuns(closures);
  const double frame = kFrameSeconds * sampleRate;
  VoicingEvaluation e;
  int64_t missed = 0, extra = 0;
  for (double at = frame / 2; at < static_cast<double>(length); at += frame) {
    const bool isVoiced = Inside(truth, at);
    const bool labelled = Inside(voiced, at);
    if (isVoiced) {
      ++e.voicedFrames;
      if (!labelled) ++missed;
    } else {
      ++e.silentFrames;
      if (labelled) ++extra;
    }
  }
  if (e.voicedFrames > 0) e.voicedAsSilent = 100.0 * double(missed) / double(e.voicedFrames);
  if (e.silentFrames > 0) e.silentAsVoiced = 100.0 * double(extra) / double(e.silentFrames);
  return e;
}

}  // namespace speechgen
