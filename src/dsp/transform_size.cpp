#include <initializer_list>

#include "dsp/frame_analysis.h"

namespace talvox {

int32_t AnalysisTransformSize(int32_t n) {
  for (int32_t size : {2, 4, 16, 256, kLargestFrame}) {
    if (n <= size) return size;
  }
  return 0;
}

}  // namespace talvox
