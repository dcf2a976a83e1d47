// talvox demo: the whole road on the recording shipped with talvox, then a
// check of the pitch marks against speech whose pitch is known.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis.h"
#include "args.h"
#include "cli_error.h"
#include "commands.h"
#include "f0_measure.h"
#include "f0_track.h"
#include "known_pitch_check.h"
#include "output.h"
#include "paths.h"
#include "plot_file.h"
#include "resynthesis.h"
#include "timed_resynthesis.h"
#include "tones.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr const char* kHelp =
    "usage: talvox demo [--out DIR]\n"
    "\n"
    "Runs talvox on the recording shipped with it (7 s of read English speech):\n"
    "analyses it, prints the element table, resynthesises it a fifth higher,\n"
    "with a falling contour and with the four Mandarin tones on four of its\n"
    "syllables (the timing kept), and writes the WAV files, the peak file and an\n"
    "SVG picture into DIR (default ./talvox-demo). Then it makes short synthetic\n"
    "utterances of a low male, a male, a female and a child voice whose glottal\n"
    "closures are known and reports, for each of the three mark routes (the voice\n"
    "tracker, the default; the internal algorithm; the external program), how\n"
    "well the marks match.\n";

const std::vector<OptionSpec> kOptions = {{"out", 0, true}};
constexpr const char* kRecording = "librivox-austen-0870.wav";
constexpr double kFifth = 7;          // semitones
constexpr double kFallFrom = 1.3;     // times the median F0, at the start
constexpr double kFallTo = 0.7;       // at the end

double VoicedMedianF0(const LoadedWave& wave) {
  std::vector<double> f0 = IntervalF0(CurrentPeaks(), wave.rate);
  f0.erase(std::remove(f0.begin(), f0.end(), 0.0), f0.end());
  return Median(f0);
}

// Median F0 of a written file by autocorrelation (independent of the marks),
// over the whole file or the first or last quarter of its measured frames.
enum class Part { kAll, kStart, kEnd };
double MeasureFile(const std::string& path, Part part) {
  LoadedWave wave = LoadWave(path);
  std::vector<FrameF0> frames = AutocorrelationF0(CopyChannels(wave)[0], wave.rate);
  size_t quarter = frames.size() / 4;
  std::vector<double> hertz;
  for (size_t i = 0; i < frames.size(); i++)
    if (part == Part::kAll || (part == Part::kStart && i < quarter) || (part == Part::kEnd && i >= frames.size() - quarter))
      hertz.push_back(frames[i].hertz);
  return Median(hertz);
}

void MakeFolder(const std::string& folder) {
  if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
    FailFile(folder, std::string("cannot make the folder: ") + SystemMessage(errno));
  struct stat info;
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) FailFile(folder, "not a folder");
}

void PrintTable(const LoadedWave& wave) {
  const F0Track track = TrackChannel(wave, 0, {});
  std::vector<ElementSummary> elements = SummarizeElements(wave.rate, &track);
  std::printf("    #  element      start s     end s  marks   F0 Hz\n");
  for (const ElementSummary& e : elements) {
    char f0[32] = "-";
    if (e.medianF0 > 0) std::snprintf(f0, sizeof f0, "%.1f", e.medianF0);
    std::printf("%5d  %-10.10s %9.3f %9.3f %6d %7s\n", e.index, e.desc.c_str(), double(e.start) / wave.rate,
                double(e.end) / wave.rate, e.marks, f0);
  }
}

struct ToneSyllable {
  int tone;
  VoicedElement element;
};

// The four longest voiced elements, in time order, get Mandarin tones 1 to 4;
// the rest keeps its pitch.
std::vector<ToneSyllable> GiveFourTones(const LoadedWave& wave, const std::string& path) {
  static const char* kContours[] = {"55", "35", "214", "51"};
  std::vector<VoicedElement> voiced = FindVoicedElements(wave);
  std::vector<size_t> order(voiced.size());
  for (size_t i = 0; i < order.size(); i++) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return voiced[a].end - voiced[a].begin > voiced[b].end - voiced[b].begin;
  });
  order.resize(std::min<size_t>(order.size(), 4));
  std::sort(order.begin(), order.end());
  std::vector<std::string> contours(voiced.size());
  std::vector<ToneSyllable> syllables;
  for (size_t i = 0; i < order.size(); i++) {
    contours[order[i]] = kContours[i];
    syllables.push_back({static_cast<int>(i) + 1, voiced[order[i]]});
  }
  PitchRequest tones = ToneRequest(wave, voiced, contours);
  WriteWave(path, ResynthesizeTimed(wave, tones, Span{0, wave.length}, TimingRequest{}).synthesis.channels);
  return syllables;
}

// F0 of each toned syllable in its first, middle and last third, measured on
// the written file by autocorrelation; the timing is kept, so the
// syllables stand where they stood.
void PrintToneShapes(const std::string& path, const std::vector<ToneSyllable>& syllables) {
  LoadedWave wave = LoadWave(path);
  std::vector<FrameF0> frames = AutocorrelationF0(CopyChannels(wave)[0], wave.rate);
  for (const ToneSyllable& s : syllables) {
    double third = (s.element.end - s.element.begin) / 3;
    double f0[3];
    for (int part = 0; part < 3; part++) {
      std::vector<double> hertz;
      for (const FrameF0& frame : frames)
        if (frame.seconds >= s.element.begin + part * third && frame.seconds < s.element.begin + (part + 1) * third)
          hertz.push_back(frame.hertz);
      f0[part] = Median(hertz);
    }
    std::printf("%s: tone %d on %.2f-%.2f s: %.0f, %.0f, %.0f Hz (first, middle, last third)\n", path.c_str(), s.tone,
                s.element.begin, s.element.end, f0[0], f0[1], f0[2]);
  }
}

}  // namespace

int RunDemo(int argc, char** argv) {
  Args args("demo", argc, argv, kOptions);
  if (args.WantsHelp()) return PrintHelp(kHelp);
  if (!args.Positional().empty()) FailUsage("demo", "unexpected argument '" + args.Positional()[0] + "'");
  std::string folder = args.Value("out").value_or("talvox-demo");
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  auto recording = FindDataFile(kRecording);
  if (!recording) throw CliError(kExitFailure, std::string(kRecording) + ": the demo recording is not installed");
  MakeFolder(folder);
  std::vector<std::string> written;

  LibrarySession session;
  std::printf("== %s\n", recording->c_str());
  LoadedWave wave = LoadWave(*recording);
  AnalyzeChannel(wave, 0, MarkSource::kVoice);
  std::vector<int32_t> peaks = CurrentPeaks();
  double sourceF0 = VoicedMedianF0(wave);
  std::printf("%d Hz, %.2f s, %d elements, %zu pitch marks, median F0 %.1f Hz\n", wave.rate, wave.Seconds(),
              GetElementNum(), peaks.size(), sourceF0);
  PrintTable(wave);

  std::string peakPath = folder + "/austen.peaks", plotPath = folder + "/austen.svg";
  SavePeakFile(peakPath);
  written.push_back(peakPath);
  WritePlot(plotPath, wave, 0, Span{0, wave.length});
  written.push_back(plotPath);

  std::string fifthPath = folder + "/austen-fifth-up.wav";
  PitchRequest fifth = PitchRequest::Scale(std::pow(2.0, kFifth / 12));
  WriteWave(fifthPath, ResynthesizeTimed(wave, fifth, Span{0, wave.length}, TimingRequest{}).synthesis.channels);
  written.push_back(fifthPath);

  wave = LoadWave(*recording);  // the signal again; the annotation stayed
  std::string contourPath = folder + "/falling.contour", fallingPath = folder + "/austen-falling.wav";
  std::vector<std::pair<double, double>> fall = {{0.0, kFallFrom * sourceF0}, {wave.Seconds(), kFallTo * sourceF0}};
  char contour[160];
  std::snprintf(contour, sizeof contour, "# seconds  F0-Hz\n%.3f %.1f\n%.3f %.1f\n", fall[0].first, fall[0].second,
                fall[1].first, fall[1].second);
  WriteTextFile(contourPath, contour);
  written.push_back(contourPath);
  WriteWave(fallingPath,
            ResynthesizeTimed(wave, PitchRequest::Contour(fall), Span{0, wave.length}, TimingRequest{}).synthesis.channels);
  written.push_back(fallingPath);

  wave = LoadWave(*recording);
  std::string tonesPath = folder + "/austen-tones-1234.wav";
  std::vector<ToneSyllable> syllables = GiveFourTones(wave, tonesPath);
  written.push_back(tonesPath);

  std::printf("\n== resynthesis (F0 measured by autocorrelation of 40 ms frames, not by the marks)\n");
  double before = MeasureFile(*recording, Part::kAll), up = MeasureFile(fifthPath, Part::kAll);
  std::printf("%s: a fifth up: median F0 %.1f Hz -> %.1f Hz, x %.3f (asked x %.3f)\n", fifthPath.c_str(), before,
              up, up / before, std::pow(2.0, kFifth / 12));
  std::printf("%s: falling from %.0f to %.0f Hz: first quarter %.1f Hz, last quarter %.1f Hz\n",
              fallingPath.c_str(), fall[0].second, fall[1].second, MeasureFile(fallingPath, Part::kStart),
              MeasureFile(fallingPath, Part::kEnd));

  PrintToneShapes(tonesPath, syllables);

  std::printf("\n== pitch marks on generated speech with known glottal closures\n");
  RunKnownPitchCheck(session, folder, written);

  std::printf("\nwrote:\n");
  for (const std::string& path : written) std::printf("  %s\n", path.c_str());
  std::printf("open %s in a web browser; play a WAV file with: talvox play %s\n", plotPath.c_str(), fifthPath.c_str());
  return 0;
}

}  // namespace tvx
