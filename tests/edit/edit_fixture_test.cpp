// Helpers of the editing tests (a *_test.cpp file so the folder's test
// program picks it up).
#include "edit_fixture.h"

#include <cstring>
#include <ostream>

namespace talvox::test {

std::vector<Segment> Segments() {
  std::vector<Segment> out;
  for (int32_t i = 0; i < GetElementNum(); ++i) {
    const TvxElement& e = TheDocument().record.elements[i];
    out.push_back({e.desc, e.start, e.end});
  }
  return out;
}

void SetSegments(const std::vector<Segment>& segments) {
  TvxDocument& doc = TheDocument().record;
  for (size_t i = 0; i < segments.size(); ++i) {
    std::memset(doc.elements[i].desc, 0, sizeof doc.elements[i].desc);
    std::strncpy(doc.elements[i].desc, segments[i].desc.c_str(), 103);
    doc.elements[i].start = segments[i].start;
    doc.elements[i].end = segments[i].end;
  }
  doc.elementCount = static_cast<int32_t>(segments.size());
}

void SetPeaks(const std::vector<int32_t>& peaks, const std::vector<int32_t>& periods) {
  DocumentState& doc = TheDocument();
  ResizePeakTable(doc, static_cast<int32_t>(peaks.size()));
  ResizeModifiedPitch(doc, static_cast<int32_t>(peaks.size()));
  std::copy(peaks.begin(), peaks.end(), doc.record.peaks);
  std::copy(periods.begin(), periods.end(), doc.record.modifiedPitch);
  doc.record.peakCount = static_cast<int32_t>(peaks.size());
}

std::vector<int32_t> Peaks() {
  const DocumentState& doc = TheDocument();
  return std::vector<int32_t>(doc.record.peaks, doc.record.peaks + doc.record.peakCount);
}

std::vector<int32_t> Periods() {
  const DocumentState& doc = TheDocument();
  if (doc.record.peakCount < 2) return {};
  EXPECT_GE(doc.pitchRoom, doc.record.peakCount);
  return std::vector<int32_t>(doc.record.modifiedPitch,
                              doc.record.modifiedPitch + doc.record.peakCount - 1);
}

std::vector<int16_t> Channel(int index) {
  const int16_t* x = GetDataBuffer(index);
  if (x == nullptr || index >= GetChannels()) return {};
  return std::vector<int16_t>(x, x + GetWaveLength());
}

bool Snapshot::operator==(const Snapshot& o) const {
  return segments == o.segments && peaks == o.peaks && periods == o.periods && left == o.left &&
         right == o.right && spectrum == o.spectrum && clipSamples == o.clipSamples &&
         clipElements == o.clipElements && clipPeaks == o.clipPeaks &&
         clipFrames == o.clipFrames && clipLeft == o.clipLeft;
}

Snapshot Take() {
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

void PrintTo(const Segment& s, std::ostream* os) {
  *os << '"' << s.desc << "\" " << s.start << "-" << s.end;
}

}  // namespace talvox::test
