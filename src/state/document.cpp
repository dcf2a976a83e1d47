#include "state/document.h"

#include <cstring>

#include "state/memory.h"

namespace talvox {

DocumentState& TheDocument() {
  static DocumentState doc;
  return doc;
}

void InitDocument(DocumentState& doc) {
  FreeDocument(doc);
  doc.record.elements = AllocateZeroed<TvxElement>(kElementCapacity);
  doc.record.elementCapacity = kElementCapacity;
  doc.record.elementCount = 0;
  doc.record.peaks = Reallocate<int32_t>(nullptr, kInitialPeakRoom);
  doc.peakRoom = kInitialPeakRoom;
}

void FreeDocument(DocumentState& doc) {
  Release(doc.record.elements);
  Release(doc.record.peaks);
  Release(doc.record.modifiedPitch);
  Release(doc.record.spectrum);
  doc.record = TvxDocument{};
  doc.peakRoom = 0;
  doc.pitchRoom = 0;
  doc.spectrumRoom = 0;
  Release(doc.output);
  doc.outputLength = 0;
  Release(doc.energy);
  doc.energyLength = 0;
}

void ResizePeakTable(DocumentState& doc, int32_t room) {
  if (room < 0) room = 0;
  doc.record.peaks = Reallocate(doc.record.peaks, static_cast<std::size_t>(room));
  doc.peakRoom = room;
}

void ResizeModifiedPitch(DocumentState& doc, int32_t room) {
  if (room < 0) room = 0;
  doc.record.modifiedPitch = Reallocate(doc.record.modifiedPitch, static_cast<std::size_t>(room));
  doc.pitchRoom = room;
}

DocumentState* OwnerOf(TvxDocument* record) {
  DocumentState& doc = TheDocument();
  return record == &doc.record ? &doc : nullptr;
}

}  // namespace talvox
