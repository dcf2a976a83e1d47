#include "timeline.h"

#include <cmath>

#include "format_error.h"
#include "text_decoding.h"

namespace tvx::interop {

double SampleToSeconds(int64_t sample, int rate) { return double(sample) / rate; }

int64_t SecondsToSample(double seconds, int rate) {
  constexpr double kFarBeyond = 9e15;  // keeps llround defined for absurd times
  double samples = seconds * rate;
  if (!(std::fabs(samples) < kFarBeyond)) return samples < 0 ? -int64_t(kFarBeyond) : int64_t(kFarBeyond);
  return std::llround(samples);
}

namespace {

void CheckLabel(const std::string& label, int line) {
  if (label.size() > kLongestDescription)
    throw FormatError(line, "a label of " + std::to_string(label.size()) + " bytes; an element holds at most " +
                                std::to_string(kLongestDescription));
}

}  // namespace

std::vector<SampleElement> ElementsFromSegments(const std::vector<TimedSegment>& segments, int rate, int64_t length,
                                                const std::string& emptyLabel) {
  std::vector<SampleElement> elements;
  auto add = [&](std::string desc, int64_t start, int64_t end) {
    elements.push_back({std::move(desc), static_cast<int32_t>(start), static_cast<int32_t>(end)});
  };
  if (segments.size() > size_t(kElementCapacity))
    throw FormatError(0, std::to_string(segments.size()) + " intervals; the element table holds at most " +
                             std::to_string(kElementCapacity));
  CheckLabel(emptyLabel, 0);
  int64_t covered = 0;
  for (const TimedSegment& segment : segments) {
    int64_t start = SecondsToSample(segment.start, rate), end = SecondsToSample(segment.end, rate);
    CheckLabel(segment.label, segment.line);
    if (segment.label.find_first_of("\r\n") != std::string::npos)
      throw FormatError(segment.line, "a label with a line break; element descriptions are one line");
    if (start < 0) throw FormatError(segment.line, "the stretch starts before the signal (at " + ExactNumber(segment.start) + " s)");
    if (end > length)
      throw FormatError(segment.line, "the stretch ends at " + ExactNumber(segment.end) + " s, past the end of the signal (" +
                                          ExactNumber(SampleToSeconds(length, rate)) + " s)");
    if (end <= start)
      throw FormatError(segment.line, "the stretch " + ExactNumber(segment.start) + " to " + ExactNumber(segment.end) +
                                          " s is shorter than one sample at " + std::to_string(rate) + " Hz");
    if (start < covered)
      throw FormatError(segment.line, "the stretch starts at " + ExactNumber(segment.start) +
                                          " s, before the one before it ends");
    if (start > covered) add(emptyLabel, covered, start);
    add(segment.label.empty() ? emptyLabel : segment.label, start, end);
    covered = end;
  }
  if (covered < length) add(emptyLabel, covered, length);
  if (elements.size() > size_t(kElementCapacity))
    throw FormatError(0, std::to_string(elements.size()) + " elements, counting the stretches no interval covers; " +
                             "the element table holds at most " + std::to_string(kElementCapacity));
  return elements;
}

std::vector<int32_t> MarksFromPoints(const std::vector<TimedPoint>& points, int rate, int64_t length) {
  std::vector<int32_t> marks;
  marks.reserve(points.size());
  for (const TimedPoint& point : points) {
    int64_t sample = SecondsToSample(point.time, rate);
    if (sample < 0 || sample >= length)
      throw FormatError(point.line, "the point at " + ExactNumber(point.time) + " s lies outside the signal (0 to " +
                                        ExactNumber(SampleToSeconds(length, rate)) + " s)");
    if (!marks.empty() && sample < marks.back())
      throw FormatError(point.line, "the point at " + ExactNumber(point.time) + " s comes before the point above it");
    if (marks.empty() || sample != marks.back()) marks.push_back(static_cast<int32_t>(sample));
  }
  return marks;
}

}  // namespace tvx::interop
