#include "tones.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include "analysis.h"
#include "cli_error.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr int kLowestLevel = 1, kHighestLevel = 5;
constexpr size_t kLongestContour = 4;        // digits of one tone
constexpr int kFewestPeriods = 3;            // in an element counted as voiced
constexpr double kLowPercentile = 0.05;      // level 1
constexpr double kHighPercentile = 0.95;     // level 5
constexpr double kNarrowestRange = 5.0;      // semitones; a flatter voice is widened to it
constexpr double kSmoothing = 0.02;          // seconds either side, over joins
constexpr int kSmoothingTaps = 5;
constexpr double kSemitonesPerOctave = 12.0;

// Standard tone letters of the tone numbers; "" keeps the pitch.
const char* MandarinContour(char digit) {
  switch (digit) {
    case '1': return "55";
    case '2': return "35";
    case '3': return "214";
    case '4': return "51";
    case '5': case '0': return "";
    default: return nullptr;
  }
}

const char* CantoneseContour(char digit) {
  switch (digit) {
    case '1': return "55";
    case '2': return "35";
    case '3': return "33";
    case '4': return "21";
    case '5': return "23";
    case '6': return "22";
    default: return nullptr;
  }
}

void CheckContour(const std::string& command, const std::string& contour) {
  if (contour.empty() || contour.size() > kLongestContour)
    FailUsage(command, "--tones: '" + contour + "' is not a tone contour (1 to 4 digits, e.g. 214)");
  for (char digit : contour)
    if (digit < '0' + kLowestLevel || digit > '0' + kHighestLevel)
      FailUsage(command, std::string("--tones: unknown tone digit '") + digit + "' in '" + contour +
                             "' (levels are 1 to 5)");
}

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  double at = fraction * double(values.size() - 1);
  size_t below = static_cast<size_t>(at);
  size_t above = std::min(below + 1, values.size() - 1);
  return values[below] + (at - double(below)) * (values[above] - values[below]);
}

struct ToneSpan {
  double begin, end;
  std::string contour;  // "" keeps the pitch
};

class ToneRule {
 public:
  ToneRule(std::vector<ToneSpan> spans, double lowSemitones, double rangeSemitones)
      : spans_(std::move(spans)), low_(lowSemitones), range_(rangeSemitones) {}

  double operator()(double seconds, double sourceF0) const {
    if (!Raw(seconds)) return sourceF0;
    double sum = 0;
    int taps = 0;
    for (int i = 0; i < kSmoothingTaps; i++) {
      double t = seconds + kSmoothing * (2.0 * i / (kSmoothingTaps - 1) - 1);
      if (auto level = Raw(t)) {
        sum += *level;
        taps++;
      }
    }
    double semitones = low_ + (sum / taps - kLowestLevel) / (kHighestLevel - kLowestLevel) * range_;
    return std::pow(2.0, semitones / kSemitonesPerOctave);
  }

 private:
  static double Along(const std::string& contour, double fraction) {
    if (contour.size() == 1) return contour[0] - '0';
    double at = std::clamp(fraction, 0.0, 1.0) * double(contour.size() - 1);
    size_t i = std::min(static_cast<size_t>(at), contour.size() - 2);
    double turn = 0.5 - 0.5 * std::cos(M_PI * (at - double(i)));  // level at the digits, smooth between
    double from = contour[i] - '0', to = contour[i + 1] - '0';
    return from + (to - from) * turn;
  }
  static double Start(const ToneSpan& s) { return s.contour[0] - '0'; }
  static double End(const ToneSpan& s) { return s.contour.back() - '0'; }

  // The level at a time: on a toned span its contour, between two toned
  // spans a straight join, before the first or after the last toned span
  // its end level; nothing where the pitch is kept.
  std::optional<double> Raw(double t) const {
    size_t next = 0;
    while (next < spans_.size() && spans_[next].end < t) next++;
    if (next < spans_.size() && spans_[next].begin <= t) {
      const ToneSpan& s = spans_[next];
      if (s.contour.empty()) return std::nullopt;
      double length = s.end - s.begin;
      return Along(s.contour, length > 0 ? (t - s.begin) / length : 0.5);
    }
    const ToneSpan* before = next > 0 ? &spans_[next - 1] : nullptr;
    const ToneSpan* after = next < spans_.size() ? &spans_[next] : nullptr;
    bool toneBefore = before && !before->contour.empty(), toneAfter = after && !after->contour.empty();
    if (toneBefore && toneAfter) {
      double fraction = (t - before->end) / (after->begin - before->end);
      return End(*before) + (Start(*after) - End(*before)) * fraction;
    }
    if (toneBefore && !after) return End(*before);
    if (toneAfter && !before) return Start(*after);
    return std::nullopt;
  }

  std::vector<ToneSpan> spans_;
  double low_, range_;
};

}  // namespace

ToneOptions ParseToneOptions(const Args& args) {
  ToneOptions options;
  bool list = args.Has("tones"), labels = args.Has("tones-from-labels");
  if (!list && !labels) return options;
  options.given = true;
  for (const char* other : {"pitch-scale", "semitones", "f0", "contour"})
    if (args.Has(other)) FailUsage(args.command(), std::string("give tones or --") + other + ", not both");
  if (list && labels) FailUsage(args.command(), "give --tones or --tones-from-labels, not both");
  if (labels) {
    options.language = *args.Value("tones-from-labels");
    if (options.language != "mandarin" && options.language != "cantonese")
      FailUsage(args.command(), "--tones-from-labels takes mandarin or cantonese, not '" + options.language + "'");
    return options;
  }
  std::string text = *args.Value("tones");
  size_t from = 0;
  while (true) {
    size_t comma = text.find(',', from);
    std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    CheckContour(args.command(), item);
    options.contours.push_back(item);
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  return options;
}

std::vector<VoicedElement> FindVoicedElements(const LoadedWave& wave) {
  std::vector<int32_t> peaks = CurrentPeaks();
  std::vector<ElementRecord> elements = CurrentElements();
  std::vector<VoicedElement> voiced;
  for (size_t e = 0; e < elements.size(); e++) {
    if (elements[e].IsSilence()) continue;
    int periods = 0;
    int32_t first = 0, last = 0;
    for (size_t k = 0; k + 1 < peaks.size(); k++) {
      int32_t d = peaks[k + 1] - peaks[k];
      if (peaks[k] < elements[e].start || peaks[k + 1] >= elements[e].end || d <= 0 || d > LongestPeriod(wave.rate))
        continue;
      if (periods++ == 0) first = peaks[k];
      last = peaks[k + 1];
    }
    if (periods >= kFewestPeriods)
      voiced.push_back({static_cast<int>(e), elements[e].desc, double(first) / wave.rate, double(last) / wave.rate});
  }
  return voiced;
}

std::vector<std::string> ContoursFor(const ToneOptions& options, const std::vector<VoicedElement>& voiced,
                                     const LoadedWave& wave) {
  if (voiced.empty()) FailFile(wave.path, "has no voiced elements to give tones to");
  if (options.language.empty()) {
    if (options.contours.size() != voiced.size())
      FailFile(wave.path, "--tones gives " + std::to_string(options.contours.size()) + " contours but there are " +
                              std::to_string(voiced.size()) + " voiced elements");
    return options.contours;
  }
  bool mandarin = options.language == "mandarin";
  std::vector<std::string> contours;
  for (const VoicedElement& element : voiced) {
    char digit = element.desc.empty() ? 0 : element.desc.back();
    if (!std::isdigit(static_cast<unsigned char>(digit))) {
      contours.emplace_back();  // no tone named: the pitch stays
      continue;
    }
    const char* contour = mandarin ? MandarinContour(digit) : CantoneseContour(digit);
    if (!contour)
      FailFile(wave.path, "element " + std::to_string(element.index) + " '" + element.desc + "': " + digit +
                              " is not a " + options.language + " tone (" +
                              (mandarin ? "1 to 4, 5 or 0 neutral" : "1 to 6") + ")");
    contours.emplace_back(contour);
  }
  return contours;
}

PitchRequest ToneRequest(const LoadedWave& wave, const std::vector<VoicedElement>& voiced,
                         const std::vector<std::string>& contours) {
  std::vector<int32_t> peaks = CurrentPeaks();
  std::vector<double> f0;
  for (size_t k = 0; k + 1 < peaks.size(); k++) {
    int32_t d = peaks[k + 1] - peaks[k];
    if (d > 0 && d <= LongestPeriod(wave.rate)) f0.push_back(double(wave.rate) / d);
  }
  if (f0.size() < 2) FailFile(wave.path, "too little voiced speech to find the speaker's F0 range");
  double low = kSemitonesPerOctave * std::log2(Percentile(f0, kLowPercentile));
  double high = kSemitonesPerOctave * std::log2(Percentile(f0, kHighPercentile));
  if (high - low < kNarrowestRange) {
    double middle = (low + high) / 2;
    low = middle - kNarrowestRange / 2;
    high = middle + kNarrowestRange / 2;
  }
  std::vector<ToneSpan> spans;
  size_t toned = 0;
  for (size_t i = 0; i < voiced.size(); i++) {
    spans.push_back({voiced[i].begin, voiced[i].end, contours[i]});
    toned += contours[i].empty() ? 0 : 1;
  }
  char text[160];
  std::snprintf(text, sizeof text, "tones on %zu of %zu voiced elements, levels 1-5 = %.0f-%.0f Hz", toned,
                voiced.size(), std::pow(2.0, low / kSemitonesPerOctave), std::pow(2.0, high / kSemitonesPerOctave));
  auto rule = std::make_shared<ToneRule>(std::move(spans), low, high - low);
  return PitchRequest::Custom([rule](double seconds, double sourceF0) { return (*rule)(seconds, sourceF0); }, text);
}

}  // namespace tvx
