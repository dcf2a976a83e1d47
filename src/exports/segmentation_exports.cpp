#include "pitch/voiced_regions.h"
#include "state/document.h"
#include "talvox.h"

using namespace talvox;

extern "C" {

int32_t SegmentSpeech(const int16_t* samples, int32_t length, int32_t sampleRate) {
  TvxDocument& doc = TheDocument().record;
  doc.elementCount =
      DetectVoicedRegions(samples, length, doc.elements, doc.elementCapacity, sampleRate);
  doc.segmented = 1;
  return doc.elementCount;
}

}  // extern "C"
