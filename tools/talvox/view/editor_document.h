// The document the editor's page works on: the library's one wave buffer
// and annotation, with the reads the page draws from and the changes it
// asks for. Every change goes through the library's own exports, is
// refused as a whole (EditRefused, nothing changed) or kept in the undo
// history.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "detail_levels.h"
#include "f0_tracker.h"
#include "undo_history.h"

namespace tvx::view {

class EditRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Snap { kNone, kZeroCrossing, kMaximum };

struct DocumentPaths {
  std::string wave;    // where "save WAV" writes (the input file)
  std::string peaks;   // where "save peaks" writes
  std::string name;    // shown on the page
  std::string textGrid;  // where "save TextGrid" writes
};

struct Hit {
  int32_t boundaryElement = -1;  // GetNearestElementBoundary
  int32_t boundarySide = 0;
  int32_t boundaryPosition = -1;
  int32_t markIndex = -1;        // GetClosedPeak
  int32_t markPosition = -1;
};

struct ElementView {
  std::string desc;
  int32_t start;
  int32_t end;
  bool operator==(const ElementView& o) const { return desc == o.desc && start == o.start && end == o.end; }
};

// The F0 track over a stretch, as the page draws it: every step-th frame
// from frame first on.
struct F0View {
  bool ready = false;          // a track has been finished
  bool current = false;        // ... and it is of the signal as it is now
  uint64_t signalVersion = 0;  // of the signal the track belongs to
  int32_t hop = 0;             // samples between frames
  int64_t first = 0;
  int64_t step = 1;
  std::vector<float> values;   // Hz, 0 where unvoiced
  double low = 0, high = 0;    // the speaker's range over the whole track
};

// The marks over a stretch: with step 1 the marks themselves (those inside
// and one neighbour each side) and every interval between them; on a long
// stretch only every step-th interval, enough for the modified pitch.
struct MarksView {
  int32_t inside = 0;  // marks in [from, to)
  int32_t step = 1;
  std::vector<int32_t> peaks;                  // step 1 only
  std::vector<int32_t> starts, ends, periods;  // the intervals sent
  std::vector<float> modifiedF0;               // F0 of their modified pitch, as IntervalF0 gives it
};

// A stroke point of drawn pitch: a sample position and the F0 wanted there.
struct PitchPoint {
  int32_t position;
  double hertz;
};

class EditorDocument {
 public:
  // The wave buffer holds the signal and the document its annotation.
  // The F0 track is computed in the background (see F0Tracker) for the
  // signal at the start and after every change of it.
  explicit EditorDocument(DocumentPaths paths, F0Options f0 = {});

  const DocumentPaths& paths() const { return paths_; }
  int Rate() const;
  int Channels() const;
  int32_t Length() const;
  uint64_t Version() const { return version_; }
  uint64_t SignalVersion() const { return signalVersion_; }  // changes with the samples only
  bool CanUndo() const { return history_.CanUndo(); }
  bool CanRedo() const { return history_.CanRedo(); }
  const std::string& UndoLabel() const { return history_.NextUndoLabel(); }
  const std::string& RedoLabel() const { return history_.NextRedoLabel(); }
  bool ClipboardFull() const { return clipboardFull_; }

  std::vector<ElementView> Elements() const;
  std::vector<int32_t> Peaks() const;
  std::vector<int32_t> ModifiedPitch() const;  // peak count - 1 values
  MarksView MarksBetween(int64_t from, int64_t to, int columns) const;
  F0View F0(int64_t from, int64_t to, int columns) const;
  bool F0Current() const;
  // For tests: waits until the track of the present signal is done.
  bool WaitForF0(std::chrono::milliseconds timeout) const { return tracker_->WaitFor(signalVersion_, timeout); }
  // Per channel, min/max columns of [from, to).
  std::vector<std::vector<Extremes>> Waveform(int64_t from, int64_t to, int columns) const;
  std::vector<uint8_t> Spectrogram(int channel, int64_t from, int64_t to, int columns) const;
  Hit Find(int32_t position, float scale) const;
  // Interleaved samples of [from, to): the signal, or its resynthesis with
  // the modified pitch.
  std::vector<int16_t> Audio(int32_t from, int32_t to) const;
  std::vector<int16_t> Resynthesis(int32_t from, int32_t to) const;

  void MoveBoundary(int32_t element, int32_t side, int32_t position, Snap snap);
  void AddBoundary(int32_t position, Snap snap);
  void DeleteBoundary(int32_t element, int32_t side);
  void SetDescription(int32_t element, const std::string& text);
  void MoveMark(int32_t from, int32_t to, float scale, Snap snap);
  void AddMark(int32_t position, Snap snap);
  void DeleteMark(int32_t position, float scale);
  void DrawPitch(std::vector<PitchPoint> stroke);
  // The modified pitch of the mark interval holding position becomes hertz.
  void MovePitchTarget(int32_t position, double hertz);
  void ScalePitch(int32_t from, int32_t to, double factor);  // factor of F0; 1 restores the source
  void Copy(int32_t a, int32_t b);
  void Cut(int32_t a, int32_t b);
  void Delete(int32_t a, int32_t b);
  void Paste(int32_t a, int32_t b);
  void Undo();
  void Redo();

  // Write where paths() says and return the path.
  std::string SaveAnnotation();
  std::string SaveWave();
  // Elements and marks as the tiers "elements" and "marks".
  std::string SaveTextGrid();

 private:
  template <typename Work>
  void Change(const std::string& label, bool changesSignal, Work work);
  void RefreshSignal();
  void SignalChanged();
  int32_t Snapped(int32_t position, Snap snap) const;
  void CheckPosition(int32_t position, const char* what) const;
  void CheckSelection(int32_t a, int32_t b) const;
  void SetPeriods(const std::vector<int32_t>& periods);
  void KeepPeriodsAcross(const std::vector<int32_t>& oldPeaks, const std::vector<int32_t>& oldPeriods);

  DocumentPaths paths_;
  std::shared_ptr<const Signal> signal_;
  DetailLevels levels_;
  UndoHistory history_;
  uint64_t version_ = 1;
  uint64_t signalVersion_ = 1;
  bool clipboardFull_ = false;
  std::unique_ptr<F0Tracker> tracker_;  // last: its thread ends first
};

}  // namespace tvx::view
