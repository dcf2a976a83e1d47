// Spectrogram: 64 bytes per frame, bin k of a 128-point transform of the
// Hann-windowed frame, on a 0.25 dB scale from 60 dB.
#pragma once

#include <cstdint>

#include "state/document.h"

namespace talvox {

constexpr int32_t kSpectrumBins = 64;
// Spectrum frames the buffer holds beyond count / 16, for pastes.
constexpr int32_t kSpectrumSlackFrames = 50;

// Byte of one bin from its power.
uint8_t SpectrumByte(float power);

// Writes FrameCount(count) x 64 bytes into output and returns the frame
// count; 0 and nothing written for null samples or output, or count <= 0.
int32_t SpectrogramFrames(const int16_t* samples, int32_t count, uint8_t* output);

// The underscore form: SpectrogramFrames into the caller's buffer, the frame
// count also stored in the document; 0 and the document unchanged when
// nothing is computed.
int32_t CalculateSpectrumInto(TvxDocument& doc, const int16_t* samples, int32_t count,
                              uint8_t* output);

// Resizes the document's spectrum to (count / 16 + 50) frames and fills it.
// 0 and the document unchanged for null samples or count <= 0.
int32_t CalculateDocumentSpectrum(DocumentState& doc, const int16_t* samples, int32_t count);

}  // namespace talvox
