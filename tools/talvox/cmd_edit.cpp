// talvox edit: cut, copy, paste and delete with the annotation kept in step.
#include <cstdio>
#include <memory>
#include <sstream>

#include "analysis.h"
#include "annotation_files.h"
#include "counted.h"
#include "f0_track.h"
#include "args.h"
#include "audio_file.h"
#include "cli_error.h"
#include "commands.h"
#include "output.h"
#include "pieces.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr const char* kHelp =
    "usage: talvox edit IN.wav -o OUT.wav [options] OPERATION...\n"
    "\n"
    "Applies the operations in order, like a text editor on the signal; the\n"
    "elements and pitch marks move with the samples.\n"
    "\n"
    "operations (A, B, AT: seconds, or samples with an s suffix; A:B is the\n"
    "stretch from A up to, not including, B):\n"
    "  cut A:B       copy the stretch, then delete it\n"
    "  copy A:B      copy the stretch with its annotation\n"
    "  paste AT      insert the last copy at AT ('end' appends it)\n"
    "  delete A:B    remove the stretch\n"
    "\n"
    "options:\n"
    "  -o, --output OUT.wav       the edited signal (required; - for standard output)\n"
    "  --peaks IN.peaks           the annotation to edit (default: analyse first)\n"
    "  --out-peaks OUT.peaks      write the edited annotation\n"
    "  --marks voice|internal|external, --floor HZ, --ceiling HZ   as for analyze\n"
    "  (a file of more than two channels is edited as one: --channel N or --mix)\n"
    "  --out-textgrid, --out-pitchtier, --out-pointprocess, --out-labels OUT\n"
    "                             the edited annotation as analyze exports it\n"
    "                             (--text-format long|short)\n"
    "\n"
    "example: talvox edit in.wav -o out.wav cut 1.0:1.5 paste 3.2 delete 0:0.25\n"
    "         talvox edit in.wav -o out.wav --elements in.TextGrid --out-textgrid out.TextGrid cut 1:2\n\n";

const std::vector<OptionSpec> kOptions = WithAudioOptions(WithAnnotationOutputOptions(WithAnnotationInputOptions({
    {"output", 'o', true}, {"peaks", 0, true}, {"out-peaks", 0, true}, {"marks", 0, true}, {"floor", 0, true}, {"ceiling", 0, true}, {"channel", 0, true},
}), "out-"), true);

// The wave buffer's signal after the edits, in the chosen format.
void WriteEdited(OutputFile& output, const AudioFormat& format) {
  if (format.IsLibraryWav()) {
    if (!SaveWaveFile(1, output.temp().c_str(), 0, 0)) FailFile(output.target(), "cannot be written (disk full?)");
    return;
  }
  std::vector<std::vector<int16_t>> channels;
  for (int c = 0; c < GetChannels(); c++) {
    const int16_t* samples = GetDataBuffer(c);
    channels.emplace_back(samples, samples + GetWaveLength());
  }
  WriteAudio16(output.temp(), output.target(), format, channels);
}

struct Operation {
  std::string name;
  std::string argument;
};

std::vector<Operation> ParseOperations(const std::vector<std::string>& words) {
  std::vector<std::string> tokens;
  for (const std::string& word : words) {  // "cut 1:2" may come as one word
    std::istringstream split(word);
    for (std::string token; split >> token;) tokens.push_back(token);
  }
  std::vector<Operation> operations;
  for (size_t i = 0; i < tokens.size(); i += 2) {
    const std::string& name = tokens[i];
    if (name != "cut" && name != "copy" && name != "paste" && name != "delete")
      FailUsage("edit", "unknown operation '" + name + "' (cut, copy, paste or delete)");
    if (i + 1 >= tokens.size()) FailUsage("edit", name + " needs " + (name == "paste" ? "a position" : "a range A:B"));
    operations.push_back({name, tokens[i + 1]});
  }
  if (operations.empty()) FailUsage("edit", "no operation given");
  bool copied = false;
  for (const Operation& op : operations) {
    if (op.name == "paste" && !copied) FailUsage("edit", "paste " + op.argument + " comes before any copy or cut");
    copied = copied || op.name == "copy" || op.name == "cut";
  }
  return operations;
}

int64_t PastePosition(const std::string& text, int rate, int32_t length) {
  int64_t at = text == "end" ? length : ParsePosition("edit", text, rate);
  if (at > length) FailUsage("edit", "paste " + text + " lies past the end of the signal");
  return at;
}

void RequireElement(int64_t position, const std::string& what) {
  if (GetElement(static_cast<int32_t>(position)) < 0)
    throw CliError(kExitFailure, what + ": the position lies outside the elements of the annotation");
}

// The user's TextGrid tiers follow each edit the library accepted.
void ApplyToTiers(const Operation& op, int32_t a, int32_t b, interop::TierEditor* tiers) {
  if (!tiers) return;
  if (op.name == "copy") tiers->Copy(a, b);
  if (op.name == "cut") tiers->Cut(a, b);
  if (op.name == "delete") tiers->Delete(a, b);
  if (op.name == "paste") tiers->Paste(a);
}

void Apply(const Operation& op, int rate, const std::string& input, interop::TierEditor* tiers) {
  int32_t length = GetWaveLength();
  std::string what = input + ": " + op.name + " " + op.argument;
  if (op.name == "paste") {
    int64_t at = PastePosition(op.argument, rate, length);
    RequireElement(at, what);
    if (!PasteSpeech(static_cast<int32_t>(at), static_cast<int32_t>(at)))
      throw CliError(kExitFailure, what + ": refused (too many elements, or the copy does not fit the signal)");
    ApplyToTiers(op, static_cast<int32_t>(at), static_cast<int32_t>(at), tiers);
    return;
  }
  Span span = ParseSpan("edit", op.argument, rate, length);
  if (span.end - span.begin < 2)
    FailUsage("edit", what + ": the stretch must hold at least two samples");
  int32_t a = static_cast<int32_t>(span.begin), b = static_cast<int32_t>(span.end - 1);
  RequireElement(a, what);
  RequireElement(b, what);
  int32_t done = 0;
  if (op.name == "copy") done = CopySpeech(a, b);
  if (op.name == "cut") done = CutSpeech(a, b);
  if (op.name == "delete") {
    if (b - a + 1 >= length) FailUsage("edit", what + ": deleting the whole signal leaves nothing to write");
    done = DelSpeech(a, b);
  }
  if (!done) throw CliError(kExitFailure, what + ": refused by the library");
  ApplyToTiers(op, a, b, tiers);
}

}  // namespace

int RunEdit(int argc, char** argv) {
  Args args("edit", argc, argv, kOptions);
  if (args.WantsHelp()) return PrintHelp(std::string(kHelp) + kAnnotationInputHelp + kAudioInputHelp + kAudioOutputHelp);
  if (args.Positional().empty()) FailUsage("edit", "no input file given");
  std::string outputPath = args.Required("output");
  std::vector<std::string> words(args.Positional().begin() + 1, args.Positional().end());
  std::vector<Operation> operations = ParseOperations(words);
  MarkSource source = ParseMarkSource(args);
  VoiceRange range = ParseVoiceRange(args);
  AudioOptions audio = ParseAudioOptions(args);
  AnnotationInputs annotation = ReadAnnotationInputs(args);
  AnnotationOutputs exports = ParseAnnotationOutputs(args, "out-");

  LibrarySession session;
  OutputFile output(outputPath);
  LoadedWave wave = LoadWave(args.Positional()[0], audio);
  if (!wave.spare.empty() && !args.Has("channel"))
    FailFile(wave.path, "has " + ChannelWords(wave.channels) +
                            "; edit keeps one or two: choose one with --channel N, or mix them with --mix");
  if (!wave.spare.empty()) {  // the chosen channel alone is edited and written
    wave.channels = 1;
    wave.spare.clear();
  }
  AudioFormat outputFormat = OutputAudioFormat(args, wave, outputPath);
  const int channel = wave.channel;
  std::unique_ptr<OutputFile> peaksOutput;
  if (auto path = args.Value("out-peaks")) peaksOutput = std::make_unique<OutputFile>(*path);
  CheckWritable(exports);
  Annotate(wave, channel, source, args.Value("peaks").value_or(""), range, annotation);
  if (const JoinedAnnotation* joined = Joined())
    FailFile(wave.path, "its segmentation has " + std::to_string(joined->elements.size()) +
                            " elements, more than the element table that edit works on holds (" +
                            std::to_string(ElementLimit()) + "); edit a shorter excerpt");
  std::unique_ptr<interop::TierEditor> tiers;
  if (annotation.userGrid.grid)
    tiers = std::make_unique<interop::TierEditor>(*annotation.userGrid.grid, wave.rate, wave.length);
  for (const Operation& op : operations) {
    if (GetWaveLength() < 2 && op.name != "paste")
      FailFile(wave.path, op.name + " " + op.argument + ": the signal is empty");
    Apply(op, wave.rate, wave.path, tiers.get());
    CheckInterrupted();
  }
  WriteEdited(output, outputFormat);
  if (peaksOutput && !SaveAnnotation(peaksOutput->temp())) FailFile(peaksOutput->target(), "cannot be written");
  LoadedWave edited = wave;  // the F0 of the signal as it is now
  edited.length = GetWaveLength();
  F0Track track;
  if (!exports.pitchtier.empty()) track = TrackChannel(edited, channel, range);
  WriteAnnotationOutputs(exports, wave.rate, edited.length, track, tiers.get(), &annotation.userGrid);
  output.Commit();
  if (peaksOutput) peaksOutput->Commit();
  std::fprintf(stderr, "talvox: %s: %s; %.3f s -> %.3f s, %s, %s\n", outputPath.c_str(),
               Counted(static_cast<long long>(operations.size()), "operation", "operations").c_str(), wave.Seconds(),
               double(GetWaveLength()) / wave.rate, Counted(GetElementNum(), "element", "elements").c_str(),
               Counted(static_cast<long long>(CurrentPeaks().size()), "pitch mark", "pitch marks").c_str());
  return 0;
}

}  // namespace tvx
