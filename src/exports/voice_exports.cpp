#include "state/document.h"
#include "talvox.h"
#include "voice/voice_arguments.h"
#include "voice/voice_document.h"
#include "voice/voice_marks.h"
#include "voice/track_cache.h"
#include "voice/voice_track.h"

using namespace talvox;

extern "C" {

int32_t SegmentVoice(const int16_t* samples, int32_t length, int32_t sampleRate, float floorHz,
                     float ceilingHz) {
  if (!VoiceArgumentsValid(samples, length, sampleRate, floorHz, ceilingHz)) return 0;
  DocumentState& doc = TheDocument();
  if (doc.record.elements == nullptr) return 0;
  const VoiceTrack track = CachedTrackVoice(samples, length, sampleRate, floorHz, ceilingHz);
  return SegmentDocumentByVoice(doc, VoiceMarks(samples, length, sampleRate, track), length,
                                sampleRate);
}

int32_t _SegmentVoiceMarks(const int32_t* marks, int32_t count, int32_t length,
                           int32_t sampleRate) {
  if (count < 0 || (marks == nullptr && count > 0) || length <= 0) return 0;
  if (sampleRate < kLowestVoiceRate || sampleRate > kHighestVoiceRate) return 0;
  for (int32_t i = 0; i < count; ++i) {
    if (marks[i] < 0 || marks[i] >= length || (i > 0 && marks[i] <= marks[i - 1])) return 0;
  }
  DocumentState& doc = TheDocument();
  if (doc.record.elements == nullptr) return 0;
  return SegmentDocumentByVoice(doc, std::vector<int32_t>(marks, marks + count), length,
                                sampleRate);
}

int32_t CalculateVoiceMarks(const int16_t* samples, int32_t length, int32_t sampleRate,
                            float floorHz, float ceilingHz) {
  if (!VoiceArgumentsValid(samples, length, sampleRate, floorHz, ceilingHz)) return 0;
  DocumentState& doc = TheDocument();
  const VoiceTrack track = CachedTrackVoice(samples, length, sampleRate, floorHz, ceilingHz);
  const std::vector<int32_t> marks = VoiceMarks(samples, length, sampleRate, track);
  if (doc.record.segmented == 0) SegmentDocumentByVoice(doc, marks, length, sampleRate);
  StoreVoiceMarks(doc, marks, sampleRate);
  return doc.record.peakCount;
}

int32_t _CalculateVoiceMarks(const int16_t* samples, int32_t length, int32_t sampleRate,
                             float floorHz, float ceilingHz, int32_t* peaks, int32_t capacity) {
  if (!VoiceArgumentsValid(samples, length, sampleRate, floorHz, ceilingHz)) return 0;
  if (capacity < 0 || (peaks == nullptr && capacity > 0)) return 0;
  const VoiceTrack track = CachedTrackVoice(samples, length, sampleRate, floorHz, ceilingHz);
  const std::vector<int32_t> marks = VoiceMarks(samples, length, sampleRate, track);
  const int32_t count = static_cast<int32_t>(marks.size());
  for (int32_t i = 0; i < count && i < capacity; ++i) peaks[i] = marks[i];
  return count;
}

int32_t _CalculateF0Track(const int16_t* samples, int32_t length, int32_t sampleRate, float floorHz,
                          float ceilingHz, int32_t hop, float* f0, int32_t capacity) {
  if (!VoiceArgumentsValid(samples, length, sampleRate, floorHz, ceilingHz)) return 0;
  if (hop <= 0 || capacity < 0 || (f0 == nullptr && capacity > 0)) return 0;
  const VoiceTrack track = CachedTrackVoice(samples, length, sampleRate, floorHz, ceilingHz);
  return SampleF0Track(track, length, hop, f0, capacity);
}

}  // extern "C"
