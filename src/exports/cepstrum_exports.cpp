#include "dsp/frame_analysis.h"
#include "dsp/settings.h"
#include "talvox.h"

namespace {
// Shortest frames the analyses accept.
constexpr int32_t kMinCepstrumFrame = 13;
constexpr int32_t kMinMfccFrame = 20;
}  // namespace

extern "C" {

int32_t CalculateCepstral(const int16_t* frame, int32_t n, float* output) {
  const int32_t length = talvox::TheDspSettings().cepstrumLength;
  if (frame == nullptr || output == nullptr || length <= 0) return 0;
  if (n < kMinCepstrumFrame || n > talvox::kLargestFrame) return 0;
  talvox::RealCepstrum(frame, n, length, output);
  return length;
}

void SetCeplen(int32_t length) { talvox::TheDspSettings().cepstrumLength = length; }

int32_t GetCeplen(void) { return talvox::TheDspSettings().cepstrumLength; }

int32_t MFCCCalculateParam(const int16_t* frame, int32_t n, float* output) {
  const talvox::DspSettings& settings = talvox::TheDspSettings();
  if (frame == nullptr || output == nullptr) return 0;
  if (settings.mfccVectorLength <= 0 || settings.mfccRate <= 0) return 0;
  if (n < kMinMfccFrame || n > talvox::kLargestFrame) return 0;
  talvox::MfccCoefficients(frame, n, settings.mfccRate, settings.mfccVectorLength, output);
  return settings.mfccVectorLength;
}

void MFCCSetSampleingRate(int32_t rate) { talvox::TheDspSettings().mfccRate = rate; }

void SetMFCCVecLen(int32_t length) { talvox::TheDspSettings().mfccVectorLength = length; }

int32_t GetMFCCVecLen(void) { return talvox::TheDspSettings().mfccVectorLength; }

}  // extern "C"
