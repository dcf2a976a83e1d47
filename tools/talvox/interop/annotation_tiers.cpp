#include "annotation_tiers.h"

#include <algorithm>

namespace tvx::interop {

Tier ElementsTier(const std::vector<SampleElement>& elements, int rate, int64_t length) {
  Tier tier;
  tier.name = "elements";
  tier.xmax = SampleToSeconds(length, rate);
  int64_t covered = 0;
  auto add = [&](int64_t start, int64_t end, const std::string& text) {
    tier.intervals.push_back({SampleToSeconds(start, rate), SampleToSeconds(end, rate), text, 0});
    covered = end;
  };
  for (const SampleElement& element : elements) {
    int64_t start = std::max<int64_t>(element.start, covered), end = std::min<int64_t>(element.end, length);
    if (end <= start) continue;  // an empty element has no interval
    if (start > covered) add(covered, start, "");
    add(start, end, element.desc);
  }
  if (covered < length) add(covered, length, "");
  return tier;
}

// The files hold points in ascending time, each once; marks from the
// external program keep its order, which need not ascend.
Tier MarksTier(std::vector<int32_t> marks, int rate, int64_t length) {
  std::sort(marks.begin(), marks.end());
  marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
  Tier tier;
  tier.kind = Tier::Kind::kPoint;
  tier.name = "marks";
  tier.xmax = SampleToSeconds(length, rate);
  for (int32_t mark : marks) tier.points.push_back({SampleToSeconds(mark, rate), "", 0});
  return tier;
}

}  // namespace tvx::interop
