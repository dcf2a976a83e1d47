#include "voice/voice_segments.h"

#include <algorithm>
#include <cstring>

namespace talvox {

namespace {
constexpr char kSilence[] = "SIL";
// Pauses shorter than this stay inside the voiced element (a stop closure,
// not a silence).
constexpr double kShortestPauseSeconds = 0.03;
// Fewer marks than this are no voiced element.
constexpr size_t kFewestMarks = 3;

class ElementWriter {
 public:
  ElementWriter(TvxElement* elements, int32_t capacity, int32_t length)
      : elements_(elements), capacity_(capacity), length_(length) {}
  void Add(int32_t start, int32_t end, bool silence) {
    if (end <= start) return;
    if (count_ == capacity_) {
      elements_[capacity_ - 1].end = length_;
      return;
    }
    TvxElement& element = elements_[count_++];
    if (silence) std::memcpy(element.desc, kSilence, sizeof kSilence);
    element.start = start;
    element.end = end;
  }
  int32_t count() const { return count_; }

 private:
  TvxElement* elements_;
  int32_t capacity_;
  int32_t length_;
  int32_t count_ = 0;
};

// A run of marks: the first and one past the last index.
struct MarkRun {
  size_t first = 0;
  size_t end = 0;
};

std::vector<MarkRun> MarkRuns(const std::vector<int32_t>& marks, double pause) {
  std::vector<MarkRun> runs;
  for (size_t k = 0; k < marks.size(); ++k) {
    if (!runs.empty() && marks[k] - marks[k - 1] <= pause) {
      runs.back().end = k + 1;
    } else {
      runs.push_back({k, k + 1});
    }
  }
  return runs;
}
}  // namespace

int32_t VoiceElements(const std::vector<int32_t>& marks, int32_t length, int32_t sampleRate,
                      TvxElement* elements, int32_t capacity) {
  if (elements == nullptr || capacity <= 0 || length <= 0) return 0;
  ElementWriter out(elements, capacity, length);
  int64_t previousEnd = 0;
  for (const MarkRun& run : MarkRuns(marks, kShortestPauseSeconds * sampleRate)) {
    if (run.end - run.first < kFewestMarks) continue;
    const int64_t firstPeriod = marks[run.first + 1] - marks[run.first];
    const int64_t lastPeriod = marks[run.end - 1] - marks[run.end - 2];
    const int64_t start = std::max<int64_t>(previousEnd, marks[run.first] - firstPeriod / 2);
    const int64_t end = std::min<int64_t>(length, marks[run.end - 1] + lastPeriod / 2 + 1);
    if (end <= start) continue;
    out.Add(static_cast<int32_t>(previousEnd), static_cast<int32_t>(start), true);
    out.Add(static_cast<int32_t>(start), static_cast<int32_t>(end), false);
    previousEnd = end;
  }
  out.Add(static_cast<int32_t>(previousEnd), length, true);
  return out.count();
}

}  // namespace talvox
