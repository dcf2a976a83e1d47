// talvox plot: an SVG picture of the annotated speech.
#include <cctype>
#include <cstdio>
#include <string>

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
    "  -o, --output OUT.svg  the picture (required; - for standard output)\n"
    "  --range START:END     only this range (seconds, or samples with an s suffix)\n"
    "  --peaks IN.peaks      use this annotation instead of analysing\n"
    "  --marks voice|internal|external, --floor HZ, --ceiling HZ   as for analyze\n\n";

const std::vector<OptionSpec> kOptions = WithAudioOptions(WithAnnotationInputOptions({
    {"output", 'o', true}, {"range", 0, true}, {"peaks", 0, true}, {"marks", 0, true}, {"floor", 0, true}, {"ceiling", 0, true}, {"channel", 0, true},
}), false);

// The part of a file name after its last dot, in lower case ("" without one).
std::string Extension(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = base.rfind('.');
  if (dot == std::string::npos || dot == 0) return "";
  std::string extension = base.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

}  // namespace

int RunPlot(int argc, char** argv) {
  Args args("plot", argc, argv, kOptions);
  if (args.WantsHelp()) return PrintHelp(std::string(kHelp) + kAnnotationInputHelp + kAudioInputHelp);
  std::string outputPath = args.Required("output");
  // The picture is SVG whatever the name says, so a name promising another
  // format is refused rather than filled with SVG.
  std::string extension = Extension(outputPath);
  if (!extension.empty() && extension != "svg")
    FailUsage("plot", outputPath + ": plots are written as SVG only; give the output a .svg name");
  MarkSource source = ParseMarkSource(args);
  VoiceRange range = ParseVoiceRange(args);
  AnnotationInputs annotation = ReadAnnotationInputs(args);

  LibrarySession session;
  auto [wave, span] = LoadSingleInput(args, "plot", outputPath);
  Annotate(wave, wave.channel, source, args.Value("peaks").value_or(""), range, annotation);
  WritePlot(outputPath, wave, wave.channel, span, range);
  std::fprintf(stderr, "talvox: %s: plot of %.3f to %.3f s, %d elements, %zu pitch marks\n", outputPath.c_str(),
               double(span.begin) / wave.rate, double(span.end) / wave.rate, GetElementNum(), CurrentPeaks().size());
  return 0;
}

}  // namespace tvx
