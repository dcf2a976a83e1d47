// The element side of the speech edits, worked on a copy of the table so
// that an edit is checked whole (an element at the insertion point, room in
// the table) before the document changes.
#pragma once

#include <cstdint>
#include <vector>

#include "talvox.h"

namespace talvox {

using ElementList = std::vector<TvxElement>;

ElementList ElementsOf(const TvxDocument& doc);
// Index of the element at position in the list, as FindElement.
int32_t FindIn(ElementList& elements, int32_t position);

// Removes samples from..to: the elements from the one holding `from` up to
// the one before the one holding `to` disappear, the rest close up, and
// zero-width elements are tidied away (a whole-signal element of
// lengthBefore samples if none is left). Both positions lie in elements.
void RemoveElements(ElementList& elements, int32_t from, int32_t to, int32_t lengthBefore);

// Splits the element holding `from` around the clip elements, which are
// placed end to end from `from`; the split element's second half grows by
// clipLength. False, with the list unchanged, when no element holds `from`.
bool InsertElements(ElementList& elements, const TvxElement* clip, int32_t clipCount, int32_t from,
                    int32_t clipLength, int32_t lengthNow);

// Replaces the document's table; the list fits its capacity.
void StoreElements(TvxDocument& doc, const ElementList& elements);

}  // namespace talvox
