// Just enough JSON for the tool's machine-readable output.
#pragma once

#include <string>

namespace tvx {

std::string JsonString(const std::string& text);  // quoted and escaped
std::string JsonNumber(double value, int decimals);  // null for NaN/inf

}  // namespace tvx
