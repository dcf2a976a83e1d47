// Undo and redo of the editor: the state before each change, kept as the
// library's own peak file (elements, peaks, modified pitch) beside a shared
// copy of the signal, so that restoring is exact and goes through the
// library alone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tvx::view {

using Signal = std::vector<std::vector<int16_t>>;  // samples per channel

struct Snapshot {
  std::string annotationFile;             // a peak file in the history folder
  std::shared_ptr<const Signal> signal;   // shared between snapshots until an edit changes it
  std::string label;                      // what the change after it did ("move boundary")
};

class UndoHistory {
 public:
  UndoHistory();  // creates a private folder under $TMPDIR
  ~UndoHistory();
  UndoHistory(const UndoHistory&) = delete;
  UndoHistory& operator=(const UndoHistory&) = delete;

  // The document's present state (annotation saved now, signal as given).
  Snapshot Capture(std::shared_ptr<const Signal> signal, const std::string& label);
  // Puts the document back as it was at snapshot; the signal is loaded only
  // when it is not the one present.
  static void Restore(const Snapshot& snapshot, const Signal* present);

  void Push(Snapshot before);  // a new change: redo history is dropped
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  // Restores the state before the last change (after the last undone one)
  // and keeps present, captured by the caller, for the way back. Returns
  // the signal now in the wave buffer. On failure the document stays at
  // present and the history as it was.
  std::shared_ptr<const Signal> Undo(Snapshot present);
  std::shared_ptr<const Signal> Redo(Snapshot present);
  const std::string& NextUndoLabel() const;
  const std::string& NextRedoLabel() const;

 private:
  std::shared_ptr<const Signal> Step(std::vector<Snapshot>& from, std::vector<Snapshot>& to, Snapshot present);
  void Forget(Snapshot& snapshot);
  void Trim();

  std::string folder_;
  uint64_t counter_ = 0;
  std::vector<Snapshot> undo_;
  std::vector<Snapshot> redo_;
};

}  // namespace tvx::view
