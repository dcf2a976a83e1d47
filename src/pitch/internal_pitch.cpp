#include "pitch/internal_pitch.h"

#include <algorithm>
#include <cstring>

#include "dsp/filters.h"
#include "pitch/hump_areas.h"
#include "pitch/peak_table.h"
#include "pitch/voiced_regions.h"

namespace talvox {

namespace {
constexpr int32_t kFilterOrder = 6;
// The fundamental of a voice lies below 300 Hz.
constexpr double kCutoff = 300.0;
// Only the part of a half-wave above this level counts.
constexpr int32_t kOffset = 1000;
// The signal is filtered piece by piece; the filter state carries over, so
// the result equals one pass over a full copy.
constexpr int32_t kPiece = 4096;

// Keeps a hump when its area beats half the area of the hump before it
// (kept or not); the first hump is always kept.
class MarkSelector {
 public:
  template <typename OnMark>
  void Offer(int32_t position, int16_t area, OnMark&& onMark) {
    if (area == 0) return;  // a zero area is no candidate
    if (!hasPrevious_ || area - previous_ / 2 > 0) onMark(position);
    hasPrevious_ = true;
    previous_ = area;
  }

 private:
  bool hasPrevious_ = false;
  int32_t previous_ = 0;
};

// Rectifies a low-passed signal, given in consecutive pieces, and reports
// the positions of the selected humps.
class MarkFinder {
 public:
  template <typename OnMark>
  void Feed(const int16_t* lowPassed, int32_t count, int32_t offset, OnMark&& onMark) {
    auto onHump = [&](int32_t position, int16_t area) { selector_.Offer(position, area, onMark); };
    for (int32_t k = 0; k < count; ++k) {
      humps_.Feed(offset + k, std::max(0, lowPassed[k] - kOffset), onHump);
    }
  }
  template <typename OnMark>
  void Finish(OnMark&& onMark) {
    humps_.Finish([&](int32_t position, int16_t area) { selector_.Offer(position, area, onMark); });
  }

 private:
  HumpScanner humps_;
  MarkSelector selector_;
};

template <typename OnMark>
void ForEachMark(const int16_t* samples, int32_t length, int32_t sampleRate, OnMark&& onMark) {
  if (samples == nullptr || length <= 0 || !(kCutoff < sampleRate / 2.0)) return;
  double a[kFilterStateSize];
  double b[kFilterStateSize];
  const double gain = ButterworthLowPass(sampleRate, kFilterOrder, kCutoff, a, b);
  MarkFinder finder;
  int16_t piece[kPiece];
  for (int64_t done = 0; done < length; done += kPiece) {
    const int32_t count = static_cast<int32_t>(std::min<int64_t>(kPiece, length - done));
    std::memcpy(piece, samples + done, static_cast<size_t>(count) * sizeof(int16_t));
    RunFilter(piece, count, kFilterOrder, gain, a, b);
    finder.Feed(piece, count, static_cast<int32_t>(done), onMark);
  }
  finder.Finish(onMark);
}
}  // namespace

std::vector<int32_t> InternalPitchMarks(const int16_t* samples, int32_t length,
                                        int32_t sampleRate) {
  std::vector<int32_t> marks;
  ForEachMark(samples, length, sampleRate, [&marks](int32_t p) { marks.push_back(p); });
  return marks;
}

std::vector<int32_t> MarksFromLowPassed(const int16_t* lowPassed, int32_t length) {
  std::vector<int32_t> marks;
  if (lowPassed == nullptr || length <= 0) return marks;
  auto keep = [&marks](int32_t p) { marks.push_back(p); };
  MarkFinder finder;
  finder.Feed(lowPassed, length, 0, keep);
  finder.Finish(keep);
  return marks;
}

int32_t InternalPitchMarksInto(const int16_t* samples, int32_t length, int32_t sampleRate,
                               int32_t* marks) {
  int32_t count = 0;
  ForEachMark(samples, length, sampleRate, [&](int32_t p) {
    if (marks != nullptr) marks[count] = p;
    ++count;
  });
  return count;
}

int32_t CalculateDocumentPitch(DocumentState& doc, const int16_t* samples, int32_t length,
                               int32_t sampleRate) {
  SegmentIfNeeded(doc.record, samples, length, sampleRate);
  const std::vector<int32_t> marks = InternalPitchMarks(samples, length, sampleRate);
  StoreCalculatedPeaks(doc, marks.data(), static_cast<int32_t>(marks.size()), sampleRate);
  return doc.record.peakCount;
}

}  // namespace talvox
