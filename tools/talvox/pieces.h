// Recordings whose segmentation does not fit the library's element table
// (10000 elements, about half an hour of speech) are worked in pieces cut
// in the middle of silences, each within the table; the pieces' elements and
// marks are joined into one annotation of the whole file, which the commands
// read instead of the document's truncated table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis.h"
#include "session.h"

namespace tvx {

// The element table's size, as the commands see it. TALVOX_ELEMENT_LIMIT
// (2 to 10000) lowers it, so tests can exercise the pieces on short files.
int32_t ElementLimit();

struct Piece {
  int32_t begin;  // first sample
  int32_t end;    // one past the last
  std::vector<ElementRecord> elements;  // at their positions in the whole file
  std::vector<int32_t> peaks;
};

struct JoinedAnnotation {
  std::vector<Piece> pieces;
  std::vector<ElementRecord> elements;  // all pieces', silences met at a cut merged
  std::vector<int32_t> peaks;
};

// The joined annotation when the file was worked in pieces, else null.
const JoinedAnnotation* Joined();

enum class PieceWork { kMarks, kSegmentsOnly };

// The library segmentation a route uses: the voice tracker's (SegmentVoice)
// for the voice marks, else the energy detection (SegmentSpeech).
struct Segmenter {
  bool voice = false;
  VoiceRange range;
};
Segmenter SegmenterFor(MarkSource source, VoiceRange range);

// Before the document's analysis of a channel longer than a segmentation
// window (a quarter of an hour): segments it window by window into pieces
// and leaves the first piece's elements in the document, marked segmented,
// so the marks that follow cover the whole signal without segmenting it
// again. With the voice segmenter it places those marks first (the
// tracker's one pass over the whole signal; the windows are segmented from
// its marks) and the document holds them too. False (nothing done) for
// shorter signals.
bool SegmentLongInPieces(const LoadedWave& wave, int channel, const Segmenter& segmenter = {});

// After the analysis: joins the pieces made by SegmentLongInPieces with the
// document's marks; or, when the whole signal's segmentation filled the
// element table, keeps it up to a silence and segments the rest in pieces.
// The document then holds every mark (the marks' distances as periods) and
// the first piece's elements.
void JoinPiecesIfFull(const LoadedWave& wave, int channel, PieceWork work, const Segmenter& segmenter = {});

// Replaces every mark of the annotation (joined or not) by peaks, ascending;
// the elements stay and the periods become the marks' distances.
void ReplacePeaks(const std::vector<int32_t>& peaks, int rate);

// Loads one piece's elements into the document (no marks), for library
// operations that read the element table over that piece.
void LoadPieceElements(const Piece& piece, int rate);

// Writes path unchanged for one table; for a joined annotation one peak file
// per piece named STEM.N.peaks (N from 1) when split is set, else fails
// saying why and how.
void SavePeakFiles(const std::string& path, bool split);

}  // namespace tvx
