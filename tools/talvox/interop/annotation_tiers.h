// The library's annotation as TextGrid tiers: what `analyze --textgrid`
// and the editor's "save TextGrid" write, and what --elements and
// --marks read back to the sample.
#pragma once

#include <cstdint>
#include <vector>

#include "textgrid.h"
#include "timeline.h"

namespace tvx::interop {

// An interval tier "elements" over 0..length: one interval per non-empty
// element (clipped to the signal and to the end of the one before), and an
// empty-text interval for every stretch no element covers.
Tier ElementsTier(const std::vector<SampleElement>& elements, int rate, int64_t length);

// A point tier "marks": the marks ascending, each once.
Tier MarksTier(std::vector<int32_t> marks, int rate, int64_t length);

}  // namespace tvx::interop
