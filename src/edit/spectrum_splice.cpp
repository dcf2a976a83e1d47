#include "edit/spectrum_splice.h"

#include <algorithm>
#include <cstring>

#include "features/spectrogram.h"
#include "state/memory.h"

namespace talvox {

namespace {
uint8_t* Frame(uint8_t* spectrum, int32_t f) {
  return spectrum + static_cast<size_t>(f) * kSpectrumBins;
}

size_t Bytes(int32_t frames) { return static_cast<size_t>(frames) * kSpectrumBins; }
}  // namespace

int32_t SpectrumFramesOf(const DocumentState& doc) {
  if (doc.record.spectrum == nullptr || doc.record.spectrumFrames <= 0) return 0;
  return std::min(doc.record.spectrumFrames, doc.spectrumRoom);
}

void CopyFrames(const DocumentState& doc, SpeechClipboard& clip, const Selection& selection) {
  const int32_t held = SpectrumFramesOf(doc);
  const int32_t last = std::min(selection.lastFrame, held - 1);
  const int32_t copied = std::max(0, last - selection.firstFrame + 1);
  clip.spectrumFrames = copied;
  if (held == 0) return;
  clip.spectrum = Reallocate(clip.spectrum, Bytes(copied + kSpectrumPasteSlack));
  if (copied > 0)
    std::memcpy(clip.spectrum, Frame(doc.record.spectrum, selection.firstFrame), Bytes(copied));
}

void RemoveFrames(DocumentState& doc, const Selection& selection) {
  const int32_t held = SpectrumFramesOf(doc);
  if (held == 0) return;
  const int32_t f0 = selection.firstFrame;
  const int32_t f1 = selection.lastFrame;
  if (held > f1 + 1) {
    std::memmove(Frame(doc.record.spectrum, f0), Frame(doc.record.spectrum, f1 + 1),
                 Bytes(held - f1 - 1));
    doc.record.spectrumFrames = held - (f1 - f0 + 1);
  } else {
    // The spectrum ends inside the selection: the frames before it stay.
    doc.record.spectrumFrames = std::min(held, f0);
  }
}

void InsertFrames(DocumentState& doc, const SpeechClipboard& clip, int32_t from) {
  const int32_t held = SpectrumFramesOf(doc);
  if (held == 0) return;
  const int32_t added = clip.spectrum ? clip.spectrumFrames : 0;
  const int32_t at = std::min(from / kSamplesPerSpectrumFrame, held);
  const int32_t room = held + added + kSpectrumPasteSlack;
  doc.record.spectrum = Reallocate(doc.record.spectrum, Bytes(room));
  doc.spectrumRoom = room;
  std::memmove(Frame(doc.record.spectrum, at + added), Frame(doc.record.spectrum, at),
               Bytes(held - at));
  if (added > 0) std::memcpy(Frame(doc.record.spectrum, at), clip.spectrum, Bytes(added));
  doc.record.spectrumFrames = held + added;
}

}  // namespace talvox
