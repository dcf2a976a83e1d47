#include "svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "png_writer.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr int kWidth = 1400;
constexpr int kLeft = 70, kRight = 30;
constexpr int kPlotWidth = kWidth - kLeft - kRight;
constexpr int kTitleHeight = 34;
constexpr int kSpectrumTop = kTitleHeight, kSpectrumHeight = 220;
constexpr int kWaveTop = kSpectrumTop + kSpectrumHeight + 10, kWaveHeight = 200;
constexpr int kF0Top = kWaveTop + kWaveHeight + 10, kF0Height = 170;
constexpr int kAxisTop = kF0Top + kF0Height;
constexpr int kHeight = kAxisTop + 40;
constexpr int kMarkTick = 12;            // pixels of a pitch-mark tick
constexpr double kLabelCharWidth = 6.5;  // pixels per character at font size 11
constexpr int kFrameHop = 16;            // samples between spectrum frames
constexpr int kFrameLength = 128;

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char text[512];
  va_list values;
  va_start(values, format);
  std::vsnprintf(text, sizeof text, format, values);
  va_end(values);
  return text;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '&') out += "&amp;";
    else if (c == '"') out += "&quot;";
    else if (static_cast<unsigned char>(c) >= 0x20) out += c;
  }
  return out;
}

// A step of 1, 2 or 5 times a power of ten giving at most maxTicks ticks.
double NiceStep(double span, int maxTicks) {
  double raw = span / maxTicks;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0, 10.0})
    if (factor * power >= raw) return factor * power;
  return 10 * power;
}

// Dark blue through red to pale yellow, for spectrum levels 0..255.
void Colour(uint8_t level, uint8_t* rgb) {
  static const uint8_t kStops[][3] = {{8, 8, 32}, {70, 20, 120}, {190, 40, 70}, {245, 140, 30}, {252, 250, 170}};
  double position = level / 255.0 * 4;
  int low = std::min(static_cast<int>(position), 3);
  double t = position - low;
  for (int k = 0; k < 3; k++) rgb[k] = static_cast<uint8_t>(kStops[low][k] + t * (kStops[low + 1][k] - kStops[low][k]));
}

struct Scale {
  const PlotInput& in;
  double X(double sample) const {
    return kLeft + (sample - in.begin) * kPlotWidth / double(in.end - in.begin);
  }
};

std::string TimeAxis(const PlotInput& in, const Scale& scale) {
  double first = double(in.begin) / in.rate, last = double(in.end) / in.rate;
  double step = NiceStep(last - first, 12);
  int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  std::string svg = Format("<line x1='%d' y1='%d' x2='%d' y2='%d' stroke='#333'/>\n", kLeft, kAxisTop,
                           kLeft + kPlotWidth, kAxisTop);
  for (double t = std::ceil(first / step) * step; t <= last + 1e-9; t += step) {
    double x = scale.X(t * in.rate);
    char label[32];
    std::snprintf(label, sizeof label, "%.*f", decimals, t);
    svg += Format("<line x1='%.1f' y1='%d' x2='%.1f' y2='%d' stroke='#333'/>", x, kAxisTop, x, kAxisTop + 5);
    svg += Format("<text x='%.1f' y='%d' text-anchor='middle'>", x, kAxisTop + 18) + label + "</text>\n";
  }
  svg += Format("<text x='%.1f' y='%d' text-anchor='middle'>time (s)</text>\n", kLeft + kPlotWidth / 2.0,
                kAxisTop + 34);
  return svg;
}

std::string Spectrogram(const PlotInput& in) {
  if (in.spectrogramWidth <= 0) return "";
  std::string png = Base64(EncodePng(in.spectrogramRgb, in.spectrogramWidth, kSpectrogramBins));
  std::string svg = Format("<image x='%d' y='%d' width='%d' height='%d' preserveAspectRatio='none' "
                           "style='image-rendering:pixelated' href='data:image/png;base64,",
                           kLeft, kSpectrumTop, kPlotWidth, kSpectrumHeight);
  svg += png + "'/>\n";
  double nyquist = in.rate / 2000.0;
  double step = NiceStep(nyquist, 5);
  for (double k = 0; k <= nyquist + 1e-9; k += step) {
    double y = kSpectrumTop + kSpectrumHeight - k / nyquist * kSpectrumHeight;
    svg += Format("<line x1='%d' y1='%.1f' x2='%d' y2='%.1f' stroke='#333'/>", kLeft - 5, y, kLeft, y);
    svg += Format("<text x='%d' y='%.1f' text-anchor='end'>%g</text>\n", kLeft - 8, y + 4, k);
  }
  svg += Format("<text transform='translate(18 %.1f) rotate(-90)' text-anchor='middle'>kHz</text>\n",
                kSpectrumTop + kSpectrumHeight / 2.0);
  return svg;
}

// Silences shaded behind the waveform, so the segmentation reads at a glance.
std::string SilenceShading(const PlotInput& in, const Scale& scale) {
  std::string svg;
  for (const ElementRecord& element : in.elements) {
    if (!element.IsSilence() || element.end <= in.begin || element.start >= in.end) continue;
    double x0 = scale.X(double(std::max<int64_t>(element.start, in.begin)));
    double x1 = scale.X(double(std::min<int64_t>(element.end, in.end)));
    svg += Format("<rect x='%.1f' y='%d' width='%.1f' height='%d' fill='#e2e2da'/>\n", x0, kWaveTop, x1 - x0,
                  kWaveHeight);
  }
  return svg;
}

std::string Waveform(const PlotInput& in, const Scale& scale) {
  double middle = kWaveTop + kWaveHeight / 2.0, half = kWaveHeight / 2.0 - 4;
  int64_t count = in.end - in.begin;
  std::string path;
  if (count <= kPlotWidth * 2) {
    for (int64_t i = in.begin; i < in.end; i++)
      path += Format(i == in.begin ? "M%.1f %.1f" : "L%.1f %.1f", scale.X(double(i)), middle - in.samples[i] / 32768.0 * half);
    path = "<path d='" + path + "' fill='none' stroke='#1f4e8c' stroke-width='1'/>\n";
  } else {
    // One column per pixel: the band between its smallest and largest sample.
    std::vector<double> top(kPlotWidth), bottom(kPlotWidth);
    for (int x = 0; x < kPlotWidth; x++) {
      int64_t from = in.begin + count * x / kPlotWidth, to = std::max(from + 1, in.begin + count * (x + 1) / kPlotWidth);
      auto [low, high] = std::minmax_element(in.samples + from, in.samples + to);
      top[x] = middle - *high / 32768.0 * half - 0.5;
      bottom[x] = middle - *low / 32768.0 * half + 0.5;
    }
    for (int x = 0; x < kPlotWidth; x++) path += Format(x ? "L%d %.1f" : "M%d %.1f", kLeft + x, top[x]);
    for (int x = kPlotWidth - 1; x >= 0; x--) path += Format("L%d %.1f", kLeft + x, bottom[x]);
    path = "<path d='" + path + "Z' fill='#1f4e8c' stroke='none'/>\n";
  }
  std::string svg = Format("<rect x='%d' y='%d' width='%d' height='%d' fill='#f7f7f2' stroke='#999'/>\n", kLeft,
                           kWaveTop, kPlotWidth, kWaveHeight);
  svg += SilenceShading(in, scale);
  svg += Format("<line x1='%d' y1='%.1f' x2='%d' y2='%.1f' stroke='#bbb'/>\n", kLeft, middle, kLeft + kPlotWidth, middle);
  svg += path;
  return svg;
}

std::string Legend() {
  int x = kWidth - kRight - 520;
  std::string svg = Format("<path d='M%d 18 v10' stroke='#d62728'/><text x='%d' y='27'>pitch mark</text>", x, x + 6);
  svg += Format("<path d='M%d 17 v12' stroke='#2a9d3a' stroke-dasharray='4 3'/><text x='%d' y='27'>element "
                "boundary</text>", x + 90, x + 96);
  svg += Format("<rect x='%d' y='17' width='14' height='12' fill='#e2e2da' stroke='#999'/><text x='%d' y='27'>"
                "silence (SIL)</text>", x + 215, x + 234);
  svg += Format("<path d='M%d 23 h16' stroke='#d62728' stroke-width='1.5'/><text x='%d' y='27'>F0 (voice "
                "tracker)</text>\n", x + 330, x + 350);
  return svg;
}

std::string Elements(const PlotInput& in, const Scale& scale) {
  std::string lines, labels;
  for (const ElementRecord& element : in.elements) {
    if (element.end <= in.begin || element.start >= in.end) continue;
    for (int64_t boundary : {int64_t(element.start), int64_t(element.end)}) {
      if (boundary <= in.begin || boundary >= in.end) continue;
      double x = scale.X(double(boundary));
      lines += Format("M%.1f %d V%d ", x, kSpectrumTop, kAxisTop);
    }
    double x0 = scale.X(double(std::max<int64_t>(element.start, in.begin)));
    double x1 = scale.X(double(std::min<int64_t>(element.end, in.end)));
    if ((x1 - x0) < element.desc.size() * kLabelCharWidth + 4) continue;
    const char* colour = element.IsSilence() ? "#888" : "#000";
    labels += Format("<text x='%.1f' y='%d' text-anchor='middle' fill='", (x0 + x1) / 2, kWaveTop + 14) + colour +
              "'>" + Escape(element.desc) + "</text>\n";
  }
  if (lines.empty()) return labels;
  return "<path d='" + lines + "' stroke='#2a9d3a' stroke-width='1' stroke-dasharray='4 3' fill='none'/>\n" + labels;
}

std::string PitchMarks(const PlotInput& in, const Scale& scale) {
  std::string ticks;
  for (int32_t peak : in.peaks)
    if (peak >= in.begin && peak < in.end) ticks += Format("M%.1f %d v%d ", scale.X(double(peak)), kWaveTop + kWaveHeight - kMarkTick, kMarkTick);
  if (ticks.empty()) return "";
  return "<path d='" + ticks + "' stroke='#d62728' stroke-width='1'/>\n";
}

std::string F0Contour(const PlotInput& in, const Scale& scale) {
  double low = 1e9, high = 0;
  for (size_t k = 0; k < in.intervalF0.size(); k++) {
    if (in.intervalF0[k] <= 0 || in.peaks[k] < in.begin || in.peaks[k + 1] > in.end) continue;
    low = std::min(low, in.intervalF0[k]);
    high = std::max(high, in.intervalF0[k]);
  }
  if (high <= 0) low = 50, high = 300;
  double step = NiceStep(std::max(high - low, 50.0), 5);
  low = std::floor(low / step) * step;
  high = std::max(std::ceil(high / step) * step, low + step);
  auto y = [&](double f0) { return kF0Top + kF0Height - (f0 - low) / (high - low) * kF0Height; };

  std::string svg = Format("<rect x='%d' y='%d' width='%d' height='%d' fill='#fbfbfb' stroke='#999'/>\n", kLeft,
                           kF0Top, kPlotWidth, kF0Height);
  for (double f = low; f <= high + 1e-9; f += step) {
    svg += Format("<line x1='%d' y1='%.1f' x2='%d' y2='%.1f' stroke='#e4e4e4'/>", kLeft, y(f), kLeft + kPlotWidth, y(f));
    svg += Format("<text x='%d' y='%.1f' text-anchor='end'>%g</text>\n", kLeft - 8, y(f) + 4, f);
  }
  svg += Format("<text transform='translate(18 %.1f) rotate(-90)' text-anchor='middle'>F0 (Hz)</text>\n",
                kF0Top + kF0Height / 2.0);
  std::string path;
  bool drawing = false;
  for (size_t k = 0; k < in.intervalF0.size(); k++) {
    bool shown = in.intervalF0[k] > 0 && in.peaks[k] >= in.begin && in.peaks[k + 1] <= in.end;
    if (!shown) {
      drawing = false;
      continue;
    }
    double x = scale.X((in.peaks[k] + in.peaks[k + 1]) / 2.0);
    path += Format(drawing ? "L%.1f %.1f" : "M%.1f %.1f", x, y(in.intervalF0[k]));
    drawing = true;
  }
  if (!path.empty()) svg += "<path d='" + path + "' fill='none' stroke='#d62728' stroke-width='1.5'/>\n";
  return svg;
}

}  // namespace

void ComputeSpectrogram(PlotInput& input, int maxColumns) {
  int64_t count = input.end - input.begin;
  int64_t frames = (count + kFrameHop - 1) / kFrameHop;
  int columns = static_cast<int>(std::min<int64_t>(frames, maxColumns));
  if (columns <= 0) return;
  std::vector<uint8_t> levels(static_cast<size_t>(columns) * kSpectrogramBins);
  if (frames <= maxColumns) {
    if (CalculateSpectrum(input.samples + input.begin, static_cast<int32_t>(count)) <= 0) return;
    const uint8_t* spectrum = GetSpectrum();
    std::copy(spectrum, spectrum + levels.size(), levels.begin());
  } else {
    // A long stretch: one frame at the start of each column, enough for a picture.
    std::vector<uint8_t> frame((kFrameLength / kFrameHop) * kSpectrogramBins);
    for (int c = 0; c < columns; c++) {
      int64_t at = input.begin + count * c / columns;
      int32_t take = static_cast<int32_t>(std::min<int64_t>(kFrameLength, input.end - at));
      if (_CalculateSpectrum(input.samples + at, take, frame.data()) <= 0) continue;
      std::copy(frame.begin(), frame.begin() + kSpectrogramBins, levels.begin() + static_cast<long>(c) * kSpectrogramBins);
    }
  }
  input.spectrogramWidth = columns;
  input.spectrogramRgb.assign(static_cast<size_t>(columns) * kSpectrogramBins * 3, 0);
  for (int c = 0; c < columns; c++)
    for (int bin = 0; bin < kSpectrogramBins; bin++) {
      size_t pixel = (static_cast<size_t>(kSpectrogramBins - 1 - bin) * columns + c) * 3;
      Colour(levels[static_cast<size_t>(c) * kSpectrogramBins + bin], &input.spectrogramRgb[pixel]);
    }
}

std::string RenderSvg(const PlotInput& in) {
  Scale scale{in};
  std::string svg = Format("<?xml version='1.0' encoding='UTF-8'?>\n<svg xmlns='http://www.w3.org/2000/svg' "
                           "width='%d' height='%d' viewBox='0 0 %d %d' font-family='sans-serif' font-size='11'>\n",
                           kWidth, kHeight, kWidth, kHeight);
  svg += Format("<rect width='%d' height='%d' fill='white'/>\n", kWidth, kHeight);
  svg += Format("<text x='%d' y='22' font-size='14'>", kLeft) + Escape(in.title) + "</text>\n";
  svg += Legend();
  svg += Spectrogram(in);
  svg += Waveform(in, scale);
  svg += F0Contour(in, scale);
  svg += PitchMarks(in, scale);
  svg += Elements(in, scale);
  svg += TimeAxis(in, scale);
  svg += "</svg>\n";
  return svg;
}

}  // namespace tvx
