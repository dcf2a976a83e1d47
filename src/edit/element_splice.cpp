#include "edit/element_splice.h"

#include <cstring>

#include "annotation/element_table.h"
#include "edit/position_arithmetic.h"

namespace talvox {

namespace {
// A record over the list, so the table's own search and tidying apply.
TvxDocument View(ElementList& elements) {
  TvxDocument view{};
  view.elements = elements.data();
  view.elementCount = static_cast<int32_t>(elements.size());
  view.elementCapacity = view.elementCount;
  return view;
}

void Tidy(ElementList& elements, int32_t sampleLength) {
  TvxDocument view = View(elements);
  TidyElementTable(view, sampleLength);
  elements.resize(static_cast<size_t>(view.elementCount));
}
}  // namespace

ElementList ElementsOf(const TvxDocument& doc) {
  const int32_t count = ElementCount(doc);
  return ElementList(doc.elements, doc.elements + count);
}

int32_t FindIn(ElementList& elements, int32_t position) {
  return FindElement(View(elements), position);
}

void RemoveElements(ElementList& elements, int32_t from, int32_t to, int32_t lengthBefore) {
  const int32_t first = FindIn(elements, from);
  const int32_t last = FindIn(elements, to);
  const int32_t removed = to - from + 1;
  if (first < last) elements.erase(elements.begin() + first, elements.begin() + last);
  for (size_t i = static_cast<size_t>(first); i < elements.size(); ++i) {
    TvxElement& e = elements[i];
    e.start = i == 0 ? 0 : elements[i - 1].end;
    e.end = Saturated(int64_t{e.end} - removed);
    if (e.end < e.start) e.end = e.start;
  }
  Tidy(elements, lengthBefore);
}

bool InsertElements(ElementList& elements, const TvxElement* clip, int32_t clipCount, int32_t from,
                    int32_t clipLength, int32_t lengthNow) {
  const int32_t c = FindIn(elements, from);
  if (c < 0) return false;
  const TvxElement split = elements[static_cast<size_t>(c)];
  elements.insert(elements.begin() + c + 1, clip, clip + clipCount);
  elements.insert(elements.begin() + c + clipCount + 1, split);
  elements[static_cast<size_t>(c)].end = from;
  for (size_t i = static_cast<size_t>(c) + 1; i < elements.size(); ++i) {
    TvxElement& e = elements[i];
    const bool pasted = i <= static_cast<size_t>(c + clipCount);
    e.start = elements[i - 1].end;
    e.end = Saturated(pasted ? int64_t{clip[i - static_cast<size_t>(c) - 1].end} + from
                             : int64_t{e.end} + clipLength);
  }
  Tidy(elements, lengthNow);
  return true;
}

void StoreElements(TvxDocument& doc, const ElementList& elements) {
  std::memcpy(doc.elements, elements.data(), elements.size() * sizeof(TvxElement));
  doc.elementCount = static_cast<int32_t>(elements.size());
}

}  // namespace talvox
