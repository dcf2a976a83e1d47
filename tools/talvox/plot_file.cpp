#include "plot_file.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>

#include "analysis.h"
#include "cli_error.h"
#include "f0_track.h"
#include "output.h"
#include "talvox.h"

namespace tvx {
namespace {

enum class PlotKind { kSvg, kPng, kPdf, kUnknown };

PlotKind KindOf(const std::string& path) {
  // Standard output, a device or any name without an extension gets the
  // text format.
  size_t slash = path.rfind('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = base.rfind('.');
  if (path == "-" || dot == std::string::npos || dot == 0) return PlotKind::kSvg;
  auto endsWith = [&](const char* ending) {
    std::string e = ending;
    if (path.size() < e.size()) return false;
    for (size_t i = 0; i < e.size(); i++)
      if (std::tolower(static_cast<unsigned char>(path[path.size() - e.size() + i])) != e[i]) return false;
    return true;
  };
  if (endsWith(".svg")) return PlotKind::kSvg;
  if (endsWith(".png")) return PlotKind::kPng;
  if (endsWith(".pdf")) return PlotKind::kPdf;
  return PlotKind::kUnknown;
}

PlotInput Describe(const LoadedWave& wave, int channel, Span span, VoiceRange range) {
  PlotInput input;
  size_t slash = wave.path.rfind('/');
  std::string name = wave.path.substr(slash == std::string::npos ? 0 : slash + 1);
  char title[512];
  std::snprintf(title, sizeof title, "%s  (%d Hz, %d channel%s, %.3f to %.3f s)", name.c_str(), wave.rate, wave.channels,
                wave.channels > 1 ? "s" : "", double(span.begin) / wave.rate, double(span.end) / wave.rate);
  input.title = title;
  input.rate = wave.rate;
  input.begin = span.begin;
  input.end = span.end;
  input.length = wave.length;
  // A file of more channels than the wave buffer holds keeps them all aside.
  for (int c = 0; c < wave.channels; c++)
    input.channels.push_back(wave.spare.empty() ? GetDataBuffer(c) : wave.spare[size_t(c)].data());
  input.elements = CurrentElements();
  input.peaks = CurrentPeaks();
  input.intervalF0 = TrackAtIntervals(TrackChannel(wave, channel, range), input.peaks);
  return input;
}

}  // namespace

void CheckPlotName(const std::string& command, const std::string& path) {
  if (KindOf(path) == PlotKind::kUnknown)
    FailUsage(command, "the picture's name must end in .svg, .png or .pdf, not '" + path + "'");
}

std::vector<std::string> WritePlot(const std::string& path, const LoadedWave& wave, int channel, Span span,
                                   VoiceRange range, const PlotSettings& settings) {
  CheckPlotName("plot", path);
  if (span.end <= span.begin) FailFile(path, "the range to draw is empty");
  OutputFile output(path);
  PlotInput input = Describe(wave, channel, span, range);
  double width = settings.width, height = PlotHeight(input);
  PlotKind kind = KindOf(path);
  cairo_surface_t* surface = nullptr;
  if (kind == PlotKind::kSvg) surface = cairo_svg_surface_create(output.temp().c_str(), width, height);
  else if (kind == PlotKind::kPdf) surface = cairo_pdf_surface_create(output.temp().c_str(), width, height);
  else surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(width), int(height));
  cairo_t* cairo = cairo_create(surface);
  std::vector<std::string> notes = DrawPlot(cairo, input, settings);
  cairo_status_t status = cairo_status(cairo);
  cairo_destroy(cairo);
  if (status == CAIRO_STATUS_SUCCESS && kind == PlotKind::kPng)
    status = cairo_surface_write_to_png(surface, output.temp().c_str());
  cairo_surface_finish(surface);  // SVG and PDF are written out here
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  // The font caches would otherwise stay until the process ends (and count
  // as leaks); the next picture builds them again.
  cairo_debug_reset_static_data();
  FcFini();
  if (status != CAIRO_STATUS_SUCCESS) FailFile(path, std::string("cannot be written: ") + cairo_status_to_string(status));
  output.Commit();
  return notes;
}

}  // namespace tvx
