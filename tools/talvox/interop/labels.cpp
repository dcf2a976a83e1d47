#include "labels.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "format_error.h"
#include "text_decoding.h"

namespace tvx::interop {
namespace {

double Time(const std::string& field, int line, const char* what) {
  errno = 0;
  char* end = nullptr;
  double value = std::strtod(field.c_str(), &end);
  while (end && (*end == ' ' || *end == '\r')) end++;
  if (field.empty() || end == field.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(value) || value < 0)
    throw FormatError(line, std::string("expected the ") + what + " time in seconds, found '" + field + "'");
  return value;
}

}  // namespace

std::vector<Label> ParseLabels(const std::string& utf8) {
  std::vector<Label> labels;
  size_t at = 0;
  for (int line = 1; at < utf8.size(); line++) {
    size_t newline = utf8.find('\n', at);
    std::string text = utf8.substr(at, newline == std::string::npos ? std::string::npos : newline - at);
    at = newline == std::string::npos ? utf8.size() : newline + 1;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.find_first_not_of(" \t") == std::string::npos || text[0] == '\\') continue;
    size_t firstTab = text.find('\t');
    if (firstTab == std::string::npos)
      throw FormatError(line, "expected 'start<TAB>end<TAB>label' (no tab on the line)");
    size_t secondTab = text.find('\t', firstTab + 1);
    Label label;
    label.line = line;
    label.start = Time(text.substr(0, firstTab), line, "start");
    label.end = Time(text.substr(firstTab + 1, secondTab == std::string::npos ? std::string::npos : secondTab - firstTab - 1),
                     line, "end");
    if (secondTab != std::string::npos) label.text = text.substr(secondTab + 1);
    if (label.end < label.start) throw FormatError(line, "the label ends before it starts");
    if (!labels.empty() && label.start < labels.back().start)
      throw FormatError(line, "the label starts before the label above it (labels come in time order)");
    labels.push_back(std::move(label));
  }
  return labels;
}

std::string WriteLabels(const std::vector<Label>& labels) {
  std::string out;
  for (const Label& label : labels) {
    std::string text = label.text;
    for (char& c : text)
      if (c == '\t' || c == '\n' || c == '\r') c = ' ';  // the format has no quoting
    out += ExactNumber(label.start) + "\t" + ExactNumber(label.end) + "\t" + text + "\n";
  }
  return out;
}

}  // namespace tvx::interop
