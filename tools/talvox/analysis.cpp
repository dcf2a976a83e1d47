#include "analysis.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "annotation_files.h"
#include "cli_error.h"
#include "f0_track.h"
#include "output.h"
#include "paths.h"
#include "pieces.h"
#include "private_folder.h"
#include "reduced_rate.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr double kLowestVoice = 40.0;  // Hz; anything slower is a gap between syllables
// What --floor and --ceiling accept, and the tracker's own ceiling when only
// a floor is given.
constexpr double kLowestTrackedF0 = 20.0;
constexpr double kHighestTrackedF0 = 2000.0;
constexpr float kWideCeiling = 600.0f;

}  // namespace

MarkSource ParseMarkSource(const Args& args) {
  if (MarksFileArgument(args)) return MarkSource::kVoice;  // the marks come from the file
  std::string marks = args.Value("marks").value_or("voice");
  if (marks == "voice") return MarkSource::kVoice;
  if (marks == "internal") return MarkSource::kInternal;
  if (marks == "external") return MarkSource::kExternal;
  FailUsage(args.command(), "--marks takes voice, internal or external, not '" + marks + "'");
}

VoiceRange ParseVoiceRange(const Args& args) {
  VoiceRange range;
  range.floor = static_cast<float>(args.Number("floor", 0.0, kLowestTrackedF0, kHighestTrackedF0));
  range.ceiling = static_cast<float>(args.Number("ceiling", 0.0, kLowestTrackedF0, kHighestTrackedF0));
  if (args.Has("floor") && !args.Has("ceiling")) {
    if (range.floor >= kWideCeiling)
      FailUsage(args.command(), "--floor " + args.Value("floor").value() + " needs a --ceiling above it");
    range.ceiling = kWideCeiling;
  }
  if (args.Has("floor") && args.Has("ceiling") && range.floor >= range.ceiling)
    FailUsage(args.command(), "--floor must lie below --ceiling");
  return range;
}

int32_t LongestPeriod(int rate) { return static_cast<int32_t>(rate / kLowestVoice); }

int32_t AnalyzeChannel(const LoadedWave& wave, int channel, MarkSource source, VoiceRange range) {
  const int16_t* samples = GetDataBuffer(channel);
  if (!samples) FailFile(wave.path, "has no channel " + std::to_string(channel));
  if (source == MarkSource::kVoice) return CalculateVoiceMarks(samples, wave.length, wave.rate, range.floor, range.ceiling);
  if (source == MarkSource::kInternal) {
    int factor = RateReduction(wave.rate);
    if (factor > 1) return CalculatePitchReduced(samples, wave.length, wave.rate, factor);
    return CalculatePitch(samples, wave.length, wave.rate);
  }
  PutOwnFolderOnPath();
  if (!FindOnPath("pap.exe")) FailFile(wave.path, "the external pitch program pap.exe was not found (build it, or use --marks internal)");
  WorkingFolder folder;
  int32_t count = CalculatePeak(samples, wave.length, wave.rate);
  if (count == 0) FailFile(wave.path, "the external pitch program found no pitch marks (or failed)");
  return count;
}

void LoadPeakFile(const std::string& path, const LoadedWave& wave) {
  if (access(path.c_str(), R_OK) != 0) FailFile(path, SystemMessage(errno));
  // The library reads a peak file by its size, which a pipe or device lacks.
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    FailFile(path, "not a regular file (a pipe, device or folder); peak files are read from files");
  if (!ReadPeaks(path.c_str())) FailFile(path, "not a peak file, or damaged");
  int32_t* peaks = nullptr;
  int32_t count = GetFullPeaks(&peaks);
  for (int32_t i = 0; i < count; i++)
    if (peaks[i] < 0 || peaks[i] >= wave.length || (i > 0 && peaks[i] <= peaks[i - 1]))
      FailFile(path, "its pitch marks do not fit " + wave.path + " (made for another signal?)");
  int32_t elements = GetElementNum();
  if (elements <= 0) SetFullSegmentation();
  for (int32_t i = 0; i < elements; i++) {
    int32_t start = 0, end = 0;
    GetElementSegment(i, &start, &end);
    // The segmentation may let the last element run past the signal's end
    // (its last frame is whole); that element is clipped wherever shown.
    bool last = i == elements - 1;
    bool fits = last ? start < wave.length : end <= wave.length;
    if (start < 0 || !fits || start > end)
      FailFile(path, "its elements do not fit " + wave.path + " (made for another signal?)");
  }
}

bool SaveAnnotation(const std::string& path) {
  // The document's own record, with element bounds clipped to the signal.
  std::vector<TvxElement> elements;
  const int32_t length = GetWaveLength();
  for (int32_t i = 0; i < GetElementNum(); i++) {
    TvxElement element{};
    GetElementDesc(i, element.desc);
    GetElementSegment(i, &element.start, &element.end);
    element.start = std::clamp(element.start, 0, std::max(length, 0));
    element.end = std::clamp(element.end, element.start, std::max(length, 0));
    elements.push_back(element);
  }
  int32_t* peaks = nullptr;
  int32_t peakCount = GetFullPeaks(&peaks);
  int32_t* periods = nullptr;
  int32_t periodCount = GetFullModifiedPitch(&periods);
  // One period per peak, the last one unset (0), as the library stores it.
  std::vector<int32_t> pitch(static_cast<size_t>(std::max(peakCount, 0)), 0);
  if (periods) std::copy(periods, periods + std::min(periodCount, peakCount), pitch.begin());
  TvxDocument record{};
  record.elements = elements.data();
  record.elementCount = static_cast<int32_t>(elements.size());
  record.elementCapacity = record.elementCount;
  record.peaks = peakCount > 0 ? peaks : nullptr;
  record.peakCount = std::max(peakCount, 0);
  record.modifiedPitch = pitch.empty() ? nullptr : pitch.data();
  record.peakRate = GetSamplesPerSec();
  record.segmented = 1;
  return _SavePeaks(path.c_str(), &record) == 1;
}

void SavePeakFile(const std::string& path) {
  OutputFile output(path);
  if (!SaveAnnotation(output.temp())) FailFile(path, "cannot be written");
  output.Commit();
}

void Annotate(const LoadedWave& wave, int channel, MarkSource source, const std::string& peakFile,
              VoiceRange range) {
  if (!peakFile.empty()) {
    LoadPeakFile(peakFile, wave);
  } else {
    const Segmenter segmenter = SegmenterFor(source, range);
    // A long signal: in pieces first (the voice route's marks with them).
    if (!SegmentLongInPieces(wave, channel, segmenter) || !segmenter.voice) AnalyzeChannel(wave, channel, source, range);
  }
  CheckInterrupted();
  if (GetElementNum() <= 0) SetFullSegmentation();
  if (peakFile.empty()) JoinPiecesIfFull(wave, channel, PieceWork::kMarks, SegmenterFor(source, range));
}

std::vector<int32_t> CurrentPeaks() {
  if (const JoinedAnnotation* joined = Joined()) return joined->peaks;
  int32_t* peaks = nullptr;
  int32_t count = GetFullPeaks(&peaks);
  if (count <= 0 || !peaks) return {};
  return std::vector<int32_t>(peaks, peaks + count);
}

namespace {

// Shown within the signal: the last element may run past its end.
ElementRecord WithinSignal(ElementRecord element, int32_t length) {
  element.start = std::clamp(element.start, 0, std::max(length, 0));
  element.end = std::clamp(element.end, element.start, std::max(length, 0));
  return element;
}

}  // namespace

std::vector<ElementRecord> CurrentElements() {
  const int32_t length = GetWaveLength();
  std::vector<ElementRecord> elements;
  if (const JoinedAnnotation* joined = Joined()) {
    for (const ElementRecord& element : joined->elements) elements.push_back(WithinSignal(element, length));
    return elements;
  }
  int32_t count = GetElementNum();
  for (int32_t i = 0; i < count; i++) {
    ElementRecord element;
    char desc[104] = {0};
    GetElementDesc(i, desc);
    element.desc = desc;
    GetElementSegment(i, &element.start, &element.end);
    elements.push_back(WithinSignal(element, length));
  }
  return elements;
}

std::vector<double> IntervalF0(const std::vector<int32_t>& peaks, int rate) {
  std::vector<ElementRecord> elements = CurrentElements();
  std::vector<double> f0(peaks.empty() ? 0 : peaks.size() - 1, 0.0);
  size_t e = 0;
  for (size_t k = 0; k < f0.size(); k++) {
    while (e < elements.size() && elements[e].end <= peaks[k]) e++;
    if (e == elements.size()) break;
    const ElementRecord& element = elements[e];
    int32_t period = peaks[k + 1] - peaks[k];
    if (peaks[k] < element.start || peaks[k + 1] >= element.end || element.IsSilence()) continue;
    if (period <= 0 || period > LongestPeriod(rate)) continue;
    f0[k] = double(rate) / period;
  }
  return f0;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + middle, values.end());
  double upper = values[middle];
  if (values.size() % 2) return upper;
  double lower = *std::max_element(values.begin(), values.begin() + middle);
  return (lower + upper) / 2;
}

std::vector<ElementSummary> SummarizeElements(int rate, const F0Track* track) {
  std::vector<int32_t> peaks = CurrentPeaks();
  std::vector<ElementRecord> elements = CurrentElements();
  std::vector<ElementSummary> summary;
  size_t next = 0;  // first peak not yet assigned; elements are in signal order
  for (size_t i = 0; i < elements.size(); i++) {
    ElementSummary element;
    element.index = static_cast<int>(i);
    element.desc = elements[i].desc;
    element.start = elements[i].start;
    element.end = elements[i].end;
    while (next < peaks.size() && peaks[next] < element.start) next++;
    std::vector<double> f0;
    size_t k = next;
    for (; k < peaks.size() && peaks[k] < element.end; k++)
      if (k > next && peaks[k] - peaks[k - 1] <= LongestPeriod(rate)) f0.push_back(double(rate) / (peaks[k] - peaks[k - 1]));
    element.marks = static_cast<int32_t>(k - next);
    if (track != nullptr) f0 = track->VoicedBetween(element.start, element.end);
    element.medianF0 = elements[i].IsSilence() ? 0.0 : Median(f0);  // marks in a silence are noise
    summary.push_back(element);
  }
  return summary;
}

}  // namespace tvx
