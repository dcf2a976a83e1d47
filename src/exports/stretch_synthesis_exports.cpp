#include "state/document.h"
#include "synthesis/stretch_synthesis.h"
#include "synthesis/time_map.h"
#include "talvox.h"
#include "wave/wave_buffer.h"

using namespace talvox;

extern "C" {

int32_t SynthesisSpeechStretch(int32_t channel, int32_t start, int32_t end, float durationScale) {
  DocumentState& doc = TheDocument();
  const WaveBuffer& wave = TheWave();
  if (!SynthesisRangeAccepted(doc, wave, channel, start, end)) return 0;
  const auto map = TimeMap::Scaled(end - start, durationScale);
  if (!map) return 0;
  return SynthesiseStretched(doc, wave, channel, start, end, *map);
}

int32_t SynthesisSpeechMapped(int32_t channel, int32_t start, int32_t end,
                              const int32_t* sourcePoints, const int32_t* outputPoints,
                              int32_t count) {
  DocumentState& doc = TheDocument();
  const WaveBuffer& wave = TheWave();
  if (!SynthesisRangeAccepted(doc, wave, channel, start, end)) return 0;
  const auto map = TimeMap::Through(end - start, sourcePoints, outputPoints, count);
  if (!map) return 0;
  return SynthesiseStretched(doc, wave, channel, start, end, *map);
}

}  // extern "C"
