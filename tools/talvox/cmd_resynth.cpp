// talvox resynth: a new pitch for a file or a range of it.
#include <cstdio>
#include <utility>

#include "analysis.h"
#include "args.h"
#include "cli_error.h"
#include "commands.h"
#include "output.h"
#include "progress.h"
#include "resynthesis.h"

namespace tvx {
namespace {

constexpr const char* kHelp =
    "usage: talvox resynth IN.wav -o OUT.wav PITCH [options]\n"
    "\n"
    "Gives the voiced speech a new pitch by pitch-synchronous overlap-add and\n"
    "keeps everything else unchanged. Voiced stretches become shorter when the\n"
    "pitch rises and longer when it falls.\n"
    "\n"
    "PITCH is one of:\n"
    "  --pitch-scale X       F0 times X (0.25 to 4)\n"
    "  --semitones S         F0 moved by S semitones (-24 to 24; 7 is a fifth)\n"
    "  --f0 HZ               a flat F0\n"
    "  --contour FILE        F0 from lines of 'seconds F0-Hz' (times of the input),\n"
    "                        interpolated linearly, held before the first and after\n"
    "                        the last point\n"
    "options:\n"
    "  -o, --output OUT.wav  the result (required)\n"
    "  --range START:END     resynthesise only this range (seconds, or samples\n"
    "                        with an s suffix); default: the whole file\n"
    "  --peaks IN.peaks      use this annotation instead of analysing\n"
    "  --marks voice|internal|external, --floor HZ, --ceiling HZ,\n"
    "  --channel N   as for analyze; the marks of\n"
    "                        channel N serve both channels of a stereo file\n";

const std::vector<OptionSpec> kOptions = {
    {"output", 'o', true}, {"pitch-scale", 0, true}, {"semitones", 0, true}, {"f0", 0, true},
    {"contour", 0, true},  {"range", 0, true},       {"peaks", 0, true},     {"marks", 0, true}, {"floor", 0, true}, {"ceiling", 0, true},
    {"channel", 0, true},
};

}  // namespace

int RunResynth(int argc, char** argv) {
  Args args("resynth", argc, argv, kOptions);
  if (args.WantsHelp()) return PrintHelp(kHelp);
  std::string outputPath = args.Required("output");
  PitchRequest request = ParsePitchRequest(args);
  MarkSource source = ParseMarkSource(args);
  VoiceRange range = ParseVoiceRange(args);
  int channel = args.Integer("channel", 0, 0, 1);

  LibrarySession session;
  auto [wave, span] = LoadSingleInput(args, "resynth", channel, outputPath);
  ProgressBar progress(1, "");
  progress.Update(0, "analysing");
  Annotate(wave, channel, source, args.Value("peaks").value_or(""), range);
  ResynthesisResult result = Resynthesize(wave, request, span, &progress);
  progress.SetTotal(1);
  progress.Update(1, "writing");
  double outputSeconds = double(result.channels[0].size()) / wave.rate;
  WriteWave(outputPath, std::move(result.channels));
  progress.Finish();
  std::fprintf(stderr, "talvox: %s: %s over %d voiced stretches (%d periods); %.3f s -> %.3f s\n",
               outputPath.c_str(), request.Describe().c_str(), result.voicedRuns, result.intervals,
               wave.Seconds(), outputSeconds);
  return 0;
}

}  // namespace tvx
