// A document for the editing tests, and a snapshot of everything an edit
// may change, to prove that refused edits change nothing.
#pragma once

#include <string>
#include <vector>

#include "state/clipboard.h"
#include "state/document.h"
#include "test_support.h"

namespace talvox::test {

struct Segment {
  std::string desc;
  int32_t start;
  int32_t end;
  bool operator==(const Segment& o) const {
    return desc == o.desc && start == o.start && end == o.end;
  }
};

std::vector<Segment> Segments();
void SetSegments(const std::vector<Segment>& segments);
// Peaks and periods straight into the document, with exact room.
void SetPeaks(const std::vector<int32_t>& peaks, const std::vector<int32_t>& periods);
std::vector<int32_t> Peaks();
std::vector<int32_t> Periods();  // peak count - 1 values
std::vector<int16_t> Channel(int index);

struct Snapshot {
  std::vector<Segment> segments;
  std::vector<int32_t> peaks, periods;
  std::vector<int16_t> left, right;
  std::vector<uint8_t> spectrum;
  int32_t clipSamples = 0, clipElements = 0, clipPeaks = 0, clipFrames = 0;
  std::vector<int16_t> clipLeft;
  bool operator==(const Snapshot& o) const;
};
Snapshot Take();

void PrintTo(const Segment& s, std::ostream* os);

}  // namespace talvox::test
