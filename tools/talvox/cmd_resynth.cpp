// talvox resynth: a new pitch for a file or a range of it.
#include <cstdio>
#include <utility>

#include "analysis.h"
#include "annotation_files.h"
#include "args.h"
#include "cli_error.h"
#include "commands.h"
#include "counted.h"
#include "output.h"
#include "progress.h"
#include "resynthesis.h"
#include "timed_resynthesis.h"
#include "tones.h"

namespace tvx {
namespace {

constexpr const char* kHelp =
    "usage: talvox resynth IN.wav -o OUT.wav PITCH [options]\n"
    "\n"
    "Gives the voiced speech a new pitch by pitch-synchronous overlap-add and\n"
    "keeps everything else unchanged. Every pitch period of the range gets the\n"
    "new pitch, whatever its element is called, and the timing stays as it was\n"
    "(grains are repeated or left out as needed) unless asked otherwise.\n"
    "The faint first and last cycles of a voiced stretch, which a mark route\n"
    "leaves unmarked, are followed while the waveform keeps repeating (up to\n"
    "six at each end; --marks-as-given resynthesises the marked cycles only).\n"
    "\n"
    "PITCH is one of:\n"
    "  --pitch-scale X       F0 times X (0.25 to 4); the F0 is the voice tracker's\n"
    "                        (as analyze reports it), smoothed over a few periods\n"
    "  --semitones S         F0 moved by S semitones (-24 to 24; 7 is a fifth)\n"
    "  --f0 HZ               a flat F0\n"
    "  --contour FILE        F0 from lines of 'seconds F0-Hz' (times of the input),\n"
    "                        interpolated linearly, held before the first and after\n"
    "                        the last point\n"
    "  --tones LIST          tone contours for the voiced elements, in order, as\n"
    "                        tone letters: 55,35,214,51 (five levels: 1 at the 5th\n"
    "                        percentile of the speaker's F0, 5 at the 95th, evenly\n"
    "                        in semitones, at least 5 semitones apart; each contour\n"
    "                        runs through its digits evenly over the element's voiced\n"
    "                        span, joined smoothly to the next)\n"
    "  --tones-from-labels mandarin|cantonese\n"
    "                        the same, with the tone number at the end of each\n"
    "                        element's description (ma1 .. ma4; mandarin 5 or 0 is\n"
    "                        neutral and keeps the pitch, as does a name without a\n"
    "                        digit; cantonese 1 to 6)\n"
    "timing:\n"
    "  (default)             the output lasts as long as the input\n"
    "  --duration-scale X    the range lasts X times as long (0.125 to 8)\n"
    "  --free-duration       the grains are placed once each, as SynthesisSpeech\n"
    "                        does: voiced stretches become shorter when the pitch\n"
    "                        rises and longer when it falls; only voiced elements\n"
    "                        (not SIL) are changed\n"
    "options:\n"
    "  -o, --output OUT.wav  the result (required; - for standard output)\n"
    "  --out-peaks FILE      also write the result's annotation (elements, marks and\n"
    "                        periods in the output's time) as a peak file\n"
    "  --marks-as-given      no marks added at the edges of voiced stretches: the\n"
    "                        cycles beyond the marks keep their pitch\n"
    "  --range START:END     resynthesise only this range (seconds, or samples\n"
    "                        with an s suffix); default: the whole file\n"
    "  --peaks IN.peaks      use this annotation instead of analysing\n"
    "  --marks voice|internal|external, --floor HZ, --ceiling HZ   as for analyze;\n"
    "                        the marks of the channel analysed serve every channel\n"
    "  --contour accepts a PitchTier file (long or short text) as well.\n\n";

const std::vector<OptionSpec> kOptions = WithAudioOptions(WithAnnotationInputOptions({
    {"output", 'o', true},   {"pitch-scale", 0, true},    {"semitones", 0, true},
    {"f0", 0, true},         {"contour", 0, true},        {"range", 0, true},
    {"peaks", 0, true},      {"marks", 0, true},          {"floor", 0, true},
    {"ceiling", 0, true},    {"channel", 0, true},        {"tones", 0, true},
    {"tones-from-labels", 0, true}, {"duration-scale", 0, true}, {"free-duration", 0, false},
    {"out-peaks", 0, true},  {"marks-as-given", 0, false},
}), true);

}  // namespace

int RunResynth(int argc, char** argv) {
  Args args("resynth", argc, argv, kOptions);
  if (args.WantsHelp()) return PrintHelp(std::string(kHelp) + kAnnotationInputHelp + kAudioInputHelp + kAudioOutputHelp);
  std::string outputPath = args.Required("output");
  ToneOptions tones = ParseToneOptions(args);
  PitchRequest request = tones.given ? PitchRequest::Scale(1) : ParsePitchRequest(args);
  TimingRequest timing = ParseTimingRequest(args);
  MarkSource source = ParseMarkSource(args);
  VoiceRange range = ParseVoiceRange(args);
  AnnotationInputs annotation = ReadAnnotationInputs(args);
  timing.continueRuns = !args.Has("marks-as-given");
  timing.replaceInput = true;  // the output is written, then the command ends
  std::string peaksPath = args.Value("out-peaks").value_or("");
  if (!peaksPath.empty()) { OutputFile check(peaksPath); }

  LibrarySession session;
  auto [wave, span] = LoadSingleInput(args, "resynth", outputPath);
  AudioFormat outputFormat = OutputAudioFormat(args, wave, outputPath);
  ProgressBar progress(1, "");
  progress.Update(0, "analysing");
  Annotate(wave, wave.channel, source, args.Value("peaks").value_or(""), range, annotation);
  if (tones.given) {
    std::vector<VoicedElement> voiced = FindVoicedElements(wave);
    request = ToneRequest(wave, voiced, ContoursFor(tones, voiced, wave));
  }
  ResynthesisResult result;
  OutputAnnotation outputAnnotation;
  if (timing.free) {
    result = Resynthesize(wave, request, span, &progress);
    if (!peaksPath.empty()) outputAnnotation = AnnotationOfFreeTiming(wave, span);
  } else {
    TimedResult timed = ResynthesizeTimed(wave, request, span, timing, range, &progress);
    result = std::move(timed.synthesis);
    outputAnnotation = std::move(timed.annotation);
  }
  progress.SetTotal(1);
  progress.Update(1, "writing");
  double outputSeconds = double(result.Length()) / wave.rate;
  if (result.inWaveBuffer >= 0)
    WriteWaveBuffer(outputPath, outputFormat);
  else
    WriteWave(outputPath, std::move(result.channels), outputFormat);
  if (!peaksPath.empty()) SaveOutputAnnotation(peaksPath, outputAnnotation, wave.rate);
  progress.Finish();
  std::fprintf(stderr, "talvox: %s: %s over %s (%s); %.3f s -> %.3f s\n", outputPath.c_str(),
               request.Describe().c_str(), Counted(result.voicedRuns, "voiced stretch", "voiced stretches").c_str(),
               Counted(result.intervals, "period", "periods").c_str(), wave.Seconds(), outputSeconds);
  return 0;
}

}  // namespace tvx
