#include "voice/voice_document.h"

#include <algorithm>
#include <cstring>

#include "pitch/peak_table.h"
#include "voice/voice_segments.h"

namespace talvox {

int32_t SegmentDocumentByVoice(DocumentState& doc, const std::vector<int32_t>& marks,
                               int32_t length, int32_t sampleRate) {
  TvxDocument& record = doc.record;
  if (record.elements == nullptr || record.elementCapacity <= 0) return 0;
  record.elementCount =
      VoiceElements(marks, length, sampleRate, record.elements, record.elementCapacity);
  record.segmented = 1;
  return record.elementCount;
}

void StoreVoiceMarks(DocumentState& doc, const std::vector<int32_t>& marks, int32_t sampleRate) {
  const int32_t count = static_cast<int32_t>(marks.size());
  doc.record.peakRate = sampleRate;
  ResizePeakTable(doc, count);
  if (count > 0) std::memcpy(doc.record.peaks, marks.data(), marks.size() * sizeof(int32_t));
  doc.record.peakCount = count;
  ResizeModifiedPitch(doc, count);
  if (count > 0) std::fill(doc.record.modifiedPitch, doc.record.modifiedPitch + count, 0);
  RecomputeModifiedPitch(doc);
}

int32_t SampleF0Track(const VoiceTrack& track, int32_t length, int32_t hop, float* f0,
                      int32_t capacity) {
  const int32_t frames = (length - 1) / hop + 1;
  const int32_t written = std::min(frames, capacity);
  for (int32_t i = 0; i < written; ++i) {
    f0[i] = F0At(track, static_cast<double>(i) * hop);
  }
  return frames;
}

}  // namespace talvox
