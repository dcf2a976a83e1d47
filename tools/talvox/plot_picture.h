// The picture of a stretch of annotated speech, drawn with cairo: elements
// with their descriptions, the waveform of every channel with amplitude and
// dBFS scales and the pitch marks, the spectrogram under a frequency ceiling
// with its dB scale, the F0 over the speaker's range, the time axis. What a
// long stretch cannot show is said in notes under the picture.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "analysis.h"

namespace tvx {

struct PlotSettings {
  double ceilingHz = 5000;  // highest frequency of the spectrogram
  double rangeDb = 50;      // spectrogram levels shown below the loudest
  int width = 1600;         // pixels (points for PDF)
};

struct PlotInput {
  std::string title;
  int rate = 0;
  int64_t begin = 0;  // samples shown: [begin, end)
  int64_t end = 0;
  int64_t length = 0;                             // of the whole signal
  std::vector<const int16_t*> channels;           // the whole channels
  std::vector<ElementRecord> elements;
  std::vector<int32_t> peaks;
  std::vector<double> intervalF0;                 // per mark interval, 0 when unvoiced
};

int PlotHeight(const PlotInput& input);

// Draws onto cairo (width x PlotHeight) and returns the notes on what was
// left out (also drawn under the picture).
std::vector<std::string> DrawPlot(cairo_t* cairo, const PlotInput& input, const PlotSettings& settings);

}  // namespace tvx
