// Times in seconds of the exchange files against sample positions of the
// signal. A sample s is written as the double s / rate (with every digit
// needed to read back the same double); a time t is read as the nearest
// sample, round(t * rate) with halves away from zero, so a file written by
// talvox gives back every boundary and mark to the sample.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tvx::interop {

constexpr int32_t kElementCapacity = 10000;  // the library's element table
constexpr size_t kLongestDescription = 103;  // bytes, without the terminating zero

double SampleToSeconds(int64_t sample, int rate);
int64_t SecondsToSample(double seconds, int rate);

// A labelled stretch in seconds, as a file gives it.
struct TimedSegment {
  double start = 0, end = 0;
  std::string label;
  int line = 0;
};

struct SampleElement {
  std::string desc;
  int32_t start = 0;
  int32_t end = 0;
};

// Elements covering the whole signal 0..length: each segment becomes one
// element, a segment with an empty label gets emptyLabel, and a stretch no
// segment covers (before the first, between two, after the last) becomes an
// element of emptyLabel too. Throws FormatError (at the segment's line) for
// a segment that rounds to less than one sample, overlaps the one before,
// ends past the signal, or carries a label longer than an element holds or
// with a line break inside; and for more than 10000 elements, naming the
// count.
std::vector<SampleElement> ElementsFromSegments(const std::vector<TimedSegment>& segments, int rate, int64_t length,
                                                const std::string& emptyLabel);

// A point in seconds, as a file gives it.
struct TimedPoint {
  double time = 0;
  int line = 0;
};

// Sample positions of the points, which must lie inside the signal;
// positions that two points round to are kept once.
std::vector<int32_t> MarksFromPoints(const std::vector<TimedPoint>& points, int rate, int64_t length);

}  // namespace tvx::interop
