#include "edit/peak_splice.h"

#include <algorithm>
#include <cstring>

#include "edit/position_arithmetic.h"
#include "state/memory.h"

namespace talvox {

namespace {
// Index of the first peak at or after position (count if none).
int32_t FirstPeakFrom(const int32_t* peaks, int32_t count, int32_t position) {
  int32_t i = 0;
  while (i < count && peaks[i] < position) ++i;
  return i;
}

int32_t NextDistance(const int32_t* peaks, int32_t count, int32_t i) {
  return i + 1 < count ? Distance(peaks[i + 1], peaks[i]) : 0;
}

void MoveValues(int32_t* values, int32_t from, int32_t to, int32_t count) {
  if (count > 0)
    std::memmove(values + to, values + from, static_cast<size_t>(count) * sizeof(int32_t));
}
}  // namespace

int32_t PeaksOf(const DocumentState& doc) {
  if (doc.record.peaks == nullptr || doc.record.peakCount <= 0) return 0;
  return std::min(doc.record.peakCount, doc.peakRoom);
}

void SizeModifiedPitch(DocumentState& doc, int32_t room) {
  const int32_t count = PeaksOf(doc);
  const int32_t defined =
      doc.record.modifiedPitch ? std::clamp(std::min(doc.pitchRoom, count - 1), 0, room) : 0;
  ResizeModifiedPitch(doc, room);
  for (int32_t j = defined; j < room; ++j) {
    doc.record.modifiedPitch[j] = NextDistance(doc.record.peaks, count, j);
  }
}

void CopyPeaks(const DocumentState& doc, SpeechClipboard& clip, int32_t from, int32_t to) {
  const int32_t count = PeaksOf(doc);
  const int32_t* peaks = doc.record.peaks;
  const int32_t first = FirstPeakFrom(peaks, count, from);
  int32_t last = first;
  while (last < count && peaks[last] <= to) ++last;
  const int32_t copied = last - first;
  clip.peakCount = copied;
  if (copied == 0) return;
  clip.peaks = Reallocate(clip.peaks, static_cast<size_t>(copied));
  clip.modifiedPitch = Reallocate(clip.modifiedPitch, static_cast<size_t>(copied));
  const int32_t defined = doc.record.modifiedPitch ? std::min(doc.pitchRoom, count - 1) : 0;
  for (int32_t k = 0; k < copied; ++k) {
    const int32_t i = first + k;
    clip.peaks[k] = Distance(peaks[i], from);
    clip.modifiedPitch[k] =
        i < defined ? doc.record.modifiedPitch[i] : NextDistance(peaks, count, i);
  }
}

void RemovePeaks(DocumentState& doc, int32_t from, int32_t to) {
  int32_t count = PeaksOf(doc);
  if (count == 0) return;
  if (doc.pitchRoom < count) SizeModifiedPitch(doc, count);
  int32_t* peaks = doc.record.peaks;
  int32_t* periods = doc.record.modifiedPitch;
  const int32_t l = FirstPeakFrom(peaks, count, from);
  int32_t m = 0;
  while (l + m < count && peaks[l + m] <= to) ++m;
  MoveValues(peaks, l + m, l, count - l - m);
  MoveValues(periods, l + m, l, count - 1 - l - m);
  count -= m;
  doc.record.peakCount = count;
  const int64_t removed = int64_t{to} - from + 1;
  for (int32_t j = l; j < count; ++j) peaks[j] = Wrapped(peaks[j] - removed);
  if (l > 0 && l < count) periods[l - 1] = Distance(peaks[l], peaks[l - 1]);
}

void InsertPeaks(DocumentState& doc, const SpeechClipboard& clip, int32_t from) {
  const int32_t count = PeaksOf(doc);
  const int32_t added = clip.peaks ? clip.peakCount : 0;
  const int32_t total = count + added;
  if (total == 0) return;
  const int32_t i = FirstPeakFrom(doc.record.peaks, count, from);
  SizeModifiedPitch(doc, total);
  ResizePeakTable(doc, total);
  int32_t* peaks = doc.record.peaks;
  int32_t* periods = doc.record.modifiedPitch;
  MoveValues(peaks, i, i + added, count - i);
  MoveValues(periods, i, i + added, count - i);
  for (int32_t k = 0; k < added; ++k) {
    peaks[i + k] = Wrapped(int64_t{clip.peaks[k]} + from);
    periods[i + k] = clip.modifiedPitch[k];
  }
  for (int32_t j = i + added; j < total; ++j)
    peaks[j] = Wrapped(int64_t{peaks[j]} + clip.sampleCount);
  doc.record.peakCount = total;
  if (i > 0 && i < total) periods[i - 1] = Distance(peaks[i], peaks[i - 1]);
  if (i + added > 0 && i + added < total) {
    periods[i + added - 1] = Distance(peaks[i + added], peaks[i + added - 1]);
  }
}

}  // namespace talvox
