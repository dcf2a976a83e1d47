#include "pitch/hump_areas.h"

#include <algorithm>

namespace talvox {

void HumpAreas(const int16_t* samples, int32_t length, int16_t* areas) {
  if (samples == nullptr || areas == nullptr || length <= 0) return;
  std::fill(areas, areas + length, int16_t{0});
  HumpScanner scanner;
  auto store = [areas](int32_t position, int16_t area) { areas[position] = area; };
  for (int32_t i = 0; i < length; ++i) scanner.Feed(i, samples[i], store);
  scanner.Finish(store);
}

}  // namespace talvox
