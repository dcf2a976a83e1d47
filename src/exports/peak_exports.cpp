#include <algorithm>

#include "pitch/peak_snapping.h"
#include "pitch/peak_table.h"
#include "state/document.h"
#include "talvox.h"
#include "wave/wave_buffer.h"

using namespace talvox;

extern "C" {

int32_t GetClosedPeak(int32_t position, float scale) {
  const int32_t tolerance = ToleranceForScale(scale);
  return tolerance < 0 ? -1 : ClosestPeak(TheDocument(), position, tolerance);
}

int32_t GetClosedMaximumPeak(int32_t position, int32_t channel) {
  const WaveBuffer& wave = TheWave();
  const int16_t* samples = wave.Channel(channel);
  const int32_t length = wave.SafeLength();
  if (samples == nullptr || position >= length) return -1;
  return ClosedMaximum(samples, length, position);
}

int32_t GetClosedZerocross(int32_t position, int32_t channel) {
  const WaveBuffer& wave = TheWave();
  const int32_t length = wave.SafeLength();
  if (static_cast<int64_t>(position) > static_cast<int64_t>(length) - 10) return position;
  const int16_t* samples = wave.Channel(channel);
  if (samples == nullptr) return -1;
  return ClosedZeroCrossing(samples, length, position);
}

int32_t DeletePeak(int32_t position, int32_t* removed, float scale) {
  const int32_t tolerance = ToleranceForScale(scale);
  return tolerance < 0 ? 0 : DeleteClosestPeak(TheDocument(), position, tolerance, removed);
}

int32_t AddPeak(int32_t position, int32_t* added) {
  if (InsertPeak(TheDocument(), position) == 0) return 0;
  if (added != nullptr) *added = position;
  return 1;
}

void DeleteAllPeak(void) { DeleteAllPeaks(TheDocument()); }

void DeleteRangePeak(int32_t from, int32_t to) { DeletePeakRange(TheDocument(), from, to); }

void AdjustPeakToZerocross(const int16_t* samples, int32_t count) {
  AdjustPeaksToZeroCrossings(TheDocument(), samples, count);
}

void AdjustZerocrossToPeak(const int16_t* samples, int32_t count) {
  AdjustPeaksToMaxima(TheDocument(), samples, count);
}

int32_t GetElementPeak(int32_t element, int32_t** peaks) {
  const DocumentState& doc = TheDocument();
  const PeakSpan span = ElementPeaks(doc, element);
  if (peaks != nullptr) *peaks = span.count > 0 ? doc.record.peaks + span.first : nullptr;
  return span.count;
}

int32_t GetElementModifiedPitch(int32_t element, int32_t** periods) {
  const DocumentState& doc = TheDocument();
  const PeakSpan span = ElementPeaks(doc, element);
  int32_t* table = doc.record.modifiedPitch;
  const bool inside = span.count > 0 && table != nullptr && span.first < doc.pitchRoom;
  if (periods != nullptr) *periods = inside ? table + span.first : nullptr;
  if (!inside) return 0;
  return std::min(span.count - 1, doc.pitchRoom - span.first);
}

int32_t GetFullPeaks(int32_t** peaks) {
  const DocumentState& doc = TheDocument();
  if (peaks != nullptr) *peaks = doc.record.peaks;
  return PeakCount(doc);
}

int32_t GetFullModifiedPitch(int32_t** periods) {
  const DocumentState& doc = TheDocument();
  if (periods != nullptr) *periods = doc.record.modifiedPitch;
  const int32_t room = doc.record.modifiedPitch != nullptr ? doc.pitchRoom : 0;
  return std::max(0, std::min(PeakCount(doc) - 1, room));
}

int32_t SetModifiedPitch(const int32_t* periods) {
  if (periods == nullptr) return 0;
  CopyModifiedPitch(TheDocument(), periods);
  return 1;
}

int32_t GetNearestPeak(int32_t position, int32_t* peak, int32_t* index) {
  const DocumentState& doc = TheDocument();
  if (position >= TheWave().SafeLength()) return 0;
  const int32_t nearest = NearestPeak(doc, position);
  if (nearest < 0) {
    if (peak != nullptr) *peak = -1;
    return 0;
  }
  if (peak != nullptr) *peak = doc.record.peaks[nearest];
  if (index != nullptr) *index = nearest;
  return 1;
}

int32_t GetNearestPitch(int32_t position, int32_t* period) {
  int32_t index = 0;
  if (GetNearestPeak(position, nullptr, &index) == 0) return 0;
  int32_t value = 0;
  if (!PeriodAtPeak(TheDocument(), index, &value)) return 0;
  if (period != nullptr) *period = value;
  return 1;
}

}  // extern "C"
