#include "pitch/voiced_regions.h"

#include <algorithm>
#include <cstring>

#include "annotation/element_writer.h"
#include <limits>
#include <vector>

#include "dsp/filters.h"

namespace talvox {

namespace {
constexpr int32_t kFilterOrder = 6;
// Voiced energy lies below 800 Hz; the 2000 Hz pass only advances the
// shared filter state, as later filtering expects.
constexpr double kVoicedCutoff = 800.0;
constexpr double kSecondCutoff = 2000.0;
// Frames every 16 samples, 20 ms long.
constexpr int32_t kHop = 16;
constexpr int32_t kFramesPerSecond = 50;
// Frames quieter than this take no part in the loudness average.
constexpr int32_t kAudibleEnergy = 100;
constexpr int32_t kMinFrames = 4;
// Thresholds: a fifth of the average audible energy, opening at 1.2 times
// that, closing at half of it.
constexpr double kThresholdDivisor = 5;
constexpr double kOpenFactor = 1.2;
constexpr int32_t kCloseDivisor = 2;
// A region starts 10 hops after its first loud frame and ends 15 hops after
// its first quiet one; it must last 30 ms.
constexpr int64_t kStartHops = 10;
constexpr int64_t kEndHops = 15;
constexpr int64_t kMinVoicedMs = 30;
// The second pass filters the input piece by piece: the state carries over,
// so the result is the same as one pass over a full copy.
constexpr int32_t kPiece = 4096;

struct Region {
  int32_t start;
  int32_t end;
};

int32_t ToPosition(int64_t value) {
  return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

bool RateServed(int32_t rate) {
  return rate >= kFramesPerSecond && kSecondCutoff < rate / 2.0;
}

// Runs the filter over a copy of samples without keeping the output.
void AdvanceFilter(const int16_t* samples, int32_t length, double gain, const double* a,
                   const double* b) {
  int16_t piece[kPiece];
  for (int64_t done = 0; done < length; done += kPiece) {
    const int32_t count = static_cast<int32_t>(std::min<int64_t>(kPiece, length - done));
    std::memcpy(piece, samples + done, static_cast<size_t>(count) * sizeof(int16_t));
    RunFilter(piece, count, kFilterOrder, gain, a, b);
  }
}

struct Thresholds {
  int32_t open;
  int32_t close;
};

// From the average energy of the audible frames; false when there are too
// few frames or none is audible.
bool FindThresholds(const int32_t* energy, int32_t frames, Thresholds* out) {
  float sum = 0;
  int32_t audible = 0;
  for (int32_t i = 0; i < frames; ++i) {
    if (energy[i] >= kAudibleEnergy) {
      sum += static_cast<float>(energy[i]);
      ++audible;
    }
  }
  if (frames < kMinFrames || audible == 0) return false;
  const float base = static_cast<float>(static_cast<double>(sum) / audible / kThresholdDivisor);
  out->open = static_cast<int32_t>(base * kOpenFactor);
  out->close = static_cast<int32_t>(base) / kCloseDivisor;
  return true;
}

std::vector<Region> FindRegions(const int32_t* energy, int32_t frames,
                                Thresholds thresholds, int32_t length, int32_t rate) {
  const int32_t open = thresholds.open;
  const int32_t close = thresholds.close;
  const int64_t minLength = int64_t{rate} * kMinVoicedMs / 1000;

  std::vector<Region> regions;
  bool isOpen = false;
  Region current{};
  for (int32_t i = 0; i < frames; ++i) {
    if (energy[i] >= open) {
      if (!isOpen) {
        current.start = ToPosition((i + kStartHops) * kHop);
        isOpen = true;
      }
    } else if (energy[i] <= close && isOpen) {
      current.end = ToPosition((i + kEndHops) * kHop);
      if (int64_t{current.end} - current.start >= minLength) {
        regions.push_back(current);
        isOpen = false;
      }
    }
  }
  if (isOpen) {
    current.end = length / kHop * kHop;
    regions.push_back(current);
  }
  return regions;
}

// Writes elements from index 0; when the table is full the last element
// runs on to the end of the signal.
int32_t WriteElements(const std::vector<Region>& regions, int32_t length, TvxElement* elements,
                      int32_t capacity) {
  ElementWriter out(elements, capacity, length);
  if (regions.empty()) {
    out.Add(0, length, false);
    return out.count();
  }
  out.Add(0, regions.front().start, true);
  for (size_t r = 0; r < regions.size(); ++r) {
    out.Add(regions[r].start, regions[r].end, false);
    if (r + 1 < regions.size() && regions[r + 1].start > regions[r].end) {
      out.Add(regions[r].end, regions[r + 1].start, true);
    }
  }
  if (regions.back().end < length) out.Add(regions.back().end, length, true);
  return out.count();
}
}  // namespace

int32_t DetectVoicedRegions(const int16_t* samples, int32_t length, TvxElement* elements,
                            int32_t capacity, int32_t sampleRate) {
  if (samples == nullptr || length <= 0 || elements == nullptr || capacity <= 0 ||
      !RateServed(sampleRate)) {
    return 0;
  }
  double a[kFilterStateSize];
  double b[kFilterStateSize];
  std::vector<int16_t> voiced(samples, samples + length);
  double gain = ButterworthLowPass(sampleRate, kFilterOrder, kVoicedCutoff, a, b);
  RunFilter(voiced.data(), length, kFilterOrder, gain, a, b);
  gain = ButterworthLowPass(sampleRate, kFilterOrder, kSecondCutoff, a, b);
  AdvanceFilter(samples, length, gain, a, b);

  std::vector<int32_t> energy(static_cast<size_t>(length / kHop) + 10);
  const int32_t frames =
      FrameEnergy(voiced.data(), energy.data(), length, sampleRate / kFramesPerSecond, kHop);
  voiced = std::vector<int16_t>();
  return ElementsFromEnergy(energy.data(), frames, length, sampleRate, elements, capacity);
}

int32_t ElementsFromEnergy(const int32_t* energy, int32_t frames, int32_t length,
                           int32_t sampleRate, TvxElement* elements, int32_t capacity) {
  Thresholds thresholds{};
  if (elements == nullptr || capacity <= 0 || !FindThresholds(energy, frames, &thresholds)) {
    return 0;
  }
  return WriteElements(FindRegions(energy, frames, thresholds, length, sampleRate), length,
                       elements, capacity);
}

void SegmentIfNeeded(TvxDocument& doc, const int16_t* samples, int32_t length,
                     int32_t sampleRate) {
  if (doc.segmented != 0) return;
  doc.elementCount =
      DetectVoicedRegions(samples, length, doc.elements, doc.elementCapacity, sampleRate);
  doc.segmented = 1;
}

}  // namespace talvox
