#include "resynthesis.h"

#include <algorithm>
#include <cmath>

#include "analysis.h"
#include "cli_error.h"
#include "output.h"
#include "progress.h"
#include "talvox.h"

namespace tvx {
namespace {

// The synthesiser keeps 100000 samples of headroom for lengthening; a run is
// ended at a mark before its growth could come near it.
constexpr int64_t kMaxRunGrowth = 50000;
constexpr int32_t kShortestPeriod = 2;  // samples; one grain per mark must stay apart

struct Run {
  size_t first;  // index of the first mark
  size_t last;   // index of the last mark (> first)
};

// Runs of consecutive voiced intervals inside span, with their new periods
// written into the modified pitch.
std::vector<Run> PlanRuns(const std::vector<int32_t>& peaks, int rate, const PitchRequest& request, Span span,
                          int32_t* periods, int32_t& intervals) {
  std::vector<double> sourceF0 = IntervalF0(peaks, rate);
  std::vector<Run> runs;
  bool open = false;
  double exactPosition = 0;  // new mark position inside the run, unrounded
  int64_t placed = 0;        // the same, rounded, as the synthesiser sees it
  int64_t growth = 0;
  for (size_t k = 0; k < sourceF0.size(); k++) {
    bool inside = peaks[k] >= span.begin && peaks[k + 1] <= span.end - 1;
    if (sourceF0[k] <= 0 || !inside || (open && std::llabs(growth) > kMaxRunGrowth)) {
      open = false;
      if (sourceF0[k] <= 0 || !inside) continue;
    }
    if (!open) {
      runs.push_back({k, k + 1});
      open = true;
      exactPosition = 0;
      placed = 0;
      growth = 0;
    }
    double target = request.TargetF0(double(peaks[k]) / rate, sourceF0[k]);
    target = std::clamp(target, kLowestF0, double(rate) / kShortestPeriod);
    // Rounding the positions rather than each period keeps the mean period,
    // and so the mean F0, exact.
    exactPosition += double(rate) / target;
    int64_t next = std::llround(exactPosition);
    int32_t period = static_cast<int32_t>(std::max<int64_t>(next - placed, kShortestPeriod));
    placed += period;
    periods[k] = period;
    growth += period - (peaks[k + 1] - peaks[k]);
    runs.back().last = k + 1;
    intervals++;
  }
  return runs;
}

}  // namespace

ResynthesisResult Resynthesize(const LoadedWave& wave, const PitchRequest& request, Span span,
                               ProgressBar* progress) {
  ResynthesisResult result;
  std::vector<int32_t> peaks = CurrentPeaks();
  int32_t* periods = nullptr;
  int32_t periodCount = GetFullModifiedPitch(&periods);
  if (peaks.size() >= 2 && (periodCount < static_cast<int32_t>(peaks.size()) - 1 || !periods)) {
    // A tag file may bring marks without periods: start from the marks' own.
    std::vector<int32_t> distances;
    for (size_t k = 0; k + 1 < peaks.size(); k++) distances.push_back(peaks[k + 1] - peaks[k]);
    SetModifiedPitch(distances.data());
    periodCount = GetFullModifiedPitch(&periods);
    if (periodCount < static_cast<int32_t>(peaks.size()) - 1 || !periods)
      FailFile(wave.path, "the annotation has no period for every mark interval");
  }
  std::vector<Run> runs;
  if (peaks.size() >= 2) runs = PlanRuns(peaks, wave.rate, request, span, periods, result.intervals);
  result.voicedRuns = static_cast<int32_t>(runs.size());

  if (progress) progress->SetTotal(double(runs.size() * wave.channels) + 1);  // + 1: the writing
  for (int c = 0; c < wave.channels; c++) {
    const int slot = PutChannel(wave, c);
    const int16_t* source = GetDataBuffer(slot);
    std::vector<int16_t> out;
    out.reserve(static_cast<size_t>(wave.length) + static_cast<size_t>(wave.length) / 4);
    int32_t copied = 0;  // source samples before this position are done
    for (size_t r = 0; r < runs.size(); r++) {
      const Run& run = runs[r];
      CheckInterrupted();
      if (progress) progress->Update(double(c * runs.size() + r), "resynthesising");
      int32_t start = peaks[run.first], end = peaks[run.last];
      out.insert(out.end(), source + copied, source + start);
      if (!SynthesisSpeech(slot, start, end)) FailFile(wave.path, "the resynthesis was refused");
      const int16_t* made = GetSynthesisSpeech();
      out.insert(out.end(), made, made + GetSynthesisLength());
      copied = end;
    }
    out.insert(out.end(), source + copied, source + wave.length);
    result.channels.push_back(std::move(out));
  }
  RestoreAnalysedChannel(wave);
  return result;
}

}  // namespace tvx
