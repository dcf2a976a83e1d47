// talvox collect: the speech of a file or range with every silence halved.
#include <cstdio>
#include <utility>

#include "analysis.h"
#include "annotation_files.h"
#include "args.h"
#include "cli_error.h"
#include "commands.h"
#include "output.h"
#include "pieces.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr const char* kHelp =
    "usage: talvox collect IN.wav -o OUT.wav [options]\n"
    "\n"
    "Joins the elements of the file (or of a range) end to end, each silence\n"
    "(\"SIL\") replaced by digital silence of half its length.\n"
    "\n"
    "options:\n"
    "  -o, --output OUT.wav  the result (required; - for standard output)\n"
    "  --range START:END     only this range (seconds, or samples with an s suffix)\n"
    "  --peaks IN.peaks      use this annotation instead of segmenting\n"
    "  --channel N           segment channel N (0 or 1); both channels are collected\n"
    "  --elements FILE, --tier NAME, --empty-label TEXT\n"
    "                        elements from a TextGrid, label track or CSV table\n"
    "                        (see 'talvox analyze --help')\n";

const std::vector<OptionSpec> kOptions = WithAnnotationInputOptions({
    {"output", 'o', true}, {"range", 0, true}, {"peaks", 0, true}, {"channel", 0, true},
});

// The library collects up to, not including, its end position, and that
// position must lie inside the signal; a range that reaches the end of the
// file gets its last sample added as the collection would have treated it.
void AppendCollected(const LoadedWave& wave, int channel, Span span, std::vector<int16_t>& out) {
  int32_t end = static_cast<int32_t>(span.end);
  bool toFileEnd = end == wave.length;
  if (toFileEnd) end--;
  if (span.begin < end) {
    if (!CollectSegmentedSpeech(channel, static_cast<int32_t>(span.begin), end))
      FailFile(wave.path, "the collection was refused");
    const int16_t* made = GetCollectSegmentedSpeech();
    out.insert(out.end(), made, made + GetCollectSegmentedSpeechLength());
  }
  if (!toFileEnd) return;
  std::vector<ElementRecord> elements = CurrentElements();
  for (const ElementRecord& element : elements) {
    if (element.start > wave.length - 1 || element.end <= wave.length - 1) continue;
    if (!element.IsSilence()) {
      out.push_back(GetDataBuffer(channel)[wave.length - 1]);
    } else {
      int64_t piece = element.end - std::max<int64_t>(element.start, span.begin);
      if (piece / 2 > (piece - 1) / 2) out.push_back(0);
    }
  }
}

// A segmentation worked in pieces is collected piece by piece, each with
// its own elements in the document; a silence cut between two pieces is
// halved in its two parts.
std::vector<int16_t> CollectInPieces(const LoadedWave& wave, int channel, Span span) {
  const JoinedAnnotation* joined = Joined();
  std::vector<int16_t> out;
  if (!joined) {
    AppendCollected(wave, channel, span, out);
    return out;
  }
  // Room for the silences halved and the rest whole, so the result never
  // grows past its length.
  size_t expected = 0;
  for (const ElementRecord& e : joined->elements) {
    int64_t inside = std::min<int64_t>(span.end, e.end) - std::max<int64_t>(span.begin, e.start);
    if (inside > 0) expected += static_cast<size_t>(e.IsSilence() ? inside / 2 + 1 : inside);
  }
  out.reserve(expected);
  for (const Piece& piece : joined->pieces) {
    Span part{std::max<int64_t>(span.begin, piece.begin), std::min<int64_t>(span.end, piece.end)};
    if (part.begin >= part.end) continue;
    LoadPieceElements(piece, wave.rate);
    AppendCollected(wave, channel, part, out);
  }
  InitTalvox();  // the last piece's collection is copied; its buffer goes
  return out;
}

}  // namespace

int RunCollect(int argc, char** argv) {
  Args args("collect", argc, argv, kOptions);
  if (args.WantsHelp()) return PrintHelp(kHelp);
  std::string outputPath = args.Required("output");
  int channel = args.Integer("channel", 0, 0, 1);
  AnnotationInputs annotation = ReadAnnotationInputs(args);

  LibrarySession session;
  auto [wave, span] = LoadSingleInput(args, "collect", channel, outputPath);
  std::string peakFile = args.Value("peaks").value_or("");
  if (!peakFile.empty()) LoadPeakFile(peakFile, wave);
  bool userElements = InstallUserElements(wave, annotation);
  if (peakFile.empty() && !userElements && !SegmentLongInPieces(wave, channel) &&
      SegmentSpeech(GetDataBuffer(channel), wave.length, wave.rate) <= 0) {
    SetFullSegmentation();  // nothing loud enough: one element, kept whole
  }
  if (peakFile.empty() && !userElements) JoinPiecesIfFull(wave, channel, PieceWork::kSegmentsOnly);
  std::vector<std::vector<int16_t>> channels;
  for (int c = 0; c < wave.channels; c++) channels.push_back(CollectInPieces(wave, c, span));
  double outputSeconds = double(channels[0].size()) / wave.rate;
  WriteWave(outputPath, std::move(channels));
  std::fprintf(stderr, "talvox: %s: %.3f s -> %.3f s\n", outputPath.c_str(), double(span.end - span.begin) / wave.rate,
               outputSeconds);
  return 0;
}

}  // namespace tvx
