// talvox analyze: segmentation and pitch marks of one file, or of many files
// with one worker process each.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <set>

#include "analysis.h"
#include "annotation_files.h"
#include "args.h"
#include "audio_file.h"
#include "audio_format.h"
#include "cli_error.h"
#include "commands.h"
#include "corpus_runner.h"
#include "counted.h"
#include "f0_track.h"
#include "json_output.h"
#include "text_width.h"
#include "output.h"
#include "paths.h"
#include "pieces.h"
#include "progress.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr const char* kHelp =
    "usage: talvox analyze IN.wav... [options]\n"
    "\n"
    "Segments each file into voiced elements and silences (\"SIL\"), places one\n"
    "pitch mark per period and prints the element table: description, start and\n"
    "end in seconds, mark count and median F0 in Hz.\n"
    "\n"
    "options:\n"
    "  -o, --output PATH     write the peak file; a folder (required with many\n"
    "                        inputs) receives NAME.peaks for each NAME.wav;\n"
    "                        - writes it to standard output (the table then\n"
    "                        goes to standard error)\n"
    "  --marks voice|internal|external\n"
    "                        pitch marks by the voice tracker (default), by\n"
    "                        talvox's older internal algorithm, or by the external\n"
    "                        pitch program pap.exe\n"
    "  --floor HZ, --ceiling HZ\n"
    "                        F0 range of the voice tracker (default: chosen from\n"
    "                        the signal); the F0 column always comes from it\n"
    "  --channel N, --mix, --raw R,C,E   which channel, or a mono mix-down (below)\n"
    "  --peaks IN.peaks      load this peak file instead of analysing (one input)\n"
    "  --json                the same as JSON (an array for many inputs)\n"
    "  --csv                 the same as a CSV table (one header for many inputs)\n"
    "  --split               a recording with more elements than a peak file\n"
    "                        holds (10000, about half an hour of speech) is\n"
    "                        written as one peak file per piece, PATH.1.peaks...\n"
    "  -j, --jobs N          worker processes for many inputs (default: cores)\n"
    "\n"
    "exports (one input; times with every digit needed to give back the sample):\n"
    "  --textgrid OUT        a TextGrid: interval tier 'elements', point tier 'marks'\n"
    "  --pitchtier OUT       a PitchTier of the F0 track: its voiced frames\n"
    "  --pointprocess OUT    the pitch marks as point-process text\n"
    "  --labels OUT          the elements as a label track (start, end, label)\n"
    "  --text-format long|short   of the TextGrid, PitchTier and point process\n"
    "\n";

const std::vector<OptionSpec> kOptions = WithAudioOptions({
    {"output", 'o', true}, {"marks", 0, true}, {"channel", 0, true}, {"floor", 0, true}, {"ceiling", 0, true},
    {"peaks", 0, true},    {"json", 0, false}, {"jobs", 'j', true}, {"csv", 0, false},
    {"split", 0, false},
}, false);
const std::vector<OptionSpec> kAllOptions = WithAnnotationOutputOptions(WithAnnotationInputOptions(kOptions), "");

constexpr int kDescriptionColumns = 16;  // longer descriptions are cut in the table

std::string FormatTable(const LoadedWave& wave, const std::vector<ElementSummary>& elements, int32_t marks) {
  std::string text;
  char line[512];
  std::snprintf(line, sizeof line, "%s: %d Hz, %s, %.3f s; %s, %s\n", wave.path.c_str(), wave.rate,
                ChannelWords(wave.channels).c_str(), wave.Seconds(),
                Counted(static_cast<long long>(elements.size()), "element", "elements").c_str(),
                Counted(marks, "pitch mark", "pitch marks").c_str());
  text += line;
  text += "    #  element            start s     end s  marks   F0 Hz\n";
  for (const ElementSummary& element : elements) {
    char f0[32] = "-";
    if (element.medianF0 > 0) std::snprintf(f0, sizeof f0, "%.1f", element.medianF0);
    std::snprintf(line, sizeof line, "%5d  %s %9.3f %9.3f %6d %7s\n", element.index,
                  FitToColumns(element.desc.empty() ? "-" : element.desc, kDescriptionColumns).c_str(),
                  double(element.start) / wave.rate, double(element.end) / wave.rate, element.marks, f0);
    text += line;
  }
  return text;
}

std::string FormatJson(const LoadedWave& wave, const std::vector<ElementSummary>& elements, int32_t marks) {
  Json list = Json::array();
  for (const ElementSummary& e : elements) {
    list.push_back({{"index", e.index},
                    {"desc", e.desc},
                    {"start", JsonNumber(double(e.start) / wave.rate, 4)},
                    {"end", JsonNumber(double(e.end) / wave.rate, 4)},
                    {"start_sample", e.start},
                    {"end_sample", e.end},
                    {"marks", e.marks},
                    {"f0", e.medianF0 > 0 ? JsonNumber(e.medianF0, 2) : Json(nullptr)}});
  }
  Json report = {{"file", wave.path},   {"rate", wave.rate},
                 {"channels", wave.channels}, {"samples", wave.length},
                 {"seconds", JsonNumber(wave.Seconds(), 4)}, {"marks", marks},
                 {"elements", list}};
  AddMarkTimes(report, wave.rate);
  return LayOut(report) + "\n";
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string Stem(const std::string& path);

int AnalyzeOne(const Args& args, const std::string& input) {
  MarkSource source = ParseMarkSource(args);
  VoiceRange range = ParseVoiceRange(args);
  AudioOptions audio = ParseAudioOptions(args);
  std::string peakFile = args.Value("peaks").value_or("");
  AnnotationInputs annotation = ReadAnnotationInputs(args);
  AnnotationOutputs exports = ParseAnnotationOutputs(args, "");
  CheckWritable(exports);
  LibrarySession session;
  LoadedWave wave = LoadWave(input, audio);
  const int channel = wave.channel;
  std::string peakOutput = args.Value("output").value_or("");
  if (!peakOutput.empty() && IsFolder(peakOutput)) peakOutput += "/" + Stem(input) + ".peaks";
  if (!peakOutput.empty()) {
    OutputFile check(peakOutput);  // an unwritable folder fails before the work
  }
  {
    ProgressBar progress(1, "");
    progress.Update(0, peakFile.empty() ? "segmenting and placing pitch marks" : "reading the peak file");
    Annotate(wave, channel, source, peakFile, range, annotation);
  }
  int32_t marks = static_cast<int32_t>(CurrentPeaks().size());
  const F0Track track = TrackChannel(wave, channel, range);
  std::vector<ElementSummary> elements = SummarizeElements(wave.rate, &track);
  if (!peakOutput.empty()) SavePeakFiles(peakOutput, args.Has("split"));
  WriteAnnotationOutputs(exports, wave.rate, wave.length, track);
  std::string report = args.Has("json")  ? FormatJson(wave, elements, marks)
                       : args.Has("csv") ? ElementTableCsv(wave.path, wave.rate, &track)
                                         : FormatTable(wave, elements, marks);
  std::fputs(report.c_str(), ReportStream());
  return 0;
}

std::string Stem(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = base.rfind('.');
  return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

int DefaultJobs() {
  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  return cores > 0 ? static_cast<int>(cores) : 1;
}

double AudioSeconds(const std::string& path, const std::optional<AudioFormat>& raw) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return 0.0;  // a FIFO is read once, by its worker
  try {
    AudioFormat format = ProbeAudio(path, raw);
    return format.rate > 0 && format.frames > 0 ? double(format.frames) / format.rate : 0.0;
  } catch (const CliError&) {
    return 0.0;
  }
}

// Each worker's table starts with the header; the joined table has one.
std::string WithoutRepeatedHeader(const std::string& table, bool& headerDone) {
  if (!headerDone) {
    headerDone = true;
    return table;
  }
  size_t newline = table.find('\n');
  return newline == std::string::npos ? "" : table.substr(newline + 1);
}

int AnalyzeMany(const Args& args) {
  if (args.Has("peaks")) FailUsage("analyze", "--peaks belongs to a single input file");
  for (const char* single : {"elements", "textgrid", "pitchtier", "pointprocess", "labels"})
    if (args.Has(single)) FailUsage("analyze", std::string("--") + single + " belongs to a single input file");
  if (MarksFileArgument(args)) FailUsage("analyze", "--marks FILE belongs to a single input file");
  if (args.Has("json") && args.Has("csv")) FailUsage("analyze", "give --json or --csv, not both");
  ParseMarkSource(args);
  ParseVoiceRange(args);
  AudioOptions audio = ParseAudioOptions(args);
  for (const std::string& input : args.Positional())
    if (input == "-") FailUsage("analyze", "standard input ('-') can be one input only");
  int parallel = args.Integer("jobs", DefaultJobs(), 1, 1024);
  std::string folder = args.Value("output").value_or("");
  if (!folder.empty()) {
    if (!IsFolder(folder))
      FailUsage("analyze", "with several inputs, -o names an existing folder for the peak files");
    std::set<std::string> stems;
    for (const std::string& input : args.Positional())
      if (!stems.insert(Stem(input)).second)
        FailUsage("analyze", "two inputs are named " + Stem(input) + ": their peak files would collide");
  }

  // Each worker is this program on one file with the same options.
  std::vector<std::string> shared;
  for (const char* name : {"marks", "channel", "floor", "ceiling", "raw"})
    if (auto value = args.Value(name)) shared.insert(shared.end(), {std::string("--") + name, *value});
  if (args.Has("json")) shared.push_back("--json");
  if (args.Has("mix")) shared.push_back("--mix");
  if (args.Has("csv")) shared.push_back("--csv");
  if (args.Has("split")) shared.push_back("--split");
  std::string self = ExecutablePath();
  std::vector<WorkerJob> jobs;
  std::vector<double> seconds;
  for (const std::string& input : args.Positional()) {
    WorkerJob job;
    job.argv = {self, "analyze"};
    job.argv.insert(job.argv.end(), shared.begin(), shared.end());
    if (!folder.empty()) job.argv.insert(job.argv.end(), {"-o", folder + "/" + Stem(input) + ".peaks"});
    job.argv.insert(job.argv.end(), {"--", input});
    jobs.push_back(job);
    seconds.push_back(AudioSeconds(input, audio.raw));
  }

  bool json = args.Has("json"), csv = args.Has("csv");
  bool csvHeaderDone = false;
  size_t failures = 0;
  double audioSeconds = 0;  // of the files analysed
  ProgressBar clock(0, "");
  if (json) std::fputs("[\n", stdout);
  RunWorkers(jobs, parallel, [&](size_t i, const WorkerResult& result) {
    const std::string& input = args.Positional()[i];
    if (result.status != 0) {
      failures++;
      std::string message = result.err.empty() ? "talvox: " + input + ": analysis failed (status " +
                                                     std::to_string(result.status) + ")\n"
                                               : result.err;
      std::fputs(message.c_str(), stderr);
      if (json) {
        std::string line = message.substr(0, message.find('\n'));
        std::printf("%s%s\n", i ? "," : "", LayOut(Json{{"file", input}, {"error", line}}).c_str());
      }
    } else {
      audioSeconds += seconds[i];
      if (json) std::fputs(i ? "," : "", stdout);
      if (csv)
        std::fputs(WithoutRepeatedHeader(result.out, csvHeaderDone).c_str(), stdout);
      else
        std::fputs(result.out.c_str(), stdout);
      if (!json && !csv) std::fputs("\n", stdout);
      std::fputs(result.err.c_str(), stderr);
    }
    std::fflush(stdout);
  });
  if (json) std::fputs("]\n", stdout);
  double elapsed = clock.ElapsedSeconds();
  std::fprintf(stderr, "talvox: analysed %zu of %zu files (%zu failed), %s of audio in %s (%.0fx real time)\n",
               jobs.size() - failures, jobs.size(), failures, FormatDuration(audioSeconds).c_str(),
               FormatDuration(elapsed).c_str(), elapsed > 0 ? audioSeconds / elapsed : 0.0);
  return failures ? kExitFailure : 0;
}

}  // namespace

int RunAnalyze(int argc, char** argv) {
  Args args("analyze", argc, argv, kAllOptions);
  if (args.WantsHelp()) return PrintHelp(std::string(kHelp) + kAnnotationInputHelp + kAudioInputHelp);
  if (args.Positional().empty()) FailUsage("analyze", "no input file given");
  if (args.Positional().size() == 1) return AnalyzeOne(args, args.Positional()[0]);
  return AnalyzeMany(args);
}

}  // namespace tvx
