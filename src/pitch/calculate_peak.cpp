// CalculatePeak: the external pitch marks stored in the document, as the
// internal calculator stores its own.
#include "pitch/external_pitch.h"
#include "pitch/peak_table.h"
#include "pitch/voiced_regions.h"

namespace talvox {

int32_t CalculatePeakInto(DocumentState& doc, const int16_t* samples, int32_t length,
                          int32_t sampleRate) {
  if (samples == nullptr || length <= 0 || sampleRate <= 0) return 0;
  SegmentIfNeeded(doc.record, samples, length, sampleRate);
  const std::vector<int32_t> marks = ExternalPitchMarks(samples, length, sampleRate);
  StoreCalculatedPeaks(doc, marks.data(), static_cast<int32_t>(marks.size()), sampleRate);
  return doc.record.peakCount;
}

}  // namespace talvox
