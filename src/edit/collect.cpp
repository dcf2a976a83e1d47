#include "edit/collect.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "annotation/element_table.h"
#include "state/memory.h"

namespace talvox {

namespace {
// Room kept beyond the collected samples.
constexpr int32_t kOutputSlack = 1000;
constexpr char kSilence[] = "SIL";

struct Piece {
  int32_t begin;
  int32_t length;  // samples of the element inside the range
  bool silent;
};

bool IsSilence(const TvxElement& e) { return std::strncmp(e.desc, kSilence, sizeof e.desc) == 0; }
}  // namespace

int32_t CollectSegments(DocumentState& doc, const WaveBuffer& wave, int32_t channel, int32_t start,
                        int32_t end) {
  if (start >= end || start < 0 || end >= wave.SafeLength()) return 0;
  const int32_t count = ElementCount(doc.record);
  if (count < 1) return 0;
  const int16_t* samples = wave.Channel(channel);
  if (samples == nullptr) return 0;

  const TvxElement* elements = doc.record.elements;
  int32_t first = 0;
  while (first < count && elements[first].end <= start) ++first;
  if (first == count) return 0;
  int32_t last = count - 1;
  while (last >= 0 && elements[last].start >= end) --last;
  if (last < 0) return 0;

  std::vector<Piece> pieces;
  int64_t collected = 0;
  for (int32_t k = first; k <= last; ++k) {
    const int32_t begin = std::max(start, elements[k].start);
    const int32_t stop = std::min(end, elements[k].end);
    if (stop <= begin) continue;
    pieces.push_back({begin, stop - begin, IsSilence(elements[k])});
    collected += stop - begin;
  }

  const size_t room = static_cast<size_t>(collected) + kOutputSlack;
  doc.output = Reallocate(doc.output, room);
  std::memset(doc.output, 0, room * sizeof(int16_t));
  int32_t length = 0;
  for (const Piece& piece : pieces) {
    if (piece.silent) {
      length += piece.length / 2;  // already zero
    } else {
      std::memcpy(doc.output + length, samples + piece.begin,
                  static_cast<size_t>(piece.length) * sizeof(int16_t));
      length += piece.length;
    }
  }
  doc.outputLength = length;
  return 1;
}

}  // namespace talvox
