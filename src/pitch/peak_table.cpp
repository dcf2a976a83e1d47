#include "pitch/peak_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "state/memory.h"

namespace talvox {

namespace {
// Snapping reach on the host's display, in pixels.
constexpr double kSnapPixels = 5.0;

int64_t Distance(int32_t a, int32_t b) {
  return std::abs(static_cast<int64_t>(a) - static_cast<int64_t>(b));
}

// b - a with the 32-bit wrap of the period arithmetic, without overflow.
int32_t Difference(int32_t b, int32_t a) {
  return static_cast<int32_t>(static_cast<uint32_t>(b) - static_cast<uint32_t>(a));
}
}  // namespace

int32_t PeakCount(const DocumentState& doc) {
  if (doc.record.peaks == nullptr) return 0;
  return std::clamp(doc.record.peakCount, 0, doc.peakRoom);
}

int32_t ToleranceForScale(float scale) {
  if (!(scale > 0)) return -1;
  const double samples = kSnapPixels / scale;
  if (samples >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(samples);
}

int32_t ClosestPeak(const DocumentState& doc, int32_t position, int32_t tolerance) {
  const int32_t n = PeakCount(doc);
  if (n == 0 || tolerance < 0) return -1;
  const int32_t* p = doc.record.peaks;
  if (position < p[0]) return Distance(position, p[0]) <= tolerance ? 0 : -1;
  if (position > p[n - 1]) return Distance(position, p[n - 1]) <= tolerance ? n - 1 : -1;
  if (n == 1) return 0;
  for (int32_t i = 0; i + 1 < n; ++i) {
    if (p[i] <= position && position <= p[i + 1]) {
      const int32_t candidate = Distance(position, p[i]) > Distance(position, p[i + 1]) ? i + 1 : i;
      return Distance(position, p[candidate]) <= tolerance ? candidate : -1;
    }
  }
  return -1;  // only for a table out of order
}

int32_t DeleteClosestPeak(DocumentState& doc, int32_t position, int32_t tolerance,
                          int32_t* removed) {
  const int32_t index = ClosestPeak(doc, position, tolerance);
  if (index < 0) return 0;
  const int32_t n = PeakCount(doc);
  int32_t* p = doc.record.peaks;
  if (removed != nullptr) *removed = p[index];
  std::memmove(p + index, p + index + 1, static_cast<size_t>(n - index - 1) * sizeof(int32_t));
  doc.record.peakCount = n - 1;
  return 1;
}

void EnsurePitchRoom(DocumentState& doc, int32_t count) {
  const int32_t old = doc.record.modifiedPitch != nullptr ? doc.pitchRoom : 0;
  if (count <= old) return;
  ResizeModifiedPitch(doc, count);
  std::fill(doc.record.modifiedPitch + old, doc.record.modifiedPitch + count, 0);
}

int32_t InsertPeak(DocumentState& doc, int32_t position) {
  const int32_t n = PeakCount(doc);
  if (n == std::numeric_limits<int32_t>::max()) return 0;
  const int32_t* p = doc.record.peaks;
  if (std::find(p, p + n, position) != p + n) return 0;
  const int32_t at = static_cast<int32_t>(std::find_if(p, p + n, [position](int32_t peak) {
                                            return peak > position;
                                          }) - p);
  if (doc.record.peaks == nullptr || doc.peakRoom < n + 1) ResizePeakTable(doc, n + 1);
  EnsurePitchRoom(doc, n + 1);
  int32_t* table = doc.record.peaks;
  std::memmove(table + at + 1, table + at, static_cast<size_t>(n - at) * sizeof(int32_t));
  table[at] = position;
  doc.record.peakCount = n + 1;
  return 1;
}

void DeleteAllPeaks(DocumentState& doc) {
  ResizePeakTable(doc, 0);
  doc.record.peakCount = 0;
}

void DeletePeakRange(DocumentState& doc, int32_t from, int32_t to) {
  const int32_t n = PeakCount(doc);
  int32_t* p = doc.record.peaks;
  int32_t f = 0;
  while (f < n && !(from <= p[f] && p[f] <= to)) ++f;
  if (f == n) return;
  int32_t g = f + 1;
  while (g < n && p[g] <= to) ++g;
  std::memmove(p + f, p + g, static_cast<size_t>(n - g) * sizeof(int32_t));
  doc.record.peakCount = n - (g - f);
}

PeakSpan ElementPeaks(const DocumentState& doc, int32_t element) {
  const TvxDocument& record = doc.record;
  if (record.elements == nullptr || element < 0 || element >= record.elementCount ||
      element >= record.elementCapacity) {
    return {};
  }
  const int32_t start = record.elements[element].start;
  const int32_t end = record.elements[element].end;
  const int32_t n = PeakCount(doc);
  const int32_t* p = record.peaks;
  PeakSpan span;
  while (span.first < n && p[span.first] < start) ++span.first;
  while (span.first + span.count < n && p[span.first + span.count] < end) ++span.count;
  return span;
}

int32_t NearestPeak(const DocumentState& doc, int32_t position) {
  const int32_t n = PeakCount(doc);
  if (n == 0) return -1;
  const int32_t* p = doc.record.peaks;
  if (position <= p[0]) return 0;
  if (position >= p[n - 1]) return n - 1;
  for (int32_t i = 1; i < n; ++i) {
    if (p[i - 1] <= position && position <= p[i]) {
      return Distance(position, p[i - 1]) <= Distance(p[i], position) ? i - 1 : i;
    }
  }
  return n - 1;  // only for a table out of order
}

bool PeriodAtPeak(const DocumentState& doc, int32_t index, int32_t* period) {
  const int32_t n = PeakCount(doc);
  if (n < 2 || index < 0 || index >= n) return false;
  const int32_t* p = doc.record.peaks;
  *period = index + 1 < n ? Difference(p[index + 1], p[index]) : Difference(p[index], p[index - 1]);
  return true;
}

void RecomputeModifiedPitch(DocumentState& doc) {
  const int32_t n = PeakCount(doc);
  if (n < 2) return;
  EnsurePitchRoom(doc, n);
  const int32_t* p = doc.record.peaks;
  for (int32_t j = 0; j + 1 < n; ++j) doc.record.modifiedPitch[j] = Difference(p[j + 1], p[j]);
}

void CopyModifiedPitch(DocumentState& doc, const int32_t* periods) {
  const int32_t n = PeakCount(doc);
  if (n < 2) return;
  EnsurePitchRoom(doc, n);
  std::memcpy(doc.record.modifiedPitch, periods, static_cast<size_t>(n - 1) * sizeof(int32_t));
}

void StoreCalculatedPeaks(DocumentState& doc, const int32_t* marks, int32_t count,
                          int32_t sampleRate) {
  count = std::max(count, 0);
  doc.record.peakRate = sampleRate;
  ResizePeakTable(doc, std::max(count, kInitialPeakRoom));
  if (count > 0) std::memcpy(doc.record.peaks, marks, static_cast<size_t>(count) * sizeof(int32_t));
  doc.record.peakCount = count;
  ResizeModifiedPitch(doc, count);
  RecomputeModifiedPitch(doc);
}

}  // namespace talvox
