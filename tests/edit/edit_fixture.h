// A document for the editing tests, and a snapshot of everything an edit
// may change, to prove that refused edits change nothing.
#pragma once

#include <algorithm>
#include <cstring>
#include <ostream>
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

struct Snapshot {
  std::vector<Segment> segments;
  std::vector<int32_t> peaks, periods;
  std::vector<int16_t> left, right;
  std::vector<uint8_t> spectrum;
  int32_t clipSamples = 0, clipElements = 0, clipPeaks = 0, clipFrames = 0;
  std::vector<int16_t> clipLeft;
  bool operator==(const Snapshot& o) const;
};
inline std::vector<Segment> Segments() {
  std::vector<Segment> out;
  for (int32_t i = 0; i < GetElementNum(); ++i) {
    const TvxElement& e = TheDocument().record.elements[i];
    out.push_back({e.desc, e.start, e.end});
  }
  return out;
}

inline void SetSegments(const std::vector<Segment>& segments) {
  TvxDocument& doc = TheDocument().record;
  for (size_t i = 0; i < segments.size(); ++i) {
    std::memset(doc.elements[i].desc, 0, sizeof doc.elements[i].desc);
    std::strncpy(doc.elements[i].desc, segments[i].desc.c_str(), 103);
    doc.elements[i].start = segments[i].start;
    doc.elements[i].end = segments[i].end;
  }
  doc.elementCount = static_cast<int32_t>(segments.size());
}

inline void SetPeaks(const std::vector<int32_t>& peaks, const std::vector<int32_t>& periods) {
  DocumentState& doc = TheDocument();
  ResizePeakTable(doc, static_cast<int32_t>(peaks.size()));
  ResizeModifiedPitch(doc, static_cast<int32_t>(peaks.size()));
  std::copy(peaks.begin(), peaks.end(), doc.record.peaks);
  std::copy(periods.begin(), periods.end(), doc.record.modifiedPitch);
  doc.record.peakCount = static_cast<int32_t>(peaks.size());
}

inline std::vector<int32_t> Peaks() {
  const DocumentState& doc = TheDocument();
  return std::vector<int32_t>(doc.record.peaks, doc.record.peaks + doc.record.peakCount);
}

inline std::vector<int32_t> Periods() {
  const DocumentState& doc = TheDocument();
  if (doc.record.peakCount < 2) return {};
  EXPECT_GE(doc.pitchRoom, doc.record.peakCount);
  return std::vector<int32_t>(doc.record.modifiedPitch,
                              doc.record.modifiedPitch + doc.record.peakCount - 1);
}

inline std::vector<int16_t> Channel(int index) {
  const int16_t* x = GetDataBuffer(index);
  if (x == nullptr || index >= GetChannels()) return {};
  return std::vector<int16_t>(x, x + GetWaveLength());
}

inline bool Snapshot::operator==(const Snapshot& o) const {
  return segments == o.segments && peaks == o.peaks && periods == o.periods && left == o.left &&
         right == o.right && spectrum == o.spectrum && clipSamples == o.clipSamples &&
         clipElements == o.clipElements && clipPeaks == o.clipPeaks && clipFrames == o.clipFrames &&
         clipLeft == o.clipLeft;
}

inline Snapshot Take() {
  Snapshot s;
  s.segments = Segments();
  s.peaks = Peaks();
  s.periods = Periods();
  s.left = Channel(0);
  s.right = Channel(1);
  if (GetSpectrum()) s.spectrum.assign(GetSpectrum(), GetSpectrum() + 64 * GetSpectrumFrameNum());
  const SpeechClipboard& clip = TheClipboard();
  s.clipSamples = clip.sampleCount;
  s.clipElements = clip.elementCount;
  s.clipPeaks = clip.peakCount;
  s.clipFrames = clip.spectrumFrames;
  if (clip.channel[0]) s.clipLeft.assign(clip.channel[0], clip.channel[0] + clip.sampleCount);
  return s;
}

inline void PrintTo(const Segment& s, std::ostream* os) {
  *os << '"' << s.desc << "\" " << s.start << "-" << s.end;
}

}  // namespace talvox::test
