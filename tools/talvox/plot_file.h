// Writing the picture of the loaded, annotated signal: SVG, PNG or PDF by
// the output's extension.
#pragma once

#include <string>
#include <vector>

#include "args.h"
#include "plot_picture.h"
#include "session.h"

namespace tvx {

// Fails (usage) for any other extension.
void CheckPlotName(const std::string& command, const std::string& path);

// Returns the notes on what the picture leaves out.
std::vector<std::string> WritePlot(const std::string& path, const LoadedWave& wave, Span span,
                                   const PlotSettings& settings = PlotSettings());

}  // namespace tvx
