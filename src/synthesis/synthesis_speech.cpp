#include "synthesis/synthesis_speech.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "annotation/element_table.h"
#include "state/memory.h"

namespace talvox {

namespace {

constexpr size_t kKeptWeightsBound = size_t{1} << 22;  // 32 MiB of doubles

struct PeakSelection {
  int32_t first = 0;
  int32_t count = 0;
};

// The peaks from the first one in start..end on, while they stay in range.
// A peak below its predecessor also ends the selection, so the source marks
// always ascend within the range and every grain reads inside it. The table
// ascends, so the first peak at or after start is found by bisection: a host
// resynthesising run after run of a long signal pays log n per run, not n.
PeakSelection SelectPeaks(const DocumentState& doc, int32_t start, int32_t end) {
  PeakSelection selection;
  const int32_t* peaks = doc.record.peaks;
  const int32_t available = peaks ? std::min(doc.record.peakCount, doc.peakRoom) : 0;
  if (available <= 0) return selection;
  auto i = static_cast<int32_t>(std::lower_bound(peaks, peaks + available, start) - peaks);
  if (i == available || peaks[i] > end) return selection;
  selection.first = i;
  for (++i; i < available && peaks[i] <= end && peaks[i] >= peaks[i - 1]; ++i) {
  }
  selection.count = i - selection.first;
  return selection;
}

// Period k of the modified pitch where it holds one, else the source
// distance, so a modified pitch shorter than the peak table is never read
// past its room.
int32_t PeriodAt(const DocumentState& doc, int32_t k, int32_t sourceDistance) {
  const int32_t* periods = doc.record.modifiedPitch;
  const int32_t defined = std::min(doc.pitchRoom, doc.record.peakCount - 1);
  return periods != nullptr && k < defined ? periods[k] : sourceDistance;
}

}  // namespace

int32_t SynthesiseRange(DocumentState& doc, const WaveBuffer& wave, const Synthesiser& synth,
                        int32_t channel, int32_t start, int32_t end) {
  if (start >= end || start < 0 || end >= wave.SafeLength()) return 0;
  if (ElementCount(doc.record) < 1) return 0;
  const int16_t* samples = wave.Channel(channel);
  if (samples == nullptr) return 0;

  const int32_t length = end - start;
  const int32_t room = length + kSynthesisHeadroom;
  doc.output = Reallocate(doc.output, static_cast<size_t>(room));
  const int16_t* source = samples + start;

  const PeakSelection selection = SelectPeaks(doc, start, end);
  const int32_t n = selection.count;
  if (n == 0) {
    std::memcpy(doc.output, source, static_cast<size_t>(length) * sizeof(int16_t));
    doc.outputLength = length;
    return 1;
  }

  std::vector<int32_t> sourceMarks(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) sourceMarks[i] = doc.record.peaks[selection.first + i] - start;
  // Grain i reaches from the previous source mark (the range start for the
  // first) to the next one (the range end for the last).
  auto before = [&](int32_t i) {
    return i == 0 ? sourceMarks[0] : sourceMarks[i] - sourceMarks[i - 1];
  };
  auto after = [&](int32_t i) {
    return i == n - 1 ? length - sourceMarks[n - 1] : sourceMarks[i + 1] - sourceMarks[i];
  };
  std::vector<int64_t> placedMarks(static_cast<size_t>(n));
  int32_t longestGrain = 1;
  for (int32_t i = 0; i < n; ++i) {
    placedMarks[i] = i == 0
                         ? sourceMarks[0]
                         : placedMarks[i - 1] + PeriodAt(doc, selection.first + i - 1, before(i));
    longestGrain = std::max(longestGrain, before(i) + after(i));
  }

  std::vector<int16_t> scratch(static_cast<size_t>(longestGrain));
  // Kept between calls: a host resynthesising a long signal run by run
  // would otherwise pay the cosines of every period length again per run.
  // Per thread, and forgotten past a bound (the longest kept lengths of
  // every size would be 134 MB).
  thread_local HalfWindowCache windows;
  if (windows.KeptWeights() > kKeptWeightsBound) windows.Clear();
  const GrainMarks marks{sourceMarks.data(), placedMarks.data(), n};
  doc.outputLength =
      synth.OverlapAddGrains(doc.output, room, marks, source, length, scratch.data(), windows);
  return 1;
}

}  // namespace talvox
