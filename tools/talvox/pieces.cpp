#include "pieces.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cli_error.h"
#include "output.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr int32_t kLibraryTable = 10000;  // the library's element table
constexpr int32_t kSmallestLimit = 2;     // room for one element and the rest

std::unique_ptr<JoinedAnnotation>& TheJoined() {
  static std::unique_ptr<JoinedAnnotation> joined;
  return joined;
}

// An hour of speech holds about 25000 elements; a window of a quarter of an
// hour holds well under the table's 10000.
constexpr int64_t kWindowSeconds = 900;

int32_t WindowLength(const LoadedWave& wave) {
  int64_t samples = kWindowSeconds * wave.rate * ElementLimit() / kLibraryTable;
  return static_cast<int32_t>(std::clamp<int64_t>(samples, wave.rate, INT32_MAX));
}

// The voice tracker's elements are made from its marks alone: a window's
// are those of the whole signal's marks within it, so the signal is tracked
// once for its marks and its pieces, not once more per window.
void SegmentByMarks(const std::vector<int32_t>& marks, int rate, int32_t begin, int32_t end) {
  auto first = std::lower_bound(marks.begin(), marks.end(), begin);
  auto last = std::lower_bound(first, marks.end(), end);
  std::vector<int32_t> local(first, last);
  for (int32_t& mark : local) mark -= begin;
  _SegmentVoiceMarks(local.data(), static_cast<int32_t>(local.size()), end - begin, rate);
}

// The segmentation of samples begin..end-1 of the channel, by the library
// into a fresh document, at the elements' positions in the whole file.
// marks, when given, are the voice marks of the whole channel.
std::vector<ElementRecord> SegmentWindow(const LoadedWave& wave, int channel, const Segmenter& segmenter,
                                         const std::vector<int32_t>* marks, int32_t begin, int32_t end) {
  InitTalvox();
  const int16_t* samples = GetDataBuffer(channel) + begin;
  if (segmenter.voice && marks) {
    SegmentByMarks(*marks, wave.rate, begin, end);
  } else if (segmenter.voice) {
    SegmentVoice(samples, end - begin, wave.rate, segmenter.range.floor, segmenter.range.ceiling);
  } else {
    SegmentSpeech(samples, end - begin, wave.rate);
  }
  CheckInterrupted();
  std::vector<ElementRecord> elements = CurrentElements();
  if (elements.empty()) elements.push_back({"SIL", 0, end - begin});  // nothing loud in it
  for (ElementRecord& element : elements) {
    element.start += begin;
    element.end += begin;
  }
  return elements;
}

struct Cut {
  int32_t at;        // the piece's end, the next piece's begin
  int32_t leadFrom;  // where the next window's segmentation starts
};

// The last whole elements among which the longest silence is cut: a long
// one leaves the next window a long lead-in.
constexpr size_t kCutCandidates = 32;

// Where a window's piece ends: in the middle of the longest silence among
// its last whole elements (not the table's last, which runs to the end of
// the signal, nor the window's last, which its end cuts). The elements after
// the cut are dropped and the silence is cut in two. No cut for a window
// that reaches the end with room left in the table.
Cut CutPiece(std::vector<ElementRecord>& elements, int32_t begin, int32_t windowEnd, int32_t length) {
  const size_t limit = static_cast<size_t>(ElementLimit());
  if (elements.size() < limit && windowEnd >= length) return {length, length};
  const size_t whole = elements.size() >= limit ? limit - 1 : elements.size() - 1;
  size_t best = 0;
  for (size_t k = whole; k-- > 1 && k + kCutCandidates >= whole;) {
    const ElementRecord& e = elements[k];
    if (e.IsSilence() && e.end - e.start >= 2 && (best == 0 || e.end - e.start > elements[best].end - elements[best].start))
      best = k;
  }
  if (best > 0) {
    ElementRecord& silence = elements[best];
    Cut cut{silence.start + (silence.end - silence.start) / 2, silence.start};
    silence.end = cut.at;
    elements.resize(best + 1);
    return cut;
  }
  // No silence to cut in: end at the last whole element, or the window's end.
  if (whole >= 1) elements.resize(whole);
  int32_t at = std::max(begin + 1, std::min(windowEnd, elements.back().end));
  elements.back().end = at;
  return {at, at};
}

// The next window's elements from the cut on. Its segmentation started in
// the silence before the cut, where the filters settle (their state comes
// from elsewhere in the signal); what it found there is dropped, and
// whatever reaches over the cut from there is taken as the silence it lies
// in.
void StartAtCut(std::vector<ElementRecord>& elements, int32_t cut) {
  auto first = std::find_if(elements.begin(), elements.end(), [&](const ElementRecord& e) { return e.end > cut; });
  elements.erase(elements.begin(), first);
  if (elements.empty()) return;
  if (elements.front().start < cut) {
    elements.front().start = cut;
    if (!elements.front().IsSilence()) elements.front().desc = "SIL";
  }
  // Neighbouring silences made so are one.
  if (elements.size() > 1 && elements[0].IsSilence() && elements[1].IsSilence()) {
    elements[1].start = elements[0].start;
    elements.erase(elements.begin());
  }
}

void Append(JoinedAnnotation& joined, const Piece& piece) {
  for (const ElementRecord& element : piece.elements) {
    if (!joined.elements.empty()) {
      ElementRecord& last = joined.elements.back();
      if (last.IsSilence() && element.IsSilence() && last.end == element.start) {
        last.end = element.end;  // the two halves of the silence at a cut
        continue;
      }
    }
    joined.elements.push_back(element);
  }
  joined.peaks.insert(joined.peaks.end(), piece.peaks.begin(), piece.peaks.end());
}

// A peak-file image of elements and marks (the marks' distances as periods).
struct Record {
  std::vector<TvxElement> elements;
  std::vector<int32_t> peaks;
  std::vector<int32_t> periods;
  TvxDocument document{};

  Record(const std::vector<ElementRecord>& from, const std::vector<int32_t>& marks, int rate) : peaks(marks) {
    for (const ElementRecord& element : from) {
      TvxElement e{};
      std::snprintf(e.desc, sizeof e.desc, "%s", element.desc.c_str());
      e.start = element.start;
      e.end = element.end;
      elements.push_back(e);
    }
    periods.assign(peaks.size(), 0);
    for (size_t k = 0; k + 1 < peaks.size(); k++) periods[k] = peaks[k + 1] - peaks[k];
    document.elements = elements.data();
    document.elementCount = static_cast<int32_t>(elements.size());
    document.elementCapacity = document.elementCount;
    document.peaks = peaks.empty() ? nullptr : peaks.data();
    document.modifiedPitch = periods.empty() ? nullptr : periods.data();
    document.peakCount = static_cast<int32_t>(peaks.size());
    document.peakRate = rate;
    document.segmented = 1;
  }
};

// The document's tables replaced through a peak file, the library's one
// route that sets them whole.
void LoadIntoDocument(const std::vector<ElementRecord>& elements, const std::vector<int32_t>& peaks, int rate) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/talvox-piece-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) throw CliError(kExitFailure, "cannot make a working file: " + SystemMessage(errno));
  close(fd);
  Record record(elements, peaks, rate);
  bool loaded = _SavePeaks(name.data(), &record.document) && ReadPeaks(name.data());
  unlink(name.data());
  if (!loaded) throw CliError(kExitFailure, "the joined annotation could not be handed to the library");
}

std::string PieceFileName(const std::string& path, size_t number) {
  const std::string suffix = ".peaks";
  bool hasSuffix = path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
  std::string stem = hasSuffix ? path.substr(0, path.size() - suffix.size()) : path;
  return stem + "." + std::to_string(number) + suffix;
}

}  // namespace

int32_t ElementLimit() {
  const char* text = std::getenv("TALVOX_ELEMENT_LIMIT");
  if (!text || !*text) return kLibraryTable;
  long value = std::strtol(text, nullptr, 10);
  return static_cast<int32_t>(std::clamp<long>(value, kSmallestLimit, kLibraryTable));
}

const JoinedAnnotation* Joined() { return TheJoined().get(); }

namespace {
// Pieces whose segmentation is done, waiting for the marks of the whole
// signal.
std::vector<Piece>& Pending() {
  static std::vector<Piece> pending;
  return pending;
}

// Pieces from begin to the end of the channel, segmented window by window;
// elements, when not empty, are the first window's segmentation already made;
// marks, when given, the whole channel's voice marks.
void SegmentFrom(const LoadedWave& wave, int channel, const Segmenter& segmenter, const std::vector<int32_t>* marks,
                 int32_t begin, std::vector<ElementRecord> elements, int32_t windowEnd, std::vector<Piece>& pieces) {
  int32_t leadFrom = begin;
  for (;;) {
    if (elements.empty()) {
      windowEnd = static_cast<int32_t>(std::min<int64_t>(wave.length, int64_t{leadFrom} + WindowLength(wave)));
      elements = SegmentWindow(wave, channel, segmenter, marks, leadFrom, windowEnd);
      StartAtCut(elements, begin);
      if (elements.empty()) elements.push_back({"SIL", begin, windowEnd});
    }
    Piece piece{begin, 0, std::move(elements), {}};
    Cut cut = CutPiece(piece.elements, begin, windowEnd, wave.length);
    piece.end = cut.at;
    pieces.push_back(std::move(piece));
    if (cut.at >= wave.length) return;
    begin = cut.at;
    leadFrom = std::max(cut.leadFrom, pieces.back().begin);
    elements.clear();
  }
}

void Finish(const LoadedWave& wave, std::vector<Piece> pieces, const std::vector<int32_t>& peaks) {
  auto joined = std::make_unique<JoinedAnnotation>();
  size_t next = 0;
  for (Piece& piece : pieces) {
    while (next < peaks.size() && peaks[next] < piece.end) piece.peaks.push_back(peaks[next++]);
    Append(*joined, piece);
  }
  joined->pieces = std::move(pieces);
  if (static_cast<int32_t>(joined->elements.size()) < ElementLimit()) {
    // The whole segmentation fits one table after all: the document holds it.
    LoadIntoDocument(joined->elements, joined->peaks, wave.rate);
    return;
  }
  std::fprintf(stderr, "talvox: %s: %zu elements, more than the element table's %d: segmented in %zu pieces cut in silences\n",
               wave.path.c_str(), joined->elements.size(), ElementLimit(), joined->pieces.size());
  TheJoined() = std::move(joined);
}
}  // namespace

Segmenter SegmenterFor(MarkSource source, VoiceRange range) { return {source == MarkSource::kVoice, range}; }

bool SegmentLongInPieces(const LoadedWave& wave, int channel, const Segmenter& segmenter) {
  TheJoined().reset();
  Pending().clear();
  if (wave.length <= WindowLength(wave)) return false;
  // The voice route's marks first, over the whole signal (they do not
  // depend on the segmentation); the windows are segmented from them.
  std::vector<int32_t> marks;
  if (segmenter.voice) {
    CalculateVoiceMarks(GetDataBuffer(channel), wave.length, wave.rate, segmenter.range.floor, segmenter.range.ceiling);
    CheckInterrupted();
    marks = CurrentPeaks();
  }
  std::vector<Piece> pieces;
  SegmentFrom(wave, channel, segmenter, segmenter.voice ? &marks : nullptr, 0, {}, 0, pieces);
  // The first piece's elements in the document mark it segmented, so the
  // marks that follow are placed without segmenting the whole signal again.
  LoadIntoDocument(pieces.front().elements, marks, wave.rate);
  Pending() = std::move(pieces);
  return true;
}

void JoinPiecesIfFull(const LoadedWave& wave, int channel, PieceWork work, const Segmenter& segmenter) {
  if (Pending().empty()) TheJoined().reset();
  std::vector<int32_t> peaks = work == PieceWork::kMarks ? CurrentPeaks() : std::vector<int32_t>{};
  if (!Pending().empty()) {
    std::vector<Piece> pieces = std::move(Pending());
    Pending().clear();
    Finish(wave, std::move(pieces), peaks);
    return;
  }
  if (GetElementNum() < ElementLimit()) return;
  // The table filled on the whole signal: its elements up to a silence are
  // kept, the rest is segmented again in windows. The marks do not depend
  // on the segmentation and are kept whole.
  std::vector<Piece> pieces;
  const bool marked = segmenter.voice && work == PieceWork::kMarks;
  SegmentFrom(wave, channel, segmenter, marked ? &peaks : nullptr, 0, CurrentElements(), wave.length, pieces);
  LoadIntoDocument(pieces.front().elements, peaks, wave.rate);
  Finish(wave, std::move(pieces), peaks);
}

void LoadPieceElements(const Piece& piece, int rate) { LoadIntoDocument(piece.elements, {}, rate); }

void ReplacePeaks(const std::vector<int32_t>& peaks, int rate) {
  JoinedAnnotation* joined = TheJoined().get();
  if (!joined) return LoadIntoDocument(CurrentElements(), peaks, rate);
  joined->peaks = peaks;
  size_t next = 0;
  for (Piece& piece : joined->pieces) {
    piece.peaks.clear();
    while (next < peaks.size() && peaks[next] < piece.end) piece.peaks.push_back(peaks[next++]);
  }
  LoadIntoDocument(joined->pieces.front().elements, peaks, rate);
}

void SavePeakFiles(const std::string& path, bool split) {
  const JoinedAnnotation* joined = Joined();
  if (!joined) return SavePeakFile(path);
  size_t count = joined->pieces.size();
  if (!split)
    FailFile(path, "the annotation has " + std::to_string(joined->elements.size()) + " elements, more than a peak file holds (" +
                       std::to_string(ElementLimit()) + "); give --split to write one peak file per piece (" +
                       PieceFileName(path, 1) + " to " + PieceFileName(path, count) + ")");
  int rate = GetSamplesPerSec();
  for (size_t i = 0; i < count; i++) {
    const Piece& piece = joined->pieces[i];
    std::string name = PieceFileName(path, i + 1);
    OutputFile output(name);
    Record record(piece.elements, piece.peaks, rate);
    if (!_SavePeaks(output.temp().c_str(), &record.document)) FailFile(name, "cannot be written");
    output.Commit();
  }
  std::fprintf(stderr, "talvox: wrote %zu peak files, %s to %s\n", count, PieceFileName(path, 1).c_str(),
               PieceFileName(path, count).c_str());
}

}  // namespace tvx
