#include "json_output.h"

#include <cmath>

namespace tvx {
namespace {

std::string Scalar(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool HoldsObjects(const Json& array) {
  for (const Json& item : array)
    if (item.is_object()) return true;
  return false;
}

}  // namespace

Json JsonNumber(double value, int decimals) {
  if (!std::isfinite(value)) return nullptr;
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

std::string LayOut(const Json& value) {
  if (value.is_object()) {
    std::string text = "{";
    bool first = true;
    for (const auto& [key, member] : value.items()) {
      text += (first ? "" : ", ") + Scalar(Json(key)) + ": " + LayOut(member);
      first = false;
    }
    return text + "}";
  }
  if (value.is_array()) {
    if (value.empty()) return "[]";
    const bool spread = HoldsObjects(value);
    std::string text = spread ? "[\n  " : "[";
    for (size_t i = 0; i < value.size(); i++) text += (i ? (spread ? ",\n  " : ", ") : "") + LayOut(value[i]);
    return text + "]";
  }
  return Scalar(value);
}

}  // namespace tvx
