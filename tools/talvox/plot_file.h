// Writing the SVG picture of the loaded, annotated signal.
#pragma once

#include <string>

#include "args.h"
#include "session.h"
#include "svg_plot.h"

namespace tvx {

constexpr int kMaxSpectrogramColumns = 1600;  // about one per pixel of the plot

void WritePlot(const std::string& path, const LoadedWave& wave, int channel, Span span);

}  // namespace tvx
