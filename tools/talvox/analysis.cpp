#include "analysis.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli_error.h"
#include "f0_track.h"
#include "output.h"
#include "paths.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr double kLowestVoice = 40.0;  // Hz; anything slower is a gap between syllables
// What --floor and --ceiling accept, and the tracker's own ceiling when only
// a floor is given.
constexpr double kLowestTrackedF0 = 20.0;
constexpr double kHighestTrackedF0 = 2000.0;
constexpr float kWideCeiling = 600.0f;

// The external program writes its working files into the current folder;
// a private folder keeps parallel workers and the user's folder apart.
class PrivateFolder {
 public:
  PrivateFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/talvox-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) throw CliError(kExitFailure, std::string("cannot make a working folder: ") + SystemMessage(errno));
    path_ = name.data();
    char* here = getcwd(nullptr, 0);
    previous_ = here ? here : ".";
    std::free(here);
    if (chdir(path_.c_str()) != 0) throw CliError(kExitFailure, "cannot enter the working folder " + path_);
  }
  ~PrivateFolder() {
    if (chdir(previous_.c_str()) != 0) { /* nothing sensible left to do */ }
    for (const char* leftover : {"temp.wav", "pitch.psc", "temp.pointprocess"})
      unlink((path_ + "/" + leftover).c_str());
    rmdir(path_.c_str());
  }

 private:
  std::string path_;
  std::string previous_;
};

}  // namespace

MarkSource ParseMarkSource(const Args& args) {
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
  if (source == MarkSource::kInternal) return CalculatePitch(samples, wave.length, wave.rate);
  PutOwnFolderOnPath();
  if (!FindOnPath("pap.exe")) FailFile(wave.path, "the external pitch program pap.exe was not found (build it, or use --marks internal)");
  PrivateFolder folder;
  int32_t count = CalculatePeak(samples, wave.length, wave.rate);
  if (count == 0) FailFile(wave.path, "the external pitch program found no pitch marks (or failed)");
  return count;
}

void LoadPeakFile(const std::string& path, const LoadedWave& wave) {
  if (access(path.c_str(), R_OK) != 0) FailFile(path, SystemMessage(errno));
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
    if (start < 0 || end > wave.length || start > end)
      FailFile(path, "its elements do not fit " + wave.path + " (made for another signal?)");
  }
}

void SavePeakFile(const std::string& path) {
  OutputFile output(path);
  if (!SavePeaks(output.temp().c_str())) FailFile(path, "cannot be written");
  output.Commit();
}

void Annotate(const LoadedWave& wave, int channel, MarkSource source, const std::string& peakFile,
              VoiceRange range) {
  if (!peakFile.empty())
    LoadPeakFile(peakFile, wave);
  else
    AnalyzeChannel(wave, channel, source, range);
  CheckInterrupted();
  if (GetElementNum() <= 0) SetFullSegmentation();
}

std::vector<int32_t> CurrentPeaks() {
  int32_t* peaks = nullptr;
  int32_t count = GetFullPeaks(&peaks);
  if (count <= 0 || !peaks) return {};
  return std::vector<int32_t>(peaks, peaks + count);
}

std::vector<ElementRecord> CurrentElements() {
  std::vector<ElementRecord> elements;
  int32_t count = GetElementNum();
  for (int32_t i = 0; i < count; i++) {
    ElementRecord element;
    char desc[104] = {0};
    GetElementDesc(i, desc);
    element.desc = desc;
    GetElementSegment(i, &element.start, &element.end);
    elements.push_back(element);
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
