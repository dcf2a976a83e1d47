#include "pitch/peak_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "pitch/peak_file_format.h"
#include "platform/atomic_file.h"
#include "platform/input_file.h"
#include "state/document.h"
#include "state/memory.h"

namespace talvox {

namespace {

// Entries really allocated in the peak table and the modified pitch: the
// document knows them; a host's record is trusted to match its counts.
struct Rooms {
  int64_t peaks;
  int64_t pitch;
};

Rooms RoomsOf(const TvxDocument* state, int32_t peakCount) {
  const DocumentState* owner = OwnerOf(const_cast<TvxDocument*>(state));
  if (owner) return {owner->peakRoom, owner->pitchRoom};
  return {peakCount, state->modifiedPitch ? std::max(peakCount - 1, 0) : 0};
}

void ResizePeaks(TvxDocument& state, DocumentState* owner, int32_t count) {
  if (owner) {
    ResizePeakTable(*owner, count);
  } else {
    state.peaks = Reallocate(state.peaks, static_cast<std::size_t>(count));
  }
}

void ResizePitch(TvxDocument& state, DocumentState* owner, int32_t count) {
  if (owner) {
    ResizeModifiedPitch(*owner, count);
  } else {
    state.modifiedPitch = Reallocate(state.modifiedPitch, static_cast<std::size_t>(count));
  }
}

void StorePeaks(TvxDocument& state, DocumentState* owner, const std::vector<int32_t>& peaks) {
  const auto count = static_cast<int32_t>(peaks.size());
  ResizePeaks(state, owner, count);
  if (count > 0) std::memcpy(state.peaks, peaks.data(), peaks.size() * sizeof(int32_t));
  state.peakCount = count;
}

// Kind 3 stores periods; the entry after the last interval carries nothing.
void StorePitch(TvxDocument& state, DocumentState* owner, const std::vector<int32_t>& periods,
                int32_t peakCount) {
  ResizePitch(state, owner, peakCount);
  if (peakCount == 0) return;
  std::copy(periods.begin(), periods.end(), state.modifiedPitch);
  state.modifiedPitch[peakCount - 1] = 0;
}

// Kind 2 carries no periods: they are the distances between the peaks.
std::vector<int32_t> PeriodsFromPeaks(const std::vector<int32_t>& peaks) {
  std::vector<int32_t> periods;
  for (std::size_t i = 0; i + 1 < peaks.size(); ++i) {
    periods.push_back(static_cast<int32_t>(static_cast<uint32_t>(peaks[i + 1]) -
                                           static_cast<uint32_t>(peaks[i])));
  }
  return periods;
}

void StoreElements(TvxDocument& state, const PeakFileBody& body, int32_t kind) {
  for (std::size_t i = 0; i < body.elements.size(); ++i) {
    if (kind == kKindWithRecords) {
      state.elements[i] = body.elements[i];
    } else {
      state.elements[i].start = body.elements[i].start;
      state.elements[i].end = body.elements[i].end;
    }
  }
  state.elementCount = static_cast<int32_t>(body.elements.size());
}

}  // namespace

int32_t SavePeakFile(const char* path, const TvxDocument* state) {
  if (state == nullptr) return 0;
  const int32_t peaks = state->peakCount;
  const int32_t elements = state->elementCount;
  const Rooms rooms = RoomsOf(state, peaks);
  if (peaks < 0 || elements < 0 || elements > state->elementCapacity) return 0;
  if ((peaks > 0 && (state->peaks == nullptr || peaks > rooms.peaks)) ||
      (elements > 0 && state->elements == nullptr)) {
    return 0;
  }

  PeakFileHeader header{};
  std::strncpy(header.type, kPeaksFileType, sizeof header.type);
  header.kind = kKindWithRecords;
  header.peakRate = state->peakRate;
  header.elementCount = elements;
  header.peakCount = peaks;

  AtomicFile out(path);
  out.Write(&header, sizeof header);
  if (peaks > 0) {
    out.Write(state->peaks, static_cast<std::size_t>(peaks) * sizeof(int32_t));
    // Periods the document never computed are written as 0.
    const int64_t periods = peaks - 1;
    const int64_t held = state->modifiedPitch ? std::min(periods, rooms.pitch) : 0;
    out.Write(state->modifiedPitch, static_cast<std::size_t>(held) * sizeof(int32_t));
    out.WriteZeros(static_cast<std::size_t>(periods - held) * sizeof(int32_t));
  }
  out.Write(state->elements, static_cast<std::size_t>(elements) * sizeof(TvxElement));
  return out.Commit() ? 1 : 0;
}

int32_t ReadPeakFile(const char* path, TvxDocument* state) {
  if (state == nullptr) return 0;
  InputFile file(path);
  PeakFileHeader header;
  if (!file.ok() || !ReadPeakFileHeader(file, header) || !HasPeakFileType(header)) return 0;
  if (!IsReadableKind(header.kind)) {
    // The rate is taken before the kind is looked at.
    state->peakRate = header.peakRate;
    return 0;
  }
  const bool tableFits = header.elementCount <= state->elementCapacity &&
                         (header.elementCount == 0 || state->elements != nullptr);
  PeakFileBody body;
  if (!tableFits || !ReadPeakFileBody(file, header, body)) return 0;

  DocumentState* owner = OwnerOf(state);
  state->peakRate = header.peakRate;
  StorePeaks(*state, owner, body.peaks);
  const std::vector<int32_t> periods =
      header.kind == kKindWithRecords ? body.modifiedPitch : PeriodsFromPeaks(body.peaks);
  StorePitch(*state, owner, periods, state->peakCount);
  StoreElements(*state, body, header.kind);
  state->segmented = 1;
  return 1;
}

}  // namespace talvox
