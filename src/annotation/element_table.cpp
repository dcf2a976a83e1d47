#include "annotation/element_table.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace talvox {

namespace {

enum Side : int32_t { kStart = 1, kEnd = 2 };

bool ValidIndex(const TvxDocument& doc, int32_t index) {
  return index >= 0 && index < ElementCount(doc);
}

// Moves records from+1..count-1 down by one, dropping record from.
void RemoveRecord(TvxDocument& doc, int32_t from) {
  int32_t count = ElementCount(doc);
  std::memmove(doc.elements + from, doc.elements + from + 1,
               static_cast<std::size_t>(count - from - 1) * sizeof(TvxElement));
  doc.elementCount = count - 1;
}

int64_t Distance(int32_t a, int32_t b) { return std::llabs(int64_t{a} - b); }

}  // namespace

int32_t ElementCount(const TvxDocument& doc) {
  if (doc.elements == nullptr || doc.elementCount <= 0) return 0;
  return doc.elementCount < doc.elementCapacity ? doc.elementCount : doc.elementCapacity;
}

int32_t FindElement(const TvxDocument& doc, int32_t position) {
  const int32_t count = ElementCount(doc);
  for (int32_t i = 0; i < count; ++i) {
    const TvxElement& e = doc.elements[i];
    if (e.start <= position && position < e.end) return i;
    if (e.start == position && e.end == position) return i;
    if (position == doc.elements[count - 1].end) return count - 1;
  }
  return -1;
}

void SetFullSegmentationOf(TvxDocument& doc, int32_t sampleLength) {
  if (doc.elements == nullptr || doc.elementCapacity < 1) return;
  doc.elementCount = 1;
  doc.elements[0].start = 0;
  doc.elements[0].end = sampleLength;
}

void TidyElementTable(TvxDocument& doc, int32_t sampleLength) {
  if (doc.elements == nullptr) return;
  const int32_t count = ElementCount(doc);
  int32_t kept = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (doc.elements[i].start < doc.elements[i].end) doc.elements[kept++] = doc.elements[i];
  }
  // Removing every record one by one leaves the last one in slot 0, whose
  // description the full segmentation then keeps.
  if (kept == 0 && count > 0) doc.elements[0] = doc.elements[count - 1];
  doc.elementCount = kept;
  if (kept == 0) SetFullSegmentationOf(doc, sampleLength);
}

void SetDescription(TvxElement& element, const char* desc) {
  std::size_t length = desc ? strnlen(desc, kMaxDescriptionLength) : 0;
  std::memset(element.desc, 0, sizeof element.desc);
  std::memcpy(element.desc, desc, length);
}

int32_t GetBounds(const TvxDocument& doc, int32_t index, int32_t* start, int32_t* end) {
  if (!ValidIndex(doc, index)) return 0;
  if (start) *start = doc.elements[index].start;
  if (end) *end = doc.elements[index].end;
  return 1;
}

int32_t MoveBoundary(TvxDocument& doc, int32_t index, int32_t position, int32_t which,
                     int32_t sampleLength) {
  if (!ValidIndex(doc, index) || (which != kStart && which != kEnd)) return 0;
  TvxElement* e = doc.elements;
  const int32_t last = ElementCount(doc) - 1;
  if (which == kStart) {
    if (index == 0) {
      e[0].start = position < 0 ? 0 : position > e[0].end ? e[0].end : position;
      return 1;
    }
    int32_t boundary = position;
    if (position < e[index - 1].start) {
      boundary = e[index - 1].start;
    } else if (position > e[index].end) {
      boundary = e[index].end;
    }
    e[index].start = e[index - 1].end = boundary;
    return 1;
  }
  if (index == last) {
    // The last end is clamped to the last sample, one short of the length.
    const int64_t lastSample = int64_t{sampleLength} - 1;
    if (position > lastSample) {
      e[index].end = static_cast<int32_t>(lastSample);
    } else {
      e[index].end = position < e[index].start ? e[index].start : position;
    }
    return 1;
  }
  int32_t boundary = position;
  if (position > e[index + 1].end) {
    boundary = e[index + 1].end;
  } else if (position < e[index].start) {
    boundary = e[index].start;
  }
  e[index].end = e[index + 1].start = boundary;
  return 1;
}

int32_t SplitElement(TvxDocument& doc, int32_t position) {
  const int32_t count = ElementCount(doc);
  if (count >= doc.elementCapacity) return 0;
  for (int32_t i = 0; i < count; ++i) {
    TvxElement* e = doc.elements;
    if (e[i].start < position && position < e[i].end) {
      std::memmove(e + i + 1, e + i, static_cast<std::size_t>(count - i) * sizeof(TvxElement));
      e[i].end = position;
      e[i + 1].start = position;
      doc.elementCount = count + 1;
      return 1;
    }
  }
  return 0;
}

int32_t MergeElement(TvxDocument& doc, int32_t index, int32_t which) {
  if (!ValidIndex(doc, index)) return 0;
  const int32_t last = ElementCount(doc) - 1;
  if (which == kStart && index > 0) {
    doc.elements[index - 1].end = doc.elements[index].end;
    RemoveRecord(doc, index);
  } else if (which == kEnd && index < last) {
    doc.elements[index + 1].start = doc.elements[index].start;
    RemoveRecord(doc, index);
  }
  return 1;
}

int32_t NearestBoundary(const TvxDocument& doc, int32_t position, int32_t* side, float scale) {
  const int32_t count = ElementCount(doc);
  if (count == 0 || !(scale > 0.0f)) return -1;
  // Five pixels in samples, truncated; huge for tiny scales, so kept wide.
  const double pixels = 5.0 / scale;
  const int64_t tolerance = pixels >= 4e18 ? INT64_MAX / 2 : static_cast<int64_t>(pixels);
  const TvxElement* e = doc.elements;
  auto found = [side](int32_t which, int32_t index) {
    if (side) *side = which;
    return index;
  };

  if (position < e[0].start) {
    return Distance(position, e[0].start) <= tolerance ? found(kStart, 0) : -1;
  }
  if (position > e[count - 1].end) {
    return Distance(position, e[count - 1].end) <= tolerance ? found(kEnd, count - 1) : -1;
  }
  for (int32_t i = 0; i < count; ++i) {
    if (e[i].start <= position && position <= e[i].end) {
      const int64_t toStart = Distance(position, e[i].start);
      const int64_t toEnd = Distance(position, e[i].end);
      if (toStart > toEnd) return toEnd <= tolerance ? found(kEnd, i) : -1;
      return toStart <= tolerance ? found(kStart, i) : -1;
    }
    if (i < count - 1 && e[i].end <= position && position <= e[i + 1].start) {
      const int64_t toEnd = Distance(position, e[i].end);
      const int64_t toNext = Distance(position, e[i + 1].start);
      if (toEnd > toNext) return toNext <= tolerance ? found(kStart, i + 1) : -1;
      return toEnd <= tolerance ? found(kEnd, i) : -1;
    }
  }
  return -1;
}

int32_t CopyDescription(const TvxDocument& doc, int32_t index, char* text) {
  if (text == nullptr || !ValidIndex(doc, index)) return 0;
  // A record loaded from a file may lack its zero: never copy past 103.
  std::size_t length = strnlen(doc.elements[index].desc, kMaxDescriptionLength);
  std::memcpy(text, doc.elements[index].desc, length);
  text[length] = '\0';
  return 1;
}

int32_t WriteDescription(TvxDocument& doc, int32_t index, const char* text) {
  if (text == nullptr || !ValidIndex(doc, index)) return 0;
  SetDescription(doc.elements[index], text);
  return 1;
}

}  // namespace talvox
