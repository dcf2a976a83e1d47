// The one speech document of the process: the record shared with the host
// (talvox.h, TvxDocument) and the members beside it.
#pragma once

#include <cstdint>

#include "talvox.h"

namespace talvox {

constexpr int32_t kElementCapacity = 10000;
constexpr int32_t kInitialPeakRoom = 100000;

struct DocumentState {
  TvxDocument record{};
  // Entries allocated in record.peaks and record.modifiedPitch. Every writer
  // of the process-wide document keeps these in step, so no operation writes
  // or reads past a table whatever the counts say.
  int32_t peakRoom = 0;
  int32_t pitchRoom = 0;
  // Frames allocated in record.spectrum (the frame count may be set by the
  // underscore spectrum function without the buffer growing).
  int32_t spectrumRoom = 0;
  // Output signal shared by resynthesis and segment collection.
  int16_t* output = nullptr;
  int32_t outputLength = 0;
  // Energy contour, one value per frame.
  int32_t* energy = nullptr;
  int32_t energyLength = 0;
};

DocumentState& TheDocument();

void InitDocument(DocumentState& doc);
void FreeDocument(DocumentState& doc);

// Resizes the peak table / modified pitch to exactly `room` entries (0
// releases), updating the room counters of doc.
void ResizePeakTable(DocumentState& doc, int32_t room);
void ResizeModifiedPitch(DocumentState& doc, int32_t room);

// The process-wide document when `record` is its record, else null. Lets the
// underscore functions that take a TvxDocument* keep the room counters right.
DocumentState* OwnerOf(TvxDocument* record);

}  // namespace talvox
