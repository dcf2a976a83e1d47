// The tool's machine-readable output: values are built as JSON documents
// (nlohmann::ordered_json, keys in insertion order) and laid out as the tool
// always printed them, one object per line with arrays of objects spread one
// item per line. Text that is not valid UTF-8 (a file name, say) has its
// invalid bytes replaced by U+FFFD, so the output always parses.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace tvx {

using Json = nlohmann::ordered_json;

// value rounded to decimals places, or null for NaN and infinities.
Json JsonNumber(double value, int decimals);

// The layout: {"key": value, ...}; [] and [\n  item,\n  item] for arrays of
// objects, [a, b] for other arrays.
std::string LayOut(const Json& value);

}  // namespace tvx
