#include "timed_resynthesis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cli_error.h"
#include "f0_track.h"
#include "output.h"
#include "pieces.h"
#include "progress.h"
#include "run_edges.h"
#include "session.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr double kSmallestScale = 0.125;
constexpr double kLargestScale = 8.0;  // the library's limit
constexpr int32_t kShortestPeriod = 2;

// A piecewise-linear map of input positions to output positions through
// ascending knots, shifted by the nearest knot's offset outside them.
class PositionMap {
 public:
  void Add(double from, double to) {
    from_.push_back(from);
    to_.push_back(to);
  }
  double operator()(double x) const {
    if (from_.empty()) return x;
    if (x <= from_.front()) return x + (to_.front() - from_.front());
    if (x >= from_.back()) return x + (to_.back() - from_.back());
    size_t i = static_cast<size_t>(std::upper_bound(from_.begin(), from_.end(), x) - from_.begin());
    double fraction = (x - from_[i - 1]) / (from_[i] - from_[i - 1]);
    return to_[i - 1] + fraction * (to_[i] - to_[i - 1]);
  }
  double Inverse(double y) const {
    PositionMap back;
    back.from_ = to_;
    back.to_ = from_;
    return back(y);
  }

 private:
  std::vector<double> from_, to_;
};

int32_t Round(double x) { return static_cast<int32_t>(std::llround(x)); }

// The longest channel the wave buffer's paste takes, with room to spare
// (it refuses a quarter of the 32-bit range less its slack); a longer
// output is made in copies.
constexpr int64_t kLongestPastedChannel = INT32_MAX / 8;

// Samples [start, end) of each channel in the wave buffer become made[c][0,
// count), in place: the rest moves, no second copy of the signal is made.
void ReplaceRangeOfWave(const std::string& path, int32_t start, int32_t end, std::vector<int16_t*>& made,
                        int32_t count) {
  if (!CutWave(start, end - 1) || !PasteWave(start, made.data(), count))
    FailFile(path, "the output could not be stored (out of memory?)");
}

std::vector<ElementRecord> MapElements(const PositionMap& map, int32_t outputLength) {
  std::vector<ElementRecord> elements = CurrentElements();
  for (ElementRecord& e : elements) {
    e.start = std::clamp(Round(map(e.start)), 0, outputLength);
    e.end = std::clamp(Round(map(e.end)), e.start, outputLength);
  }
  return elements;
}


struct PeriodPlan {
  std::vector<bool> planned;  // per interval: given a new period
  int32_t runs = 0;
  int32_t intervals = 0;
};

// Every interval short enough to be a pitch period and inside span gets the
// period of the F0 asked for (from the present periods, else the mark
// distances), rounded by positions so that the mean F0 of a run stays exact.
PeriodPlan PlanPeriods(const std::vector<int32_t>& peaks, int rate, const PitchRequest& request,
                       const std::vector<double>* present, Span span, int32_t* periods) {
  PeriodPlan plan;
  plan.planned.assign(peaks.size() > 0 ? peaks.size() - 1 : 0, false);
  bool open = false;
  double exact = 0;
  int64_t placed = 0;
  for (size_t k = 0; k + 1 < peaks.size(); k++) {
    int32_t distance = peaks[k + 1] - peaks[k];
    bool inside = peaks[k] >= span.begin && peaks[k + 1] <= span.end - 1;
    if (distance <= 0 || distance > LongestPeriod(rate) || !inside) {
      open = false;
      continue;
    }
    if (!open) {
      plan.runs++;
      open = true;
      exact = 0;
      placed = 0;
    }
    const double now = present && (*present)[k] > 0 ? (*present)[k] : distance;
    double target = request.TargetF0(double(peaks[k]) / rate, double(rate) / now);
    target = std::clamp(target, kLowestF0, double(rate) / kShortestPeriod);
    exact += double(rate) / target;
    int64_t next = std::llround(exact);
    int32_t period = static_cast<int32_t>(std::max<int64_t>(next - placed, kShortestPeriod));
    placed += period;
    periods[k] = period;
    plan.planned[k] = true;
    plan.intervals++;
  }
  return plan;
}

int32_t* ModifiedPitchFor(const LoadedWave& wave, const std::vector<int32_t>& peaks) {
  int32_t* periods = nullptr;
  int32_t count = GetFullModifiedPitch(&periods);
  if (peaks.size() >= 2 && (count < static_cast<int32_t>(peaks.size()) - 1 || !periods)) {
    std::vector<int32_t> distances;
    for (size_t k = 0; k + 1 < peaks.size(); k++) distances.push_back(peaks[k + 1] - peaks[k]);
    SetModifiedPitch(distances.data());
    count = GetFullModifiedPitch(&periods);
    if (count < static_cast<int32_t>(peaks.size()) - 1 || !periods)
      FailFile(wave.path, "the annotation has no period for every mark interval");
  }
  return periods;
}

// The output marks as the overlap-add places them: the marks of a run of
// periods step from the run's first mark, mapped, by the period of the
// source mark nearest to their place mapped back; other marks are mapped.
std::vector<int32_t> PlacedMarks(const std::vector<int32_t>& peaks, const PeriodPlan& plan,
                                 const int32_t* periods, const PositionMap& map) {
  std::vector<int32_t> marks;
  size_t k = 0;
  while (k < peaks.size()) {
    if (k >= plan.planned.size() || !plan.planned[k]) {
      marks.push_back(Round(map(peaks[k])));
      k++;
      continue;
    }
    size_t last = k;
    while (last < plan.planned.size() && plan.planned[last]) last++;
    double t = std::llround(map(peaks[k])), end = map(peaks[last]);
    size_t nearest = k;
    while (t <= end + 0.5) {
      marks.push_back(Round(t));
      double s = map.Inverse(t);
      while (nearest + 1 <= last && std::fabs(peaks[nearest + 1] - s) <= std::fabs(peaks[nearest] - s)) nearest++;
      int32_t step = nearest < last ? periods[nearest] : periods[last - 1];
      t += std::max(step, 1);
    }
    k = last + 1;
  }
  std::sort(marks.begin(), marks.end());
  marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
  return marks;
}

}  // namespace

TimingRequest ParseTimingRequest(const Args& args) {
  TimingRequest timing;
  if (args.Has("free-duration") && args.Has("duration-scale"))
    FailUsage(args.command(), "give --duration-scale or --free-duration, not both");
  timing.free = args.Has("free-duration");
  timing.durationScale = args.Number("duration-scale", 1.0, kSmallestScale, kLargestScale);
  return timing;
}

TimedResult ResynthesizeTimed(const LoadedWave& wave, const PitchRequest& request, Span span,
                              const TimingRequest& timing, VoiceRange range, ProgressBar* progress) {
  TimedResult result;
  // Where nothing changes, the marks' own distances give the input back.
  const bool unchanged = request.KeepsSourcePitch() && (timing.free || timing.durationScale == 1.0);
  const std::vector<int32_t> annotated = CurrentPeaks();
  std::vector<int32_t> peaks = annotated;
  if (timing.continueRuns && !unchanged)
    peaks = ContinueRuns(GetDataBuffer(wave.channel), wave.length, annotated, LongestPeriod(wave.rate), span.begin,
                         span.end);
  const bool continued = peaks.size() != annotated.size();
  if (continued) ReplacePeaks(peaks, wave.rate);
  int32_t* periods = ModifiedPitchFor(wave, peaks);
  PeriodPlan plan;
  std::vector<double> present;
  if (peaks.size() >= 2 && !unchanged)
    present = PresentPeriods(peaks, wave.rate, TrackChannel(wave, wave.channel, range), LongestPeriod(wave.rate));
  if (peaks.size() >= 2) plan = PlanPeriods(peaks, wave.rate, request, unchanged ? nullptr : &present, span, periods);
  result.synthesis.voicedRuns = plan.runs;
  result.synthesis.intervals = plan.intervals;

  // The library's range ends before its end index, which must be a sample:
  // a range reaching the signal's end leaves the last sample to be copied.
  int32_t start = static_cast<int32_t>(span.begin);
  int32_t end = static_cast<int32_t>(std::min<int64_t>(span.end, wave.length - 1));
  bool synthesise = end > start;
  int32_t made = 0;
  if (progress) progress->SetTotal(double(wave.channels) + 1);  // + 1: the writing
  const bool inPlace = timing.replaceInput && wave.spare.empty();
  int32_t firstMade = 0;
  for (int c = 0; c < wave.channels; c++) {
    CheckInterrupted();
    if (progress) progress->Update(double(c), "resynthesising");
    const int slot = PutChannel(wave, c);
    const float scale = static_cast<float>(timing.durationScale);
    if (synthesise && !SynthesisSpeechStretch(slot, start, end, scale))
      FailFile(wave.path, "the resynthesis was refused");
    made = synthesise ? GetSynthesisLength() : 0;
    if (c == 0) firstMade = made;
    // The last channel's output goes straight into the wave buffer, with
    // those before it, which could not stand there while it was made.
    const int64_t channelLength = int64_t(wave.length) - (synthesise ? end - start : 0) + made;
    if (inPlace && c + 1 == wave.channels && made == firstMade && channelLength <= kLongestPastedChannel) {
      std::vector<int16_t*> outputs(static_cast<size_t>(wave.channels), GetSynthesisSpeech());
      for (int k = 0; k < c; k++) outputs[size_t(k)] = result.synthesis.channels[size_t(k)].data() + start;
      if (synthesise) ReplaceRangeOfWave(wave.path, start, end, outputs, made);
      result.synthesis.channels.clear();
      result.synthesis.inWaveBuffer = GetWaveLength();
      continue;
    }
    const int16_t* source = GetDataBuffer(slot);
    const int32_t rest = synthesise ? end : start;
    // Sized once: an hour's channel grown by insertion is copied twice more.
    std::vector<int16_t> out;
    out.reserve(size_t(start) + size_t(made) + size_t(wave.length - rest));
    out.insert(out.end(), source, source + start);
    if (synthesise) out.insert(out.end(), GetSynthesisSpeech(), GetSynthesisSpeech() + made);
    out.insert(out.end(), source + rest, source + wave.length);
    result.synthesis.channels.push_back(std::move(out));
  }
  RestoreAnalysedChannel(wave);

  PositionMap map;
  if (synthesise) {
    map.Add(start, start);
    map.Add(end, start + made);
  }
  int32_t outputLength = static_cast<int32_t>(result.synthesis.Length());
  result.annotation.elements = MapElements(map, outputLength);
  result.annotation.marks = PlacedMarks(peaks, plan, periods, map);
  if (continued) ReplacePeaks(annotated, wave.rate);  // the annotation as it was
  return result;
}

OutputAnnotation AnnotationOfFreeTiming(const LoadedWave& wave, Span span) {
  std::vector<int32_t> peaks = CurrentPeaks();
  int32_t* periods = nullptr;
  int32_t count = GetFullModifiedPitch(&periods);
  std::vector<double> f0 = IntervalF0(peaks, wave.rate);
  PositionMap map;
  std::vector<int32_t> marks;
  double shift = 0;
  for (size_t k = 0; k < peaks.size(); k++) {
    map.Add(peaks[k], peaks[k] + shift);
    marks.push_back(Round(peaks[k] + shift));
    bool planned = k + 1 < peaks.size() && f0[k] > 0 && peaks[k] >= span.begin && peaks[k + 1] <= span.end - 1;
    if (planned && periods && static_cast<int32_t>(k) < count) shift += periods[k] - (peaks[k + 1] - peaks[k]);
  }
  OutputAnnotation annotation;
  int32_t outputLength = static_cast<int32_t>(std::max<double>(0, wave.length + shift));
  annotation.elements = MapElements(map, outputLength);
  annotation.marks = marks;
  return annotation;
}

void SaveOutputAnnotation(const std::string& path, const OutputAnnotation& annotation, int rate) {
  TvxDocument record{};
  size_t elements = std::max<size_t>(annotation.elements.size(), 1);
  size_t marks = annotation.marks.size();
  record.elements = static_cast<TvxElement*>(std::calloc(elements, sizeof(TvxElement)));
  record.peaks = static_cast<int32_t*>(std::calloc(std::max<size_t>(marks, 1), sizeof(int32_t)));
  record.modifiedPitch = static_cast<int32_t*>(std::calloc(std::max<size_t>(marks, 1), sizeof(int32_t)));
  if (!record.elements || !record.peaks || !record.modifiedPitch) {
    std::free(record.elements);
    std::free(record.peaks);
    std::free(record.modifiedPitch);
    throw CliError(kExitFailure, "out of memory for the output annotation");
  }
  for (size_t i = 0; i < annotation.elements.size(); i++) {
    const ElementRecord& e = annotation.elements[i];
    std::strncpy(record.elements[i].desc, e.desc.c_str(), sizeof record.elements[i].desc - 1);
    record.elements[i].start = e.start;
    record.elements[i].end = e.end;
  }
  for (size_t i = 0; i < marks; i++) {
    record.peaks[i] = annotation.marks[i];
    if (i + 1 < marks) record.modifiedPitch[i] = annotation.marks[i + 1] - annotation.marks[i];
  }
  record.elementCount = static_cast<int32_t>(annotation.elements.size());
  record.elementCapacity = static_cast<int32_t>(elements);
  record.peakCount = static_cast<int32_t>(marks);
  record.peakRate = rate;
  record.segmented = 1;
  bool saved = false;
  {
    OutputFile output(path);
    saved = _SavePeaks(output.temp().c_str(), &record) != 0;
    if (saved) output.Commit();
  }
  std::free(record.elements);
  std::free(record.peaks);
  std::free(record.modifiedPitch);
  if (!saved) FailFile(path, "cannot be written");
}

}  // namespace tvx
