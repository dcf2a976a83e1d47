#include "voice/voice_segments.h"

#include <algorithm>
#include <cstring>

#include "annotation/element_writer.h"

namespace talvox {

namespace {
// Pauses shorter than this stay inside the voiced element (a stop closure,
// not a silence).
constexpr double kShortestPauseSeconds = 0.03;
// Fewer marks than this are no voiced element.
constexpr size_t kFewestMarks = 3;

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
  ElementWriter writer(elements, capacity, length);
  auto add = [&writer](int64_t start, int64_t end, bool silence) {  // empty stretches are no elements
    if (end > start) writer.Add(static_cast<int32_t>(start), static_cast<int32_t>(end), silence);
  };
  int64_t previousEnd = 0;
  for (const MarkRun& run : MarkRuns(marks, kShortestPauseSeconds * sampleRate)) {
    if (run.end - run.first < kFewestMarks) continue;
    const int64_t firstPeriod = marks[run.first + 1] - marks[run.first];
    const int64_t lastPeriod = marks[run.end - 1] - marks[run.end - 2];
    const int64_t start = std::max<int64_t>(previousEnd, marks[run.first] - firstPeriod / 2);
    const int64_t end = std::min<int64_t>(length, marks[run.end - 1] + lastPeriod / 2 + 1);
    if (end <= start) continue;
    add(previousEnd, start, true);
    add(start, end, false);
    previousEnd = end;
  }
  add(previousEnd, length, true);
  return writer.count();
}

}  // namespace talvox
