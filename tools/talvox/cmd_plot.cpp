// talvox plot: an SVG picture of the annotated speech.
#include <cstdio>

#include "analysis.h"
#include "annotation_files.h"
#include "args.h"
#include "cli_error.h"
#include "commands.h"
#include "output.h"
#include "plot_file.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr const char* kHelp =
    "usage: talvox plot IN.wav -o OUT.svg [options]\n"
    "\n"
    "Draws the spectrogram, the waveform with the element boundaries and their\n"
    "descriptions, the pitch marks (red ticks), and the F0 contour on its own\n"
    "axis in Hz, over a time axis in seconds. Any web browser shows the file.\n"
    "\n"
    "options:\n"
    "  -o, --output OUT.svg  the picture (required)\n"
    "  --range START:END     only this range (seconds, or samples with an s suffix)\n"
    "  --peaks IN.peaks      use this annotation instead of analysing\n"
    "  --marks voice|internal|external, --floor HZ, --ceiling HZ   as for analyze\n\n";

const std::vector<OptionSpec> kOptions = WithAudioOptions(WithAnnotationInputOptions({
    {"output", 'o', true}, {"range", 0, true}, {"peaks", 0, true}, {"marks", 0, true}, {"floor", 0, true}, {"ceiling", 0, true}, {"channel", 0, true},
}), false);

}  // namespace

int RunPlot(int argc, char** argv) {
  Args args("plot", argc, argv, kOptions);
  if (args.WantsHelp()) return PrintHelp(std::string(kHelp) + kAnnotationInputHelp + kAudioInputHelp);
  std::string outputPath = args.Required("output");
  MarkSource source = ParseMarkSource(args);
  VoiceRange range = ParseVoiceRange(args);
  AnnotationInputs annotation = ReadAnnotationInputs(args);

  LibrarySession session;
  auto [wave, span] = LoadSingleInput(args, "plot", outputPath);
  Annotate(wave, wave.channel, source, args.Value("peaks").value_or(""), range, annotation);
  WritePlot(outputPath, wave, wave.channel, span, range);
  return 0;
}

}  // namespace tvx
