#include "plot_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plot_choices.h"
#include "view/detail_levels.h"
#include "view/spectrogram_columns.h"

namespace tvx {
namespace {

constexpr double kLeft = 72, kRight = 78;  // axis labels left, dB scales right
constexpr double kTitle = 34, kElements = 30, kWave = 170, kGap = 10;
constexpr double kSpectrum = 200, kPitch = 160, kAxis = 36, kNotes = 22;
constexpr double kMinBoundaryGap = 6;      // pixels between drawn boundaries
constexpr double kMarkTick = 10;
constexpr double kMostMarksPerPixel = 0.5; // denser marks are a solid band
constexpr double kFontSize = 11;
constexpr double kMostDotsPerPixel = 2;

struct Lane {
  double y, h;
};

struct Frame {
  const PlotInput& in;
  double width;
  double plotWidth() const { return width - kLeft - kRight; }
  double X(double sample) const { return kLeft + (sample - in.begin) * plotWidth() / double(in.end - in.begin); }
};

void Colour(cairo_t* c, unsigned rgb, double alpha = 1.0) {
  cairo_set_source_rgba(c, ((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0, alpha);
}

void Text(cairo_t* c, double x, double y, const std::string& text, double align = 0.0) {
  cairo_text_extents_t extents;
  cairo_text_extents(c, text.c_str(), &extents);
  cairo_move_to(c, x - align * extents.x_advance, y);
  cairo_show_text(c, text.c_str());
}

double TextWidth(cairo_t* c, const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(c, text.c_str(), &extents);
  return extents.x_advance;
}

void Line(cairo_t* c, double x0, double y0, double x1, double y1) {
  cairo_move_to(c, x0, y0);
  cairo_line_to(c, x1, y1);
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

void DrawElements(cairo_t* c, const Frame& f, Lane lane, std::vector<std::string>& notes) {
  int hidden = 0;
  for (const ElementRecord& e : f.in.elements) {
    if (e.end <= f.in.begin || e.start >= f.in.end) continue;
    double x0 = std::max(kLeft, f.X(e.start)), x1 = std::min(kLeft + f.plotWidth(), f.X(e.end));
    Colour(c, e.IsSilence() ? 0xeceae4 : 0xdde8f4);
    cairo_rectangle(c, x0, lane.y, std::max(0.5, x1 - x0), lane.h);
    cairo_fill(c);
    if (e.desc.empty()) continue;
    if (TextWidth(c, e.desc) + 4 <= x1 - x0) {
      Colour(c, 0x222222);
      Text(c, (x0 + x1) / 2, lane.y + lane.h / 2 + 4, e.desc, 0.5);
    } else {
      hidden++;
    }
  }
  if (hidden) notes.push_back(std::to_string(hidden) + " descriptions too narrow to show");
}

void DrawBoundaries(cairo_t* c, const Frame& f, Lane elements, double bottom, std::vector<std::string>& notes) {
  std::vector<double> x;
  for (const ElementRecord& e : f.in.elements)
    if (e.start > f.in.begin && e.start < f.in.end) x.push_back(f.X(e.start));
  std::vector<size_t> kept = ThinnedPositions(x, kMinBoundaryGap);
  bool thinned = kept.size() < x.size();
  // Thinned boundaries stay in the element lane, so they do not hide the waveform.
  double end = thinned ? elements.y + elements.h : bottom;
  Colour(c, 0x143c8c, 0.75);
  cairo_set_line_width(c, 1);
  for (size_t i : kept) Line(c, std::round(x[i]) + 0.5, elements.y, std::round(x[i]) + 0.5, end);
  cairo_stroke(c);
  if (thinned)
    notes.push_back(std::to_string(kept.size()) + " of " + std::to_string(x.size()) +
                    " boundaries drawn (at least 6 px apart); plot a shorter --range for all");
}

void DrawWave(cairo_t* c, const Frame& f, const std::vector<view::Extremes>& columns, const int16_t* samples, Lane lane,
              int channel) {
  Colour(c, 0xffffff);
  cairo_rectangle(c, kLeft, lane.y, f.plotWidth(), lane.h);
  cairo_fill(c);
  int32_t largest = 1;
  for (const view::Extremes& e : columns) largest = std::max({largest, std::abs(int32_t(e.low)), std::abs(int32_t(e.high))});
  int32_t full = AmplitudeFullScale(largest);
  double middle = lane.y + lane.h / 2, half = lane.h / 2 - 2;
  auto y = [&](double v) { return middle - v / full * half; };
  Colour(c, 0xdddddd);
  Line(c, kLeft, middle, kLeft + f.plotWidth(), middle);
  cairo_stroke(c);
  Colour(c, 0x223344);
  cairo_set_line_width(c, 1);
  int64_t count = f.in.end - f.in.begin;
  if (count <= int64_t(f.plotWidth())) {
    for (int64_t i = 0; i < count; i++) {
      double x = f.X(double(f.in.begin + i)), v = y(samples[f.in.begin + i]);
      if (i == 0) cairo_move_to(c, x, v);
      else cairo_line_to(c, x, v);
    }
  } else {
    double step = f.plotWidth() / columns.size();
    for (size_t k = 0; k < columns.size(); k++) {
      double x = kLeft + k * step + 0.5;
      Line(c, x, y(columns[k].high) - 0.5, x, y(columns[k].low) + 0.5);
    }
  }
  cairo_stroke(c);
  // Sample values on the left, dB below full scale (32768) on the right.
  Colour(c, 0x555555);
  for (double fraction : {1.0, 0.5, 0.0, -0.5, -1.0}) {
    double value = fraction * full, at = y(value) + 4;
    at = std::clamp(at, lane.y + 9, lane.y + lane.h - 1);
    Text(c, kLeft - 6, at, Format("%.0f", value), 1.0);
    if (fraction != 0.0) Text(c, kLeft + f.plotWidth() + 6, at, Format("%.1f dBFS", 20 * std::log10(std::abs(value) / 32768.0)));
  }
  Text(c, 6, middle + 4, "ch " + std::to_string(channel));
}

void DrawMarks(cairo_t* c, const Frame& f, const std::vector<Lane>& waves, std::vector<std::string>& notes) {
  auto first = std::lower_bound(f.in.peaks.begin(), f.in.peaks.end(), f.in.begin);
  auto last = std::lower_bound(f.in.peaks.begin(), f.in.peaks.end(), f.in.end);
  size_t count = size_t(last - first);
  if (count > f.plotWidth() * kMostMarksPerPixel) {
    notes.push_back(std::to_string(count) + " pitch marks not drawn (too dense); plot a shorter --range");
    return;
  }
  Colour(c, 0xd62728);
  for (auto p = first; p != last; ++p)
    for (const Lane& lane : waves) Line(c, std::round(f.X(*p)) + 0.5, lane.y, std::round(f.X(*p)) + 0.5, lane.y + kMarkTick);
  cairo_stroke(c);
}

// The library's spectrum byte v stands for 60 + v/4 dB.
void DrawSpectrum(cairo_t* c, const Frame& f, const PlotSettings& s, Lane lane) {
  int columns = std::max(1, int(f.plotWidth()));
  std::vector<uint8_t> levels =
      view::SpectrogramColumns(f.in.channels[0], f.in.length, f.in.begin, f.in.end, columns);
  double ceiling = std::min(s.ceilingHz, f.in.rate / 2.0);
  int bins = std::clamp(int(std::ceil(ceiling * 128 / f.in.rate)), 1, view::kSpectrumBins);
  uint8_t loudest = levels.empty() ? 0 : *std::max_element(levels.begin(), levels.end());
  double floor = loudest - s.rangeDb * 4;
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, columns, bins);
  unsigned char* pixels = cairo_image_surface_get_data(image);
  int stride = cairo_image_surface_get_stride(image);
  cairo_surface_flush(image);
  for (int x = 0; x < columns && !levels.empty(); x++)
    for (int k = 0; k < bins; k++) {
      double level = std::clamp((levels[size_t(x) * view::kSpectrumBins + k] - floor) / std::max(1.0, loudest - floor), 0.0, 1.0);
      uint32_t shade = uint32_t(std::lround(255 * (1 - level)));
      uint32_t* pixel = reinterpret_cast<uint32_t*>(pixels + (bins - 1 - k) * stride) + x;
      *pixel = (shade << 16) | (shade << 8) | shade;
    }
  cairo_surface_mark_dirty(image);
  double top = bins * double(f.in.rate) / 128;  // frequency at the image's top edge
  double height = lane.h * std::min(1.0, top / ceiling);
  cairo_save(c);
  cairo_rectangle(c, kLeft, lane.y, f.plotWidth(), lane.h);
  cairo_clip(c);
  cairo_translate(c, kLeft, lane.y + lane.h - height);
  cairo_scale(c, f.plotWidth() / columns, height / bins);
  cairo_set_source_surface(c, image, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(c), CAIRO_FILTER_BILINEAR);
  cairo_paint(c);
  cairo_restore(c);
  cairo_surface_destroy(image);
  Colour(c, 0x555555);
  double step = NiceStep(ceiling, 5);
  for (double hz = 0; hz <= ceiling + 1e-6; hz += step)
    Text(c, kLeft - 6, std::clamp(lane.y + lane.h - hz / ceiling * lane.h + 4, lane.y + 9, lane.y + lane.h), Format("%.0f", hz), 1.0);
  Text(c, 6, lane.y + 12, "Hz");
  // The dB scale of the shades.
  double barX = kLeft + f.plotWidth() + 8;
  for (int i = 0; i < 32; i++) {
    double shade = i / 31.0;
    cairo_set_source_rgb(c, shade, shade, shade);
    cairo_rectangle(c, barX, lane.y + i * (lane.h - 20) / 32, 10, (lane.h - 20) / 32 + 0.5);
    cairo_fill(c);
  }
  Colour(c, 0x555555);
  Text(c, barX + 13, lane.y + 9, Format("%.0f dB", 60 + loudest / 4.0));
  Text(c, barX + 13, lane.y + lane.h - 22, Format("%.0f dB", 60 + std::max(0.0, floor) / 4.0));
}

void DrawPitch(cairo_t* c, const Frame& f, Lane lane, std::vector<std::string>& notes) {
  Colour(c, 0xffffff);
  cairo_rectangle(c, kLeft, lane.y, f.plotWidth(), lane.h);
  cairo_fill(c);
  std::vector<double> shown;
  for (size_t j = 0; j < f.in.intervalF0.size(); j++)
    if (f.in.peaks[j] >= f.in.begin && f.in.peaks[j + 1] <= f.in.end) shown.push_back(f.in.intervalF0[j]);
  auto [low, high] = SpeakerRange(shown);
  auto y = [&](double hz) { return lane.y + lane.h - std::log(hz / low) / std::log(high / low) * lane.h; };
  Colour(c, 0x555555);
  double step = NiceStep(high - low, 5);
  for (double hz = std::ceil(low / step) * step; hz <= high; hz += step) {
    Colour(c, 0xeeeeee);
    Line(c, kLeft, y(hz), kLeft + f.plotWidth(), y(hz));
    cairo_stroke(c);
    Colour(c, 0x555555);
    Text(c, kLeft - 6, y(hz) + 4, Format("%.0f", hz), 1.0);
  }
  Text(c, 6, lane.y + 12, "F0 (Hz)");
  // Two dots per pixel column at most: an hour's 360000 intervals would make
  // a vector file of megabytes that looks the same.
  std::vector<std::pair<double, double>> dots;
  for (size_t j = 0; j < f.in.intervalF0.size(); j++) {
    double hz = f.in.intervalF0[j];
    if (!(hz > 0) || f.in.peaks[j] < f.in.begin || f.in.peaks[j + 1] > f.in.end) continue;
    dots.push_back({f.X((f.in.peaks[j] + f.in.peaks[j + 1]) / 2.0), std::clamp(y(hz), lane.y, lane.y + lane.h)});
  }
  size_t stride = std::max<size_t>(1, size_t(dots.size() / (f.plotWidth() * kMostDotsPerPixel)));
  Colour(c, 0xd62728);
  for (size_t k = 0; k < dots.size(); k += stride) cairo_rectangle(c, dots[k].first - 1.2, dots[k].second - 1.2, 2.4, 2.4);
  cairo_fill(c);
  size_t drawn = dots.size();
  if (drawn == 0) notes.push_back("no voiced mark intervals: no F0 to draw");
}

void DrawTimeAxis(cairo_t* c, const Frame& f, Lane lane) {
  double first = double(f.in.begin) / f.in.rate, last = double(f.in.end) / f.in.rate;
  double step = NiceStep(last - first, f.plotWidth() / 110);
  Colour(c, 0x333333);
  Line(c, kLeft, lane.y, kLeft + f.plotWidth(), lane.y);
  for (double t = std::ceil(first / step) * step; t <= last + 1e-9; t += step) {
    double x = f.X(t * f.in.rate);
    Line(c, x, lane.y, x, lane.y + 5);
    cairo_stroke(c);
    Text(c, x, lane.y + 17, TimeLabel(t, step), 0.5);
  }
  cairo_stroke(c);
  Text(c, kLeft + f.plotWidth() / 2, lane.y + 32, "time (s)", 0.5);
}

}  // namespace

int PlotHeight(const PlotInput& input) {
  return int(kTitle + kElements + kGap + input.channels.size() * (kWave + kGap) + kSpectrum + kGap + kPitch + kAxis +
             kNotes);
}

std::vector<std::string> DrawPlot(cairo_t* c, const PlotInput& in, const PlotSettings& settings) {
  Frame f{in, double(settings.width)};
  std::vector<std::string> notes;
  Colour(c, 0xfbfbf8);
  cairo_paint(c);
  cairo_select_font_face(c, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(c, kFontSize + 3);
  Colour(c, 0x222222);
  Text(c, kLeft, 22, in.title);
  cairo_set_font_size(c, kFontSize);

  double y = kTitle;
  Lane elements{y, kElements};
  y += kElements + kGap;
  std::vector<Lane> waves;
  for (size_t ch = 0; ch < in.channels.size(); ch++, y += kWave + kGap) waves.push_back({y, kWave});
  Lane spectrum{y, kSpectrum};
  y += kSpectrum + kGap;
  Lane pitch{y, kPitch};
  y += kPitch;
  Lane axis{y, kAxis};

  DrawElements(c, f, elements, notes);
  std::vector<std::vector<int16_t>> copies;
  for (const int16_t* samples : in.channels) copies.emplace_back(samples, samples + in.length);
  view::DetailLevels levels;
  levels.Build(copies);
  auto columns = levels.Columns(copies, in.begin, in.end, int(f.plotWidth()));
  for (size_t ch = 0; ch < in.channels.size(); ch++) DrawWave(c, f, columns[ch], in.channels[ch], waves[ch], int(ch));
  DrawMarks(c, f, waves, notes);
  DrawSpectrum(c, f, settings, spectrum);
  DrawPitch(c, f, pitch, notes);
  DrawBoundaries(c, f, elements, spectrum.y + spectrum.h, notes);
  DrawTimeAxis(c, f, axis);
  if (!notes.empty()) {
    std::string line = "note: ";
    for (size_t i = 0; i < notes.size(); i++) line += (i ? "; " : "") + notes[i];
    Colour(c, 0x8a4b00);
    Text(c, kLeft, axis.y + kAxis + 14, line);
  }
  return notes;
}

}  // namespace tvx
