// Writing the SVG picture of the loaded, annotated signal.
#pragma once

#include <string>

#include "analysis.h"
#include "args.h"
#include "session.h"
#include "svg_plot.h"

namespace tvx {

constexpr int kMaxSpectrogramColumns = 1600;  // about one per pixel of the plot

// The F0 curve comes from the voice tracker with the given range.
void WritePlot(const std::string& path, const LoadedWave& wave, int channel, Span span, VoiceRange range = {});

}  // namespace tvx
