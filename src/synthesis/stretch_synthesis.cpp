#include "synthesis/stretch_synthesis.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "annotation/element_table.h"
#include "state/memory.h"
#include "synthesis/cycle_alignment.h"
#include "synthesis/grain_accumulator.h"
#include "synthesis/sample_products.h"

namespace talvox {

namespace {

// A mark distance up to a period of this F0 is a pitch period; a longer one
// is a gap without voice between two marks.
constexpr int32_t kLowestVoiceHz = 40;
// Per second, the inverse of the half length of the fixed grains that
// time-scale the stretches without voice (4 ms): short enough to follow
// noise bursts, long enough not to buzz.
constexpr int32_t kShortGrainsPerSecond = 250;
constexpr int32_t kAssumedRate = 16000;      // for a header without a rate
constexpr uint32_t kHighestRate = 1u << 24;  // keeps the spacings in range for any header
constexpr int32_t kShortestStep = 1;
// Periods are whole samples, so a pitch between two of them comes as a mix
// of both; a line fitted to the wanted periods over this many neighbours on
// each side gives the fractional period back (placed by sub-sample delays).
constexpr size_t kSmoothingReach = 6;
constexpr int32_t kRoundingSpread = 1;
// A place mapped back this close to a run's mark takes its grain.
constexpr double kNearMark = 0.5;
// A grain's pulse is placed at most this far from its mark (rounding to
// whole samples and a mark route's small misplacements); a larger
// disagreement with the waveform is not trusted.
constexpr double kLargestShift = 1.5;
// The matching of neighbouring cycles: lags within this many samples (plus
// a part of the distance) of the mark distance, a match at least this good,
// and the local mean of the offsets over this many marks either side.
constexpr int32_t kMatchReach = 2;
constexpr int32_t kMatchReachPart = 20;
constexpr double kMatchAccepted = 0.5;
constexpr size_t kPlaceReach = 4;

struct SourceMark {
  int32_t at;      // from the range start
  int32_t before;  // samples the grain may take before the mark
  int32_t after;   // ... and from the mark on
  double step;     // output distance to the next mark when this grain is used
  int32_t wanted;  // the modified period after the mark (periodAfter only)
  double offset;   // where the pulse more likely stands, from the mark (sub-sample)
  bool exact;      // timing and periods around it are the source's own
  bool inRun;      // part of a run of marks joined by periods
  bool periodAfter;
};

struct Grain {
  int64_t centre;
  int32_t before;
  int32_t after;
  double step;
  double offset;
  bool voiced;
};

struct Spacing {
  int32_t longestPeriod;
  int32_t shortGrain;
};

Spacing SpacingFor(const WaveBuffer& wave) {
  const uint32_t stored = wave.header.samplesPerSec;
  const int32_t rate = stored > 0 ? static_cast<int32_t>(std::min<uint32_t>(stored, kHighestRate)) : kAssumedRate;
  return {std::max(2, rate / kLowestVoiceHz), std::max(2, rate / kShortGrainsPerSecond)};
}

// The peaks in start..end, in table order; a peak equal to its predecessor
// is passed over and one below it ends the selection, so the marks ascend.
// tableIndex receives each mark's index in the peak table.
std::vector<int32_t> SelectMarks(const DocumentState& doc, int32_t start, int32_t end,
                                 std::vector<int32_t>& tableIndex) {
  std::vector<int32_t> marks;
  const int32_t* peaks = doc.record.peaks;
  const int32_t available = peaks ? std::min(doc.record.peakCount, doc.peakRoom) : 0;
  int32_t i = 0;
  while (i < available && peaks[i] < start) ++i;
  for (; i < available && peaks[i] <= end; ++i) {
    if (!marks.empty() && peaks[i] <= marks.back() + start) {
      if (peaks[i] < marks.back() + start) break;
      continue;
    }
    marks.push_back(peaks[i] - start);
    tableIndex.push_back(i);
  }
  return marks;
}

// The modified period ending at table peak `later`, else the source distance.
int32_t WantedPeriod(const DocumentState& doc, int32_t later, int32_t sourceDistance,
                     const Spacing& spacing) {
  const int32_t* periods = doc.record.modifiedPitch;
  const int32_t defined = std::min(doc.pitchRoom, doc.record.peakCount - 1);
  const int32_t k = later - 1;
  const int32_t wanted = periods != nullptr && k >= 0 && k < defined ? periods[k] : sourceDistance;
  return std::clamp(wanted, kShortestStep, 2 * spacing.longestPeriod);
}

// A line through weighted points by least squares, read where x is 0 and
// kept within the points' values (so a step stays a period that was asked
// for nearby, never below the shortest).
class WeightedLine {
 public:
  void Add(double x, double y, double weight) {
    lowest_ = std::min(lowest_, y);
    highest_ = std::max(highest_, y);
    weights_ += weight;
    x_ += weight * x;
    y_ += weight * y;
    xx_ += weight * x * x;
    xy_ += weight * x * y;
  }
  double AtZero() const {
    const double meanX = x_ / weights_, meanY = y_ / weights_;
    const double spreadX = xx_ / weights_ - meanX * meanX;
    if (spreadX <= kLevelSpread) return meanY;
    const double atZero = meanY - (xy_ / weights_ - meanX * meanY) / spreadX * meanX;
    return std::clamp(atZero, lowest_, highest_);
  }

 private:
  static constexpr double kLevelSpread = 1e-9;  // points all at one x
  double weights_ = 0, x_ = 0, y_ = 0, xx_ = 0, xy_ = 0;
  double lowest_ = HUGE_VAL, highest_ = -HUGE_VAL;
};

// The step after each mark of a run: the wanted periods around it within
// the run that differ from its own by no more than rounding of marks and
// periods explains, weighted down with their distance from it and fitted by
// a line read at the mark (a mean would lag behind a gliding pitch, most
// near a run's ends, where all the neighbours lie on one side); or exactly
// the wanted period where the timing and the periods nearby are the
// source's own (so that nothing moves there).
void SmoothSteps(std::vector<SourceMark>& marks, bool sourceTiming) {
  const size_t n = marks.size();
  for (size_t k = 0; k < n; ++k) {
    if (!marks[k].periodAfter) continue;
    size_t from = k, to = k;
    while (from > 0 && k - from < kSmoothingReach && marks[from - 1].periodAfter) --from;
    while (to + 1 < n && to - k < kSmoothingReach && marks[to + 1].periodAfter) ++to;
    WeightedLine line;
    bool unchanged = sourceTiming;
    // Marks are whole samples, so a distance is up to a sample off, and a
    // period asked for as a multiple of it is off by that multiple.
    const double distance = marks[k + 1].at - marks[k].at;
    const double spread = kRoundingSpread + std::max(1.0, marks[k].wanted / distance);
    for (size_t i = from; i <= to; ++i) {
      // Only neighbours within the rounding are the same period; a larger
      // step is the pitch moving (or a stray mark).
      if (std::abs(marks[i].wanted - marks[k].wanted) <= spread) {
        const double offset = double(i) - double(k);
        line.Add(offset, marks[i].wanted, double(kSmoothingReach + 1) - std::fabs(offset));
      }
      unchanged = unchanged && marks[i].wanted == marks[i + 1].at - marks[i].at;
    }
    marks[k].step = unchanged ? marks[k].wanted : line.AtZero();
    marks[k].exact = unchanged;
  }
}

// Marks are whole samples and may stand a little off the pulse; where a
// grain is moved (repeated, skipped) that error becomes jitter of the
// output. The source's own spacing of two neighbouring cycles is where one
// period of waveform best matches the next (normalised cross-correlation
// near the mark distance, topped by a parabola); summed along a run, less
// its local mean, it tells how far each pulse stands from its mark.
double MatchedPeriod(const int16_t* source, int32_t length, int32_t at, int32_t distance,
                     std::vector<double>& match) {
  const int32_t half = distance / 2;
  const int32_t reach = kMatchReach + distance / kMatchReachPart;
  const int32_t shortest = distance - reach - 1, longest = distance + reach + 1;
  if (at - half < 0 || at + longest + half > length || shortest < 1) return distance;
  match.assign(static_cast<size_t>(longest - shortest + 1), 0.0);
  // Whole-number sums (exact, and quick): the cycle's own energy once, the
  // shifted one's slid along from lag to lag, the products in vector lanes.
  const int16_t* cycle = source + at - half;
  int64_t xx = 0, yy = 0;
  for (int32_t i = 0; i < 2 * half; ++i) xx += int32_t{cycle[i]} * cycle[i];
  for (int32_t i = 0; i < 2 * half; ++i) yy += int32_t{cycle[shortest + i]} * cycle[shortest + i];
  for (int32_t lag = shortest; lag <= longest; ++lag) {
    const int16_t* shifted = cycle + lag;
    const int64_t xy = SampleProductSum(cycle, shifted, 2 * half);
    match[static_cast<size_t>(lag - shortest)] =
        static_cast<double>(xy) / std::sqrt(static_cast<double>(xx) * static_cast<double>(yy) + 1.0);
    if (lag < longest) yy += int32_t{shifted[2 * half]} * shifted[2 * half] - int32_t{shifted[0]} * shifted[0];
  }
  size_t best = 1;
  for (size_t i = 2; i + 1 < match.size(); ++i)
    if (match[i] > match[best]) best = i;
  const double left = match[best - 1], top = match[best], right = match[best + 1];
  if (top < kMatchAccepted) return distance;
  const double curve = left - 2 * top + right;
  const double shift = curve < 0 ? std::clamp(0.5 * (left - right) / curve, -0.5, 0.5) : 0.0;
  return shortest + static_cast<double>(best) + shift;
}

void RefinePlaces(std::vector<SourceMark>& marks, const int16_t* source, int32_t length) {
  const size_t n = marks.size();
  size_t k = 0;
  std::vector<double> drift, match;
  while (k < n) {
    if (!marks[k].periodAfter) {
      ++k;
      continue;
    }
    size_t last = k;
    while (last < n && marks[last].periodAfter) ++last;  // marks k..last form the run
    drift.assign(last - k + 1, 0.0);
    for (size_t i = k; i < last; ++i) {
      const int32_t distance = marks[i + 1].at - marks[i].at;
      drift[i + 1 - k] = drift[i - k] + MatchedPeriod(source, length, marks[i].at, distance, match) - distance;
    }
    for (size_t i = k; i <= last; ++i) {
      if (marks[i].exact && (i == k || marks[i - 1].exact)) continue;
      const size_t from = i - k >= kPlaceReach ? i - kPlaceReach : k;
      const size_t to = std::min(last, i + kPlaceReach);
      double mean = 0;
      for (size_t j = from; j <= to; ++j) mean += drift[j - k];
      mean /= static_cast<double>(to - from + 1);
      marks[i].offset = std::clamp(drift[i - k] - mean, -kLargestShift, kLargestShift);
    }
    k = last + 1;
  }
}

// Per mark: whether its run keeps the source's own timing and periods (the
// time map is the identity and every period asked for is the mark distance),
// so that nothing there moves.
std::vector<bool> RunsKeptAsTheyAre(const DocumentState& doc, const std::vector<int32_t>& at,
                                    const std::vector<int32_t>& tableIndex, const Spacing& spacing,
                                    bool sourceTiming) {
  std::vector<bool> keep(at.size(), sourceTiming);
  if (!sourceTiming) return keep;
  for (const PeriodRun& run : PeriodRuns(at, spacing.longestPeriod)) {
    bool unchanged = true;
    for (size_t k = run.first; k < run.last && unchanged; ++k) {
      const int32_t distance = at[k + 1] - at[k];
      unchanged = WantedPeriod(doc, tableIndex[k + 1], distance, spacing) == distance;
    }
    std::fill(keep.begin() + static_cast<std::ptrdiff_t>(run.first),
              keep.begin() + static_cast<std::ptrdiff_t>(run.last) + 1, unchanged);
  }
  return keep;
}

std::vector<SourceMark> DescribeMarks(const DocumentState& doc, const int16_t* source, const std::vector<int32_t>& at,
                                      const std::vector<int32_t>& tableIndex, int32_t length,
                                      const Spacing& spacing, bool sourceTiming) {
  const size_t n = at.size();
  auto isPeriod = [&](int32_t d) { return d > 0 && d <= spacing.longestPeriod; };
  std::vector<SourceMark> marks(n);
  for (size_t k = 0; k < n; ++k) {
    const int32_t before = k > 0 ? at[k] - at[k - 1] : at[k];
    const int32_t after = k + 1 < n ? at[k + 1] - at[k] : length - at[k];
    const bool periodBefore = k > 0 && isPeriod(before);
    const bool periodAfter = k + 1 < n && isPeriod(after);
    SourceMark& mark = marks[k];
    mark.at = at[k];
    // A run's edge grain may reach into the gap beside it as far as the
    // output steps allow; those steps stay short there (see step).
    mark.before = before;
    mark.after = after;
    mark.inRun = periodBefore || periodAfter;
    mark.periodAfter = periodAfter;
    mark.wanted = periodAfter ? WantedPeriod(doc, tableIndex[k + 1], after, spacing) : 0;
    mark.step = spacing.shortGrain;
    mark.offset = 0.0;
    mark.exact = true;
  }
  SmoothSteps(marks, sourceTiming);
  RefinePlaces(marks, source, length);
  // A run's last mark steps on towards the gap by at most a short grain.
  for (size_t k = 1; k < n; ++k)
    if (marks[k].inRun && !marks[k].periodAfter)
      marks[k].step = std::min(marks[k - 1].step, static_cast<double>(spacing.shortGrain));
  return marks;
}

struct Anchor {
  int64_t at;    // output position
  int64_t mark;  // the run's first mark, or -1 for the output end
};

// Output positions where a run's first mark lands, and the output end:
// steps never pass them, so each run starts on its mapped first mark.
std::vector<Anchor> Anchors(const std::vector<SourceMark>& marks, const TimeMap& map) {
  std::vector<Anchor> anchors;
  for (size_t k = 0; k < marks.size(); ++k) {
    const bool startsRun = marks[k].periodAfter && (k == 0 || !marks[k - 1].periodAfter);
    if (startsRun) anchors.push_back({std::llround(map.Forward(marks[k].at)), static_cast<int64_t>(k)});
  }
  anchors.push_back({map.OutputLength(), -1});
  return anchors;
}

class GrainChooser {
 public:
  GrainChooser(const std::vector<SourceMark>& marks, int32_t length, const Spacing& spacing)
      : marks_(marks), length_(length), spacing_(spacing) {}

  // The grain of mark k (a run's first, where its anchor is reached).
  Grain Of(size_t k) {
    const SourceMark& mark = marks_[k];
    cursor_ = std::max(cursor_, k);
    return {mark.at, mark.before, mark.after, mark.step, mark.offset, true};
  }

  // The grain for an output mark whose place maps back to source position
  // s: the nearest mark's when s lies in a run, else a short grain at s.
  // Positions come in ascending order.
  Grain At(double s) {
    const size_t n = marks_.size();
    while (cursor_ + 1 < n && marks_[cursor_ + 1].at <= s) ++cursor_;
    if (n > 0) {
      size_t k = cursor_;
      if (k + 1 < n && marks_[k + 1].at - s < s - marks_[k].at) k = k + 1;
      const bool between = marks_[cursor_].periodAfter && s >= marks_[cursor_].at;
      const bool close = marks_[k].inRun && std::fabs(s - marks_[k].at) < kNearMark;
      if (between || close) {
        return Of(k);
      }
    }
    const int64_t centre = std::clamp<int64_t>(std::llround(s), 0, length_);
    const int32_t reach = spacing_.shortGrain;
    return {centre, static_cast<int32_t>(std::min<int64_t>(reach, centre)),
            static_cast<int32_t>(std::min<int64_t>(reach, length_ - centre)), static_cast<double>(reach), 0.0, false};
  }

 private:
  const std::vector<SourceMark>& marks_;
  int32_t length_;
  Spacing spacing_;
  size_t cursor_ = 0;
};

}  // namespace

bool SynthesisRangeAccepted(const DocumentState& doc, const WaveBuffer& wave, int32_t channel,
                            int32_t start, int32_t end) {
  if (start >= end || start < 0 || end >= wave.SafeLength()) return false;
  if (ElementCount(doc.record) < 1) return false;
  return wave.Channel(channel) != nullptr;
}

int32_t SynthesiseStretched(DocumentState& doc, const WaveBuffer& wave, int32_t channel,
                            int32_t start, int32_t end, const TimeMap& map) {
  const int16_t* source = wave.Channel(channel) + start;
  const int32_t length = end - start;
  const Spacing spacing = SpacingFor(wave);
  std::vector<int32_t> tableIndex;
  const std::vector<int32_t> selected = SelectMarks(doc, start, end, tableIndex);
  const std::vector<int32_t> at =
      AlignCycles(source, length, selected,
                  RunsKeptAsTheyAre(doc, selected, tableIndex, spacing, map.IsIdentity()),
                  spacing.longestPeriod);
  const std::vector<SourceMark> marks = DescribeMarks(doc, source, at, tableIndex, length, spacing, map.IsIdentity());
  const std::vector<Anchor> anchors = Anchors(marks, map);

  const int32_t outputLength = map.OutputLength();
  doc.output = Reallocate(doc.output, static_cast<size_t>(outputLength));
  GrainAccumulator sum(doc.output, outputLength);
  GrainChooser chooser(marks, length, spacing);
  // Output marks stand at exact (fractional) places; a grain is laid on the
  // nearest whole sample with its content delayed by the remainder.
  double exact = 0;
  int64_t t = 0, stepIn = 0;
  size_t next = 0;
  for (;;) {
    const double s = std::clamp(map.Inverse(exact), 0.0, static_cast<double>(length));
    int64_t reached = -1;  // the run whose first mark lands here
    while (next < anchors.size() && anchors[next].at <= t) {
      if (anchors[next].at == t && anchors[next].mark >= 0) reached = anchors[next].mark;
      ++next;
    }
    const Grain grain = reached >= 0 ? chooser.Of(static_cast<size_t>(reached)) : chooser.At(s);
    double following = exact + grain.step;
    int64_t placed = std::llround(following);
    if (next < anchors.size() && placed > anchors[next].at) {
      placed = anchors[next].at;
      following = static_cast<double>(placed);
    }
    const int64_t stepOut = next < anchors.size() ? placed - t : 0;
    // Each half stays within the step beside it, so a grain never reaches
    // back before the previous output mark and the sums stay in order.
    const int32_t left = static_cast<int32_t>(std::min<int64_t>(grain.before, stepIn));
    const int32_t right = static_cast<int32_t>(std::min<int64_t>(grain.after, stepOut));
    const double delay = grain.voiced ? exact - static_cast<double>(t) - grain.offset : 0.0;
    sum.AddDelayed(t, source, length, grain.centre, left, right, delay);
    if (stepOut <= 0) break;
    stepIn = stepOut;
    exact = following;
    t = placed;
  }
  sum.Finish();
  doc.outputLength = outputLength;
  return 1;
}

}  // namespace talvox
