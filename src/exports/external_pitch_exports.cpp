// Pitch marks from the external program pap.exe.
#include "pitch/external_pitch.h"
#include "state/document.h"
#include "talvox.h"

using namespace talvox;

extern "C" {

int32_t CalculatePeak(const int16_t* samples, int32_t length, int32_t sampleRate) {
  return CalculatePeakInto(TheDocument(), samples, length, sampleRate);
}

int32_t _CalculatePeak(const int16_t* samples, int32_t length, int32_t sampleRate,
                       int32_t* peaks) {
  return CalculatePeakToArray(samples, length, sampleRate, peaks);
}

}  // extern "C"
