#include "edit/selection.h"

#include <algorithm>

#include "annotation/element_table.h"

namespace talvox {

int32_t EditChannels(const WaveBuffer& wave) {
  const int32_t channels = wave.ChannelCount();
  return channels == 1 || channels == 2 ? channels : 0;
}

bool SelectRange(const TvxDocument& doc, const WaveBuffer& wave, int32_t a, int32_t b,
                 Selection& selection) {
  if (a == b || EditChannels(wave) == 0) return false;
  const int32_t from = std::min(a, b);
  const int32_t to = std::max(a, b);
  if (from < 0 || to >= wave.SafeLength()) return false;
  const int32_t first = FindElement(doc, from);
  const int32_t last = FindElement(doc, to);
  if (first < 0 || last < first) return false;
  selection.from = from;
  selection.to = to;
  selection.length = to - from + 1;
  selection.firstFrame = from / kSamplesPerSpectrumFrame;
  selection.lastFrame = to / kSamplesPerSpectrumFrame;
  return true;
}

}  // namespace talvox
