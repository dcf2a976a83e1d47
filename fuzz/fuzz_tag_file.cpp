// LoadTag on arbitrary bytes into host buffers of the documented capacities
// (100000 peaks, 10000 elements), each followed by a guard. A refusal writes
// nothing at all; an acceptance writes exactly the counts it reports, and
// kind 2 leaves the host's descriptions alone.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "talvox.h"

namespace {

using talvox::fuzz::Check;

constexpr int32_t kPeaks = 100000;
constexpr int32_t kElements = 10000;
constexpr int32_t kGuard = 64;
constexpr int32_t kUntouched = -7;
constexpr uint8_t kFill = 0xA5;

int32_t HeaderField(const uint8_t* data, size_t size, size_t offset) {
  if (size < offset + 4) return 0;
  int32_t value;
  std::memcpy(&value, data + offset, 4);
  return value;
}

bool AllFill(const void* from, size_t bytes) {
  static const std::vector<uint8_t> fill(65536, kFill);
  const auto* p = static_cast<const uint8_t*>(from);
  for (size_t done = 0; done < bytes; done += fill.size()) {
    if (std::memcmp(p + done, fill.data(), std::min(fill.size(), bytes - done)) != 0) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<int32_t> peaks(kPeaks + kGuard);
  static std::vector<TvxElement> elements(kElements + kGuard);
  std::memset(peaks.data(), kFill, peaks.size() * sizeof(int32_t));
  std::memset(elements.data(), kFill, elements.size() * sizeof(TvxElement));
  std::string path = talvox::fuzz::WriteInput(data, size, "input.tag");

  int32_t peakCount = kUntouched, elementCount = kUntouched;
  const int32_t result =
      LoadTag(path.c_str(), peaks.data(), &peakCount, elements.data(), &elementCount);
  if (result == 1) {
    Check(peakCount >= 0 && peakCount <= kPeaks && elementCount >= 0 && elementCount <= kElements,
          "counts beyond the documented capacities");
    Check(peakCount == HeaderField(data, size, 32) && elementCount == HeaderField(data, size, 28),
          "counts differ from the header");
    Check(AllFill(peaks.data() + peakCount, (peaks.size() - peakCount) * sizeof(int32_t)),
          "written past the peak count");
    Check(AllFill(elements.data() + elementCount,
                  (elements.size() - elementCount) * sizeof(TvxElement)),
          "written past the element count");
    const int32_t kind = HeaderField(data, size, 20);
    for (int32_t i = 0; i < elementCount; ++i) {
      const TvxElement& e = elements[i];
      if (kind == 2) {
        Check(AllFill(e.desc, sizeof e.desc), "kind 2 wrote a description");
      } else {
        Check(std::memchr(e.desc, '\0', sizeof e.desc) != nullptr, "unterminated description");
      }
    }
  } else {
    Check(result == 0, "result neither 0 nor 1");
    Check(peakCount == kUntouched && elementCount == kUntouched, "a refusal wrote a counter");
    Check(AllFill(peaks.data(), peaks.size() * sizeof(int32_t)), "a refusal wrote peaks");
    Check(AllFill(elements.data(), elements.size() * sizeof(TvxElement)),
          "a refusal wrote elements");
  }

  // Without the element buffers only the peaks and counts come back.
  int32_t onlyPeaks = kUntouched;
  Check(LoadTag(path.c_str(), peaks.data(), &onlyPeaks, nullptr, nullptr) == result,
        "result depends on the element buffers");
  Check(result == 0 || onlyPeaks == peakCount, "peak count depends on the element buffers");
  return 0;
}
