#include "editor_document.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "annotation_tiers.h"
#include "interval_f0.h"
#include "resynthesis_route.h"
#include "safe_write.h"
#include "spectrogram_columns.h"
#include "talvox.h"

namespace tvx::view {
namespace {

constexpr double kLowestHz = 20.0;      // below: no voice, a drawing slip
constexpr double kHighestHz = 2000.0;
constexpr size_t kDescriptionRoom = 103;  // characters of an element's description

Signal CopyOfWaveBuffer() {
  Signal signal;
  int32_t length = GetWaveLength();
  for (int c = 0; c < GetChannels(); c++) {
    const int16_t* samples = GetDataBuffer(c);
    signal.emplace_back(samples, samples + length);
  }
  return signal;
}

std::vector<int16_t> Interleave(const std::vector<std::vector<int16_t>>& channels) {
  if (channels.size() == 1) return channels[0];
  size_t length = std::min(channels[0].size(), channels[1].size());
  std::vector<int16_t> frames;
  frames.reserve(2 * length);
  for (size_t i = 0; i < length; i++) frames.insert(frames.end(), {channels[0][i], channels[1][i]});
  return frames;
}

}  // namespace

EditorDocument::EditorDocument(DocumentPaths paths, F0Options f0)
    : paths_(std::move(paths)), tracker_(std::make_unique<F0Tracker>(f0)) {
  RefreshSignal();
  tracker_->Request(signal_, Rate(), signalVersion_);
}

int EditorDocument::Rate() const { return GetSamplesPerSec(); }
int EditorDocument::Channels() const { return GetChannels(); }
int32_t EditorDocument::Length() const { return GetWaveLength(); }

void EditorDocument::RefreshSignal() {
  signal_ = std::make_shared<const Signal>(CopyOfWaveBuffer());
  levels_.Build(*signal_);
}

// The track follows the samples; the signal copy is immutable, so the
// tracker may read it while the library's buffer changes.
void EditorDocument::SignalChanged() {
  signalVersion_++;
  tracker_->Request(signal_, Rate(), signalVersion_);
}

bool EditorDocument::F0Current() const {
  std::shared_ptr<const TrackedF0> latest = tracker_->Latest();
  return latest && latest->signalVersion == signalVersion_;
}

F0View EditorDocument::F0(int64_t from, int64_t to, int columns) const {
  F0View view;
  std::shared_ptr<const TrackedF0> latest = tracker_->Latest();
  if (!latest) return view;
  view.ready = true;
  view.current = latest->signalVersion == signalVersion_;
  view.signalVersion = latest->signalVersion;
  view.low = latest->low;
  view.high = latest->high;
  const F0Track& track = latest->track;
  view.hop = track.hop;
  if (track.hop <= 0 || track.f0.empty() || columns <= 0 || to <= from) return view;
  // The frames from the one before from to the one after to.
  int64_t frames = int64_t(track.f0.size());
  view.first = std::clamp<int64_t>(from / track.hop, 0, frames - 1);
  int64_t last = std::clamp<int64_t>(to / track.hop + 2, view.first + 1, frames);
  view.step = std::max<int64_t>(1, (last - view.first) / (2 * int64_t(columns)));
  for (int64_t i = view.first; i < last; i += view.step) view.values.push_back(track.f0[size_t(i)]);
  return view;
}

MarksView EditorDocument::MarksBetween(int64_t from, int64_t to, int columns) const {
  MarksView view;
  std::vector<int32_t> peaks = Peaks();
  if (peaks.empty() || columns <= 0) return view;
  std::vector<int32_t> periods = ModifiedPitch();
  periods.resize(peaks.size() - 1, 0);
  size_t begin = size_t(std::lower_bound(peaks.begin(), peaks.end(), from) - peaks.begin());
  size_t end = size_t(std::lower_bound(peaks.begin(), peaks.end(), std::max(from, to)) - peaks.begin());
  view.inside = int32_t(end - begin);
  size_t first = begin > 0 ? begin - 1 : 0, last = std::min(end, peaks.size() - 1);  // marks first..last
  size_t intervals = last - first;
  view.step = int32_t(std::max<size_t>(1, intervals / (2 * size_t(columns))));
  if (view.step == 1) view.peaks.assign(peaks.begin() + ptrdiff_t(first), peaks.begin() + ptrdiff_t(last) + 1);
  std::vector<int32_t> stretch(peaks.begin() + ptrdiff_t(first), peaks.begin() + ptrdiff_t(last) + 1);
  std::vector<int32_t> stretchPeriods(periods.begin() + ptrdiff_t(first), periods.begin() + ptrdiff_t(last));
  std::vector<double> modified = IntervalF0(stretch, stretchPeriods, Rate());
  for (size_t k = 0; k < intervals; k += size_t(view.step)) {
    view.starts.push_back(stretch[k]);
    view.ends.push_back(stretch[k + 1]);
    view.periods.push_back(stretchPeriods[k]);
    view.modifiedF0.push_back(float(modified[k]));
  }
  return view;
}

std::vector<ElementView> EditorDocument::Elements() const {
  std::vector<ElementView> elements;
  char desc[104];
  for (int32_t i = 0; i < GetElementNum(); i++) {
    ElementView e{"", 0, 0};
    GetElementSegment(i, &e.start, &e.end);
    if (GetElementDesc(i, desc)) e.desc = desc;
    elements.push_back(std::move(e));
  }
  return elements;
}

std::vector<int32_t> EditorDocument::Peaks() const {
  int32_t* peaks = nullptr;
  int32_t count = GetFullPeaks(&peaks);
  if (count <= 0 || !peaks) return {};
  return std::vector<int32_t>(peaks, peaks + count);
}

std::vector<int32_t> EditorDocument::ModifiedPitch() const {
  int32_t* periods = nullptr;
  int32_t count = GetFullModifiedPitch(&periods);
  if (count <= 0 || !periods) return {};
  return std::vector<int32_t>(periods, periods + count);
}

std::vector<std::vector<Extremes>> EditorDocument::Waveform(int64_t from, int64_t to, int columns) const {
  from = std::clamp<int64_t>(from, 0, Length());
  to = std::clamp<int64_t>(to, from, Length());
  return levels_.Columns(*signal_, from, to, columns);
}

std::vector<uint8_t> EditorDocument::Spectrogram(int channel, int64_t from, int64_t to, int columns) const {
  if (channel < 0 || channel >= Channels()) throw EditRefused("the signal has no channel " + std::to_string(channel));
  return SpectrogramColumns((*signal_)[channel].data(), Length(), from, to, columns);
}

Hit EditorDocument::Find(int32_t position, float scale) const {
  Hit hit;
  if (!(scale > 0.0f)) throw EditRefused("the display scale must be above 0");
  hit.boundaryElement = GetNearestElementBoundary(position, &hit.boundarySide, scale);
  if (hit.boundaryElement >= 0) {
    int32_t start = 0, end = 0;
    GetElementSegment(hit.boundaryElement, &start, &end);
    hit.boundaryPosition = hit.boundarySide == 1 ? start : end;
  } else {
    hit.boundarySide = 0;
  }
  hit.markIndex = GetClosedPeak(position, scale);
  if (hit.markIndex >= 0) hit.markPosition = Peaks()[hit.markIndex];
  return hit;
}

std::vector<int16_t> EditorDocument::Audio(int32_t from, int32_t to) const {
  CheckSelection(from, to);
  std::vector<std::vector<int16_t>> channels;
  for (const auto& channel : *signal_) channels.emplace_back(channel.begin() + from, channel.begin() + to);
  return Interleave(channels);
}

std::vector<int16_t> EditorDocument::Resynthesis(int32_t from, int32_t to) const {
  CheckSelection(from, to);
  // The library's range ends before its last sample.
  to = std::min(to, Length() - 1);
  if (to <= from) throw EditRefused("the stretch is too short to resynthesise");
  std::vector<std::vector<int16_t>> channels;
  for (int c = 0; c < Channels(); c++) {
    channels.push_back(ResynthesizeChannel(c, from, to));
    if (channels.back().empty()) throw EditRefused("the library refused to resynthesise this stretch");
  }
  return Interleave(channels);
}

void EditorDocument::CheckPosition(int32_t position, const char* what) const {
  if (position < 0 || position > Length())
    throw EditRefused(std::string(what) + " " + std::to_string(position) + " lies outside the signal (0 to " +
                      std::to_string(Length()) + ")");
}

void EditorDocument::CheckSelection(int32_t a, int32_t b) const {
  CheckPosition(a, "position");
  CheckPosition(b, "position");
  if (a >= b) throw EditRefused("the selection is empty");
}

int32_t EditorDocument::Snapped(int32_t position, Snap snap) const {
  int32_t snapped = -1;
  if (snap == Snap::kZeroCrossing) snapped = GetClosedZerocross(position, 0);
  if (snap == Snap::kMaximum && position < Length()) snapped = GetClosedMaximumPeak(position, 0);
  return snapped >= 0 ? snapped : position;
}

// Runs one change: the state before it goes into the undo history, and a
// change that fails puts everything back.
template <typename Work>
void EditorDocument::Change(const std::string& label, bool changesSignal, Work work) {
  Snapshot before = history_.Capture(signal_, label);
  try {
    work();
  } catch (...) {
    UndoHistory::Restore(before, changesSignal ? nullptr : signal_.get());
    std::remove(before.annotationFile.c_str());
    throw;
  }
  if (changesSignal) RefreshSignal();
  history_.Push(std::move(before));
  version_++;
  if (changesSignal) SignalChanged();
}

void EditorDocument::MoveBoundary(int32_t element, int32_t side, int32_t position, Snap snap) {
  if (element < 0 || element >= GetElementNum()) throw EditRefused("there is no element " + std::to_string(element));
  if (side != 1 && side != 2) throw EditRefused("side must be 1 (start) or 2 (end)");
  CheckPosition(position, "boundary");
  int32_t target = Snapped(position, snap);
  Change("move boundary", false, [&] {
    if (!SetElementSegment(element, target, side)) throw EditRefused("the library refused to move the boundary");
    TidyElements();
  });
}

void EditorDocument::AddBoundary(int32_t position, Snap snap) {
  CheckPosition(position, "boundary");
  int32_t target = Snapped(position, snap);
  Change("add boundary", false, [&] {
    if (!::AddBoundary(target)) throw EditRefused("a boundary can only split an element, not stand on another one");
  });
}

void EditorDocument::DeleteBoundary(int32_t element, int32_t side) {
  if (element < 0 || element >= GetElementNum()) throw EditRefused("there is no element " + std::to_string(element));
  if (side != 1 && side != 2) throw EditRefused("side must be 1 (start) or 2 (end)");
  if ((side == 1 && element == 0) || (side == 2 && element == GetElementNum() - 1))
    throw EditRefused("the signal's first and last boundaries stay");
  Change("delete boundary", false, [&] {
    if (!DelBoundary(element, side)) throw EditRefused("the library refused to delete the boundary");
  });
}

void EditorDocument::SetDescription(int32_t element, const std::string& text) {
  if (element < 0 || element >= GetElementNum()) throw EditRefused("there is no element " + std::to_string(element));
  if (text.size() > kDescriptionRoom) throw EditRefused("a description holds at most 103 characters");
  if (text.find('\0') != std::string::npos) throw EditRefused("a description cannot hold a zero byte");
  Change("describe element", false, [&] {
    if (!SetElementDesc(element, text.c_str())) throw EditRefused("the library refused the description");
  });
}

void EditorDocument::SetPeriods(const std::vector<int32_t>& periods) {
  if (periods.empty()) return;
  if (!SetModifiedPitch(periods.data())) throw EditRefused("the library refused the new pitch");
}

// Peak edits leave the modified pitch where it was; an interval whose two
// marks both stay keeps its period, a new interval gets its own length.
void EditorDocument::KeepPeriodsAcross(const std::vector<int32_t>& oldPeaks, const std::vector<int32_t>& oldPeriods) {
  std::vector<int32_t> peaks = Peaks();
  std::vector<int32_t> periods;
  periods.reserve(peaks.size());
  // Both tables ascend, so one walk along the old one finds each mark (an
  // hour holds 200 000 of them; a search for each took most of a drag).
  bool ascending = std::is_sorted(oldPeaks.begin(), oldPeaks.end());
  size_t i = 0;
  for (size_t j = 0; j + 1 < peaks.size(); j++) {
    if (ascending && (j == 0 || peaks[j] >= peaks[j - 1]))
      while (i < oldPeaks.size() && oldPeaks[i] < peaks[j]) i++;
    else
      i = size_t(std::lower_bound(oldPeaks.begin(), oldPeaks.end(), peaks[j]) - oldPeaks.begin());
    bool kept = i < oldPeaks.size() && oldPeaks[i] == peaks[j] && i + 1 < oldPeaks.size() &&
                oldPeaks[i + 1] == peaks[j + 1] && i < oldPeriods.size();
    periods.push_back(kept ? oldPeriods[i] : peaks[j + 1] - peaks[j]);
  }
  SetPeriods(periods);
}

void EditorDocument::MoveMark(int32_t from, int32_t to, float scale, Snap snap) {
  if (!(scale > 0.0f)) throw EditRefused("the display scale must be above 0");
  CheckPosition(to, "mark");
  if (to >= Length()) throw EditRefused("a mark stands on a sample of the signal");
  std::vector<int32_t> peaks = Peaks();
  std::vector<int32_t> periods = ModifiedPitch();
  int32_t index = GetClosedPeak(from, scale);
  if (index < 0) throw EditRefused("there is no mark near sample " + std::to_string(from));
  int32_t target = Snapped(to, snap);
  bool taken = std::find(peaks.begin(), peaks.end(), target) != peaks.end() && target != peaks[index];
  if (taken || target <= 0) throw EditRefused("there is already a mark at sample " + std::to_string(target));
  Change("move mark", false, [&] {
    int32_t removed = -1;
    if (!DeletePeak(peaks[index], &removed, scale)) throw EditRefused("the library refused to delete the mark");
    ::AddPeak(target, nullptr);
    KeepPeriodsAcross(peaks, periods);
  });
}

void EditorDocument::AddMark(int32_t position, Snap snap) {
  CheckPosition(position, "mark");
  if (position >= Length()) throw EditRefused("a mark stands on a sample of the signal");
  int32_t target = Snapped(position, snap);
  std::vector<int32_t> peaks = Peaks();
  std::vector<int32_t> periods = ModifiedPitch();
  // The library would append such a mark behind the last one.
  if (target <= 0 || std::binary_search(peaks.begin(), peaks.end(), target))
    throw EditRefused("there is already a mark at sample " + std::to_string(target));
  Change("add mark", false, [&] {
    ::AddPeak(target, nullptr);
    KeepPeriodsAcross(peaks, periods);
  });
}

void EditorDocument::DeleteMark(int32_t position, float scale) {
  if (!(scale > 0.0f)) throw EditRefused("the display scale must be above 0");
  std::vector<int32_t> peaks = Peaks();
  std::vector<int32_t> periods = ModifiedPitch();
  if (GetClosedPeak(position, scale) < 0) throw EditRefused("there is no mark near sample " + std::to_string(position));
  Change("delete mark", false, [&] {
    if (!DeletePeak(position, nullptr, scale)) throw EditRefused("the library refused to delete the mark");
    KeepPeriodsAcross(peaks, periods);
  });
}

// Each interval whose middle lies under the stroke gets the period of the
// F0 drawn there (linear between the stroke's points).
void EditorDocument::DrawPitch(std::vector<PitchPoint> stroke) {
  if (stroke.empty()) throw EditRefused("the pitch stroke has no points");
  for (const PitchPoint& point : stroke) {
    if (!(point.hertz >= kLowestHz && point.hertz <= kHighestHz))
      throw EditRefused("a pitch target must lie between 20 and 2000 Hz");
    CheckPosition(point.position, "pitch target");
  }
  std::stable_sort(stroke.begin(), stroke.end(), [](auto& a, auto& b) { return a.position < b.position; });
  std::vector<int32_t> peaks = Peaks();
  std::vector<int32_t> periods = ModifiedPitch();
  if (periods.size() + 1 != peaks.size()) throw EditRefused("there are no mark intervals to give a pitch");
  int changed = 0;
  for (size_t j = 0; j + 1 < peaks.size(); j++) {
    double middle = (double(peaks[j]) + peaks[j + 1]) / 2;
    if (middle < stroke.front().position || middle > stroke.back().position) continue;
    size_t k = 0;
    while (k + 1 < stroke.size() && stroke[k + 1].position < middle) k++;
    double hertz = stroke[k].hertz;
    if (k + 1 < stroke.size() && stroke[k + 1].position > stroke[k].position) {
      double t = (middle - stroke[k].position) / (stroke[k + 1].position - stroke[k].position);
      hertz = stroke[k].hertz + t * (stroke[k + 1].hertz - stroke[k].hertz);
    }
    periods[j] = std::max<int32_t>(1, int32_t(Rate() / hertz));
    changed++;
  }
  if (changed == 0) throw EditRefused("no mark interval lies under the pitch stroke");
  Change("draw pitch", false, [&] { SetPeriods(periods); });
}

void EditorDocument::MovePitchTarget(int32_t position, double hertz) {
  if (!(hertz >= kLowestHz && hertz <= kHighestHz)) throw EditRefused("a pitch target must lie between 20 and 2000 Hz");
  std::vector<int32_t> peaks = Peaks();
  std::vector<int32_t> periods = ModifiedPitch();
  if (periods.size() + 1 != peaks.size()) throw EditRefused("there are no mark intervals to give a pitch");
  auto after = std::upper_bound(peaks.begin(), peaks.end(), position);
  if (after == peaks.begin() || after == peaks.end())
    throw EditRefused("no mark interval holds sample " + std::to_string(position));
  size_t j = size_t(after - peaks.begin()) - 1;
  periods[j] = std::max<int32_t>(1, int32_t(Rate() / hertz));
  Change("move pitch target", false, [&] { SetPeriods(periods); });
}

void EditorDocument::ScalePitch(int32_t from, int32_t to, double factor) {
  CheckSelection(std::min(from, to), std::max(from, to));
  if (!(factor >= 0.125 && factor <= 8.0)) throw EditRefused("the pitch factor must lie between 0.125 and 8");
  std::vector<int32_t> peaks = Peaks();
  std::vector<int32_t> periods = ModifiedPitch();
  if (periods.size() + 1 != peaks.size()) throw EditRefused("there are no mark intervals to give a pitch");
  int changed = 0;
  for (size_t j = 0; j + 1 < peaks.size(); j++) {
    if (peaks[j] < std::min(from, to) || peaks[j + 1] > std::max(from, to)) continue;
    periods[j] = std::max<int32_t>(1, int32_t((peaks[j + 1] - peaks[j]) / factor));
    changed++;
  }
  if (changed == 0) throw EditRefused("no mark interval lies inside the selection");
  Change("change pitch", false, [&] { SetPeriods(periods); });
}

void EditorDocument::Copy(int32_t a, int32_t b) {
  CheckSelection(std::min(a, b), std::max(a, b));
  if (!CopySpeech(std::min(a, b), std::max(a, b) - 1))
    throw EditRefused("the library refused to copy this selection");
  clipboardFull_ = true;
}

// The page's selections are half-open [from, to); the library's include
// their last sample.
void EditorDocument::Cut(int32_t a, int32_t b) {
  CheckSelection(std::min(a, b), std::max(a, b));
  int32_t from = std::min(a, b), last = std::min(std::max(a, b), Length()) - 1;
  if (last <= from || last - from + 1 >= Length()) throw EditRefused("a cut must leave some of the signal");
  Change("cut", true, [&] {
    if (!CutSpeech(from, last)) throw EditRefused("the library refused to cut this selection");
  });
  clipboardFull_ = true;
}

void EditorDocument::Delete(int32_t a, int32_t b) {
  CheckSelection(std::min(a, b), std::max(a, b));
  int32_t from = std::min(a, b), last = std::min(std::max(a, b), Length()) - 1;
  if (last <= from || last - from + 1 >= Length()) throw EditRefused("a deletion must leave some of the signal");
  Change("delete", true, [&] {
    if (!DelSpeech(from, last)) throw EditRefused("the library refused to delete this selection");
  });
}

void EditorDocument::Paste(int32_t a, int32_t b) {
  if (!clipboardFull_) throw EditRefused("nothing has been copied yet");
  CheckPosition(a, "position");
  CheckPosition(b, "position");
  int32_t from = std::min(a, b), to = std::max(a, b);
  int32_t last = to > from ? to - 1 : from;
  if (to > from && to - from >= Length()) throw EditRefused("a paste over the whole signal would leave nothing to paste into");
  Change("paste", true, [&] {
    if (!PasteSpeech(from, last)) throw EditRefused("the library refused to paste here");
  });
}

void EditorDocument::Undo() {
  if (!history_.CanUndo()) throw EditRefused("nothing to undo");
  std::shared_ptr<const Signal> restored = history_.Undo(history_.Capture(signal_, ""));
  if (restored && restored != signal_) {
    signal_ = std::move(restored);
    levels_.Build(*signal_);
    SignalChanged();
  }
  version_++;
}

void EditorDocument::Redo() {
  if (!history_.CanRedo()) throw EditRefused("nothing to redo");
  std::shared_ptr<const Signal> restored = history_.Redo(history_.Capture(signal_, ""));
  if (restored && restored != signal_) {
    signal_ = std::move(restored);
    levels_.Build(*signal_);
    SignalChanged();
  }
  version_++;
}

std::string EditorDocument::SaveAnnotation() {
  if (paths_.peaks.empty()) throw EditRefused("no peak file name is known");
  if (!SavePeaks(paths_.peaks.c_str())) throw EditRefused(paths_.peaks + " cannot be written");
  return paths_.peaks;
}

std::string EditorDocument::SaveWave() {
  if (paths_.wave.empty()) throw EditRefused("no WAV file name is known");
  if (!SaveWaveFile(1, paths_.wave.c_str(), 0, 0)) throw EditRefused(paths_.wave + " cannot be written");
  return paths_.wave;
}

std::string EditorDocument::SaveTextGrid() {
  if (paths_.textGrid.empty()) throw EditRefused("no TextGrid file name is known");
  std::vector<interop::SampleElement> elements;
  for (const ElementView& e : Elements()) elements.push_back({e.desc, e.start, e.end});
  interop::TextGrid grid;
  grid.xmax = interop::SampleToSeconds(Length(), Rate());
  grid.tiers = {interop::ElementsTier(elements, Rate(), Length()), interop::MarksTier(Peaks(), Rate(), Length())};
  if (!WriteReplacing(paths_.textGrid, interop::WriteTextGrid(grid, interop::TextFormat::kLong)))
    throw EditRefused(paths_.textGrid + " cannot be written: " + std::strerror(errno));
  return paths_.textGrid;
}

}  // namespace tvx::view
