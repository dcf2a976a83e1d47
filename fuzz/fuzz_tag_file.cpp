// LoadTag on arbitrary bytes into buffers of the documented capacities.
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "talvox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<int32_t> peaks(100000);
  static std::vector<TvxElement> elements(10000);
  std::string path = talvox::fuzz::WriteInput(data, size, "input.tag");
  int32_t peakCount = -7, elementCount = -7;
  int32_t result = LoadTag(path.c_str(), peaks.data(), &peakCount, elements.data(), &elementCount);
  if (result == 1) {
    if (peakCount < 0 || peakCount > 100000 || elementCount < 0 || elementCount > 10000)
      __builtin_trap();
  } else if (peakCount != -7 || elementCount != -7) {
    __builtin_trap();  // a refusal writes nothing
  }
  return 0;
}
