// Label tracks as the Audacity audio editor exports them: one label per
// line, "start<TAB>end<TAB>text", times in seconds; a point label has
// start = end. Lines beginning with a backslash carry a label's frequency
// range and are passed over.
#pragma once

#include <string>
#include <vector>

namespace tvx::interop {

struct Label {
  double start = 0, end = 0;
  std::string text;
  int line = 0;
};

// Throws FormatError for a line without two times, an end before its start
// or labels that do not come in order of their start.
std::vector<Label> ParseLabels(const std::string& utf8);
std::string WriteLabels(const std::vector<Label>& labels);

}  // namespace tvx::interop
