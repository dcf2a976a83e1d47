// The speech clipboard: copied samples with their annotation, positions
// relative to the first copied sample.
#pragma once

#include <cstdint>

#include "talvox.h"

namespace talvox {

struct SpeechClipboard {
  TvxElement* elements = nullptr;
  int32_t elementCount = 0;
  int32_t* peaks = nullptr;
  int32_t* modifiedPitch = nullptr;
  int32_t peakCount = 0;
  int16_t* channel[2] = {nullptr, nullptr};
  int32_t sampleCount = 0;  // 0: empty
  uint8_t* spectrum = nullptr;
  int32_t spectrumFrames = 0;
};

SpeechClipboard& TheClipboard();

void ClearClipboard(SpeechClipboard& clip);
void FreeClipboard(SpeechClipboard& clip);

}  // namespace talvox
