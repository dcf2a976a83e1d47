#include "voice/voice_segments.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace talvox {

namespace {
constexpr char kSilence[] = "SIL";
// Pauses shorter than this stay inside the voiced element (a stop closure,
// not a silence); voiced runs shorter than this are no syllable.
constexpr double kShortestPauseSeconds = 0.03;
constexpr double kShortestVoicedSeconds = 0.02;

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

int32_t ToSample(double position, int32_t length) {
  return static_cast<int32_t>(std::clamp(std::lround(position), 0L, static_cast<long>(length)));
}
}  // namespace

int32_t VoiceElements(const VoiceTrack& track, int32_t length, TvxElement* elements,
                      int32_t capacity) {
  if (elements == nullptr || capacity <= 0 || length <= 0 || !(track.hop > 0)) return 0;
  const double framesPerSecond = track.sampleRate / track.hop;
  const int32_t gap = static_cast<int32_t>(kShortestPauseSeconds * framesPerSecond);
  const int32_t shortest = std::max(1, static_cast<int32_t>(kShortestVoicedSeconds * framesPerSecond));
  ElementWriter out(elements, capacity, length);
  int32_t previousEnd = 0;
  for (const FrameRun& run : VoicedRuns(track, gap, shortest)) {
    const int32_t start = std::max(previousEnd, ToSample((run.first - 0.5) * track.hop, length));
    const int32_t end = ToSample((run.last + 0.5) * track.hop, length);
    if (end <= start) continue;
    out.Add(previousEnd, start, true);
    out.Add(start, end, false);
    previousEnd = end;
  }
  out.Add(previousEnd, length, true);
  return out.count();
}

}  // namespace talvox
