// Writing the picture of the loaded, annotated signal: SVG, PNG or PDF by
// the output's extension.
#pragma once

#include <string>
#include <vector>

#include "analysis.h"
#include "args.h"
#include "plot_picture.h"
#include "session.h"

namespace tvx {

// Fails (usage) for any other extension.
void CheckPlotName(const std::string& command, const std::string& path);

// Returns the notes on what the picture leaves out. The F0 comes from the
// voice tracker on channel with the given range.
std::vector<std::string> WritePlot(const std::string& path, const LoadedWave& wave, int channel, Span span,
                                   VoiceRange range = {}, const PlotSettings& settings = PlotSettings());

}  // namespace tvx
