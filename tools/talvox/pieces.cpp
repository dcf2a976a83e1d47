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

void Shift(std::vector<ElementRecord>& elements, std::vector<int32_t>& peaks, int32_t by) {
  for (ElementRecord& element : elements) {
    element.start += by;
    element.end += by;
  }
  for (int32_t& peak : peaks) peak += by;
}

// The document's analysis of samples begin..end-1 of the channel, at their
// positions in the whole file.
void AnalysePiece(const LoadedWave& wave, int channel, MarkSource source, PieceWork work, int32_t begin,
                  std::vector<ElementRecord>& elements, std::vector<int32_t>& peaks) {
  InitTalvox();
  const int16_t* samples = GetDataBuffer(channel) + begin;
  const int32_t length = wave.length - begin;
  if (work == PieceWork::kMarks) {
    AnalyzeSamples(wave, samples, length, source);
  } else {
    SegmentSpeech(samples, length, wave.rate);
  }
  CheckInterrupted();
  if (GetElementNum() <= 0) SetFullSegmentation();
  elements = CurrentElements();
  peaks = work == PieceWork::kMarks ? CurrentPeaks() : std::vector<int32_t>{};
  // The mark selection starts afresh in the pause the piece begins with and
  // marks its noise, which the whole signal's analysis, coming from speech,
  // does not: marks before the first voiced element are dropped.
  auto voiced = std::find_if(elements.begin(), elements.end(), [](const ElementRecord& e) { return !e.IsSilence(); });
  if (voiced != elements.end()) {
    int32_t from = voiced->start;
    peaks.erase(peaks.begin(), std::lower_bound(peaks.begin(), peaks.end(), from));
  }
  Shift(elements, peaks, begin);
}

// Where a full table's piece ends: in the middle of its last silence but
// the table's last element (which runs to the end of the signal). The
// elements after the cut are dropped, the silence is cut in two.
int32_t CutFullPiece(std::vector<ElementRecord>& elements, int32_t begin) {
  const size_t trusted = static_cast<size_t>(ElementLimit()) - 1;
  for (size_t k = std::min(trusted, elements.size()) - 1; k >= 1; k--) {
    ElementRecord& silence = elements[k];
    if (!silence.IsSilence() || silence.end - silence.start < 2) continue;
    int32_t cut = silence.start + (silence.end - silence.start) / 2;
    silence.end = cut;
    elements.resize(k + 1);
    return cut;
  }
  // No silence to cut in: end at the last trusted element.
  elements.resize(trusted);
  return std::max(begin + 1, elements.back().end);
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

void JoinPiecesIfFull(const LoadedWave& wave, int channel, MarkSource source, PieceWork work) {
  TheJoined().reset();
  if (GetElementNum() < ElementLimit()) return;
  auto joined = std::make_unique<JoinedAnnotation>();
  std::vector<ElementRecord> elements = CurrentElements();
  std::vector<int32_t> peaks = work == PieceWork::kMarks ? CurrentPeaks() : std::vector<int32_t>{};
  int32_t begin = 0;
  for (;;) {
    Piece piece{begin, wave.length, std::move(elements), {}};
    bool last = static_cast<int32_t>(piece.elements.size()) < ElementLimit();
    if (!last) piece.end = CutFullPiece(piece.elements, begin);
    for (int32_t peak : peaks)
      if (peak >= piece.begin && peak < piece.end) piece.peaks.push_back(peak);
    Append(*joined, piece);
    joined->pieces.push_back(std::move(piece));
    if (last || joined->pieces.back().end >= wave.length) break;
    begin = joined->pieces.back().end;
    AnalysePiece(wave, channel, source, work, begin, elements, peaks);
  }
  std::fprintf(stderr, "talvox: %s: %zu elements, more than the element table's %d: worked in %zu pieces cut in silences\n",
               wave.path.c_str(), joined->elements.size(), ElementLimit(), joined->pieces.size());
  LoadIntoDocument(joined->pieces.front().elements, joined->peaks, wave.rate);
  TheJoined() = std::move(joined);
}

void LoadPieceElements(const Piece& piece, int rate) { LoadIntoDocument(piece.elements, {}, rate); }

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
