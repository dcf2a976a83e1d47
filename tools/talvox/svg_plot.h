// The SVG picture of a stretch of annotated speech: spectrogram, waveform with
// element boundaries and pitch marks, F0 contour, time axis in seconds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis.h"

namespace tvx {

struct PlotInput {
  std::string title;
  int rate = 0;
  int64_t begin = 0;  // samples shown: [begin, end)
  int64_t end = 0;
  const int16_t* samples = nullptr;        // the whole channel
  std::vector<ElementRecord> elements;
  std::vector<int32_t> peaks;
  std::vector<double> intervalF0;          // F0 track at each mark interval's middle, 0 when unvoiced
  std::vector<uint8_t> spectrogramRgb;     // width x kSpectrogramBins x 3
  int spectrogramWidth = 0;
};

constexpr int kSpectrogramBins = 64;

// Fills spectrogramRgb from the library's spectrum of the shown stretch, at
// most maxColumns frames wide.
void ComputeSpectrogram(PlotInput& input, int maxColumns);

std::string RenderSvg(const PlotInput& input);

}  // namespace tvx
