// The process-wide DSP settings the host sets and the analyses read. Stored
// as given; each analysis decides how to treat values it cannot use.
#pragma once

#include <cstdint>

namespace talvox {

struct DspSettings {
  int32_t predictionOrder = 12;
  int32_t cepstrumLength = 50;
  int32_t mfccVectorLength = 13;
  int32_t mfccRate = 16000;
};

DspSettings& TheDspSettings();

}  // namespace talvox
