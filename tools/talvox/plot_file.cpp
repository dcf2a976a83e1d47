#include "plot_file.h"

#include <cstdio>

#include "analysis.h"
#include "cli_error.h"
#include "f0_track.h"
#include "output.h"
#include "talvox.h"

namespace tvx {

void WritePlot(const std::string& path, const LoadedWave& wave, int channel, Span span, VoiceRange range) {
  OutputFile output(path);
  PlotInput input;
  std::string name = wave.path.substr(wave.path.rfind('/') == std::string::npos ? 0 : wave.path.rfind('/') + 1);
  char title[512];
  std::snprintf(title, sizeof title, "%s  (%d Hz, channel %d, %.3f to %.3f s)", name.c_str(), wave.rate,
                wave.spare.empty() ? channel : wave.fileChannel, double(span.begin) / wave.rate, double(span.end) / wave.rate);
  input.title = title;
  input.rate = wave.rate;
  input.begin = span.begin;
  input.end = span.end;
  input.samples = GetDataBuffer(channel);
  input.elements = CurrentElements();
  input.peaks = CurrentPeaks();
  input.intervalF0 = TrackAtIntervals(TrackChannel(wave, channel, range), input.peaks);
  ComputeSpectrogram(input, kMaxSpectrogramColumns);
  std::string svg = RenderSvg(input);
  output.WriteAll(svg);
  output.Commit();
}

}  // namespace tvx
