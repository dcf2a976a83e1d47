#include "undo_history.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

#include "talvox.h"

namespace tvx::view {
namespace {

constexpr size_t kMostSteps = 100;                  // undo steps kept (an hour: 3.4 MB of peak file each)
constexpr uint64_t kMostSignalBytes = 2ull << 30;   // signal copies the history may hold

uint64_t SignalBytes(const Signal& signal) {
  uint64_t bytes = 0;
  for (const auto& channel : signal) bytes += channel.size() * sizeof(int16_t);
  return bytes;
}

void LoadSignal(const Signal& signal) {
  if (signal.empty() || signal[0].empty()) throw std::runtime_error("an empty signal cannot be restored");
  int32_t length = int32_t(signal[0].size());
  SetChannels(uint16_t(signal.size()));
  if (signal.size() == 1) {
    if (!SetDataBuffer(0, signal[0].data(), length)) throw std::runtime_error("the signal could not be restored");
    return;
  }
  std::vector<int16_t> frames;
  frames.reserve(size_t(length) * 2);
  for (int32_t i = 0; i < length; i++) frames.insert(frames.end(), {signal[0][i], signal[1][i]});
  if (!SetDataBuffer(2, frames.data(), length)) throw std::runtime_error("the signal could not be restored");
}

}  // namespace

UndoHistory::UndoHistory() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/talvox-view-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) throw std::runtime_error("cannot create a folder for the undo history in " + pattern);
  folder_ = name.data();
}

UndoHistory::~UndoHistory() {
  for (auto* stack : {&undo_, &redo_})
    for (Snapshot& snapshot : *stack) Forget(snapshot);
  rmdir(folder_.c_str());
}

Snapshot UndoHistory::Capture(std::shared_ptr<const Signal> signal, const std::string& label) {
  Snapshot snapshot{folder_ + "/state-" + std::to_string(counter_++) + ".peaks", std::move(signal), label};
  if (!SavePeaks(snapshot.annotationFile.c_str()))
    throw std::runtime_error("the annotation could not be kept for undo (disk full?)");
  return snapshot;
}

void UndoHistory::Restore(const Snapshot& snapshot, const Signal* present) {
  if (snapshot.signal && snapshot.signal.get() != present) LoadSignal(*snapshot.signal);
  if (!ReadPeaks(snapshot.annotationFile.c_str())) throw std::runtime_error("the kept annotation could not be read");
}

void UndoHistory::Forget(Snapshot& snapshot) {
  if (!snapshot.annotationFile.empty()) std::remove(snapshot.annotationFile.c_str());
  snapshot.annotationFile.clear();
  snapshot.signal.reset();
}

void UndoHistory::Push(Snapshot before) {
  for (Snapshot& snapshot : redo_) Forget(snapshot);
  redo_.clear();
  undo_.push_back(std::move(before));
  Trim();
}

// Oldest steps go first once there are too many or their distinct signal
// copies hold too much memory.
void UndoHistory::Trim() {
  auto heldBytes = [this] {
    uint64_t bytes = 0;
    const Signal* previous = nullptr;
    for (const Snapshot& snapshot : undo_) {
      if (snapshot.signal && snapshot.signal.get() != previous) bytes += SignalBytes(*snapshot.signal);
      previous = snapshot.signal.get();
    }
    return bytes;
  };
  while (undo_.size() > 1 && (undo_.size() > kMostSteps || heldBytes() > kMostSignalBytes)) {
    Forget(undo_.front());
    undo_.erase(undo_.begin());
  }
}

std::shared_ptr<const Signal> UndoHistory::Step(std::vector<Snapshot>& from, std::vector<Snapshot>& to,
                                                Snapshot present) {
  Snapshot target = std::move(from.back());
  from.pop_back();
  try {
    Restore(target, present.signal.get());
  } catch (...) {
    Restore(present, target.signal.get());
    from.push_back(std::move(target));
    Forget(present);
    throw;
  }
  present.label = target.label;
  to.push_back(std::move(present));
  std::shared_ptr<const Signal> signal = target.signal;
  Forget(target);
  return signal;
}

std::shared_ptr<const Signal> UndoHistory::Undo(Snapshot present) { return Step(undo_, redo_, std::move(present)); }
std::shared_ptr<const Signal> UndoHistory::Redo(Snapshot present) { return Step(redo_, undo_, std::move(present)); }

const std::string& UndoHistory::NextUndoLabel() const {
  static const std::string none;
  return undo_.empty() ? none : undo_.back().label;
}

const std::string& UndoHistory::NextRedoLabel() const {
  static const std::string none;
  return redo_.empty() ? none : redo_.back().label;
}

}  // namespace tvx::view
