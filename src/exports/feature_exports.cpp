#include "features/energy_contour.h"
#include "features/spectrogram.h"
#include "state/document.h"
#include "talvox.h"

using namespace talvox;

extern "C" {

int32_t CalculateSpectrum(const int16_t* samples, int32_t count) {
  return CalculateDocumentSpectrum(TheDocument(), samples, count);
}

int32_t _CalculateSpectrum(const int16_t* samples, int32_t count, uint8_t* output) {
  return CalculateSpectrumInto(TheDocument().record, samples, count, output);
}

uint8_t* GetSpectrum(void) { return TheDocument().record.spectrum; }

int32_t GetSpectrumFrameNum(void) { return TheDocument().record.spectrumFrames; }

int32_t CalculateEnergy(const int16_t* samples, int32_t count) {
  return CalculateDocumentEnergy(TheDocument(), samples, count);
}

int32_t _CalculateEnergy(const int16_t* samples, int32_t count, int32_t* energy, int32_t* length) {
  return EnergyContour(samples, count, energy, length);
}

int32_t* GetEnergy(void) { return TheDocument().energy; }

int32_t GetEnergyLength(void) { return TheDocument().energyLength; }

}  // extern "C"
