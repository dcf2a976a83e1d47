#include "pitch/internal_pitch.h"
#include "state/document.h"
#include "talvox.h"

using namespace talvox;

extern "C" {

int32_t CalculatePitch(const int16_t* samples, int32_t length, int32_t sampleRate) {
  return CalculateDocumentPitch(TheDocument(), samples, length, sampleRate);
}

int32_t _CalculatePitch(const int16_t* samples, int32_t length, int32_t sampleRate,
                        int32_t* peaks) {
  return InternalPitchMarksInto(samples, length, sampleRate, peaks);
}

}  // extern "C"
