#include "annotation/element_table.h"
#include "state/document.h"
#include "talvox.h"
#include "wave/wave_buffer.h"

using namespace talvox;

namespace {
TvxDocument& Doc() { return TheDocument().record; }
int32_t SignalLength() { return TheWave().Length(); }
}  // namespace

extern "C" {

int32_t GetElementNum(void) { return ElementCount(Doc()); }

int32_t GetElementSegment(int32_t index, int32_t* start, int32_t* end) {
  return GetBounds(Doc(), index, start, end);
}

int32_t SetElementSegment(int32_t index, int32_t position, int32_t which) {
  return MoveBoundary(Doc(), index, position, which, SignalLength());
}

void SetFullSegmentation(void) { SetFullSegmentationOf(Doc(), SignalLength()); }

void TidyElements(void) { TidyElementTable(Doc(), SignalLength()); }

int32_t AddBoundary(int32_t position) { return SplitElement(Doc(), position); }

int32_t DelBoundary(int32_t index, int32_t which) { return MergeElement(Doc(), index, which); }

int32_t GetNearestElementBoundary(int32_t position, int32_t* side, float scale) {
  return NearestBoundary(Doc(), position, side, scale);
}

int32_t GetElement(int32_t position) { return FindElement(Doc(), position); }

int32_t GetElementDesc(int32_t index, char* text) { return CopyDescription(Doc(), index, text); }

int32_t SetElementDesc(int32_t index, const char* text) {
  return WriteDescription(Doc(), index, text);
}

}  // extern "C"
