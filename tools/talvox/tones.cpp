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
constexpr double kStrayFactor = 1.5;         // beyond the range by this, marks are stray
constexpr double kOctave = 2.0;
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

struct Interval {
  double hertz;
  double seconds;  // its length: the weight of its F0
};

// The F0 below which `fraction` of the voiced time lies. Weighing by time
// keeps a stretch of very short, stray periods from outnumbering the voice.
double Percentile(std::vector<Interval> intervals, double fraction) {
  std::sort(intervals.begin(), intervals.end(), [](const Interval& a, const Interval& b) { return a.hertz < b.hertz; });
  double total = 0;
  for (const Interval& i : intervals) total += i.seconds;
  double below = 0;
  for (const Interval& i : intervals) {
    below += i.seconds;
    if (below >= fraction * total) return i.hertz;
  }
  return intervals.back().hertz;
}

std::vector<Interval> VoicedIntervals(const std::vector<int32_t>& peaks, int rate, int32_t from, int32_t to);

// The voiced intervals of the whole signal within an octave of their median
// F0 (by time): a voice's range; marks far off it are stray.
std::vector<Interval> SpeakerIntervals(const std::vector<int32_t>& peaks, int rate, int32_t length) {
  std::vector<Interval> all = VoicedIntervals(peaks, rate, 0, length);
  if (all.empty()) return all;
  double median = Percentile(all, 0.5);
  std::vector<Interval> kept;
  for (const Interval& i : all)
    if (i.hertz >= median / kOctave && i.hertz <= median * kOctave) kept.push_back(i);
  return kept;
}

std::vector<Interval> VoicedIntervals(const std::vector<int32_t>& peaks, int rate, int32_t from, int32_t to) {
  std::vector<Interval> intervals;
  for (size_t k = 0; k + 1 < peaks.size(); k++) {
    int32_t d = peaks[k + 1] - peaks[k];
    if (peaks[k] >= from && peaks[k + 1] < to && d > 0 && d <= LongestPeriod(rate))
      intervals.push_back({double(rate) / d, double(d) / rate});
  }
  return intervals;
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
    double semitonesNow = kSemitonesPerOctave * std::log2(sourceF0);
    double margin = kSemitonesPerOctave * std::log2(kStrayFactor);
    bool stray = semitonesNow < low_ - margin || semitonesNow > low_ + range_ + margin;
    if (stray || !Raw(seconds)) return sourceF0;  // stray marks keep their spacing
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
  std::vector<Interval> all = SpeakerIntervals(peaks, wave.rate, wave.length);
  if (all.empty()) return {};
  // An element whose median F0 lies far outside the speaker's range holds
  // stray marks, not a syllable.
  double low = Percentile(all, kLowPercentile) / kStrayFactor, high = Percentile(all, kHighPercentile) * kStrayFactor;
  std::vector<VoicedElement> voiced;
  for (size_t e = 0; e < elements.size(); e++) {
    if (elements[e].IsSilence()) continue;
    std::vector<Interval> inside = VoicedIntervals(peaks, wave.rate, elements[e].start, elements[e].end);
    if (inside.size() < static_cast<size_t>(kFewestPeriods)) continue;
    double median = Percentile(inside, 0.5);
    if (median < low || median > high) continue;
    int32_t first = 0, last = 0;
    for (size_t k = 0; k + 1 < peaks.size(); k++) {
      int32_t d = peaks[k + 1] - peaks[k];
      if (peaks[k] < elements[e].start || peaks[k + 1] >= elements[e].end || d <= 0 || d > LongestPeriod(wave.rate))
        continue;
      if (first == 0 && last == 0) first = peaks[k];
      last = peaks[k + 1];
    }
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
  std::vector<Interval> f0 = SpeakerIntervals(CurrentPeaks(), wave.rate, wave.length);
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
