// talvox plot: a picture of the annotated speech (SVG, PNG or PDF).
#include <cstdio>
#include <string>

#include "analysis.h"
#include "annotation_files.h"
#include "args.h"
#include "cli_error.h"
#include "commands.h"
#include "counted.h"
#include "output.h"
#include "plot_file.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr const char* kHelp =
    "usage: talvox plot IN.wav -o OUT.svg|OUT.png|OUT.pdf [options]\n"
    "\n"
    "Draws the elements with their descriptions, the waveform of every channel\n"
    "with sample and dBFS scales and the pitch marks (red ticks), the\n"
    "spectrogram of channel 0 with its dB scale, and the voice tracker's F0 at\n"
    "the mark intervals over the speaker's range, over a time axis. The output's\n"
    "extension chooses the format. On long stretches boundaries are thinned and\n"
    "marks left out; a note under the picture (and on standard error) says so.\n"
    "\n"
    "options:\n"
    "  -o, --output OUT      the picture (required): .svg, .png or .pdf; - (standard\n"
    "                        output) or a name without extension gets SVG\n"
    "  --range START:END     only this range (seconds, or samples with an s suffix)\n"
    "  --peaks IN.peaks      use this annotation instead of analysing\n"
    "  --spectrum-ceiling HZ  highest frequency of the spectrogram (default 5000)\n"
    "  --dynamic-range DB    spectrogram levels shown below the loudest (default 50)\n"
    "  --width PX            width of the picture (default 1600)\n"
    "  --marks voice|internal|external, --floor HZ, --ceiling HZ   as for analyze\n\n";

const std::vector<OptionSpec> kOptions = WithAudioOptions(WithAnnotationInputOptions({
    {"output", 'o', true}, {"range", 0, true},   {"peaks", 0, true},         {"marks", 0, true},
    {"channel", 0, true},  {"floor", 0, true},   {"ceiling", 0, true},       {"spectrum-ceiling", 0, true},
    {"dynamic-range", 0, true}, {"width", 0, true},
}), false);

}  // namespace

int RunPlot(int argc, char** argv) {
  Args args("plot", argc, argv, kOptions);
  if (args.WantsHelp()) return PrintHelp(std::string(kHelp) + kAnnotationInputHelp + kAudioInputHelp);
  std::string outputPath = args.Required("output");
  MarkSource source = ParseMarkSource(args);
  VoiceRange range = ParseVoiceRange(args);
  PlotSettings settings;
  settings.ceilingHz = args.Number("spectrum-ceiling", settings.ceilingHz, 100, 1e6);
  settings.rangeDb = args.Number("dynamic-range", settings.rangeDb, 5, 64);
  settings.width = args.Integer("width", settings.width, 400, 20000);
  AnnotationInputs annotation = ReadAnnotationInputs(args);

  LibrarySession session;
  auto [wave, span] = LoadSingleInput(args, "plot", outputPath);
  CheckPlotName("plot", outputPath);  // after the input's own errors, before the analysis
  Annotate(wave, wave.channel, source, args.Value("peaks").value_or(""), range, annotation);
  for (const std::string& note : WritePlot(outputPath, wave, wave.channel, span, range, settings))
    std::fprintf(stderr, "talvox plot: note: %s\n", note.c_str());
  std::fprintf(stderr, "talvox: %s: plot of %.3f to %.3f s, %s, %s\n", outputPath.c_str(),
               double(span.begin) / wave.rate, double(span.end) / wave.rate,
               Counted(GetElementNum(), "element", "elements").c_str(),
               Counted(static_cast<long long>(CurrentPeaks().size()), "pitch mark", "pitch marks").c_str());
  return 0;
}

}  // namespace tvx
